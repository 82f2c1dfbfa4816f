// Times the WebAssembly builds against the native program on big tables, in
// one run, alternating, after a warm-up of each, and prints medians, their
// ratio to native and peak memory. The page is timed as a learner's console
// would see it, around `await quorvane.run(...)` in headless Chromium; the
// node build and the native program as whole processes writing to /dev/null.
//
//   node bench/webbench.mjs [--sizes 20,22,24,25] [--runs R]
//        [--site DIR] [--node JS] [--native BIN]
//        [--baseline-site DIR] [--baseline-node JS]
//
// The defaults are build/web/site, build/web/quorvane.js and
// build/release/quorvane. A baseline (a build of the previous commit, say)
// joins the same alternation, so that before and after share the machine's
// load. Needs `npm ci --prefix web` and Debian's chromium.
//
// "task ms" is the page's longest main-thread task during its runs, which
// must stay short however big the table.
//
// Peak memory: for a process, its maximum resident set as /usr/bin/time
// reports it; for the page, the largest growth of the resident memory of all
// of Chromium's processes over what they held before the run, sampled every
// 10 ms: the worker's instance, its copy of the output and the page's end.
import { spawn } from 'node:child_process';
import { mkdtempSync, openSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { serveFolder } from '../web/test/serve.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const options = {
  sizes: '20,22,24,25',
  runs: '',
  site: join(root, 'build/web/site'),
  node: join(root, 'build/web/quorvane.js'),
  native: join(root, 'build/release/quorvane'),
  'baseline-site': '',
  'baseline-node': '',
};
for (let i = 2; i < process.argv.length; i += 2) {
  const key = process.argv[i].replace(/^--/, '');
  if (!(key in options) || i + 1 >= process.argv.length) {
    console.error('usage: node bench/webbench.mjs [--sizes 20,22,24,25] [--runs R] [--site DIR]' +
      ' [--node JS] [--native BIN] [--baseline-site DIR] [--baseline-node JS]');
    process.exit(2);
  }
  options[key] = process.argv[i + 1];
}
const sizes = options.sizes.split(',').map(Number);
// Big tables take long enough that a few runs give a steady median.
const runsFor = (n) => Number(options.runs) || (n >= 24 ? 3 : 5);

const requireWeb = createRequire(join(root, 'web', 'package.json'));
const puppeteer = (await import(pathToFileURL(requireWeb.resolve('puppeteer-core')))).default;

// The first n letters joined by *, @ and + in turn, with a ! before every
// fourth: tablebench's equations, so that the two benchmarks' figures meet.
function equation(n) {
  const letters = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz';
  let eq = '';
  for (let i = 0; i < n; i++) {
    if (i > 0) eq += '*@+'[(i - 1) % 3];
    if (i % 4 === 3) eq += '!';
    eq += letters[i];
  }
  return eq;
}

const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

// A process's wall time, with its standard output on /dev/null, and its
// peak resident memory in MiB.
function timeProcess(argv, input) {
  return new Promise((done, fail) => {
    const dir = mkdtempSync(join(tmpdir(), 'webbench-'));
    const report = join(dir, 'time');
    const started = performance.now();
    const child = spawn('/usr/bin/time', ['-f', '%M', '-o', report, ...argv],
      { stdio: ['pipe', openSync('/dev/null', 'w'), 'ignore'] });
    // A process that reads nothing may end before its input is written.
    child.stdin.on('error', () => {});
    child.stdin.end(input);
    child.on('error', fail);
    child.on('exit', (status) => {
      const ms = performance.now() - started;
      const kib = Number(readFileSync(report, 'utf8').trim().split('\n').pop());
      rmSync(dir, { recursive: true, force: true });
      if (status !== 0) fail(new Error(`${argv.join(' ')} exited with ${status}`));
      else done({ ms, mib: kib / 1024 });
    });
  });
}

// Every process under `pid`, it included.
function tree(pid) {
  const children = new Map();
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
      const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push(Number(entry));
    } catch { /* it has ended */ }
  }
  const all = [pid];
  for (let i = 0; i < all.length; i++) all.push(...(children.get(all[i]) || []));
  return all;
}

