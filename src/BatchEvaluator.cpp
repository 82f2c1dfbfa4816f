#include "BatchEvaluator.h"

#include "Platform.h"
#include "VarintStack.h"
#include "apstack.h"

#include <cstring>

namespace {

using Word = unsigned long long;

// Eight words at a time, in whatever vector registers the target has: two
// AVX2 registers, four SSE2, NEON or SIMD128 ones, or plain words where there
// are none.
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

// Asked once: the processor does not change during a run.
const bool kHasAvx2 = platform::HasAvx2();

bool IsOperator(char ch) { return ch == '!' || ch == '+' || ch == '*' || ch == '@'; }

// Where the value on top at the end of the grouped text starts: its first
// operand. The text is read as a row's evaluation reads it: an operand
// pushes a value, and each ")" applies the latest operator, which joins two
// values into the left one's place unless it is a "!". So each value starts
// where its left operand did, and a stack of those positions ends with the
// top value's.
int ResultStart(apstring &grouped, const int *column) {
  apstack<char> ops;
  PositionStack starts;
  for (int i = 0; i < grouped.length(); i++) {
    const char ch = grouped[i];
    if (column[static_cast<unsigned char>(ch)] >= 0 || (ch >= '0' && ch <= '9')) {
      starts.push(i);
    } else if (IsOperator(ch)) {
      ops.push(ch);
    } else if (ch == ')') {
      char op;
      ops.pop(op);
      if (op != '!')
        starts.pop();
    }
  }
  return starts.top();
}

} // namespace

