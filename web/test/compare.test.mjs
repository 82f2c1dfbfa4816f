// Compare: the verdict, K and the joint table of two equations, each result
// column the program's own. Seeded identities (De Morgan, distribution,
// absorption, XOR written out, double negation) must be equivalent; their
// near misses and pairs over other letters must differ in exactly the rows
// this test counts from the reference program's two tables.
//   Usage: node compare.test.mjs SITE_FOLDER
import { join } from 'node:path';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  axe, finished, heldPage, holdRuns, letters, longestTask, phone, randomTree, referenceRows, seeded, shots, submit,
  tableIn, textOf, usePage, valueAt,
} from './helper.mjs';

const ctx = usePage({ viewport: { width: 1280, height: 9000 } });

const not = (x) => ({ op: '!', args: [x] });
const and = (x, y) => ({ op: '*', args: [x, y] });
const or = (x, y) => ({ op: '+', args: [x, y] });
const xor = (x, y) => ({ op: '@', args: [x, y] });
const kIdentities = {
  'De Morgan (AND)': (x, y) => [not(and(x, y)), or(not(x), not(y))],
  'De Morgan (OR)': (x, y) => [not(or(x, y)), and(not(x), not(y))],
  distribution: (x, y, z) => [and(x, or(y, z)), or(and(x, y), and(x, z))],
  absorption: (x, y) => [or(x, and(x, y)), x],
  'XOR written out': (x, y) => [xor(x, y), or(and(x, not(y)), and(not(x), y))],
  'double negation': (x) => [not(not(x)), x],
};

// A near miss: one operator of the tree changed, or one NOT dropped.
function nearMiss(rng, tree) {
  if (typeof tree === 'string') return tree === 'A' ? 'B' : 'A';
  if (tree.op === '!' && rng() < 0.5) return tree.args[0];
  if (tree.op !== '!' && rng() < 0.4) return { ...tree, op: rng.pick(['*', '@', '+'].filter((o) => o !== tree.op)) };
  const args = [...tree.args];
  const i = rng.int(args.length);
  args[i] = nearMiss(rng, args[i]);
  return { ...tree, args };
}

// K and N as this test counts them from the reference's two tables.
function differing(first, second) {
  const a = referenceRows(first);
  const b = referenceRows(second);
  const all = [...new Set([...a.letters, ...b.letters])].sort();
  let k = 0;
  for (let row = 0; row < 2 ** all.length; row++) {
    const digits = row.toString(2).padStart(all.length, '0').slice(-all.length || 1);
    if (valueAt(a, all, digits) !== valueAt(b, all, digits)) k++;
  }
  return { k, n: 2 ** all.length, letters: all, a, b };
}

const verdict = (k, n) => (k === 0 ? `Equivalent: the same value in all ${n} rows.`
  : `Not equivalent: they differ in ${k} of ${n} rows.`);

async function compare(first, second) {
  await submit(ctx.page, first, second);
  return ctx.page.evaluate(() => ({
    verdict: document.getElementById('verdict').hidden ? null : document.getElementById('verdict').textContent,
    note: document.getElementById('compare-note').textContent,
    view: document.getElementById('view-compare').getAttribute('aria-pressed'),
  }));
}

test('seeded identities, their near misses and pairs over other letters', async () => {
  const rng = seeded(1210);
  const counts = { equivalent: 0, 'near misses': 0, 'other letters': 0 };
  const pairs = [];
  for (let i = 0; i < 40; i++) {
    for (const [name, identity] of Object.entries(kIdentities)) {
      if (rng() < 0.6) continue;
      const names = letters(2 + rng.int(4)).split('');
      const [x, y, z] = [0, 1, 2].map(() => randomTree(rng, names, 2));
      const [left, right] = identity(x, y, z);
      pairs.push([name, textOf(left), textOf(right), 'equivalent']);
      pairs.push([`${name}, missed`, textOf(left), textOf(nearMiss(rng, right)), 'near misses']);
    }
    const a = randomTree(rng, ['A', 'B', 'C'], 2);
    const b = randomTree(rng, ['C', 'D', 'E', 'a'], 2);
    pairs.push(['other letters', textOf(a), textOf(b), 'other letters']);
  }
  pairs.push(['a letter only one has', 'A*B', 'A*B*(C+!C)', 'other letters']);
  for (const [name, first, second, kind] of pairs) {
    const want = differing(first, second);
    if (kind === 'equivalent') assert.equal(want.k, 0, `${name}: ${first} vs ${second} is an identity`);
    const got = await compare(first, second);
    assert.equal(got.view, 'true', 'a new second equation shows Compare');
    assert.equal(got.verdict, verdict(want.k, want.n), `${name}: ${first} vs ${second}`);
    counts[kind]++;
  }
  console.log(`# ${pairs.length} pairs: ${Object.entries(counts).map(([k, n]) => `${n} ${k}`).join(', ')}`);
});

