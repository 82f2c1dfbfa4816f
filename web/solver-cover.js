// The covering problem behind a minimal sum, up to 16 letters: every prime
// implicant found by bit sets, the table of which primes cover which true
// rows, and that table cut down to the cores no rule settles.
//
// A cube is { mask, value } as in minimize.js: mask's bits are the letters
// it names. Rows are numbered as the program's, letter j is bit n - 1 - j.
import { popcount } from './minimize.js';

// Per bit b below 5, the bits of a word whose bit b is clear.
const kLow = [0x55555555, 0x33333333, 0x0f0f0f0f, 0x00ff00ff, 0x0000ffff];

// The rows r such that r and r ^ (1 << b) are both in `set`, or null for none.
function bothHalves(set, b) {
  const out = new Uint32Array(set.length);
  let any = 0;
  if (b < 5) {
    const shift = 1 << b;
    const low = kLow[b];
    for (let w = 0; w < set.length; w++) {
      const x = set[w];
      const y = x & (((x >>> shift) & low) | ((x & low) << shift));
      out[w] = y;
      any |= y;
    }
  } else {
    const step = 1 << (b - 5);
    for (let w = 0; w < set.length; w++) {
      const y = set[w] & set[w ^ step];
      out[w] = y;
      any |= y;
    }
  }
  return any ? out : null;
}

function someRow(cube, full, on) {
  const free = full & ~cube.mask;
  for (let s = free; ; s = (s - 1) & free) {
    if (on[cube.value | s]) return true;
    if (s === 0) return false;
  }
}

// Every prime implicant of the rows `allowed` (one byte per row) that
// covers a true row of `on`. Level k holds, for each set F of k free
// letters, the bit set of rows r whose cube with F free lies in `allowed`:
// a cube is an implicant exactly when both its halves along any one of its
// free letters are, so each level is a word-wide AND of the one before.
// A cube is prime when no level above holds it with one more letter free.
export function primesOf(on, n, allowed = on) {
  const size = 1 << n;
  const words = Math.max(1, size >>> 5);
  const base = new Uint32Array(words);
  for (let r = 0; r < size; r++) if (allowed[r]) base[r >>> 5] |= 1 << (r & 31);
  const full = size - 1;
  const primes = [];
  let level = new Map([[0, base]]);
  while (level.size) {
    const next = new Map();
    for (const [free, rows] of level) {
      for (let b = 0; b < n; b++) {
        const wider = free | (1 << b);
        if (wider !== free && !next.has(wider)) next.set(wider, bothHalves(rows, b));
      }
    }
    for (const [free, rows] of level) {
      const prime = rows.slice();
      for (let b = 0; b < n; b++) {
        const above = next.get(free | (1 << b));
        if (above && !(free & (1 << b))) for (let w = 0; w < words; w++) prime[w] &= ~above[w];
      }
      for (let w = 0; w < words; w++) {
        for (let x = prime[w]; x; x &= x - 1) {
          const r = (w << 5) | (31 - Math.clz32(x & -x));
          if (r & free) continue; // each cube once, at its lowest row
          const cube = { mask: full & ~free, value: r };
          if (someRow(cube, full, on)) primes.push(cube);
        }
      }
    }
    for (const [free, rows] of next) if (!rows) next.delete(free);
    level = next;
  }
  return primes;
}

export const covers = (cube, r) => (r & cube.mask) === cube.value;

// The true rows, each prime's true rows (indexes into `rows`) and each
// row's primes (indexes into `primes`).
export function coverTable(primes, on, n) {
  const size = 1 << n;
  const index = new Int32Array(size).fill(-1);
  const rows = [];
  for (let r = 0; r < size; r++) if (on[r]) index[r] = rows.push(r) - 1;
  const full = size - 1;
  const primeRows = primes.map((c) => {
    const out = [];
    const free = full & ~c.mask;
    for (let s = free; ; s = (s - 1) & free) {
      const i = index[c.value | s];
      if (i >= 0) out.push(i);
      if (s === 0) break;
    }
    return out;
  });
  const rowPrimes = rows.map(() => []);
  primeRows.forEach((mine, p) => { for (const i of mine) rowPrimes[i].push(p); });
  return { rows, primes, primeRows, rowPrimes, cost: primes.map((c) => popcount(c.mask)) };
}

