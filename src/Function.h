#ifndef FUNCTION_H
#define FUNCTION_H

#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

#include <cstdlib>
#include <iostream>

inline apstring HowToUse() {
  return "Quorvane\n"
         "by Orlwick\n"
         "Advice Given by Tessaline\n"
         "! - NOT\n"
         "* - AND\n"
         "@ - XOR\n"
         "+ - OR\n"
         "Example: !(A+B@C)\n"
         "No Spaces";
}

struct Variable {
  char character; // the letter as typed; case matters
  bool value;     // its truth value in the row being evaluated
};

// One equation: its grouped text, its variables and whether evaluation found
// it malformed. A Function is made from an equation and never copied.
class Function {
public:
  static constexpr int kMaxVariables = 25;

  explicit Function(apstring f);
  ~Function() = default;
  Function(const Function &) = delete;
  Function &operator=(const Function &) = delete;

  apstring MakeTruthTable();
  bool CalcSingle(char op, bool var1, bool var2);

private:
  void Parenthesize(apstring &str);
  void AddParenthesis(apstring &str, char op, int deg);
  void AddChar(apstring &str, char ch, int loc);
  void CalcDegree(apstring f);
  int LocInVariables(char ch);
  void SortVariables();
  void swap(char &c1, char &c2);
  bool Calculate();
  void AddToVctr(int i);
  void CheckTableSize();
  static bool IsVariable(char ch);
  static bool IsOp(char ch);

  apstring myFunc;                // the grouped equation, fixed after construction
  apvector<Variable> myVariables; // distinct letters, ascending once constructed
  bool myError;                   // set once evaluation finds surplus values
};

inline Function::Function(apstring f) : myError(false) {
  CalcDegree(f);
  Parenthesize(f);
  std::cout << f << std::endl;
  myFunc = f;
  SortVariables();
}

