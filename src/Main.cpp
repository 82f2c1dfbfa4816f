#include "Function.h"

#include <iostream>

int main() {
  apstring str;
  std::cout << HowToUse() << std::endl;
  std::cout << "Enter Equation:" << std::endl;
  std::cin >> str;
  std::cout << "Truth Table:\n";
  Function f(str);
  std::cout << f.MakeTruthTable();
  return 0;
}
