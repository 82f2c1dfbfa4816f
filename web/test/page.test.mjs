// The page in a real browser, tried as a learner would: the program's
// bytes through run(), the dialogue, the table and its exports, links, the
// hints, Stop, big tables, loading, offline and a new build. Every run's
// bytes and status must be the reference program's. Timings are printed,
// not asserted, but for guards far above what is expected.
//   Usage: node page.test.mjs SITE_FOLDER
import { spawnSync } from 'node:child_process';
import { existsSync, readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  axe, downloads, expected, finished, heldPage, holdRuns, isolated, letters, longestTask, median, referenceRows,
  sha256, shots, site, submit as submitIn, usePage,
} from './helper.mjs';

const ctx = usePage();
const submit = (equation, on = ctx.page) => submitIn(on, equation);

test('the page loads, and loads again from its own cache', async () => {
  const { page } = ctx;
  console.log(`# first visit: ready in ${Math.round(ctx.ready)} ms`);
  await page.evaluate(() => navigator.serviceWorker.ready);
  const again = performance.now();
  await page.reload();
  await page.waitForSelector('body[data-ready]');
  console.log(`# repeat visit: ready in ${Math.round(performance.now() - again)} ms`);
});

// window.quorvane.run() in the page, answered by digests of what it wrote.
async function runInPage(input, on = ctx.page) {
  return on.evaluate(async (bytes) => {
    const hex = async (b) => [...new Uint8Array(await crypto.subtle.digest('SHA-256', b))]
      .map((x) => x.toString(16).padStart(2, '0')).join('');
    const started = performance.now();
    const r = await window.quorvane.run(new Uint8Array(bytes));
    return { stdout: await hex(r.stdout), stderr: await hex(r.stderr), status: r.status,
      ms: performance.now() - started };
  }, [...Buffer.from(input)]);
}

test('run() gives the reference bytes and status, quickly once loaded', async () => {
  const words = [
    'A*B\n', 'C+A*B\n', '!(A+B@C)\n', 'a+b*!c@D\n', '((A*B))\n', 'A*(B*(C+D))\n', '1\n', '!0*1\n',
    'AB\n', 'A+BC\n', 'A++B\n', 'A(!!\n', '((A*B)\n', 'A+B~\n',
    'A+\n', '!A!\n', '+A\n', '()\n', '#\n', 'A)+B\n',
    '', '\n', '   \n\n', 'A*B', 'A*B\r\n', '\r\n\r\nA+B\r\n', 'A\x1a*B\n', 'A\0B+C\n', 'A\0B+\n',
    'A\xe9\xff\n', 'A + B\n', `${letters(16).split('').join('@')}\n`,
    `${letters(26)}\n`, `${'('.repeat(2000)}A${')'.repeat(2000)}\n`, `${'A+'.repeat(1000)}\n`,
  ];
  for (const word of words) {
    const input = Buffer.from(word, 'latin1');
    const got = await runInPage(input);
    delete got.ms;
    assert.deepEqual(got, expected(input), `for ${JSON.stringify(word.slice(0, 40))}`);
  }
  const trips = [];
  for (let i = 0; i < 15; i++) trips.push((await runInPage('A*B\n')).ms);
  console.log(`# ${words.length} words, each the reference's bytes; A*B round trip median ` +
    `${median(trips).toFixed(1)} ms`);
});

test('a 20-variable table through run()', async () => {
  const input = `${letters(20).split('').join('*')}\n`;
  const got = await runInPage(input);
  const ms = got.ms;
  delete got.ms;
  assert.deepEqual(got, expected(input));
  console.log(`# 20 variables through run() in ${Math.round(ms)} ms`);
  // A guard against output a byte at a time, not a benchmark: that took 9 s.
  assert.ok(ms < 5000, `took ${ms} ms`);
});

test('typing an equation and Enter shows the dialogue as a terminal does', async () => {
  const banner = await ctx.page.$eval('#banner', (b) => b.textContent);
  assert.ok(banner.startsWith('Quorvane\n') && banner.endsWith('No Spaces\nEnter Equation:'));
  const shown = await submit('A*B');
  assert.equal(shown.terminal, 'Truth Table:\n(A*B)\n(A,B)\n(0,0)-0\n(0,1)-0\n(1,0)-0\n(1,1)-1');
  assert.equal(shown.status, 'Finished: 4 rows. Exit status 0.');
  assert.equal(shown.stderr, null, 'no messages, no heading for them');
});

