// Circuits against the program: seeded equations run through it, their
// echo read into gates, and the gates evaluated here, one by one, at every
// row of the program's table. The page's forms and their NAND-only and
// NOR-only rewrites likewise, each rewrite also run through the program,
// and every gate's group run alone must come back as the program's own
// echo. Drawings: well-formed SVG whose wires pass clear of the gates and
// of each other, and circuitikz that pdflatex compiles.
//   Usage: node circuit.test.mjs   (QUORVANE_REFERENCE: the native program)
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { countsOf, nandOnly, netlistOf, netlistOfForm, netlistText, norOnly } from '../circuit.js';
import { circuitikzOf, svgOf } from '../circuit-draw.js';
import { letters, seeded } from './seeded.mjs';

// The native program where CI names it, else the node build beside the site.
const program = process.env.QUORVANE_REFERENCE ? [process.env.QUORVANE_REFERENCE]
  : process.env.QUORVANE_NODE_BUILD ? ['node', process.env.QUORVANE_NODE_BUILD]
    : [fileURLToPath(new URL('../../build/program/quorvane', import.meta.url))];

const runs = new Map();

// The program's answer: its echo, letters, the result of each row, and
// whether it warned.
function run(equation) {
  if (runs.has(equation)) return runs.get(equation);
  const out = spawnSync(program[0], program.slice(1), { input: `${equation}\n`, encoding: 'latin1' });
  assert.ifError(out.error);
  const lines = out.stdout.split('\n');
  const at = lines.indexOf('Truth Table:');
  const answer = {
    status: out.status,
    echo: lines[at + 1] ?? '',
    letters: (lines[at + 2] ?? '').slice(1, -2).split(',').join(''),
    values: lines.slice(at + 3).filter((l) => l.startsWith('(')).map((l) => Number(l.at(-1))),
    warning: out.stdout.includes('WARNING'),
  };
  runs.set(equation, answer);
  return answer;
}

const kBase = { NAND: 'AND', NOR: 'OR', XNOR: 'XOR', NOT: 'BUF' };
const kMeaning = {
  AND: (xs) => xs.every((x) => x === 1),
  OR: (xs) => xs.some((x) => x === 1),
  XOR: (xs) => xs.filter((x) => x === 1).length % 2 === 1,
  BUF: (xs) => xs.length === 1 && xs[0] === 1,
};

// Every source's value at `row`, gate by gate: this test's own meaning.
function valuesAt(netlist, row) {
  const n = netlist.letters.length;
  const at = new Map([['0', 0], ['1', 1]]);
  [...netlist.letters].forEach((l, i) => at.set(l, (row >> (n - 1 - i)) & 1));
  for (const gate of netlist.gates) {
    const xs = gate.inputs.map((input) => at.get(input));
    assert.ok(xs.every((x) => x !== undefined), `${gate.name} reads an unknown input`);
    const value = kMeaning[kBase[gate.kind] ?? gate.kind](xs) !== gate.kind in kBase;
    at.set(gate.name, Number(value));
  }
  return at;
}

const columnOf = (netlist) => Array.from({ length: 1 << netlist.letters.length },
  (_, row) => valuesAt(netlist, row).get(netlist.output));

// `netlist` means the program's table of `equation`, and each group is
// an equation the program echoes as it is.
function assertMeans(netlist, equation) {
  const table = run(equation);
  assert.ok(netlist, equation);
  assert.equal(netlist.letters, table.letters, equation);
  assert.deepEqual(columnOf(netlist), table.values, equation);
  for (const { group } of netlist.gates) {
    const alone = run(group);
    assert.deepEqual([alone.status, alone.echo, alone.warning], [0, group, false], `${equation}: ${group}`);
  }
}

