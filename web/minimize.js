// Two-level forms of a function given as its result column: the minimal sum
// of products and product of sums, and the canonical forms. Nothing here
// reads an equation; everything starts from the program's own result bits,
// row k in the program's order, its first letter the most significant bit.
//
// A term is a cube { mask, value }: the bits set in mask are the letters it
// names, value their required values. Letter j of n is bit n - 1 - j.
//
// Up to kExactUpTo letters the sum is proved minimal, fewest terms and then
// fewest letters: every prime implicant is found by a ternary sweep, and the
// cover is chosen by branch and bound. Past that the prime implicants are
// too many to list, and each uncovered row is grown greedily into a prime,
// then redundant terms are dropped: small, but not proved minimal.
//
// Don't-care rows may be covered or not: terms are the primes of the true
// and don't-care rows together, and only the true rows need a term.

export const kExactUpTo = 8;
// Up to here the branch and bound runs without a step budget, so that the
// sum is always proved minimal: bounded by linear programming too, a cover
// of at most 64 rows takes milliseconds, a few hundred at worst.
export const kProvedUpTo = 6;
export const kSmallUpTo = 16;
// A weight that makes one term cost more than any number of letters a cover
// of at most 2^8 rows can name, so that a sum of costs orders covers by
// terms first and letters second.
const kTerm = 4096;

export const popcount = (x) => {
  x -= (x >>> 1) & 0x55555555;
  x = (x & 0x33333333) + ((x >>> 2) & 0x33333333);
  return (((x + (x >>> 4)) & 0x0f0f0f0f) * 0x01010101) >>> 24;
};

export const letterCount = (cubes) => cubes.reduce((sum, c) => sum + popcount(c.mask), 0);

// Every prime implicant of `on` (one byte per row) over n letters. An
// implicant with a free letter is an implicant exactly when both its halves
// are, so each cube is settled from two smaller ones, in 3^n steps.
export function primeImplicants(on, n) {
  const full = (1 << n) - 1;
  const size = 1 << (2 * n);
  const implicant = new Uint8Array(size); // index: free bits << n | value
  const order = [];
  for (let free = 0; free <= full; free++) order.push(free);
  order.sort((a, b) => popcount(a) - popcount(b));
  for (const free of order) {
    const fixed = full & ~free;
    const low = free & -free;
    // Every value over the fixed letters.
    for (let v = fixed; ; v = (v - 1) & fixed) {
      let yes;
      if (free === 0) yes = on[v] === 1;
      else {
        const rest = free & ~low;
        yes = implicant[(rest << n) | v] === 1 && implicant[(rest << n) | v | low] === 1;
      }
      if (yes) implicant[(free << n) | v] = 1;
      if (v === 0) break;
    }
  }
  const primes = [];
  for (const free of order) {
    const fixed = full & ~free;
    for (let v = fixed; ; v = (v - 1) & fixed) {
      if (implicant[(free << n) | v]) {
        let prime = true;
        for (let rest = fixed; rest && prime; rest &= rest - 1) {
          const b = rest & -rest;
          if (implicant[((free | b) << n) | (v & ~b)]) prime = false;
        }
        if (prime) primes.push({ mask: fixed, value: v });
      }
      if (v === 0) break;
    }
  }
  return primes;
}

// The rows a cube covers, in increasing order.
export function rowsOf(cube, n) {
  const free = ((1 << n) - 1) & ~cube.mask;
  const rows = [];
  for (let s = free; ; s = (s - 1) & free) {
    rows.push(cube.value | s);
    if (s === 0) break;
  }
  return rows.reverse();
}

