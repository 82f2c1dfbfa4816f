// A function from a CSV or TSV file of its rows, as a spreadsheet or this
// page's own Table view writes one: a head line naming the letters and
// then the outputs, and a row per assignment of the letters in any order.
// 2ⁿ rows make the first n columns the letters.
import { freeNames, isIdentifier, programOrder } from './function.js';

const kMaxLetters = 16;
const kOutputValue = { 0: 0, 1: 1, x: 2, X: 2, '-': 2 };

class Refused extends Error {}
const fail = (sentence) => {
  throw new Refused(sentence);
};
const clip = (text) => (text.length > 24 ? `${text.slice(0, 24)}…` : text);

// A tab if the head line has one, else a comma, else a semicolon.
function delimiterOf(text) {
  const head = text.slice(0, text.search(/[\r\n]|$/));
  if (head.includes('\t')) return '\t';
  return head.includes(',') || !head.includes(';') ? ',' : ';';
}

// One field from `i`, RFC 4180: { value, end, breaks } with `end` at the
// delimiter, the line's end or the text's, and `breaks` the line ends
// quoted in it. `line` is where the field begins.
function fieldAt(text, i, delimiter, line) {
  const stops = (c) => c === delimiter || c === '\r' || c === '\n' || c === undefined;
  let quoted = '';
  while (text[i] === ' ' || (text[i] === '\t' && delimiter !== '\t')) i++;
  if (text[i] === '"') {
    for (i++; ; i++) {
      const close = text.indexOf('"', i);
      if (close < 0) fail(`The quote that opens a field on line ${line} is never closed.`);
      quoted += text.slice(i, close);
      i = close + 1;
      if (text[i] !== '"') break;
      quoted += '"';
    }
  }
  const start = i;
  while (!stops(text[i])) i++;
  const breaks = quoted ? (quoted.match(/\r\n|\r|\n/g) ?? []).length : 0;
  return { value: (quoted + text.slice(start, i)).trim(), end: i, breaks };
}

// The records: { line, fields }, `line` the 1-based line each begins on,
// blank lines at the end left out.
function recordsOf(text) {
  const delimiter = delimiterOf(text);
  const records = [];
  let line = 1;
  for (let i = 0; i < text.length;) {
    const record = { line, fields: [] };
    for (;;) {
      const { value, end, breaks } = fieldAt(text, i, delimiter, line);
      line += breaks;
      record.fields.push(value);
      i = end + 1;
      if (text[end] !== delimiter) {
        if (text[end] === '\r' && text[end + 1] === '\n') i++;
        break;
      }
    }
    line++;
    records.push(record);
  }
  const blank = (r) => r.fields.length === 1 && r.fields[0] === '';
  while (records.length && blank(records.at(-1))) records.pop();
  return records;
}

const rowText = (heads, row, n) => heads.slice(0, n).map((h, j) => `${h}=${(row >> (n - 1 - j)) & 1}`).join(', ');

function checkShape(records) {
  const [head, ...rows] = records;
  if (!head) fail('The file is empty.');
  if (head.fields.length === 1 && head.fields[0] === '') fail('Line 1, the head line, is empty.');
  if (!rows.length) fail('The file has a head line but no rows under it.');
  const width = head.fields.length;
  for (const { line, fields } of rows) {
    if (fields.length === 1 && fields[0] === '') fail(`Line ${line} is empty, but rows follow it.`);
    if (fields.length !== width) fail(`Line ${line} has ${fields.length} fields; the head line has ${width}.`);
  }
  const count = rows.length;
  if ((count & (count - 1)) !== 0 || count < 2)
    fail(`The file has ${count} row${count === 1 ? '' : 's'} under its head line; ` +
      'a table has 2, 4, 8, … rows, one for each assignment of its letters.');
  const n = 31 - Math.clz32(count);
  if (n > kMaxLetters) fail(`The file has ${count} rows, so ${n} letters; a function has at most ${kMaxLetters}.`);
  if (width <= n)
    fail(`With ${count} rows, the first ${n} columns are the letters, and the head line has only ${width}: ` +
      'no column is left for an output.');
  return n;
}

