// When a run waits for Enter before its window closes: only when a
// double-click gave it a console of its own.
#include "Platform.h"

#include <gtest/gtest.h>

namespace {

TEST(PlatformTest, OnlyAConsoleOfItsOwnIsHeldOpen) {
  const struct {
    const char *who;
    unsigned long processes;
    bool input, output, wine, holds;
  } cases[] = {
      {"double-click", 1, true, true, false, true},
      {"from cmd or PowerShell", 2, true, true, false, false},
      {"input from a pipe or a file", 1, false, true, false, false},
      {"output to a pipe or a file", 1, true, false, false, false},
      {"no console at all", 0, false, false, false, false},
      {"Wine from a Unix terminal", 1, true, true, true, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.who);
    EXPECT_EQ(platform::HoldsWindowOpen(c.processes, c.input, c.output, c.wine), c.holds);
  }
}

#if defined(_WIN32)
// The tests run with their streams on pipes or files, under Wine or not.
TEST(PlatformTest, TheTestsOwnRunIsNotHeldOpen) {
  DWORD process = 0;
  EXPECT_FALSE(platform::HoldsWindowOpen(GetConsoleProcessList(&process, 1),
                                         platform::IsConsole(STD_INPUT_HANDLE),
                                         platform::IsConsole(STD_OUTPUT_HANDLE), false));
}
#endif

} // namespace