BatchEvaluator::BatchEvaluator(apstring &grouped, apstring &letters, bool baseline)
    : myVariables(letters.length()), myAvx2(!baseline && kHasAvx2), mySteps(grouped.length()) {
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
//
// The equation's value is the value on top at the end. Values left under
// it, operands that no operator joined, are never read again, so the steps
// start at that value's first operand; of all before it, only the operators
// still waiting there matter.
void BatchEvaluator::Compile(apstring &grouped, const int *column) {
  const int start = ResultStart(grouped, column);
  Pending pending;
  for (int i = 0; i < start; i++) {
    char op;
    int test;
    if (IsOperator(grouped[i])) {
      pending.ops.push(grouped[i]);
      pending.tests.push(-1);
    } else if (grouped[i] == ')') {
      pending.ops.pop(op);
      pending.tests.pop(test);
    }
  }
  int depth = 0;
  for (int i = start; i < grouped.length(); i++) {
    const char ch = grouped[i];
    const int c = column[static_cast<unsigned char>(ch)];
    if (c >= 0 || (ch >= '0' && ch <= '9')) {
      pending.starts.push(myCount);
      if (c >= 0)
        Emit(kPush, c);
      else
        Emit(kConstant, ch != '0');
      depth++;
    } else if (IsOperator(ch)) {
      Defer(pending, ch);
    } else if (ch == ')') {
      depth -= Close(pending) ? 1 : 0;
    }
    myDepth = depth > myDepth ? depth : myDepth;
  }
}

// Holds an operator until its ")"; an AND or an OR puts its test here,
// between its operands.
void BatchEvaluator::Defer(Pending &pending, char op) {
  const bool tested = op == '*' || op == '+';
  pending.ops.push(op);
  pending.tests.push(tested ? myCount : -1);
  if (tested)
    mySteps[myCount++] = Step{kNop, 0};
}

// Applies the latest pending operator; true when it took two values.
bool BatchEvaluator::Close(Pending &pending) {
  char op;
  int test;
  pending.ops.pop(op);
  pending.tests.pop(test);
  if (op == '!') {
    Emit(kNot, 0);
    return false;
  }
  int right;
  int left;
  pending.starts.pop(right);
  pending.starts.pop(left);
  pending.starts.push(left);
  Emit(op == '*' ? kAnd : op == '+' ? kOr : kXor, 0);
  if (test >= 0 && right == test + 1)
    Link(test, op == '*' ? kSkipAnd : kSkipOr);
  return true;
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

// The stack of one batch's evaluation, and the columns it pushes. Every
// operation is forced inline, so that each build of the evaluation below
// gets its own vector code.
#define QUORVANE_INLINE __attribute__((always_inline)) inline
struct BatchEvaluator::Slots {
  Word **buffers;       // each slot's words
  unsigned char *kinds; // what each slot holds
  int words;
  const unsigned char *columnKinds; // each variable's kind in this batch
  const Word *columns;              // and its words

  QUORVANE_INLINE void Negate(int slot) const {
    if (kinds[slot] != kVector)
      kinds[slot] ^= 1;
    else
      Each(buffers[slot], buffers[slot], words, [](auto &a, const auto &) { a = ~a; });
  }

  // Slot `a` becomes `a op right`, `op` being '*', '+' or '@', and right
  // being slot `b` or, with b -1, a variable's column negated by `mask`;
  // `kind` says whether right is a vector or constant across the batch.
  QUORVANE_INLINE void Combine(char op, int a, unsigned char kind, const Word *right, Word mask,
                               int b) const {
    if (kind != kVector) {
      if (op == '*' && kind == kZero)
        kinds[a] = kZero;
      else if (op == '+' && kind == kOnes)
        kinds[a] = kOnes;
      else if (op == '@' && kind == kOnes)
        Negate(a);
      return;
    }
    Word *const left = buffers[a];
    if (kinds[a] == kVector) {
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
    const bool flip = op == '@' && kinds[a] == kOnes;
    if ((op == '*' && kinds[a] == kZero) || (op == '+' && kinds[a] == kOnes))
      return;
    kinds[a] = kVector;
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

  // Runs one step other than a skip on a stack whose top is `top`, and
  // returns the new top.
  QUORVANE_INLINE int Run(Step step, int top) const {
    if (step.op == kConstant) {
      kinds[++top] = step.operand ? kOnes : kZero;
    } else if (step.op == kNot) {
      Negate(top);
    } else if (step.op >= kAnd && step.op <= kXor) {
      top--;
      Combine(kOperator[step.op - kAnd], top, kinds[top + 1], buffers[top + 1], 0, top + 1);
    } else if (step.op != kNop) {
      // A push, or an operator taking a variable: a variable constant in
      // the batch is that constant, or its opposite under kNegated.
      const long long column = step.operand & ~kNegated;
      const Word mask = (step.operand & kNegated) ? ~0ULL : 0;
      const unsigned char kind = columnKinds[column] == kVector
                                     ? columnKinds[column]
                                     : static_cast<unsigned char>(columnKinds[column] ^ (mask & 1));
      if (step.op == kPush)
        kinds[++top] = kZero;
      Combine(step.op == kPush ? '+' : kOperator[step.op - kAndVariable], top, kind,
              columns + column * words, mask, -1);
    }
    return top;
  }
};

// The variables above the batch's own bits are constant across it.
void BatchEvaluator::SetBatch(long long firstBlock) {
  myBatch = firstBlock;
  for (int j = 0; j < myVariables; j++) {
    const int bit = myVariables - 1 - j;
    if (myColumnKinds[j] != kVector)
      myColumnKinds[j] = ((firstBlock >> (bit - 6)) & 1) ? kOnes : kZero;
  }
  for (int s = 0; s < myDepth; s++)
    myBuffers[s] = &myStack[0] + static_cast<long long>(s) * myWords;
}

// The evaluation of one batch. It is built twice where the processor may
// have AVX2: inline in Refill for the baseline, and flattened into
// EvaluateAvx2 with every operation of Slots, for AVX2.
QUORVANE_INLINE void BatchEvaluator::Evaluate(long long firstBlock) {
  SetBatch(firstBlock);
  // The loop below is the inner loop of a table, so it runs on the arrays
  // themselves; every index in it was settled when the equation was compiled.
  const Slots slots{&myBuffers[0], &myKinds[0], myWords,
                    myVariables > 0 ? &myColumnKinds[0] : nullptr,
                    myVariables > 0 ? &myColumns[0] : nullptr};
  const Step *const steps = &mySteps[0];
  int top = -1;
  for (int i = 0; i < myCount; i++) {
    const Step step = steps[i];
    // A left operand that decides its AND or OR makes the right one moot.
    if (step.op == kSkipAnd || step.op == kSkipOr)
      i += slots.kinds[top] == (step.op == kSkipAnd ? kZero : kOnes)
               ? static_cast<int>(step.operand)
               : 0;
    else
      top = slots.Run(step, top);
  }
  myResult = top;
}

#if QUORVANE_AVX2
QUORVANE_AVX2_TARGET void BatchEvaluator::EvaluateAvx2(long long firstBlock) {
  Evaluate(firstBlock);
}
#endif

void BatchEvaluator::Refill(long long block) {
  const long long first = block - block % myWords;
#if QUORVANE_AVX2
  if (myAvx2) {
    EvaluateAvx2(first);
    return;
  }
#endif
  Evaluate(first);
}
