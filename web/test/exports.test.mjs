// The exports of the table in view: CSV as RFC 4180 has it, Markdown, and
// LaTeX that a document can \input, which pdflatex compiles with only the
// packages its first line names. The result's column is headed by the
// equation as typed, in Compare each with its name.
// The values are checked against the reference program: the steps' columns
// against its tables of each group, Compare's against its two tables.
//   Usage: node exports.test.mjs SITE_FOLDER
import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { downloads, finished, readCsv, referenceRows, submit, usePage, valueAt } from './helper.mjs';

const ctx = usePage();

async function inView(view, equation, versus = '') {
  await submit(ctx.page, equation, versus);
  await ctx.page.click(`#view-${view}`);
  await finished(ctx.page);
}

let files;
test('Steps: CSV heads are the group texts and the equation, each column the program\'s', async () => {
  files = await downloads(ctx.page);
  for (const equation of ['A*B+!C', '!(a+B@c)*A', 'AB+C*D']) {
    await inView('steps', equation);
    const csv = readCsv(await files.fetched('#export-csv', 'quorvane-steps.csv'));
    const want = referenceRows(equation);
    const heads = csv[0].slice(want.letters.length);
    assert.deepEqual(csv[0].slice(0, want.letters.length), want.letters);
    assert.equal(heads.at(-1), equation);
    assert.equal(csv.length, want.rows.length + 1);
    const groups = heads.slice(0, -1).map((g) => referenceRows(g));
    csv.slice(1).forEach((cells, k) => {
      const digits = want.rows[k].slice(0, -1);
      assert.deepEqual(cells.slice(0, digits.length), digits);
      groups.forEach((g, j) => assert.equal(cells[digits.length + j], valueAt(g, want.letters, digits), heads[j]));
      assert.equal(cells.at(-1), want.rows[k].at(-1));
    });
  }
});

test('Compare: the equations as typed and named, quoted where CSV needs it', async () => {
  const first = 'A"B';
  const second = 'A,B';
  await inView('compare', first, second);
  const csv = readCsv(await files.fetched('#export-csv', 'quorvane-compare.csv'));
  assert.deepEqual(csv[0], ['A', 'B', `F = ${first}`, `G = ${second}`]);
  const [a, b] = [referenceRows(first), referenceRows(second)];
  csv.slice(1).forEach((cells, k) => {
    const digits = cells.slice(0, 2);
    assert.equal(digits.join(''), k.toString(2).padStart(2, '0'));
    assert.deepEqual(cells.slice(2), [valueAt(a, ['A', 'B'], digits), valueAt(b, ['A', 'B'], digits)]);
  });
  const md = (await files.fetched('#export-md', 'quorvane-compare.md')).split('\n');
  assert.equal(md[0], '| A | B | ` F = A"B ` | ` G = A,B ` |');
  // Only the rows that differ, when that is what the view shows.
  await inView('compare', 'A*B', 'A+B');
  await ctx.page.click('#only-differ');
  const only = readCsv(await files.fetched('#export-csv', 'quorvane-compare.csv'));
  assert.deepEqual(only, [['A', 'B', 'F = A*B', 'G = A+B'], ['0', '1', '0', '1'], ['1', '0', '0', '1']]);
  await ctx.page.click('#only-differ');
});

test('LaTeX: a longtable with math heads, which pdflatex compiles', async (t) => {
  const folder = mkdtempSync(join(tmpdir(), 'quorvane-latex-'));
  const exported = [];
  await inView('steps', 'A*B+!C@D');
  exported.push(['steps', await files.fetched('#export-tex', 'quorvane-steps.tex')]);
  await inView('compare', '!(A*B)', '!A+!B~&_%#$');
  exported.push(['compare', await files.fetched('#export-tex', 'quorvane-compare.tex')]);
  await inView('table', 'A@b');
  exported.push(['table', await files.fetched('#export-tex', 'quorvane-table.tex')]);
  const [steps, compare, table] = exported.map(([, text]) => text.split('\n'));
  for (const lines of [steps, compare, table])
    assert.equal(lines[0], '% Needs \\usepackage{longtable} in the preamble; \\input this file in the body.');
  assert.equal(steps[1], '\\begin{longtable}{cccc|ccc|c}');
  assert.equal(steps[2], String.raw`$A$ & $B$ & $C$ & $D$ & $(A\land B)$ & $(\lnot C)$ & ` +
    String.raw`$((\lnot C)\oplus D)$ & $A\land B\lor \lnot C\oplus D$ \\`);
  assert.equal(compare[2], String.raw`$A$ & $B$ & $F=\lnot (A\land B)$ & $G=\lnot A\lor \lnot B\sim \& \_ \% \# \$$ \\`);
  assert.deepEqual(table.slice(1, 3), ['\\begin{longtable}{cc|c}', String.raw`$A$ & $b$ & $A\oplus b$ \\`]);
  if (!existsSync('/usr/bin/pdflatex')) {
    assert.ok(!process.env.CI, 'CI installs texlive-latex-base for pdflatex');
    t.skip('no pdflatex: apt-get install texlive-latex-base');
    return;
  }
  for (const [name, text] of exported) {
    writeFileSync(join(folder, `${name}.tex`), text);
    writeFileSync(join(folder, `doc-${name}.tex`),
      `\\documentclass{article}\n\\usepackage{longtable}\n\\begin{document}\n\\input{${name}.tex}\n\\end{document}\n`);
    const run = spawnSync('pdflatex', ['-interaction=nonstopmode', '-halt-on-error', `doc-${name}.tex`],
      { cwd: folder, encoding: 'utf8' });
    assert.equal(run.status, 0, `${name}: ${run.stdout.split('\n').filter((l) => l.startsWith('!')).join(' ')}`);
  }
  console.log('# pdflatex compiled the table, the steps and the comparison');
  rmSync(folder, { recursive: true, force: true });
  files.done();
});