test('the joint table holds both programs\' columns; a control keeps the rows that differ', async () => {
  const first = 'A*B+!C';
  const second = 'A@b';
  const want = differing(first, second);
  await compare(first, second);
  const whole = await tableIn(ctx.page, '#compare');
  assert.deepEqual(whole.head, [...want.letters, `F = ${first}`, `G = ${second}`, 'Differs']);
  assert.equal(whole.rows.length, want.n);
  whole.rows.forEach((cells, k) => {
    const digits = cells.slice(0, want.letters.length).join('');
    assert.equal(digits, k.toString(2).padStart(want.letters.length, '0'));
    const [a, b, mark] = cells.slice(-3);
    assert.equal(a, valueAt(want.a, want.letters, digits));
    assert.equal(b, valueAt(want.b, want.letters, digits));
    assert.equal(mark, a === b ? '' : '≠', 'marked by a sign, not colour alone');
    assert.equal(whole.classes[k], a === b ? '' : 'differs');
  });
  await ctx.page.click('#only-differ');
  const only = await tableIn(ctx.page, '#compare');
  assert.equal(only.rows.length, want.k);
  assert.deepEqual(only.rows, whole.rows.filter((cells) => cells.at(-1) !== ''));
  await ctx.page.click('#only-differ');
});

test('a warning or a stop is said, and one that stops gets no verdict', async () => {
  const cases = [
    ['AB', 'A*B', /^The first equation carries the warning/, true],
    ['A*B', 'A&B', /^The second equation carries the warning/, true],
    ['A+', 'A', /^The first equation stops: the program cannot evaluate it and says “index out of range: 2 string: A\+”\. There is no verdict\.$/, false],
    ['A', '((A)', /^The second equation stops/, false],
  ];
  for (const [first, second, said, verdictShown] of cases) {
    const got = await compare(first, second);
    assert.match(got.note, said, `${first} vs ${second}`);
    assert.equal(got.verdict !== null, verdictShown, `${first} vs ${second}: ${got.verdict}`);
  }
});

test('a union of 20 variables: the verdict within the aim, the page never held', async () => {
  const first = letters(10).split('').join('*');
  const second = letters(20).slice(10).split('').join('+');
  // Timed at a screen's height, not the tall page the row checks use.
  await ctx.page.setViewport({ width: 1280, height: 800 });
  let got;
  const started = performance.now();
  const longest = await longestTask(ctx.page, async () => {
    got = await compare(first, second);
  });
  console.log(`# a comparison over 20 variables in ${Math.round(performance.now() - started)} ms ` +
    `(aim 3000), longest main-thread task ${Math.round(longest)} ms`);
  // True together only where A..J are all 1 and K..T all 0; false together
  // where neither holds.
  assert.equal(got.verdict, 'Not equivalent: they differ in 1,046,530 of 1,048,576 rows.');
  assert.ok(longest < 1000, `a task of ${longest} ms`);
  await ctx.page.setViewport({ width: 1280, height: 9000 });
});

test('Stop ends the comparison under way', () => heldPage(ctx, async (page, server) => {
  const [first, second] = ['A*B*C', 'A+B'];
  // The program's run of the second equation waits until the test lets it go.
  const gate = holdRuns(server, `${second}\n`);
  await page.$eval('#versus', (e, text) => { e.value = text; }, second);
  await page.$eval('#equation', (e, text) => { e.value = text; }, first);
  await page.focus('#equation');
  await page.keyboard.press('Enter');
  await gate.arrived;
  await page.waitForFunction(() => /^Finished/.test(document.getElementById('status').textContent));
  assert.equal(await page.$eval('body', (b) => b.dataset.running), 'true', 'the comparison is under way');
  assert.equal(await page.$eval('#compare-note', (n) => n.textContent),
    'Comparing: the program runs the second equation…');
  await page.click('#stop');
  await finished(page);
  await gate.emptied();
  const shown = await page.evaluate(() => ({
    note: document.getElementById('compare-note').textContent,
    verdict: document.getElementById('verdict').hidden,
    box: document.getElementById('compare').closest('.table-box').hidden,
    status: document.getElementById('status').textContent,
  }));
  assert.deepEqual(shown, { note: 'Stopped before the comparison was done: there is no verdict.', verdict: true,
    box: true, status: `Finished: ${referenceRows(first).rows.length} rows. Exit status 0.` });
  gate.release();
  await submit(page, 'A', '!!A');
  assert.equal(await page.$eval('#verdict', (v) => v.textContent), 'Equivalent: the same value in all 2 rows.');
}));

test('a link opens the comparison; Back returns to the one before', async () => {
  const { page } = ctx;
  await page.goto(`${ctx.origin}/#eq=!(A*B)&vs=!A%2B!B&view=compare`);
  await page.waitForFunction(() => document.getElementById('versus').value === '!A+!B');
  await finished(page);
  assert.equal(await page.$eval('#verdict', (v) => v.textContent), 'Equivalent: the same value in all 4 rows.');
  await compare('A', 'B');
  assert.equal(await page.evaluate(() => location.hash), '#eq=A&vs=B&view=compare');
  await page.goBack();
  await page.waitForFunction(() => document.getElementById('versus').value === '!A+!B');
  await finished(page);
  assert.equal(await page.$eval('#verdict', (v) => v.textContent), 'Equivalent: the same value in all 4 rows.');
});

test('axe finds no violation in Compare, on a phone, light and dark', async () => {
  const checked = await phone(ctx);
  await submit(checked, '!(A*B)', '!A+B');
  for (const scheme of ['light', 'dark']) {
    await checked.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    await axe(checked, `Compare on a phone, ${scheme}`);
    const wide = await checked.evaluate(() => document.documentElement.scrollWidth - innerWidth);
    assert.ok(wide <= 0, `the page is ${wide} px wider than the phone`);
    await checked.screenshot({ path: join(shots, `phone-compare-${scheme}.png`), fullPage: true });
  }
  await checked.close();
});
