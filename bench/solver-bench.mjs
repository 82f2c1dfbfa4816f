// Runs the minimizers on the same seeded functions and prints how each
// fares: the page's search of old (minimize.js), the exact solver
// (solver.js, HiGHS) with the page's 5 s budget, in one weighted stage and
// in two (the page races both), and Espresso-II, the usual heuristic to
// beat. Every cover found is checked against the function; a wrong one is
// the only failure (exit 1). The machine is shared, so after a warm-up
// they run one at a time, in an order that turns with each function.
//
//   node bench/solver-bench.mjs [--count K] [--quick] [--cap S]
//
// --count: functions per case (5); --cap: seconds Espresso may run before it
// is stopped and counted as timed out (20); --quick: 1 function, 3 s cap.
import { isMainThread, parentPort, Worker } from 'node:worker_threads';
import { letterCount, minimalSum } from '../web/minimize.js';
import { solvedSum } from '../web/solver.js';
import { seeded } from '../web/test/seeded.mjs';

const kBudgetMs = 5000;
const kCases = [[8, 0.2], [8, 0.5], [8, 0.8], [10, 0.5], [12, 0.2], [14, 0.2], [16, 0.2]];
const kNames = ['search', 'solver', 'staged', 'espresso'];

function options(argv) {
  const given = {};
  for (let i = 2; i < argv.length; i++) {
    if (argv[i] === '--quick') given.quick = true;
    else if (['--count', '--cap'].includes(argv[i]) && Number(argv[i + 1]) > 0) given[argv[i].slice(2)] = Number(argv[++i]);
    else throw new Error(`usage: node bench/solver-bench.mjs [--count K] [--quick] [--cap S], not ${argv[i]}`);
  }
  return { count: given.count ?? (given.quick ? 1 : 5), cap: given.cap ?? (given.quick ? 3 : 20) };
}

// The seed names the function, so that a line of the output can be rerun alone.
const seedOf = (n, density, index) => n * 1e6 + Math.round(density * 100) * 1e3 + index;

function functionOf(n, density, seed) {
  const next = seeded(seed);
  return Uint8Array.from({ length: 1 << n }, () => (next() < density ? 1 : 0));
}

// Espresso's literal 2j+1 asks letter j true; letter j is row bit n-1-j.
function toLiterals(on, n) {
  const cubes = [];
  for (let r = 0; r < on.length; r++) {
    if (on[r]) cubes.push(Array.from({ length: n }, (_, j) => 2 * j + ((r >> (n - 1 - j)) & 1)));
  }
  return cubes;
}

function fromLiterals(cubes, n) {
  return cubes.map((literals) => {
    let mask = 0;
    let value = 0;
    for (const l of literals) {
      const bit = 1 << (n - 1 - (l >> 1));
      mask |= bit;
      if (l & 1) value |= bit;
    }
    return { mask, value };
  });
}

// Inside the worker: Espresso is synchronous and may run for minutes, so it
// lives where terminate() can stop it, and times itself so that posting the
// function back and forth is left out.
async function serveEspresso() {
  const { espresso } = await import('../web/node_modules/espresso-iisojs/index.mjs');
  parentPort.on('message', ({ on, n }) => {
    const input = toLiterals(on, n);
    const started = performance.now();
    const out = espresso(input);
    const ms = performance.now() - started;
    parentPort.postMessage({ cubes: fromLiterals(out, n), ms });
  });
  parentPort.postMessage('ready');
}

function espressoWorker() {
  const worker = new Worker(new URL(import.meta.url));
  const ready = new Promise((resolve, reject) => {
    worker.once('message', resolve);
    worker.once('error', reject);
  });
  return { worker, ready };
}

