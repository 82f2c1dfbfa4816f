#include "apstring.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

apstring Repeat(char ch, int n) {
  apstring s;
  for (int i = 0; i < n; i++)
    s += ch;
  return s;
}

TEST(ApstringTest, SingleCharacterAppendsGrowByTheDoublingRule) {
  const struct {
    int firstLength, lastLength, capacity;
  } steps[] = {{1, 3, 4}, {4, 9, 10}, {10, 21, 22}, {22, 45, 46}, {46, 93, 94}};
  apstring s;
  EXPECT_EQ(s.capacity(), 1);
  for (const auto &step : steps) {
    for (int len = step.firstLength; len <= step.lastLength; len++) {
      s += 'x';
      SCOPED_TRACE(len);
      ASSERT_EQ(s.length(), len);
      ASSERT_EQ(s.capacity(), step.capacity);
    }
  }
  EXPECT_EQ(std::string(s.c_str()), std::string(93, 'x'));
}

TEST(ApstringTest, CapacityAfterAssignCopyAndAppend) {
  apstring cap10 = Repeat('x', 4);
  ASSERT_EQ(cap10.capacity(), 10);
  apstring full3 = Repeat('y', 3);
  ASSERT_EQ(full3.capacity(), 4);

  apstring a = Repeat('x', 4);
  a = "ab";
  EXPECT_EQ(a.capacity(), 10);
  a = "abcdefghijkl";
  EXPECT_EQ(a.capacity(), 13);

  apstring roomy = Repeat('z', 4);
  roomy = "abc";
  ASSERT_EQ(roomy.capacity(), 10);
  EXPECT_EQ(apstring(roomy).capacity(), 4);

  apstring fresh;
  fresh = 'q';
  EXPECT_EQ(fresh.capacity(), 2);
  cap10 = 'q';
  EXPECT_EQ(cap10.capacity(), 10);
  EXPECT_STREQ(cap10.c_str(), "q");

  apstring twoMore = Repeat('y', 3);
  twoMore += "ab";
  EXPECT_EQ(twoMore.capacity(), 6);
  full3 += 'c';
  EXPECT_EQ(full3.capacity(), 10);
}

TEST(ApstringTest, PieceAppendMatchesSingleCharacters) {
  const char piece[] = "(0,1,0,\b)-1\n";
  for (int start = 0; start < 30; start++) {
    SCOPED_TRACE(start);
    apstring whole = Repeat('x', start), single = Repeat('x', start);
    whole.append(piece, 13);
    for (int i = 0; i < 13; i++)
      single += piece[i];
    EXPECT_STREQ(whole.c_str(), single.c_str());
    EXPECT_EQ(whole.capacity(), single.capacity());
  }
}

TEST(ApstringTest, SelfAssignmentAndSelfAppend) {
  apstring s = "ab";
  const apstring &alias = s;
  s = alias;
  EXPECT_STREQ(s.c_str(), "ab");

  s += alias; // the buffer is replaced while its own text is appended
  EXPECT_STREQ(s.c_str(), "abab");
  EXPECT_EQ(s.length(), 4);

  apstring roomy = Repeat('x', 4);
  roomy = "ab";
  roomy += roomy; // fits in place
  EXPECT_STREQ(roomy.c_str(), "abab");
}

TEST(ApstringTest, IndexReadsAndWrites) {
  apstring s = "a+b";
  EXPECT_EQ(s[0], 'a');
  EXPECT_EQ(s[1], '+');
  EXPECT_EQ(s[2], 'b');
  s[1] = '*';
  EXPECT_STREQ(s.c_str(), "a*b");
  EXPECT_EQ(apstring().length(), 0);
  EXPECT_STREQ(apstring().c_str(), "");
}

TEST(ApstringTest, EmbeddedNulIsCopiedWithinTheLength) {
  apstring s = "a";
  s += '\0';
  s += 'b';
  ASSERT_EQ(s.length(), 3);
  apstring copy(s);
  apstring assigned;
  assigned = s;
  apstring appended = "x";
  appended += s;
  for (apstring *t : {&copy, &assigned}) {
    ASSERT_EQ(t->length(), 3);
    EXPECT_EQ((*t)[1], '\0');
    EXPECT_EQ((*t)[2], 'b');
  }
  ASSERT_EQ(appended.length(), 4);
  EXPECT_EQ(appended[3], 'b');
}

TEST(ApstringTest, ReadsOneWordAndLeavesTheDelimiter) {
  std::istringstream in("(a+b)*c  d\n");
  apstring s = "old";
  ASSERT_TRUE(in >> s);
  EXPECT_STREQ(s.c_str(), "(a+b)*c");
  EXPECT_EQ(in.peek(), ' ');
  ASSERT_TRUE(in >> s);
  EXPECT_STREQ(s.c_str(), "d");
  EXPECT_EQ(in.peek(), '\n');
  EXPECT_FALSE(in >> s);
  EXPECT_EQ(s.length(), 0);
}

TEST(ApstringTest, ReadEdgeCases) {
  const struct {
    const char *input;
    const char *word;
    bool failed;
  } cases[] = {
      {"", "", true},
      {" \t\n\r\f\v", "", true},
      {"\n\n  A+B", "A+B", true}, // cut off by the end of input
      {"A + B", "A", false},
      {"A\r\n", "A", false},
      {"\xe9\xff+x y", "\xe9\xff+x", false}, // high bytes are never blanks
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    std::istringstream in(c.input);
    apstring s = "old";
    in >> s;
    EXPECT_STREQ(s.c_str(), c.word);
    EXPECT_EQ(in.fail(), c.failed);
  }
}

TEST(ApstringTest, WritesItsText) {
  std::ostringstream out;
  out << apstring() << apstring("A+B");
  EXPECT_EQ(out.str(), "A+B");
}

} // namespace
