#ifndef ROW_BLOCK_H
#define ROW_BLOCK_H

#include "apstring.h"

// The text of 64 consecutive rows of a table, kept ready to be copied into
// it. From one block to the next only the results and the digits of the
// variables above the last six change, so a block is patched in place and
// appended whole rather than built row by row.
class RowBlock {
public:
  static constexpr int kRows = 64;

  // The first block of a table over n variables: rows 0 to 63, or all 2^n
  // rows when there are fewer.
  explicit RowBlock(int n)
      : myVariables(n), myLineLength(2 * n + 6), myRows(n < 6 ? 1 << n : kRows) {
    for (int k = 0; k < myRows; k++) {
      myText += '(';
      for (int j = 0; j < n; j++) {
        const int bit = n - 1 - j;
        myText += static_cast<char>('0' + (bit < 6 && ((k >> bit) & 1)));
        myText += ',';
      }
      myText += "\b)-0\n";
    }
  }

  // Appends the block of rows from `first`, a multiple of 64, whose results
  // are the bits of `results`, row first + k in bit k.
  void AppendTo(apstring &out, long long first, unsigned long long results) {
    // The patches are the inner loop of a table, so they write through the
    // text's own characters; every position lies inside it by construction.
    char *const text = &myText[0];
    const long long changed = first ^ myFirst;
    for (int bit = 6; bit < myVariables; bit++) {
      if (((changed >> bit) & 1) == 0)
        continue;
      const char digit = static_cast<char>('0' + ((first >> bit) & 1));
      for (int k = 0, at = 1 + 2 * (myVariables - 1 - bit); k < myRows; k++, at += myLineLength)
        text[at] = digit;
    }
    myFirst = first;
    for (int k = 0, at = myLineLength - 2; k < myRows; k++, at += myLineLength)
      text[at] = static_cast<char>('0' + ((results >> k) & 1));
    out.append(text, myText.length());
  }

private:
  int myVariables;       // digits in a row
  int myLineLength;      // characters in a row, line feed included
  int myRows;            // rows in the block: 64, or 2^n below six variables
  long long myFirst = 0; // the row number whose high digits the text shows
  apstring myText;       // myRows rows of myLineLength characters
};

#endif
