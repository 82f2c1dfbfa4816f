// The minimizer against brute force: every function of up to 4 letters, each
// minimal form read back as text, evaluated term by term here, and its cost
// set against the cheapest sum found by a search over all cubes, which knows
// nothing of prime implicants. Then seeded functions of 5 to 8 letters
// against a slower exact search, and the heuristic past 8 for equivalence.
// With don't-cares, seeded functions of 2 to 6 letters against a search over
// sets of cubes, and 16 letters for equivalence where it matters.
//   Usage: node minimize.test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  canonicalProduct, canonicalSum, kExactUpTo, latexOf, minimalProduct, minimalSum, primeImplicants,
  productText, sumText,
} from '../minimize.js';
import { cheapestSums } from './brute.mjs';
import { letters as lettersFor, seeded } from './seeded.mjs';

const kLetters = 'ABCDEFGHIJKLMNOP';

// A sum or product as the page writes it, read back into terms of literals:
// [[{ letter, negated }]], and its value at row k. Only the two shapes the
// page writes are read: a sum of products, or a product of sums.
function parse(form, kind) {
  if (form === '0' || form === '1') return { constant: Number(form) };
  const outer = kind === 'sum' ? '+' : '*';
  const inner = kind === 'sum' ? '*' : '+';
  const terms = [];
  let depth = 0;
  let start = 0;
  for (let i = 0; i <= form.length; i++) {
    const c = form[i];
    if (c === '(') depth++;
    else if (c === ')') depth--;
    else if (i === form.length || (c === outer && depth === 0)) {
      let term = form.slice(start, i);
      if (term.startsWith('(')) {
        assert.ok(term.endsWith(')'), `${form}: ${term}`);
        term = term.slice(1, -1);
      }
      terms.push(term.split(inner).map((l) => {
        assert.match(l, /^!?[A-Za-z]$/, `a literal in ${form}`);
        return { letter: l.at(-1), negated: l.length === 2 };
      }));
      start = i + 1;
    }
  }
  return { terms };
}

// The form's value in every row: each term's rows are set (a sum) or each
// clause's false rows cleared (a product), by walking the letters it leaves
// free, so that forms of thousands of terms are checked quickly.
function values(parsed, kind, letters) {
  const n = letters.length;
  const out = new Uint8Array(1 << n);
  if ('constant' in parsed) return out.fill(parsed.constant);
  if (kind === 'product') out.fill(1);
  for (const t of parsed.terms) {
    let mask = 0;
    let value = 0;
    for (const { letter, negated } of t) {
      const bit = 1 << (n - 1 - letters.indexOf(letter));
      mask |= bit;
      // A sum's term is true where each literal is; a clause false where each is.
      if (negated === (kind === 'product')) value |= bit;
    }
    const free = (out.length - 1) & ~mask;
    for (let s = free; ; s = (s - 1) & free) {
      out[value | s] = kind === 'sum' ? 1 : 0;
      if (s === 0) break;
    }
  }
  return out;
}

const costOf = (parsed) => 'constant' in parsed ? [0, 0]
  : [parsed.terms.length, parsed.terms.reduce((s, t) => s + t.length, 0)];

// Checks `form` means `on`, but at the don't-care rows of `dc` if given,
// and returns its cost [terms, letters].
function check(form, kind, on, letters, dc) {
  const parsed = parse(form, kind);
  const got = values(parsed, kind, letters);
  for (let k = 0; k < on.length; k++)
    if (got[k] !== on[k] && !dc?.[k]) assert.fail(`${form.slice(0, 200)} is ${got[k]} at row ${k}`);
  for (const t of parsed.terms ?? []) {
    const names = t.map((l) => l.letter);
    assert.equal(new Set(names).size, names.length, `a letter twice in a term of ${form}`);
    assert.deepEqual(names, [...names].sort((a, b) => letters.indexOf(a) - letters.indexOf(b)));
  }
  return costOf(parsed);
}

// A constant is written "0" or "1", of no term at all, where the search
// counts the constant 1 as one cube of no letters.
const unpack = (packed) => (packed === 64 ? [0, 0] : [Math.floor(packed / 64), packed % 64]);