// A random well-formed equation over `names`, with the parentheses its
// grouping needs and some it does not.
function tree(rand, names, depth) {
  if (depth === 0 || rand() < 0.25) return { atom: rand() < 0.1 ? String(rand.int(10)) : rand.pick(names), prec: 9 };
  if (rand() < 0.25) return { not: tree(rand, names, depth - 1), prec: 4 };
  const [op, prec] = rand.pick([['+', 1], ['@', 2], ['*', 3]]);
  return { op, prec, left: tree(rand, names, depth - 1), right: tree(rand, names, depth - 1) };
}

function textOf(node, rand) {
  const part = (child, need) => {
    const text = textOf(child, rand);
    return need || rand() < 0.1 ? `(${text})` : text;
  };
  if (node.atom) return node.atom;
  if (node.not) return `!${part(node.not, node.not.prec < 4)}`;
  return part(node.left, node.left.prec < node.prec) + node.op + part(node.right, node.right.prec <= node.prec);
}

const equation = (rand, names, depth) => textOf(tree(rand, names, depth), rand);

const someLetters = (rand) => letters(52).split('').filter(() => rand() < 0.15).slice(0, 6);

test('the echo of a seeded equation is a netlist that means its table', () => {
  for (let seed = 1; seed <= 200; seed++) {
    const rand = seeded(seed);
    const names = someLetters(rand);
    if (names.length === 0) names.push('q');
    const eq = equation(rand, names, 1 + rand.int(4));
    const table = run(eq);
    assert.deepEqual([table.status, table.warning], [0, false], eq);
    const netlist = netlistOf(table.echo);
    assertMeans(netlist, eq);
    const operators = table.echo.replace(/[^!*@+]/g, '').length;
    assert.equal(netlist.gates.length, Math.max(operators, 1), eq);
    assert.equal(netlist.output, netlist.gates.at(-1).name, eq);
  }
});

const literalsOf = (rand, names) => {
  const chosen = names.filter(() => rand() < 0.5);
  return (chosen.length ? chosen : [rand.pick(names)]).map((l) => (rand() < 0.5 ? `!${l}` : l));
};

// Sums and products written as the page writes its minimal forms.
function formOf(rand, kind) {
  if (rand() < 0.05) return rand.pick(['0', '1']);
  const names = letters(2 + rand.int(4)).split('');
  const terms = Array.from({ length: 1 + rand.int(4) }, () => literalsOf(rand, names));
  if (kind === 'sum') return terms.map((t) => t.join('*')).join('+');
  return terms.map((c) => (c.length > 1 && terms.length > 1 ? `(${c.join('+')})` : c.join('+'))).join('*');
}

const lettersIn = (text) => [...text.replace(/[^A-Za-z]/g, '')].sort().join('');

const kRewrites = [
  { kind: 'sum', rewrite: nandOnly, only: 'NAND', allowed: /^(?:[!*()A-Za-z]+|[01])$/ },
  { kind: 'product', rewrite: norOnly, only: 'NOR', allowed: /^(?:[!+()A-Za-z]+|[01])$/ },
];

test('NAND-only and NOR-only rewrites mean their forms and draw as one kind', () => {
  for (const { kind, rewrite, only, allowed } of kRewrites) {
    for (let seed = 1; seed <= 60; seed++) {
      const form = formOf(seeded(seed), kind);
      const one = rewrite(form);
      assert.match(one, allowed, form);
      assert.equal(lettersIn(one), lettersIn(form), form);
      const [a, b] = [run(form), run(one)];
      assert.deepEqual([b.status, b.warning, b.letters, b.values], [0, false, a.letters, a.values], `${form} ${one}`);
      const plain = netlistOfForm(form);
      assertMeans(plain, form);
      assert.ok(countsOf(plain).levelsWithoutNot <= 2, form);
      const drawn = netlistOfForm(one, { only });
      assertMeans(drawn, form);
      assert.ok(drawn.gates.every((g) => g.kind === only || g.kind === 'BUF'), one);
    }
  }
});

