// Times the minimal forms of a 16-letter function as the page's worker works
// them out, sum then product: random true rows, about half of the rows that
// matter, with 8,000 random don't-care rows, against the baseline of the
// same true rows with no don't-care (the 8,000 rows false). After a warm-up
// of each, the two alternate, so that both share the machine's load; it
// prints each measure's median, one a line, and their ratios.
//
//   node bench/minimize-bench.mjs [--runs R] [--seed S]
import { minimalProduct, minimalSum } from '../web/minimize.js';
import { seeded } from '../web/test/seeded.mjs';

const kLetters = 16;
const kDontCares = 8000;

function options(argv) {
  const given = { runs: 9, seed: 1 };
  for (let i = 2; i < argv.length; i += 2) {
    const name = argv[i].replace(/^--/, '');
    if (!(name in given) || !(Number(argv[i + 1]) > 0)) throw new Error(`usage: [--runs R] [--seed S], not ${argv[i]}`);
    given[name] = Number(argv[i + 1]);
  }
  return given;
}

function functionOf(seed) {
  const next = seeded(seed);
  const dc = new Uint8Array(1 << kLetters);
  for (let placed = 0; placed < kDontCares;) {
    const k = next.int(dc.length);
    if (dc[k]) continue;
    dc[k] = 1;
    placed++;
  }
  const on = dc.map((d) => (!d && next() < 0.5 ? 1 : 0));
  return { on, dc };
}

// One run as the worker makes it: ms for the sum, the product and both.
function run(on, dc) {
  const started = performance.now();
  const sum = minimalSum(on, kLetters, { dc });
  const between = performance.now();
  const product = minimalProduct(on, kLetters, { dc });
  const ended = performance.now();
  return { sum: between - started, product: ended - between, both: ended - started, terms: [sum, product].map((f) => f.cubes.length) };
}

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

const { runs, seed } = options(process.argv);
const { on, dc } = functionOf(seed);
const cases = { 'with 8000 don\'t-cares': dc, 'without (baseline)': undefined };
const times = Object.fromEntries(Object.keys(cases).map((name) => [name, []]));
for (const given of Object.values(cases)) run(on, given);
for (let i = 0; i < runs; i++) for (const [name, given] of Object.entries(cases)) times[name].push(run(on, given));

const trueRows = on.reduce((a, b) => a + b, 0);
console.log(`${kLetters} letters, ${trueRows} true rows, ${runs} runs each after a warm-up, seed ${seed}`);
const medians = {};
for (const [name, list] of Object.entries(times)) {
  console.log(`terms ${name}: sum ${list[0].terms[0]}, product ${list[0].terms[1]}`);
  for (const measure of ['sum', 'product', 'both']) {
    medians[`${measure} ${name}`] = median(list.map((t) => t[measure]));
    console.log(`${measure} ${name}: median ${medians[`${measure} ${name}`].toFixed(1)} ms`);
  }
}
const [withDc, baseline] = Object.keys(cases);
for (const measure of ['sum', 'product', 'both'])
  console.log(`${measure} ratio, with / without: ${(medians[`${measure} ${withDc}`] / medians[`${measure} ${baseline}`]).toFixed(2)}`);