function checkHeads(heads, n) {
  const letters = heads.slice(0, n);
  letters.forEach((h, j) => {
    if (!kLetter.test(h)) return;
    const again = letters.indexOf(h, j + 1);
    if (again >= 0) fail(`The letter ${h} heads two columns, ${j + 1} and ${again + 1}.`);
  });
  const outputs = heads.slice(n);
  outputs.forEach((h, j) => {
    const again = outputs.indexOf(h, j + 1);
    if (again >= 0) fail(`The output head “${clip(h)}” heads two columns, ${n + j + 1} and ${n + again + 1}.`);
  });
}

// Letter heads that are not one letter (Cin, x1) get one, as the program's
// variables are letters: their own first character where it is a letter
// not taken, else the first letter free.
const kLetter = /^[A-Za-z]$/;
const kAlphabet = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz';
function letterNames(heads) {
  const taken = new Set(heads.filter((h) => kLetter.test(h)));
  const renamed = [];
  const letters = heads.map((h) => {
    if (kLetter.test(h)) return h;
    const own = kLetter.test(h[0] ?? '') && !taken.has(h[0]) ? h[0] : [...kAlphabet].find((c) => !taken.has(c));
    taken.add(own);
    renamed.push([h, own]);
    return own;
  });
  return { letters, renamed };
}

// Output heads that are not names (an equation, say) get F, G, … instead.
function outputNames(heads, letters) {
  // A head that is a letter's name too would head two columns alike.
  const named = (h) => isIdentifier(h) && !letters.includes(h);
  const taken = new Set([...heads.filter(named), ...letters]);
  const free = freeNames(taken, heads.filter((h) => !named(h)).length);
  const renamed = [];
  const names = heads.map((h) => {
    if (named(h)) return h;
    renamed.push([h, free[0]]);
    return free.shift();
  });
  return { names, renamed };
}

// Each row's number and values, checked field by field in line order.
function readRows(rows, heads, n) {
  const outputs = heads.slice(n).map(() => new Uint8Array(2 ** n));
  const lineOf = new Int32Array(2 ** n);
  let repeat = null;
  for (const { line, fields } of rows) {
    let row = 0;
    for (let j = 0; j < n; j++) {
      const v = fields[j];
      if (v !== '0' && v !== '1')
        fail(`Line ${line} has “${clip(v)}” for ${heads[j]}; a letter's value is 0 or 1.`);
      row = row * 2 + Number(v);
    }
    for (let j = n; j < fields.length; j++) {
      const v = kOutputValue[fields[j]];
      if (v === undefined)
        fail(`Line ${line} has “${clip(fields[j])}” for ${clip(heads[j])}; an output's value is 0, 1 or x.`);
      outputs[j - n][row] = v;
    }
    if (lineOf[row] && !repeat) repeat = { row, line, first: lineOf[row] };
    lineOf[row] ||= line;
  }
  if (repeat) {
    const missing = lineOf.indexOf(0);
    fail(`Line ${repeat.line} gives the row ${rowText(heads, repeat.row, n)} a second time ` +
      `(first on line ${repeat.first}), ` +
      `and the row ${rowText(heads, missing, n)} is missing.`);
  }
  return outputs;
}

export function readTableFile(text) {
  try {
    const records = recordsOf(text.replace(/^\uFEFF/, ''));
    const n = checkShape(records);
    const heads = records[0].fields;
    checkHeads(heads, n);
    const values = readRows(records.slice(1), heads, n);
    const written = letterNames(heads.slice(0, n));
    const { letters, renumber } = programOrder(written.letters.join(''));
    const { names, renamed } = outputNames(heads.slice(n), written.letters);
    const outputs = names.map((name, j) => ({ name, values: renumber(values[j]), notation: 'column' }));
    return { letters, outputs, reordered: letters !== written.letters.join(''), source: 'file',
      renamed: [...written.renamed, ...renamed] };
  } catch (error) {
    if (error instanceof Refused) return { error: error.message };
    throw error;
  }
}
