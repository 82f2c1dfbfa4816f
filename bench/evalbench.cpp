// Times the evaluator alone over the tables of long equations, its AVX2
// build against its baseline build, in one run, alternating, and reports
// medians and their ratio. It starts no process, so it runs wherever the
// program does, Windows among them.
//
//   evalbench [--runs R]
#include "LongEquation.h"
#include "Platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  int runs = 5;
  if (argc == 3 && std::strcmp(argv[1], "--runs") == 0 && std::atoi(argv[2]) > 0) {
    runs = std::atoi(argv[2]);
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: evalbench [--runs R]\n");
    return 2;
  }
#if defined(__wasm_simd128__)
  // WebAssembly cannot choose its instructions when it runs: its one build
  // is the SIMD128 one.
  std::printf("WebAssembly: one build, with SIMD128; both columns time it\n");
#else
  if (!platform::HasAvx2())
    std::printf("this processor has no AVX2: both columns time the baseline build\n");
#endif
  const struct {
    char kind;
    int n, bytes;
  } cases[] = {{'s', 24, 20000}, {'p', 24, 20000}, {'t', 25, 20000}, {'x', 22, 20000}};
  std::printf("%-5s %3s %7s %10s %10s %8s\n", "kind", "n", "bytes", "avx2 s", "baseline s",
              "ratio");
  for (const auto &c : cases) {
    const std::string eq = LongEquation(c.kind, c.n, c.bytes, 20261209 + c.n);
    EvaluatorSeconds(eq, c.n);
    EvaluatorSeconds(eq, c.n, true);
    std::vector<double> wide, base;
    for (int r = 0; r < runs; r++) {
      wide.push_back(EvaluatorSeconds(eq, c.n));
      base.push_back(EvaluatorSeconds(eq, c.n, true));
    }
    const double w = Median(wide), b = Median(base);
    std::printf("%-5c %3d %7zu %10.4f %10.4f %8.2f\n", c.kind, c.n, eq.size(), w, b, b / w);
    std::fflush(stdout);
  }
  return 0;
}
