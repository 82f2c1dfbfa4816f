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

export const kExactUpTo = 8;
export const kSmallUpTo = 16;
// A weight that makes one term cost more than any number of letters a cover
// of at most 2^8 rows can name, so that a sum of costs orders covers by
// terms first and letters second.
const kTerm = 4096;

const popcount = (x) => {
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
// returned, with proved false.
function exactCover(primes, rows, n, budget) {
  const search = new CoverSearch(primes, rows, n, budget);
  search.explore({ left: allOf(rows.length), allowed: allOf(primes.length), chosen: [], cost: 0 });
  return { chosen: search.bestSet.map((p) => primes[p]), proved: search.proved };
}

// One search's sets and its best cover so far. A node of the search is
// { left, allowed, chosen, cost }: the rows still to cover, the primes it
// may still take, those it has taken and their cost; a step changes its
// own node only, as each branch gets copies.
class CoverSearch {
  constructor(primes, rows, n, budget) {
    this.R = rows.length;
    this.P = primes.length;
    this.budget = budget;
    const index = new Map(rows.map((r, i) => [r, i]));
    this.cover = primes.map((p) => {
      const bits = new Uint32Array((this.R + 31) >>> 5);
      for (const r of rowsOf(p, n)) bits[index.get(r) >>> 5] |= 1 << (index.get(r) & 31);
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
      this.explore({ left: rest, allowed: allowed.slice(), chosen: [...chosen, p], cost: cost + this.costs[p] });
      if (this.steps > this.budget) return;
    }
  }
}

// Grows `row` into a prime implicant, freeing at each step the letter that
// brings in the most rows not yet covered.
function grow(row, n, on, covered) {
  let cube = { mask: (1 << n) - 1, value: row };
  for (;;) {
    let pick = 0;
    let gain = -1;
    for (let rest = cube.mask; rest; rest &= rest - 1) {
      const b = rest & -rest;
      // The half the freed letter brings in must be all true.
      const other = { mask: cube.mask, value: cube.value ^ b };
      let fresh = 0;
      let fits = true;
      for (const r of rowsOf(other, n)) {
        if (!on[r]) {
          fits = false;
          break;
        }
        if (!covered[r]) fresh++;
      }
      if (fits && fresh > gain) {
        gain = fresh;
        pick = b;
      }
    }
    if (!pick) return cube;
    cube = { mask: cube.mask & ~pick, value: cube.value & ~pick };
  }
}

function greedyCover(on, n) {
  const rows = 1 << n;
  const covered = new Uint8Array(rows);
  const cubes = [];
  for (let r = 0; r < rows; r++) {
    if (!on[r] || covered[r]) continue;
    const cube = grow(r, n, on, covered);
    cubes.push(cube);
    for (const k of rowsOf(cube, n)) covered[k]++;
  }
  // Drop each term, largest first, whose rows the others all cover too.
  cubes.sort((a, b) => popcount(b.mask) - popcount(a.mask));
  const kept = [];
  for (const cube of cubes) {
    const mine = rowsOf(cube, n);
    if (mine.every((k) => covered[k] > 1)) for (const k of mine) covered[k]--;
    else kept.push(cube);
  }
  return kept;
}

// Terms in the order a textbook writes them: by the first letter they name,
// its negation first, then by the next.
function byLetters(a, b) {
  for (let bit = 1 << 30; bit; bit >>>= 1) {
    const named = (b.mask & bit) - (a.mask & bit);
    if (named) return named;
    const value = (a.value & bit) - (b.value & bit);
    if (value) return value;
  }
  return 0;
}

// The minimal sum of products of `on` (0/1 per row) over n letters:
// { cubes, proved }. A constant 1 is one cube of no letters; a constant 0
// is no cube at all.
export function minimalSum(on, n, { budget = 5e4 } = {}) {
  const rows = [];
  for (let r = 0; r < 1 << n; r++) if (on[r]) rows.push(r);
  if (rows.length === 0) return { cubes: [], proved: true };
  if (rows.length === 1 << n) return { cubes: [{ mask: 0, value: 0 }], proved: true };
  if (n > kExactUpTo) return { cubes: greedyCover(on, n).sort(byLetters), proved: false };
  const { chosen, proved } = exactCover(primeImplicants(on, n), rows, n, budget);
  return { cubes: chosen.sort(byLetters), proved };
}

// The minimal product of sums: the minimal sum of the complement, each of
// whose terms becomes a clause with every letter negated.
export function minimalProduct(on, n, options) {
  const off = new Uint8Array(1 << n);
  for (let r = 0; r < off.length; r++) off[r] = on[r] ? 0 : 1;
  return minimalSum(off, n, options);
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
