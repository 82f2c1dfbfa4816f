// The LaTeX a teacher pastes or \inputs, compiled by pdflatex as it comes:
// every kind of table export, in an article that loads only the packages
// the file's first line names, and every kind of form "Copy as LaTeX"
// gives, inside $...$ in a paragraph of a 10 pt article. Any error fails,
// and so does a line more than 20 pt too wide. The forms are drawn by a
// seeded generator, and their LaTeX is read back here and evaluated at
// every row against the column it was made from.
//   Usage: node latex.test.mjs
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { exportTable } from '../exports.js';
import {
  canonicalProduct, canonicalSum, latexOf, minimalProduct, minimalSum, productText, sumText,
} from '../minimize.js';
import { letters, seeded } from './seeded.mjs';

if (spawnSync('pdflatex', ['--version']).error) {
  console.log('skipped: no pdflatex; install it with: apt-get install texlive-latex-base');
  process.exit(77);
}

const kTooWide = 20;
const folder = mkdtempSync(join(tmpdir(), 'quorvane-latex-'));
after(() => rmSync(folder, { recursive: true, force: true }));

// Compiles a 10 pt article of `body` with `packages`, twice, as longtable
// needs to settle its widths; `setup` goes in the preamble too. Answers the
// pages and the lines too wide, each as { pt, line } of the source.
function compile(name, packages, body, setup = '') {
  const preamble = (packages.length ? `\\usepackage{${packages.join(',')}}\n` : '') + setup;
  writeFileSync(join(folder, `${name}.tex`),
    `\\documentclass[10pt]{article}\n${preamble}\\begin{document}\n${body}\\end{document}\n`);
  let run;
  for (let pass = 0; pass < 2; pass++) {
    run = spawnSync('pdflatex', ['-interaction=nonstopmode', '-halt-on-error', `${name}.tex`],
      { cwd: folder, encoding: 'utf8', maxBuffer: 1 << 28 });
    assert.equal(run.status, 0, `${name}: ${run.stdout.split('\n').filter((l) => l.startsWith('!')).join(' ')}`);
  }
  const wide = [...run.stdout.matchAll(/Overfull \\hbox \(([\d.]+)pt too wide\) .*at lines? (\d+)/g)]
    .map((m) => ({ pt: Number(m[1]), line: Number(m[2]) }));
  return { pages: Number(run.stdout.match(/Output written on .* \((\d+) pages?/)[1]), wide };
}

const tooWide = (wide) => wide.filter((w) => w.pt > kTooWide);

// latexOf's math read back: \overline{x} is not x, juxtaposition (with a
// thin space or a place to break between) is and, + is or, \oplus xor.
// Answers the value at row r of the letters named in `names`.
function readTex(tex, names) {
  const tokens = tex.match(/\\overline\{|\\oplus|\\hfil\\allowbreak\\hfilneg|\\allowbreak|\\,|\S/g);
  assert.equal(tokens.join(''), tex.replace(/\s+/g, ''), tex);
  const breaks = ['\\hfil\\allowbreak\\hfilneg', '\\allowbreak', '\\,'];
  let at = 0;
  const take = (token) => {
    assert.equal(tokens[at], token, `${tex} at token ${at}`);
    at++;
  };
  const n = names.length;
  const chain = (op, join, operand) => {
    let value = operand();
    while (tokens[at] === op) {
      at++;
      if (tokens[at] === breaks[0]) at++;
      const [a, b] = [value, operand()];
      value = (r) => join(a(r), b(r));
    }
    return value;
  };
  const sum = () => chain('+', (a, b) => a | b, xor);
  const xor = () => chain('\\oplus', (a, b) => a ^ b, product);
  const startsFactor = () => /^(\\overline\{|\(|[A-Za-z01])$/.test(tokens[at] ?? '');
  const product = () => {
    let value = factor();
    for (;;) {
      if (breaks.includes(tokens[at])) at++;
      else if (!startsFactor()) return value;
      const [a, b] = [value, factor()];
      value = (r) => a(r) & b(r);
    }
  };
  const factor = () => {
    const token = tokens[at++];
    if (token === '\\overline{') {
      const inner = sum();
      take('}');
      return (r) => 1 - inner(r);
    }
    if (token === '(') {
      const inner = sum();
      take(')');
      return inner;
    }
    if (token === '0' || token === '1') return () => Number(token);
    const j = names.indexOf(token);
    assert.ok(j >= 0, `${tex}: ${token}`);
    return (r) => (r >> (n - 1 - j)) & 1;
  };
  const value = sum();
  assert.equal(at, tokens.length, `${tex} read to its end`);
  return value;
}

// Where a bar ends with another bar right after it, the two read as one.
function barsTouching(tex) {
  const touching = [];
  for (let at = tex.indexOf('\\overline{'); at >= 0; at = tex.indexOf('\\overline{', at + 1)) {
    let depth = 0;
    let end = at + '\\overline'.length;
    do depth += { '{': 1, '}': -1 }[tex[end++]] ?? 0; while (depth > 0);
    if (tex.startsWith('\\overline', end)) touching.push(tex.slice(at, end + 12));
  }
  return touching;
}

// Each kind of form the page writes, over 6 letters, from seeded columns:
// random ones of every density, the constants, each letter and its
// negation; and with XOR, the minterms joined by @, which are disjoint.
function forms() {
  const names = [...letters(6)];
  const rng = seeded(20240611);
  const columns = [new Uint8Array(64), new Uint8Array(64).fill(1)];
  for (let j = 0; j < 6; j++) {
    columns.push(Uint8Array.from({ length: 64 }, (_, r) => (r >> (5 - j)) & 1));
    columns.push(Uint8Array.from({ length: 64 }, (_, r) => 1 - ((r >> (5 - j)) & 1)));
  }
  for (let i = 0; i < 24; i++) {
    const density = rng();
    columns.push(Uint8Array.from({ length: 64 }, () => (rng() < density ? 1 : 0)));
  }
  return columns.flatMap((on) => [
    canonicalSum(on, names), canonicalProduct(on, names),
    sumText(minimalSum(on, 6).cubes, names), productText(minimalProduct(on, 6).cubes, names),
    canonicalSum(on, names).replaceAll('+', '@'),
  ].map((form) => ({ form, on, names })));
}

test('Copy as LaTeX: the forms read back as their columns, no bar touches the next', () => {
  const all = forms();
  for (const { form, on, names } of all) {
    const tex = latexOf(form);
    assert.doesNotMatch(tex, /\$/, 'math without dollars');
    assert.deepEqual(barsTouching(tex), [], tex);
    const value = readTex(tex, names);
    for (let r = 0; r < 64; r++) assert.equal(value(r), on[r], `${form} at row ${r}`);
  }
  assert.deepEqual(barsTouching(latexOf('!A*!B*!(C+D)*!!E')), []);
  assert.equal(latexOf('!A*!B'), '\\overline{A}\\,\\overline{B}');
  console.log(`# ${all.length} forms read back`);
});

// At the article's width, and at a narrower one, as a worksheet's column
// might be, where lines break in other places.
test('Copy as LaTeX: each form in $...$ in a 10 pt paragraph, no line too wide', () => {
  const all = forms();
  for (const [setup, width] of [['', 'the article\'s width'], ['\\setlength\\textwidth{250pt}\n', '250 pt']]) {
    // The form each paragraph holds, by the source line it starts on.
    const starts = new Map();
    let line = 3 + setup.split('\n').length - 1;
    const body = all.map(({ form }) => {
      const text = `The function is $${latexOf(form)}$, as the table shows.\n\n`;
      starts.set(line, form);
      line += text.split('\n').length - 1;
      return text;
    });
    const { pages, wide } = compile('forms', [], body.join(''), setup);
    const widest = Math.max(0, ...wide.map((w) => w.pt));
    console.log(`# ${all.length} forms on ${pages} pages at ${width}: the widest line ${widest} pt too wide`);
    assert.deepEqual(tooWide(wide).map((w) => `${w.pt} pt: ${starts.get(w.line)}`), []);
  }
});

// A table as the page gives it: letters' digits, and other columns a
// seeded mix of 0 and 1.
function tableOf(name, names, others, { rows = 2 ** names.length, groups, ...more } = {}) {
  const n = names.length;
  const mixed = (k, j) => String((Math.imul(k + 1, 2654435761) >>> (j % 29)) & 1);
  return {
    name, rows, heads: [...names, ...others], groups: groups ?? [n, others.length], ...more,
    cells: (k) => [...names.map((_, j) => String((k >> (n - 1 - j)) & 1)), ...others.map((_, j) => mixed(k, j))],
  };
}

// The groups of an equation as the program echoes it, every operator in
// parentheses, over `leaves` operands drawn from `names`: each text once,
// in the order they close, the whole last.
function echoed(rng, names, leaves) {
  const items = Array.from({ length: leaves }, (_, i) => names[i % names.length]);
  const groups = new Set();
  while (items.length > 1 || groups.size === 0) {
    const a = items.splice(rng.int(items.length), 1)[0];
    const text = rng() < 0.15 || items.length === 0 ? `(!${a})`
      : `(${a}${rng.pick('*+@')}${items.splice(rng.int(items.length), 1)[0]})`;
    groups.add(text);
    items.push(text);
  }
  return [...groups];
}

function stepsTable(rng, n, leaves, rows) {
  const groups = echoed(rng, [...letters(n)], leaves);
  return tableOf('steps', [...letters(n)], groups, { rows, groups: [n, groups.length - 1, 1] });
}

async function texOf(table) {
  return (await exportTable('tex', table)).blob.text();
}

// The file's rows, read back: every longtable's, each row's cells.
function rowsIn(tex) {
  return tex.split('\\begin{longtable}').slice(1).map((part) => part.split('\\endhead\n')[1]
    .split('\\end{longtable}')[0].split(' \\\\\n').slice(0, -1).map((row) => row.split(' & ')));
}

// Every row's letters in every part, and the other columns once, in order.
function assertRows(table, tex) {
  const parts = rowsIn(tex);
  const n = table.groups[0];
  for (let k = 0; k < table.rows; k++) {
    const cells = table.cells(k);
    for (const part of parts) assert.deepEqual(part[k].slice(0, n), cells.slice(0, n), `row ${k}`);
    assert.deepEqual(parts.flatMap((part) => part[k].slice(n)), cells.slice(n), `row ${k}`);
  }
  assert.ok(parts.every((part) => part.length === table.rows));
  return parts.length;
}

const needs = (tex) => tex.split('\n')[0].match(/^% Needs \\usepackage\{([a-z,]+)\}/)[1].split(',');

async function compiled(label, table) {
  const tex = await texOf(table);
  const parts = assertRows(table, tex);
  const packages = needs(tex);
  assert.ok(packages.every((p) => ['amsmath', 'graphicx', 'array', 'tabularx', 'longtable'].includes(p)));
  writeFileSync(join(folder, `${label}-table.tex`), tex);
  const alone = compile(`${label}-alone`, packages, `Before.\n\n\\input{${label}-table.tex}\nAfter.\n`);
  const all = compile(`${label}-all`, ['amsmath', 'graphicx', 'array', 'tabularx', 'longtable'],
    `\\input{${label}-table.tex}\n`);
  for (const { wide } of [alone, all]) assert.deepEqual(tooWide(wide), [], label);
  const widest = Math.max(0, ...alone.wide.map((w) => w.pt));
  console.log(`# ${label}: ${parts} part(s), ${alone.pages} pages, needs ${packages}, widest ${widest} pt over`);
  return { tex, parts, pages: alone.pages, packages };
}

test('LaTeX: a small table is plain c columns in a longtable', async () => {
  const { tex, packages } = await compiled('small', tableOf('table', ['A', 'B', 'C'], ['A*B+!C']));
  assert.deepEqual(packages, ['longtable']);
  assert.equal(tex.split('\n')[1], '\\begin{longtable}{ccc|c}');
  assert.equal(tex.split('\n')[2], '$A$ & $B$ & $C$ & $A\\land B\\lor \\lnot C$ \\\\');
});

test('LaTeX: a table of 2^10 rows runs over pages', async () => {
  const { pages } = await compiled('long', tableOf('table', [...letters(10)], ['A*B+C@(D+!E)*F+G*H@I+J']));
  assert.ok(pages >= 20, `${pages} pages`);
});

test('LaTeX: wide steps fit the text width, in parts where they must', async () => {
  const rng = seeded(7);
  const dozen = stepsTable(rng, 4, 11, 16);
  assert.ok(dozen.heads.length >= 4 + 12, dozen.heads.join(' '));
  const { packages } = await compiled('steps-12', dozen);
  assert.deepEqual(packages, ['array', 'longtable']);
  // Near the most groups the page shows steps for, 64 with the whole.
  const most = stepsTable(rng, 16, 58, 64);
  assert.ok(most.heads.length >= 16 + 60 && most.heads.length <= 16 + 64, `${most.heads.length} columns`);
  const { tex, parts } = await compiled('steps-64', most);
  assert.ok(parts > 1);
  // The whole is too long to set, and F is a letter's: it is named in
  // script, and the heads too long are not written out.
  assert.ok(most.heads.at(-1).length > 80);
  assert.equal(tex.match(/\$\\mathcal\{F\}\$/g)?.length, 1);
  for (const head of most.heads.filter((h) => h.length > 80))
    assert.ok(!tex.includes(head.slice(0, 30).replaceAll('*', '\\land ')), head);
  most.heads.slice(16, -1).forEach((head, j) => {
    if (head.length > 80) assert.ok(tex.includes(`$S_{${j + 1}}$`), `step ${j + 1} named`);
  });
});

test('LaTeX: a comparison names an equation too long to set, CSV and Markdown keep it', async () => {
  const names = [...letters(6)];
  const fits = 'F = (A*B+!C*D)@(E+!F)*(A+B+C+D)+!(A*B*C*D*E)+(!A@B@C@D)*E*F+A*!B';
  const huge = `G = ${'(A*!B+C@D)*'.repeat(100000)}E`;
  const table = tableOf('compare', names, [fits, huge]);
  const { tex } = await compiled('compare', table);
  assert.ok(tex.includes('$F=(A\\land B\\lor \\lnot C\\land D)'), 'the head that fits is set');
  assert.ok(tex.length < 100000 && tex.includes(' & $G$ \\\\'), 'the long one is named G');
  const named = await texOf({ ...table, names: [...names, 'F1', 'G1'] });
  assert.ok(named.includes(' & $G_{1}$ \\\\'));
  const clash = await texOf({ ...table, names: [...names, 'F', 'F'] });
  assert.ok(clash.includes(' & $\\mathcal{F}$ \\\\'), 'a name no letter has');
  const csv = await (await exportTable('csv', table)).blob.text();
  assert.ok(csv.startsWith(`A,B,C,D,E,F,${fits},${huge}\r\n`));
  const md = await (await exportTable('md', table)).blob.text();
  assert.ok(md.startsWith(`| A | B | C | D | E | F | \` ${fits} \` | \` ${huge} \` |\n`));
});
