#ifndef PASS_TEXT_H
#define PASS_TEXT_H

#include "VarintStack.h"
#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

#include <cassert>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <utility>

// The text that the character passes group a malformed equation on, in time
// linear in its length. A pass reads and writes only next to the operator it
// has found, and searches for a partner only from the character right after
// it or right before it, so the text is kept as what the scan has passed
// (the left part) and what it has not (the rest), in one buffer:
//
// - The rest is the pass's input, unread, at the buffer's end, with the ")"
//   inserted into it waiting as counts on a stack: each goes after one
//   character of the input, and the nearest comes first. A "(" that opens a
//   right operand has the partner it had in the input, since the pass puts
//   every ")" after a whole operand; those partners are found for the whole
//   input before the pass.
// - The left part is written at the buffer's front as the scan passes it.
//   Its unmatched "(" are on a stack of positions, so the ")" just passed
//   knows its partner. A "(" inserted before that partner, far back, is only
//   marked on the ")", and written when the pass ends, from the back, where
//   each such ")" meets its partner again.
//
// Every "(" a pass inserts lies at or before the operator and every ")"
// after it, and each operator inserts at most one of each, so a buffer of
// the equation's length plus two for each operator it has holds every pass,
// and the left part never overtakes the rest.
class PassText {
public:
  // Takes the text over; it becomes the buffer, so that the grouped text
  // ends where it was built, with no copy.
  explicit PassText(apstring &text) : myText(std::move(text)) {
    long long operators = 0;
    for (int i = 0; i < myText.length(); i++) {
      const int kind = Kind(myText[i]);
      myOperators[kind]++;
      operators += kind > 0 ? 1 : 0;
    }
    const long long room = myText.length() + 2 * operators;
    myCapacity = room < INT_MAX - 1 ? static_cast<int>(room) : INT_MAX - 1;
    myLength = myText.length();
    if (!myText.reserve(myCapacity + 1))
      throw std::bad_alloc();
    static const char kRoom[256] = {};
    for (int size = myLength; size < myCapacity; size += 256)
      myText.append(kRoom, myCapacity - size < 256 ? myCapacity - size : 256);
    myBuffer = myCapacity > 0 ? &myText[0] : nullptr;
    myMarks.resize(myCapacity / 8 + 1);
    for (int b = 0; b < myMarks.length(); b++)
      myMarks[b] = 0;
  }
  PassText(const PassText &) = delete;
  PassText &operator=(const PassText &) = delete;

  // Begins the pass for `op` over the text as it stands; false when the
  // text has no `op`, since such a pass would change nothing and stop
  // nowhere, and then there is no pass to finish.
  bool start(char op) {
    if (myOperators[Kind(op)] == 0)
      return false;
    myOp = op;
    myInput = myCapacity - myLength;
    std::memmove(myBuffer + myInput, myBuffer, myLength);
    myInputLength = myLength;
    myRead = myWritten = myMarked = myLeft = 0;
    myHeadCloses = myPendingCount = myPendingCloses = 0;
    myRestLength = myLength;
    myLeftPhase = false;
    HeadChanged();
    while (!myOpens.isEmpty())
      myOpens.pop();
    myUnmatched = 0;
    // The NOT pass never looks back for a partner, so it only counts.
    myPositions = op != '!';
    FindPartners();
    return true;
  }

  // Ends the pass: the rest is passed, and the marked "(" are written.
  void finish() {
    while (myRestLength > 0)
      PassHead();
    WriteMarked();
    myLength = myLeft;
  }

  // The grouped text, once the passes are done; the buffer goes with it.
  apstring take() {
    myText.truncate(myLength);
    myBuffer = nullptr;
    myLength = 0;
    return std::move(myText);
  }

  int length() const { return myLeft + myRestLength; }

