#ifndef FUNCTION_H
#define FUNCTION_H

#include "BatchEvaluator.h"
#include "PassText.h"
#include "Platform.h"
#include "PrecedenceGrouper.h"
#include "RowBlock.h"
#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

#include <cstdlib>
#include <iostream>
#include <utility>

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
  static bool CalcSingle(char op, bool var1, bool var2);

private:
  static void Parenthesize(apstring &str);
  static void AddParenthesis(PassText &str, char op, int deg);
  static void CloseRightOperand(PassText &str, int i);
  static void OpenLeftOperand(PassText &str, int i, int deg);
  static void AddChar(PassText &str, char ch, int loc);
  void CalcDegree(apstring &f);
  int LocInVariables(char ch);
  void SortVariables();
  static void swap(char &c1, char &c2);
  bool Calculate();
  long long TableLength();
  void CheckTableSize();
  void ReserveTable(apstring &out);
  static bool IsVariable(char ch);
  static bool IsOp(char ch);

  apstring myFunc;                // the grouped equation, fixed after construction
  apvector<Variable> myVariables; // distinct letters, ascending once constructed
  bool myError;                   // set once evaluation finds surplus values
};

// The equation comes by value, so a caller done with its own moves it in;
// it is then grouped and kept without another copy.
inline Function::Function(apstring f) : myError(false) {
  CalcDegree(f);
  Parenthesize(f);
  std::cout << f << std::endl;
  myFunc = std::move(f);
  SortVariables();
}

inline bool Function::IsVariable(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

inline bool Function::IsOp(char ch) { return ch == '!' || ch == '+' || ch == '*' || ch == '@'; }

// A well-formed equation is grouped by precedence. Only a malformed one goes
// through the four character passes, whose odd groupings, warning and stops
// are what such an equation has always got. They work on a text made for
// the way they read and insert, so that a long equation costs time linear
// in its length, not its square.
inline void Function::Parenthesize(apstring &str) {
  if (PrecedenceGrouper::Group(str))
    return;
  PassText text(str);
  AddParenthesis(text, '!', 1);
  AddParenthesis(text, '*', 2);
  AddParenthesis(text, '@', 2);
  AddParenthesis(text, '+', 2);
  str = text.take();
}

__attribute__((always_inline)) inline void Function::AddChar(PassText &str, char ch, int loc) {
  str.insert(loc, ch);
}

// Operands are one character or a parenthesized group, judged only by the
// characters next to the operator; malformed text may run the scan off either
// end, which the text's index test turns into the run's end.
inline void Function::AddParenthesis(PassText &str, char op, int deg) {
  if (!str.start(op))
    return;
  for (int i = 0; i < str.length(); i++) {
    if (str[i] != op)
      continue;
    CloseRightOperand(str, i);
    OpenLeftOperand(str, i, deg);
    i++; // past the operator, which a "(" on its left has moved to i + 1
  }
  str.finish();
}

// A one-character operand that already has a ")" after it gets none; a group
// always gets one, right after its own ")". Either lies after the operator.
inline void Function::CloseRightOperand(PassText &str, int i) {
  if (str[i + 1] == '(')
    AddChar(str, ')', str.partner(i + 1, 1) + 1);
  else if (i + 2 >= str.length() || str[i + 2] != ')')
    AddChar(str, ')', i + 2);
}

inline void Function::OpenLeftOperand(PassText &str, int i, int deg) {
  if (deg == 1) {
    if (i == 0 || str[i - 1] != '(')
      AddChar(str, '(', i);
  } else if (str[i - 1] == ')') {
    AddChar(str, '(', str.partner(i - 1, -1));
  } else if (i - 2 < 0 || str[i - 2] != '(') {
    AddChar(str, '(', i - 1);
  }
}

// Reads the equation as typed; it is not changed.
inline void Function::CalcDegree(apstring &f) {
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

// The table's length, known before its first row: a header, 2^n rows and
// the warning when the equation is flagged.
inline long long Function::TableLength() {
  const long long n = myVariables.length();
  return 2 * n + 4 + (1LL << n) * (2 * n + 6) + (myError ? 34 : 0);
}

// The table's length is an int: a table stays below INT_MAX up to 25
// variables and passes it at 26, so a larger one is refused before anything
// is built for it.
inline void Function::CheckTableSize() {
  const int n = myVariables.length();
  if (n <= kMaxVariables)
    return;
  std::cerr << "too many variables: the equation has " << n << ", at most " << kMaxVariables
            << " fit; its table would hold " << (1LL << n) << " rows, " << TableLength() << " bytes"
            << std::endl;
  std::exit(1);
}

// The whole table is taken in one allocation, so a table that cannot have
// its memory is refused before its first row, not at some growth halfway.
inline void Function::ReserveTable(apstring &out) {
  const long long bytes = TableLength();
  if (!out.reserve(static_cast<int>(bytes + 1))) {
    std::cerr << "not enough memory for the truth table: " << bytes << " bytes" << std::endl;
    std::exit(1);
  }
}

inline apstring Function::MakeTruthTable() {
  CheckTableSize();
  const int n = myVariables.length();
  apstring out = "(";
  apstring letters;
  for (int i = 0; i < n; i++) {
    out += myVariables[i].character;
    out += ',';
    myVariables[i].value = false;
    letters += myVariables[i].character;
  }
  out += "\b)\n";

  // The first row's evaluation ends the run on an equation it cannot
  // evaluate, or flags it, before any row is written. The rows themselves
  // are evaluated and written 64 at a time.
  static_assert(BatchEvaluator::kRows == RowBlock::kRows, "one word of results fills one block");
  Calculate();
  ReserveTable(out);
  BatchEvaluator evaluator(myFunc, letters);
  RowBlock block(n);
  platform::ExpectTable(TableLength());
  for (long long first = 0; first < (1LL << n); first += RowBlock::kRows) {
    block.AppendTo(out, first, evaluator.Rows(first));
    if (platform::TableSlice() > 0 && out.length() >= platform::TableSlice()) {
      std::cout.write(out.c_str(), out.length());
      out.truncate(0);
    }
  }

  if (myError)
    out += "WARNING: answer may contain errors";
  return out;
}

inline bool Function::CalcSingle(char op, bool var1, bool var2) {
  return BatchEvaluator::Apply(op, var1 ? ~0ULL : 0, var2 ? ~0ULL : 0) & 1;
}

// Each ")" applies the latest operator not yet applied: the grouping put one
// after the right operand of every operator, so no precedence is needed here.
// A ")" with nothing to apply, or an operator short of operands, pops an
// empty stack and ends the run; values left over flag the equation.
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
      bool temp1;
      bool temp2;
      ops.pop(op);
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