// Bit sets as Uint32Arrays: bit i of a set is bit i & 31 of word i >>> 5.
const has = (bits, i) => (bits[i >>> 5] >>> (i & 31)) & 1;
const remove = (bits, i) => {
  bits[i >>> 5] &= ~(1 << (i & 31));
};
const allOf = (size) => {
  const bits = new Uint32Array((size + 31) >>> 5);
  for (let i = 0; i < size; i++) bits[i >>> 5] |= 1 << (i & 31);
  return bits;
};
// The size of a & b.
const count = (a, b) => {
  let c = 0;
  for (let w = 0; w < a.length; w++) c += popcount(a[w] & b[w]);
  return c;
};
const subset = (a, b) => {
  for (let w = 0; w < a.length; w++) if (a[w] & ~b[w]) return false;
  return true;
};
const members = (bits, size) => {
  const out = [];
  for (let i = 0; i < size; i++) if (has(bits, i)) out.push(i);
  return out;
};

// The cheapest set of `primes` that covers every row in `rows`, by branch
// and bound over bit sets: rows are bits of the sets `left` and `cover[p]`,
// primes bits of `allowed` and `options[i]`, the primes that cover row i.
// `budget` caps the search's steps; past it the best cover found so far is
// returned, with proved false. `linear` adds a bound by linear programming.
function exactCover(primes, rows, n, budget, linear) {
  const search = new CoverSearch(primes, rows, n, budget, linear);
  search.explore({ left: allOf(rows.length), allowed: allOf(primes.length), chosen: [], cost: 0 });
  return { chosen: search.bestSet.map((p) => primes[p]), proved: search.proved };
}

// One search's sets and its best cover so far. A node of the search is
// { left, allowed, chosen, cost }: the rows still to cover, the primes it
// may still take, those it has taken and their cost; a step changes its
// own node only, as each branch gets copies.
class CoverSearch {
  constructor(primes, rows, n, budget, linear) {
    this.n = n;
    this.linear = linear;
    this.R = rows.length;
    this.P = primes.length;
    this.budget = budget;
    const index = new Map(rows.map((r, i) => [r, i]));
    this.cover = primes.map((p) => {
      const bits = new Uint32Array((this.R + 31) >>> 5);
      for (const r of rowsOf(p, n)) {
        // A don't-care row is in no set: nothing needs it covered.
        const i = index.get(r);
        if (i !== undefined) bits[i >>> 5] |= 1 << (i & 31);
      }
      return bits;
    });
    this.options = rows.map(() => new Uint32Array((this.P + 31) >>> 5));
    this.cover.forEach((bits, p) => {
      for (let i = 0; i < this.R; i++) if (has(bits, i)) this.options[i][p >>> 5] |= 1 << (p & 31);
    });
    this.costs = primes.map((p) => kTerm + popcount(p.mask));
    this.steps = 0;
    this.proved = true;
    // A greedy cover first, so that the bound prunes from the start.
    this.bestSet = this.greedy();
    this.best = this.bestSet.reduce((s, p) => s + this.costs[p], 0);
  }

  // Takes, until every row is covered, the prime that costs least per row
  // it newly covers.
  greedy() {
    const left = allOf(this.R);
    const chosen = [];
    while (left.some((x) => x)) {
      let pick = -1;
      let ratio = Infinity;
      for (let p = 0; p < this.P; p++) {
        const gain = count(this.cover[p], left);
        if (gain && this.costs[p] / gain < ratio) {
          ratio = this.costs[p] / gain;
          pick = p;
        }
      }
      chosen.push(pick);
      for (let w = 0; w < left.length; w++) left[w] &= ~this.cover[pick][w];
    }
    return chosen;
  }

  // A node, once reduced, is a cover, or pruned by the bound, or split on
  // the row with fewest primes, which keeps the branches few.
  explore(node) {
    if (++this.steps > this.budget) {
      this.proved = false;
      return;
    }
    if (!this.reduce(node)) return;
    const rowsLeft = members(node.left, this.R);
    if (rowsLeft.length === 0) {
      if (node.cost < this.best) {
        this.best = node.cost;
        this.bestSet = [...node.chosen];
      }
      return;
    }
    const ranked = rowsLeft.map((i) => [i, count(this.options[i], node.allowed)]).sort((a, b) => a[1] - b[1]);
    if (this.lowerBound(node, ranked) >= this.best) return;
    if (this.linear && this.dualBound(node) >= this.best) return;
    this.branch(node, ranked[0][0]);
  }

