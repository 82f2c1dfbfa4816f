// The table in view as a teacher takes it into a worksheet: CSV (RFC 4180),
// a Markdown pipe table, or LaTeX to \input, built a slice of rows at a time
// so that a table of millions of rows never holds the page still.
//
// A table is { name, heads, groups, rows, cells(k), names }: the column
// heads as they are to be read, in full; how many columns each group has
// (the letters first, then the steps and the result) for LaTeX's rules;
// the row count and a row's texts; and, optionally, each column's short
// name ("F", "S3"), which LaTeX writes in place of a head too long to set.

const kSlice = 8192;

// RFC 4180: lines end in CRLF, and a field with a comma, a quote or a line
// end is quoted, its quotes doubled.
const csvField = (text) => (/[",\r\n]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text);

// A head with anything Markdown would read (emphasis, a pipe, a tag) is
// code, fenced by more backticks than it holds in a row.
function mdHead(text) {
  if (/^[A-Za-z0-9 ]*$/.test(text)) return text;
  const run = Math.max(0, ...(text.match(/`+/g) ?? []).map((r) => r.length));
  const fence = '`'.repeat(run + 1);
  return `${fence} ${text.replaceAll('|', '\\|')} ${fence}`;
}

const kMath = {
  '*': '\\land ', '+': '\\lor ', '@': '\\oplus ', '!': '\\lnot ', '&': '\\& ', '%': '\\% ',
  '#': '\\# ', '$': '\\$ ', _: '\\_ ', '{': '\\{ ', '}': '\\} ', '~': '\\sim ', '^': '\\hat{} ',
  '\\': '\\backslash ', '∧': '\\land ', '∨': '\\lor ', '¬': '\\lnot ', '⊕': '\\oplus ',
  '→': '\\rightarrow ', '↔': '\\leftrightarrow ',
};

// An equation's text as math: the program's operators as logic's symbols,
// and anything LaTeX would take as a command escaped.
export function latexMath(text) {
  let math = '';
  for (const ch of text) {
    if (/[A-Za-z0-9()[\]<>=|'.,;:?/-]/.test(ch)) math += ch;
    else if (kMath[ch]) math += kMath[ch];
    else if (ch > ' ') math += '\\mathord{?}';
  }
  return `$${math.trim()}$`;
}

// A head in LaTeX: a word as text, anything else as math.
const texHead = (text) => (/^[A-Za-z]$/.test(text) || !/^[A-Za-z ]+$/.test(text) ? latexMath(text) : text);

// LaTeX tables are laid out for the text width of a 10 pt article, in pt.
const kTextWidth = 345;
const kDigitWidth = 5;
// LaTeX's own space on each side of a column, which a wide table narrows.
const kTabcolsep = 6;
// A head longer than this is written as its short name, which is taken to
// be about this wide.
const kLongestHead = 80;
const kNameWidth = 24;
// A head in a p column is broken into lines no narrower than this, in pt,
// unless it is narrower as a whole.
const kHeadLine = 48;
// TeX breaks math only after a binary operator or a relation, and only one
// that follows an operand.
const kOperators = '*+@∧∨⊕';
const kRelations = '=<>→↔';

// A character's width in pt as latexMath sets it at 10 pt, with the space
// around an operator, a little high.
function charWidth(ch) {
  if (/[A-Z]/.test(ch)) return 8;
  if (/[a-z]/.test(ch)) return 6;
  if (/[0-9]/.test(ch)) return kDigitWidth;
  if ('()[]'.includes(ch)) return 4;
  if (kOperators.includes(ch)) return 12.5;
  if (kRelations.includes(ch)) return 16;
  return ch > ' ' ? 8 : 0;
}

// The width a head takes on one line, and the least it can be broken to.
function measure(text) {
  let whole = 0;
  let piece = 0;
  let widest = kDigitWidth;
  let last = '';
  for (const ch of text) {
    whole += charWidth(ch);
    piece += charWidth(ch);
    if ((kOperators + kRelations).includes(ch) && /[A-Za-z0-9)\]]/.test(last)) {
      widest = Math.max(widest, piece);
      piece = 0;
    }
    if (ch > ' ') last = ch;
  }
  return { whole: Math.max(whole, kDigitWidth), least: Math.max(widest, piece) };
}

// The short name of column i, for a head too long to set: the page's, or
// F (and G) for the last group, the result, and Sj for the j-th step.
function nameOf(t, i) {
  if (t.names?.[i]) return t.names[i];
  const inLast = i - (t.heads.length - t.groups.at(-1));
  return inLast >= 0 ? String.fromCharCode(70 + inLast) : `S${i - t.groups[0] + 1}`;
}

// A name as math: its number a subscript, and in script where a letter of
// the table has that name.
function texName(name, letters) {
  if (/^[A-Z]$/.test(name) && letters.includes(name)) return `$\\mathcal{${name}}$`;
  const [, word, number] = name.match(/^([A-Za-z]+)([0-9]+)$/) ?? [];
  return word ? `$${word}_{${number}}$` : latexMath(name);
}

// Each column's head in LaTeX, its group, whether it is a letter's, and its
// widths.
function texColumns(t) {
  const group = t.groups.flatMap((count, g) => Array(count).fill(g));
  return t.heads.map((head, i) => {
    const long = head.length > kLongestHead;
    return {
      i, group: group[i], letter: i < t.groups[0],
      tex: long ? texName(nameOf(t, i), t.heads.slice(0, t.groups[0])) : texHead(head),
      ...(long ? { whole: kNameWidth, least: kNameWidth } : measure(head)),
    };
  });
}

const sum = (xs) => xs.reduce((a, b) => a + b, 0);

// The width a head is given at first in a p column.
const snug = (c) => Math.min(c.whole, Math.max(c.least, kHeadLine));

// The table in parts that each fit the text width. One part of plain
// columns where it all fits; else tighter spacing, as little as lets the
// letters keep to 70% of the width, and each part the letters and as many
// other columns as fit, in p columns whose heads break after operators.
function layout(columns) {
  if (sum(columns.map((c) => c.whole + 2 * kTabcolsep)) <= kTextWidth)
    return { sep: kTabcolsep, parts: [columns] };
  const letters = columns.filter((c) => c.letter);
  const sep = Math.max(1, Math.min(3, ((0.7 * kTextWidth) / Math.max(1, letters.length) - 8) / 2));
  const room = kTextWidth - sum(letters.map((c) => c.whole + 2 * sep));
  const parts = [[]];
  for (const c of columns.filter((x) => !x.letter)) {
    const part = parts.at(-1);
    if (part.length && sum([...part, c].map((x) => snug(x) + 2 * sep)) > room) parts.push([c]);
    else part.push(c);
  }
  return { sep, parts: parts.map((part) => [...letters, ...widened(part, room - 2 * sep * part.length)]) };
}

// The part's p columns, each snug, and the room left shared out alike, but
// to none more than it needs to stand on one line.
function widened(part, room) {
  let spare = room - sum(part.map(snug));
  const byNeed = [...part].sort((a, b) => a.whole - snug(a) - (b.whole - snug(b)));
  const widths = new Map(byNeed.map((c, done) => {
    const extra = Math.max(0, Math.min(c.whole - snug(c), spare / (part.length - done)));
    spare -= extra;
    return [c, snug(c) + extra];
  }));
  return part.map((c) => ({ ...c, width: widths.get(c) }));
}

// A part's columns, ruled off where a group ends.
const texSpec = (part) => part.map((c, k) => (k && c.group !== part[k - 1].group ? '|' : '') +
  (c.width ? `>{\\centering\\arraybackslash}p{${c.width.toFixed(1)}pt}` : 'c')).join('');

// Each part a longtable, which breaks across pages and repeats its head on
// each; the first line says what the preamble needs.
function texSections(t) {
  const { sep, parts } = layout(texColumns(t));
  const needs = parts.some((part) => part.some((c) => c.width)) ? 'array,longtable' : 'longtable';
  return parts.map((part, p) => ({
    head: (p ? '' : `% Needs \\usepackage{${needs}} in the preamble; \\input this file in the body.\n`) +
      (sep === kTabcolsep ? '' : `\\begingroup\\setlength\\tabcolsep{${sep.toFixed(1)}pt}\n`) +
      `\\begin{longtable}{${texSpec(part)}}\n${part.map((c) => c.tex).join(' & ')} \\\\\n\\hline\n\\endhead\n`,
    line: parts.length === 1 ? (cells) => `${cells.join(' & ')} \\\\\n`
      : (cells) => `${part.map((c) => cells[c.i]).join(' & ')} \\\\\n`,
    end: `\\end{longtable}\n${sep === kTabcolsep ? '' : '\\endgroup\n'}`,
  }));
}

// A format writes a table as sections, each a head, a line of some of the
// columns for every row, and an end.
const formats = {
  csv: {
    type: 'text/csv',
    sections: (t) => [{
      head: `${t.heads.map(csvField).join(',')}\r\n`,
      line: (cells) => `${cells.join(',')}\r\n`,
      end: '',
    }],
  },
  md: {
    type: 'text/markdown',
    sections: (t) => [{
      head: `| ${t.heads.map(mdHead).join(' | ')} |\n|${' --- |'.repeat(t.heads.length)}\n`,
      line: (cells) => `| ${cells.join(' | ')} |\n`,
      end: '',
    }],
  },
  tex: { type: 'application/x-tex', sections: texSections },
};
const kEnding = { csv: 'csv', md: 'md', tex: 'tex' };

const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

// The export's text as a Blob and its file's name; `progress` hears the
// share of the work done.
export async function exportTable(kind, table, progress = () => {}) {
  const f = formats[kind];
  const sections = f.sections(table);
  const parts = [];
  const total = sections.length * table.rows;
  for (const [s, { head, line, end }] of sections.entries()) {
    parts.push(head);
    for (let first = 0; first < table.rows; first += kSlice) {
      let text = '';
      for (let k = first; k < Math.min(first + kSlice, table.rows); k++) text += line(table.cells(k));
      parts.push(text);
      progress((s * table.rows + first + kSlice) / total);
      await nextTask();
    }
    parts.push(end);
  }
  return { blob: new Blob(parts, { type: f.type }), file: `quorvane-${table.name}.${kEnding[kind]}` };
}

export function save(blob, file) {
  const url = URL.createObjectURL(blob);
  const link = document.createElement('a');
  link.href = url;
  link.download = file;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}
