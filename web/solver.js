// The minimal sum of products proved minimal up to 16 letters: the primes
// and their cover table cut down to cores (solver-cover.js), and each core
// solved as an integer program by HiGHS, a MIP solver compiled to
// WebAssembly, which the caller loads, so that a function the rules settle
// alone never fetches it. The cost is the fewest terms, then the fewest
// letters: in one weighted stage where a term can outweigh every letter a
// cover may name and the objective stays small enough for an absolute gap
// below 1 to be exact, else in two stages, the terms and then the letters
// with no more terms. A relative gap would hide a letter in either.
//
// Past the deadline the best cover found so far stands, with a lower bound
// on its terms; nothing is called proved that the solver did not prove.
import { allowedRows, byLetters } from './minimize.js';
import { coverTable, primesOf, reduceCover } from './solver-cover.js';

// A gap below 1 is enough: both objectives are whole numbers. The rest
// roughly halve HiGHS's time on the small, hard cores of dense functions,
// where its cuts and heuristics rarely pay, and its presolve finds little
// the reductions have not already done.
const kOptions = {
  output_flag: false,
  presolve: 'off',
  mip_rel_gap: 0,
  mip_abs_gap: 0.999,
  mip_pscost_minreliable: 0,
  mip_allow_cut_separation_at_nodes: false,
  mip_heuristic_effort: 0,
};

// The most letters a term names.
const kLetters = 16;

// The minimal sum of `on` (0/1 per row) over n letters, `dc` 1 at each
// don't-care row: { cubes, proved, bound }, bound the fewest terms any sum
// can have, which is the number of cubes when proved. `deadline` is a
// performance.now() time; `loadHighs()` resolves to HiGHS's module.
// `staged` asks for two stages even where one would do: each way is much
// faster than the other on some functions, so the page may race them.
export async function solvedSum(on, n, { dc, deadline = Infinity, loadHighs, staged = false }) {
  const size = 1 << n;
  let ones = 0;
  let zeros = 0;
  for (let r = 0; r < size; r++) {
    if (on[r]) ones++;
    else if (!dc?.[r]) zeros++;
  }
  if (ones === 0) return { cubes: [], proved: true, bound: 0 };
  if (zeros === 0) return { cubes: [{ mask: 0, value: 0 }], proved: true, bound: 1 };
  const table = coverTable(primesOf(on, n, dc ? allowedRows(on, dc) : on), on, n);
  const { essential, cores } = reduceCover(table);
  const chosen = [...essential];
  let proved = true;
  let bound = essential.length;
  const highs = cores.length ? await loadHighs() : null;
  // The small cores first, so that a deadline leaves the fewest unproved.
  for (const core of cores.sort((a, b) => a.rows.length - b.rows.length)) {
    const out = solveCore(highs, table, core, deadline, staged);
    chosen.push(...out.chosen);
    proved &&= out.proved;
    bound += out.bound;
  }
  return { cubes: chosen.map((p) => table.primes[p]).sort(byLetters), proved, bound };
}

// HiGHS's model of one core: a 0-1 column per prime, a row per true row
// that one of them must cover.
function modelOf(highs, table, core, costs, most) {
  const at = new Map(core.rows.map((i, k) => [i, k]));
  const starts = [0];
  const indices = [];
  for (const p of core.primes) {
    for (const i of table.primeRows[p]) if (at.has(i)) indices.push(at.get(i));
    if (most !== undefined) indices.push(core.rows.length);
    starts.push(indices.length);
  }
  const width = core.primes.length;
  const height = core.rows.length + (most === undefined ? 0 : 1);
  const lower = new Float64Array(height).fill(1);
  const upper = new Float64Array(height).fill(Infinity);
  if (most !== undefined) [lower[height - 1], upper[height - 1]] = [-Infinity, most];
  return highs.createModel({
    numCols: width,
    numRows: height,
    sense: highs.constants.objectiveSense.minimize,
    colCost: Float64Array.from(costs),
    colLower: new Float64Array(width),
    colUpper: new Float64Array(width).fill(1),
    rowLower: lower,
    rowUpper: upper,
    matrix: {
      format: 'csc', numRows: height, numCols: width,
      starts: Int32Array.from(starts), indices: Int32Array.from(indices),
      values: new Float64Array(indices.length).fill(1),
    },
    integrality: new Int32Array(width).fill(highs.constants.variableType.integer),
  });
}

// Runs a model until the deadline: { picked, optimal, bound }, picked the
// best solution's columns or null for none.
function run(highs, model, deadline, start) {
  const seconds = Math.max(0.01, (deadline - performance.now()) / 1000);
  model.options.set(Number.isFinite(seconds) ? { ...kOptions, time_limit: seconds } : kOptions);
  if (start) model.setSolution({ colValue: start });
  model.run();
  const optimal = model.getModelStatus() === highs.constants.modelStatus.optimal;
  const values = model.getSolution().colValue;
  const feasible = model.info.get('primal_solution_status') === 2;
  const picked = feasible && values?.length ? [...values].map((v) => (v > 0.5 ? 1 : 0)) : null;
  const dual = Number(model.info.get('mip_dual_bound'));
  return { picked, optimal: optimal && picked !== null, bound: Number.isFinite(dual) ? dual : 0 };
}