// Outside it: one worker kept between runs and started anew after a cap,
// its start-up awaited first so that it is not held against the cap.
function espressoRunner(capMs) {
  let current = null;
  const run = async (on, n) => {
    current ??= espressoWorker();
    await current.ready;
    const { worker } = current;
    return new Promise((resolve, reject) => {
      // The worker outlives the run, so the run's listeners must not; only
      // these two go, as Worker keeps listeners of its own.
      const settle = (then, value) => {
        clearTimeout(timer);
        worker.off('message', done).off('error', failed);
        then(value);
      };
      const done = (out) => settle(resolve, out);
      const failed = (e) => settle(reject, e);
      const timer = setTimeout(() => {
        settle(resolve, { cubes: null, ms: capMs, capped: true });
        worker.terminate();
        current = null;
      }, capMs);
      worker.on('message', done).on('error', failed);
      worker.postMessage({ on, n });
    });
  };
  return { run, stop: () => current?.worker.terminate() };
}

// Loaded once, as the page does; the first load is timed on its own.
function highsLoader() {
  let loading = null;
  return () => (loading ??= import(new URL('../web/node_modules/highs/build/highs.mjs', import.meta.url).href)
    .then((m) => m.default()));
}

function minimizers(loadHighs, espresso) {
  return {
    search: async (on, n) => timed(() => minimalSum(on, n)),
    solver: async (on, n) => timed(() => solvedSum(on, n, { deadline: performance.now() + kBudgetMs, loadHighs })),
    staged: async (on, n) => timed(() => solvedSum(on, n, {
      deadline: performance.now() + kBudgetMs, loadHighs, staged: true,
    })),
    espresso: async (on, n) => {
      const { cubes, ms, capped } = await espresso.run(on, n);
      return { cubes, proved: false, ms, capped: !!capped };
    },
  };
}

async function timed(work) {
  const begun = performance.now();
  const out = await work();
  return { ...out, ms: performance.now() - begun };
}

// Checked on its own terms, not with minimize.js's helpers: every row of
// every cube true, and every true row in some cube.
function coverFault(on, cubes) {
  const covered = new Uint8Array(on.length);
  for (const { mask, value } of cubes) {
    const free = (on.length - 1) & ~mask;
    if (value & ~mask) return `cube ${mask}/${value} sets a letter it does not name`;
    for (let s = free; ; s = (s - 1) & free) {
      if (!on[value | s]) return `cube ${mask}/${value} covers false row ${value | s}`;
      covered[value | s] = 1;
      if (s === 0) break;
    }
  }
  const bare = on.findIndex((x, r) => x && !covered[r]);
  return bare >= 0 ? `true row ${bare} left bare` : null;
}

// Which minimizer goes first turns with each function, so that none is
// always the one to run on a machine still busy with the one before.
const orderOf = (k) => kNames.map((_, i) => kNames[(i + k) % kNames.length]);

async function runOne(run, on, n, k, label) {
  const results = {};
  for (const name of orderOf(k)) {
    const out = await run[name](on, n);
    const fault = out.cubes && coverFault(on, out.cubes);
    if (fault) {
      console.log(`INVALID COVER from ${name} on ${label}: ${fault}`);
      process.exit(1);
    }
    results[name] = out.cubes
      ? { terms: out.cubes.length, letters: letterCount(out.cubes), proved: out.proved, bound: out.bound, ms: out.ms }
      : { capped: true, ms: out.ms };
  }
  return results;
}

function describe(name, r) {
  if (r.capped) return `${name} timeout`;
  const how = name === 'solver' || name === 'staged' ? (r.proved ? ' proved' : ` not proved, bound ${r.bound}`) : '';
  return `${name} ${r.terms}t ${r.letters}l ${r.ms.toFixed(0)} ms${how}`;
}