  // The character at k, which lies at most two before or after the scan. A
  // read past the operator once its left side has been looked at is the
  // scan moving on, and so is any read ahead of another character.
  __attribute__((always_inline)) char operator[](int k) {
    // Most reads are the scan moving on by one, from a character other than
    // the operator or from one whose left side is done, or a look at the
    // operator's neighbours.
    if (k == myLeft + 1 && k < length() && (!myAtOperator || myLeftPhase)) {
      PassHead();
      return myHeadCloses > 0 ? ')' : Input(myRead);
    }
    if (k == myLeft - 1 && k >= 0) {
      myLeftPhase = true;
      return myBuffer[myWritten - 1];
    }
    if (k >= myLeft && k <= myLeft + 2 && k < length() && (myAtOperator && !myLeftPhase))
      return RestAt(k - myLeft);
    return Read(k);
  }

  // Inserts ch before position loc: a ")" after the operator's right
  // operand, a "(" before its left one or before the operator itself.
  __attribute__((always_inline)) void insert(int loc, char ch) {
    // Only a text at the buffer's end can be one too long for a string.
    if (length() >= myCapacity)
      apstring::checkedLength(length() + 1LL);
    if (ch == ')') {
      assert(AtOperator() && loc >= myLeft + 2);
      if (loc == myLeft + 2)
        AddPending(PendingAfter(myRead) > 0 ? myRead : myRead + 1);
      else
        AddPending(myGroupEnd);
      myRestLength++;
      return;
    }
    assert(ch == '(' && loc <= myLeft);
    myLeftPhase = true;
    if (loc == myLeft)
      Append('(');
    else if (loc == myLeft - 1)
      OpenBeforeLast();
    else
      MarkOpen(loc);
  }

  // The partner of the "(" right after the operator (step 1) or of the ")"
  // right before it (step -1). One that has none ends the run through the
  // index test, where a scan would have run off: at the length, or at -1.
  int partner(int from, int step) {
    if (step > 0) {
      assert(AtOperator() && from == myLeft + 1 && PendingAfter(myRead) == 0);
      const int distance = myPartners.pop();
      myTaken = myRead + 1;
      if (distance == 0)
        IndexFailure(length());
      myGroupEnd = myRead + 1 + distance;
      return from + distance;
    }
    assert(from == myLeft - 1 && myBuffer[myWritten - 1] == ')');
    myLeftPhase = true;
    if (!myLastMatched)
      IndexFailure(-1);
    return myLastPartner;
  }

private:
  // A "(" before the left part's last character, which is no ")".
  void OpenBeforeLast() {
    const int loc = myLeft - 1;
    const char last = myBuffer[myWritten - 1];
    assert(last != ')');
    myBuffer[myWritten - 1] = '(';
    myBuffer[myWritten++] = last;
    myLeft++;
    myUnmatched++;
    if (!myPositions)
      return;
    if (last == '(')
      myOpens.pop();
    myOpens.push(loc);
    if (last == '(')
      myOpens.push(loc + 1);
  }

  // A "(" before the partner of the left part's last ")", at `loc`: marked
  // on that ")", and written when the pass ends.
  void MarkOpen(int loc) {
    assert(loc == myLastPartner && myBuffer[myWritten - 1] == ')' && !Marked(myWritten - 1));
    myMarks[(myWritten - 1) / 8] |= static_cast<unsigned char>(1 << ((myWritten - 1) % 8));
    myMarked++;
    myLeft++;
    myUnmatched++;
    myOpens.push(loc);
  }

  // Which of the four operators ch is, from 1; 0 for any other character.
  static int Kind(char ch) {
    return ch == '!' ? 1 : ch == '*' ? 2 : ch == '@' ? 3 : ch == '+' ? 4 : 0;
  }

  char Input(int j) const { return myBuffer[myInput + j]; }

  bool AtOperator() const { return myAtOperator; }

  // Whether the rest begins with the operator, kept as the rest moves on.
  void HeadChanged() {
    myAtOperator = myHeadCloses == 0 && myRead < myInputLength && Input(myRead) == myOp;
  }

  bool Marked(int w) { return (myMarks[w / 8] >> (w % 8)) & 1; }

  // Whether written character w is marked, clearing the mark: every mark is
  // taken when the pass ends, so the next pass begins with none.
  bool TakeMark(int w) {
    const bool marked = Marked(w);
    myMarks[w / 8] &= static_cast<unsigned char>(~(1 << (w % 8)));
    return marked;
  }

