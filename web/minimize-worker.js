// One minimal form, worked out away from the page, which ends this worker
// to stop it. Up to kProvedUpTo letters the search in minimize.js proves
// its form in milliseconds; past that the exact solver, and HiGHS with it,
// are loaded the first time a form needs them, and given `budget` ms,
// solving in two stages if `staged`. `dc`, if sent, marks the don't-care
// rows, which either form may cover or not.
import { falseRows, kProvedUpTo, minimalProduct, minimalSum } from './minimize.js';

// From the page's compiled module where it sends one, else fetched here.
const loadHighs = (compiled) => () => import('./highs.mjs').then(({ default: load }) => load(compiled ? {
  instantiateWasm: (imports, done) => {
    WebAssembly.instantiate(compiled, imports)
      .catch(() => WebAssembly.instantiateStreaming(fetch(new URL('highs.wasm', import.meta.url)), imports)
        .then(({ instance }) => instance))
      .then(done);
    return {};
  },
} : { locateFile: (file) => new URL(file, import.meta.url).href }));

async function solved(kind, on, dc, n, deadline, staged, highs) {
  if (n <= kProvedUpTo) {
    const { cubes, proved } = (kind === 'sum' ? minimalSum : minimalProduct)(on, n, { dc });
    return { cubes, proved, bound: cubes.length };
  }
  const rows = kind === 'sum' ? on : falseRows(on, dc);
  try {
    const { solvedSum } = await import('./solver.js');
    return await solvedSum(rows, n, { dc, deadline, loadHighs: loadHighs(highs), staged });
  } catch {
    // A site built without the solver, or offline before it was ever
    // loaded: the search of old gives a small form, not proved minimal.
    const { cubes } = minimalSum(rows, n, { dc });
    return { cubes, proved: false, bound: null };
  }
}

onmessage = async ({ data: { kind, on, dc, n, budget, staged, highs } }) => {
  const started = performance.now();
  const { cubes, proved, bound } = await solved(kind, on, dc, n, started + budget, staged, highs);
  postMessage({ kind, cubes, proved, bound, ms: performance.now() - started });
};
