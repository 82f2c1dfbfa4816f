// The Steps view: a column per group of the echo, each the program's own.
// Seeded well-formed equations are checked column by column against the
// reference program run on each group by this test, which finds the groups
// in the reference's echo itself; malformed and stopped equations get their
// sentences; big ones say why there are no steps, and Stop ends the work.
//   Usage: node steps.test.mjs SITE_FOLDER
import { join } from 'node:path';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  axe, finished, heldPage, letters, longestTask, pause, phone, randomTree, referenceRows, seeded, shots, submit,
  tableIn, textOf, usePage, valueAt,
} from './helper.mjs';

// A page tall enough that a table of 256 rows is drawn whole.
const ctx = usePage({ viewport: { width: 1280, height: 9000 } });

// The groups of an echo, as the program applies them: at each ")", the text
// from its "(", listed once.
function groupsOf(echo) {
  const open = [];
  const groups = [];
  for (let i = 0; i < echo.length; i++) {
    if (echo[i] === '(') open.push(i);
    else if (echo[i] === ')') {
      const text = echo.slice(open.pop(), i + 1);
      if (!groups.includes(text)) groups.push(text);
    }
  }
  return groups;
}

// A head as a screen reader hears it names the whole group; as it is seen,
// the group stands without its outer parentheses, and at most 60
// characters of it.
const spoken = (head) => head.match(/, the group (.*), main operator .*$/)?.[1] ?? head;
const seen = (head) => head.replace(/, the group .*$/, '');
const bare = (text) => {
  const inner = text.startsWith('(') ? text.slice(1, -1) : text;
  return inner.length > 60 ? `${inner.slice(0, 60)}…` : inner;
};

// The view's buttons show with the first result; once Steps is chosen, a
// run works its steps out at once.
async function steps(equation) {
  const shown = await submit(ctx.page, equation);
  if (await ctx.page.$eval('#view-steps', (b) => b.getAttribute('aria-pressed')) !== 'true') {
    await ctx.page.click('#view-steps');
    await finished(ctx.page);
  }
  return { ...shown, note: await ctx.page.$eval('#steps-note', (n) => n.textContent),
    table: await tableIn(ctx.page, '#steps') };
}

test('every column of seeded equations is the program\'s table of its group', async () => {
  const rng = seeded(20261210);
  let equations = 0;
  let columns = 0;
  const times = [];
  for (let i = 0; i < 300; i++) {
    const names = letters(1 + rng.int(8)).split('');
    const equation = textOf(randomTree(rng, names, 1 + rng.int(5)));
    const want = referenceRows(equation);
    const started = performance.now();
    const { table, note } = await steps(equation);
    times.push(performance.now() - started);
    const groups = groupsOf(want.echo).filter((g) => g !== want.echo);
    const last = want.echo;
    assert.deepEqual(table.head.map(spoken), [...want.letters, ...groups, last], equation);
    assert.deepEqual(table.head.map(seen), [...want.letters, ...groups, last].map(bare), equation);
    assert.equal(table.rows.length, want.rows.length, `${equation}: every row drawn`);
    const references = groups.map((g) => referenceRows(g));
    table.rows.forEach((cells, k) => {
      const digits = want.rows[k].slice(0, -1);
      assert.deepEqual(cells.slice(0, digits.length), digits, `${equation}, row ${k}`);
      references.forEach((ref, j) =>
        assert.equal(cells[digits.length + j], valueAt(ref, want.letters, digits), `${equation}: ${groups[j]}, row ${k}`));
      assert.equal(cells.at(-1)[0], want.rows[k].at(-1), `${equation}: the result, row ${k}`);
    });
    assert.match(note, /^Each column is a group|^The equation has no group/);
    equations++;
    columns += groups.length;
  }
  const sorted = times.sort((a, b) => a - b);
  console.log(`# ${equations} seeded equations, ${columns} step columns, each the reference's; ` +
    `median ${Math.round(sorted[sorted.length >> 1])} ms a run with its steps`);
});

test('each head marks its main operator in a way a screen reader reaches', async () => {
  const { table } = await steps('A*B+!C');
  const marks = await ctx.page.$$eval('#steps th', (ths) => ths.map((th) => ({
    mark: th.querySelector('mark.main-op')?.textContent ?? null,
    said: th.querySelector('.visually-hidden')?.textContent ?? null,
    weight: th.querySelector('mark.main-op') ? getComputedStyle(th.querySelector('mark.main-op')).fontWeight : null,
  })));
  assert.deepEqual(marks.map((m) => m.mark), [null, null, null, '*', '!', '+']);
  assert.deepEqual(marks.slice(3).map((m) => m.said), [', the group (A*B), main operator *, AND',
    ', the group (!C), main operator !, NOT', ', the group ((A*B)+(!C)), main operator +, OR']);
  assert.ok(marks.slice(3).every((m) => Number(m.weight) >= 700), 'marked by weight, not colour alone');
  assert.equal(table.head.length, 6);
});

