// Functions given by their rows, in the page: what each notation is read
// as, each contradiction said in one sentence with nothing else shown, the
// table with its don't-care rows, every output's forms checked by the
// reference program on the rows that matter, files opened, cells pressed,
// Compare over the rows that matter, a link, and 16 letters with 8,000
// don't-care rows that never hold the page. Every expected value is worked
// out here from the rows, or by the reference program.
//   Usage: node functions.test.mjs SITE_FOLDER
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  axeOnScreens, downloads, finished, letters, longestTask, readCsv, referenceRows, seeded, submit, tableIn,
  usePage, valueAt,
} from './helper.mjs';

const ctx = usePage({ viewport: { width: 1280, height: 800 } });
const folder = mkdtempSync(join(tmpdir(), 'quorvane-tables-'));

const settled = (page) => page.waitForFunction(() => {
  const section = document.getElementById('forms');
  return section.dataset.settled === 'true' && !section.hidden;
}, { timeout: 300000 });

// Each output's forms, by the output's name ('' for an equation's).
function formsOf(page) {
  return page.$eval('#forms', (section) => {
    const out = {};
    let name = '';
    for (const e of section.children) {
      if (e.tagName === 'H4') name = e.textContent;
      if (e.tagName !== 'DL') continue;
      out[name] = {};
      for (const dt of e.querySelectorAll(':scope > dt')) {
        const dd = dt.nextElementSibling;
        out[name][dt.textContent] = { code: dd.querySelector('code')?.textContent ?? null,
          state: dd.dataset.check ?? null, said: dd.querySelector('.check')?.textContent ?? '',
          proved: dd.dataset.proved ?? null };
      }
    }
    return out;
  });
}

async function run(text, versus = '', page = ctx.page) {
  const shown = await submit(page, text, versus);
  if (!shown.problem) await settled(page);
  return shown;
}

const cost = (form, kind) => (form === '0' || form === '1' ? [0, 0]
  : [form.split(kind === 'sum' ? '+' : '*').length, (form.match(/[A-Za-z]/g) ?? []).length]);

// A form against the function: the reference program's table of it, read
// at every row that matters (value 0 or 1, not 2), over the letters.
function holds(form, names, values) {
  const own = referenceRows(form);
  assert.equal(own.status, 0, form);
  for (let k = 0; k < values.length; k++) {
    if (values[k] === 2) continue;
    const digits = k.toString(2).padStart(names.length, '0').split('');
    const got = own.letters.length ? valueAt(own, names, digits) : own.rows[0].at(-1);
    assert.equal(Number(got), values[k], `${form} at row ${k}`);
  }
}

// Every runnable form of each output checked on the rows that matter,
// minimal ones proved where asked, each held to the reference program.
function allChecked(forms, names, outputs, { proved = true } = {}) {
  for (const [name, values] of Object.entries(outputs)) {
    const dcs = values.filter((v) => v === 2).length;
    const matter = values.length - dcs;
    for (const form of ['Canonical sum of products', 'Canonical product of sums', 'Minimal sum of products',
      'Minimal product of sums']) {
      const entry = forms[name][form];
      if (!entry.code) continue;
      assert.equal(entry.state, 'checked', `${name}: ${form}: ${entry.said}`);
      assert.match(entry.said, new RegExp(`all ${matter.toLocaleString('en')} rows${dcs ? ' that matter' : ''}`));
      if (form.startsWith('Minimal')) assert.equal(entry.proved, String(proved), `${name}: ${form}`);
      holds(entry.code, names, values);
    }
  }
}

const valuesOf = (n, ones, dcs = []) => Array.from({ length: 2 ** n }, (_, k) =>
  (dcs.includes(k) ? 2 : ones.includes(k) ? 1 : 0));

