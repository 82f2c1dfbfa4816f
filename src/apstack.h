#ifndef APSTACK_H
#define APSTACK_H

#include "apvector.h"

#include <climits>
#include <cstdlib>
#include <iostream>

// A last-in, first-out stack whose room doubles whenever a push finds it full.
template <class T> class apstack {
public:
  apstack() : myTop(-1), myElements(10) {}

  apstack(const apstack &) = delete;
  apstack &operator=(const apstack &) = delete;

  void push(const T &item) {
    if (myTop + 1 >= myElements.length())
      myElements.resize(Grown(myElements.length()));
    myTop++;
    myElements[myTop] = item;
  }

  void pop(T &item) {
    if (isEmpty()) {
      std::cerr << "error, popping an empty stack" << std::endl;
      std::exit(1);
    }
    item = myElements[myTop];
    myTop--;
  }

  int length() const { return myTop + 1; }
  bool isEmpty() const { return myTop == -1; }

private:
  // Twice the room, short of overflowing an int; a stack that cannot grow
  // any further fails the index test at its next push.
  static int Grown(int room) { return room >= INT_MAX / 2 ? INT_MAX : room < 1 ? 1 : 2 * room; }

  int myTop;              // index of the top element; -1 when empty
  apvector<T> myElements; // elements 0..myTop, bottom to top; room never shrinks
};

#endif
