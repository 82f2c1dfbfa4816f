// The exact solver against references written apart from it: every
// function of 4 letters against the brute-force cheapest sums, its primes
// against minimize.js's ternary sweep, seeded functions of 5 to 8 letters
// against minimize.js's branch and bound, the lower bound of a solve cut
// short against the cover it gives and the minimum found later, and
// don't-cares worked out by hand.
//   Usage: node solver.test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { minimalSum, primeImplicants } from '../minimize.js';
import { coverTable, primesOf, reduceCover } from '../solver-cover.js';
import { solvedSum } from '../solver.js';
import { cheapestSums } from './brute.mjs';
import { seeded } from './seeded.mjs';

// Without npm ci --prefix web there is no HiGHS to test: skipped, as the
// page tests are without puppeteer.
const found = await import('highs').then(() => true, () => false);
if (!found) {
  console.log('# skipped: no HiGHS in web/node_modules');
  process.exit(77);
}

let highs;
const loadHighs = () => (highs ??= import('highs').then((m) => m.default()));
// The page always gives a deadline; ten minutes is none a test reaches.
const unhurried = () => performance.now() + 6e5;

const lettersIn = (mask) => [...mask.toString(2)].filter((b) => b === '1').length;

// [terms, letters] of a sum of `cubes`, once it is seen true at every true
// row and false at every other row but the don't-cares.
function costOf(cubes, on, n, dc) {
  const got = new Uint8Array(1 << n);
  for (const { mask, value } of cubes) for (let r = 0; r < got.length; r++) if ((r & mask) === value) got[r] = 1;
  for (let r = 0; r < got.length; r++) if (!dc?.[r] && got[r] !== on[r]) assert.fail(`${got[r]} at row ${r}`);
  return [cubes.length, cubes.reduce((s, c) => s + lettersIn(c.mask), 0)];
}

const rowsOf = (f, n) => Uint8Array.from({ length: 1 << n }, (_, k) => (f >>> k) & 1);

// Each row true at `density`, or a don't-care at `dcRate` first.
function drawn(n, next, density, dcRate = 0) {
  const on = new Uint8Array(1 << n);
  const dc = new Uint8Array(1 << n);
  for (let r = 0; r < on.length; r++) {
    if (next() < dcRate) dc[r] = 1;
    else on[r] = next() < density ? 1 : 0;
  }
  return { on, dc };
}

const named = (cubes) => cubes.map((c) => `${c.mask}:${c.value}`).sort();

test('every function of 4 letters: the cheapest sum, proved, as brute force finds it', async () => {
  const cheapest = cheapestSums(4);
  for (let f = 0; f < 1 << 16; f++) {
    const on = rowsOf(f, 4);
    const { cubes, proved, bound } = await solvedSum(on, 4, { deadline: unhurried(), loadHighs });
    // The search counts the constant 1 as one cube of no letters, as the solver does.
    const want = [Math.floor(cheapest[f] / 64), cheapest[f] % 64];
    assert.deepEqual(costOf(cubes, on, 4), want, `function ${f}`);
    assert.ok(proved, `function ${f}`);
    assert.equal(bound, want[0], `function ${f}`);
  }
});

test('every function of 4 letters: the primes, with and without don\'t-cares, as minimize.js finds them', () => {
  const next = seeded(4);
  for (let f = 0; f < 1 << 16; f++) {
    const on = rowsOf(f, 4);
    assert.deepEqual(named(primesOf(on, 4)), named(primeImplicants(on, 4)), `function ${f}`);
    const allowed = on.map((v) => v || (next() < 0.4 ? 1 : 0));
    // A prime of don't-cares alone is left out.
    const want = primeImplicants(allowed, 4).filter((c) => on.some((v, r) => v && (r & c.mask) === c.value));
    assert.deepEqual(named(primesOf(on, 4, allowed)), named(want), `function ${f}, allowed ${allowed.join('')}`);
  }
});

