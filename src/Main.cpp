#include "Function.h"

#include <iostream>

int main() {
  apstring str;
  std::cout << HowToUse() << std::endl;
  std::cout << "Enter Equation:" << std::endl;
  std::cin >> str;
  std::cout << "Truth Table:\n";
  Function f(str);
  std::cout << f.MakeTruthTable() << std::flush;
  // A table lost on a full disk or a closed pipe must not pass for success.
  if (!std::cout) {
    std::cerr << "error writing the truth table to standard output" << std::endl;
    return 1;
  }
  return 0;
}