const median = (xs) => {
  if (!xs.length) return NaN;
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

async function warmUp(run) {
  const on = functionOf(8, 0.5, 1);
  for (const name of kNames) await run[name](on, 8);
}

// One case's row per minimizer, and the solver's unproved forms set
// against Espresso's on the same function.
function summary(label, runs, capMs) {
  const rows = kNames.map((name) => caseRow(label, name, runs, capMs));
  const unproved = runs.filter((r) => !r.solver.proved);
  const compared = unproved.filter((r) => !r.espresso.capped);
  const worse = compared.filter((r) => r.solver.terms > r.espresso.terms);
  rows[1]['unproved ≤ espresso'] = unproved.length
    ? `${compared.length - worse.length}/${compared.length}${compared.length < unproved.length ? ` (${unproved.length - compared.length} n/a)` : ''}`
    : '-';
  return { rows, worse: worse.length };
}

function caseRow(label, name, runs, capMs) {
  const mine = runs.map((r) => r[name]);
  const done = mine.filter((r) => !r.capped);
  const capped = mine.length - done.length;
  const ms = mine.map((r) => r.ms);
  const showMs = (x) => (capped && x >= capMs ? `>${capMs}` : x.toFixed(0));
  const excess = (key) => {
    const pairs = runs.filter((r) => r.solver.proved && !r[name].capped);
    if (name === 'solver' || !pairs.length) return '-';
    // Below zero would be a heuristic beating a proved form: a fault to see.
    const m = median(pairs.map((r) => r[name][key] - r.solver[key]));
    return m < 0 ? String(m) : `+${m}`;
  };
  return {
    case: label,
    minimizer: name,
    proved: `${done.filter((r) => r.proved).length}/${mine.length}`,
    timeouts: capped || '',
    terms: done.length ? median(done.map((r) => r.terms)) : '-',
    letters: done.length ? median(done.map((r) => r.letters)) : '-',
    'median ms': showMs(median(ms)),
    'max ms': showMs(Math.max(...ms)),
    '+terms': excess('terms'),
    '+letters': excess('letters'),
    'unproved ≤ espresso': '',
  };
}

function printTable(rows) {
  const keys = Object.keys(rows[0]);
  const widths = keys.map((k) => Math.max(k.length, ...rows.map((r) => String(r[k]).length)));
  const line = (cells) => cells.map((c, i) => (i < 2 ? String(c).padEnd(widths[i]) : String(c).padStart(widths[i]))).join('  ');
  console.log(line(keys));
  for (const r of rows) console.log(line(keys.map((k) => r[k])));
}

async function main() {
  const { count, cap } = options(process.argv);
  const capMs = cap * 1000;
  const loadHighs = highsLoader();
  const espresso = espressoRunner(capMs);
  const run = minimizers(loadHighs, espresso);
  const loadStart = performance.now();
  await loadHighs();
  console.log(`HiGHS first load: ${(performance.now() - loadStart).toFixed(0)} ms`);
  await warmUp(run);
  console.log(`${count} function(s) per case, solver budget ${kBudgetMs} ms, Espresso cap ${cap} s`);
  const table = [];
  let worse = 0;
  let k = 0;
  for (const [n, density] of kCases) {
    const label = `${n} @ ${density}`;
    const runs = [];
    for (let i = 0; i < count; i++, k++) {
      const seed = seedOf(n, density, i);
      const on = functionOf(n, density, seed);
      const name = `${n} letters, density ${density}, #${i} (seed ${seed})`;
      const r = await runOne(run, on, n, k, name);
      console.log(`${name}, ${on.reduce((a, b) => a + b, 0)} true rows: ${kNames.map((m) => describe(m, r[m])).join(' | ')}`);
      if (!r.solver.proved && !r.espresso.capped && r.solver.terms > r.espresso.terms)
        console.log(`not proved but more terms than Espresso: ${label} #${i} (solver ${r.solver.terms}, Espresso ${r.espresso.terms})`);
      runs.push(r);
    }
    const s = summary(label, runs, capMs);
    table.push(...s.rows);
    worse += s.worse;
  }
  espresso.stop();
  console.log();
  printTable(table);
  console.log('\n+terms, +letters: the median excess over the solver, on the functions whose form it proved');
  console.log(`unproved ≤ espresso: the solver's unproved forms with no more terms than Espresso's, of those Espresso finished`);
  console.log(`solver forms not proved but with more terms than Espresso: ${worse}`);
}

if (isMainThread) await main();
else await serveEspresso();
