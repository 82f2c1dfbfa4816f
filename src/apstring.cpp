#include "apstring.h"

#include "Platform.h"

#include <cassert>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

// Lengths are ints and the NUL needs a place of its own, so the longest text
// is INT_MAX - 1 characters. Anything longer ends the run rather than wrap.
int apstring::checkedLength(long long len) {
  if (len > INT_MAX - 1) {
    std::cerr << "apstring: a text of " << len << " characters is too long" << std::endl;
    std::exit(1);
  }
  return static_cast<int>(len);
}

namespace {

int measure(const char *s) {
  assert(s != 0);
  return apstring::checkedLength(static_cast<long long>(std::strlen(s)));
}

// Every buffer the string grows into comes from here: null when the memory
// cannot be had, and advised to huge pages when it is large.
char *allocate(long long capacity) {
  char *buffer = new (std::nothrow) char[capacity];
  if (buffer != nullptr)
    platform::AdviseHugePages(buffer, capacity);
  return buffer;
}

} // namespace

apstring::apstring() : myLength(0), myCapacity(1), myCstring(new char[1]) { myCstring[0] = '\0'; }

apstring::apstring(const char *s)
    : myLength(measure(s)), myCapacity(myLength + 1), myCstring(new char[myCapacity]) {
  std::memcpy(myCstring, s, myCapacity);
}

apstring::apstring(const apstring &str)
    : myLength(str.myLength), myCapacity(myLength + 1), myCstring(new char[myCapacity]) {
  std::memcpy(myCstring, str.myCstring, myCapacity);
}

// The source is left with the new string's empty buffer.
apstring::apstring(apstring &&str) : apstring() { // NOLINT(performance-noexcept-move-constructor)
  *this = std::move(str);
}

apstring::~apstring() { delete[] myCstring; }

// The old text is not needed once the buffer is too small, so it is released
// before the larger one is taken: at no time are both held.
void apstring::reserveForAssign(int len) {
  if (myCapacity < len + 1) {
    delete[] myCstring;
    myCstring = nullptr;
    myCapacity = len + 1;
    myCstring = new char[myCapacity];
  }
  myLength = len;
}

const apstring &apstring::operator=(const apstring &rhs) {
  // Without this test a self-assignment into a too small buffer would free the
  // very text it is about to copy.
  if (this == &rhs)
    return *this;
  reserveForAssign(rhs.myLength);
  std::memcpy(myCstring, rhs.myCstring, myLength + 1);
  return *this;
}

// The buffers change hands: the source takes the old text, which goes when
// the source does. Moving a string into itself leaves it as it was.
const apstring &apstring::operator=(apstring &&rhs) noexcept {
  char *const buffer = myCstring;
  const int length = myLength;
  const int capacity = myCapacity;
  myCstring = rhs.myCstring;
  myLength = rhs.myLength;
  myCapacity = rhs.myCapacity;
  rhs.myCstring = buffer;
  rhs.myLength = length;
  rhs.myCapacity = capacity;
  return *this;
}

const apstring &apstring::operator=(const char *s) {
  const int len = measure(s);
  reserveForAssign(len);
  std::memcpy(myCstring, s, myLength + 1);
  return *this;
}

const apstring &apstring::operator=(char ch) {
  reserveForAssign(1);
  myCstring[0] = ch;
  myCstring[1] = '\0';
  return *this;
}

bool apstring::reserve(int capacity) {
  if (capacity <= myCapacity)
    return true;
  char *newBuffer = allocate(capacity);
  if (newBuffer == nullptr)
    return false;
  std::memcpy(newBuffer, myCstring, myLength + 1);
  delete[] myCstring;
  myCstring = newBuffer;
  myCapacity = capacity;
  return true;
}

// Appending a string to itself in place reads [0, n) and writes [n, 2n): the
// ranges never overlap.
const apstring &apstring::operator+=(const apstring &str) {
  return appendInPlace(str.myCstring, str.myLength) ? *this
                                                    : appendGrowing(str.myCstring, str.myLength);
}

// A single character meeting a full buffer more than doubles the capacity
// (n becomes 2n + 2), so building a text one character at a time stays
// linear; a longer piece sizes the buffer exactly. The new text is copied
// before the old buffer goes, which keeps a string appended to itself whole.
const apstring &apstring::appendGrowing(const char *text, int count) {
  const int newLength = checkedLength(static_cast<long long>(myLength) + count);
  long long newCapacity = static_cast<long long>(newLength) + 1;
  if (count == 1)
    newCapacity *= 2;
  if (newCapacity > INT_MAX)
    newCapacity = INT_MAX;

  char *newBuffer = allocate(newCapacity);
  if (newBuffer == nullptr)
    throw std::bad_alloc();
  std::memcpy(newBuffer, myCstring, myLength);
  std::memcpy(newBuffer + myLength, text, count);
  newBuffer[newLength] = '\0';
  delete[] myCstring;
  myCstring = newBuffer;
  myCapacity = static_cast<int>(newCapacity);
  myLength = newLength;
  return *this;
}

void apstring::indexFailure(int k) const {
  std::cerr << "index out of range: " << k << " string: " << myCstring << std::endl;
  std::exit(1);
}

std::ostream &operator<<(std::ostream &os, const apstring &str) { return os << str.c_str(); }

namespace {
// What std::isspace finds white in the "C" locale, which the program never
// leaves, without a library call for every character of the equation.
bool isSpace(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
} // namespace

// Reads one whitespace-delimited word. The delimiter goes back into the
// stream so that the caller sees it; a word cut off by the end of input is
// kept whole and leaves the stream failed. After the first character the
// word is taken from the stream's buffer itself: a formatted read per
// character would cost most of the time a long equation takes.
std::istream &operator>>(std::istream &is, apstring &str) {
  char ch = '\0';
  str = "";
  if (!(is >> ch))
    return is;
  str += ch;
  std::streambuf *const in = is.rdbuf();
  for (;;) {
    const int next = in->sbumpc();
    if (next == std::char_traits<char>::eof()) {
      is.setstate(std::ios::eofbit | std::ios::failbit);
      return is;
    }
    if (isSpace(static_cast<char>(next))) {
      if (in->sputbackc(static_cast<char>(next)) == std::char_traits<char>::eof())
        is.setstate(std::ios::badbit);
      return is;
    }
    str += static_cast<char>(next);
  }
}
