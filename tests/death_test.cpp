// Every fatal line of the program, each with its exact text and status 1.
#include "Function.h"
#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <utility>

// Every death test forks this process. Under AddressSanitizer its
// quarantine of freed memory would make each fork copy hundreds of
// megabytes, and a leak check in each child that ends by exit(1) only
// finds what exit leaves behind.
extern "C" const char *__asan_default_options() { // NOLINT(readability-identifier-naming)
  return "detect_leaks=0:quarantine_size_mb=16";
}

namespace {

// The whole of standard error must be the line, so the text is matched
// literally and anchored at both ends.
std::string Exactly(const std::string &line) {
  std::string re = "^";
  for (char ch : line) {
    if (std::string("\\^$.|?*+()[]{}").find(ch) != std::string::npos)
      re += '\\';
    re += ch;
  }
  return re + "\n$";
}

TEST(DeathTest, StringIndexOutOfRange) {
  const struct {
    const char *text;
    int k;
    const char *line;
  } cases[] = {
      {"a+b", 3, "index out of range: 3 string: a+b"},
      {"a+b", -1, "index out of range: -1 string: a+b"},
      {"a+b", 7, "index out of range: 7 string: a+b"},
      {"", 0, "index out of range: 0 string: "},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    apstring s = c.text;
    EXPECT_EXIT(s[c.k], ::testing::ExitedWithCode(1), Exactly(c.line));
  }
}

TEST(DeathTest, VectorIndexOutOfRange) {
  const struct {
    int size, k;
    const char *line;
  } cases[] = {
      {0, 0, "Illegal vector index: 0 max index = -1"},
      {3, 3, "Illegal vector index: 3 max index = 2"},
      {3, -1, "Illegal vector index: -1 max index = 2"},
      {3, 10, "Illegal vector index: 10 max index = 2"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    apvector<int> v(c.size);
    EXPECT_EXIT(v[c.k], ::testing::ExitedWithCode(1), Exactly(c.line));
  }
}

TEST(DeathTest, VectorShrunkByResize) {
  apvector<int> v(3);
  v.resize(2);
  EXPECT_EXIT(v[2], ::testing::ExitedWithCode(1), Exactly("Illegal vector index: 2 max index = 1"));
  v.resize(0);
  EXPECT_EXIT(v[0], ::testing::ExitedWithCode(1),
              Exactly("Illegal vector index: 0 max index = -1"));
}

TEST(DeathTest, PoppingAnEmptyStack) {
  apstack<bool> fresh;
  bool item = false;
  EXPECT_EXIT(fresh.pop(item), ::testing::ExitedWithCode(1),
              Exactly("error, popping an empty stack"));
  apstack<char> drained;
  char ch = 0;
  drained.push('a');
  drained.pop(ch);
  EXPECT_EXIT(drained.pop(ch), ::testing::ExitedWithCode(1),
              Exactly("error, popping an empty stack"));
}

TEST(DeathTest, LengthPastTheLargestIntEndsTheRun) {
  apstring s = "x";
  for (int i = 0; i < 30; i++)
    s += s;
  ASSERT_EQ(s.length(), 1 << 30);
  EXPECT_EXIT(s += s, ::testing::ExitedWithCode(1),
              Exactly("apstring: a text of 2147483648 characters is too long"));
}

TEST(DeathTest, NullCharacterStringFailsTheAssertion) {
  const char *null = nullptr;
  EXPECT_DEATH(apstring{null}, "s != 0");
  apstring s;
  EXPECT_DEATH(s = null, "s != 0");
}

// The character passes as they were first written, on a plain string whose
// every insertion shifts the tail and whose partner search scans: the
// meaning the grouping of malformed equations must keep. A read off the text
// throws what the index test would print.
class ReferencePasses {
public:
  struct Stop {
    int index;
    std::string text;
  };

  static std::string Group(std::string s) {
    ReferencePasses r{std::move(s)};
    r.Pass('!', 1);
    r.Pass('*', 2);
    r.Pass('@', 2);
    r.Pass('+', 2);
    return r.s;
  }

private:
  explicit ReferencePasses(std::string text) : s(std::move(text)) {}

  std::string s;

  char At(int k) {
    if (k < 0 || k >= static_cast<int>(s.size()))
      throw Stop{k, s};
    return s[k];
  }

  void AddChar(char ch, int loc) {
    for (char temp = ch;; loc++) {
      if (loc >= static_cast<int>(s.size())) {
        s += temp;
        return;
      }
      const char t2 = At(loc);
      s[loc] = temp;
      temp = t2;
    }
  }

  int Match(int t, int step) {
    for (int p = 1; p != 0;) {
      t += step;
      p += At(t) == (step > 0 ? '(' : ')') ? 1 : At(t) == (step > 0 ? ')' : '(') ? -1 : 0;
    }
    return t;
  }

  void Pass(char op, int deg) {
    for (int i = 0; i < static_cast<int>(s.size()); i++) {
      if (At(i) != op)
        continue;
      if (At(i + 1) == '(')
        AddChar(')', Match(i + 1, 1) + 1);
      else if (i + 2 >= static_cast<int>(s.size()) || At(i + 2) != ')')
        AddChar(')', i + 2);
      if (deg == 1) {
        if (i == 0 || At(i - 1) != '(')
          AddChar('(', i);
      } else if (At(i - 1) == ')') {
        AddChar('(', Match(i - 1, -1));
      } else if (i - 2 < 0 || At(i - 2) != '(') {
        AddChar('(', i - 1);
      }
      i++;
    }
  }
};

// Malformed words of 1 to a few hundred characters, from pieces chosen to
// reach every branch of the passes: operators first and last, NOT chains,
// unbalanced parentheses on either side, groups as operands, digits, stray
// characters and bytes of 128 and up.
std::string MalformedWord(std::mt19937 &rng, int budget) {
  static const char *const pieces[] = {"A", "b", "Z", "0",  "7",  "!", "!!",   "!!!",  "*",  "@",
                                       "+", "(", ")", "((", "))", "#", "\xe9", "\xff", "A*", "+B"};
  std::string word;
  while (static_cast<int>(word.size()) < budget) {
    if (rng() % 6 == 0 && budget > 4) {
      word += "(" + MalformedWord(rng, budget / 3) + (rng() % 4 ? ")" : "");
      continue;
    }
    word += pieces[rng() % (sizeof pieces / sizeof *pieces)];
  }
  return word;
}

// The grouping of every malformed word, or the line and status of its stop,
// is the reference passes' own; well-formed words take another path.
// Windows has no fork: each death test starts the test program anew, which
// under Wine costs a tenth of a second or more. The logic is the same on
// every system and runs in full on the others, so Windows compares the
// first tenth of the words.
#if defined(_WIN32)
constexpr int kWords = 600;
#else
constexpr int kWords = 6000;
#endif

// Groups a malformed word as the program does and checks it against the
// reference passes: the echo line, or the exact stop line and status 1.
// Returns whether it stopped.
bool GroupsAsTheReferencePasses(const std::string &word) {
  try {
    const std::string grouped = ReferencePasses::Group(word);
    std::ostringstream echo;
    std::streambuf *saved = std::cout.rdbuf(echo.rdbuf());
    { Function f(word.c_str()); }
    std::cout.rdbuf(saved);
    EXPECT_EQ(echo.str(), grouped + "\n");
    return false;
  } catch (const ReferencePasses::Stop &stop) {
    const std::string line =
        "index out of range: " + std::to_string(stop.index) + " string: " + stop.text;
    EXPECT_EXIT(Function f(word.c_str()), ::testing::ExitedWithCode(1), Exactly(line));
    return true;
  }
}

TEST(DeathTest, GroupingMatchesTheCharacterPasses) {
  std::mt19937 rng(20261209);
  int compared = 0, stops = 0;
  while (compared < kWords) {
    const std::string word = MalformedWord(rng, 1 + rng() % (rng() % 8 ? 40 : 300));
    apstring copy = word.c_str();
    if (PrecedenceGrouper::Group(copy))
      continue;
    SCOPED_TRACE(word);
    compared++;
    stops += GroupsAsTheReferencePasses(word) ? 1 : 0;
    if (HasFailure())
      return;
  }
  EXPECT_GT(stops, kWords / 6);
  EXPECT_GT(compared - stops, kWords / 6);
}

// The long malformed equations scripts write, each repeated to a few
// thousand characters and with an odd and an even count: long chains of
// groups, of NOTs and of operators, where every operator's partner search
// reaches far.
TEST(DeathTest, LongMalformedEquationsMatchTheCharacterPasses) {
  const struct {
    const char *piece, *tail;
  } patterns[] = {{"!!*", ""},     {"A+", "+"},      {"!", ""},  {"A+B*C@!D+", "A#"},
                  {"(A*", "B"},    {"A)+(", "B"},    {"AB", ""}, {"!(A+", ")"},
                  {"((A@B)", ")"}, {"A*(B+C)@", "D"}};
  for (const auto &p : patterns) {
    for (const int length : {2000, 2001}) {
      std::string word;
      while (static_cast<int>(word.size()) < length)
        word += p.piece;
      word += p.tail;
      SCOPED_TRACE(word.substr(0, 24));
      GroupsAsTheReferencePasses(word);
    }
  }
}

} // namespace