// The cheapest cover of one core: { chosen, proved, bound }. A term weighs
// more than the letters of any cover of no more terms than the greedy one;
// one weighted stage is the faster way on most cores, two on the rest.
function solveCore(highs, table, core, deadline, staged) {
  const rows = rowsIn(table, core);
  const greedy = trimmed(table, core, rows, greedyOf(table, core, rows));
  const most = termsOf(greedy);
  const weight = most * kLetters + 1;
  const letters = core.primes.map((p) => table.cost[p]);
  const one = !staged && weight * (most + 1) < 1e6;
  const costs = one ? letters.map((l) => weight + l) : core.primes.map(() => 1);
  const first = withModel(modelOf(highs, table, core, costs),
    (model) => run(highs, model, deadline, Float64Array.from(greedy)));
  const found = better(first.picked && trimmed(table, core, rows, first.picked), greedy, letters);
  const terms = termsOf(found);
  if (!first.optimal) {
    const solver = Math.ceil((one ? first.bound / (weight + kLetters) : first.bound) - 1e-6);
    const bound = Math.max(solver, apart(table, core));
    return { chosen: pickedPrimes(core, found), proved: false, bound: Math.min(bound, terms) };
  }
  if (one) return { chosen: pickedPrimes(core, found), proved: true, bound: terms };
  const second = withModel(modelOf(highs, table, core, letters, terms),
    (model) => run(highs, model, deadline, Float64Array.from(found)));
  const best = better(second.picked, found, letters);
  return { chosen: pickedPrimes(core, best), proved: second.optimal, bound: terms };
}

// A bound that needs no solver: rows no two of which share a prime each
// need a term of their own. Rows of few primes first, as they block few.
function apart(table, core) {
  const used = new Set();
  let count = 0;
  const rows = [...core.rows].sort((a, b) => table.rowPrimes[a].length - table.rowPrimes[b].length);
  for (const i of rows) {
    const primes = table.rowPrimes[i];
    if (primes.some((p) => used.has(p))) continue;
    for (const p of primes) used.add(p);
    count++;
  }
  return count;
}

// Of two covers (or null), the one of fewer terms, then fewer letters.
function better(a, b, letters) {
  if (!a) return b;
  if (termsOf(a) !== termsOf(b)) return termsOf(a) < termsOf(b) ? a : b;
  return cost(a, letters) <= cost(b, letters) ? a : b;
}

function withModel(model, use) {
  try {
    return use(model);
  } finally {
    model.dispose();
  }
}

const termsOf = (picked) => picked.reduce((s, x) => s + x, 0);
const cost = (picked, letters) => picked.reduce((s, x, k) => s + x * letters[k], 0);
const pickedPrimes = (core, picked) => core.primes.filter((_, k) => picked[k]);

// Each of the core's primes' rows within the core.
function rowsIn(table, core) {
  const inCore = new Set(core.rows);
  return core.primes.map((p) => table.primeRows[p].filter((i) => inCore.has(i)));
}

// A cover of the core chosen greedily: the prime that covers the most rows
// still bare, the one of fewer letters of two alike. A prime's count only
// falls, so a count found stale is brought up to date and put back.
function greedyOf(table, core, rowsOf) {
  const bare = new Set(core.rows);
  const key = (k, gain) => gain * 32 - table.cost[core.primes[k]];
  const heap = new MaxHeap();
  rowsOf.forEach((rows, k) => heap.push(key(k, rows.length), k));
  const picked = core.primes.map(() => 0);
  while (bare.size) {
    const [was, k] = heap.pop();
    const now = key(k, rowsOf[k].reduce((s, i) => s + (bare.has(i) ? 1 : 0), 0));
    if (now < was) {
      heap.push(now, k);
      continue;
    }
    picked[k] = 1;
    for (const i of rowsOf[k]) bare.delete(i);
  }
  return picked;
}

class MaxHeap {
  constructor() {
    this.items = []; // [key, value], each key no less than its children's
  }

  push(key, value) {
    const { items } = this;
    items.push([key, value]);
    for (let i = items.length - 1; i > 0;) {
      const up = (i - 1) >> 1;
      if (items[up][0] >= items[i][0]) break;
      [items[up], items[i]] = [items[i], items[up]];
      i = up;
    }
  }

  pop() {
    const { items } = this;
    const top = items[0];
    const last = items.pop();
    if (items.length) {
      items[0] = last;
      for (let i = 0; ;) {
        let big = i;
        for (const c of [2 * i + 1, 2 * i + 2]) if (c < items.length && items[c][0] > items[big][0]) big = c;
        if (big === i) break;
        [items[big], items[i]] = [items[i], items[big]];
        i = big;
      }
    }
    return top;
  }
}

// The cover without the terms whose rows the others cover too, the terms
// of most letters tried first.
function trimmed(table, core, rowsOf, picked) {
  const count = new Map(core.rows.map((i) => [i, 0]));
  picked.forEach((x, k) => { if (x) for (const i of rowsOf[k]) count.set(i, count.get(i) + 1); });
  const order = core.primes.map((_, k) => k).filter((k) => picked[k])
    .sort((a, b) => table.cost[core.primes[b]] - table.cost[core.primes[a]]);
  const out = [...picked];
  for (const k of order) {
    const mine = rowsOf[k];
    if (mine.every((i) => count.get(i) > 1)) {
      out[k] = 0;
      for (const i of mine) count.set(i, count.get(i) - 1);
    }
  }
  return out;
}

