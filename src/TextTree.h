#ifndef TEXT_TREE_H
#define TEXT_TREE_H

#include "apstring.h"
#include "apvector.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>

// A text that grows one character at a time anywhere in it, for grouping
// equations megabytes long. Reading a character, inserting one and finding
// the partner of a parenthesis each cost O(log n) (the search amortised),
// where a plain string shifts its whole tail per insertion and scans a whole
// group for a partner.
//
// The characters lie in order in leaves of at most kLeafSize, under a B+ tree
// whose nodes know, for each child, its length, its balance ("(" minus ")")
// and the lowest running balance within it. A search skips every child whose
// lowest balance cannot reach the partner. Only the lowest balance is costly
// to keep, so an insertion marks it stale along its path and a search
// refreshes what it reads. The sizes are parameters only so that a test can
// grow a deep tree from a short text.
template <int LeafSize, int Fanout> class BasicTextTree {
public:
  explicit BasicTextTree(apstring &text) : myLength(text.length()) {
    const int leaves = myLength == 0 ? 1 : (myLength + kLeafFill - 1) / kLeafFill;
    myLeaves.resize(leaves);
    for (int j = 0; j < leaves; j++) {
      Leaf &leaf = myLeaves[j];
      const int start = j * kLeafFill;
      leaf.length = myLength - start < kLeafFill ? myLength - start : kLeafFill;
      std::memcpy(leaf.text, text.c_str() + start, leaf.length);
      leaf.next = j + 1 < leaves ? j + 1 : -1;
    }
    myLeafCount = leaves;
    // Each level's children are numbered first..first+count-1, since both
    // pools hand out numbers in order.
    for (int first = 0, count = leaves;; myHeight++) {
      const int parents = (count + kNodeFill - 1) / kNodeFill;
      const int firstParent = myNodeCount;
      for (int p = 0; p < parents; p++) {
        const int id = NewNode();
        for (int c = p * kNodeFill; c < count && c < (p + 1) * kNodeFill; c++)
          Place(id, myNodes[id].count, Summary(myHeight + 1, first + c));
      }
      first = firstParent;
      count = parents;
      if (count == 1) {
        myRoot = first;
        myHeight++;
        return;
      }
    }
  }

  int length() const { return myLength; }

  char operator[](int k) {
    if (k < 0 || k >= myLength)
      IndexFailure(k);
    if (k < myCursorStart || k >= myCursorStart + myLeaves[myCursor].length)
      Seek(k);
    return myLeaves[myCursor].text[k - myCursorStart];
  }

  // Inserts ch before position loc, 0 <= loc <= length().
  void insert(int loc, char ch) {
    apstring::checkedLength(myLength + 1LL);
    // Insertions mostly land where the passes are reading, in the cursor's
    // leaf, whose path is known; only a full leaf or another one needs a
    // descent.
    Path path;
    Step *steps = path;
    int id = myCursor;
    int offset = loc - myCursorStart;
    const Leaf &cursor = myLeaves[myCursor];
    if (offset >= 0 && offset <= cursor.length && cursor.length < kLeafSize) {
      int start;
      if (!myCursorPathValid)
        Descend(myCursorStart, false, myCursorPath, start);
      myCursorPathValid = true;
      steps = myCursorPath;
    } else {
      id = Descend(loc, true, path, offset);
      if (myLeaves[id].length == kLeafSize) {
        SplitLeaf(id, path);
        id = Descend(loc, true, path, offset);
      }
    }
    Leaf &leaf = myLeaves[id];
    std::memmove(leaf.text + offset + 1, leaf.text + offset, leaf.length - offset);
    leaf.text[offset] = ch;
    leaf.length++;
    const int delta = Delta(ch);
    for (int level = 1; level <= myHeight; level++) {
      Node &n = myNodes[steps[level].node];
      const int s = steps[level].slot;
      n.length[s]++;
      if (delta != 0) {
        n.sum[s] += delta;
        n.stale[s] = true;
      }
    }
    myLength++;
    if (id != myCursor && loc <= myCursorStart)
      myCursorStart++;
  }

  // The partner of the parenthesis at `from`: forward from a "(" (step 1) or
  // backward from a ")" (step -1). One that has none ends the run through the
  // index test, at the index a character-by-character scan would have run
  // off at: the length, or -1.
  int partner(int from, int step) {
    Path path;
    int offset;
    int id = Descend(from, false, path, offset);
    int depth = 1; // parentheses still open; 0 at the partner
    int pos = from;
    if (ScanLeaf(id, offset, step, depth, pos))
      return pos;
    for (int level = 1; level <= myHeight; level++) {
      const Node &n = myNodes[path[level].node];
      for (int s = path[level].slot + step; s >= 0 && s < n.count; s += step) {
        if (depth <= Reach(level, path[level].node, s, step))
          return Find(level, n.child[s], step, depth, pos);
        depth += step * n.sum[s];
        pos += step * n.length[s];
      }
    }
    IndexFailure(step > 0 ? myLength : -1);
  }

  apstring text() {
    apstring out;
    if (!out.reserve(myLength + 1))
      throw std::bad_alloc();
    for (int id = 0; id >= 0; id = myLeaves[id].next)
      out.append(myLeaves[id].text, myLeaves[id].length);
    return out;
  }

private:
  static constexpr int kLeafSize = LeafSize;          // characters a leaf can hold
  static constexpr int kLeafFill = kLeafSize * 3 / 4; // a new tree leaves room to insert
  static constexpr int kFanout = Fanout;
  static constexpr int kNodeFill = kFanout * 3 / 4;
  // After a split a leaf holds at least half its size and a node at least
  // half its fanout, so INT_MAX characters in the program's tree stand at
  // most 10 levels high; a test's tiny tree of a few thousand, about 12.
  static constexpr int kMaxHeight = 24;

  struct Leaf {
    int length; // characters in text
    int next;   // the leaf after this one; -1 after the last
    char text[kLeafSize];
  };

  // Child i's length and sum are always exact; its low is exact unless stale.
  struct Node {
    int count = 0;       // children in use
    int child[kFanout];  // leaves at level 1, nodes above
    int length[kFanout]; // characters under child i
    int sum[kFanout];    // its "(" minus its ")"
    int low[kFanout];    // the lowest running sum within it, the empty start (0) included
    bool stale[kFanout]; // low[i] awaits a refresh
  };

  struct Child {
    int id, length, sum, low;
    bool stale;
  };

  struct Step {
    int node, slot;
  };
  using Path = Step[kMaxHeight + 1]; // path[level] for levels 1..myHeight

  static int Delta(char ch) { return ch == '(' ? 1 : ch == ')' ? -1 : 0; }

  [[noreturn]] void IndexFailure(int k) {
    // The string's own index test writes the line, so that it reads exactly
    // as it always has.
    apstring whole = text();
    (void)whole[k];
    std::exit(1);
  }

  // The leaf holding position k and k's offset in it, with the path down to
  // it. For an insertion a position between two leaves goes to the end of
  // the first, and length() to the end of the last.
  int Descend(int k, bool toInsert, Path &path, int &offset) {
    int id = myRoot;
    for (int level = myHeight; level >= 1; level--) {
      const Node &n = myNodes[id];
      int s = 0;
      while (s < n.count - 1 && (toInsert ? k > n.length[s] : k >= n.length[s]))
        k -= n.length[s++];
      path[level] = Step{id, s};
      id = n.child[s];
    }
    offset = k;
    return id;
  }

  // Reading mostly walks forward, so the next leaf is tried before a
  // descent; it is most often the next child of the same node.
  void Seek(int k) {
    const Leaf &cursor = myLeaves[myCursor];
    const int end = myCursorStart + cursor.length;
    if (k >= end && cursor.next >= 0 && k < end + myLeaves[cursor.next].length) {
      myCursor = cursor.next;
      myCursorStart = end;
      Step &parent = myCursorPath[1];
      myCursorPathValid = myCursorPathValid && parent.slot + 1 < myNodes[parent.node].count;
      parent.slot += myCursorPathValid ? 1 : 0;
      return;
    }
    int offset;
    myCursor = Descend(k, false, myCursorPath, offset);
    myCursorStart = k - offset;
    myCursorPathValid = true;
  }

  // Scans a leaf from `offset` + step on (from its first or last character
  // when offset lies just outside it) until the open count reaches 0.
  bool ScanLeaf(int id, int offset, int step, int &depth, int &pos) {
    const Leaf &leaf = myLeaves[id];
    for (int o = offset + step; o >= 0 && o < leaf.length; o += step) {
      pos += step;
      depth += step * Delta(leaf.text[o]);
      if (depth == 0)
        return true;
    }
    return false;
  }

  // How far the open count can fall inside child s: forward by its lowest
  // running sum, backward by its highest sum of a tail.
  int Reach(int level, int node, int s, int step) {
    const int low = Low(level, node, s);
    return step > 0 ? -low : myNodes[node].sum[s] - low;
  }

  // Goes down from a child known to hold the partner to the leaf that does.
  int Find(int level, int id, int step, int &depth, int &pos) {
    for (; level > 1; level--) {
      const Node &n = myNodes[id];
      int s = step > 0 ? 0 : n.count - 1;
      for (; depth > Reach(level - 1, id, s, step); s += step) {
        depth += step * n.sum[s];
        pos += step * n.length[s];
        assert(s + step >= 0 && s + step < n.count);
      }
      id = n.child[s];
    }
    const bool found = ScanLeaf(id, step > 0 ? -1 : myLeaves[id].length, step, depth, pos);
    assert(found);
    (void)found;
    return pos;
  }

  // The lowest running sum within child s of a node at `level`.
  int Low(int level, int node, int s) {
    if (myNodes[node].stale[s])
      Refresh(level, node, s);
    return myNodes[node].low[s];
  }

  // Recomputes a stale low from below, refreshing stale children before
  // their parents on a stack of its own: it is never deeper than the tree.
  void Refresh(int level, int node, int s) {
    struct Frame {
      int level, node, slot, next;
    };
    Frame stack[kMaxHeight];
    int top = 0;
    stack[0] = Frame{level, node, s, 0};
    while (top >= 0) {
      Frame &f = stack[top];
      Node &n = myNodes[f.node];
      const int child = n.child[f.slot];
      if (f.level > 1) {
        const Node &c = myNodes[child];
        while (f.next < c.count && !c.stale[f.next])
          f.next++;
        if (f.next < c.count) {
          stack[top + 1] = Frame{f.level - 1, child, f.next, 0};
          top++;
          continue;
        }
      }
      n.low[f.slot] = Summary(f.level, child).low;
      n.stale[f.slot] = false;
      top--;
    }
  }

  // A child's figures from its own contents; a node's children must be fresh.
  Child Summary(int level, int id) {
    Child c{id, 0, 0, 0, false};
    if (level == 1) {
      const Leaf &leaf = myLeaves[id];
      c.length = leaf.length;
      for (int o = 0; o < leaf.length; o++) {
        c.sum += Delta(leaf.text[o]);
        c.low = c.sum < c.low ? c.sum : c.low;
      }
      return c;
    }
    const Node &n = myNodes[id];
    for (int s = 0; s < n.count; s++) {
      c.length += n.length[s];
      c.stale = c.stale || n.stale[s];
      c.low = c.sum + n.low[s] < c.low ? c.sum + n.low[s] : c.low;
      c.sum += n.sum[s];
    }
    return c;
  }

  // A split moves children between nodes, so the cursor's path is found
  // again at its next descent.
  void SplitLeaf(int id, Path &path) {
    myCursorPathValid = false;
    const int fresh = NewLeaf();
    Leaf &left = myLeaves[id];
    Leaf &right = myLeaves[fresh];
    const int half = left.length / 2;
    right.length = left.length - half;
    std::memcpy(right.text, left.text + half, right.length);
    left.length = half;
    right.next = left.next;
    left.next = fresh;
    Replace(path[1], Summary(1, id));
    InsertChild(path, 1, Summary(1, fresh));
  }

  // Puts child c after the path's slot at `level`, splitting full nodes on
  // the way up and growing a new root when the old one splits.
  void InsertChild(Path &path, int level, Child c) {
    for (;; level++) {
      const int id = path[level].node;
      const int at = path[level].slot + 1;
      if (myNodes[id].count < kFanout) {
        Place(id, at, c);
        return;
      }
      const int fresh = NewNode();
      Node &left = myNodes[id];
      const int half = kFanout / 2;
      for (int s = half; s < kFanout; s++)
        Place(fresh, s - half,
              Child{left.child[s], left.length[s], left.sum[s], left.low[s], left.stale[s]});
      left.count = half;
      if (at <= half)
        Place(id, at, c);
      else
        Place(fresh, at - half, c);
      if (level == myHeight) {
        myRoot = NewNode();
        myHeight++;
        Place(myRoot, 0, Summary(level + 1, id));
        Place(myRoot, 1, Summary(level + 1, fresh));
        return;
      }
      Replace(path[level + 1], Summary(level + 1, id));
      c = Summary(level + 1, fresh);
    }
  }

  void Replace(Step at, Child c) {
    Node &n = myNodes[at.node];
    n.length[at.slot] = c.length;
    n.sum[at.slot] = c.sum;
    n.low[at.slot] = c.low;
    n.stale[at.slot] = c.stale;
  }

  void Place(int id, int at, Child c) {
    Node &n = myNodes[id];
    for (int s = n.count; s > at; s--) {
      n.child[s] = n.child[s - 1];
      n.length[s] = n.length[s - 1];
      n.sum[s] = n.sum[s - 1];
      n.low[s] = n.low[s - 1];
      n.stale[s] = n.stale[s - 1];
    }
    n.child[at] = c.id;
    n.count++;
    Replace(Step{id, at}, c);
  }

  // Both pools grow by doubling; nodes are named by number, so growth moves
  // nothing anyone holds.
  int NewLeaf() { return Grow(myLeaves, myLeafCount); }
  int NewNode() {
    const int id = Grow(myNodes, myNodeCount);
    myNodes[id].count = 0;
    return id;
  }
  template <class T> static int Grow(apvector<T> &pool, int &count) {
    if (count == pool.length())
      pool.resize(2 * count + 1);
    return count++;
  }

  int myLength;            // characters in the text
  apvector<Leaf> myLeaves; // leaves 0..myLeafCount-1; leaf 0 comes first in the text
  int myLeafCount = 0;
  apvector<Node> myNodes; // nodes 0..myNodeCount-1
  int myNodeCount = 0;
  int myRoot = 0;
  int myHeight = 0; // levels of nodes above the leaves, at least 1
  int myCursor = 0; // the leaf read last, which starts at myCursorStart
  int myCursorStart = 0;
  Path myCursorPath;              // the way down to myCursor, when valid
  bool myCursorPathValid = false; // no split since it was found
};

// Leaves of two cache lines; a node's figures for its children fill a few.
using TextTree = BasicTextTree<128, 16>;

#endif