let exhaustive = 0;

for (let n = 0; n <= 4; n++) {
  test(`every function of ${n} letters: minimal sum and product, equivalent and cheapest`, () => {
    const started = performance.now();
    const letters = kLetters.slice(0, n);
    const rows = 1 << n;
    const cheapest = cheapestSums(n);
    const mask = 2 ** rows - 1;
    for (let f = 0; f < 2 ** rows; f++) {
      const on = new Uint8Array(rows);
      for (let k = 0; k < rows; k++) on[k] = (f >>> k) & 1;
      const sum = minimalSum(on, n);
      assert.ok(sum.proved);
      const sumCost = check(sumText(sum.cubes, letters), 'sum', on, letters);
      assert.deepEqual(sumCost, unpack(cheapest[f]), `sum of ${f.toString(2)}`);
      const product = minimalProduct(on, n);
      const productCost = check(productText(product.cubes, letters), 'product', on, letters);
      // A product's clauses are the complement's terms, letter for letter.
      assert.deepEqual(productCost, unpack(cheapest[(~f & mask) >>> 0]), `product of ${f}`);
      exhaustive++;
    }
    console.log(`# ${2 ** rows} functions of ${n} letters in ${Math.round(performance.now() - started)} ms`);
  });
}

test('the count of functions checked exhaustively', () => {
  // 2 + 4 + 16 + 256 + 65536
  assert.equal(exhaustive, 65814);
  console.log(`# exhaustive: ${exhaustive} functions, each sum and product checked`);
});

