#ifndef APVECTOR_H
#define APVECTOR_H

#include <cstdlib>
#include <iostream>

// An owning array of exactly length() elements. It changes size only through
// resize; new elements get no value, so a user assigns before it reads.
template <class T> class apvector {
public:
  apvector() : mySize(0), myList(nullptr) {}
  explicit apvector(int size) : mySize(size), myList(new T[size]) {}
  ~apvector() { delete[] myList; }

  // A shallow copy would release the array twice, and nothing needs a deep one.
  apvector(const apvector &) = delete;
  apvector &operator=(const apvector &) = delete;

  int length() const { return mySize; }

  T &operator[](int k) {
    if (k < 0 || k >= mySize) {
      std::cerr << "Illegal vector index: " << k << " max index = " << mySize - 1 << std::endl;
      std::exit(1);
    }
    return myList[k];
  }

  // Always a fresh array of exactly newSize elements: no spare room is kept,
  // so a user that grows often picks its own growth step.
  void resize(int newSize) {
    const int numToCopy = newSize < mySize ? newSize : mySize;
    T *newList = new T[newSize];
    for (int k = 0; k < numToCopy; k++)
      newList[k] = myList[k];
    delete[] myList;
    mySize = newSize;
    myList = newList;
  }

private:
  int mySize; // elements in myList
  T *myList;  // exactly mySize elements; null only with mySize 0 from apvector()
};

#endif
