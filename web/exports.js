// The table as a teacher takes it into a worksheet: CSV, a Markdown pipe
// table or a LaTeX tabular, built from the program's rows a slice at a time
// so that a table of millions of rows never holds the page still.
import { row } from './table.js';

const kSlice = 8192;

const formats = {
  csv: {
    file: 'quorvane-table.csv',
    type: 'text/csv',
    head: (letters) => `${[...letters, 'result'].join(',')}\n`,
    line: (cells) => `${cells.join(',')}\n`,
    end: '',
  },
  md: {
    file: 'quorvane-table.md',
    type: 'text/markdown',
    head: (letters) =>
      `| ${[...letters, 'result'].join(' | ')} |\n|${' --- |'.repeat(letters.length + 1)}\n`,
    line: (cells) => `| ${cells.join(' | ')} |\n`,
    end: '',
  },
  tex: {
    file: 'quorvane-table.tex',
    type: 'application/x-tex',
    head: (letters) =>
      `\\begin{tabular}{${'c'.repeat(letters.length)}|c}\n${[...letters, 'result'].join(' & ')} \\\\\n\\hline\n`,
    line: (cells) => `${cells.join(' & ')} \\\\\n`,
    end: '\\end{tabular}\n',
  },
};

const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

// The export's text as a Blob; `progress` hears the share of rows done.
export async function exportTable(kind, stdout, shape, progress = () => {}) {
  const f = formats[kind];
  const parts = [f.head([...shape.letters])];
  for (let first = 0; first < shape.rows; first += kSlice) {
    let text = '';
    for (let k = first; k < Math.min(first + kSlice, shape.rows); k++) {
      const { values, result } = row(stdout, shape, k);
      text += f.line([...values, result]);
    }
    parts.push(text);
    progress((first + kSlice) / shape.rows);
    await nextTask();
  }
  parts.push(f.end);
  return { blob: new Blob(parts, { type: f.type }), file: f.file };
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
