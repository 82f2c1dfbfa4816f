// Minimal forms proved minimal in the page, up to 16 letters: seeded result
// columns typed into the Equation field at 1280×800, each minimal form
// checked by the program on every row and said proved, the main thread
// never held; the solver fetched only when a form first needs it, and kept
// for offline use; and a stop in the middle of a solve, then a new run,
// leave nothing of the stopped one said proved.
//   Usage: node exact.test.mjs SITE_FOLDER
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { finished, heldPage, longestTask, seeded, submit, usePage } from './helper.mjs';

const ctx = usePage({ viewport: { width: 1280, height: 800 } });
const solverFiles = [];
const kSum = 'Minimal sum of products';
const kProduct = 'Minimal product of sums';

const settled = (page) => page.waitForFunction(() => {
  const section = document.getElementById('forms');
  return section.dataset.settled === 'true' && !section.hidden;
}, { timeout: 300000 });

function minimalOf(page) {
  return page.$$eval('#forms dd[data-proved]', (dds) => Object.fromEntries(dds.map((dd) => [
    dd.previousElementSibling.textContent,
    { proved: dd.dataset.proved, check: dd.dataset.check, ms: Number(dd.dataset.ms), text: dd.textContent },
  ])));
}

function column(n, density, seed) {
  const next = seeded(seed * 7919 + n * 31 + Math.round(density * 100));
  return Array.from({ length: 2 ** n }, () => (next() < density ? '1' : '0')).join('');
}

async function formsOf(text, page = ctx.page) {
  const shown = await submit(page, text);
  assert.equal(shown.problem, '', text.slice(0, 40));
  await settled(page);
  return minimalOf(page);
}

// Each form checked by the program on every row, and either proved or, as
// it says, bounded below.
function assertHonest(forms, what) {
  for (const name of [kSum, kProduct]) {
    const form = forms[name];
    assert.equal(form.check, 'checked', `${what}: ${name}: ${form.text}`);
    assert.match(form.text, form.proved === 'true' ? /proved minimal: fewest terms/
      : /not proved minimal: (at least [\d,]+ (terms?|clauses?)|the fewest)/, `${what}: ${name}`);
  }
}

test('a function of few letters never fetches the solver', async () => {
  ctx.page.on('request', (request) => {
    if (/solver|highs/.test(request.url())) solverFiles.push(request.url());
  });
  // The service worker in charge first, so that it sees the solver fetched.
  await ctx.page.evaluate(() => navigator.serviceWorker.ready);
  await ctx.page.waitForFunction(() => navigator.serviceWorker.controller !== null);
  const forms = await formsOf('Z = 0110100110010110');
  assertHonest(forms, '4 letters');
  assert.equal(forms[kSum].proved, 'true');
  assert.deepEqual(solverFiles, []);
});

// Seeds whose proofs take HiGHS well under the budget, so that a loaded
// machine cannot fail them; the benchmark times the hard ones.
test('8-letter functions of every density are proved minimal', async () => {
  for (const density of [0.2, 0.5, 0.8, 0.9]) {
    for (const seed of [2, 5]) {
      const forms = await formsOf(`Z = ${column(8, density, seed)}`);
      const what = `8 letters, density ${density}, seed ${seed}`;
      assertHonest(forms, what);
      assert.equal(forms[kSum].proved, 'true', what);
      assert.equal(forms[kProduct].proved, 'true', what);
      console.log(`# ${what}: proved in ${forms[kSum].ms} and ${forms[kProduct].ms} ms from Run`);
    }
  }
  assert.ok(solverFiles.some((url) => url.endsWith('/highs.wasm')), 'the solver was fetched');
});

test('the solver, once fetched, is kept for offline use', async () => {
  const kept = await ctx.page.evaluate(async () => {
    const names = await caches.keys();
    const found = [];
    for (const name of names) {
      for (const request of await (await caches.open(name)).keys()) found.push(new URL(request.url).pathname);
    }
    return found;
  });
  for (const file of ['/solver.js', '/highs.mjs', '/highs.wasm']) assert.ok(kept.includes(file), file);
});

test('nine in ten 10-letter functions of density 0.5 are proved', async () => {
  let proved = 0;
  const times = [];
  for (let seed = 1; seed <= 10; seed++) {
    const forms = await formsOf(`Z = ${column(10, 0.5, seed)}`);
    assertHonest(forms, `10 letters, seed ${seed}`);
    proved += [kSum, kProduct].filter((name) => forms[name].proved === 'true').length;
    times.push(forms[kSum].ms, forms[kProduct].ms);
  }
  console.log(`# 10 letters: ${proved} of 20 forms proved, in ${times.join(', ')} ms from Run`);
  assert.ok(proved >= 18, `${proved} of 20`);
});

test('12 to 16 letters at density 0.2: the minimal sum proved, the page never held', async () => {
  for (const n of [12, 14, 16]) {
    let forms;
    const longest = await longestTask(ctx.page, async () => {
      forms = await formsOf(`Z = ${column(n, 0.2, 1)}`);
    });
    assertHonest(forms, `${n} letters`);
    assert.equal(forms[kSum].proved, 'true', `${n} letters`);
    console.log(`# ${n} letters: the sum proved in ${forms[kSum].ms} ms from Run; ` +
      `longest main-thread task ${Math.round(longest)} ms`);
    assert.ok(longest < 1000, `the page was held ${longest} ms`);
  }
});

// A dense 16-letter function cannot be proved within the budget, so its
// solve is still under way when Stop comes, however loaded the machine.
test('Stop in the middle of a solve, then a new run: nothing stopped is said proved', () =>
  heldPage(ctx, async (page, server) => {
    const gate = server.hold((kind) => kind === 'minimize');
    await page.$eval('#equation', (e, text) => {
      e.value = text;
      e.dispatchEvent(new Event('input'));
    }, `Z = ${column(16, 0.5, 3)}`);
    await page.focus('#equation');
    await page.keyboard.press('Enter');
    await gate.arrived;
    gate.release();
    await page.waitForFunction(() => document.querySelector('#forms .pending'), { timeout: 60000 });
    await page.click('#stop');
    await finished(page);
    const stopped = await page.$eval('#forms', (s) => s.textContent);
    assert.doesNotMatch(stopped, /proved minimal/);
    assert.match(stopped, /The work was stopped/);
    const forms = await formsOf(`Z = ${column(7, 0.6, 4)}`, page);
    assertHonest(forms, 'after the stop');
    assert.equal(forms[kSum].proved, 'true');
    assert.doesNotMatch(await page.$eval('#forms', (s) => s.textContent), /stopped/);
  }, { viewport: { width: 1280, height: 800 } }));