test('Σm(1,3,7,11,15) + d(0,2,5): exact minimal forms, checked on the 13 rows that matter', async () => {
  const shown = await run('Σm(1,3,7,11,15) + d(0,2,5)');
  assert.equal(shown.problem, '');
  assert.match(shown.says, /4 letters/);
  const values = valuesOf(4, [1, 3, 7, 11, 15], [0, 2, 5]);
  const forms = await formsOf(ctx.page);
  allChecked(forms, 'ABCD', { F: values });
  // Worked out by hand: C*D covers 3, 7, 11, 15, and one more term of two
  // letters covers 1 with don't-cares (!A*!B or !A*D); the product likewise.
  assert.deepEqual(cost(forms.F['Minimal sum of products'].code, 'sum'), [2, 4]);
  assert.deepEqual(cost(forms.F['Minimal product of sums'].code, 'product'), [2, 3]);
  assert.equal(forms.F["Don't-care rows"].code, 'd(0, 2, 5)');
  await ctx.page.click('#view-table');
  const table = await tableIn(ctx.page, '#table');
  assert.deepEqual(table.head, ['A', 'B', 'C', 'D', 'F']);
  for (const r of table.rows) {
    const k = parseInt(r.slice(0, 4).join(''), 2);
    assert.equal(r[4].replace(' (true)', ''), ['0', '1', 'X'][values[k]], `row ${k}`);
  }
});

test('each notation is read, and the same function comes of each', async () => {
  const values = valuesOf(3, [1, 2, 6], [7]);
  for (const text of ['m(1,2,6)+d(7)', '∑m(1, 2, 6) + Σd(7)', 'ΠM(0,3,4,5)+d(7)', '∏M(0,3,4,5) + d(7)',
    'M(0, 3,4,5)+ d(7)', 'F(A,B,C) = Σm(1,2,6) + d(7)', 'f( A , B , C )=0110001x',
    '0110001X', '0110001-', 'G(C,B,A) = Σm(4,2,3) + d(7)']) {
    await run(text);
    const name = /^\s*(\w+)/.exec(text)?.[1];
    const output = /^[fG]$/.test(name) ? name : 'F';
    const forms = await formsOf(ctx.page);
    assert.ok(forms[output], `${text}: ${Object.keys(forms)}`);
    assert.equal(forms[output].Minterms.code, 'Σm(1, 2, 6)', text);
    assert.equal(forms[output]["Don't-care rows"].code, 'd(7)', text);
  }
});

