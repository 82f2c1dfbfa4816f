// A function given by its rows, read from the field (lists of minterms or
// maxterms with don't-cares, columns of results) and from CSV or TSV files.
// Seeded functions are written here in every notation, in their own words
// (row numbers in the letters' written order, blanks anywhere), and must
// read back to the values they were drawn with; the field's text and the
// page's CSV of each must read back too. Tables of equations that stay
// equations, of contradictions and the culprit each sentence names, and of
// files: the half adder and the 7-segment decoder, shuffled.
//   Usage: node function-reader.test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  careOf, counts, describe, equationOf, functionText, looksLikeFunction, readFunction, stepped,
} from '../function.js';
import { readTableFile } from '../table-file.js';
import { letters, seeded } from './seeded.mjs';

const kAllLetters = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz';
const columnOf = (values) => Array.from(values, (v) => '01x'[v]).join('');
const rowsWhere = (values, v) => [...values.keys()].filter((k) => values[k] === v);

function shuffled(rng, xs) {
  const out = [...xs];
  for (let i = out.length - 1; i > 0; i--) {
    const j = rng.int(i + 1);
    [out[i], out[j]] = [out[j], out[i]];
  }
  return out;
}

// Reads `text`, which must be a function, and checks looksLikeFunction agrees.
function read(text) {
  const fn = readFunction(text);
  assert.equal(looksLikeFunction(text), fn !== null, text);
  assert.ok(fn && !fn.error, `${text.slice(0, 200)}: ${fn?.error}`);
  return fn;
}

// fn as { letters, F: column, … }, to compare with a table's expectation.
const shown = (fn) => ({
  letters: fn.letters, ...Object.fromEntries(fn.outputs.map((o) => [o.name, columnOf(o.values)])),
});

test('texts read as functions', () => {
  const cases = [
    ['Σm(1,3,7,11,15)', { letters: 'ABCD', F: '0101000100010001' }],
    ['∑m(1,3) + d(0,2,5)', { letters: 'ABC', F: 'x1x10x00' }],
    ['m(1, 3)+Σd(0)', { letters: 'AB', F: 'x101' }],
    ['m(1)+∑d(2)', { letters: 'AB', F: '01x0' }],
    ['ΠM(0,2,4)', { letters: 'ABC', F: '01010111' }],
    ['∏M(0) + d(3)', { letters: 'AB', F: '011x' }],
    ['M ( 1 ) + Σd ( 0 )', { letters: 'A', F: 'x0' }],
    ['Σm()', { letters: 'A', F: '00' }],
    ['Σm() + d(1)', { letters: 'A', F: '0x' }],
    ['Σm(15)', { letters: 'ABCD', F: '0000000000000001' }],
    ['Σm(16)', { letters: 'ABCDE', F: `${'0'.repeat(16)}1${'0'.repeat(15)}` }],
    ['Σm(3,3,1)', { letters: 'AB', F: '0101' }],
    ['F(A,B,C) = Σm(1)', { letters: 'ABC', F: '01000000' }],
    ['  f(A, B)=M(1)', { letters: 'AB', f: '1011' }],
    ['Out = m(2)', { letters: 'AB', Out: '0010' }],
    ['F(C,B,A) = Σm(1)', { letters: 'ABC', F: '00001000' }],
    ['F(b,A) = Σm(1, 2)', { letters: 'Ab', F: '0110' }],
    ['F(B,A) = 0x10', { letters: 'AB', F: '01x0' }],
    ['01x1', { letters: 'AB', F: '01x1' }],
    ['1X-0', { letters: 'AB', F: '1xx0' }],
    ['G = 10 ', { letters: 'A', G: '10' }],
    ['S = Σm(1,2,4,7); Cout = Σm(3,5,6,7)', { letters: 'ABC', S: '01101001', Cout: '00010111' }],
    ['m(1); G = m(2); m(3)', { letters: 'AB', F: '0100', G: '0010', H: '0001' }],
    ['F = m(1); m(2)', { letters: 'AB', F: '0100', G: '0010' }],
    ['S = m(1) ; T(B,A) = 0100', { letters: 'AB', S: '0010', T: '0010' }],
    ['S = 0110; C = M(0)', { letters: 'AB', S: '0110', C: '0111' }],
    ['S(A,B) = m(3); C(A,B) = M(3)', { letters: 'AB', S: '0001', C: '1110' }],
  ];
  for (const [text, expected] of cases) assert.deepEqual(shown(read(text)), expected, text);
});