test('an echo that is not a well-formed equation gives no circuit', () => {
  for (const eq of ['AB', 'A+', '!', 'A**B', 'A!B', '(A']) assert.equal(netlistOf(run(eq).echo), null, eq);
  for (const echo of ['', '(A)', '((A*B))', '!A', 'A*B', '(A*B', '(!A*B)', '(A*B))', 'A B', '(!!A)']) {
    assert.equal(netlistOf(echo), null, echo);
  }
});

test('counts, levels and text of hand-checked circuits', () => {
  const cases = [
    [netlistOf('(A+(B*(!C)))'), { AND: 1, OR: 1, NOT: 1 }, 3, 3, 2],
    [netlistOf('A'), { BUF: 1 }, 1, 1, 0],
    [netlistOf('(!(!A))'), { NOT: 2 }, 2, 2, 0],
    [netlistOf('((A*B)@(C+D))'), { AND: 1, OR: 1, XOR: 1 }, 3, 2, 2],
    [netlistOfForm('!A*B+C*D'), { AND: 2, OR: 1, NOT: 1 }, 4, 3, 2],
    [netlistOfForm('!(!(!A*B)*!C)', { only: 'NAND' }), { NAND: 4 }, 4, 3, 3],
  ];
  for (const [netlist, kinds, gates, levels, levelsWithoutNot] of cases) {
    const counts = countsOf(netlist);
    assert.deepEqual(counts, { kinds, gates, levels, levelsWithoutNot }, netlistText(netlist));
    assert.deepEqual(Object.keys(counts.kinds), Object.keys(kinds));
  }
  assert.equal(netlistText(netlistOf('(A+(B*(!C)))')), 'G1 = NOT(C)\nG2 = AND(B, G1)\nG3 = OR(A, G2)\n');
  assert.equal(netlistText(netlistOfForm('!(A*B*C)+D')), 'G1 = NAND(A, B, C)\nG2 = OR(G1, D)\n');
});

// Tags that open and close in order, as XML wants.
function assertBalanced(svg) {
  const open = [];
  for (const [, close, name, self] of svg.matchAll(/<(\/?)([a-zA-Z]+)[^>]*?(\/?)>/g)) {
    if (close) assert.equal(open.pop(), name, svg);
    else if (!self) open.push(name);
  }
  assert.deepEqual(open, []);
}

// Every straight piece of every wire, with its source.
function segmentsOf(svg) {
  const segments = [];
  for (const [, from, d] of svg.matchAll(/data-from="([^"]*)" d="([^"]*)"/g)) {
    let x = 0;
    let y = 0;
    for (const [, c, a, b] of d.matchAll(/([MHV])([-\d.]+)(?: ([-\d.]+))?/g)) {
      const [x0, y0] = [x, y];
      if (c === 'M') [x, y] = [Number(a), Number(b)];
      else if (c === 'H') x = Number(a);
      else y = Number(a);
      if (c !== 'M') segments.push({ from, x0: Math.min(x0, x), x1: Math.max(x0, x), y0: Math.min(y0, y), y1: Math.max(y0, y) });
    }
  }
  return segments;
}

const overlap = (a0, a1, b0, b1) => Math.min(a1, b1) - Math.max(a0, b0) > 0;

// No wire crosses into a gate's box, and wires of different sources never
// run along one another.
function assertClear(svg) {
  const boxes = [...svg.matchAll(/<rect x="([-\d.]+)" y="([-\d.]+)" width="([\d.]+)" height="([\d.]+)"/g)]
    .map(([, x, y, w, h]) => ({ x0: +x, y0: +y, x1: +x + +w, y1: +y + +h }));
  const segments = segmentsOf(svg);
  assert.ok(boxes.length && segments.length);
  const within = (v, lo, hi) => v > lo && v < hi;
  for (const s of segments) {
    for (const b of boxes) {
      const through = s.y0 === s.y1
        ? within(s.y0, b.y0, b.y1) && overlap(s.x0, s.x1, b.x0, b.x1)
        : within(s.x0, b.x0, b.x1) && overlap(s.y0, s.y1, b.y0, b.y1);
      assert.ok(!through, `a wire from ${s.from} through a gate`);
    }
    for (const t of segments) {
      const along = s.y0 === s.y1 && t.y0 === t.y1 ? s.y0 === t.y0 && overlap(s.x0, s.x1, t.x0, t.x1)
        : s.x0 === s.x1 && t.x0 === t.x1 && s.x0 === t.x0 && overlap(s.y0, s.y1, t.y0, t.y1);
      assert.ok(s.from === t.from || !along, `${s.from} runs along ${t.from}`);
    }
  }
}