test('a stop and a warning are said as such', async () => {
  const stop = await submit('A+');
  assert.equal(stop.stderr, 'index out of range: 2 string: A+');
  assert.equal(stop.status, 'Stopped: the equation cannot be evaluated: no table. Exit status 1.');
  const warned = await submit('AB');
  assert.equal(warned.terminal.split('\n').at(-1), 'WARNING: answer may contain errors');
  await ctx.page.click('#view-table');
  assert.equal(await ctx.page.$eval('#warning', (w) => w.hidden), false);
  await ctx.page.click('#view-terminal');
  // An equation of constants has a table of one row, not none.
  const constant = await submit('!0*1');
  assert.equal(constant.status, 'Finished: 1 row. Exit status 0.');
  assert.equal(constant.says, 'True in 1 of 1 rows. Always true: a tautology.');
  assert.equal((await submit('A*!A')).says, 'True in 0 of 2 rows. Never true: a contradiction.');
  const next = await submit('!A');
  assert.equal(next.terminal, 'Truth Table:\n(!A)\n(A)\n(0)-1\n(1)-0');
  assert.equal(next.stderr, null);
});

test('the table view and each export hold the program\'s rows', async () => {
  const equation = 'a+b*!c@D';
  const want = referenceRows(equation);
  await submit(equation);
  await ctx.page.click('#view-table');
  const table = await ctx.page.$eval('#table', (t) => ({
    head: [...t.tHead.rows[0].cells].map((c) => c.textContent),
    sticky: getComputedStyle(t.tHead.rows[0].cells[0]).position,
    rows: [...t.tBodies[0].rows].filter((r) => r.className !== 'spacer')
      .map((r) => ({ cells: [...r.cells].map((c) => c.textContent), marked: r.className === 'true' })),
  }));
  assert.deepEqual(table.head, [...want.letters, 'Result']);
  assert.equal(table.sticky, 'sticky');
  assert.deepEqual(table.rows.map((r) => r.cells.map((c) => c[0])), want.rows);
  for (const r of table.rows) assert.equal(r.marked, r.cells.at(-1).startsWith('1'));
  assert.equal(await ctx.page.$eval('#echo', (e) => e.textContent), want.echo);

  const files = await downloads(ctx.page);
  const cells = [[...want.letters, equation], ...want.rows];
  // RFC 4180: every line ends in CRLF.
  assert.equal(await files.fetched('#export-csv', 'quorvane-table.csv'),
    cells.map((c) => `${c.join(',')}\r\n`).join(''));
  const md = (await files.fetched('#export-md', 'quorvane-table.md')).split('\n');
  // A head with markup in it is a code span.
  assert.equal(md[0], `| ${want.letters.join(' | ')} | \` ${equation} \` |`);
  assert.match(md[1], /^\|( --- \|)+$/);
  assert.deepEqual(md.slice(2, -1), want.rows.map((c) => `| ${c.join(' | ')} |`));
  const tex = (await files.fetched('#export-tex', 'quorvane-table.tex')).split('\n');
  assert.equal(tex[0], '% Needs \\usepackage{longtable} in the preamble; \\input this file in the body.');
  assert.equal(tex[1], `\\begin{longtable}{${'c'.repeat(want.letters.length)}|c}`);
  // The result column is headed by the equation, as math.
  assert.equal(tex[2], `${want.letters.map((l) => `$${l}$`).join(' & ')} & $a\\lor b\\land \\lnot c\\oplus D$ \\\\`);
  assert.deepEqual(tex.filter((l) => /^[01] &/.test(l)), want.rows.map((c) => `${c.join(' & ')} \\\\`));
  assert.equal(tex.at(-2), '\\end{longtable}');
  await ctx.page.click('#view-terminal');
  const raw = await files.fetched('#raw', 'quorvane-output.txt', null);
  assert.equal(sha256(raw), expected(`${equation}\n`).stdout, 'the download, byte for byte');
  files.done();

  // The choice of view outlives the page.
  await ctx.page.click('#view-table');
  await ctx.page.reload();
  await ctx.page.waitForSelector('body[data-ready]');
  assert.equal(await ctx.page.$eval('#view-table', (b) => b.getAttribute('aria-pressed')), 'true');
  await ctx.page.click('#view-terminal');
});

