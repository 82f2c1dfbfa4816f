#include "BatchEvaluator.h"

#include "apstack.h"

#include <cstring>

namespace {

using Word = unsigned long long;

// Eight words at a time, in whatever vector registers the target has: two
// AVX2 registers, four SSE2 or NEON ones, or plain words where there are none.
typedef Word Lane __attribute__((vector_size(64)));
constexpr int kLane = sizeof(Lane) / sizeof(Word);

// f(d[i], s[i]) updates d[i] over `words` words; it takes its operands by
// reference, since passing a vector by value would tie the code to one ABI.
// The words need no alignment, and a batch narrower than a lane takes the
// plain loop alone.
template <class F> inline void Each(Word *d, const Word *s, int words, F f) {
  int i = 0;
  for (; i + kLane <= words; i += kLane) {
    Lane a;
    Lane b;
    std::memcpy(&a, d + i, sizeof a);
    std::memcpy(&b, s + i, sizeof b);
    f(a, b);
    std::memcpy(d + i, &a, sizeof a);
  }
  for (; i < words; i++)
    f(d[i], s[i]);
}

// The operator characters of kAnd, kOr and kXor, and of their variable forms.
const char kOperator[] = {'*', '+', '@'};

// A stack's budget below which the batch keeps its full width; above it the
// batch narrows so that the stack stays within a few times the equation.
constexpr long long kStackBudget = 256 << 10;

} // namespace

BatchEvaluator::BatchEvaluator(apstring &grouped, apstring &letters)
    : myVariables(letters.length()), mySteps(grouped.length()) {
  int column[256];
  for (int &c : column)
    c = -1;
  for (int j = 0; j < myVariables; j++)
    column[static_cast<unsigned char>(letters[j])] = j;
  Compile(grouped, column);

  // A batch never spans more blocks than the table has.
  const long long blocks = myVariables > 6 ? 1LL << (myVariables - 6) : 1;
  const long long budget =
      2LL * grouped.length() > kStackBudget ? 2LL * grouped.length() : kStackBudget;
  for (myWords = 64; myWords > 1; myWords /= 2)
    if (myWords <= blocks && static_cast<long long>(myWords) * 8 * myDepth <= budget)
      break;

  static const Word kPattern[] = {0xAAAAAAAAAAAAAAAAULL, 0xCCCCCCCCCCCCCCCCULL,
                                  0xF0F0F0F0F0F0F0F0ULL, 0xFF00FF00FF00FF00ULL,
                                  0xFFFF0000FFFF0000ULL, 0xFFFFFFFF00000000ULL};
  myColumns.resize(myVariables * myWords);
  myColumnKinds.resize(myVariables);
  for (int j = 0; j < myVariables; j++) {
    const int bit = myVariables - 1 - j;
    myColumnKinds[j] = bit < 6 || (1LL << (bit - 6)) < myWords ? kVector : kZero;
    for (int w = 0; w < myWords; w++)
      myColumns[j * myWords + w] = bit < 6 ? kPattern[bit] : ((w >> (bit - 6)) & 1) ? ~0ULL : 0;
  }
  myStack.resize(myDepth * myWords);
  myBuffers.resize(myDepth);
  myKinds.resize(myDepth);
}

// Reads the grouped text the way a row's evaluation does: each ")" applies
// the latest operator not yet applied, "(" and unknown characters mean
// nothing, and operators no ")" applies are dropped. What remains is the
// postfix order of pushes and applications.
//
// Each AND and OR also gets a test between its operands, which skips the
// right one when the left decides the result. It stays a no-op unless the
// right operand turns out to be exactly the steps after it, and short right
// operands lose it again.
void BatchEvaluator::Compile(apstring &grouped, const int *column) {
  apstack<char> ops;
  apstack<int> tests;  // where the test of each pending operator stands, or -1
  apstack<int> starts; // the first step of each value on the stack
  int depth = 0;
  for (int i = 0; i < grouped.length(); i++) {
    const char ch = grouped[i];
    const int c = column[static_cast<unsigned char>(ch)];
    if (c >= 0 || (ch >= '0' && ch <= '9')) {
      starts.push(myCount);
      if (c >= 0)
        Emit(kPush, c);
      else
        Emit(kConstant, ch != '0');
      depth++;
    } else if (ch == '!' || ch == '+' || ch == '*' || ch == '@') {
      ops.push(ch);
      tests.push(ch == '*' || ch == '+' ? myCount : -1);
      if (ch == '*' || ch == '+')
        mySteps[myCount++] = Step{kNop, 0};
    } else if (ch == ')') {
      char op;
      int test;
      ops.pop(op);
      tests.pop(test);
      if (op == '!') {
        Emit(kNot, 0);
        continue;
      }
      int right;
      int left;
      starts.pop(right);
      starts.pop(left);
      starts.push(left);
      Emit(op == '*' ? kAnd : op == '+' ? kOr : kXor, 0);
      if (test >= 0 && right == test + 1)
        Link(test, op == '*' ? kSkipAnd : kSkipOr);
      depth--;
    }
    myDepth = depth > myDepth ? depth : myDepth;
  }
}

// Arms the test at `test`, whose operator's own step is the last one so far.
void BatchEvaluator::Link(int test, Op skip) {
  const int distance = myCount - 1 - test;
  if (distance > 2 && distance < kLongestSkip) {
    mySteps[test] = Step{skip, static_cast<unsigned>(distance)};
    return;
  }
  if (distance <= 2) {
    for (int k = test; k + 1 < myCount; k++)
      mySteps[k] = mySteps[k + 1];
    myCount--;
  }
}

