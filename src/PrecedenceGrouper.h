#ifndef PRECEDENCE_GROUPER_H
#define PRECEDENCE_GROUPER_H

#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

// Recognises a well-formed equation and writes it fully grouped by
// precedence, in one left-to-right pass: a precedence table and a loop, with
// explicit stacks, so that deep nesting costs memory and never call stack.
//
// No tree is built. Each operator, once reduced, knows the first and last
// character of its whole operand span, and puts one "(" before the first and
// one ")" after the last; the typed parentheses are dropped. The grouped text
// is then the characters with their counts of "(" and ")" around them.
class PrecedenceGrouper {
public:
  // Rewrites str into its grouped form and returns true when the whole of it
  // is a well-formed equation; otherwise leaves it alone and returns false.
  static bool Group(apstring &str) {
    PrecedenceGrouper g(str.length());
    if (!g.Parse(str))
      return false;
    str = g.Emit(str);
    return true;
  }

private:
  explicit PrecedenceGrouper(int length) : myOpens(length), myCloses(length) {
    for (int i = 0; i < length; i++)
      myOpens[i] = myCloses[i] = 0;
  }

  // How tightly each operator binds; "(" binds nothing, so no operator
  // reduces past it.
  static int Precedence(char op) {
    switch (op) {
    case '!':
      return 4;
    case '*':
      return 3;
    case '@':
      return 2;
    case '+':
      return 1;
    default:
      return 0;
    }
  }

  static bool IsOperand(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
  }

  bool Parse(apstring &str) {
    bool wantOperand = true;
    for (int i = 0; i < str.length(); i++) {
      const char ch = str[i];
      if (wantOperand) {
        if (IsOperand(ch)) {
          PushSpan(i, i);
          wantOperand = false;
        } else if (ch == '!' || ch == '(') {
          myOps.push(ch);
          myOpAt.push(i);
        } else {
          return false;
        }
      } else if (Precedence(ch) > 0 && ch != '!') {
        // Operators of one kind group from the left, so an equal one on the
        // stack is reduced first.
        ReduceWhileAtLeast(Precedence(ch));
        myOps.push(ch);
        myOpAt.push(i);
        wantOperand = true;
      } else if (ch == ')') {
        ReduceWhileAtLeast(1);
        if (!PopOpen())
          return false;
      } else {
        return false;
      }
    }
    if (wantOperand)
      return false;
    ReduceWhileAtLeast(1);
    return myOps.isEmpty();
  }

  // Reduces the operators on top of the stack that bind at least as tightly
  // as `precedence`; stops at a "(" or at the bottom.
  void ReduceWhileAtLeast(int precedence) {
    while (!myOps.isEmpty()) {
      char op;
      int at;
      myOps.pop(op);
      myOpAt.pop(at);
      if (Precedence(op) < precedence) {
        myOps.push(op);
        myOpAt.push(at);
        return;
      }
      int first;
      int last;
      int leftLast;
      PopSpan(first, last);
      if (op == '!')
        first = at;
      else
        PopSpan(first, leftLast);
      myOpens[first]++;
      myCloses[last]++;
      PushSpan(first, last);
    }
  }

  // Takes the "(" that a ")" closes; false when there is none.
  bool PopOpen() {
    if (myOps.isEmpty())
      return false;
    char op;
    int at;
    myOps.pop(op);
    myOpAt.pop(at);
    return op == '(';
  }

  void PushSpan(int first, int last) {
    myFirsts.push(first);
    myLasts.push(last);
  }

  void PopSpan(int &first, int &last) {
    myFirsts.pop(first);
    myLasts.pop(last);
  }

  apstring Emit(apstring &str) {
    apstring grouped;
    for (int i = 0; i < str.length(); i++) {
      if (str[i] == '(' || str[i] == ')')
        continue;
      for (int k = 0; k < myOpens[i]; k++)
        grouped += '(';
      grouped += str[i];
      for (int k = 0; k < myCloses[i]; k++)
        grouped += ')';
    }
    return grouped;
  }

  apvector<int> myOpens;  // "(" to write before character i of the equation
  apvector<int> myCloses; // ")" to write after character i
  apstack<char> myOps;    // pending operators and open "(", innermost on top
  apstack<int> myOpAt;    // where each of myOps stands in the equation
  apstack<int> myFirsts;  // operands so far: first character of each span
  apstack<int> myLasts;   // and its last character
};

#endif