function residentMiB(pids) {
  let pages = 0;
  for (const pid of pids) {
    try {
      pages += Number(readFileSync(`/proc/${pid}/statm`, 'utf8').split(' ')[1]);
    } catch { /* it has ended */ }
  }
  return (pages * 4096) / (1 << 20);
}

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: mkdtempSync(join(tmpdir(), 'webbench-chromium-')),
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--js-flags=--expose-gc'],
});
const servers = [];

async function openSite(site) {
  const server = await serveFolder(resolve(site));
  servers.push(server);
  const page = await browser.newPage();
  await page.goto(`${server.origin}/`);
  await page.waitForSelector('body[data-ready]');
  return page;
}

// One run of quorvane.run() in `page`: its time in the page and the growth
// of Chromium's memory while it ran.
async function timePage(page, input) {
  await page.bringToFront();
  await page.evaluate(() => { globalThis.gc?.(); });
  const pids = tree(browser.process().pid);
  const before = residentMiB(pids);
  let peak = before;
  const sampler = setInterval(() => { peak = Math.max(peak, residentMiB(pids)); }, 10);
  const { ms, bytes, task } = await page.evaluate(async (text) => {
    let longest = 0;
    const watch = new PerformanceObserver((list) => {
      for (const e of list.getEntries()) longest = Math.max(longest, e.duration);
    });
    watch.observe({ type: 'longtask' });
    const started = performance.now();
    const r = await window.quorvane.run(text);
    const ms = performance.now() - started;
    await new Promise((next) => setTimeout(next, 100));
    watch.disconnect();
    return { ms, bytes: r.stdout.length, task: longest };
  }, input);
  clearInterval(sampler);
  peak = Math.max(peak, residentMiB(pids));
  if (bytes === 0) throw new Error('the page wrote nothing');
  return { ms, mib: peak - before, task };
}

const contenders = [];
contenders.push({ name: 'page', page: await openSite(options.site) });
if (options['baseline-site'])
  contenders.push({ name: 'page-base', page: await openSite(options['baseline-site']) });
contenders.push({ name: 'node', argv: ['node', options.node] });
if (options['baseline-node'])
  contenders.push({ name: 'node-base', argv: ['node', options['baseline-node']] });
// What node takes to start and end with nothing to do: the floor under the
// node build's figures, which no change of the program can lower.
contenders.push({ name: 'node alone', argv: ['node', '-e', '0'] });
contenders.push({ name: 'native', argv: [options.native] });

const once = (c, input) => (c.page ? timePage(c.page, input) : timeProcess(c.argv, input));

console.log(`${new Date().toISOString()}: ${sizes.join(', ')} variables; medians of ` +
  'alternating runs after a warm-up; ratio = median / native median; peak in MiB');
console.log(`${'n'.padStart(3)} ${'build'.padEnd(10)} ${'median ms'.padStart(10)} ` +
  `${'ratio'.padStart(6)} ${'peak MiB'.padStart(9)} ${'task ms'.padStart(8)}`);
try {
  for (const n of sizes) {
    const input = `${equation(n)}\n`;
    for (const c of contenders) await once(c, input);
    const samples = new Map(contenders.map((c) => [c, []]));
    for (let r = 0; r < runsFor(n); r++)
      for (const c of contenders) samples.get(c).push(await once(c, input));
    const native = median(samples.get(contenders.at(-1)).map((s) => s.ms));
    for (const c of contenders) {
      const ms = median(samples.get(c).map((s) => s.ms));
      const mib = Math.max(...samples.get(c).map((s) => s.mib));
      const task = c.page ? Math.max(...samples.get(c).map((s) => s.task)).toFixed(0) : '';
      console.log(`${String(n).padStart(3)} ${c.name.padEnd(10)} ${ms.toFixed(0).padStart(10)} ` +
        `${(ms / native).toFixed(2).padStart(6)} ${mib.toFixed(0).padStart(9)} ${task.padStart(8)}`);
    }
  }
} finally {
  const dir = browser.process().spawnargs.find((a) => a.startsWith('--user-data-dir='));
  await browser.close();
  rmSync(dir.slice('--user-data-dir='.length), { recursive: true, force: true });
  for (const server of servers) server.close();
}
