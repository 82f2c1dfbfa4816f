// Times the real quorvane on large tables against a baseline process that
// writes as many bytes to /dev/null, and reports peak memory.
//
//   tablebench [--quick | --full] [--program PATH]
//
// The baseline holds the whole table in one buffer (memset) and writes it,
// since the program too must hold its table complete before writing any of it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
  double seconds;
  long peakKiB;
};

// The first n letters in sorted order joined by *, @ and + in turn, with a !
// before every fourth letter: n = 4 gives A*B@C+!D.
std::string Equation(int n) {
  static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static const char ops[] = "*@+";
  std::string eq;
  for (int i = 0; i < n; i++) {
    if (i > 0)
      eq += ops[(i - 1) % 3];
    if (i % 4 == 3)
      eq += '!';
    eq += letters[i];
  }
  return eq;
}

long long TableBytes(int n) { return 2LL * n + 4 + (1LL << n) * (2LL * n + 6); }

// Runs argv with the given text on standard input and standard output on
// /dev/null, and reads its wall time and peak resident size.
Sample Measure(const std::vector<std::string> &argv, const std::string &input) {
  char inputPath[] = "/tmp/tablebench.XXXXXX";
  const int in = mkstemp(inputPath);
  if (in < 0 || write(in, input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    std::perror("tablebench: input file");
    std::exit(2);
  }
  unlink(inputPath);
  lseek(in, 0, SEEK_SET);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(null, 1);
    std::vector<char *> args;
    for (const std::string &a : argv)
      args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  close(in);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "tablebench: %s failed (status %d)\n", argv[0].c_str(), status);
    std::exit(2);
  }
  return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

int Baseline(long long bytes) {
  char *buffer = static_cast<char *>(std::malloc(bytes));
  std::memset(buffer, '0', bytes);
  for (long long done = 0; done < bytes;) {
    const ssize_t n = write(1, buffer + done, std::min(bytes - done, 1LL << 20));
    if (n <= 0)
      return 1;
    done += n;
  }
  std::free(buffer);
  return 0;
}

template <class F> double Median(std::vector<Sample> samples, F field) {
  std::vector<double> values;
  for (const Sample &s : samples)
    values.push_back(field(s));
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
  std::vector<int> sizes = {16, 20, 24};
  int runs = 5;
  std::string program = QUORVANE_BINARY;
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "--baseline" && i + 1 < argc)
      return Baseline(std::atoll(argv[i + 1]));
    if (arg == "--quick") {
      sizes = {16};
      runs = 3;
    } else if (arg == "--full") {
      sizes.push_back(25);
    } else if (arg == "--program" && i + 1 < argc) {
      program = argv[++i];
    } else {
      std::fprintf(stderr, "usage: tablebench [--quick | --full] [--program PATH]\n");
      return 2;
    }
  }

  std::printf("%3s %12s %10s %10s %7s %10s %9s\n", "n", "table bytes", "program s", "baseline s",
              "ratio", "peak MiB", "RSS/size");
  for (int n : sizes) {
    const long long bytes = TableBytes(n);
    std::vector<Sample> prog, base;
    for (int r = 0; r < runs; r++) {
      prog.push_back(Measure({program}, Equation(n) + "\n"));
      base.push_back(Measure({"/proc/self/exe", "--baseline", std::to_string(bytes)}, ""));
    }
    const double p = Median(prog, [](const Sample &s) { return s.seconds; });
    const double b = Median(base, [](const Sample &s) { return s.seconds; });
    const double rss = Median(prog, [](const Sample &s) { return double(s.peakKiB); });
    std::printf("%3d %12lld %10.3f %10.3f %7.2f %10.1f %9.2f\n", n, bytes, p, b, p / b, rss / 1024,
                rss * 1024 / bytes);
    std::fflush(stdout);
  }
  return 0;
}
