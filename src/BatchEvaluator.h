#ifndef BATCH_EVALUATOR_H
#define BATCH_EVALUATOR_H

#include "apstack.h"
#include "apstring.h"
#include "apvector.h"

// Evaluates a grouped equation for a batch of up to 64 consecutive blocks of
// 64 rows at once: each step of the compiled equation is applied to a whole
// batch of words in loops the compiler vectorises, row k of a block in bit k
// of its word. Rows are counted like the table's: the last variable is the
// lowest bit of the row number, so the last six variables follow fixed bit
// patterns in every word, the next ones alternate between the words of a
// batch, and the rest stay constant across it. Values known to be constant
// across a batch are kept as such, so an AND with false, an OR with true or a
// variable constant in the batch costs one step, not a loop.
class BatchEvaluator {
public:
  static constexpr int kRows = 64;

  // `letters` are the variables in table order. The equation must be one
  // that a row's evaluation has read without stopping, so that every ")"
  // finds an operator and its operands. The AVX2 build of the evaluation is
  // used where the processor has it, unless `baseline` asks for the other,
  // as the tests and the benchmark do to compare them. WebAssembly has one
  // build, for SIMD128, which `baseline` runs too.
  BatchEvaluator(apstring &grouped, apstring &letters, bool baseline = false);

  // Bit k is the equation's value in row first + k; `first` is a multiple of
  // 64. With fewer than six variables only the low 2^n bits are rows.
  unsigned long long Rows(long long first) {
    const long long block = first / kRows;
    if (myBatch < 0 || block < myBatch || block >= myBatch + myWords)
      Refill(block);
    const long long w = block - myBatch;
    return myKinds[myResult] == kVector ? myBuffers[myResult][w] : Constant(myKinds[myResult]);
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
  // A stack slot or a variable's column holds all zeros or all ones across
  // the batch, or a vector of words.
  enum Kind : unsigned char { kZero, kOnes, kVector };
  static unsigned long long Constant(unsigned char kind) { return kind == kOnes ? ~0ULL : 0; }

  // Pushes and the operators applied by each ")". An operator whose right
  // operand is one variable takes it directly (kAndVariable and its kin),
  // and a NOT of a variable or a constant is folded into its push.
  enum Op : unsigned char {
    kPush,     // operand: the variable's column, kNegated set for its NOT
    kConstant, // operand: 0 or 1
    kNot,
    kAnd,
    kOr,
    kXor,
    kAndVariable, // operand as for kPush
    kOrVariable,
    kXorVariable,
    kSkipAnd, // operand: the steps to skip when the top is all false
    kSkipOr,  // and when it is all true
    kNop      // a test that was never armed
  };
  static constexpr unsigned kNegated = 0x80;
  static constexpr int kLongestSkip = 1 << 24;
  struct Step {
    unsigned op : 8; // an Op
    unsigned operand : 24;
  };

  // What compiling holds until a ")" comes: the operators not yet applied,
  // where each one's test stands (or -1), and where each value's steps begin.
  struct Pending {
    apstack<char> ops;
    apstack<int> tests;
    apstack<int> starts;
  };

  void Compile(apstring &grouped, const int *column);
  void Defer(Pending &pending, char op);
  bool Close(Pending &pending);
  void Emit(Op op, unsigned operand);
  void Link(int test, Op skip);
  void SetBatch(long long firstBlock);
  void Refill(long long block);
  struct Slots;
  void Evaluate(long long firstBlock);
  void EvaluateAvx2(long long firstBlock);

  int myVariables;                          // columns in a row
  bool myAvx2;                              // Refill runs the AVX2 build
  apvector<Step> mySteps;                   // steps 0..myCount-1 are the equation
  int myCount = 0;                          // at most one step per character
  int myDepth = 0;                          // stack slots the steps need
  int myWords = 1;                          // words per batch: a power of two, at most 64
  long long myBatch = -1;                   // first block of the batch evaluated last
  int myResult = 0;                         // the slot that holds the batch's value
  apvector<unsigned long long> myColumns;   // myWords words per variable
  apvector<unsigned char> myColumnKinds;    // kVector, or the variable's constant in this batch
  apvector<unsigned long long> myStack;     // myDepth slots of myWords words
  apvector<unsigned long long *> myBuffers; // slot i's words: slots swap buffers, not words
  apvector<unsigned char> myKinds;          // what slot i holds
};

#endif
