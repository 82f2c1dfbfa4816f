#ifndef FUNCTION_H
#define FUNCTION_H

#include "PrecedenceGrouper.h"
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
  static bool CalcSingle(char op, bool var1, bool var2);

private:
  static void Parenthesize(apstring &str);
  static void AddParenthesis(apstring &str, char op, int deg);
  static void CloseRightOperand(apstring &str, int i);
  static void OpenLeftOperand(apstring &str, int i, int deg);
  static int MatchingParenthesis(apstring &str, int from, int step);
  static void AddChar(apstring &str, char ch, int loc);
  void CalcDegree(apstring f);
  int LocInVariables(char ch);
  void SortVariables();
  static void swap(char &c1, char &c2);
  bool Calculate();
  void AddToVctr(int i);
  void CheckTableSize();
  void CopyDigits(apstring &row);
  static unsigned long long CalcWord(char op, unsigned long long var1, unsigned long long var2);
  unsigned long long CalculateBlock(int first);
  unsigned long long Evaluate();
  void Compile();
  static bool IsVariable(char ch);
  static bool IsOp(char ch);

  apstring myFunc;                // the grouped equation, fixed after construction
  apvector<Variable> myVariables; // distinct letters, ascending once constructed
  bool myError;                   // set once evaluation finds surplus values

  // The grouped equation compiled for evaluation, once, on first use.
  struct Step {
    char op;     // kPushVariable, kPushConstant, or the operator to apply
    int operand; // the variable's index, or the constant's truth value
  };
  static constexpr char kPushVariable = 'v', kPushConstant = 'c';
  static constexpr int kBlock = 64; // rows evaluated at once, one per bit
  bool myCompiled = false;
  apvector<Step> myProgram; // steps 0..mySteps-1 are in use
  int mySteps = 0;
  apvector<unsigned long long> myValues;  // evaluation stack, as deep as needed
  apvector<unsigned long long> myColumns; // one word per variable
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

inline bool Function::IsOp(char ch) { return ch == '!' || ch == '+' || ch == '*' || ch == '@'; }

// A well-formed equation is grouped by precedence. Only a malformed one goes
// through the four character passes, whose odd groupings, warning and stops
// are what such an equation has always got.
inline void Function::Parenthesize(apstring &str) {
  if (PrecedenceGrouper::Group(str))
    return;
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
    CloseRightOperand(str, i);
    OpenLeftOperand(str, i, deg);
    i++; // past the operator, which a "(" on its left has moved to i + 1
  }
}

// A one-character operand that already has a ")" after it gets none; a group
// always gets one, right after its own ")". Either lies after the operator.
inline void Function::CloseRightOperand(apstring &str, int i) {
  if (str[i + 1] == '(')
    AddChar(str, ')', MatchingParenthesis(str, i + 1, 1) + 1);
  else if (i + 2 >= str.length() || str[i + 2] != ')')
    AddChar(str, ')', i + 2);
}

inline void Function::OpenLeftOperand(apstring &str, int i, int deg) {
  if (deg == 1) {
    if (i == 0 || str[i - 1] != '(')
      AddChar(str, '(', i);
  } else if (str[i - 1] == ')') {
    AddChar(str, '(', MatchingParenthesis(str, i - 1, -1));
  } else if (i - 2 < 0 || str[i - 2] != '(') {
    AddChar(str, '(', i - 1);
  }
}

// The partner of the parenthesis at `from`: forward from a "(" (step 1) or
// backward from a ")" (step -1). One with no partner runs the search off the
// text.
inline int Function::MatchingParenthesis(apstring &str, int from, int step) {
  const char deeper = step > 0 ? '(' : ')';
  const char shallower = step > 0 ? ')' : '(';
  int t = from;
  for (int p = 1; p != 0;) {
    t += step;
    if (str[t] == deeper)
      p++;
    else if (str[t] == shallower)
      p--;
  }
  return t;
}

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

// The table's length is an int: 2n + 4 + 2^n (2n + 6) characters stays
// below INT_MAX up to 25 variables and passes it at 26, so a larger table is
// refused before anything is built for it.
inline void Function::CheckTableSize() {
  const int n = myVariables.length();
  if (n <= kMaxVariables)
    return;
  const long long rows = 1LL << n;
  std::cerr << "too many variables: the equation has " << n << ", at most " << kMaxVariables
            << " fit; its table would hold " << rows << " rows, "
            << 2LL * n + 4 + rows * (2LL * n + 6) << " bytes" << std::endl;
  std::exit(1);
}

