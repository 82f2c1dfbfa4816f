// What a run of the program cannot show: the truth function of operators
// that grouping never hands to it.
#include "Function.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(EngineTest, CalcSingle) {
  // Constructing a Function echoes its equation; keep that off the test log.
  std::ostringstream sink;
  std::streambuf *saved = std::cout.rdbuf(sink.rdbuf());
  Function f("A");
  std::cout.rdbuf(saved);
  EXPECT_EQ(sink.str(), "A\n");

  const struct {
    char op;
    const char *results; // for (0,0), (0,1), (1,0), (1,1)
  } cases[] = {
      {'+', "0111"}, {'*', "0001"}, {'@', "0110"}, {'!', "1111"}, {'-', "1111"}, {'(', "1111"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.op);
    for (int row = 0; row < 4; row++)
      EXPECT_EQ(f.CalcSingle(c.op, row & 2, row & 1), c.results[row] == '1') << "row " << row;
  }
}

} // namespace
