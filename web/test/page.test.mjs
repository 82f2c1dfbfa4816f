// The page in a real browser: headless Chromium driven by puppeteer-core.
// Every run's bytes and status must be the reference program's, which is
// QUORVANE_REFERENCE (a native build, as CI gives it) or else the node build
// in QUORVANE_NODE_BUILD.  Usage: node page.test.mjs SITE_FOLDER
// Exits 77 (skipped) without puppeteer-core or Chromium.
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';

const site = process.argv[2];
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
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

const reference = process.env.QUORVANE_REFERENCE
  ? [process.env.QUORVANE_REFERENCE]
  : ['node', process.env.QUORVANE_NODE_BUILD];

const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

function expected(input) {
  const run = spawnSync(reference[0], [...reference.slice(1)], {
    input: Buffer.from(input),
    maxBuffer: 1 << 30,
  });
  return { stdout: sha256(run.stdout), stderr: sha256(run.stderr), status: run.status };
}

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
};

let server, origin, browser, page;
const foreign = [];

before(async () => {
  server = createServer((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = join(site, path === '/' ? 'index.html' : path);
    if (!file.startsWith(site) || !existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
    response.end(readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: mkdtempSync(join(tmpdir(), 'quorvane-chromium-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage();
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(`${origin}/`) && !url.startsWith('blob:') && !url.startsWith('data:'))
      foreign.push(url);
  });
  const start = performance.now();
  await page.goto(`${origin}/`);
  await page.waitForSelector('body[data-ready]');
  console.log(`# page ready in ${Math.round(performance.now() - start)} ms`);
  assert.equal(await page.$eval('body', (b) => b.dataset.ready), 'true',
    await page.$eval('#problem', (p) => p.textContent));
});

after(async () => {
  if (browser) {
    rmSync(browser.process().spawnargs.find((a) => a.startsWith('--user-data-dir='))
      .slice('--user-data-dir='.length), { recursive: true, force: true });
    await browser.close();
  }
  server?.close();
});

// window.quorvane.run() in the page, answered by digests of what it wrote.
async function runInPage(input) {
  return page.evaluate(async (bytes) => {
    const hex = async (b) => [...new Uint8Array(await crypto.subtle.digest('SHA-256', b))]
      .map((x) => x.toString(16).padStart(2, '0')).join('');
    const started = performance.now();
    const r = await window.quorvane.run(new Uint8Array(bytes));
    return { stdout: await hex(r.stdout), stderr: await hex(r.stderr), status: r.status,
      ms: performance.now() - started };
  }, [...Buffer.from(input)]);
}

const letters = (n) => 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'.slice(0, n);

test('run() gives the reference bytes and status', async () => {
  const words = [
    'A*B\n', 'C+A*B\n', '!(A+B@C)\n', 'a+b*!c@D\n', '((A*B))\n', 'A*(B*(C+D))\n', '1\n', '!0*1\n',
    'AB\n', 'A+BC\n', 'A++B\n', 'A(!!\n', '((A*B)\n', 'A+B~\n',
    'A+\n', '!A!\n', '+A\n', '()\n', '#\n', 'A)+B\n',
    '', '\n', '   \n\n', 'A*B', 'A*B\r\n', '\r\n\r\nA+B\r\n', 'A\x1a*B\n', 'A\0B+C\n', 'A\0B+\n',
    'A\xe9\xff\n', 'A + B\n', `${letters(16).split('').join('@')}\n`,
    `${letters(26)}\n`, `${'('.repeat(2000)}A${')'.repeat(2000)}\n`, `${'A+'.repeat(1000)}\n`,
  ];
  for (const word of words) {
    const input = typeof word === 'string' ? Buffer.from(word, 'latin1') : word;
    const want = expected(input);
    const got = await runInPage(input);
    delete got.ms;
    assert.deepEqual(got, want, `for ${JSON.stringify(word.slice(0, 40))}`);
  }
  console.log(`# ${words.length} words, each the reference's bytes`);
});

test('a 20-variable table through run()', async () => {
  const input = `${letters(20).split('').join('*')}\n`;
  const got = await runInPage(input);
  const ms = got.ms;
  delete got.ms;
  assert.deepEqual(got, expected(input));
  console.log(`# 20 variables in ${Math.round(ms)} ms`);
  // A guard against output a byte at a time, not a benchmark: that took 9 s.
  assert.ok(ms < 5000, `took ${ms} ms`);
});

async function submit(equation) {
  await page.$eval('#equation', (e) => { e.value = ''; });
  await page.type('#equation', equation);
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => !document.getElementById('run').disabled);
  return page.evaluate(() => ({
    stdout: document.getElementById('stdout').textContent,
    stderr: document.getElementById('stderr').textContent,
    status: document.getElementById('status').textContent,
    problem: document.getElementById('problem').textContent,
  }));
}

test('typing an equation and Enter shows the rows as a terminal does', async () => {
  const banner = await page.$eval('#banner', (b) => b.textContent);
  assert.ok(banner.startsWith('Quorvane\n') && banner.endsWith('No Spaces\nEnter Equation:'));
  const shown = await submit('A*B');
  assert.equal(shown.stdout, 'Truth Table:\n(A*B)\n(A,B)\n(0,0)-0\n(0,1)-0\n(1,0)-0\n(1,1)-1');
  assert.equal(shown.status, 'Exit status 0');
});

test('two runs in one page, the first exiting 1', async () => {
  const stop = await submit('A+');
  assert.equal(stop.stderr, 'index out of range: 2 string: A+');
  assert.equal(stop.status, 'Exit status 1');
  const next = await submit('!A');
  assert.equal(next.stdout, 'Truth Table:\n(!A)\n(A)\n(0)-1\n(1)-0');
  assert.equal(next.stderr, '');
  assert.equal(next.status, 'Exit status 0');
});

test('Stop ends a run and the page goes on', async () => {
  await page.$eval('#equation', (e) => { e.value = ''; });
  await page.type('#equation', letters(24).split('').join('+'));
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => !document.getElementById('stop').disabled);
  await page.click('#stop');
  await page.waitForFunction(() => !document.getElementById('run').disabled);
  assert.equal(await page.$eval('#problem', (p) => p.textContent), 'Stopped.');
  assert.equal((await submit('A')).status, 'Exit status 0');
});

test('no request leaves the page\'s origin', () => {
  assert.deepEqual(foreign, []);
});