test('seeded functions of 5 to 8 letters: as cheap as the branch and bound proves', async () => {
  const next = seeded(58);
  let compared = 0;
  let drawnCount = 0;
  const kinds = [[5, 120, [0.2, 0.5, 0.8]], [6, 90, [0.2, 0.5, 0.8]], [7, 60, [0.3, 0.5, 0.8, 0.9]],
    [8, 24, [0.2, 0.5, 0.85]]];
  for (const [n, count, densities] of kinds) {
    for (let i = 0; i < count; i++, drawnCount++) {
      const density = densities[i % densities.length] + next() * 0.05;
      const { on, dc } = drawn(n, next, density, i % 2 ? 0.2 * next() : 0);
      const what = `${n} letters: ${on.join('')} with don't-cares ${dc.join('')}`;
      const got = await solvedSum(on, n, { dc, deadline: unhurried(), loadHighs });
      const cost = costOf(got.cubes, on, n, dc);
      assert.ok(got.proved, what);
      assert.equal(got.bound, cost[0], what);
      const reference = minimalSum(on, n, { dc, budget: 3e4 });
      const referenceCost = costOf(reference.cubes, on, n, dc);
      if (!reference.proved) continue;
      assert.deepEqual(cost, referenceCost, what);
      compared++;
    }
  }
  console.log(`# ${compared} of ${drawnCount} compared, the rest unproved by the branch and bound`);
  assert.ok(compared > 0.9 * drawnCount);
});

test('cut short: a complete cover, a bound no more than its terms nor the minimum, and no proof', async () => {
  const next = seeded(1012);
  for (const n of [10, 10, 10, 11, 12, 12]) {
    const { on } = drawn(n, next, 0.5);
    // The deadline must stop a solve, not the rules alone settle it.
    assert.ok(reduceCover(coverTable(primesOf(on, n), on, n)).cores.length > 0);
    const stopped = await solvedSum(on, n, { deadline: performance.now() - 1, loadHighs });
    const hurried = await solvedSum(on, n, { deadline: performance.now() + 5, loadHighs });
    assert.equal(stopped.proved, false);
    for (const { cubes, bound } of [stopped, hurried]) {
      const [terms] = costOf(cubes, on, n);
      assert.ok(bound >= 1 && bound <= terms, `${bound} for ${terms} terms at ${n} letters`);
    }
    if (n > 10) continue; // a full solve past 10 letters takes seconds
    const full = await solvedSum(on, n, { deadline: unhurried(), loadHighs });
    assert.ok(full.proved);
    const [least] = costOf(full.cubes, on, n);
    assert.equal(full.bound, least);
    assert.ok(stopped.bound <= least && hurried.bound <= least, `${stopped.bound}, ${hurried.bound} > ${least}`);
  }
});

// Each worked out by hand: [letters, true rows, don't-cares, terms, letters].
const kHand = [
  [2, [1, 2], [], 2, 4], // A'B + AB'
  [2, [1, 2], [3], 2, 2], // A + B
  [3, [0, 1, 2, 5, 6, 7], [], 3, 6], // a cycle of six two-letter primes, no essential one
  [3, [0], [1, 2, 3, 4, 5, 6, 7], 1, 0], // 1
  [3, [], [3], 0, 0], // 0
  [4, [1, 3, 7, 11, 15], [], 2, 5], // CD + A'B'D
  [4, [1, 3, 7, 11, 15], [0, 2, 5], 2, 4], // CD + A'B' (or A'D)
  [4, [0, 6, 8, 13, 14], [2, 4, 10], 3, 8], // B'D' + CD' + ABC'D, 13 alone among false rows
];

test('hand-worked sums with don\'t-cares, with no deadline given', async () => {
  for (const [n, ones, dcs, terms, letters] of kHand) {
    const on = new Uint8Array(1 << n);
    const dc = new Uint8Array(1 << n);
    for (const r of ones) on[r] = 1;
    for (const r of dcs) dc[r] = 1;
    const got = await solvedSum(on, n, { dc, loadHighs });
    assert.deepEqual(costOf(got.cubes, on, n, dc), [terms, letters], `Σm(${ones}) + d(${dcs})`);
    assert.ok(got.proved);
    assert.equal(got.bound, terms);
  }
});
