// The table in view as a teacher takes it into a worksheet: CSV (RFC 4180),
// a Markdown pipe table or a bare LaTeX tabular to \input, built a slice of
// rows at a time so that a table of millions of rows never holds the page
// still. A table is { name, heads, rows, cells(k), groups }: the column
// heads as the program writes them, a row's texts, and where the column
// groups end (the letters, the steps, the result) for the rules of LaTeX.

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

const texHead = (text) => (/^[A-Za-z]$/.test(text) || !/^[A-Za-z ]+$/.test(text) ? latexMath(text) : text);

const formats = {
  csv: {
    type: 'text/csv',
    head: (t) => `${t.heads.map(csvField).join(',')}\r\n`,
    line: (cells) => `${cells.join(',')}\r\n`,
    end: () => '',
  },
  md: {
    type: 'text/markdown',
    head: (t) => `| ${t.heads.map(mdHead).join(' | ')} |\n|${' --- |'.repeat(t.heads.length)}\n`,
    line: (cells) => `| ${cells.join(' | ')} |\n`,
    end: () => '',
  },
  tex: {
    type: 'application/x-tex',
    head: (t) => {
      const columns = t.groups.map((count) => 'c'.repeat(count)).filter(Boolean).join('|');
      return `\\begin{tabular}{${columns}}\n${t.heads.map(texHead).join(' & ')} \\\\\n\\hline\n`;
    },
    line: (cells) => `${cells.join(' & ')} \\\\\n`,
    end: () => '\\end{tabular}\n',
  },
};
const kEnding = { csv: 'csv', md: 'md', tex: 'tex' };

const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

// The export's text as a Blob and its file's name; `progress` hears the
// share of rows done.
export async function exportTable(kind, table, progress = () => {}) {
  const f = formats[kind];
  const parts = [f.head(table)];
  for (let first = 0; first < table.rows; first += kSlice) {
    let text = '';
    for (let k = first; k < Math.min(first + kSlice, table.rows); k++) text += f.line(table.cells(k));
    parts.push(text);
    progress((first + kSlice) / table.rows);
    await nextTask();
  }
  parts.push(f.end());
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