  // The ")" waiting right after input character j.
  int PendingAfter(int j) {
    return myPendingCount > 0 && myGaps[myPendingCount - 1] == j ? myCounts[myPendingCount - 1] : 0;
  }

  // A ")" after input character j; j is never past the nearest one waiting.
  void AddPending(int j) {
    myPendingCloses++;
    if (myPendingCount > 0 && myGaps[myPendingCount - 1] == j) {
      myCounts[myPendingCount - 1]++;
      return;
    }
    assert(myPendingCount == 0 || j < myGaps[myPendingCount - 1]);
    if (myPendingCount == myGaps.length()) {
      myGaps.resize(2 * myPendingCount + 8);
      myCounts.resize(myGaps.length());
    }
    myGaps[myPendingCount] = j;
    myCounts[myPendingCount++] = 1;
  }

  char Read(int k) {
    if (k < 0 || k >= length())
      IndexFailure(k);
    if (k < myLeft) {
      assert(k >= myLeft - 2);
      myLeftPhase = true;
      return myBuffer[myWritten - (myLeft - k)];
    }
    if (k > myLeft && (!myAtOperator || myLeftPhase))
      while (myLeft < k)
        PassHead();
    return RestAt(k - myLeft);
  }

  // Character d of the rest, d at most 2.
  __attribute__((always_inline)) char RestAt(int d) {
    if (d < myHeadCloses)
      return ')';
    d -= myHeadCloses;
    assert(d <= 2);
    int next = myPendingCount - 1;
    // Mostly no ")" waits among the next characters of the input.
    if (next < 0 || myGaps[next] >= myRead + d)
      return Input(myRead + d);
    for (int j = myRead;; j++) {
      if (d == 0)
        return Input(j);
      d--;
      if (next >= 0 && myGaps[next] == j) {
        if (d < myCounts[next])
          return ')';
        d -= myCounts[next--];
      }
    }
  }

  // Moves the first character of the rest to the left part. It runs once
  // for every character of every pass, and so is inlined, as Append is.
  __attribute__((always_inline)) void PassHead() {
    char ch = ')';
    if (myHeadCloses > 0) {
      myHeadCloses--;
    } else {
      ch = Input(myRead);
      // A "(" after the operator had its partner found; the query took it.
      if (ch == '(' && myRead > 0 && myPrevious == myOp && myRead != myTaken)
        myPartners.pop();
      myPrevious = ch;
      myRead++;
      if (myPendingCount > 0 && myGaps[myPendingCount - 1] == myRead - 1) {
        myHeadCloses = myCounts[--myPendingCount];
        myPendingCloses -= myHeadCloses;
      }
    }
    myRestLength--;
    myLeftPhase = false;
    HeadChanged();
    Append(ch);
  }

  __attribute__((always_inline)) void Append(char ch) {
    if (ch == '(') {
      myUnmatched++;
      if (myPositions)
        myOpens.push(myLeft);
    } else if (ch == ')') {
      myLastMatched = myUnmatched > 0;
      if (myLastMatched) {
        myUnmatched--;
        if (myPositions)
          myLastPartner = myOpens.pop();
      }
    }
    myBuffer[myWritten++] = ch;
    myLeft++;
  }

  // The input's partners of every "(" that comes right after the operator:
  // the distance to it, or 0 for none, in the order the scan meets them.
  void FindPartners() {
    myTaken = -1;
    myPrevious = '\0';
    if (!HasOpenAfterOperator())
      return;
    PositionStack closes; // unmatched ")" from the end, as distances from it
    const int last = myInputLength - 1;
    for (int j = last; j >= 0; j--) {
      if (Input(j) == ')') {
        closes.push(last - j);
      } else if (Input(j) == '(') {
        const int partner = closes.isEmpty() ? -1 : last - closes.pop();
        if (j > 0 && Input(j - 1) == myOp)
          myPartners.push(partner < 0 ? 0 : partner - j);
      }
    }
  }

  // Most passes have no "(" right after their operator, and then no partner
  // to find; a look at each pair of characters is far cheaper than matching.
  bool HasOpenAfterOperator() const {
    const char *const input = myBuffer + myInput;
    for (int j = 1; j < myInputLength; j++)
      if (input[j] == '(' && input[j - 1] == myOp)
        return true;
    return false;
  }