  // Reduces the node until nothing changes; false when it can lead to no
  // cover cheaper than the best.
  reduce(node) {
    for (let changed = true; changed;) {
      const essential = this.takeEssential(node);
      if (essential === null) return false;
      if (node.cost >= this.best) return false;
      const primes = this.dropDominatedPrimes(node);
      const rows = this.dropDominatingRows(node);
      changed = essential || primes || rows;
    }
    return true;
  }

  take(node, p) {
    node.chosen.push(p);
    node.cost += this.costs[p];
    remove(node.allowed, p);
    for (let w = 0; w < node.left.length; w++) node.left[w] &= ~this.cover[p][w];
  }

  // Takes the only prime of each row that has one: every cover needs it.
  // Null when a row has none left, so that no cover lies below this node.
  takeEssential(node) {
    const { left, allowed } = node;
    let changed = false;
    for (const i of members(left, this.R)) {
      // A prime taken for an earlier row may have covered this one.
      if (!has(left, i)) continue;
      const k = count(this.options[i], allowed);
      if (k === 0) return null;
      if (k === 1) {
        for (let p = 0; p < this.P; p++) if (has(allowed, p) && has(this.options[i], p)) this.take(node, p);
        changed = true;
      }
    }
    return changed;
  }

  // Drops a prime whose rows still to cover a no dearer prime covers too:
  // some cheapest cover does without it. Of two primes that tie, the later
  // goes, so that one of them stays.
  dropDominatedPrimes(node) {
    const { left, allowed } = node;
    const { costs } = this;
    const useful = members(allowed, this.P);
    const mine = useful.map((p) => this.cover[p].map((x, w) => x & left[w]));
    const sizes = mine.map((bits) => count(bits, bits));
    let changed = false;
    for (let a = 0; a < useful.length; a++) {
      const p = useful[a];
      let gone = sizes[a] === 0;
      for (let b = 0; b < useful.length && !gone; b++) {
        const q = useful[b];
        if (b === a || !has(allowed, q) || costs[q] > costs[p] || sizes[b] < sizes[a]) continue;
        if (subset(mine[a], mine[b]) && (costs[q] < costs[p] || sizes[b] > sizes[a] || q < p)) gone = true;
      }
      if (gone) {
        remove(allowed, p);
        // A prime that covers nothing left changes no choice.
        if (sizes[a] > 0) changed = true;
      }
    }
    return changed;
  }

  // Drops a row i when some other row j is covered only by primes that
  // cover i too: covering j covers i. Of two rows with the same primes, the
  // first stays.
  dropDominatingRows(node) {
    const { left, allowed } = node;
    const rowsLeft = members(left, this.R);
    const open = rowsLeft.map((i) => this.options[i].map((x, w) => x & allowed[w]));
    let changed = false;
    for (let a = 0; a < rowsLeft.length; a++) {
      for (let b = 0; b < rowsLeft.length; b++) {
        if (b === a || !has(left, rowsLeft[b])) continue;
        if (subset(open[b], open[a]) && (!subset(open[a], open[b]) || b < a)) {
          remove(left, rowsLeft[a]);
          changed = true;
          break;
        }
      }
    }
    return changed;
  }

  // A bound on any cover below the node: rows of which no one prime covers
  // two each need a prime of their own, at least the cheapest of theirs.
  // Rows with fewest primes first find more such rows.
  lowerBound(node, ranked) {
    const { allowed } = node;
    const taken = new Uint32Array(allowed.length);
    let bound = node.cost;
    for (const [i] of ranked) {
      const o = this.options[i];
      let shared = false;
      for (let w = 0; w < taken.length; w++) if (o[w] & allowed[w] & taken[w]) shared = true;
      if (shared) continue;
      let cheapest = Infinity;
      for (let p = 0; p < this.P; p++) if (has(allowed, p) && has(o, p)) cheapest = Math.min(cheapest, this.costs[p]);
      for (let w = 0; w < taken.length; w++) taken[w] |= o[w] & allowed[w];
      bound += cheapest;
    }
    return bound;
  }