test('a link runs its equation; runs are history; a "+" is a "+"', async () => {
  await ctx.page.goto(`${ctx.origin}/#eq=A+B`);
  await ctx.page.waitForSelector('body[data-ready]');
  // Only the address's fragment changes, and the page hears of it a moment
  // after the navigation, when its run begins.
  await ctx.page.waitForFunction(() => document.getElementById('equation').value === 'A+B');
  await finished(ctx.page);
  assert.equal(await ctx.page.$eval('#equation', (e) => e.value), 'A+B');
  assert.match(await ctx.page.$eval('#terminal', (t) => t.textContent), /^Truth Table:\n\(A\+B\)\n/);
  await submit('A*B');
  assert.equal(await ctx.page.evaluate(() => location.hash), '#eq=A*B');
  await ctx.page.goBack();
  await ctx.page.waitForFunction(() => document.getElementById('equation').value === 'A+B');
  await finished(ctx.page);
  assert.match(await ctx.page.$eval('#terminal', (t) => t.textContent), /^Truth Table:\n\(A\+B\)\n/);
  await submit('!(A@B)');
  assert.equal(await ctx.page.evaluate(() => location.hash), '#eq=!(A@B)');
});

test('hints for a blank and for a character outside ASCII change nothing', async () => {
  const hintFor = async (text) => {
    await ctx.page.$eval('#equation', (e) => { e.value = ''; });
    await ctx.page.type('#equation', text);
    return ctx.page.$eval('#hint', (h) => (h.hidden ? '' : h.textContent));
  };
  assert.match(await hintFor('A * B'), /first blank, so it will see only “A”/);
  assert.match(await hintFor('A+😀*B'), /Only the letters A–Z and a–z are variables; “😀”/);
  assert.equal(await hintFor('A*B'), '');
  await hintFor('A * B');
  await ctx.page.keyboard.press('Enter');
  await finished(ctx.page);
  assert.match(await ctx.page.$eval('#terminal', (t) => t.textContent), /^Truth Table:\nA\n\(A\)\n/);
});

test('Stop and Escape end a run at once; Enter starts the next', () => heldPage(ctx, async (page, server) => {
  const equation = 'A*B+!C';
  const press = async (text) => {
    await page.$eval('#equation', (e) => { e.value = ''; });
    await page.type('#equation', text);
    await page.keyboard.press('Enter');
  };
  for (const how of ['Stop', 'Escape']) {
    // The run waits in its worker until the test lets it go, after Stop.
    const gate = holdRuns(server, `${equation}\n`);
    await press(equation);
    await gate.arrived;
    assert.equal(await page.$eval('body', (b) => b.dataset.running), 'true', 'the run is under way');
    const started = performance.now();
    if (how === 'Stop') await page.click('#stop');
    else await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.body.dataset.running === 'false');
    const idle = performance.now() - started;
    // Its worker is ended, not left to finish: the request it waits on is given up.
    await gate.emptied();
    console.log(`# ${how}: idle in ${Math.round(idle)} ms, its worker ended in ` +
      `${Math.round(performance.now() - started)} ms`);
    const shown = await page.evaluate(() => ({
      status: document.getElementById('status').textContent,
      note: document.getElementById('terminal-note').textContent,
      lines: document.getElementById('terminal').textContent,
      stop: document.getElementById('stop').disabled,
    }));
    assert.deepEqual(shown, { status: 'Stopped.', lines: '', stop: true,
      note: 'Stopped before the program finished: there is nothing to show. Run it again to see it.' });
    gate.release();
  }
  // A run under way is ended by the next one.
  const gate = holdRuns(server, `${equation}\n`);
  await press(equation);
  await gate.arrived;
  const next = await submit('A', page);
  assert.equal(next.status, 'Finished: 2 rows. Exit status 0.');
  assert.ok(next.terminal.startsWith(`Truth Table:\n${referenceRows('A').echo}\n`), next.terminal);
  await gate.emptied();
  gate.release();
}));

test('a 1 MB paste and big tables never hold the page still', async () => {
  const paste = await longestTask(ctx.page, async () => {
    await ctx.page.$eval('#equation', (e) => {
      e.value = 'A+B*C@!D+'.repeat(111112);
      e.dispatchEvent(new Event('input'));
    });
    await ctx.page.keyboard.press('Enter');
    await finished(ctx.page);
  });
  console.log(`# a 1 MB paste, run and shown: longest main-thread task ${Math.round(paste)} ms`);
  assert.ok(paste < 1000);
  for (const n of [20, 22, 25]) {
    const started = performance.now();
    const longest = await longestTask(ctx.page, () => submit(letters(n).split('').join('*')));
    const status = await ctx.page.$eval('#status', (s) => s.textContent);
    assert.equal(status, `Finished: ${2 ** n} rows. Exit status 0.`);
    console.log(`# ${n} variables through the form: ${Math.round(performance.now() - started)} ms,` +
      ` longest main-thread task ${Math.round(longest)} ms`);
    // A guard against drawing or decoding the whole table, not a benchmark.
    assert.ok(longest < 1000, `a task of ${longest} ms`);
  }
  const switched = await longestTask(ctx.page, async () => {
    await ctx.page.click('#view-table');
    await ctx.page.evaluate(() => window.scrollTo(0, document.body.scrollHeight / 2));
    await new Promise((r) => setTimeout(r, 200));
    await ctx.page.click('#view-terminal');
  });
  console.log(`# switching views at 25 variables: longest task ${Math.round(switched)} ms`);
  assert.ok(switched < 1000);
  const after = await longestTask(ctx.page, () => submit('A'));
  console.log(`# the next run after 25 variables: longest task ${Math.round(after)} ms`);
});

