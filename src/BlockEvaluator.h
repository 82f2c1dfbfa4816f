#ifndef BLOCK_EVALUATOR_H
#define BLOCK_EVALUATOR_H

#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

// Evaluates a grouped equation for 64 rows of its table at once, row k of the
// block in bit k of a word. Rows are counted like the table's: the last
// variable is the lowest bit of the row number. In a block that starts at a
// multiple of 64 the last six variables follow fixed bit patterns and the
// others stay constant, so one pass over the equation serves 64 rows.
class BlockEvaluator {
public:
  static constexpr int kRows = 64;

  // `letters` are the variables in table order. The equation must be one
  // that a row's evaluation has read without stopping, so that every ")"
  // finds an operator and its operands.
  BlockEvaluator(apstring &grouped, apstring &letters)
      : myVariables(letters.length()), mySteps(grouped.length()), myColumns(letters.length()) {
    int column[256];
    for (int &c : column)
      c = -1;
    for (int j = 0; j < myVariables; j++)
      column[static_cast<unsigned char>(letters[j])] = j;
    Compile(grouped, column);
  }

  // Bit k is the equation's value in row first + k; `first` is a multiple of
  // 64. With fewer than six variables only the low 2^n bits are rows.
  unsigned long long Rows(long long first) {
    static const unsigned long long kPattern[] = {0xAAAAAAAAAAAAAAAAULL, 0xCCCCCCCCCCCCCCCCULL,
                                                  0xF0F0F0F0F0F0F0F0ULL, 0xFF00FF00FF00FF00ULL,
                                                  0xFFFF0000FFFF0000ULL, 0xFFFFFFFF00000000ULL};
    for (int j = 0; j < myVariables; j++) {
      const int bit = myVariables - 1 - j;
      myColumns[j] = bit < 6 ? kPattern[bit] : ((first >> bit) & 1) ? ~0ULL : 0;
    }
    // Every index below was settled when the equation was compiled, so the
    // loop runs on the arrays themselves; it is the inner loop of a table.
    const Step *step = &mySteps[0];
    const Step *const end = step + myCount;
    const unsigned long long *const columns = myVariables > 0 ? &myColumns[0] : nullptr;
    unsigned long long *const stack = &myStack[0];
    int top = -1;
    for (; step != end; step++) {
      if (step->op == kVariable) {
        stack[++top] = columns[step->operand];
      } else if (step->op == kConstant) {
        stack[++top] = step->operand ? ~0ULL : 0;
      } else if (step->op == '!') {
        stack[top] = ~stack[top];
      } else {
        top--;
        stack[top] = Apply(step->op, stack[top], stack[top + 1]);
      }
    }
    return stack[top];
  }

  // The truth function of one infix operator on 64 pairs of values, and so
  // on one pair too; any other character yields true.
  static unsigned long long Apply(char op, unsigned long long left, unsigned long long right) {
    switch (op) {
    case '+':
      return left | right;
    case '*':
      return left & right;
    case '@':
      return left ^ right;
    default:
      return ~0ULL;
    }
  }

private:
  // Reads the grouped text the way a row's evaluation does: each ")" applies
  // the latest operator not yet applied, "(" and unknown characters mean
  // nothing, and operators no ")" applies are dropped. What remains is the
  // postfix order of pushes and applications.
  void Compile(apstring &grouped, const int *column) {
    apstack<char> ops;
    int depth = 0;
    int deepest = 0;
    for (int i = 0; i < grouped.length(); i++) {
      const char ch = grouped[i];
      if (column[static_cast<unsigned char>(ch)] >= 0) {
        mySteps[myCount++] = Step{kVariable, column[static_cast<unsigned char>(ch)]};
        depth++;
      } else if (ch >= '0' && ch <= '9') {
        mySteps[myCount++] = Step{kConstant, ch != '0'};
        depth++;
      } else if (ch == '!' || ch == '+' || ch == '*' || ch == '@') {
        ops.push(ch);
      } else if (ch == ')') {
        char op;
        ops.pop(op);
        mySteps[myCount++] = Step{op, 0};
        depth -= op == '!' ? 0 : 1;
      }
      deepest = depth > deepest ? depth : deepest;
    }
    myStack.resize(deepest);
  }

  static constexpr char kVariable = 'v', kConstant = 'c';
  struct Step {
    char op;     // kVariable, kConstant, or the operator to apply
    int operand; // the variable's column, or the constant's truth value
  };

  int myVariables;                        // columns in a row
  apvector<Step> mySteps;                 // steps 0..myCount-1 are the equation
  int myCount = 0;                        // at most one step per character
  apvector<unsigned long long> myStack;   // as deep as the equation needs
  apvector<unsigned long long> myColumns; // each variable's 64 values in this block
};

#endif