  // A function with many covers of nearly one cost has too many nodes that
  // the bound above does not prune, which a search with no budget must all
  // go through: so it bounds them by linear programming too, and so does a
  // search with don't-cares, whose primes are many. Any y >= 0 per
  // row left, such that each prime's rows' y add up to at most its cost,
  // bounds every cover of those rows (the dual of the cover's linear
  // relaxation). A cover of T terms costs at most T * (kTerm + n), which
  // rounds the bound up to whole terms; and then, as every cover has at
  // least that many terms, the program goes on with that as one more row
  // that every prime covers, worth that many: letters are then counted for
  // whole terms.
  dualBound(node) {
    const rowsLeft = members(node.left, this.R);
    const inherited = this.inheritedBound(node, rowsLeft);
    if (inherited >= this.best) return inherited;
    const primes = members(node.allowed, this.P);
    const column = new Int32Array(this.R);
    rowsLeft.forEach((i, j) => { column[i] = j; });
    const rowsOfPrime = primes.map((p) => rowsLeft.filter((i) => has(this.cover[p], i)).map((i) => column[i]));
    const costs = primes.map((p) => this.costs[p]);
    const program = new DualProgram(rowsOfPrime, costs, rowsLeft.length);
    let bound = whole(program.worth());
    const terms = Math.ceil(bound / (kTerm + this.n));
    bound = Math.max(bound, terms * Math.min(...costs));
    if (node.cost + bound < this.best) bound = Math.max(bound, whole(program.counting(terms)));
    // A budget counts the program's work too, lest a big tableau make it
    // last far longer than its steps.
    this.steps += Math.floor(program.work / kCellsPerStep);
    // Below the node, the same y over fewer rows and primes is still such a
    // y: the nodes there try it before a program of their own.
    const shares = new Float64Array(this.R);
    const y = program.shares();
    rowsLeft.forEach((i, j) => { shares[i] = y[j]; });
    node.dual = { shares, perTerm: y[rowsLeft.length], terms: program.terms, taken: node.chosen.length };
    return node.cost + bound;
  }

  // A y found above the node, over the rows still open: each prime taken
  // since stands for one of the terms it counted.
  inheritedBound(node, rowsLeft) {
    if (!node.dual) return 0;
    const { shares, perTerm, terms, taken } = node.dual;
    const open = allOf(this.R);
    for (const p of node.chosen) for (let w = 0; w < open.length; w++) open[w] &= ~this.cover[p][w];
    const termsLeft = Math.max(0, terms - (node.chosen.length - taken));
    return node.cost + whole(members(open, this.R).reduce((sum, i) => sum + shares[i], termsLeft * perTerm));
  }

  // Branches on `row`'s primes, the one covering most first; each prime
  // tried is barred from the branches after it, which then cover the row
  // some other way, so that no set is searched twice.
  branch(node, row) {
    const { left, allowed, chosen, cost } = node;
    const tries = [];
    for (let p = 0; p < this.P; p++) if (has(allowed, p) && has(this.options[row], p)) tries.push(p);
    tries.sort((a, b) => count(this.cover[b], left) - count(this.cover[a], left) || this.costs[a] - this.costs[b]);
    for (const p of tries) {
      remove(allowed, p);
      const rest = left.slice();
      for (let w = 0; w < rest.length; w++) rest[w] &= ~this.cover[p][w];
      this.explore({
        left: rest, allowed: allowed.slice(), chosen: [...chosen, p], cost: cost + this.costs[p], dual: node.dual,
      });
      if (this.steps > this.budget) return;
    }
  }
}