  // Writes the marked "(" into the left part, from its back: a "(" meets the
  // ")" it closes on the stack, and if that one is marked, a "(" goes right
  // before this one, to close the next ")" on the stack in turn.
  void WriteMarked() {
    if (myMarked == 0)
      return;
    int w = myLeft;
    apstack<bool> closes; // ")" still open from the back: whether each is marked
    const auto next = [&closes] {
      bool marked = false;
      if (!closes.isEmpty())
        closes.pop(marked);
      return marked;
    };
    for (int j = myWritten - 1; j >= 0; j--) {
      const char ch = myBuffer[j];
      myBuffer[--w] = ch;
      if (ch == ')') {
        closes.push(TakeMark(j));
      } else if (ch == '(') {
        while (next())
          myBuffer[--w] = '(';
      }
    }
    assert(w == 0);
    myWritten = myLeft;
    myMarked = 0;
  }

  // The line the string's index test writes for this text, as that test
  // writes it (up to any NUL), without making the text a string first.
  [[noreturn]] void IndexFailure(int k) {
    WriteMarked();
    std::cerr << "index out of range: " << k << " string: ";
    bool whole = Write(myBuffer, myLeft) && WriteCloses(myHeadCloses);
    int j = myRead;
    for (int next = myPendingCount - 1; whole && next >= 0; next--) {
      whole = Write(myBuffer + myInput + j, myGaps[next] + 1 - j) && WriteCloses(myCounts[next]);
      j = myGaps[next] + 1;
    }
    if (whole)
      Write(myBuffer + myInput + j, myInputLength - j);
    std::cerr << std::endl;
    std::exit(1);
  }

  // False when the text ended at a NUL within these characters.
  static bool Write(const char *text, int count) {
    const void *nul = std::memchr(text, '\0', count);
    const int n = nul ? static_cast<int>(static_cast<const char *>(nul) - text) : count;
    std::cerr.write(text, n);
    return nul == nullptr;
  }

  static bool WriteCloses(int count) {
    static const char kCloses[] = "))))))))))))))))))))))))))))))))";
    for (; count > 0; count -= 32)
      Write(kCloses, count < 32 ? count : 32);
    return true;
  }

  apstring myText; // myCapacity characters: the buffer the passes work in
  char *myBuffer;  // its characters
  int myCapacity;  // the text and every insertion still to come fit in it
  int myLength;    // of the text between passes, at the buffer's front
  char myOp = '\0';
  int myOperators[5] = {}; // of each kind in the text; passes insert none

  // The left part: myWritten characters at the buffer's front, and myMarked
  // "(" still to be written before partners of marked ")".
  int myWritten = 0;
  int myMarked = 0;
  int myLeft = 0;                  // myWritten + myMarked: the scan's position
  apvector<unsigned char> myMarks; // bit w: written character w is a marked ")"
  int myUnmatched = 0;             // the left part's unmatched "("
  PositionStack myOpens;           // and their positions, when myPositions
  bool myPositions = true;
  bool myLastMatched = false; // the last ")" written has a partner,
  int myLastPartner = 0;      // at this position
  bool myLeftPhase = false;   // the operator's left side has been looked at
  bool myAtOperator = false;  // the rest begins with the operator

  // The rest: input characters myRead.. from buffer index myInput, after
  // myHeadCloses ")", and with the ")" waiting after input character
  // myGaps[i], myCounts[i] of them, the nearest on top.
  int myInput = 0;
  int myInputLength = 0;
  int myRead = 0;
  int myHeadCloses = 0;
  apvector<int> myGaps;
  apvector<int> myCounts;
  int myPendingCount = 0;
  int myPendingCloses = 0;
  int myRestLength = 0;   // myHeadCloses + unread input + myPendingCloses
  VarintStack myPartners; // distances to the partners FindPartners found
  int myTaken = -1;       // the input "(" whose partner a search took
  int myGroupEnd = 0;     // and that partner, in the input
  char myPrevious = '\0'; // the input character passed last
};

#endif