const drawnCases = () => [
  netlistOf('(A+(B*(!C)))'), netlistOf('5'), netlistOf('((A@(!(b+1)))*((!A)+(D@0)))'),
  netlistOfForm('A*B*!C+!A*D+B*!D'), netlistOfForm(nandOnly('A*!B+C'), { only: 'NAND' }),
  netlistOfForm(norOnly('(A+B)*(!A+C+D)'), { only: 'NOR' }), netlistOfForm('A+B+C*D*!E*F'),
  ...Array.from({ length: 20 }, (_, i) => netlistOfForm(formOf(seeded(2000 + i), i % 2 ? 'sum' : 'product'))),
  ...Array.from({ length: 30 }, (_, i) => {
    const rand = seeded(1000 + i);
    return netlistOf(run(equation(rand, letters(1 + rand.int(6)).split(''), 4)).echo);
  }),
];

test('SVG drawings are well formed and their wires pass clear', () => {
  for (const netlist of drawnCases()) {
    const values = valuesAt(netlist, 0);
    for (const shapes of ['ansi', 'iec']) {
      const { svg, width, height } = svgOf(netlist, { shapes, values, title: 'F <&> "x"' });
      assert.ok(svg.startsWith('<svg xmlns="http://www.w3.org/2000/svg"') && svg.includes('role="img"'));
      assert.ok(svg.includes(`viewBox="0 0 ${width} ${height}"`) && width > 0 && height > 0);
      assert.ok(svg.includes('<title>F &#60;&#38;&#62; &#34;x&#34;</title>'));
      assert.doesNotMatch(svg, /NaN|undefined|Infinity/);
      assertBalanced(svg);
      const used = [...netlist.letters, ...netlist.gates.flatMap((g) => [g.name, ...g.inputs])];
      assert.equal(svg.includes('class="wire one"'), used.some((source) => values.get(source) === 1));
      if (shapes === 'iec') assertClear(svg);
    }
  }
});

const hasLatex = !spawnSync('pdflatex', ['--version']).error
  && spawnSync('kpsewhich', ['circuitikz.sty'], { encoding: 'utf8' }).stdout.trim() !== '';

test('circuitikz pictures compile', { skip: !hasLatex && 'no pdflatex with circuitikz' }, () => {
  const folder = mkdtempSync(join(tmpdir(), 'quorvane-circuit-'));
  try {
    const netlists = drawnCases().slice(0, 8);
    assert.ok(netlists.some((n) => n.gates.some((g) => g.inputs.length === 3)));
    for (const shapes of ['ansi', 'iec']) {
      const pictures = netlists.map((n) => circuitikzOf(n, { shapes, name: 'F_1 & 50%' }));
      assert.ok(pictures.every((p) => p.startsWith('% needs \\usepackage{circuitikz}\n')));
      assert.ok(pictures.some((p) => p.includes('number inputs=3')));
      writeFileSync(join(folder, `${shapes}.tex`), '\\documentclass{article}\n\\usepackage{circuitikz}\n'
        + `\\begin{document}\n${pictures.join('\n\\par\n')}\\end{document}\n`);
      const out = spawnSync('pdflatex', ['-interaction=nonstopmode', '-halt-on-error', `${shapes}.tex`],
        { cwd: folder, encoding: 'utf8' });
      const errors = out.stdout.split('\n').filter((l) => l.startsWith('!'));
      assert.deepEqual([out.status, errors], [0, []], shapes);
    }
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});
