// What a run of the program cannot show cheaply: the truth function of
// operators that grouping never hands to it, and thousands of random
// equations checked against their own meaning.
#include "Function.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>

namespace {

// Builds a Function, keeping the echo line it writes off the test log, and
// returns that line's text (without its line end) and the table.
std::string RunEquation(const std::string &equation, std::string &table) {
  std::ostringstream echo;
  std::streambuf *saved = std::cout.rdbuf(echo.rdbuf());
  Function f(equation.c_str());
  std::cout.rdbuf(saved);
  const apstring text = f.MakeTruthTable();
  table.assign(text.c_str(), text.length());
  const std::string line = echo.str();
  return line.substr(0, line.size() - 1);
}

TEST(EngineTest, CalcSingle) {
  const struct {
    char op;
    const char *results; // for (0,0), (0,1), (1,0), (1,1)
  } cases[] = {
      {'+', "0111"}, {'*', "0001"}, {'@', "0110"}, {'!', "1111"}, {'-', "1111"}, {'(', "1111"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.op);
    for (int row = 0; row < 4; row++)
      EXPECT_EQ(Function::CalcSingle(c.op, row & 2, row & 1), c.results[row] == '1')
          << "row " << row;
  }
}

// A random expression: a letter or digit at a leaf, else "!" over `left` or
// an infix operator over `left` and `right`.
struct Tree {
  char op;
  std::unique_ptr<Tree> left, right;
};

int Binding(const Tree &t) {
  switch (t.op) {
  case '+':
    return 1;
  case '@':
    return 2;
  case '*':
    return 3;
  case '!':
    return 4;
  default:
    return 5;
  }
}

std::unique_ptr<Tree> RandomTree(std::mt19937 &rng, int depth, const std::string &leaves) {
  static const std::string ops = "!!*@+";
  auto t = std::make_unique<Tree>();
  if (depth == 0 || rng() % 5 == 0) {
    t->op = leaves[rng() % leaves.size()];
    return t;
  }
  t->op = ops[rng() % ops.size()];
  t->left = RandomTree(rng, depth - 1, leaves);
  if (t->op != '!')
    t->right = RandomTree(rng, depth - 1, leaves);
  return t;
}

// A right-nested chain, A*(!B+(C@...)), as deep as it is long: its stack
// narrows the batch of rows evaluated at once.
std::unique_ptr<Tree> Chain(std::mt19937 &rng, int length, const std::string &leaves) {
  auto t = std::make_unique<Tree>();
  t->op = leaves[length % leaves.size()];
  for (int k = 0; k < length; k++) {
    auto link = std::make_unique<Tree>();
    link->op = "*@+"[rng() % 3];
    link->left = std::make_unique<Tree>();
    link->left->op = leaves[k % leaves.size()];
    link->right = std::move(t);
    t = std::move(link);
  }
  return t;
}

// Parentheses only where precedence or left grouping needs them, plus a
// redundant pair now and then, single or doubled.
std::string Written(const Tree &t, std::mt19937 &rng) {
  const auto wrap = [](const std::string &s, bool needed) { return needed ? "(" + s + ")" : s; };
  std::string s(1, t.op);
  if (t.op == '!')
    s += wrap(Written(*t.left, rng), Binding(*t.left) < 4);
  else if (t.right)
    s = wrap(Written(*t.left, rng), Binding(*t.left) < Binding(t)) + t.op +
        wrap(Written(*t.right, rng), Binding(*t.right) <= Binding(t));
  for (unsigned extra = rng() % 8; extra >= 6; extra--)
    s = "(" + s + ")";
  return s;
}

std::string Grouped(const Tree &t) {
  if (t.op == '!')
    return "(!" + Grouped(*t.left) + ")";
  if (t.right)
    return "(" + Grouped(*t.left) + t.op + Grouped(*t.right) + ")";
  return std::string(1, t.op);
}

void Letters(const Tree &t, std::set<char> &letters) {
  if (std::isalpha(static_cast<unsigned char>(t.op)))
    letters.insert(t.op);
  for (const Tree *child : {t.left.get(), t.right.get()})
    if (child)
      Letters(*child, letters);
}

bool Value(const Tree &t, const std::string &letters, long long row) {
  switch (t.op) {
  case '!':
    return !Value(*t.left, letters, row);
  case '*':
    return Value(*t.left, letters, row) && Value(*t.right, letters, row);
  case '@':
    return Value(*t.left, letters, row) != Value(*t.right, letters, row);
  case '+':
    return Value(*t.left, letters, row) || Value(*t.right, letters, row);
  default:
    if (std::isdigit(static_cast<unsigned char>(t.op)))
      return t.op != '0';
    return (row >> (letters.size() - 1 - letters.find(t.op))) & 1;
  }
}

// The table the tree itself defines, in the program's text format.
std::string ExpectedTable(const Tree &t) {
  std::set<char> set;
  Letters(t, set);
  const std::string letters(set.begin(), set.end()); // upper case sorts first
  std::string text = "(";
  for (char letter : letters)
    text += std::string(1, letter) + ",";
  text += "\b)\n";
  for (long long row = 0; row < (1LL << letters.size()); row++) {
    text += "(";
    for (size_t j = 0; j < letters.size(); j++)
      text += std::string(1, '0' + ((row >> (letters.size() - 1 - j)) & 1)) + ",";
    text += std::string("\b)-") + (Value(t, letters, row) ? '1' : '0') + "\n";
  }
  return text;
}

// Most trees have few letters; every fifth draws on more, up to 15, so that
// rows come in several batches, each of which holds some variables constant.
// Two long chains end the run.
TEST(EngineTest, RandomWellFormedEquationsGetTheirTrueTables) {
  std::mt19937 rng(20261208);
  int multiBlock = 0; // tables past 64 rows, where rows come in several blocks
  int multiBatch = 0; // tables past 4096 rows, where they come in several batches
  for (int i = 0; i < 3002; i++) {
    std::unique_ptr<Tree> tree;
    if (i >= 3000) {
      tree = Chain(rng, i == 3000 ? 1500 : 5000, "ABCDEFGHIJKLM");
    } else if (i % 5 != 4) {
      tree = RandomTree(rng, 1 + i % 7, "ABCDEFGHabcz019");
    } else {
      std::set<char> letters;
      do {
        tree = RandomTree(rng, 6 + i % 2, "ABCDEFGHIJKLMNOPQRabcz01");
        letters.clear();
        Letters(*tree, letters);
      } while (letters.size() > 15);
    }
    const std::string equation = Written(*tree, rng);
    SCOPED_TRACE(equation);
    std::string table;
    ASSERT_EQ(RunEquation(equation, table), Grouped(*tree));
    ASSERT_EQ(table, ExpectedTable(*tree));
    multiBlock += table.size() > 64 * 20;
    multiBatch += table.size() > 4096 * 30;
  }
  EXPECT_GT(multiBlock, 200);
  EXPECT_GT(multiBatch, 50);
}

// The evaluator is built twice on x86-64, for AVX2 and for the baseline, and
// the processor picks one for the table; each must give the tree's rows.
TEST(EngineTest, BothBuildsOfTheEvaluatorGiveTheTreesRows) {
  std::mt19937 rng(20261210);
  for (int i = 0; i < 400; i++) {
    const std::unique_ptr<Tree> tree = RandomTree(rng, 3 + i % 6, "ABCDEFGHIJKLMNOab01");
    std::set<char> set;
    Letters(*tree, set);
    const std::string letters(set.begin(), set.end());
    apstring grouped = Grouped(*tree).c_str(), columns = letters.c_str();
    SCOPED_TRACE(grouped.c_str());
    for (const bool baseline : {false, true}) {
      BatchEvaluator evaluator(grouped, columns, baseline);
      for (long long row = 0; row < (1LL << letters.size()); row++)
        ASSERT_EQ((evaluator.Rows(row & ~63LL) >> (row & 63)) & 1, Value(*tree, letters, row))
            << "row " << row << (baseline ? " of the baseline" : "");
    }
  }
}

// WebAssembly's program writes a big table in slices as its rows are made,
// and returns what is left; together they must be the whole table, a warning
// included, as a caller that asks for no slices gets it.
TEST(EngineTest, ATableInSlicesIsTheWholeTable) {
#if defined(__EMSCRIPTEN__)
  const char *const equations[] = {"A*B@C+!D*E@F+G*H@I+!J*K@L+M*N@O+!P*Q", "ABCDEFGHIJKLMNOPQ",
                                   "A@B", "(A+B)*C@!(D+E)*F@G*H@I*J+K*L@M*N+!O*P"};
  for (const char *equation : equations) {
    SCOPED_TRACE(equation);
    std::string whole;
    RunEquation(equation, whole);
    platform::WriteTablesInSlices();
    std::ostringstream written;
    std::streambuf *saved = std::cout.rdbuf(written.rdbuf());
    std::string rest;
    RunEquation(equation, rest);
    std::cout.rdbuf(saved);
    platform::TableSlice() = 0;
    EXPECT_EQ(written.str() + rest, whole);
    // A table of megabytes leaves less than a slice and a block of rows.
    if (whole.size() > (2u << 20)) {
      EXPECT_GT(written.str().size(), 1u << 20);
      EXPECT_LT(rest.size(), (1u << 20) + 4096);
    }
  }
#else
  GTEST_SKIP() << "only WebAssembly writes its tables in slices";
#endif
}

} // namespace
