#ifndef APSTRING_H
#define APSTRING_H

#include <cstring>
#include <iostream>

// An owning, growable, NUL-terminated string with an explicit length.
// Every copy and assignment copies the characters; a move hands them over,
// so that a text of megabytes passes from owner to owner without a copy.
class apstring {
public:
  apstring();
  apstring(const char *s); // NOLINT(google-explicit-constructor): literals convert
  apstring(const apstring &str);
  // The source keeps a text of its own, an empty one, which takes an
  // allocation: this move can throw as a copy can.
  apstring(apstring &&str); // NOLINT(performance-noexcept-move-constructor)
  ~apstring();

  const apstring &operator=(const apstring &rhs);
  const apstring &operator=(apstring &&rhs) noexcept;
  const apstring &operator=(const char *s);
  const apstring &operator=(char ch);

  // `len` when a text may have that many characters; otherwise the run ends
  // with a line saying the text is too long. Texts that grow elsewhere, to
  // become strings later, are held to the same limit.
  static int checkedLength(long long len);

  int length() const { return myLength; }
  int capacity() const { return myCapacity; }
  const char *c_str() const { return myCstring; }

  char &operator[](int k) {
    if (k < 0 || k >= myLength)
      indexFailure(k);
    return myCstring[k];
  }

  // Makes room for `capacity` characters, NUL included, in one allocation, so
  // that a text whose final length is known is built without a growth. False
  // when the memory cannot be had; the string is then as it was. A capacity
  // that is already there is kept, since a buffer never shrinks.
  bool reserve(int capacity);

  // Keeps the first `length` characters, 0 <= length <= length(); the
  // buffer stays, so a text built in place ends without a copy.
  void truncate(int length) {
    if (length < 0 || length > myLength)
      indexFailure(length);
    myLength = length;
    myCstring[myLength] = '\0';
  }

  const apstring &operator+=(const apstring &str);
  const apstring &operator+=(char ch) {
    // The common case, a buffer with room, must stay cheap: the table text
    // is built one character at a time.
    return appendInPlace(&ch, 1) ? *this : appendGrowing(&ch, 1);
  }

  // Leaves the same text and capacity as appending the characters one at a
  // time, but copies the piece at once whenever it fits. The text must not
  // lie in this string's own buffer, which a growth would release.
  void append(const char *text, int count) {
    if (appendInPlace(text, count))
      return;
    for (int i = 0; i < count; i++)
      *this += text[i];
  }

private:
  // Appends without touching the buffer's size when the text and its NUL fit.
  bool appendInPlace(const char *text, int count) {
    if (static_cast<long long>(myLength) + count >= myCapacity)
      return false;
    std::memcpy(myCstring + myLength, text, count);
    myLength += count;
    myCstring[myLength] = '\0';
    return true;
  }

  [[noreturn]] void indexFailure(int k) const;
  const apstring &appendGrowing(const char *text, int count);
  void reserveForAssign(int len);

  int myLength;   // characters of the text; myCstring[myLength] is the NUL
  int myCapacity; // size of myCstring, NUL included; >= myLength + 1, never shrinks
  char *myCstring;
};

std::ostream &operator<<(std::ostream &os, const apstring &str);
std::istream &operator>>(std::istream &is, apstring &str);

#endif