// A bound from floating point, less a little for rounding, up to whole.
const whole = (b) => Math.ceil(b - 1e-7);

// The y >= 0, one per row, of largest worth, such that the rows of prime a,
// rowsOfPrime[a], add up to at most costs[a]: the dual of covering the k
// rows at least cost, by the simplex method over a dense tableau, one line
// per prime with its slack. Its column k, the count, is a row every prime
// covers, worth `terms` (none at first), so that the program can go on
// from where it was once the terms are known. Floating point may leave a
// prime's rows a little past its cost, so y is scaled back within every
// one: its worth then bounds every cover however the arithmetic went.
class DualProgram {
  constructor(rowsOfPrime, costs, k) {
    const m = costs.length;
    const width = k + 1 + m + 1;
    Object.assign(this, { rowsOfPrime, costs, k, m, width, terms: 0 });
    this.tableau = new Float64Array(m * width);
    this.basis = new Int32Array(m);
    for (let a = 0; a < m; a++) {
      const line = a * width;
      for (const j of rowsOfPrime[a]) this.tableau[line + j] = 1;
      this.tableau[line + k] = 1;
      this.tableau[line + k + 1 + a] = 1;
      this.tableau[line + width - 1] = costs[a];
      this.basis[a] = k + 1 + a;
    }
    this.gains = new Float64Array(width).fill(1, 0, k);
    this.pivots = 0;
    this.work = 0;
    this.solve();
  }

  solve() {
    const { tableau, gains, m, width, basis } = this;
    // The count stays out until it counts: then it is the only column
    // whose gain a new worth changes.
    const skip = this.terms === 0 ? this.k : -1;
    for (; this.pivots < kPivots; this.pivots++) {
      const enter = entering(gains, width - 1, this.pivots > kDantzig, skip);
      if (enter < 0) return;
      const leave = leaving(tableau, m, width, enter, basis);
      if (leave < 0) return;
      this.work += pivot(tableau, gains, m, width, leave, enter);
      basis[leave] = enter;
    }
  }

  // Counts `terms` for the count column and solves again.
  counting(terms) {
    this.gains[this.k] += terms - this.terms;
    this.terms = terms;
    this.solve();
    return this.worth();
  }

  shares() {
    const { tableau, m, width, k } = this;
    const y = new Float64Array(k + 1);
    for (let a = 0; a < m; a++) if (this.basis[a] <= k) y[this.basis[a]] = Math.max(0, tableau[a * width + width - 1]);
    let scale = 1;
    for (let a = 0; a < m; a++) {
      const used = this.rowsOfPrime[a].reduce((sum, j) => sum + y[j], y[k]);
      if (used > this.costs[a]) scale = Math.min(scale, this.costs[a] / used);
    }
    return y.map((v) => v * scale);
  }

  worth() {
    const y = this.shares();
    return y.reduce((sum, v, j) => sum + (j < this.k ? v : this.terms * v), 0);
  }
}

// The simplex method gains most per pivot by taking the column that gains
// most, but may then cycle on a degenerate vertex; past kDantzig pivots it
// takes the first column that gains at all, which cannot cycle. Past kPivots
// it stops: every vertex on the way is feasible, only a weaker bound.
const kDantzig = 500;
const kPivots = 5000;
const kEpsilon = 1e-9;
// About as many tableau cells as one node's reductions take time for.
const kCellsPerStep = 1 << 14;

function entering(gains, columns, first, skip) {
  let best = -1;
  for (let j = 0; j < columns; j++) {
    if (gains[j] <= kEpsilon || j === skip) continue;
    if (first) return j;
    if (best < 0 || gains[j] > gains[best]) best = j;
  }
  return best;
}

