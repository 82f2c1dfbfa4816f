#ifndef PRECEDENCE_GROUPER_H
#define PRECEDENCE_GROUPER_H

#include "VarintStack.h"
#include "apstack.h"
#include "apstring.h"

#include <climits>
#include <new>

// Recognises a well-formed equation and writes it fully grouped by
// precedence: a precedence table and a loop, with an explicit stack of
// operators, so that deep nesting costs memory and never call stack. The
// typed parentheses are dropped, and every operator gets one pair of its own
// around its operands.
//
// No tree is built, nor anything per character but the answer. An operator,
// once reduced, puts one ")" after the operand read last and one "(" before
// the first character of its span. Read from the left, every ")" so goes
// after the latest operand; read from the right, with the same precedences,
// every "(" goes before the leftmost operand or "!" so far. So one pass from
// the left checks the equation and counts each operand's ")", and one from
// the right writes the grouped text backwards, counting the "(" as it goes.
class PrecedenceGrouper {
public:
  // Rewrites str into its grouped form and returns true when the whole of it
  // is a well-formed equation; otherwise leaves it alone and returns false.
  static bool Group(apstring &str) {
    PrecedenceGrouper g;
    if (!g.Check(str))
      return false;
    str = g.Write(str);
    return true;
  }

private:
  // How tightly each operator binds; a parenthesis binds nothing, so no
  // operator reduces past it.
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

  // From the left: true when str is well formed, with the ")" after each
  // operand on myCounts and the grouped text's length in myLength.
  bool Check(apstring &str) {
    bool wantOperand = true;
    int closes = -1; // ")" after the latest operand; -1 before the first
    // Each reduction is one operator, and one pair in the grouped text.
    const auto reduce = [this](int precedence) {
      const int count = Reduce(precedence);
      myLength += 2LL * count;
      return count;
    };
    for (int i = 0; i < str.length(); i++) {
      const char ch = str[i];
      myLength += ch != '(' && ch != ')' ? 1 : 0;
      if (wantOperand) {
        if (IsOperand(ch)) {
          if (closes >= 0)
            myCounts.push(closes);
          closes = 0;
          wantOperand = false;
        } else if (ch == '!' || ch == '(') {
          myOps.push(ch);
        } else {
          return false;
        }
      } else if (Precedence(ch) > 0 && ch != '!') {
        // Operators of one kind group from the left, so an equal one on the
        // stack is reduced first.
        closes += reduce(Precedence(ch) - 1);
        myOps.push(ch);
        wantOperand = true;
      } else if (ch == ')') {
        closes += reduce(0);
        if (myOps.isEmpty())
          return false;
        char open;
        myOps.pop(open);
      } else {
        return false;
      }
    }
    if (wantOperand)
      return false;
    closes += reduce(0);
    if (!myOps.isEmpty())
      return false;
    myCounts.push(closes);
    return true;
  }

  // From the right, over a well-formed str: the grouped text, written from
  // its end. A binary operator reduces only those that bind more tightly,
  // since of equal ones the left is reduced first; a "!" at once, since
  // nothing binds more tightly and its operand is complete.
  apstring Write(apstring &str) {
    const long long capped = myLength > INT_MAX ? INT_MAX : myLength;
    const int length = apstring::checkedLength(capped);
    apstring out = Blank(length);
    int w = length; // out[w..length) is written
    int opens = 0;  // "(" before the leftmost operand or "!" so far
    for (int i = str.length() - 1; i >= 0; i--) {
      const char ch = str[i];
      if (ch == ')') {
        myOps.push(ch);
        continue;
      }
      if (ch == '(') {
        opens += Reduce(0);
        char close;
        myOps.pop(close);
        continue;
      }
      if (Precedence(ch) > 0 && ch != '!')
        opens += Reduce(Precedence(ch));
      // The leftmost so far has all its "(": everything left of it now
      // reduces before whatever is written next.
      Put(out, w, '(', opens);
      opens = 0;
      if (IsOperand(ch))
        Put(out, w, ')', myCounts.pop());
      out[--w] = ch;
      if (ch == '!')
        opens = 1;
      else if (!IsOperand(ch))
        myOps.push(ch);
    }
    Put(out, w, '(', opens + Reduce(0));
    return out;
  }

  // Pops the operators above the innermost parenthesis that bind more
  // tightly than `precedence`, and returns how many.
  int Reduce(int precedence) {
    int count = 0;
    while (!myOps.isEmpty()) {
      char op;
      myOps.pop(op);
      if (Precedence(op) <= precedence) {
        myOps.push(op);
        break;
      }
      count++;
    }
    return count;
  }

  static void Put(apstring &out, int &w, char ch, int count) {
    for (int k = 0; k < count; k++)
      out[--w] = ch;
  }

  // A text of `length` characters, taken in one allocation.
  static apstring Blank(int length) {
    static const char kFill[256] = {};
    apstring text;
    if (!text.reserve(length + 1))
      throw std::bad_alloc();
    for (int done = 0; done < length; done += 256)
      text.append(kFill, length - done < 256 ? length - done : 256);
    return text;
  }

  apstack<char> myOps;    // pending operators and parentheses, innermost on top
  VarintStack myCounts;   // each operand's ")", the latest on top
  long long myLength = 0; // of the grouped text
};

#endif
