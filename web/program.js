// Running the program. Its WebAssembly is fetched and compiled once, on the
// page, and handed to each worker; a worker runs the program as often as it
// is asked, each time in a fresh instance, so no run fetches or compiles
// anything. Stopping a run ends its worker, and the memory with it; a spare
// worker stands ready, so the next run need not wait.
//
// run(input) resolves to { stdout, stderr, status }, the program's exact
// bytes; one run goes at a time, and a new one ends the one under way, whose
// promise rejects with "stopped". A run asked for before the program has
// loaded waits for it.

const kWhatToDo = 'Reload the page; if this stays, the site is incomplete: build it again with ' +
  'cmake --workflow --preset web, and serve build/web/site.';

// A module that uses WebAssembly SIMD128, which the program does throughout.
// A browser without it would refuse the program with a word about an
// opcode, and the page would call the site incomplete; this says why.
const kSimdProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1,
  0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);
const kLacksSimd = 'This browser cannot run the program: it lacks WebAssembly SIMD, ' +
  'which Chrome and Edge have had since version 91, Firefox since 89 and Safari since 16.4.';

let compiled = null;

function compile() {
  if (!compiled && !WebAssembly.validate(kSimdProbe)) return Promise.reject(new Error(kLacksSimd));
  if (!compiled) {
    const url = new URL('quorvane.wasm', import.meta.url);
    compiled = WebAssembly.compileStreaming(fetch(url))
      // A server that names no type for .wasm still serves its bytes.
      .catch(() => fetch(url).then((r) => {
        if (!r.ok) throw new Error(`quorvane.wasm answered ${r.status} ${r.statusText}`);
        return r.arrayBuffer();
      }).then((bytes) => WebAssembly.compile(bytes)))
      .catch((error) => {
        compiled = null;
        throw new Error(`The program could not be loaded: ${error.message || error}. ${kWhatToDo}`);
      });
  }
  return compiled;
}

// A worker with the compiled program, once it says it has it.
function newWorker() {
  const worker = new Worker(new URL('worker.js', import.meta.url), { type: 'module' });
  const started = new Promise((resolve, reject) => {
    worker.onmessage = () => resolve(worker);
    worker.onerror = (event) => {
      event.preventDefault();
      reject(new Error(`The program could not be loaded: its worker did not start${event.message ? ` (${event.message})` : ''}. ${kWhatToDo}`));
    };
  });
  return compile().then((module) => {
    worker.postMessage({ module });
    return started;
  }).catch((error) => {
    worker.terminate();
    throw error;
  });
}

let spare = null; // a promise of a worker that runs nothing
function makeSpare() {
  spare = newWorker();
  spare.catch(() => {}); // its failure is told to the run that takes it
}
function takeWorker() {
  const worker = spare || newWorker();
  spare = null;
  return worker;
}

// A worker whose run has ended is the spare, unless there is one.
function idle(worker) {
  if (spare) worker.terminate();
  else spare = Promise.resolve(worker);
}

// One run in `worker`.
function runIn(worker, bytes) {
  return new Promise((resolve, reject) => {
    worker.onmessage = ({ data }) =>
      data.error ? reject(new Error(data.error)) : resolve(data);
    worker.onerror = (event) => {
      event.preventDefault();
      reject(new Error(`The program could not be loaded: ${event.message || 'its worker did not start'}. ${kWhatToDo}`));
    };
    worker.postMessage({ input: bytes });
  });
}

let current = null; // the run under way: { stop }

export function run(input) {
  const bytes = typeof input === 'string' ? new TextEncoder().encode(input) : input;
  if (!(bytes instanceof Uint8Array))
    return Promise.reject(new TypeError('run() takes a string or a Uint8Array'));
  stop();
  const job = {};
  current = job;
  return new Promise((resolve, reject) => {
    let worker = null;
    const settle = (how, value) => {
      if (current === job) current = null;
      how(value);
    };
    job.stop = () => {
      // The worker may be deep in a table of gigabytes: it is ended, not asked.
      if (worker) worker.terminate();
      worker = null;
      if (!spare) makeSpare();
      settle(reject, new Error('stopped'));
    };
    takeWorker().then((w) => {
      if (current !== job) {
        idle(w);
        return;
      }
      worker = w;
      // A stopped run's worker is ended, so only a run still under way hears.
      runIn(w, bytes.slice()).then((result) => {
        worker = null;
        idle(w);
        settle(resolve, result);
      }, (error) => {
        worker = null;
        w.terminate();
        settle(reject, error);
      });
    }, (error) => {
      if (current === job) settle(reject, error);
    });
  });
}

export function stop() {
  if (current) current.stop();
}

// The page's own runs, beside run(): a view's columns, a comparison, a
// form's check. They queue in lanes of their own, one worker each, so that
// they never end run()'s run nor each other; two lanes keep both of the
// usual two cores busy. stopAll() ends them all with run()'s.
const kLanes = Math.max(1, Math.min(2, navigator.hardwareConcurrency || 1));
let lanes = []; // each { worker, tail, pending, ended }

function laneWorker() {
  const worker = newWorker();
  worker.catch(() => {}); // told to the run that awaits it
  return worker;
}

function freeLane() {
  while (lanes.length < kLanes)
    lanes.push({ worker: laneWorker(), tail: Promise.resolve(), pending: new Set(), ended: false });
  return lanes.reduce((best, lane) => (lane.pending.size < best.pending.size ? lane : best));
}

export function runQueued(input) {
  const bytes = typeof input === 'string' ? new TextEncoder().encode(input) : input.slice();
  const mine = freeLane();
  return new Promise((resolve, reject) => {
    mine.pending.add(reject);
    mine.tail = mine.tail.then(async () => {
      if (mine.ended) return;
      try {
        const result = await runIn(await mine.worker, bytes);
        if (!mine.ended) resolve(result);
      } catch (error) {
        // A worker that failed once is not trusted with the next run.
        mine.worker.then((w) => w.terminate(), () => {});
        mine.worker = laneWorker();
        if (!mine.ended) reject(error);
      } finally {
        mine.pending.delete(reject);
      }
    });
  });
}

export function stopAll() {
  stop();
  for (const lane of lanes.splice(0)) {
    lane.ended = true;
    lane.worker.then((w) => w.terminate(), () => {});
    for (const reject of lane.pending) reject(new Error('stopped'));
  }
}

// What the program writes before it reads, from a run with no equation. It
// runs in a worker of its own, so that it and the user's runs never end
// each other.
export async function opening() {
  const worker = await newWorker();
  try {
    const { stdout } = await runIn(worker, new Uint8Array());
    return stdout;
  } finally {
    worker.terminate();
  }
}

export function preload() {
  if (!spare) makeSpare();
}