// The line that bounds the entering column's growth first; of lines that
// tie, the one whose basic column comes first, as the anti-cycling rule
// asks.
function leaving(tableau, m, width, enter, basis) {
  let best = -1;
  let ratio = Infinity;
  for (let a = 0; a < m; a++) {
    const x = tableau[a * width + enter];
    if (x <= kEpsilon) continue;
    const r = tableau[a * width + width - 1] / x;
    if (r < ratio - kEpsilon || (r <= ratio + kEpsilon && basis[a] < basis[best])) {
      ratio = r;
      best = a;
    }
  }
  return best;
}

// The tableau stays sparse for many pivots: only the pivot line's nonzero
// columns change in the others. Returns how many cells it went through.
function pivot(tableau, gains, m, width, leave, enter) {
  const row = leave * width;
  const x = tableau[row + enter];
  const nonzero = [];
  for (let j = 0; j < width; j++) {
    if (tableau[row + j] === 0) continue;
    tableau[row + j] /= x;
    nonzero.push(j);
  }
  const eliminate = (line, at) => {
    const f = line[at + enter];
    if (f === 0) return;
    for (const j of nonzero) line[at + j] -= f * tableau[row + j];
  };
  for (let a = 0; a < m; a++) if (a !== leave) eliminate(tableau, a * width);
  eliminate(gains, 0);
  return m * nonzero.length;
}

// Past kExactUpTo letters rows are bits of Uint32Arrays, 32 rows a word, so
// that a cube's rows are a few whole words: in each word whose index matches
// its letters above the fifth from last, the rows its last five letters
// match, one pattern, kPatterns[lowMask << 5 | lowValue].
const kPatterns = (() => {
  const table = new Int32Array(32 * 32);
  for (let mask = 0; mask < 32; mask++)
    for (let bit = 0; bit < 32; bit++) table[(mask << 5) | (bit & mask)] |= 1 << bit;
  return table;
})();

const bitsOf = (bytes) => {
  const bits = new Uint32Array((bytes.length + 31) >>> 5);
  for (let k = 0; k < bytes.length; k++) if (bytes[k]) bits[k >>> 5] |= 1 << (k & 31);
  return bits;
};

// How many of the cube's rows are in `fresh`, or -1 if one is not in
// `allowed`; n is at least 5.
function freshIn(mask, value, n, allowed, fresh) {
  const pattern = kPatterns[((mask & 31) << 5) | (value & 31)];
  const free = (((1 << n) - 1) & ~mask) >>> 5;
  const high = value >>> 5;
  let got = 0;
  for (let s = free; ; s = (s - 1) & free) {
    const w = high | s;
    if (pattern & ~allowed[w]) return -1;
    got += popcount(fresh[w] & pattern);
    if (s === 0) return got;
  }
}

// Grows `row` into a prime implicant of `allowed`, the true and don't-care
// rows, freeing at each step the letter that brings in the most rows of
// `fresh`, the true rows not yet covered.
function grow(row, n, allowed, fresh) {
  let mask = (1 << n) - 1;
  let value = row;
  for (;;) {
    let pick = 0;
    let gain = -1;
    for (let rest = mask; rest; rest &= rest - 1) {
      const b = rest & -rest;
      // The half the freed letter brings in must be all allowed.
      const got = freshIn(mask, value ^ b, n, allowed, fresh);
      if (got > gain) {
        gain = got;
        pick = b;
      }
    }
    if (!pick) return { mask, value };
    mask &= ~pick;
    value &= ~pick;
  }
}

function eachRow(cube, n, visit) {
  const free = ((1 << n) - 1) & ~cube.mask;
  for (let s = free; ; s = (s - 1) & free) {
    visit(cube.value | s);
    if (s === 0) return;
  }
}

// Whether each true row of the cube has another term too.
function spare(cube, n, on, covered) {
  const free = ((1 << n) - 1) & ~cube.mask;
  for (let s = free; ; s = (s - 1) & free) {
    const k = cube.value | s;
    if (on[k] && covered[k] < 2) return false;
    if (s === 0) return true;
  }
}

