#include "TextTree.h"
#include "apstack.h"
#include "apvector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

TEST(ApvectorTest, ResizeKeepsTheCommonPrefix) {
  const struct { int from, to; } cases[] = {{3, 5}, {3, 2}, {3, 3}, {3, 0}, {0, 4}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
    apvector<int> v(c.from);
    for (int k = 0; k < c.from; k++)
      v[k] = 10 * k;
    v.resize(c.to);
    ASSERT_EQ(v.length(), c.to);
    for (int k = 0; k < c.from && k < c.to; k++)
      EXPECT_EQ(v[k], 10 * k);
  }
}

TEST(ApvectorTest, DefaultVectorGrowsByResize) {
  apvector<char> v;
  EXPECT_EQ(v.length(), 0);
  v.resize(1);
  v[0] = 'x';
  EXPECT_EQ(v[0], 'x');
}

TEST(ApstackTest, ElevenElementsComeBackReversedAcrossTheGrowth) {
  apstack<int> s;
  EXPECT_TRUE(s.isEmpty());
  for (int round = 0; round < 2; round++) {
    const int count = round == 0 ? 11 : 31; // 31 crosses the room of 20 too
    for (int k = 0; k < count; k++) {
      s.push(k);
      ASSERT_EQ(s.length(), k + 1);
    }
    for (int k = count - 1; k >= 0; k--) {
      int item = -1;
      s.pop(item);
      ASSERT_EQ(item, k);
    }
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.length(), 0);
  }
}

// The partner a character-by-character scan finds, or -2 when it runs off.
int ScannedPartner(const std::string &text, int from) {
  const int step = text[from] == '(' ? 1 : -1;
  int depth = 1;
  for (int t = from + step; t >= 0 && t < static_cast<int>(text.size()); t += step) {
    depth += text[t] == '(' ? step : text[t] == ')' ? -step : 0;
    if (depth == 0)
      return t;
  }
  return -2;
}

// Leaves of four characters under nodes of four children stand a dozen
// levels high after a few hundred insertions, so random edits reach every
// split, the root's growth and stale figures at every level. A plain string
// is the meaning.
TEST(TextTreeTest, RandomEditsMatchAPlainString) {
  std::mt19937 rng(20261209);
  int searches = 0;
  for (int round = 0; round < 300; round++) {
    std::string plain;
    for (int k = rng() % 40; k > 0; k--)
      plain += "()(A"[rng() % 4];
    apstring start = plain.c_str();
    BasicTextTree<4, 4> tree(start);
    // Half the positions follow on from the last, as the grouping passes
    // read and insert, so that the tree's cursor is used as well as left.
    int pos = 0;
    for (int step = 0; step < 600; step++) {
      pos = rng() % 2 ? static_cast<int>(rng() % (plain.size() + 1))
                      : std::min(pos + static_cast<int>(rng() % 3), static_cast<int>(plain.size()));
      if (rng() % 2) {
        const char ch = "()()(A"[rng() % 6];
        plain.insert(plain.begin() + pos, ch);
        tree.insert(pos, ch);
      } else if (pos < static_cast<int>(plain.size())) {
        ASSERT_EQ(tree[pos], plain[pos]) << pos;
        const int partner = plain[pos] == 'A' ? -2 : ScannedPartner(plain, pos);
        if (partner >= 0) {
          ASSERT_EQ(tree.partner(pos, plain[pos] == '(' ? 1 : -1), partner) << pos;
          searches++;
        }
      }
      ASSERT_EQ(tree.length(), static_cast<int>(plain.size()));
    }
    const apstring text = tree.text();
    ASSERT_EQ(std::string(text.c_str(), text.length()), plain);
  }
  EXPECT_GT(searches, 10000);
}

} // namespace