// The step before an operator ends its (right) operand, so when that step is
// a push the operand is that one value, and the two steps become one.
void BatchEvaluator::Emit(Op op, unsigned operand) {
  Step *last = myCount > 0 ? &mySteps[myCount - 1] : nullptr;
  if (last != nullptr && op == kNot && (last->op == kPush || last->op == kConstant)) {
    last->operand ^= last->op == kPush ? kNegated : 1;
    return;
  }
  if (last != nullptr && last->op == kPush && (op == kAnd || op == kOr || op == kXor)) {
    last->op = op == kAnd ? kAndVariable : op == kOr ? kOrVariable : kXorVariable;
    return;
  }
  mySteps[myCount++] = Step{op, operand};
}

namespace {

// The stack of one batch's evaluation. Every operation is forced inline, so
// that each build of the evaluation below gets its own vector code.
#define QUORVANE_INLINE __attribute__((always_inline)) inline
struct Slots {
  Word **buffers;       // each slot's words
  unsigned char *kinds; // kZero, kOnes or kVector, as the evaluator's Kind
  int words;
  unsigned char vector;

  QUORVANE_INLINE void Negate(int slot) {
    if (kinds[slot] != vector)
      kinds[slot] ^= 1;
    else
      Each(buffers[slot], buffers[slot], words, [](auto &a, const auto &) { a = ~a; });
  }

  // Slot `a` becomes `a op right`, `op` being '*', '+' or '@', and right
  // being slot `b` or, with b -1, a variable's column negated by `mask`;
  // `kind` says whether right is a vector or constant across the batch.
  QUORVANE_INLINE void Combine(char op, int a, unsigned char kind, const Word *right, Word mask,
                               int b) {
    const unsigned char zero = 0, ones = 1;
    if (kind != vector) {
      if (op == '*' && kind == zero)
        kinds[a] = zero;
      else if (op == '+' && kind == ones)
        kinds[a] = ones;
      else if (op == '@' && kind == ones)
        Negate(a);
      return;
    }
    Word *const left = buffers[a];
    if (kinds[a] == vector) {
      if (op == '*')
        Each(left, right, words, [mask](auto &l, const auto &r) { l &= r ^ mask; });
      else if (op == '+')
        Each(left, right, words, [mask](auto &l, const auto &r) { l |= r ^ mask; });
      else
        Each(left, right, words, [mask](auto &l, const auto &r) { l ^= r ^ mask; });
      return;
    }
    // A constant left decides the result or hands over the right: false AND
    // and true OR keep it, and otherwise the result is the right, negated
    // for a true XOR.
    const bool flip = op == '@' && kinds[a] == ones;
    if ((op == '*' && kinds[a] == zero) || (op == '+' && kinds[a] == ones))
      return;
    kinds[a] = vector;
    if (b >= 0) {
      buffers[a] = buffers[b];
      buffers[b] = left;
      if (flip)
        Negate(a);
      return;
    }
    const Word m = flip ? ~mask : mask;
    Each(left, right, words, [m](auto &l, const auto &r) { l = r ^ m; });
  }
};

} // namespace

#if defined(__x86_64__)
// The same code built twice, for AVX2 and for the baseline; the loader picks
// the one the processor runs.
__attribute__((target_clones("avx2", "default")))
#endif
void BatchEvaluator::Evaluate(long long firstBlock) {
  myBatch = firstBlock;
  const int words = myWords;
  unsigned char *const columnKinds = myVariables > 0 ? &myColumnKinds[0] : nullptr;
  for (int j = 0; j < myVariables; j++) {
    const int bit = myVariables - 1 - j;
    if (columnKinds[j] != kVector)
      columnKinds[j] = ((firstBlock >> (bit - 6)) & 1) ? kOnes : kZero;
  }
  // The loop below is the inner loop of a table, so it runs on the arrays
  // themselves; every index in it was settled when the equation was compiled.
  const Word *const columns = myVariables > 0 ? &myColumns[0] : nullptr;
  Word *const stack = &myStack[0];
  Slots slots{&myBuffers[0], &myKinds[0], words, kVector};
  for (int s = 0; s < myDepth; s++)
    slots.buffers[s] = stack + static_cast<long long>(s) * words;

  const Step *const steps = &mySteps[0];
  int top = -1;
  for (int i = 0; i < myCount; i++) {
    const Step step = steps[i];
    const bool variable = step.op == kPush || (step.op >= kAndVariable && step.op <= kXorVariable);
    const int column = variable ? step.operand & ~kNegated : 0;
    const Word mask = variable && (step.operand & kNegated) ? ~0ULL : 0;
    // A variable constant in the batch is that constant, or its opposite.
    const unsigned char kind = !variable || columnKinds[column] == kVector
                                   ? static_cast<unsigned char>(kVector)
                                   : static_cast<unsigned char>(columnKinds[column] ^ (mask & 1));
    const Word *const right = columns + column * words;
    switch (step.op) {
    case kPush:
      slots.kinds[++top] = kZero;
      slots.Combine('+', top, kind, right, mask, -1);
      break;
    case kConstant:
      slots.kinds[++top] = step.operand ? kOnes : kZero;
      break;
    case kNot:
      slots.Negate(top);
      break;
    case kAnd:
    case kOr:
    case kXor:
      top--;
      slots.Combine(kOperator[step.op - kAnd], top, slots.kinds[top + 1], slots.buffers[top + 1], 0,
                    top + 1);
      break;
    case kAndVariable:
    case kOrVariable:
    case kXorVariable:
      slots.Combine(kOperator[step.op - kAndVariable], top, kind, right, mask, -1);
      break;
    case kSkipAnd:
    case kSkipOr:
      // A left operand that decides its AND or OR makes the right one moot.
      if (slots.kinds[top] == (step.op == kSkipAnd ? kZero : kOnes))
        i += step.operand;
      break;
    case kNop:
      break;
    }
  }
  myResult = top;
}