test('each contradiction is one sentence naming its culprit, and nothing else is shown', async () => {
  await run('A*B');
  for (const [text, culprit] of [
    ['Σm(0,5) + d(5)', /\b5\b/], ['F(A,B) = Σm(1,4)', /\b4\b/], ['10x0x', /\b5\b/], ['m(4,6', /\(/],
    ['F(A,A) = Σm(1)', /\bA\b/], ['S = Σm(1); S = Σm(2)', /\bS\b/], ['Σm(65536)', /16/],
  ]) {
    const shown = await submit(ctx.page, text);
    assert.match(shown.problem, culprit, text);
    assert.equal(shown.problem.split(/[.!?](\s|$)/).filter((s) => s && s.trim()).length, 1, shown.problem);
    const left = await ctx.page.evaluate(() => ({
      forms: document.getElementById('forms').hidden,
      table: document.querySelector('#table-view .table-box').hidden,
      terminal: document.getElementById('terminal').textContent,
      says: document.getElementById('says').hidden,
    }));
    assert.deepEqual(left, { forms: true, table: true, terminal: '', says: true }, text);
  }
  // An equation of the same letters stays an equation.
  for (const equation of ['m*d+M', 'A*B+!C']) {
    const shown = await run(equation);
    assert.equal(shown.problem, '');
    assert.match(shown.says, /^True in \d+ of 8 rows/, equation);
  }
});

test('several outputs: each gets its forms under its name, the table a column each', async () => {
  await run('S = Σm(1,2,4,7); Cout = Σm(3,5,6,7)');
  const forms = await formsOf(ctx.page);
  assert.deepEqual(Object.keys(forms), ['S', 'Cout']);
  allChecked(forms, 'ABC', { S: valuesOf(3, [1, 2, 4, 7]), Cout: valuesOf(3, [3, 5, 6, 7]) });
  assert.deepEqual(cost(forms.Cout['Minimal sum of products'].code, 'sum'), [3, 6]);
  await ctx.page.click('#view-table');
  assert.deepEqual((await tableIn(ctx.page, '#table')).head, ['A', 'B', 'C', 'S', 'Cout']);
});

// The half adder and the 7-segment decoder, whose unused codes 10 to 15
// are don't-care; each segment's minimal sum has the textbook's terms.
const kSegments = ['abcdef', 'bc', 'abdeg', 'abcdg', 'bcfg', 'acdfg', 'acdefg', 'abc', 'abcdefg', 'abcdfg'];
const kSegmentTerms = { a: 4, b: 3, c: 3, d: 5, e: 2, f: 4, g: 4 };

function sevenSegment(rng) {
  const rows = [];
  for (let k = 0; k < 16; k++) {
    const digits = k.toString(2).padStart(4, '0').split('');
    rows.push([...digits, ...'abcdefg'.split('').map((s) => (k > 9 ? rng.pick(['x', 'X', '-'])
      : kSegments[k].includes(s) ? '1' : '0'))]);
  }
  for (let i = rows.length - 1; i > 0; i--) {
    const j = rng.int(i + 1);
    [rows[i], rows[j]] = [rows[j], rows[i]];
  }
  return `\uFEFF${['A', 'B', 'C', 'D', ...'abcdefg'].join('\t')}\r\n${rows.map((r) => r.join('\t')).join('\r\n')}\r\n`;
}

async function open(name, text) {
  const file = join(folder, name);
  writeFileSync(file, text);
  const input = await ctx.page.$('#open-table');
  await input.uploadFile(file);
  await ctx.page.waitForFunction((n) => document.getElementById('open-note').textContent.includes(n) ||
    document.getElementById('problem').textContent.includes(n), {}, name);
  await finished(ctx.page);
  const problem = await ctx.page.$eval('#problem', (p) => p.textContent);
  if (!problem) await settled(ctx.page);
  return problem;
}

test('the half adder and the 7-segment decoder open from files, every output minimal', async () => {
  assert.equal(await open('half-adder.csv', 'A,B,S,C\n1,1,0,1\n0,0,0,0\n1,0,1,0\n0,1,1,0\n'), '');
  let forms = await formsOf(ctx.page);
  allChecked(forms, 'AB', { S: [0, 1, 1, 0], C: [0, 0, 0, 1] });
  assert.deepEqual(forms.C['Minimal sum of products'].code, 'A*B');
  assert.equal(await ctx.page.$eval('#equation', (e) => e.value), 'S(A,B) = 0110; C = 0001');

  assert.equal(await open('seven-segment.tsv', sevenSegment(seeded(7))), '');
  forms = await formsOf(ctx.page);
  const outputs = {};
  for (const s of 'abcdefg')
    outputs[s] = valuesOf(4, [...Array(10).keys()].filter((k) => kSegments[k].includes(s)), [10, 11, 12, 13, 14, 15]);
  allChecked(forms, 'ABCD', outputs);
  for (const [s, terms] of Object.entries(kSegmentTerms))
    assert.equal(cost(forms[s]['Minimal sum of products'].code, 'sum')[0], terms, s);

  // A missing row, a row twice and another value are each named by line.
  for (const [i, [text, said]] of [['A,B,F\n0,0,1\n0,1,0\n1,1,1\n', /3 rows/],
    ['A,B,F\n0,0,1\n0,1,0\n0,1,1\n1,1,1\n', /line 4.*A=1, B=0 is missing/i],
    ['A,B,F\n0,0,1\n0,1,2\n1,0,0\n1,1,1\n', /line 3/i]].entries()) {
    const problem = await open(`bad-${i}.csv`, text);
    assert.match(problem, said);
    assert.equal(await ctx.page.$eval('#forms', (f) => f.hidden), true);
  }
});

test('the CSV of a function\'s table opens back into the same function', async () => {
  const files = await downloads(ctx.page);
  try {
    const rng = seeded(35);
    for (let i = 0; i < 3; i++) {
      const n = 2 + rng.int(3);
      const names = ['F', 'Carry', 'x_1'].slice(0, 1 + rng.int(3));
      const text = names.map((name, j) => {
        const values = Array.from({ length: 2 ** n }, () => rng.pick([0, 0, 1, 1, 2]));
        const list = (v) => [...values.keys()].filter((k) => values[k] === v).join(',');
        return `${name}${j ? '' : `(${letters(n).split('').join(',')})`} = Σm(${list(1)}) + d(${list(2)})`;
      }).join('; ');
      await run(text);
      await ctx.page.click('#view-table');
      await finished(ctx.page);
      const csv = await files.fetched('#export-csv', 'quorvane-table.csv');
      assert.deepEqual(readCsv(csv)[0], [...letters(n), ...names]);
      const before = await formsOf(ctx.page);
      await open('round-trip.csv', csv);
      assert.deepEqual(await formsOf(ctx.page), before, text);
    }
  } finally {
    files.done();
  }
});

test('a pressed cell steps its row 0, 1, X, and the field, forms and map follow', async () => {
  const { page } = ctx;
  await run('F(A,B) = Σm(1,3)');
  await page.click('#view-table');
  await finished(page);
  const field = () => page.$eval('#equation', (e) => e.value);
  await page.click('#table button.step[data-row="0"]');
  await finished(page);
  await settled(page);
  assert.equal(await field(), 'F(A,B) = Σm(0,1,3)');
  assert.equal((await formsOf(page)).F.Minterms.code, 'Σm(0, 1, 3)');
  // By keyboard: the focus comes back to the pressed cell.
  await page.focus('#table button.step[data-row="0"]');
  await page.keyboard.press('Enter');
  await finished(page);
  await settled(page);
  assert.equal(await field(), 'F(A,B) = Σm(1,3) + d(0)');
  assert.equal(await page.evaluate(() => document.activeElement.dataset.row), '0');
  assert.equal((await formsOf(page)).F["Don't-care rows"].code, 'd(0)');
  // On the map, the same step.
  await page.click('#forms table.kmap button.step[data-row="0"]');
  await finished(page);
  await settled(page);
  assert.equal(await field(), 'F(A,B) = Σm(1,3)');
  assert.equal(await page.$eval('#forms table.kmap button.step[data-row="0"]', (b) => b.textContent), '0');
  // An equation's table steps too, and undo in the field brings it back.
  await run('A*B');
  await page.click('#view-table');
  await page.click('#table button.step[data-row="1"]');
  await finished(page);
  assert.equal(await field(), 'F(A,B) = Σm(1,3)');
  await page.focus('#equation');
  await page.keyboard.down('Control');
  await page.keyboard.press('z');
  await page.keyboard.up('Control');
  assert.equal(await field(), 'A*B');
});

test('after a press far down a table, the box stays where it was and the cell has the focus', async () => {
  const { page } = ctx;
  await run('F(A,B,C,D,E,G) = Σm(1,40)');
  await page.click('#view-table');
  await finished(page);
  const box = '#table-view .table-box';
  // The rows in sight are drawn anew in the frame after any scroll, the
  // one a click makes to bring its button into view too: a button found
  // before that is gone by the time it is pressed. So the cell is brought
  // into view first, and found once the rows are drawn again.
  const drawn = () => page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  const cell = '#table button.step[data-row="40"]';
  await page.$eval(box, (b) => { b.scrollTop = b.scrollHeight / 2; });
  await drawn();
  await page.$eval(cell, (b) => b.scrollIntoView({ block: 'center' }));
  await drawn();
  await page.waitForSelector(cell);
  const before = await page.$eval(box, (b) => b.scrollTop);
  await page.click(cell);
  await finished(page);
  await settled(page);
  assert.equal(await page.$eval('#equation', (e) => e.value), 'F(A,B,C,D,E,G) = Σm(1) + d(40)');
  assert.equal(await page.evaluate(() => document.activeElement.dataset.row), '40');
  assert.ok(Math.abs(await page.$eval(box, (b) => b.scrollTop) - before) < 2, 'the box scrolled');
});

test('Compare counts only the rows that matter; a link holds a function', async () => {
  const { page } = ctx;
  await run('Σm(1,3,7,11,15) + d(0,2,5)', 'C*D+!A*!B');
  await page.click('#view-compare');
  await finished(page);
  assert.equal(await page.$eval('#verdict', (v) => v.textContent),
    'Equivalent: the same value in all 13 rows that matter.');
  await run('A*B', 'Σm(3) + d(0)');
  assert.equal(await page.$eval('#verdict', (v) => v.textContent),
    'Equivalent: the same value in all 3 rows that matter.');
  await run('A+B', 'F(A,B) = 0x10');
  assert.equal(await page.$eval('#verdict', (v) => v.textContent),
    'Not equivalent: they differ in 1 of the 3 rows that matter.');
  await page.goto(`${ctx.origin}/#eq=${encodeURIComponent('Σm(1,2) + d(3)')}&view=table`);
  await page.waitForFunction(() => document.getElementById('equation').value === 'Σm(1,2) + d(3)');
  await finished(page);
  await settled(page);
  assert.deepEqual((await tableIn(page, '#table')).rows.map((r) => r.at(-1).replace(' (true)', '')),
    ['0', '1', '1', 'X']);
});

test('16 letters with 8,000 don\'t-care rows: forms right on every row, the page never held', async () => {
  const { page } = ctx;
  const rng = seeded(16);
  const rows = [...Array(2 ** 16).keys()];
  for (let i = rows.length - 1; i > 0; i--) {
    const j = rng.int(i + 1);
    [rows[i], rows[j]] = [rows[j], rows[i]];
  }
  const dcs = rows.slice(0, 8000).sort((a, b) => a - b);
  const ones = rows.slice(8000).filter(() => rng() < 0.5).sort((a, b) => a - b);
  const text = `Σm(${ones.join(',')})+d(${dcs.join(',')})`;
  const longest = await longestTask(page, () => run(text));
  assert.ok(longest < 1000, `the page was held for ${longest} ms`);
  const forms = await formsOf(page);
  const values = new Array(2 ** 16).fill(0);
  for (const k of ones) values[k] = 1;
  for (const k of dcs) values[k] = 2;
  // F to P are letters here, so the output is called Q.
  allChecked(forms, letters(16), { Q: values }, { proved: false });
});

test('axe finds nothing with a function\'s table, at 1280 light and on a phone dark', async () => {
  await axeOnScreens(ctx, 'a function in the Table view', async (page) => {
    await run('Σm(1,3,7) + d(0,5)', '', page);
    await page.click('#view-table');
  });
  rmSync(folder, { recursive: true, force: true });
});

test('in every view, a function, a contradiction and an equation in turn leave nothing behind', async () => {
  const { page } = ctx;
  const state = () => page.evaluate(() => {
    return {
      x: [...document.querySelectorAll('#views td')].some((td) => !td.closest('[hidden]') && td.textContent === 'X'),
      forms: document.getElementById('forms').hidden ? null : [...document.querySelectorAll('#forms h4')]
        .map((h) => h.textContent),
      says: document.getElementById('says').hidden ? null : document.getElementById('says').textContent,
      problem: document.getElementById('problem').textContent,
    };
  });
  await run('A');
  for (const view of ['terminal', 'table', 'steps', 'compare']) {
    await page.click(`#view-${view}`);
    await run('S = 01x1; T = x110');
    let now = await state();
    assert.deepEqual(now.forms, ['S', 'T'], view);
    assert.equal(now.x, view === 'table' || view === 'compare', view);
    assert.match(now.says, /Two outputs/, view);
    await run('F(A,B) = Σm(1,4)');
    now = await state();
    assert.deepEqual([now.x, now.forms, now.says], [false, null, null], view);
    assert.match(now.problem, /\b4\b/);
    await run('A@B');
    now = await state();
    assert.deepEqual([now.x, now.forms, now.problem], [false, [], ''], view);
    assert.equal(now.says, 'True in 2 of 4 rows.', view);
  }
});