inline bool Function::IsVariable(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

inline bool Function::IsOp(char ch) {
  return ch == '!' || ch == '+' || ch == '*' || ch == '@';
}

// Grouping

inline void Function::Parenthesize(apstring &str) {
  AddParenthesis(str, '!', 1);
  AddParenthesis(str, '*', 2);
  AddParenthesis(str, '@', 2);
  AddParenthesis(str, '+', 2);
}

inline void Function::AddChar(apstring &str, char ch, int loc) {
  char temp = ch;
  for (; loc < str.length(); loc++) {
    const char t2 = str[loc];
    str[loc] = temp;
    temp = t2;
  }
  str += temp;
}

// Operands are one character or a parenthesized group, judged only by the
// characters next to the operator; malformed text may run the scan off either
// end, which the string's index test turns into the run's end.
inline void Function::AddParenthesis(apstring &str, char op, int deg) {
  for (int i = 0; i < str.length(); i++) {
    if (str[i] != op)
      continue;
    if (str[i + 1] != '(') {
      if (i + 2 >= str.length())
        str += ')';
      else if (str[i + 2] != ')')
        AddChar(str, ')', i + 2);
    } else {
      int t = i + 1;
      for (int p = 1; p != 0;) {
        t++;
        if (str[t] == '(')
          p++;
        else if (str[t] == ')')
          p--;
      }
      AddChar(str, ')', t + 1);
    }

    if (deg == 1) {
      if (i == 0 || str[i - 1] != '(')
        AddChar(str, '(', i);
    } else if (str[i - 1] != ')') {
      if (i - 2 < 0 || str[i - 2] != '(')
        AddChar(str, '(', i - 1);
    } else {
      int t = i - 1;
      for (int p = 1; p != 0;) {
        t--;
        if (str[t] == ')')
          p++;
        else if (str[t] == '(')
          p--;
      }
      AddChar(str, '(', t);
    }
    i++;
  }
}

// Variable table

inline void Function::CalcDegree(apstring f) {
  for (int i = 0; i < f.length(); i++) {
    if (!IsVariable(f[i]) || LocInVariables(f[i]) != -1)
      continue;
    myVariables.resize(myVariables.length() + 1);
    myVariables[myVariables.length() - 1] = Variable{f[i], false};
  }
}

inline int Function::LocInVariables(char ch) {
  for (int i = 0; i < myVariables.length(); i++)
    if (myVariables[i].character == ch)
      return i;
  return -1;
}

// Gnome sort: at most 52 letters, and stepping back after each exchange keeps
// the code to one loop.
inline void Function::SortVariables() {
  for (int i = 1; i < myVariables.length(); i++) {
    if (i > 0 && myVariables[i - 1].character > myVariables[i].character) {
      swap(myVariables[i - 1].character, myVariables[i].character);
      i -= 2;
    }
  }
}

inline void Function::swap(char &c1, char &c2) {
  const char temp = c1;
  c1 = c2;
  c2 = temp;
}

// Truth table

// The table's length is an int: 2n + 4 + 2^n (2n + 6) characters stays
// below INT_MAX up to 25 variables and passes it at 26, so a larger table is
// refused before anything is built for it.
inline void Function::CheckTableSize() {
  const int n = myVariables.length();
  if (n <= kMaxVariables)
    return;
  const long long rows = 1LL << n;
  std::cerr << "too many variables: the equation has " << n << ", at most "
            << kMaxVariables << " fit; its table would hold " << rows
            << " rows, " << 2LL * n + 4 + rows * (2LL * n + 6) << " bytes"
            << std::endl;
  std::exit(1);
}

inline apstring Function::MakeTruthTable() {
  CheckTableSize();
  apstring out = "(";
  const int n = myVariables.length();
  for (int i = 0; i < n; i++) {
    out += myVariables[i].character;
    out += ',';
    myVariables[i].value = false;
  }
  out += "\b)\n";
  const int rows = 1 << n;
  for (int row = 0; row < rows; row++) {
    out += '(';
    for (int j = 0; j < n; j++) {
      out += static_cast<char>('0' + myVariables[j].value);
      out += ',';
    }
    out += "\b)";
    out += '-';
    out += static_cast<char>('0' + Calculate());
    out += '\n';
    AddToVctr(n - 1);
  }
  if (myError)
    out += "WARNING: answer may contain errors";
  return out;
}

// Steps the assignment like a binary counter whose last entry is the least
// significant digit; a digit that rolls over to false carries left.
inline void Function::AddToVctr(int i) {
  if (i < 0)
    return;
  myVariables[i].value = !myVariables[i].value;
  if (!myVariables[i].value)
    AddToVctr(i - 1);
}

// Evaluation

inline bool Function::CalcSingle(char op, bool var1, bool var2) {
  switch (op) {
  case '+':
    return var1 || var2;
  case '*':
    return var1 && var2;
  case '@':
    return var1 != var2;
  default:
    return true;
  }
}

// Each ')' applies the latest operator not yet applied; '(' means nothing
// here, since grouping put one ')' after the right operand of every operator.
inline bool Function::Calculate() {
  apstack<bool> values;
  apstack<char> ops;
  for (int i = 0; i < myFunc.length(); i++) {
    const char ch = myFunc[i];
    if (IsVariable(ch)) {
      values.push(myVariables[LocInVariables(ch)].value);
    } else if (IsOp(ch)) {
      ops.push(ch);
    } else if (ch == ')') {
      char op;
      ops.pop(op);
      bool temp1, temp2;
      values.pop(temp1);
      if (op == '!') {
        values.push(!temp1);
      } else {
        values.pop(temp2);
        values.push(CalcSingle(op, temp2, temp1));
      }
    } else if (ch >= '0' && ch <= '9') {
      values.push(ch != '0');
    }
  }
  bool temp;
  values.pop(temp);
  if (values.length() > 0)
    myError = true;
  return temp;
}

#endif