function greedyCover(on, allowed, n) {
  const fresh = bitsOf(on);
  const allowedBits = bitsOf(allowed);
  // Terms per true row: at most the primes through it, fewer than 2^16.
  const covered = new Uint16Array(1 << n);
  const cubes = [];
  for (let r = 0; r < 1 << n; r++) {
    if (!has(fresh, r)) continue;
    const cube = grow(r, n, allowedBits, fresh);
    cubes.push(cube);
    eachRow(cube, n, (k) => {
      if (!on[k]) return;
      covered[k]++;
      remove(fresh, k);
    });
  }
  // Drop each term, largest first, whose true rows the others all cover too.
  cubes.sort((a, b) => popcount(b.mask) - popcount(a.mask));
  const kept = [];
  for (const cube of cubes) {
    if (spare(cube, n, on, covered)) eachRow(cube, n, (k) => {
      if (on[k]) covered[k]--;
    });
    else kept.push(cube);
  }
  return kept;
}

// Terms in the order a textbook writes them: by the first letter they name,
// its negation first, then by the next.
export function byLetters(a, b) {
  for (let bit = 1 << 30; bit; bit >>>= 1) {
    const named = (b.mask & bit) - (a.mask & bit);
    if (named) return named;
    const value = (a.value & bit) - (b.value & bit);
    if (value) return value;
  }
  return 0;
}

// The rows a term may cover: true or don't-care.
export function allowedRows(on, dc) {
  const allowed = new Uint8Array(on.length);
  for (let r = 0; r < on.length; r++) allowed[r] = on[r] || dc[r] ? 1 : 0;
  return allowed;
}

// The minimal sum of products of `on` (0/1 per row) over n letters:
// { cubes, proved }. `dc`, if given, is 1 at each don't-care row, none of
// them true. A constant 1 is one cube of no letters; a constant 0 is no cube
// at all. `budget` caps the exact search's steps past kProvedUpTo letters.
export function minimalSum(on, n, { dc, budget = 5e4 } = {}) {
  const rows = [];
  let falseRows = 0;
  for (let r = 0; r < 1 << n; r++) {
    if (on[r]) rows.push(r);
    else if (!dc?.[r]) falseRows++;
  }
  if (rows.length === 0) return { cubes: [], proved: true };
  if (falseRows === 0) return { cubes: [{ mask: 0, value: 0 }], proved: true };
  const allowed = dc?.some((x) => x) ? allowedRows(on, dc) : on;
  if (n > kExactUpTo) return { cubes: greedyCover(on, allowed, n).sort(byLetters), proved: false };
  // A prime of don't-care rows alone is never worth a term.
  const primes = primeImplicants(allowed, n).filter((p) => rowsOf(p, n).some((r) => on[r]));
  const steps = n <= kProvedUpTo ? Infinity : budget;
  // Without don't-cares a budget keeps the older bound alone, so that a
  // function gives the form it always gave, even where the budget runs out.
  const linear = n <= kProvedUpTo || allowed !== on;
  const { chosen, proved } = exactCover(primes, rows, n, steps, linear);
  return { cubes: chosen.sort(byLetters), proved };
}

// The minimal product of sums: the minimal sum of the false rows, with the
// same don't-cares, each of whose terms becomes a clause with every letter
// negated.
export function minimalProduct(on, n, options = {}) {
  return minimalSum(falseRows(on, options.dc), n, options);
}

// The rows neither true nor don't-care, whose minimal sum's terms are the
// minimal product's clauses.
export function falseRows(on, dc) {
  const off = new Uint8Array(on.length);
  for (let r = 0; r < off.length; r++) off[r] = on[r] || dc?.[r] ? 0 : 1;
  return off;
}

const literal = (letters, n, cube, j, positive) => {
  const bit = 1 << (n - 1 - j);
  return (cube.value & bit) === 0 === positive ? `!${letters[j]}` : letters[j];
};

function literals(cube, letters, positive) {
  const n = letters.length;
  const out = [];
  for (let j = 0; j < n; j++)
    if (cube.mask & (1 << (n - 1 - j))) out.push(literal(letters, n, cube, j, positive));
  return out;
}

