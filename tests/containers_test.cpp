#include "VarintStack.h"
#include "apstack.h"
#include "apvector.h"

#include <gtest/gtest.h>

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

// Numbers of every width come back in reverse order, across the bytes'
// 7-bit groups; positions come back from their distances.
TEST(VarintStackTest, NumbersAndPositionsComeBackReversed) {
  const int numbers[] = {0, 1, 127, 128, 300, 16383, 16384, 2097151, 2097152, 1 << 28, 2147483647};
  VarintStack s;
  PositionStack p;
  for (int n : numbers) {
    s.push(n);
    p.push(n);
    ASSERT_EQ(p.top(), n);
  }
  for (int k = sizeof numbers / sizeof *numbers - 1; k >= 0; k--) {
    SCOPED_TRACE(numbers[k]);
    EXPECT_EQ(s.pop(), numbers[k]);
    EXPECT_EQ(p.pop(), numbers[k]);
  }
  EXPECT_TRUE(s.isEmpty());
  EXPECT_TRUE(p.isEmpty());
}

} // namespace