test('a run asked for before the program has loaded waits for it', () => isolated(ctx, async (slow) => {
  const cdp = await slow.createCDPSession();
  await cdp.send('Network.enable');
  await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
  await cdp.send('Network.emulateNetworkConditions',
    { offline: false, latency: 300, downloadThroughput: 64 * 1024, uploadThroughput: 64 * 1024 });
  await slow.goto(`${ctx.origin}/`, { waitUntil: 'domcontentloaded' });
  await slow.waitForFunction(() => window.quorvane !== undefined, { timeout: 60000 });
  await slow.type('#equation', 'A*B');
  await slow.keyboard.press('Enter');
  await slow.waitForFunction(() => /^Finished/.test(document.getElementById('status').textContent),
    { timeout: 120000 });
  assert.match(await slow.$eval('#terminal', (t) => t.textContent), /\(1,1\)-1$/);
  await slow.waitForSelector('body[data-ready="true"]', { timeout: 60000 });
  assert.ok((await slow.$eval('#banner', (b) => b.textContent)).startsWith('Quorvane'));
}));

test('a program that cannot be fetched is said so, and a run says it again', () => isolated(ctx, async (broken) => {
  // Without a service worker, which would fetch the program past the
  // interception.
  await broken.evaluateOnNewDocument(() => { delete Navigator.prototype.serviceWorker; });
  await broken.setRequestInterception(true);
  broken.on('request', (request) => (request.url().endsWith('/quorvane.wasm')
    ? request.respond({ status: 404, body: '' }) : request.continue()));
  await broken.goto(`${ctx.origin}/`);
  await broken.waitForSelector('body[data-ready]');
  assert.equal(await broken.$eval('body', (b) => b.dataset.ready), 'failed');
  const said = await broken.$eval('#problem', (p) => (p.hidden ? '' : p.textContent));
  assert.match(said, /^The program could not be loaded: quorvane\.wasm answered 404/);
  assert.match(said, /cmake --workflow --preset web/);
  const shown = await submit('A*B', broken);
  assert.equal(shown.problem, said);
  assert.equal(await broken.$eval('#equation', (e) => e.disabled), false);
}));

test('a browser without WebAssembly SIMD is told so, not sent to rebuild', () => isolated(ctx, async (old) => {
  // As a browser that refuses every SIMD128 instruction would answer.
  await old.evaluateOnNewDocument(() => { WebAssembly.validate = () => false; });
  await old.goto(`${ctx.origin}/`);
  await old.waitForSelector('body[data-ready]');
  assert.equal(await old.$eval('body', (b) => b.dataset.ready), 'failed');
  const said = await old.$eval('#problem', (p) => (p.hidden ? '' : p.textContent));
  assert.match(said, /^This browser cannot run the program: it lacks WebAssembly SIMD, .*Safari since 16\.4\.$/);
  assert.doesNotMatch(said, /build it again/);
}));

test('a worker given a program it cannot instantiate answers with an error', async () => {
  const answer = await ctx.page.evaluate(async () => {
    // A module that imports a function no build of the program provides.
    const module = await WebAssembly.compile(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0,
      1, 4, 1, 96, 0, 0, 2, 7, 1, 1, 120, 1, 121, 0, 0]));
    const worker = new Worker('worker.js', { type: 'module' });
    const next = () => new Promise((resolve) => { worker.onmessage = ({ data }) => resolve(data); });
    worker.postMessage({ module });
    await next();
    worker.postMessage({ input: new TextEncoder().encode('A\n') });
    const data = await Promise.race([next(),
      new Promise((resolve) => setTimeout(() => resolve({ error: 'no answer in 10 s' }), 10000))]);
    worker.terminate();
    return data.error;
  });
  assert.match(answer, /^The program failed: .*import/i);
});