// The sum's text in the program's syntax: "!A*B+C", "1" or "0".
export function sumText(cubes, letters) {
  if (cubes.length === 0) return '0';
  return cubes.map((c) => literals(c, letters, true).join('*') || '1').join('+');
}

// The product's text from the complement's cubes: each cube of the false
// rows is a clause that is false exactly there. "(A+!B)*C", "0" or "1".
export function productText(offCubes, letters) {
  if (offCubes.length === 0) return '1';
  const clauses = offCubes.map((c) => literals(c, letters, false));
  if (clauses.some((c) => c.length === 0)) return '0';
  return clauses.map((c) => (c.length > 1 && clauses.length > 1 ? `(${c.join('+')})` : c.join('+')))
    .join('*');
}

const fullCube = (row, n) => ({ mask: (1 << n) - 1, value: row });

export function canonicalSum(on, letters) {
  const n = letters.length;
  const cubes = [];
  for (let r = 0; r < 1 << n; r++) if (on[r]) cubes.push(fullCube(r, n));
  return sumText(cubes, letters);
}

export function canonicalProduct(on, letters) {
  const n = letters.length;
  const cubes = [];
  for (let r = 0; r < 1 << n; r++) if (!on[r]) cubes.push(fullCube(r, n));
  return productText(cubes, letters);
}

// TeX breaks inline math only after an operator outside any group, and
// finds a line too full or too empty where a form's long terms leave it few
// places to break and little space to stretch. So after each outer "+" or
// "\oplus", and between factors in parentheses, goes a place to break with
// the rest of the line to spare: glue that stretches at a line's end and is
// cancelled where the line goes on.
const kBreak = '\\hfil\\allowbreak\\hfilneg ';

// What goes between two juxtaposed factors: a place to break where either
// is in parentheses, since juxtaposition is no operator; a thin space
// between two bars, lest they read as one bar over both, the negation of
// the product.
function factorGap(left, right, outer) {
  if (left.endsWith(')') || right.startsWith('(')) return outer ? kBreak : '\\allowbreak ';
  return left.endsWith('}') && right.startsWith('\\overline') ? '\\,' : '';
}

// The source's lines ended at places to break, once long, as TeX reads no
// line much longer than 200000 characters.
function wrapped(tex) {
  let start = 0;
  return tex.replaceAll(kBreak, (found, at) => {
    if (at - start < 72) return found;
    start = at + found.length;
    return `${found.trimEnd()}\n`;
  });
}

// A form in the program's syntax as LaTeX math, to paste between dollars:
// "!" over its operand as a bar, "*" as juxtaposition, "@" as \oplus. Its
// parentheses are plain, not \left...\right, so that a clause's "+" stays a
// place to break too. It translates the forms this page writes; it does not
// evaluate them.
export function latexOf(form) {
  let at = 0;
  let depth = 0;
  const chain = (op, tex, operand) => {
    let out = operand();
    while (form[at] === op) {
      at++;
      out += `${tex} ${depth ? '' : kBreak}${operand()}`;
    }
    return out;
  };
  const sum = () => chain('+', ' +', xor);
  const xor = () => chain('@', ' \\oplus', product);
  const product = () => {
    let last = unary();
    let out = last;
    while (form[at] === '*') {
      at++;
      const next = unary();
      out += factorGap(last, next, depth === 0) + next;
      last = next;
    }
    return out;
  };
  // A parenthesized group's inside, past its ")".
  const group = () => {
    at++;
    depth++;
    const inner = sum();
    depth--;
    at++;
    return inner;
  };
  const unary = () => {
    if (form[at] === '!') {
      at++;
      return `\\overline{${form[at] === '(' ? group() : unary()}}`;
    }
    if (form[at] === '(') return `(${group()})`;
    return form[at++] ?? '';
  };
  return wrapped(sum());
}
