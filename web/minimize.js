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

// The cheapest set of `primes` that covers every row in `rows`, by branch
// and bound over bit sets: rows are bits of the sets `left` and `cover[p]`,
// primes bits of `options[i]`, the primes that cover row i. `budget` caps
// the search's steps; past it the best cover found so far is returned, with
// proved false.
function exactCover(primes, rows, n, budget) {
  const R = rows.length;
  const P = primes.length;
  const W = (R + 31) >>> 5;
  const V = (P + 31) >>> 5;
  const index = new Map(rows.map((r, i) => [r, i]));
  const cover = primes.map((p) => {
    const bits = new Uint32Array(W);
    for (const r of rowsOf(p, n)) bits[index.get(r) >>> 5] |= 1 << (index.get(r) & 31);
    return bits;
  });
  const options = rows.map(() => new Uint32Array(V));
  cover.forEach((bits, p) => {
    for (let i = 0; i < R; i++) if ((bits[i >>> 5] >>> (i & 31)) & 1) options[i][p >>> 5] |= 1 << (p & 31);
  });
  const costs = primes.map((p) => kTerm + popcount(p.mask));
  const has = (bits, i) => (bits[i >>> 5] >>> (i & 31)) & 1;
  const count = (a, b) => {
    let c = 0;
    for (let w = 0; w < a.length; w++) c += popcount(a[w] & b[w]);
    return c;
  };
  // a & b is a subset of c
  const within = (a, b, c) => {
    for (let w = 0; w < a.length; w++) if (a[w] & b[w] & ~c[w]) return false;
    return true;
  };
  const members = (bits, size) => {
    const out = [];
    for (let i = 0; i < size; i++) if (has(bits, i)) out.push(i);
    return out;
  };

  let best = Infinity;
  let bestSet = null;
  let steps = 0;
  let proved = true;

  // A greedy cover first, so that the bound prunes from the start.
  {
    const left = new Uint32Array(W);
    for (let i = 0; i < R; i++) left[i >>> 5] |= 1 << (i & 31);
    const chosen = [];
    while (left.some((x) => x)) {
      let pick = -1;
      let ratio = Infinity;
      for (let p = 0; p < P; p++) {
        const gain = count(cover[p], left);
        if (gain && costs[p] / gain < ratio) {
          ratio = costs[p] / gain;
          pick = p;
        }
      }
      chosen.push(pick);
      for (let w = 0; w < W; w++) left[w] &= ~cover[pick][w];
    }
    best = chosen.reduce((s, p) => s + costs[p], 0);
    bestSet = chosen;
  }

  const search = (left, allowed, chosen, cost) => {
    if (++steps > budget) {
      proved = false;
      return;
    }
    const take = (p) => {
      chosen.push(p);
      cost += costs[p];
      allowed[p >>> 5] &= ~(1 << (p & 31));
      for (let w = 0; w < W; w++) left[w] &= ~cover[p][w];
    };
    // Reduce until nothing changes: take a row's only prime; drop a prime
    // whose rows a no dearer prime covers too; drop a row that every cover
    // of another row covers as well.
    for (let changed = true; changed;) {
      changed = false;
      for (const i of members(left, R)) {
        if (!has(left, i)) continue;
        const k = count(options[i], allowed);
        if (k === 0) return;
        if (k === 1) {
          for (let p = 0; p < P; p++) if (has(allowed, p) && has(options[i], p)) take(p);
          changed = true;
        }
      }
      if (cost >= best) return;
      const useful = members(allowed, P);
      const mine = useful.map((p) => cover[p].map((x, w) => x & left[w]));
      const sizes = mine.map((bits) => count(bits, bits));
      for (let a = 0; a < useful.length; a++) {
        const p = useful[a];
        let gone = sizes[a] === 0;
        for (let b = 0; b < useful.length && !gone; b++) {
          const q = useful[b];
          if (b === a || !has(allowed, q) || costs[q] > costs[p] || sizes[b] < sizes[a]) continue;
          if (within(mine[a], mine[a], mine[b]) &&
              (costs[q] < costs[p] || sizes[b] > sizes[a] || q < p)) gone = true;
        }
        if (gone) {
          allowed[p >>> 5] &= ~(1 << (p & 31));
          if (sizes[a] > 0) changed = true;
        }
      }
      const rowsLeft = members(left, R);
      const open = rowsLeft.map((i) => options[i].map((x, w) => x & allowed[w]));
      for (let a = 0; a < rowsLeft.length; a++) {
        for (let b = 0; b < rowsLeft.length; b++) {
          const j = rowsLeft[b];
          if (b === a || !has(left, j)) continue;
          // Covering j covers i whenever j's primes are among i's.
          if (within(open[b], open[b], open[a]) &&
              (!within(open[a], open[a], open[b]) || b < a)) {
            const i = rowsLeft[a];
            left[i >>> 5] &= ~(1 << (i & 31));
            changed = true;
            break;
          }
        }
      }
    }
    const rowsLeft = members(left, R);
    if (rowsLeft.length === 0) {
      if (cost < best) {
        best = cost;
        bestSet = [...chosen];
      }
      return;
    }
    // A bound: rows no one prime covers two of each need a prime of their own.
    const ranked = rowsLeft.map((i) => [i, count(options[i], allowed)]).sort((a, b) => a[1] - b[1]);
    const taken = new Uint32Array(V);
    let bound = cost;
    for (const [i] of ranked) {
      const o = options[i];
      let shared = false;
      for (let w = 0; w < V; w++) if (o[w] & allowed[w] & taken[w]) shared = true;
      if (shared) continue;
      let cheapest = Infinity;
      for (let p = 0; p < P; p++) if (has(allowed, p) && has(o, p)) cheapest = Math.min(cheapest, costs[p]);
      for (let w = 0; w < V; w++) taken[w] |= o[w] & allowed[w];
      bound += cheapest;
    }
    if (bound >= best) return;
    // Branch on the row with fewest primes, the prime covering most first;
    // each prime tried is barred from the branches after it.
    const row = ranked[0][0];
    const tries = [];
    for (let p = 0; p < P; p++) if (has(allowed, p) && has(options[row], p)) tries.push(p);
    tries.sort((a, b) => count(cover[b], left) - count(cover[a], left) || costs[a] - costs[b]);
    for (const p of tries) {
      allowed[p >>> 5] &= ~(1 << (p & 31));
      const rest = left.slice();
      for (let w = 0; w < W; w++) rest[w] &= ~cover[p][w];
      search(rest, allowed.slice(), [...chosen, p], cost + costs[p]);
      if (steps > budget) return;
    }
  };
  const left = new Uint32Array(W);
  for (let i = 0; i < R; i++) left[i >>> 5] |= 1 << (i & 31);
  const allowed = new Uint32Array(V);
  for (let p = 0; p < P; p++) allowed[p >>> 5] |= 1 << (p & 31);
  search(left, allowed, [], 0);
  return { chosen: bestSet.map((p) => primes[p]), proved };
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

// A form in the program's syntax as LaTeX math: "!" over its operand as a
// bar, "*" as juxtaposition, "@" as \oplus. It translates the forms this
// page writes; it does not evaluate them.
export function latexOf(form) {
  let at = 0;
  const peek = () => form[at];
  const sum = () => {
    let out = xor();
    while (peek() === '+') {
      at++;
      out += ` + ${xor()}`;
    }
    return out;
  };
  const xor = () => {
    let out = product();
    while (peek() === '@') {
      at++;
      out += ` \\oplus ${product()}`;
    }
    return out;
  };
  const product = () => {
    const parts = [unary()];
    while (peek() === '*') {
      at++;
      parts.push(unary());
    }
    return parts.join('');
  };
  const unary = () => {
    if (peek() === '!') {
      at++;
      const inner = unary();
      return `\\overline{${inner.replace(/^\\left\((.*)\\right\)$/, '$1')}}`;
    }
    if (peek() === '(') {
      at++;
      const inner = sum();
      at++; // ")"
      return `\\left(${inner}\\right)`;
    }
    return form[at++] ?? '';
  };
  return sum();
}
