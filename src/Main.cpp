#include "Function.h"
#include "Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <utility>

namespace {

int Run() {
  apstring str;
  std::cout << HowToUse() << std::endl;
  std::cout << "Enter Equation:" << std::endl;
  // The prompt's endl has flushed it; a tied stream would be flushed again
  // for every character of the word, which for a long equation is most of
  // the time spent reading it.
  std::cin.tie(nullptr);
  // The stream reports the end of input and a failed read alike; only the
  // C stream under it, which reads for it, knows a failure, and errno still
  // holds its reason. A word cut off by a failure is not an equation.
  errno = 0;
  std::cin >> str;
  if (std::ferror(stdin)) {
    std::cerr << "error reading the equation from standard input: " << std::strerror(errno)
              << std::endl;
    return 1;
  }
  std::cout << "Truth Table:\n";
  Function f(std::move(str));
  const apstring table = f.MakeTruthTable();
  // The table is written by its length, not measured again, and a table lost
  // on a full disk or a closed pipe must not pass for success.
  std::cout.write(table.c_str(), table.length()).flush();
  if (!std::cout) {
    std::cerr << "error writing the truth table to standard output" << std::endl;
    return 1;
  }
  return 0;
}

} // namespace

int main() {
  platform::UseBinaryStreams();
  platform::HoldWindowAtExit();
  platform::ReturnFreedMemory();
  platform::WriteTablesInSlices();
  // Memory that cannot be had ends the run with a line, not an abort; the
  // table's own memory is refused earlier, with its size.
  try {
    return Run();
  } catch (const std::bad_alloc &) {
    std::cerr << "out of memory" << std::endl;
    return 1;
  }
}