// The table cut down until nothing changes, by three rules that each keep
// some cheapest cover (fewest terms, then fewest letters): a row only one
// prime covers makes that prime essential; a prime goes when another of no
// more letters covers every row it still does; a row goes when some other
// row's primes all cover it too. What is left splits into cores that share
// no prime, each of which can be solved alone.
// Returns { essential: prime indexes, cores: [{ rows, primes }] }.
export function reduceCover(table) {
  const { rows, primes, primeRows, rowPrimes, cost } = table;
  const rowAlive = new Uint8Array(rows.length).fill(1);
  const primeAlive = new Uint8Array(primes.length).fill(1);
  const essential = [];
  const take = (p) => {
    essential.push(p);
    primeAlive[p] = 0;
    for (const i of primeRows[p]) rowAlive[i] = 0;
  };
  const liveRows = (p) => primeRows[p].filter((i) => rowAlive[i]);
  const liveOptions = (i) => rowPrimes[i].filter((p) => primeAlive[p]);
  for (let changed = true; changed;) {
    changed = false;
    for (let i = 0; i < rows.length; i++) {
      if (!rowAlive[i]) continue;
      const options = liveOptions(i);
      if (options.length === 1) {
        take(options[0]);
        changed = true;
      }
    }
    for (let p = 0; p < primes.length; p++) {
      if (primeAlive[p] && dominated(p, table, rowAlive, primeAlive, liveRows, liveOptions)) {
        primeAlive[p] = 0;
        changed = true;
      }
    }
    for (let j = 0; j < rows.length; j++) {
      if (!rowAlive[j]) continue;
      const options = liveOptions(j);
      // Only rows of j's narrowest prime can have all of j's primes.
      let narrow = options[0];
      for (const p of options) if (primeRows[p].length < primeRows[narrow].length) narrow = p;
      for (const i of primeRows[narrow]) {
        if (i === j || !rowAlive[i]) continue;
        if (!options.every((p) => covers(primes[p], rows[i]))) continue;
        // Of two rows with the same primes, the later goes.
        if (i < j && liveOptions(i).length === options.length) continue;
        rowAlive[i] = 0;
        changed = true;
      }
    }
  }
  return { essential, cores: coresOf(table, rowAlive, primeAlive) };
}

// Whether another live prime of no more letters covers every live row of p.
function dominated(p, table, rowAlive, primeAlive, liveRows, liveOptions) {
  const { rows, primes, rowPrimes, cost } = table;
  const mine = liveRows(p);
  if (mine.length === 0) return true;
  // A prime that covers all of p's rows covers p's row with the fewest primes.
  let pivot = mine[0];
  let fewest = Infinity;
  for (const i of mine) {
    const k = liveOptions(i).length;
    if (k < fewest) [fewest, pivot] = [k, i];
  }
  for (const q of rowPrimes[pivot]) {
    if (q === p || !primeAlive[q] || cost[q] > cost[p]) continue;
    if (!mine.every((i) => covers(primes[q], rows[i]))) continue;
    // Of two primes alike in rows and letters, the later goes.
    if (cost[q] === cost[p] && q > p && liveRows(q).length === mine.length) continue;
    return true;
  }
  return false;
}

function coresOf(table, rowAlive, primeAlive) {
  const { rows, primeRows } = table;
  const parent = Int32Array.from(rows, (_, i) => i);
  const find = (i) => {
    while (parent[i] !== i) i = parent[i] = parent[parent[i]];
    return i;
  };
  const live = primeRows.map((mine, p) => (primeAlive[p] ? mine.filter((i) => rowAlive[i]) : []));
  for (const mine of live) for (const i of mine) parent[find(i)] = find(mine[0]);
  const byRoot = new Map();
  rows.forEach((_, i) => {
    if (!rowAlive[i]) return;
    const root = find(i);
    if (!byRoot.has(root)) byRoot.set(root, { rows: [], primes: [] });
    byRoot.get(root).rows.push(i);
  });
  live.forEach((mine, p) => { if (mine.length) byRoot.get(find(mine[0])).primes.push(p); });
  return [...byRoot.values()];
}
