// What every page test shares: the site served on 127.0.0.1, headless
// Chromium driven by puppeteer-core, and the reference program whose bytes
// and tables each test holds the page to: QUORVANE_REFERENCE (a native
// build, as CI gives it) or else the node build in QUORVANE_NODE_BUILD.
// A test file imports this, calls usePage() once, and gets its page.
//   Usage: node FILE.test.mjs SITE_FOLDER
// Exits 77 (skipped) without puppeteer-core or Chromium.
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before } from 'node:test';
import assert from 'node:assert/strict';
import { serveFolder } from './serve.mjs';

export { letters, seeded } from './seeded.mjs';

export const site = process.argv[2];
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const here = dirname(fileURLToPath(import.meta.url));
let puppeteer;
try {
  puppeteer = (await import('puppeteer-core')).default;
} catch {
  console.log('skipped: puppeteer-core is missing; install it with: npm ci --prefix web');
  process.exit(77);
}
if (!existsSync(chromium)) {
  console.log(`skipped: no Chromium at ${chromium}; install it with: apt-get install chromium`);
  process.exit(77);
}
const axePath = join(here, '..', 'node_modules', 'axe-core', 'axe.min.js');
export const shots = join(site, '..', 'screenshots');

const reference = process.env.QUORVANE_REFERENCE
  ? [process.env.QUORVANE_REFERENCE]
  : ['node', process.env.QUORVANE_NODE_BUILD];

export const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

export function referenceRun(input) {
  return spawnSync(reference[0], [...reference.slice(1)], { input: Buffer.from(input), maxBuffer: 1 << 30 });
}

export function expected(input) {
  const run = referenceRun(input);
  return { stdout: sha256(run.stdout), stderr: sha256(run.stderr), status: run.status };
}

// The reference's answer to an equation: its echo, letters, rows (each its
// digits and result), warning and status.
export function referenceRows(equation) {
  const run = referenceRun(`${equation}\n`);
  const text = run.stdout.toString('latin1');
  const lines = text.split('\n');
  const at = lines.indexOf('Truth Table:');
  if (run.status !== 0) return { status: run.status, echo: lines[at + 1] ?? null, letters: null, rows: null };
  const letters = lines[at + 2].slice(1, -2).split(',').filter((x) => x);
  const rows = lines.slice(at + 3).filter((l) => l.startsWith('(')).map((l) => {
    const [values, result] = l.slice(1).split('\b)-');
    return [...values.split(',').filter((x) => x), result];
  });
  return { status: 0, echo: lines[at + 1], letters, rows,
    warning: text.endsWith('WARNING: answer may contain errors') };
}

// The value of a reference table at the row where each of `letters` has
// the digit `digits` gives it; letters the table lacks are passed over.
export function valueAt(table, letters, digits) {
  let k = 0;
  for (const letter of table.letters) k = 2 * k + Number(digits[letters.indexOf(letter)]);
  return table.rows[k].at(-1);
}

// The site served, with `edits` to its files from then on.
export const serve = (edits = {}) => serveFolder(site, edits);

// The page's workers, each made to ask the server (serve.mjs's /hold) before
// it starts a piece of work, so that a test can hold that work until it has
// pressed Stop. Each worker answers through its onmessage, which this wraps;
// `given` is what the work is given, or null for a message that starts no
// work (the program's module handed over). A worker that cannot reach the
// server, as offline, goes on. The POST is never the service worker's:
// it answers only GETs from its cache.
const holdOf = (kind, given) => (text) => {
  if (!/^\s*(self\.)?onmessage\s*=/m.test(text)) throw new Error(`no onmessage to hold in the ${kind} worker`);
  return `${text}
{
  const answer = self.onmessage;
  self.onmessage = async (event) => {
    const body = (${given})(event.data);
    if (body != null)
      await fetch(new URL('hold/${kind}', self.location.href), { method: 'POST', body, cache: 'no-store' })
        .catch(() => {});
    return answer(event);
  };
}
`;
};
export const heldWorkers = {
  '/worker.js': holdOf('run', '(data) => data.input ?? null'),
  '/steps-worker.js': holdOf('steps', '(data) => data.echo'),
  '/minimize-worker.js': holdOf('minimize', '(data) => data.on'),
};

// The site served with its workers holdable, each edit tried on its file
// first, so that a worker that no longer reads as expected fails the test.
export function serveHeld() {
  for (const [path, edit] of Object.entries(heldWorkers)) edit(readFileSync(join(site, path), 'utf8'));
  return serve({ ...heldWorkers });
}

// A gate on the program's runs of `input` (a string, as the page hands it
// over, in UTF-8, or bytes): the run of the page, a comparison's second
// equation, a step's group or a form's check alike.
export function holdRuns(server, input) {
  const bytes = Buffer.from(input).toString('latin1');
  return server.hold((kind, body) => kind === 'run' && body === bytes);
}

