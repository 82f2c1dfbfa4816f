// The workers that find a function's minimal sum and product. Each form
// starts in a worker of its own; once one form is in and the other is
// still being solved, a second worker solves that one the other way, in
// two stages: each way is many times faster than the other on some
// functions, and the first proof wins. Both share the form's budget.
import { inWorker } from './task.js';

// Runs tasks, at most `most` at a time, in the order they come.
export class Limit {
  constructor(most) {
    this.free = most;
    this.waiting = [];
  }

  async run(task) {
    if (this.free > 0) this.free--;
    else await new Promise((resolve) => this.waiting.push(resolve));
    try {
      return await task();
    } finally {
      const next = this.waiting.shift();
      if (next) next();
      else this.free++;
    }
  }
}

const kUrl = new URL('minimize-worker.js', import.meta.url);

// HiGHS's module, compiled once for the page and handed to every worker:
// the machine code that one worker's solves make fast stays fast for the
// next, where each worker's own compile would start cold. Null where the
// site has no HiGHS; the worker then does without.
let compiled = null;
const highsModule = () => (compiled ??= WebAssembly.compileStreaming(fetch(new URL('highs.wasm', import.meta.url)))
  .catch(() => null));
// A rival with less time left than this could not prove what the first
// worker has not.
const kRivalAtLeast = 500;

// The better of two answers: proved, else fewer terms, else a higher bound.
const better = (a, b) => {
  if (!a || !b) return a ?? b;
  if (a.proved !== b.proved) return a.proved ? a : b;
  if (a.cubes.length !== b.cubes.length) return a.cubes.length < b.cubes.length ? a : b;
  return (b.bound ?? 0) > (a.bound ?? 0) ? b : a;
};

// One form, by the first worker and perhaps a rival: `start(staged,
// budget)` asks a worker. Resolves with the first proved answer, or the
// better once both are in; the loser is ended.
class Form {
  constructor(start, budget, signal) {
    this.began = performance.now();
    this.budget = budget;
    this.start = start;
    this.signal = signal;
    this.rival = null; // null until it is started or ruled out
    this.done = new Promise((resolve, reject) => {
      this.resolve = resolve;
      this.reject = reject;
    });
    this.answers = [];
    this.first = this.ask(false, budget).then((a) => this.take(a), (e) => this.reject(e));
  }

  ask(staged, budget) {
    const own = new AbortController();
    const end = () => own.abort();
    this.signal.addEventListener('abort', end, { once: true });
    this.done.finally(end).catch(() => {});
    return this.start(staged, budget, own.signal);
  }

  take(answer) {
    this.answers.push(answer);
    this.rival ??= 'none';
    if (answer?.proved || this.answers.length === (this.rival === 'none' ? 1 : 2))
      this.resolve(this.answers.reduce(better, null));
  }

  // Starts the rival, if the first worker is still at it with time to spare.
  race() {
    const left = this.budget - (performance.now() - this.began);
    if (this.rival !== null || left < kRivalAtLeast) return;
    this.rival = 'running';
    // A rival that fails leaves the first worker's answer to stand.
    this.ask(true, left).then((a) => this.take(a), () => this.take(null));
  }
}

// The sum's and the product's answers, as promises; `signal` ends both.
// `limit` runs the workers a few at a time.
// `race` is for forms past the few letters the plain search proves at
// once, which are the ones that need HiGHS.
export function minimize(message, { budget, limit, signal, race }) {
  const start = (kind) => (staged, time, own) => limit.run(async () => {
    const highs = race ? await highsModule() : null;
    return inWorker(kUrl, { ...message, kind, staged, budget: time, highs }, own, 'the minimizer failed');
  });
  const forms = { sum: new Form(start('sum'), budget, signal), product: new Form(start('product'), budget, signal) };
  if (race) {
    forms.sum.done.then(() => forms.product.race(), () => {});
    forms.product.done.then(() => forms.sum.race(), () => {});
  }
  return { sum: forms.sum.done, product: forms.product.done };
}