test('malformed and stopped equations are said in sentences', async () => {
  const cases = [
    ['AB+C*D', ['“A” is left over', 'each row shows “(B+(C*D))”'], ['(C*D)', '(B+(C*D))', 'Result']],
    ['A&B', ['“&” is not an operator', '“A” is left over', 'each row shows “B”'], ['Result']],
    ['A+BC', ['“(A+B)” is left over', 'each row shows “C”'], ['(A+B)', 'Result']],
    ['A+', ['There are no steps: the program stopped', '“index out of range: 2 string: A+”'], null],
    [`${letters(17).split('').join('*')}`, ['no steps for 17 variables and 16 operators', 'up to 16 variables'], null],
  ];
  for (const [equation, sentences, groups] of cases) {
    const { note, table } = await steps(equation);
    for (const s of sentences) assert.ok(note.includes(s), `${equation}: “${s}” in “${note}”`);
    if (groups) {
      const want = referenceRows(equation);
      assert.deepEqual(table.head.slice(want.letters.length).map(spoken), groups);
      // The result column is the program's own, whatever the sentence says.
      table.rows.forEach((cells, k) => assert.equal(cells.at(-1)[0], want.rows[k].at(-1)));
    } else {
      assert.equal(table.rows.length, 0, equation);
    }
  }
});

// 16 variables and 40 operators: a chain of groups over every letter.
const big = (() => {
  const rng = seeded(7);
  const names = letters(16).split('');
  let text = names[0];
  for (let i = 1; i < 41; i++) text = `(${text}${rng.pick(['*', '@', '+'])}${rng() < 0.3 ? '!' : ''}${names[i % 16]})`;
  return text;
})();

test('16 variables and 40 operators: steps within the aim, the page never held', async () => {
  const want = referenceRows(big);
  assert.equal(want.letters.length, 16);
  // Timed at a screen's height, not the tall page the row checks use.
  await ctx.page.setViewport({ width: 1280, height: 800 });
  const started = performance.now();
  const longest = await longestTask(ctx.page, async () => {
    await steps(big);
  });
  const ms = performance.now() - started;
  console.log(`# steps for 16 variables and ${groupsOf(want.echo).length} operators in ${Math.round(ms)} ms ` +
    `(aim 2000), longest main-thread task ${Math.round(longest)} ms`);
  assert.ok(longest < 1000, `a task of ${longest} ms`);
  const { head } = await tableIn(ctx.page, '#steps');
  assert.equal(head.length, 16 + groupsOf(want.echo).length);
  await ctx.page.setViewport({ width: 1280, height: 9000 });
});

test('Stop and Escape end the steps under way; the next run gets them', () => heldPage(ctx, async (page, server) => {
  const equation = 'A*B+!C';
  const want = referenceRows(equation);
  const groups = groupsOf(want.echo).filter((g) => g !== want.echo).map((g) => `${g}\n`);
  for (const how of ['Stop', 'Escape']) {
    // Run in another view, so that the steps start only when asked for.
    if (await page.$eval('#result', (r) => !r.hidden)) await page.click('#view-terminal');
    await submit(page, equation);
    // The program's runs of the groups wait until the test lets them go.
    const gate = server.hold((kind, body) => kind === 'run' && groups.includes(body));
    await page.click('#view-steps');
    await gate.arrived;
    assert.equal(await page.$eval('body', (b) => b.dataset.running), 'true', 'the steps are under way');
    assert.match(await page.$eval('#steps-note', (n) => n.textContent), /^Working out the steps/);
    if (how === 'Stop') await page.click('#stop');
    else await page.keyboard.press('Escape');
    await finished(page);
    await gate.emptied();
    assert.equal(await page.$eval('#steps-note', (n) => n.textContent), 'Stopped before the steps were worked out.');
    assert.equal((await tableIn(page, '#steps')).rows.length, 0);
    assert.equal(await page.$eval('#steps', (t) => t.closest('.table-box').hidden), true, 'no empty table stands');
    assert.equal(await page.$eval('#exports', (e) => e.hidden), true, 'no steps to download');
    gate.release();
  }
  await submit(page, 'A@B');
  await finished(page);
  assert.equal((await tableIn(page, '#steps')).head.length, 3);
}));

test('a link opens the steps; Back returns to the state before', async () => {
  const { page } = ctx;
  await page.goto(`${ctx.origin}/#eq=A*(B%2B!C)&view=steps`);
  await page.waitForFunction(() => document.getElementById('equation').value === 'A*(B+!C)');
  await finished(page);
  assert.equal(await page.$eval('#view-steps', (b) => b.getAttribute('aria-pressed')), 'true');
  assert.equal((await tableIn(page, '#steps')).head.length, 3 + 3);
  await page.click('#view-table');
  assert.equal(await page.evaluate(() => location.hash), '#eq=A*(B%2B!C)&view=table'.replace('%2B', '+'));
  await submit(page, 'A@B');
  await page.goBack();
  await page.waitForFunction(() => document.getElementById('equation').value === 'A*(B+!C)');
  await finished(page);
  assert.equal(await page.$eval('#view-table', (b) => b.getAttribute('aria-pressed')), 'true');
});

test('axe finds no violation in Steps, on a phone, light and dark', async () => {
  const checked = await phone(ctx);
  await submit(checked, 'AB+C*D');
  await checked.click('#view-steps');
  await finished(checked);
  for (const scheme of ['light', 'dark']) {
    await checked.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    await axe(checked, `Steps on a phone, ${scheme}`);
    await checked.screenshot({ path: join(shots, `phone-steps-${scheme}.png`), fullPage: true });
  }
  await checked.close();
});