// The server, the browser and a page loaded and ready, made before the
// file's tests and closed after them; `viewport` sets the page's size;
// `holdable` serves the workers that wait for serveHeld's gates. Every
// request the page makes must stay on the site and be answered.
export function usePage({ viewport, holdable = false } = {}) {
  const ctx = { foreign: [], missing: [] };
  before(async () => {
    ctx.server = await (holdable ? serveHeld() : serve());
    ctx.origin = ctx.server.origin;
    ctx.browser = await puppeteer.launch({
      executablePath: chromium,
      headless: true,
      userDataDir: mkdtempSync(join(tmpdir(), 'quorvane-chromium-')),
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    ctx.page = await ctx.browser.newPage();
    if (viewport) await ctx.page.setViewport(viewport);
    ctx.page.on('request', (request) => {
      const url = request.url();
      if (!url.startsWith(`${ctx.origin}/`) && !url.startsWith('blob:') && !url.startsWith('data:'))
        ctx.foreign.push(url);
    });
    ctx.page.on('response', (response) => {
      if (response.status() === 404) ctx.missing.push(response.url());
    });
    ctx.page.on('pageerror', (error) => ctx.missing.push(`page error: ${error.message}`));
    const start = performance.now();
    await ctx.page.goto(`${ctx.origin}/`);
    await ctx.page.waitForSelector('body[data-ready]');
    ctx.ready = performance.now() - start;
    assert.equal(await ctx.page.$eval('body', (b) => b.dataset.ready), 'true',
      await ctx.page.$eval('#problem', (p) => p.textContent));
    mkdirSync(shots, { recursive: true });
  });
  after(async () => {
    if (ctx.browser) {
      const profile = ctx.browser.process().spawnargs.find((a) => a.startsWith('--user-data-dir='))
        .slice('--user-data-dir='.length);
      await ctx.browser.close();
      rmSync(profile, { recursive: true, force: true });
    }
    await ctx.server?.close();
    assert.deepEqual(ctx.foreign, [], 'requests off the site');
    assert.deepEqual(ctx.missing, [], 'requests unanswered, or errors on the page');
  });
  return ctx;
}

// A page in a browser context of its own, with a server of its own when
// asked, both closed however the test ends, so that a failure cannot hold
// the run open.
// `held` gives it a server of its own whose workers wait for its gates.
export async function isolated(ctx, body, { ownServer = false, held = false } = {}) {
  const own = held ? await serveHeld() : ownServer ? await serve() : null;
  const context = await ctx.browser.createBrowserContext();
  try {
    return await body(await context.newPage(), own);
  } finally {
    await context.close();
    await own?.close();
  }
}

// What reaches a page's console as an error: an exception nobody caught, or
// a message logged as an error.
export function consoleErrors(page) {
  const errors = [];
  page.on('pageerror', (error) => errors.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(`console: ${message.text()}`);
  });
  return errors;
}

// A page loaded and ready in a browser context of its own, on a server of
// its own whose workers wait for its gates (server.hold, holdRuns): a test
// that presses Stop holds the work it stops until it has pressed it. The
// page's console must stay free of errors.
export function heldPage(ctx, body, { viewport } = {}) {
  return isolated(ctx, async (page, server) => {
    const errors = consoleErrors(page);
    if (viewport) await page.setViewport(viewport);
    await page.goto(`${server.origin}/`);
    await page.waitForSelector('body[data-ready]');
    assert.equal(await page.$eval('body', (b) => b.dataset.ready), 'true');
    const result = await body(page, server);
    assert.deepEqual(errors, [], 'errors in the console');
    return result;
  }, { held: true });
}

export const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
export const pause = (ms) => new Promise((r) => setTimeout(r, ms));

// Everything of the newest run done: the run, its steps, comparison, forms.
export const finished = (page) => page.waitForFunction(
  () => document.body.dataset.running === 'false', { timeout: 300000 });

// Puts text in a field as a paste would, at once, telling the page.
async function fill(page, selector, text) {
  await page.$eval(selector, (e, value) => {
    e.value = value;
    e.dispatchEvent(new Event('input'));
  }, text);
}

// Puts the equation (and the one to compare it with) in the form and
// presses Enter.
export async function submit(page, equation, versus = '') {
  await fill(page, '#versus', versus);
  await fill(page, '#equation', equation);
  await page.focus('#equation');
  await page.keyboard.press('Enter');
  await finished(page);
  return page.evaluate(() => ({
    terminal: document.getElementById('terminal').textContent,
    stderr: document.getElementById('messages').hidden ? null
      : document.getElementById('stderr').textContent,
    status: document.getElementById('status').textContent,
    problem: document.getElementById('problem').textContent,
    says: document.getElementById('says').hidden ? null : document.getElementById('says').textContent,
  }));
}

// A table of the page as texts: its heads and the rows drawn.
export function tableIn(page, selector) {
  return page.$eval(selector, (t) => ({
    head: [...(t.tHead?.rows[0]?.cells ?? [])].map((c) => c.textContent),
    rows: [...(t.tBodies[0]?.rows ?? [])].filter((r) => r.className !== 'spacer')
      .map((r) => [...r.cells].map((c) => c.textContent)),
    classes: [...(t.tBodies[0]?.rows ?? [])].filter((r) => r.className !== 'spacer').map((r) => r.className),
  }));
}

// How long the longest main-thread task lasts while `during` runs.
export async function longestTask(page, during) {
  await page.evaluate(() => {
    window.longest = 0;
    window.watch?.disconnect();
    window.watch = new PerformanceObserver((list) => {
      for (const e of list.getEntries()) window.longest = Math.max(window.longest, e.duration);
    });
    window.watch.observe({ type: 'longtask' });
  });
  await during();
  await pause(300);
  return page.evaluate(() => window.longest);
}

// axe-core in the page: no violation, or the test fails naming them.
export async function axe(page, when) {
  if (!(await page.evaluate(() => 'axe' in window))) await page.addScriptTag({ path: axePath });
  const { violations, passes } = await page.evaluate(() => window.axe.run(document));
  console.log(`# axe ${when}: ${violations.length} violations, ${passes.length} rules passed`);
  assert.deepEqual(violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`), [], when);
}

// A page with the site's CSP lifted for axe, at a phone's size.
export async function phone(ctx) {
  const checked = await ctx.browser.newPage();
  await checked.setBypassCSP(true);
  await checked.setViewport({ width: 390, height: 844, isMobile: true, deviceScaleFactor: 1 });
  await checked.goto(`${ctx.origin}/`);
  await checked.waitForSelector('body[data-ready="true"]');
  return checked;
}

// The same at 1280×800, as on a desk.
export async function desktop(ctx) {
  const checked = await ctx.browser.newPage();
  await checked.setBypassCSP(true);
  await checked.setViewport({ width: 1280, height: 800 });
  await checked.goto(`${ctx.origin}/`);
  await checked.waitForSelector('body[data-ready="true"]');
  return checked;
}

// axe, and no sideways scroll, at 1280×800 light and on a phone dark, each
// page first brought to `prepare(page)`'s state.
export async function axeOnScreens(ctx, what, prepare) {
  const wide = await desktop(ctx);
  const small = await phone(ctx);
  await small.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
  try {
    for (const [name, page] of [['at 1280, light', wide], ['on a phone, dark', small]]) {
      // A page behind another gets no animation frames.
      await page.bringToFront();
      await prepare(page);
      await axe(page, `${what} ${name}`);
      const over = await page.evaluate(() => document.documentElement.scrollWidth - innerWidth);
      assert.ok(over <= 0, `the page is ${over} px wider than the screen ${name}`);
    }
  } finally {
    await small.close();
    await wide.close();
  }
}

// Downloads land in a folder of the test's; `fetched` clicks and reads.
export async function downloads(page) {
  const folder = mkdtempSync(join(tmpdir(), 'quorvane-downloads-'));
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
  return {
    folder,
    async fetched(button, name, encoding = 'utf8') {
      const file = join(folder, name);
      rmSync(file, { force: true });
      await page.click(button);
      for (let i = 0; i < 100 && !existsSync(file); i++) await pause(100);
      await pause(50);
      return readFileSync(file, encoding);
    },
    done: () => rmSync(folder, { recursive: true, force: true }),
  };
}


// A well-formed equation in the program's notation over `names`, as a tree
// { op, args } or a letter, and its text with only the parentheses needed.
export function randomTree(rng, names, depth) {
  if (depth === 0 || rng() < 0.25) return rng() < 0.05 ? rng.pick(['0', '1']) : rng.pick(names);
  const r = rng();
  if (r < 0.2) return { op: '!', args: [randomTree(rng, names, depth - 1)] };
  return { op: rng.pick(['*', '@', '+']), args: [randomTree(rng, names, depth - 1), randomTree(rng, names, depth - 1)] };
}

const kBinding = { '+': 1, '@': 2, '*': 3, '!': 4 };
export function textOf(tree, parent = 0, right = false) {
  if (typeof tree === 'string') return tree;
  const mine = kBinding[tree.op];
  const text = tree.op === '!' ? `!${textOf(tree.args[0], mine)}`
    : `${textOf(tree.args[0], mine)}${tree.op}${textOf(tree.args[1], mine, true)}`;
  return mine < parent || (mine === parent && right) ? `(${text})` : text;
}

// RFC 4180's fields, read back: quoted fields may hold commas, quotes
// (doubled) and line ends; every record ends in CRLF.
export function readCsv(text) {
  assert.ok(text.endsWith('\r\n'), 'the last record ends in CRLF');
  const records = [];
  let record = [];
  let field = '';
  for (let i = 0; i < text.length; i++) {
    if (text[i] === '"' && field === '') {
      for (i++; i < text.length; i++) {
        if (text[i] === '"' && text[i + 1] === '"') field += text[i++];
        else if (text[i] === '"') break;
        else field += text[i];
      }
    } else if (text[i] === ',') {
      record.push(field);
      field = '';
    } else if (text[i] === '\r' && text[i + 1] === '\n') {
      record.push(field);
      records.push(record);
      record = [];
      field = '';
      i++;
    } else {
      assert.notEqual(text[i], '\n', 'a bare LF ends no record');
      field += text[i];
    }
  }
  return records;
}
