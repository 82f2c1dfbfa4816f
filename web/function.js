// A boolean function given by its rows rather than by an equation: the list
// of its minterms or of its maxterms, each with its don't-cares, or its
// column of results, with an optional name and letters, several outputs
// set apart by ";". Reading these is reading data. The program still makes
// every column the page shows: equationOf only writes, for each output, an
// equation whose table the program is then asked for.
//
// A function is { letters, outputs: [{ name, values, notation }], reordered }:
// the letters in the program's order, and each output's value in each row
// of the program's table, 0, 1 or 2 for a don't-care.

const kMaxLetters = 16;
const kDefaultLetters = 'ABCDEFGHIJKLMNOP';
const kDontCare = 2;
export const isIdentifier = (text) => /^[A-Za-z_][A-Za-z0-9_']*$/.test(text);

// What makes a text a function and not an equation, at position i: an
// optional "name =" or "name(…) =", then a sum or product sign, "m(" or
// "M(", or a column word that is the whole part. looksLikeFunction and
// readFunction both decide by these two, so they never disagree.
const kPrefix = /\s*([A-Za-z_][A-Za-z0-9_']*)\s*(\([^=;]*)?=/y;
const kBody = /\s*(?:[Σ∑Π∏]|[mM]\s*\(|[01xX-]{2,}\s*(?:;|$))/y;

function headAt(text, i) {
  kPrefix.lastIndex = i;
  const prefix = kPrefix.exec(text);
  if (prefix) {
    kBody.lastIndex = i + prefix[0].length;
    if (kBody.test(text)) return { prefix, bodyAt: i + prefix[0].length };
  }
  kBody.lastIndex = i;
  return kBody.test(text) ? { prefix: null, bodyAt: i } : null;
}

export const looksLikeFunction = (text) => headAt(text, 0) !== null;

// Once a text reads as a function, anything wrong in it is said, not run.
class Malformed extends Error {}
const fail = (sentence) => {
  throw new Malformed(sentence);
};

const clip = (text) => (text.length > 24 ? `${text.slice(0, 24)}…` : text);
const isBlank = (text, i) => {
  const c = text.charCodeAt(i);
  return c === 32 || (c >= 9 && c <= 13) || (c > 127 && /\s/.test(text[i]));
};
function skipBlanks(text, i) {
  while (i < text.length && isBlank(text, i)) i++;
  return i;
}
const untilPart = (text, i) => {
  const end = text.indexOf(';', i);
  return text.slice(i, end < 0 ? text.length : end).trim();
};
const isPowerOfTwo = (k) => k >= 1 && (k & (k - 1)) === 0;
const log2 = (k) => 31 - Math.clz32(k);
const listOf = (letters) => [...letters].join(', ');
const lettersPhrase = (n, letters) => `${n} letter${n === 1 ? '' : 's'} (${listOf(letters)})`;

// The letters between the parentheses of "name(…) =", in the order given.
function readLetters(text, prefix) {
  const name = prefix[1];
  const openAt = prefix.index + prefix[0].indexOf('(');
  const group = prefix[2];
  const close = group.indexOf(')');
  if (close < 0) fail(`The “(” at character ${openAt + 1} is never closed.`);
  const after = group.slice(close + 1).trim();
  if (after) fail(`Only “=” may follow the letters of ${name}, not “${clip(after)}”.`);
  const inside = group.slice(1, close);
  if (!inside.trim()) fail(`${name}() names no letters.`);
  const order = [];
  for (const entry of inside.split(',').map((e) => e.trim())) {
    if (!entry) fail(`The letters of ${name} have an empty entry.`);
    if (!/^[A-Za-z]$/.test(entry))
      fail(`“${clip(entry)}” in the letters of ${name} is not one letter (A–Z, a–z).`);
    if (order.includes(entry)) fail(`${name} names the letter ${entry} twice.`);
    order.push(entry);
  }
  if (order.length > kMaxLetters) fail(`${name} names ${order.length} letters; a function has at most ${kMaxLetters}.`);
  return order.join('');
}

// The rows listed from the "(" at openAt: { rows, end } with `end` just
// past the ")". Digits are read by code, since a list can hold 65,536 rows.
function readList(text, openAt) {
  const rows = [];
  let i = openAt + 1;
  for (;;) {
    const start = skipBlanks(text, i);
    let row = 0;
    let j = start;
    for (let c = text.charCodeAt(j); c >= 48 && c <= 57; c = text.charCodeAt(++j))
      row = Math.min(row * 10 + c - 48, 1e9);
    const digitsEnd = j;
    while (j < text.length && !',);'.includes(text[j])) j++;
    if (j >= text.length || text[j] === ';') fail(`The “(” at character ${openAt + 1} is never closed.`);
    const entry = text.slice(start, j).trim();
    if (!entry) {
      if (text[j] === ')' && rows.length === 0) return { rows, end: j + 1 };
      fail(`The list at character ${openAt + 1} has an empty entry.`);
    }
    if (digitsEnd === start || skipBlanks(text, digitsEnd) !== j)
      fail(`“${clip(entry)}” at character ${start + 1} is not a row number.`);
    if (row >= 2 ** kMaxLetters)
      fail(`Row ${clip(entry)} needs more than ${kMaxLetters} letters; a function has at most ${kMaxLetters}.`);
    rows.push(row);
    i = j + 1;
    if (text[j] === ')') return { rows, end: i };
  }
}

// "+ d(…)" or "+ Σd(…)" after a list, if there: { rows, end }.
function readDontCares(text, i) {
  if (text[i] !== '+') return { rows: [], end: i };
  const plusAt = i;
  const wrong = () => fail(`The “+” at character ${plusAt + 1} is not followed by a list of don't-cares, d(…).`);
  i = skipBlanks(text, i + 1);
  if (text[i] === 'Σ' || text[i] === '∑') i = skipBlanks(text, i + 1);
  if (text[i] !== 'd') wrong();
  i = skipBlanks(text, i + 1);
  if (text[i] !== '(') wrong();
  return readList(text, i);
}

const kSigns = { Σ: 'minterms', '∑': 'minterms', Π: 'maxterms', '∏': 'maxterms' };
const kLetterOf = { minterms: 'm', maxterms: 'M' };

// A sum or product from its sign or its "m" / "M": { notation, rows, dontCares, end }.
function readTerms(text, i) {
  const signAt = i;
  let notation = kSigns[text[i]];
  if (notation) {
    i = skipBlanks(text, i + 1);
    const other = notation === 'minterms' ? 'M' : 'm';
    if (text[i] === other)
      fail(`“${text[signAt]}${other}” at character ${signAt + 1} mixes a sum and a product: ` +
        'write Σm(…) for minterms or ΠM(…) for maxterms.');
    if (text[i] === kLetterOf[notation]) i = skipBlanks(text, i + 1);
    if (text[i] !== '(')
      fail(`The “${text[signAt]}” at character ${signAt + 1} is not followed by ${kLetterOf[notation]}(…).`);
  } else {
    notation = text[i] === 'm' ? 'minterms' : 'maxterms';
    i = skipBlanks(text, i + 1);
  }
  const { rows, end } = readList(text, i);
  const dontCares = readDontCares(text, skipBlanks(text, end));
  return { notation, rows, dontCares: dontCares.rows, end: dontCares.end };
}

function readColumn(text, i) {
  let end = i;
  while ('01xX-'.includes(text[end] ?? ';')) end++;
  const length = end - i;
  if (!isPowerOfTwo(length))
    fail(`The column “${clip(text.slice(i, end))}” has ${length} entries; ` +
      'a column has one a row, so 2, 4, 8, … of them.');
  if (length > 2 ** kMaxLetters)
    fail(`The column has ${length} entries, which needs ${log2(length)} letters; ` +
      `a function has at most ${kMaxLetters}.`);
  return { notation: 'column', column: text.slice(i, end), end };
}

// One output, from its head at `head`: { name, order, notation, rows,
// dontCares, column, end }, `end` at its ";" or the end of the text.
function readPart(text, head) {
  const name = head.prefix?.[1] ?? null;
  const order = head.prefix?.[2] === undefined ? null : readLetters(text, head.prefix);
  const at = skipBlanks(text, head.bodyAt);
  const isTerms = kSigns[text[at]] || text[at] === 'm' || text[at] === 'M';
  const body = isTerms ? readTerms(text, at) : readColumn(text, at);
  const end = skipBlanks(text, body.end);
  if (end < text.length && text[end] !== ';')
    fail(`“${clip(untilPart(text, end))}” at character ${end + 1} is left over after the function.`);
  return { name, order, rows: [], dontCares: [], column: null, ...body, end };
}

function readParts(text, head) {
  const parts = [];
  for (;;) {
    const part = readPart(text, head);
    parts.push(part);
    if (part.end >= text.length) return parts;
    const next = skipBlanks(text, part.end + 1);
    if (next >= text.length || text[next] === ';') fail(`Nothing follows the “;” at character ${part.end + 1}.`);
    head = headAt(text, part.end + 1);
    if (!head) {
      const rest = clip(untilPart(text, next));
      fail(`The part after the “;” at character ${part.end + 1}, “${rest}”, is not a function.`);
    }
  }
}

// Names for `count` unnamed outputs: F, G, H, … past those taken.
export function freeNames(taken, count) {
  const names = [];
  for (let k = 0; names.length < count; k++) {
    const name = k <= 20 ? String.fromCharCode(70 + k) : `F${k - 20}`;
    if (!taken.has(name)) names.push(name);
  }
  return names;
}

// Unnamed outputs are named past the names given and, once they are
// known, the letters, lest a table head two columns alike.
function nameOutputs(parts, letters = '') {
  const taken = new Set(letters);
  for (const { name, given = true } of parts) {
    if (name === null || !given) continue;
    if (letters.includes(name)) fail(`The output ${name} has the name of one of its letters; give it another.`);
    if (taken.has(name)) fail(`The output ${name} is named twice.`);
    taken.add(name);
  }
  const unnamed = parts.filter((p) => p.name === null || p.given === false);
  const free = freeNames(taken, unnamed.length);
  for (const part of unnamed) {
    part.name = free.shift();
    part.given = false;
  }
}

// The letters as written (the first output to name them decides their
// order for those that do not) and their count.
function writtenLetters(parts) {
  const naming = parts.filter((p) => p.order !== null);
  const of = (part) => (parts.length > 1 ? ` of ${part.name}` : '');
  const first = naming[0];
  for (const part of naming) {
    if ([...part.order].sort().join('') !== [...first.order].sort().join(''))
      fail(`${first.name} names the letters ${listOf(first.order)} but ${part.name} names ${listOf(part.order)}; ` +
        'all outputs share their letters.');
  }
  const columns = parts.filter((p) => p.column !== null);
  let n = first ? first.order.length : columns.length ? log2(columns[0].column.length) : 0;
  for (const part of columns) {
    if (part.column.length === 2 ** n) continue;
    if (first) {
      fail(`The column${of(part)} has ${part.column.length} entries, ` +
        `but the ${lettersPhrase(n, first.order)} have ${2 ** n} rows.`);
    }
    fail(`The column of ${part.name} has ${part.column.length} entries, but that of ${columns[0].name} has ${2 ** n}.`);
  }
  if (first || columns.length) {
    const letters = first ? first.order : kDefaultLetters.slice(0, n);
    for (const part of parts) {
      const past = [...part.rows, ...part.dontCares].find((r) => r >= 2 ** n);
      if (past !== undefined)
        fail(`Row ${past}${of(part)} is past the last row, ${2 ** n - 1}, of the ${lettersPhrase(n, letters)}.`);
    }
    return letters;
  }
  for (const part of parts) {
    for (const r of [...part.rows, ...part.dontCares]) n = Math.max(n, r === 0 ? 1 : log2(r) + 1);
  }
  return kDefaultLetters.slice(0, Math.max(n, 1));
}

const kColumnValue = { 0: 0, 1: 1, x: kDontCare, X: kDontCare, '-': kDontCare };

// One output's values in the rows as written, its order of letters.
function writtenValues(part, n, several) {
  const values = new Uint8Array(2 ** n);
  if (part.column !== null) {
    for (let k = 0; k < values.length; k++) values[k] = kColumnValue[part.column[k]];
    return values;
  }
  const given = part.notation === 'minterms' ? 1 : 0;
  if (given === 0) values.fill(1);
  for (const r of part.rows) values[r] = given;
  for (const r of part.dontCares) {
    if (values[r] === given) {
      const term = given ? 'minterm' : 'maxterm';
      fail(`Row ${r}${several ? ` of ${part.name}` : ''} is given both as a ${term} and as a don't-care.`);
    }
    values[r] = kDontCare;
  }
  return values;
}

// The letters in the program's order, and how a row numbered with the
// letters in `written` order is numbered in the program's table.
export function programOrder(written) {
  const letters = [...written].sort().join('');
  if (letters === written) return { letters, renumber: (values) => values };
  const n = written.length;
  const bit = [...written].map((ch) => 1 << (n - 1 - letters.indexOf(ch)));
  const map = new Int32Array(2 ** n);
  for (let r = 1; r < map.length; r++) map[r] = map[r & (r - 1)] | bit[n - 1 - log2(r & -r)];
  const renumber = (values) => {
    const out = new Uint8Array(values.length);
    for (let r = 0; r < values.length; r++) out[map[r]] = values[r];
    return out;
  };
  return { letters, renumber };
}

function assemble(parts) {
  nameOutputs(parts);
  const written = writtenLetters(parts);
  nameOutputs(parts, written);
  const { letters, renumber } = programOrder(written);
  const outputs = parts.map((part) => {
    // An output that names its letters numbers its rows in its own order.
    const own = part.order ?? written;
    const values = writtenValues(part, written.length, parts.length > 1);
    const inOrder = own === written ? renumber(values) : programOrder(own).renumber(values);
    return { name: part.name, values: inOrder, notation: part.notation };
  });
  const reordered = parts.some((p) => p.order !== null && p.order !== letters);
  return { letters, outputs, reordered };
}

// null for an equation, { error } for a function that is not well formed,
// else the function.
export function readFunction(text) {
  const head = headAt(text, 0);
  if (!head) return null;
  try {
    return assemble(readParts(text, head));
  } catch (error) {
    if (error instanceof Malformed) return { error: error.message };
    throw error;
  }
}

export function careOf(values) {
  const care = new Uint8Array(values.length);
  for (let k = 0; k < values.length; k++) care[k] = values[k] === kDontCare ? 0 : 1;
  return care;
}

export function counts(values) {
  const tally = [0, 0, 0];
  for (let k = 0; k < values.length; k++) tally[values[k]]++;
  return { ones: tally[1], zeros: tally[0], dontCares: tally[kDontCare] };
}

const kCountWords = ['', 'One', 'Two', 'Three', 'Four', 'Five', 'Six', 'Seven', 'Eight', 'Nine', 'Ten'];
const rowsPhrase = (k) => `${k} row${k === 1 ? '' : 's'}`;

// "1 in 5 rows and don't-care in 3": maxterms are told by their 0 rows.
function valuesPhrase(output) {
  const { ones, zeros, dontCares } = counts(output.values);
  const maxterms = output.notation === 'maxterms';
  const count = maxterms ? zeros : ones;
  const given = count === 0 ? `never ${maxterms ? 0 : 1}` : `${maxterms ? 0 : 1} in ${rowsPhrase(count)}`;
  return dontCares ? `${given} and don't-care in ${dontCares}` : given;
}

const kFrom = { minterms: 'minterms', maxterms: 'maxterms', column: 'column of results' };

function sourcePhrase(fn) {
  if (fn.source === 'file') return '';
  const notations = [...new Set(fn.outputs.map((o) => o.notation))];
  const anyDontCare = fn.outputs.some((o) => o.notation !== 'column' && counts(o.values).dontCares > 0);
  const their = fn.outputs.length === 1 ? 'its' : 'their';
  if (notations.length === 1)
    return `Read from ${their} ${kFrom[notations[0]]}${anyDontCare ? " and don't-cares" : ''}`;
  const each = fn.outputs.map((o) => `the ${kFrom[o.notation]} of ${o.name}`);
  return `Read from ${each.slice(0, -1).join(', ')} and ${each.at(-1)}`;
}

export function describe(fn) {
  const n = fn.letters.length;
  const from = sourcePhrase(fn);
  const renumbered = fn.reordered
    ? ` The rows are renumbered for the program's order of the letters, ${listOf(fn.letters)}.` : '';
  if (fn.outputs.length === 1) {
    const what = `a function of ${lettersPhrase(n, fn.letters)}, ${valuesPhrase(fn.outputs[0])}.`;
    return `${from ? `${from}: ${what}` : what[0].toUpperCase() + what.slice(1)}${renumbered}`;
  }
  const k = fn.outputs.length;
  const each = fn.outputs.map((o) => `${o.name} is ${valuesPhrase(o)}`).join('; ');
  const said = `${kCountWords[k] ?? k} outputs over ${lettersPhrase(n, fn.letters)}: ${each}.`;
  return `${said}${from ? ` ${from}.` : ''}${renumbered}`;
}

function rowsWhere(values, value) {
  const rows = [];
  for (let k = 0; k < values.length; k++) if (values[k] === value) rows.push(k);
  return rows;
}

const kColumnChar = ['0', '1', 'x'];

function bodyText(output) {
  const { values, notation } = output;
  if (notation === 'column') return Array.from(values, (v) => kColumnChar[v]).join('');
  const dontCares = rowsWhere(values, kDontCare);
  const listed = notation === 'maxterms'
    ? `ΠM(${rowsWhere(values, 0).join(',')})` : `Σm(${rowsWhere(values, 1).join(',')})`;
  return dontCares.length ? `${listed} + d(${dontCares.join(',')})` : listed;
}

// The field's text for fn, in each output's own notation, the letters
// named on the first so that the text means the same whatever the rows.
export function functionText(fn) {
  return fn.outputs
    .map((output, j) => `${output.name}${j === 0 ? `(${[...fn.letters].join(',')})` : ''} = ${bodyText(output)}`)
    .join('; ');
}

// `output` is the output's index or its name.
export function stepped(fn, output, row) {
  const index = typeof output === 'string' ? fn.outputs.findIndex((o) => o.name === output) : output;
  const outputs = fn.outputs.map((o, j) => {
    if (j !== index) return o;
    const values = Uint8Array.from(o.values);
    values[row] = (values[row] + 1) % 3;
    return { ...o, values };
  });
  return { ...fn, outputs };
}

// Every product of `letters`, one a row: row k's at k, the first letter
// the most significant.
function products(letters) {
  let out = [''];
  for (const ch of letters) {
    const next = new Array(out.length * 2);
    out.forEach((p, j) => {
      next[2 * j] = p ? `${p}*!${ch}` : `!${ch}`;
      next[2 * j + 1] = p ? `${p}*${ch}` : ch;
    });
    out = next;
  }
  return out;
}

// The canonical sum of products: a term a 1 row. A term of 16 letters is
// its high half's product and its low half's, each made once.
export function equationOf(letters, values) {
  const low = Math.floor(letters.length / 2);
  const highs = products(letters.slice(0, letters.length - low));
  const lows = products(letters.slice(letters.length - low));
  const terms = [];
  for (let k = 0; k < values.length; k++) {
    if (values[k] !== 1) continue;
    terms.push(low ? `${highs[k >> low]}*${lows[k & ((1 << low) - 1)]}` : highs[k]);
  }
  return terms.length ? terms.join('+') : `0*${[...letters].join('*')}`;
}
