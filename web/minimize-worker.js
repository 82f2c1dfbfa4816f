// The minimal forms, worked out away from the page: a sum of 8 letters can
// take a second, and 16 letters' heuristic longer. The page ends this
// worker to stop it, so it answers each form as soon as it has it. `dc`,
// if sent, marks the don't-care rows, which either form may cover or not.
import { minimalProduct, minimalSum } from './minimize.js';

onmessage = ({ data: { on, dc, n } }) => {
  for (const [kind, minimal] of [['sum', minimalSum], ['product', minimalProduct]]) {
    const started = performance.now();
    const { cubes, proved } = minimal(on, n, { dc });
    postMessage({ kind, cubes, proved, ms: performance.now() - started });
  }
};