// A seeded generator, so that a failure can be run again.
function random(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// Seeded functions: a few terms of random cubes, or random rows, so that
// both sparse and dense, structured and unstructured, are met.
export function seededFunction(n, next) {
  const on = new Uint8Array(1 << n);
  if (next() < 0.5) {
    for (let k = 0; k < on.length; k++) on[k] = next() < 0.5 ? 1 : 0;
  } else {
    const terms = 1 + Math.floor(next() * 2 * n);
    for (let t = 0; t < terms; t++) {
      let mask = 0;
      let value = 0;
      for (let j = 0; j < n; j++) if (next() < 0.6) {
        mask |= 1 << j;
        if (next() < 0.5) value |= 1 << j;
      }
      for (let k = 0; k < on.length; k++) if ((k & mask) === value) on[k] = 1;
    }
  }
  return on;
}

// The cheapest cover of `on` among all sets of its prime implicants, by
// trying sets of 1, 2, ... primes in turn: slow, but with nothing of the
// minimizer's pruning. Every minimal sum is a set of primes.
function cheapestByCombinations(on, n) {
  const primes = primeImplicants(on, n);
  const rows = [];
  for (let k = 0; k < on.length; k++) if (on[k]) rows.push(k);
  if (rows.length === 0 || rows.length === on.length) return [0, 0];
  const cover = primes.map((p) => rows.filter((k) => (k & p.mask) === p.value));
  const letters = primes.map((p) => [...p.mask.toString(2)].filter((b) => b === '1').length);
  for (let size = 1; size <= primes.length; size++) {
    let best = Infinity;
    const pick = (from, chosen, covered, cost) => {
      if (chosen === size) {
        if (covered.size === rows.length) best = Math.min(best, cost);
        return;
      }
      for (let p = from; p <= primes.length - (size - chosen); p++) {
        const next = new Set(covered);
        for (const k of cover[p]) next.add(k);
        pick(p + 1, chosen + 1, next, cost + letters[p]);
      }
    };
    pick(0, 0, new Set(), 0);
    if (best < Infinity) return [size, best];
  }
  throw new Error('no cover');
}

test('seeded functions of 5 letters: the cheapest cover, found by trying all', () => {
  const next = random(5);
  const letters = kLetters.slice(0, 5);
  let tried = 0;
  for (let i = 0; i < 300; i++) {
    const on = seededFunction(5, next);
    if (primeImplicants(on, 5).length > 22) continue; // the combinations explode
    const sum = minimalSum(on, 5);
    assert.ok(sum.proved);
    assert.deepEqual(check(sumText(sum.cubes, letters), 'sum', on, letters),
      cheapestByCombinations(on, 5), `sum of ${[...on].join('')}`);
    tried++;
  }
  console.log(`# 5 letters: ${tried} seeded functions against every combination of primes`);
  assert.ok(tried > 100);
});

test('seeded functions of 5 to 8 letters: proved minimal, equivalent, in time', () => {
  const next = random(8);
  for (let n = 5; n <= kExactUpTo; n++) {
    const letters = kLetters.slice(0, n);
    let slowest = 0;
    for (let i = 0; i < 40; i++) {
      const on = seededFunction(n, next);
      const started = performance.now();
      const sum = minimalSum(on, n);
      const product = minimalProduct(on, n);
      slowest = Math.max(slowest, performance.now() - started);
      assert.ok(sum.proved && product.proved, `${n} letters: ${[...on].join('')}`);
      check(sumText(sum.cubes, letters), 'sum', on, letters);
      check(productText(product.cubes, letters), 'product', on, letters);
    }
    console.log(`# ${n} letters: 40 seeded functions, slowest sum and product ${Math.round(slowest)} ms`);
  }
});

test('past 8 letters a small form, not proved minimal, still equivalent', () => {
  const next = random(16);
  for (const n of [9, 12, 16]) {
    const letters = kLetters.slice(0, n);
    for (let i = 0; i < 3; i++) {
      const on = seededFunction(n, next);
      const started = performance.now();
      const sum = minimalSum(on, n);
      const product = minimalProduct(on, n);
      const ms = performance.now() - started;
      assert.equal(sum.proved, false);
      const [sumTerms] = check(sumText(sum.cubes, letters), 'sum', on, letters);
      const [productTerms] = check(productText(product.cubes, letters), 'product', on, letters);
      const ones = on.reduce((a, b) => a + b, 0);
      // Small: never more terms than rows it covers.
      assert.ok(sumTerms <= Math.max(1, ones) && productTerms <= Math.max(1, on.length - ones));
      console.log(`# ${n} letters: ${sumTerms} terms and ${productTerms} clauses in ${Math.round(ms)} ms`);
    }
  }
});

test('canonical forms list every row, in the program\'s order', () => {
  const next = random(3);
  for (let n = 0; n <= 6; n++) {
    const letters = kLetters.slice(0, n);
    for (let i = 0; i < 20; i++) {
      const on = seededFunction(n, next);
      const sum = canonicalSum(on, letters);
      const product = canonicalProduct(on, letters);
      const ones = on.reduce((a, b) => a + b, 0);
      const [sumTerms, sumLetters] = check(sum, 'sum', on, letters);
      const [productTerms, productLetters] = check(product, 'product', on, letters);
      if (n > 0) {
        assert.deepEqual([sumTerms, sumLetters], [ones, ones * n]);
        assert.deepEqual([productTerms, productLetters], [on.length - ones, (on.length - ones) * n]);
      }
    }
  }
  const on = Uint8Array.from([0, 1, 0, 1, 0, 1, 0, 0]);
  assert.equal(canonicalSum(on, 'ABC'), '!A*!B*C+!A*B*C+A*!B*C');
  assert.equal(canonicalProduct(on, 'ABC'), '(A+B+C)*(A+!B+C)*(!A+B+C)*(!A+!B+C)*(!A+!B+!C)');
  assert.equal(canonicalSum(Uint8Array.of(1), ''), '1');
  assert.equal(canonicalProduct(Uint8Array.of(1), ''), '1');
  assert.equal(canonicalSum(Uint8Array.of(0), ''), '0');
  assert.equal(canonicalProduct(Uint8Array.of(0), ''), '0');
});

test('LaTeX: bars of their own, juxtaposition, \\oplus and breaks', () => {
  // Each break point stretches only at the end of a line.
  const brk = '\\hfil\\allowbreak\\hfilneg ';
  assert.equal(latexOf('!A*B+C'), `\\overline{A}B + ${brk}C`);
  assert.equal(latexOf('!A*!B'), '\\overline{A}\\,\\overline{B}');
  assert.equal(latexOf('(A+!B)*(!C+D)'), `(A + \\overline{B})${brk}(\\overline{C} + D)`);
  assert.equal(latexOf('A@!B'), `A \\oplus ${brk}\\overline{B}`);
  assert.equal(latexOf('!(A+B)'), '\\overline{A + B}');
  assert.equal(latexOf('1'), '1');
});

// A function with don't-cares, each row true, false or don't-care at rates
// drawn for the function, so that sparse and dense, with few don't-cares
// and with many, are all met.
function withDontCares(n, next) {
  const on = new Uint8Array(1 << n);
  const dc = new Uint8Array(1 << n);
  const dcRate = next() * 0.6;
  const onRate = next() * (1 - dcRate);
  for (let k = 0; k < on.length; k++) {
    const x = next();
    if (x < dcRate) dc[k] = 1;
    else if (x < dcRate + onRate) on[k] = 1;
  }
  return { on, dc, off: on.map((v, k) => (v || dc[k] ? 0 : 1)) };
}

const ones = (x) => {
  let c = 0;
  for (; x; x &= x - 1n) c++;
  return c;
};

// The cheapest sum true at every row of `need` and false wherever `may` is
// 0, as costOf counts its text, by brute force over the 3^n cubes. Only the
// cubes inside `may` and maximal there are tried: a cover's cube can be
// swapped for a maximal one that contains it, which still covers its rows,
// stays inside `may` and names no more letters, and the swaps can only merge
// terms; so some cheapest cover is of maximal cubes. Sets of 1, 2, ... of
// them are tried in turn, each set reached by taking, for the first row
// still uncovered, each cube that covers it: whatever part of a cover is
// taken, one of its other cubes covers that row. What can follow depends on
// the rows covered alone, so a state that has covered the same rows with no
// fewer cubes and no fewer letters than one met before is passed by.
function cheapestCover(need, may, n) {
  const size = 1 << n;
  const inside = [];
  for (let mask = 0; mask < size; mask++) {
    for (let value = mask; ; value = (value - 1) & mask) {
      let fits = true;
      for (let k = 0; k < size && fits; k++) if ((k & mask) === value && !may[k]) fits = false;
      if (fits) inside.push({ mask, value });
      if (value === 0) break;
    }
  }
  const within = (c, d) => (c.mask & d.mask) === d.mask && (c.value & d.mask) === d.value;
  const maximal = inside.filter((c) => !inside.some((d) => d !== c && within(c, d)));
  if (maximal.some((c) => c.mask === 0) || !need.includes(1)) return [0, 0]; // "1" or "0"
  const wanted = [...need.keys()].filter((k) => need[k]);
  const all = (1n << BigInt(wanted.length)) - 1n;
  const cubes = maximal.map((c) => ({
    letters: ones(BigInt(c.mask)),
    rows: wanted.reduce((bits, k, i) => ((k & c.mask) === c.value ? bits | (1n << BigInt(i)) : bits), 0n),
  })).filter((c) => c.rows);
  // No t cubes cover more rows than t times the most one covers.
  const most = Math.max(...cubes.map((c) => ones(c.rows)));
  for (let terms = 1; ; terms++) {
    let best = Infinity;
    const seen = new Map(); // covered rows: the fewest letters met per count of cubes
    const passed = (covered, taken, letters) => {
      const least = seen.get(covered) ?? new Array(terms + 1).fill(Infinity);
      seen.set(covered, least);
      if (least.slice(0, taken + 1).some((l) => l <= letters)) return true;
      least[taken] = letters;
      return false;
    };
    const take = (covered, taken, letters) => {
      const left = all & ~covered;
      if (!left) best = Math.min(best, letters);
      else if ((terms - taken) * most >= ones(left) && letters < best && !passed(covered, taken, letters)) {
        for (const c of cubes) if (c.rows & left & -left) take(covered | c.rows, taken + 1, letters + c.letters);
      }
    };
    take(0n, 0, 0);
    if (best < Infinity) return [terms, best];
  }
}

test('seeded functions of 2 to 6 letters with don\'t-cares: proved and as cheap as brute force', () => {
  const next = seeded(26);
  for (const [n, cases] of [[2, 500], [3, 2000], [4, 2000], [5, 2000], [6, 1000]]) {
    const letters = lettersFor(n);
    for (let i = 0; i < cases; i++) {
      const { on, dc, off } = withDontCares(n, next);
      const what = `${[...on].join('')} with don't-cares ${[...dc].join('')}`;
      const sum = minimalSum(on, n, { dc });
      const product = minimalProduct(on, n, { dc });
      assert.ok(sum.proved && product.proved, what);
      assert.deepEqual(check(sumText(sum.cubes, letters), 'sum', on, letters, dc),
        cheapestCover(on, on.map((v, k) => v | dc[k]), n), `sum of ${what}`);
      // The product's clauses are the false rows' terms, letter for letter.
      assert.deepEqual(check(productText(product.cubes, letters), 'product', on, letters, dc),
        cheapestCover(off, off.map((v, k) => v | dc[k]), n), `product of ${what}`);
    }
  }
});

test('don\'t-cares of none change no form', () => {
  const next = seeded(9);
  for (const n of [5, 6, 7, 9, 12]) {
    for (let i = 0; i < 4; i++) {
      const on = seededFunction(n, next);
      const dc = new Uint8Array(on.length);
      assert.deepEqual(minimalSum(on, n, { dc }), minimalSum(on, n));
      assert.deepEqual(minimalProduct(on, n, { dc }), minimalProduct(on, n));
    }
  }
});

// Whether no letter of each cube can be dropped: the half that would take
// in has a row outside `may`.
function allPrime(cubes, may, n) {
  return cubes.every((c) => {
    const free = ((1 << n) - 1) & ~c.mask;
    for (let rest = c.mask; rest; rest &= rest - 1) {
      const other = c.value ^ (rest & -rest);
      let blocked = false;
      for (let s = free; !blocked; s = (s - 1) & free) {
        blocked = !may[other | s];
        if (s === 0) break;
      }
      if (!blocked) return false;
    }
    return true;
  });
}

// Whether each cube covers a row of `need` that no other covers.
function irredundant(cubes, need, n) {
  const times = new Uint16Array(need.length);
  const rows = (c, visit) => {
    const free = ((1 << n) - 1) & ~c.mask;
    for (let s = free; ; s = (s - 1) & free) {
      visit(c.value | s);
      if (s === 0) return;
    }
  };
  for (const c of cubes) rows(c, (k) => times[k]++);
  return cubes.every((c) => {
    let own = false;
    rows(c, (k) => { own ||= need[k] === 1 && times[k] === 1; });
    return own;
  });
}

test('16 letters with 8,000 don\'t-cares: right at every row that matters, each term grown through them', () => {
  const n = 16;
  const next = seeded(16);
  const dc = new Uint8Array(1 << n);
  for (let placed = 0; placed < 8000;) {
    const k = next.int(dc.length);
    if (dc[k]) continue;
    dc[k] = 1;
    placed++;
  }
  const on = dc.map((d) => (!d && next() < 0.5 ? 1 : 0));
  const off = on.map((v, k) => (v || dc[k] ? 0 : 1));
  const letters = lettersFor(n);
  const sum = minimalSum(on, n, { dc });
  const product = minimalProduct(on, n, { dc });
  assert.equal(sum.proved || product.proved, false);
  check(sumText(sum.cubes, letters), 'sum', on, letters, dc);
  check(productText(product.cubes, letters), 'product', on, letters, dc);
  assert.ok(allPrime(sum.cubes, on.map((v, k) => v | dc[k]), n));
  assert.ok(allPrime(product.cubes, off.map((v, k) => v | dc[k]), n));
  assert.ok(irredundant(sum.cubes, on, n) && irredundant(product.cubes, off, n));
  console.log(`# 16 letters, 8000 don't-cares: ${sum.cubes.length} terms, ${product.cubes.length} clauses`);
});