test('equations stay equations', () => {
  const equations = [
    'm*d+M', 'A*B', 'F=A*B', 'd(1)', '1', '0', 'x', 'A', '!A+B', 'm', 'M', 'mM(1)', '(A+B)*C', '0*A',
    'F = A', 'A*B; F = m(1)', 'A*B = m(1)', 'Sigma(1)', '',
  ];
  for (const text of equations) {
    assert.equal(readFunction(text), null, text);
    assert.equal(looksLikeFunction(text), false, text);
  }
});

test('a malformed function is one sentence naming its culprit', () => {
  const seventeen = [...kAllLetters.slice(0, 17)].join(',');
  const cases = [
    ['Σm(0,5) + d(5)', /\b5\b.*minterm.*don't-care/],
    ['ΠM(0,5) + d(5)', /\b5\b.*maxterm.*don't-care/],
    ['F(A,B) = Σm(1,4)', /\b4\b/],
    ['S = 0110; C = m(9)', /\b9\b.*C/],
    ['10x0x', /\b5\b/],
    ['F(A,B,C) = 0110', /\b4\b.*\b8\b/],
    ['S = 0110; T = 01', /T.*\b2\b/],
    ['m(4,6', /“\(” at character 2\b/],
    ['F(A,B = m(1)', /“\(” at character 2\b/],
    ['S = m(1); T = m(4,6', /“\(” at character 16\b/],
    ['F(A,B,A) = m(1)', /\bA\b.*twice/],
    ['S = m(1); S = m(2)', /\bS\b.*twice/],
    ['A = m(1,3)', /output A.*letters/],
    [`F(${seventeen}) = m(1)`, /\b17\b.*\b16\b/],
    ['m(65536)', /65536/],
    ['m(1,99999999999)', /99999/],
    [`${'01'.repeat(65536)}`, /131072/],
    ['m(1,x)', /“x”/],
    ['m(1,-2)', /“-2”/],
    ['m(1,,2)', /empty/],
    ['F(AB,C) = m(1)', /“AB”/],
    ['F() = m(1)', /\bF\b/],
    ['m(1); A*B', /“A\*B”/],
    ['m(1);', /“;” at character 5\b/],
    ['m(1) A', /“A”/],
    ['m(1) + D(2)', /“\+” at character 6\b/],
    ['ΣM(1)', /ΣM/],
    ['Σ 1', /“Σ”/],
    ['S(A,B) = m(1); T(A,C) = m(1)', /\bC\b/],
  ];
  for (const [text, culprit] of cases) {
    const fn = readFunction(text);
    assert.equal(looksLikeFunction(text), true, text);
    assert.ok(fn?.error, `${text.slice(0, 40)} gives an error`);
    assert.match(fn.error, culprit, text.slice(0, 40));
    assert.match(fn.error, /^[^\n]+\.$/, fn.error);
    assert.doesNotMatch(fn.error.slice(0, -1), /[.?!]\s/, fn.error);
  }
});

// Program row k's number with the letters written in `order`: each letter's
// bit moved from its place in the program's order to its written place.
function writtenRow(k, order, programLetters) {
  const n = order.length;
  return order.reduce((w, ch, i) => w | (((k >> (n - 1 - programLetters.indexOf(ch))) & 1) << (n - 1 - i)), 0);
}

const blank = (rng) => rng.pick(['', '', ' ', '  ', '\t']);

function listText(rng, rows) {
  const listed = shuffled(rng, rng() < 0.2 && rows.length ? [...rows, rows[0]] : rows);
  return `(${blank(rng)}${listed.join(`${blank(rng)},${blank(rng)}`)}${blank(rng)})`;
}

// An output's body in its notation, its rows numbered in `order`.
function bodyText(rng, output, order, programLetters) {
  const at = (k) => writtenRow(k, order, programLetters);
  if (output.notation === 'column') {
    const column = new Array(output.values.length);
    output.values.forEach((v, k) => { column[at(k)] = v === 2 ? rng.pick(['x', 'X', '-']) : String(v); });
    return column.join('');
  }
  const given = output.notation === 'minterms' ? 1 : 0;
  const sign = given ? rng.pick(['Σm', '∑m', 'm', 'Σ m']) : rng.pick(['ΠM', '∏M', 'M', 'Π M']);
  const dontCares = rowsWhere(output.values, 2).map(at);
  const dSign = rng.pick(['d', 'Σd', '∑d', '∑ d']);
  const d = dontCares.length || rng() < 0.2
    ? `${blank(rng)}+${blank(rng)}${dSign}${blank(rng)}${listText(rng, dontCares)}` : '';
  return `${sign}${blank(rng)}${listText(rng, rowsWhere(output.values, given).map(at))}${d}`;
}

// A seeded function and its text, with what the text means worked out
// here: { text, letters, outputs: [{ name, values }] }.
function randomCase(rng) {
  const n = 1 + rng.int(6);
  const named = rng() < 0.5;
  const chosen = named && rng() < 0.5 ? shuffled(rng, kAllLetters).slice(0, n) : [...letters(n)];
  const programLetters = [...chosen].sort().join('');
  const shared = named && rng() < 0.5 ? shuffled(rng, chosen) : [...programLetters];
  const count = rng() < 0.3 ? 2 + rng.int(2) : 1;
  const outputs = [];
  for (let j = 0; j < count; j++) {
    const values = Uint8Array.from({ length: 2 ** n }, () => rng.pick([0, 0, 1, 1, 2]));
    let name = rng.pick([null, null, 'S', 'Cout', 'y_1', "F'", 'F', 'G']);
    if (outputs.some((o) => o.name === name) || chosen.includes(name)) name = null;
    const order = named && (j === 0 || rng() < 0.3) ? (rng() < 0.3 ? shuffled(rng, chosen) : shared) : null;
    if (order && !name) name = ['Q', 'R', 'T', 'Out'].find((n) => !chosen.includes(n) && !outputs.some((o) => o.name === n));
    outputs.push({ name, values, order, notation: rng.pick(['minterms', 'maxterms', 'column']) });
  }
  const order = outputs.find((o) => o.order)?.order ?? shared;
  const text = blank(rng) + outputs.map((o) => {
    const named = o.order ? `${blank(rng)}(${o.order.join(`${blank(rng)},${blank(rng)}`)})` : '';
    const head = o.name === null ? '' : `${o.name}${named}${blank(rng)}=${blank(rng)}`;
    return head + bodyText(rng, o, o.order ?? order, programLetters);
  }).join(`${blank(rng)};${blank(rng)}`) + blank(rng);
  // Without named letters or a column, the highest row listed decides them.
  let size = n;
  if (!named && outputs.every((o) => o.notation !== 'column')) {
    const listed = outputs.flatMap((o) => [
      ...rowsWhere(o.values, o.notation === 'minterms' ? 1 : 0), ...rowsWhere(o.values, 2),
    ]);
    size = Math.max(1, ...listed.map((r) => r.toString(2).length));
  }
  // Unnamed outputs are named past the given names and the letters.
  const taken = new Set([...outputs.map((o) => o.name), ...programLetters.slice(0, size)]);
  const free = [...'FGHIJKLMNOPQRSTUVWXYZ'].filter((name) => !taken.has(name));
  return {
    text,
    letters: programLetters.slice(0, size),
    outputs: outputs.map((o) => ({ name: o.name ?? free.shift(), values: [...o.values.slice(0, 2 ** size)] })),
  };
}

const meaning = (fn) => ({
  letters: fn.letters, outputs: fn.outputs.map((o) => ({ name: o.name, values: [...o.values] })),
});

// The page's Table view CSV of a function: RFC 4180, CRLF, X for a don't-care.
const csvField = (text) => (/[",\r\n]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text);
function pageCsv(fn) {
  const n = fn.letters.length;
  const lines = [[...fn.letters, ...fn.outputs.map((o) => o.name)]];
  for (let k = 0; k < 2 ** n; k++) {
    lines.push([...k.toString(2).padStart(n, '0'), ...fn.outputs.map((o) => '01X'[o.values[k]])]);
  }
  return lines.map((line) => `${line.map(csvField).join(',')}\r\n`).join('');
}

// The rows of each 1 term of a canonical sum, its letters checked in order.
function termRows(equation, programLetters) {
  if (equation.startsWith('0*')) {
    assert.equal(equation, `0*${[...programLetters].join('*')}`);
    return [];
  }
  return equation.split('+').map((term) => {
    const literals = term.split('*');
    assert.equal(literals.length, programLetters.length, term);
    return literals.reduce((k, literal, i) => {
      assert.equal(literal.replace('!', ''), programLetters[i], term);
      return 2 * k + (literal.startsWith('!') ? 0 : 1);
    }, 0);
  });
}

test('seeded functions in every notation read back, as text, as CSV and as an equation', () => {
  const rng = seeded(2718);
  const seen = new Set();
  for (let i = 0; i < 600; i++) {
    const c = randomCase(rng);
    const fn = read(c.text);
    assert.deepEqual(meaning(fn), { letters: c.letters, outputs: c.outputs }, c.text);
    fn.outputs.forEach((o) => seen.add(o.notation));
    assert.deepEqual(meaning(read(functionText(fn))), meaning(fn), functionText(fn));
    const file = readTableFile(pageCsv(fn));
    assert.deepEqual(meaning(file), meaning(fn), pageCsv(fn));
    for (const { values } of fn.outputs)
      assert.deepEqual(termRows(equationOf(fn.letters, values), fn.letters), rowsWhere(values, 1));
  }
  assert.equal(seen.size, 3);
});

test('a function of 16 letters, letters out of order, reads whole', () => {
  const rng = seeded(65536);
  const values = Uint8Array.from({ length: 2 ** 16 }, () => rng.pick([0, 1, 1, 2]));
  const order = shuffled(rng, letters(16));
  const text = `Out(${order.join(',')}) = ${bodyText(rng, { values, notation: 'minterms' }, order, letters(16))}`;
  const fn = read(text);
  assert.deepEqual([...fn.outputs[0].values], [...values]);
  assert.equal(fn.reordered, true);
  assert.deepEqual(termRows(equationOf(fn.letters, values), fn.letters), rowsWhere(values, 1));
});

test('what the page writes and says of a function', () => {
  const texts = [
    ['Σm(1,3)', 'F(A,B) = Σm(1,3)'],
    ['m(1) + d(2)', 'F(A,B) = Σm(1) + d(2)'],
    ['F(A,B) = m()', 'F(A,B) = Σm()'],
    ['S = m(1,2); Cout = m(3)', 'S(A,B) = Σm(1,2); Cout = Σm(3)'],
    ['F(B,A) = m(1)', 'F(A,B) = Σm(2)'],
  ];
  for (const [text, written] of texts) assert.equal(functionText(read(text)), written);
  const said = [
    ['S = Σm(1,2,4,7); Cout = Σm(3,5,6,7)',
      /^Two outputs over 3 letters \(A, B, C\): S is 1 in 4 rows; Cout is 1 in 4 rows\./],
    ['ΠM(0,2,4)', /maxterms.*0 in 3 rows/],
    ['F(C,B,A) = m(1)', /renumbered/],
  ];
  for (const [text, sentence] of said) assert.match(describe(read(text)), sentence);
  assert.equal(describe(read('Σm(1,3,7,11,15) + d(0,2,5)')),
    "Read from its minterms and don't-cares: a function of 4 letters (A, B, C, D), 1 in 5 rows and don't-care in 3.");
  assert.doesNotMatch(describe(read('m(1)')), /renumbered|don't-care/);
});

test('stepping a row, the cares and the counts', () => {
  const fn = read('F(A,B) = Σm(1) + d(2); G = m(0)');
  for (const [row, after] of [[0, '11x0'], [1, '0xx0'], [2, '0100'], [3, '01x1']]) {
    const next = stepped(fn, 0, row);
    assert.equal(columnOf(next.outputs[0].values), after);
    assert.equal(columnOf(next.outputs[1].values), '1000');
    assert.equal(columnOf(fn.outputs[0].values), '01x0');
  }
  assert.equal(columnOf(stepped(fn, 'G', 3).outputs[1].values), '1001');
  assert.deepEqual([...careOf(fn.outputs[0].values)], [1, 1, 0, 1]);
  assert.deepEqual(counts(fn.outputs[0].values), { ones: 1, zeros: 2, dontCares: 1 });
  const sums = [['AB', [0, 1, 0, 1], '!A*B+A*B'], ['AB', [0, 0, 2, 0], '0*A*B'], ['A', [1, 0], '!A']];
  for (const [lettersOf, values, equation] of sums) assert.equal(equationOf(lettersOf, values), equation);
});

// Rows of a table written as a file: `order` the letter columns' order,
// each row's letter values from its row number in the program's order.
function fileText(programLetters, outputs, options) {
  const { rng, order = [...programLetters], delimiter = ',', eol = '\r\n', bom = '' } = options;
  const n = programLetters.length;
  const rows = shuffled(rng, [...Array(2 ** n).keys()]).map((k) => [
    ...order.map((ch) => (k >> (n - 1 - programLetters.indexOf(ch))) & 1),
    ...outputs.map(([, values]) => (values[k] === 2 ? rng.pick(['x', 'X', '-']) : values[k])),
  ]);
  return bom + [[...order, ...outputs.map(([name]) => name)], ...rows].map((r) => r.join(delimiter) + eol).join('');
}

// Segments a to g lit for each digit.
const kSegments = [
  '1111110', '0110000', '1101101', '1111001', '0110011', '1011011', '1011111', '1110000', '1111111', '1111011',
];

test('files: the half adder, the 7-segment decoder, errors', () => {
  const rng = seeded(7);
  const adder = [['S', [0, 1, 1, 0]], ['C', [0, 0, 0, 1]]];
  const segment = (s) => Array.from({ length: 16 }, (_, k) => (k < 10 ? Number(kSegments[k][s]) : 2));
  const decoder = [...'abcdefg'].map((name, s) => [name, segment(s)]);
  const files = [
    ['AB', adder, {}],
    ['AB', adder, { order: ['B', 'A'], eol: '\n', bom: '\uFEFF' }],
    ['ABCD', decoder, {}],
    ['ABCD', decoder, { delimiter: '\t', bom: '\uFEFF', order: ['D', 'B', 'A', 'C'] }],
    ['ABCD', decoder, { delimiter: ';', eol: '\n' }],
  ];
  for (const [programLetters, outputs, options] of files) {
    const text = fileText(programLetters, outputs, { rng, ...options });
    const fn = readTableFile(text);
    const expected = outputs.map(([name, values]) => ({ name, values }));
    assert.deepEqual(meaning(fn), { letters: programLetters, outputs: expected }, text);
    assert.equal(fn.reordered, Boolean(options.order));
    assert.equal(fn.source, 'file');
  }
  const quoted = readTableFile('"A" , "B","x""y",A*B+!C\r\n0,0,1,0\r\n0,1,1,0\r\n1,0,1,0\r\n1,1,0,1\r\n\r\n');
  assert.deepEqual(shown(quoted), { letters: 'AB', F: '1110', G: '0001' });
  assert.deepEqual(quoted.renamed, [['x"y', 'F'], ['A*B+!C', 'G']]);
  assert.deepEqual(readTableFile('A,B,F,A*B\n0,0,1,0\n0,1,1,0\n1,0,1,0\n1,1,0,1\n').renamed, [['A*B', 'G']]);
  // A full adder's carry in is no letter: it gets its first, or one free.
  const full = readTableFile('A,B,Cin,S,Cout\n' + [...Array(8).keys()].map((k) => {
    const [a, b, c] = [k >> 2, (k >> 1) & 1, k & 1];
    return `${a},${b},${c},${a ^ b ^ c},${Number(a + b + c > 1)}\n`;
  }).join(''));
  assert.deepEqual(shown(full), { letters: 'ABC', S: '01101001', Cout: '00010111' });
  assert.deepEqual(full.renamed, [['Cin', 'C']]);
  assert.deepEqual(readTableFile('C,x1,F\n0,0,1\n0,1,1\n1,0,1\n1,1,0\n').renamed, [['x1', 'x']]);
  assert.deepEqual(readTableFile('C,c1,F\n0,0,1\n0,1,1\n1,0,1\n1,1,0\n').renamed, [['c1', 'c']]);

  const refused = [
    ['A,B,S\n0,0,0\n0,1,1\n0,1,0\n1,1,0\n', /^Line 4 .*A=0, B=1.*line 3.*A=1, B=0 is missing/],
    ['A,B,S\n0,0,0\n0,2,1\n1,0,1\n1,1,0\n', /^Line 3 .*“2” for B/],
    ['A,B,S\n0,0,0\n0,1,y\n1,0,1\n1,1,0\n', /^Line 3 .*“y” for S/],
    ['A,B,"S\nT"\n0,0,0\n0,1,1\n1,0,1\n1,1,y\n', /^Line 6 /],
    ['A,B,S\n0,0,0\n0,1\n1,0,1\n1,1,0\n', /^Line 3 has 2 fields/],
    ['A,B,S\n0,0,0\n\n0,1,1\n1,0,1\n1,1,0\n', /^Line 3 /],
    ['A,B,S\n0,0,0\n0,1,1\n1,0,1\n', /\b3 rows\b/],
    ['A,B\n0,0\n0,1\n1,0\n1,1\n', /output/],
    ['A,A,S\n0,0,0\n0,1,1\n1,0,1\n1,1,0\n', /\bA\b.*two columns/],
    ['A,B,S,S\n0,0,0,1\n0,1,1,1\n1,0,1,1\n1,1,0,1\n', /“S”.*two columns/],
    ['A,"B,S\n0,0,0\n', /quote.*line 1\b/],
    [`A,F\n${'0,0\n'.repeat(2 ** 17)}`, /\b17 letters\b/],
  ];
  for (const [text, culprit] of refused) {
    const { error } = readTableFile(text);
    assert.match(error ?? '', culprit, text.slice(0, 60));
    assert.doesNotMatch(error.slice(0, -1), /[.?!]\s/, error);
  }
});