test('opened as a file, the page says how to serve it', async () => {
  const local = await ctx.browser.newPage();
  await local.goto(`file://${join(site, 'index.html')}`);
  const notice = await local.$eval('#served', (s) => (s.hidden ? '' : s.textContent));
  assert.match(notice, /python3 -m http\.server -d build\/web\/site/);
  assert.match(notice, /http:\/\/localhost:8000\//);
  await local.close();
});

test('after one visit the page loads and runs with its server gone', () => isolated(ctx, async (visit, own) => {
  await visit.goto(`${own.origin}/`);
  await visit.waitForSelector('body[data-ready="true"]');
  await visit.evaluate(() => navigator.serviceWorker.ready);
  await own.close();
  await visit.reload();
  await visit.waitForSelector('body[data-ready]');
  assert.equal(await visit.$eval('body', (b) => b.dataset.ready), 'true');
  const shown = await submit('A@B', visit);
  assert.equal(shown.status, 'Finished: 4 rows. Exit status 0.');
  console.log('# offline: reloaded and ran A@B with the server closed');
}, { ownServer: true }));

test('a new build waits until the page takes it over, then replaces the old', () => isolated(ctx, async (visit, own) => {
  await visit.goto(`${own.origin}/`);
  await visit.waitForSelector('body[data-ready="true"]');
  await visit.evaluate(() => navigator.serviceWorker.ready);
  const cacheNames = () => visit.evaluate(() => caches.keys());
  const [old] = await cacheNames();
  assert.match(old, /^quorvane-/);
  own.edits['/sw.js'] = (text) => text.replace(old, 'quorvane-next');
  await visit.reload();
  await visit.waitForSelector('#update:not([hidden])', { timeout: 30000 });
  assert.match(await visit.$eval('#update', (u) => u.textContent), /new version/);
  // Until then the page is the old build's, whole, and runs.
  assert.deepEqual((await cacheNames()).sort(), ['quorvane-next', old].sort());
  assert.equal((await submit('A+B', visit)).status, 'Finished: 4 rows. Exit status 0.');
  await Promise.all([visit.waitForNavigation(), visit.click('#update-now')]);
  await visit.waitForSelector('body[data-ready="true"]');
  assert.deepEqual(await cacheNames(), ['quorvane-next']);
  assert.equal(await visit.$eval('#update', (u) => u.hidden), true);
  assert.equal((await submit('A*B', visit)).status, 'Finished: 4 rows. Exit status 0.');
}, { ownServer: true }));

test('axe finds no violation: loaded, run, table, phone, dark', async () => {
  const checked = await ctx.browser.newPage();
  await checked.setBypassCSP(true);
  await checked.goto(`${ctx.origin}/`);
  await checked.waitForSelector('body[data-ready="true"]');
  const check = (when) => axe(checked, when);
  await check('on load');
  await submit('A*B+!C', checked);
  await check('after a run');
  await checked.click('#view-table');
  await check('in the table view');
  // A phone's viewport loads the page anew.
  await checked.setViewport({ width: 390, height: 844, isMobile: true, deviceScaleFactor: 1 });
  await checked.waitForSelector('body[data-ready="true"]');
  await submit('A*B+!C', checked);
  await checked.click('#view-table');
  for (const scheme of ['light', 'dark']) {
    await checked.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    await checked.evaluate(() => window.scrollTo(0, 0));
    await check(`on a phone, ${scheme}`);
    const wide = await checked.evaluate(() => document.documentElement.scrollWidth - innerWidth);
    assert.ok(wide <= 0, `the page is ${wide} px wider than the phone`);
    await checked.screenshot({ path: join(shots, `phone-table-${scheme}.png`) });
    await checked.click('#view-terminal');
    await checked.screenshot({ path: join(shots, `phone-terminal-${scheme}.png`) });
    await checked.click('#view-table');
  }
  await checked.click('#view-terminal');
  await checked.close();
});

// The exact solver is fetched only when a form first needs it.
test('the first load is small', () => {
  let gzipped = 0;
  for (const file of readdirSync(site).filter((f) => !/solver|highs/.test(f))) {
    const bytes = readFileSync(join(site, file));
    gzipped += spawnSync('gzip', ['-9n'], { input: bytes, maxBuffer: 1 << 26 }).stdout.length;
  }
  console.log(`# the first load: ${gzipped} bytes gzipped`);
  assert.ok(gzipped < 200 * 1000);
  const precached = readFileSync(join(site, 'sw.js'), 'utf8');
  assert.doesNotMatch(precached.slice(0, precached.indexOf(']')), /solver|highs/);
});
