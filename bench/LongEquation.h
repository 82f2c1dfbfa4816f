#ifndef LONG_EQUATION_H
#define LONG_EQUATION_H

// What both benchmarks share: long well-formed equations, medians, and the
// evaluator alone over a whole table.
#include "BatchEvaluator.h"
#include "PrecedenceGrouper.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A long well-formed equation of about `bytes` over the first n letters:
// a sum of products (OR of 2-5-literal AND terms), a product of sums, an
// OR of nested XOR/AND/OR/NOT trees with redundant parentheses, or an XOR
// of products, which no constant decides as a whole. Every letter appears,
// and the same seed gives the same equation.
inline std::string LongEquation(char kind, int n, int bytes, unsigned seed) {
  std::mt19937 rng(seed);
  const auto literal = [&] {
    return std::string(rng() % 5 < 2 ? "!" : "") + static_cast<char>('A' + rng() % n);
  };
  std::function<std::string(int)> tree = [&](int depth) -> std::string {
    if (depth == 0 || rng() % 7 == 0)
      return literal();
    const char op = "*+@!"[rng() % 4];
    if (op == '!')
      return "!(" + tree(depth - 1) + ")";
    const std::string pair = tree(depth - 1) + op + tree(depth - 1);
    return rng() % 10 < 7 ? "(" + pair + ")" : "((" + pair + "))";
  };
  std::string eq;
  for (int i = 0; i < n; i++)
    eq += std::string(i ? (kind == 'p'   ? "*"
                           : kind == 'x' ? "@"
                                         : "+")
                        : "") +
          "(" + static_cast<char>('A' + i) + (kind == 'p' ? "+" : "*") + literal() + ")";
  while (static_cast<int>(eq.size()) < bytes) {
    std::string term;
    const int literals = 2 + rng() % 4;
    for (int k = 0; k < literals; k++)
      term += (k ? (kind == 'p' ? "+" : "*") : "") + literal();
    if (kind == 'p')
      eq += "*(" + term + ")";
    else if (kind == 's' || kind == 'x')
      eq += (kind == 's' ? "+" : "@") + term;
    else
      eq += "+(" + tree(3 + rng() % 4) + ")";
  }
  return eq;
}

// The words one word at a time per step would take: every operand and
// every operator is one word operation for each block of 64 rows.
inline double WordOperations(const std::string &eq, int n) {
  long long steps = 0;
  for (char ch : eq)
    steps += ch != '(' && ch != ')';
  return static_cast<double>(steps) * static_cast<double>(n > 6 ? 1LL << (n - 6) : 1);
}

// The evaluator alone over the whole table, without the table's text; the
// baseline build of it where `baseline` asks, on x86-64.
inline double EvaluatorSeconds(const std::string &eq, int n, bool baseline = false) {
  apstring grouped = eq.c_str();
  PrecedenceGrouper::Group(grouped);
  apstring letters;
  for (char ch = 'A'; ch < 'A' + n; ch++)
    letters += ch;
  const auto start = std::chrono::steady_clock::now();
  BatchEvaluator evaluator(grouped, letters, baseline);
  unsigned long long sink = 0;
  for (long long first = 0; first < (1LL << n); first += 64)
    sink ^= evaluator.Rows(first);
  const auto end = std::chrono::steady_clock::now();
  std::fprintf(sink == 42 ? stderr : stdout, "%s", "");
  return std::chrono::duration<double>(end - start).count();
}

#endif
