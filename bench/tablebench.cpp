// Times the real quorvane on large tables against two baselines that write
// as many bytes, in one run, alternating, and reports medians and peak memory.
//
//   tablebench [--quick | --full | --grouping | --long | --n N] [--runs R]
//              [--program PATH] [--baseline PATH]
//
// Both baselines hold the whole table before writing it, as the program must:
//   memset     one malloc of the table's size, memset, then write;
//   blockfill  one allocation advised to huge pages, filled from a prepared
//              64-row block whose changing digits are patched, then write:
//              about as fast as this machine makes such a table.
// Each is measured with standard output on /dev/null and through a pipe to a
// reader that discards it, since `> file` and `| less` are how tables are used.
// --grouping instead times 1 MB and 8 MB equations, well formed and malformed,
// by CPU time and peak memory, against --baseline when given.
// --long times the tables of long equations by CPU time, against --baseline
// when given, and the evaluator alone against a plain loop of as many word
// operations on data in cache (the /plain column: above 1 where folding
// saves more than the loop could do).
#include "LongEquation.h"
#include "Platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
  double seconds;
  double cpuSeconds; // user and system time of the program alone
  long peakKiB;
  int status; // the exit status; a run ended by a signal ends the benchmark
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

// Runs argv with `input` on standard input and its standard output on
// /dev/null or into a pipe that a second process drains; the time runs until
// both are done.
Sample Measure(const std::vector<std::string> &argv, const std::string &input, bool pipeOut) {
  char inputPath[] = "/tmp/tablebench.XXXXXX";
  const int in = mkstemp(inputPath);
  if (in < 0 || write(in, input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    std::perror("tablebench: input file");
    std::exit(2);
  }
  unlink(inputPath);
  lseek(in, 0, SEEK_SET);
  int fds[2] = {-1, -1};
  if (pipeOut && pipe(fds) != 0) {
    std::perror("tablebench: pipe");
    std::exit(2);
  }

  const auto start = std::chrono::steady_clock::now();
  pid_t reader = -1;
  if (pipeOut && (reader = fork()) == 0) {
    close(fds[1]);
    static char sink[1 << 20];
    while (read(fds[0], sink, sizeof sink) > 0) {
    }
    _exit(0);
  }
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = pipeOut ? fds[1] : open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    // A malformed equation's stop names the whole text; only the time counts.
    dup2(open("/dev/null", O_WRONLY), 2);
    if (pipeOut)
      close(fds[0]);
    std::vector<char *> args;
    for (const std::string &a : argv)
      args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  if (pipeOut) {
    close(fds[0]);
    close(fds[1]);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (reader > 0)
    waitpid(reader, nullptr, 0);
  const auto end = std::chrono::steady_clock::now();
  close(in);
  if (!WIFEXITED(status)) {
    std::fprintf(stderr, "tablebench: %s died (wait status %d)\n", argv[0].c_str(), status);
    std::exit(2);
  }
  const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return {std::chrono::duration<double>(end - start).count(), cpu, usage.ru_maxrss,
          WEXITSTATUS(status)};
}

int WriteAll(const char *buffer, long long bytes) {
  for (long long done = 0; done < bytes;) {
    const ssize_t n = write(1, buffer + done, std::min(bytes - done, 1LL << 20));
    if (n <= 0)
      return 1;
    done += n;
  }
  return 0;
}

int MemsetBaseline(int n) {
  const long long bytes = TableBytes(n);
  char *buffer = static_cast<char *>(std::malloc(bytes));
  std::memset(buffer, '0', bytes);
  const int status = WriteAll(buffer, bytes);
  std::free(buffer);
  return status;
}

// The table of n variables with every result 0: one allocation on huge
// pages, then for each 64 rows a copy of the prepared block, whose digits
// above the last six are patched where the row counter changed them.
int BlockFillBaseline(int n) {
  const long long bytes = TableBytes(n);
  const int line = 2 * n + 6, rows = n < 6 ? 1 << n : 64;
  char *table = static_cast<char *>(std::malloc(bytes));
  const auto base = reinterpret_cast<unsigned long long>(table);
  const unsigned long long page = 4096, first = (base + page - 1) / page * page;
  madvise(reinterpret_cast<void *>(first), (base + bytes) / page * page - first, MADV_HUGEPAGE);

  std::string block;
  for (int k = 0; k < rows; k++) {
    block += '(';
    for (int j = 0; j < n; j++)
      block += std::string(1, (n - 1 - j < 6 && ((k >> (n - 1 - j)) & 1)) ? '1' : '0') + ",";
    block += "\b)-0\n";
  }
  char *out = table + 2 * n + 4;
  std::memset(table, 'h', 2 * n + 4);
  for (long long r = 0; r < (1LL << n); r += rows, out += block.size()) {
    const long long changed = r ^ (r - rows);
    for (int bit = 6; r > 0 && bit < n && ((changed >> bit) & 1); bit++)
      for (int k = 0; k < rows; k++)
        block[k * line + 1 + 2 * (n - 1 - bit)] = static_cast<char>('0' + ((r >> bit) & 1));
    std::memcpy(out, block.data(), block.size());
  }
  const int status = WriteAll(table, bytes);
  std::free(table);
  return status;
}

// With a baseline (the previous build, say) it runs in the same
// alternation, and its time and peak memory follow the program's.
void Tables(const std::string &program, const std::string &baseline, const std::vector<int> &sizes,
            int runs) {
  std::printf("%3s %5s %12s %10s %10s %10s %8s %8s %10s", "n", "out", "table bytes", "program s",
              "memset s", "blockfill", "/memset", "/blockf", "RSS-table");
  std::printf(baseline.empty() ? "\n" : " %10s %8s %10s\n", "baseline s", "/base", "base RSS-t");
  const int count = baseline.empty() ? 3 : 4;
  for (int n : sizes) {
    for (const bool pipeOut : {false, true}) {
      const std::vector<std::string> commands[] = {
          {program},
          {"/proc/self/exe", "--memset", std::to_string(n)},
          {"/proc/self/exe", "--blockfill", std::to_string(n)},
          {baseline}};
      const std::string inputs[] = {Equation(n) + "\n", "", "", Equation(n) + "\n"};
      std::vector<double> seconds[4];
      std::vector<double> peak[4];
      // The first touch of fresh memory is slow; a warm-up run of each takes it.
      for (int c = 0; c < count; c++)
        Measure(commands[c], inputs[c], pipeOut);
      for (int r = 0; r < runs; r++)
        for (int c = 0; c < count; c++) {
          const Sample s = Measure(commands[c], inputs[c], pipeOut);
          if (s.status != 0) {
            std::fprintf(stderr, "tablebench: %s failed\n", commands[c][0].c_str());
            std::exit(2);
          }
          seconds[c].push_back(s.seconds);
          peak[c].push_back(s.peakKiB / 1024.0);
        }
      const double p = Median(seconds[0]), m = Median(seconds[1]), b = Median(seconds[2]);
      const double table = TableBytes(n) / 1048576.0;
      std::printf("%3d %5s %12lld %10.3f %10.3f %10.3f %8.2f %8.2f %8.1f Mi", n,
                  pipeOut ? "pipe" : "null", TableBytes(n), p, m, b, p / m, p / b,
                  Median(peak[0]) - table);
      if (count == 4)
        std::printf(" %10.3f %8.2f %8.1f Mi", Median(seconds[3]), p / Median(seconds[3]),
                    Median(peak[3]) - table);
      std::printf("\n");
      std::fflush(stdout);
    }
  }
}

// Equations of about 1 MB and 8 MB: malformed ones a script with one slip
// writes, which go through the character passes and end in a stop, the
// warning or a table, and well-formed ones. Each is timed by CPU seconds,
// with its peak memory and that memory over the equation's length, against
// the baseline (the previous build, say) in the same alternation when one
// is given. Grouping costs time linear in the length, so 8 MB should take
// about 8 times as long as 1 MB, and memory stays a few times the equation.
void Grouping(const std::string &program, const std::string &baseline, int runs) {
  const struct {
    const char *name, *piece, *tail;
  } patterns[] = {{"!!*...", "!!*", ""},
                  {"A+...+", "A+", "+"},
                  {"!...", "!", ""},
                  {"A+B*C@!D+...A#", "A+B*C@!D+", "A#"},
                  {"A*B+!C*D+...A", "A*B+!C*D+", "A"},
                  {"tree of 12", nullptr, nullptr}};
  std::printf("%-15s %3s %6s %8s %8s %7s", "equation", "MB", "status", "CPU s", "peak MiB",
              "x len");
  std::printf(baseline.empty() ? "\n" : " %8s %8s %7s %7s\n", "base s", "base MiB", "x len",
              "speedup");
  for (const auto &p : patterns) {
    for (const int megabytes : {1, 8}) {
      const size_t bytes = megabytes * 1000000UL;
      std::string eq = p.piece ? "" : LongEquation('t', 12, static_cast<int>(bytes), 20261209);
      while (eq.size() < bytes)
        eq += p.piece;
      eq += std::string(p.tail ? p.tail : "") + "\n";
      const int count = baseline.empty() ? 1 : 2;
      const std::string commands[] = {program, baseline};
      std::vector<double> cpu[2], peak[2];
      int status = 0;
      for (int c = 0; c < count; c++)
        status = Measure({commands[c]}, eq, false).status;
      for (int r = 0; r < runs; r++)
        for (int c = 0; c < count; c++) {
          const Sample s = Measure({commands[c]}, eq, false);
          cpu[c].push_back(s.cpuSeconds);
          peak[c].push_back(s.peakKiB / 1024.0);
        }
      const double length = eq.size() / 1048576.0;
      std::printf("%-15s %3d %6d %8.3f %8.1f %7.2f", p.name, megabytes, status, Median(cpu[0]),
                  Median(peak[0]), Median(peak[0]) / length);
      if (count == 2)
        std::printf(" %8.3f %8.1f %7.2f %7.2f", Median(cpu[1]), Median(peak[1]),
                    Median(peak[1]) / length, Median(cpu[1]) / Median(cpu[0]));
      std::printf("\n");
      std::fflush(stdout);
    }
  }
}

// The limit: as many AND word operations on two arrays that stay in the
// first-level cache, in the widest vectors this processor has.
double PlainLoop(double operations) {
  typedef unsigned long long Lane __attribute__((vector_size(64)));
  static Lane a[64], b[64];
  for (int k = 0; k < 64; k++)
    for (int w = 0; w < 8; w++)
      a[k][w] = b[k][w] = ~0ULL - k - w;
  const long long rounds = static_cast<long long>(operations / (64 * 8)) + 1;
  const auto start = std::chrono::steady_clock::now();
  for (long long r = 0; r < rounds; r++) {
    for (int k = 0; k < 64; k++)
      a[k] &= b[k] ^ static_cast<unsigned long long>(r);
    asm volatile("" : : "r"(a) : "memory");
  }
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(end - start).count();
}

QUORVANE_AVX2_TARGET double PlainLoopAvx2(double operations) { return PlainLoop(operations); }

double PlainLoopSeconds(double operations) {
  return platform::HasAvx2() ? PlainLoopAvx2(operations) : PlainLoop(operations);
}

// Long equations' tables, the program against a baseline (its previous
// build, say), alternating, by CPU time; then the evaluator in-process
// against the plain loop.
void Long(const std::string &program, const std::string &baseline, int runs) {
  const struct {
    char kind;
    int n, bytes;
  } cases[] = {{'s', 20, 20000}, {'s', 24, 10000}, {'p', 20, 20000}, {'p', 24, 10000},
               {'t', 22, 20000}, {'t', 25, 5000},  {'x', 20, 20000}, {'x', 24, 10000}};
  std::printf("%-5s %3s %7s %10s %10s %8s %10s %11s %9s\n", "kind", "n", "bytes", "program s",
              "baseline s", "ratio", "eval s", "Gword-op/s", "/plain");
  for (const auto &c : cases) {
    const std::string eq = LongEquation(c.kind, c.n, c.bytes, 20261209 + c.n);
    const std::string input = eq + "\n";
    std::vector<double> mine, theirs;
    Measure({program}, input, false);
    if (!baseline.empty())
      Measure({baseline}, input, false);
    for (int r = 0; r < runs; r++) {
      mine.push_back(Measure({program}, input, false).cpuSeconds);
      if (!baseline.empty())
        theirs.push_back(Measure({baseline}, input, false).cpuSeconds);
    }
    const double ops = WordOperations(eq, c.n);
    std::vector<double> evaluation, plain;
    for (int r = 0; r < runs; r++) {
      evaluation.push_back(EvaluatorSeconds(eq, c.n));
      plain.push_back(PlainLoopSeconds(ops));
    }
    const double p = Median(mine), b = baseline.empty() ? 0 : Median(theirs);
    const double e = Median(evaluation), l = Median(plain);
    std::printf("%-5s %3d %7zu %10.3f %10.3f %8.2f %10.4f %11.2f %9.2f\n",
                c.kind == 's'   ? "sop"
                : c.kind == 'p' ? "pos"
                : c.kind == 't' ? "tree"
                                : "xop",
                c.n, eq.size(), p, b, baseline.empty() ? 0.0 : b / p, e, ops / e / 1e9, l / e);
    std::fflush(stdout);
  }
}

} // namespace

int main(int argc, char **argv) {
  std::vector<int> sizes = {16, 20, 24};
  int runs = 5;
  bool grouping = false, longEquations = false;
  std::string baseline;
  std::string program = QUORVANE_BINARY;
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "--memset" && i + 1 < argc)
      return MemsetBaseline(std::atoi(argv[i + 1]));
    if (arg == "--blockfill" && i + 1 < argc)
      return BlockFillBaseline(std::atoi(argv[i + 1]));
    if (arg == "--quick") {
      sizes = {16};
      runs = 3;
    } else if (arg == "--full") {
      sizes.push_back(25);
    } else if (arg == "--n" && i + 1 < argc) {
      sizes = {std::atoi(argv[++i])};
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (arg == "--grouping") {
      grouping = true;
    } else if (arg == "--long") {
      longEquations = true;
    } else if (arg == "--baseline" && i + 1 < argc) {
      baseline = argv[++i];
    } else if (arg == "--program" && i + 1 < argc) {
      program = argv[++i];
    } else {
      std::fprintf(stderr, "usage: tablebench [--quick | --full | --grouping | --long | --n N] "
                           "[--runs R] [--program PATH] [--baseline PATH]\n");
      return 2;
    }
  }
  if (grouping)
    Grouping(program, baseline, runs);
  else if (longEquations)
    Long(program, baseline, runs);
  else
    Tables(program, baseline, sizes, runs);
  return 0;
}