// Rows are evaluated 64 at a time, and each row's text is kept in `row`
// between rows: the counter step changes only its last few digits, and the
// whole line is appended at once.
inline apstring Function::MakeTruthTable() {
  CheckTableSize();
  const int n = myVariables.length();
  apstring out = "(";
  apstring row = "(";
  for (int i = 0; i < n; i++) {
    out += myVariables[i].character;
    out += ',';
    myVariables[i].value = false;
    row += "0,";
  }
  out += "\b)\n";
  row += "\b)-0\n";

  // The first row's evaluation compiles the equation, so a malformed one ends
  // the run or is flagged here, before any row; the blocks reuse its steps.
  Calculate();
  const int resultAt = 2 * n + 4;
  const int rows = 1 << n;
  unsigned long long results = 0;
  for (int r = 0; r < rows; r++) {
    if (r % kBlock == 0)
      results = CalculateBlock(r);
    row[resultAt] = static_cast<char>('0' + ((results >> (r % kBlock)) & 1));
    out.append(row.c_str(), row.length());
    AddToVctr(n - 1);
    CopyDigits(row);
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

// A counter step changes a run of digits at the end, so the copy stops at
// the first digit from the right that already agrees.
inline void Function::CopyDigits(apstring &row) {
  for (int j = myVariables.length() - 1; j >= 0; j--) {
    const char digit = static_cast<char>('0' + myVariables[j].value);
    if (row[1 + 2 * j] == digit)
      return;
    row[1 + 2 * j] = digit;
  }
}

// The truth function of one infix operator on 64 pairs of values at once;
// any character but the three infix operators yields true.
inline unsigned long long Function::CalcWord(char op, unsigned long long var1,
                                             unsigned long long var2) {
  switch (op) {
  case '+':
    return var1 | var2;
  case '*':
    return var1 & var2;
  case '@':
    return var1 ^ var2;
  default:
    return ~0ULL;
  }
}

inline bool Function::CalcSingle(char op, bool var1, bool var2) {
  return CalcWord(op, var1 ? ~0ULL : 0, var2 ? ~0ULL : 0) & 1;
}

// The equation's value under the current assignment.
inline bool Function::Calculate() {
  if (!myCompiled)
    Compile();
  for (int j = 0; j < myVariables.length(); j++)
    myColumns[j] = myVariables[j].value ? ~0ULL : 0;
  return Evaluate() & 1;
}

// Bit k of the result is the equation's value in row first + k, for a first
// that is a multiple of 64 and an equation already compiled: within such a
// block the last six variables follow fixed bit patterns and every other
// variable stays constant.
inline unsigned long long Function::CalculateBlock(int first) {
  static const unsigned long long kPattern[] = {0xAAAAAAAAAAAAAAAAULL, 0xCCCCCCCCCCCCCCCCULL,
                                                0xF0F0F0F0F0F0F0F0ULL, 0xFF00FF00FF00FF00ULL,
                                                0xFFFF0000FFFF0000ULL, 0xFFFFFFFF00000000ULL};
  const int n = myVariables.length();
  for (int j = 0; j < n; j++) {
    const int bit = n - 1 - j;
    myColumns[j] = bit < 6 ? kPattern[bit] : ((first >> bit) & 1) ? ~0ULL : 0;
  }
  return Evaluate();
}

// Runs the compiled steps on the words in myColumns.
inline unsigned long long Function::Evaluate() {
  int top = -1;
  for (int s = 0; s < mySteps; s++) {
    const Step &step = myProgram[s];
    if (step.op == kPushVariable) {
      myValues[++top] = myColumns[step.operand];
    } else if (step.op == kPushConstant) {
      myValues[++top] = step.operand ? ~0ULL : 0;
    } else if (step.op == '!') {
      myValues[top] = ~myValues[top];
    } else {
      const unsigned long long right = myValues[top--];
      myValues[top] = CalcWord(step.op, myValues[top], right);
    }
  }
  return myValues[top];
}

// Reads the grouped equation once, the way every evaluation would: each ')'
// applies the latest operator not yet applied, '(' means nothing, and grouping
// put one ')' after the right operand of every operator. The stacks only
// count here, but they fail exactly where an evaluation would, so a malformed
// equation ends the run (empty pop) or sets myError (values left over) before
// any row is written. What remains is a list of steps to replay per block.
inline void Function::Compile() {
  apstack<bool> values;
  apstack<char> ops;
  myProgram.resize(myFunc.length());
  int depth = 0;
  for (int i = 0; i < myFunc.length(); i++) {
    const char ch = myFunc[i];
    if (IsVariable(ch)) {
      values.push(false);
      myProgram[mySteps++] = Step{kPushVariable, LocInVariables(ch)};
    } else if (IsOp(ch)) {
      ops.push(ch);
    } else if (ch == ')') {
      char op;
      bool operand;
      ops.pop(op);
      values.pop(operand);
      if (op != '!')
        values.pop(operand);
      values.push(false);
      myProgram[mySteps++] = Step{op, 0};
    } else if (ch >= '0' && ch <= '9') {
      values.push(false);
      myProgram[mySteps++] = Step{kPushConstant, ch != '0'};
    }
    depth = values.length() > depth ? values.length() : depth;
  }
  bool result;
  values.pop(result);
  if (values.length() > 0)
    myError = true;
  myValues.resize(depth);
  myColumns.resize(myVariables.length());
  myCompiled = true;
}

#endif
