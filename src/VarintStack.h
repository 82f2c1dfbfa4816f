#ifndef VARINT_STACK_H
#define VARINT_STACK_H

#include "apstack.h"

// A stack of non-negative ints that takes one byte for each below 128, so
// that a count or a distance kept for every character of a long equation
// costs about a byte. Each number is pushed as 7-bit groups, the most
// significant first and the only one without the high bit, so that pops
// meet that group last and know the number is whole.
class VarintStack {
public:
  bool isEmpty() const { return myBytes.isEmpty(); }

  __attribute__((always_inline)) void push(int n) {
    if (n < 128) {
      myBytes.push(static_cast<unsigned char>(n));
      return;
    }
    int shift = 0;
    while (shift < 28 && (n >> (shift + 7)) > 0)
      shift += 7;
    myBytes.push(static_cast<unsigned char>((n >> shift) & 127));
    for (shift -= 7; shift >= 0; shift -= 7)
      myBytes.push(static_cast<unsigned char>(((n >> shift) & 127) | 128));
  }

  __attribute__((always_inline)) int pop() {
    int n = 0;
    for (int shift = 0;; shift += 7) {
      unsigned char group;
      myBytes.pop(group);
      n |= (group & 127) << shift;
      if ((group & 128) == 0)
        return n;
    }
  }

private:
  apstack<unsigned char> myBytes;
};

// Positions that only grow from the bottom of the stack to its top, each
// kept as its distance from the one below.
class PositionStack {
public:
  bool isEmpty() const { return myDistances.isEmpty(); }
  int top() const { return myTop; }

  __attribute__((always_inline)) void push(int position) {
    myDistances.push(position - myTop);
    myTop = position;
  }

  __attribute__((always_inline)) int pop() {
    const int position = myTop;
    myTop -= myDistances.pop();
    return position;
  }

private:
  VarintStack myDistances; // each position less the one below, or less -1
  int myTop = -1;          // the top position; -1 when empty
};

#endif
