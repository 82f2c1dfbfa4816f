// Every fatal line of the program, each with its exact text and status 1.
#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
