// The Table view: the program's table as a real <table>, with the echo and
// the warning above it; and the table as the exports take it, which the
// Terminal view offers too.
import { hasTable } from './outcome.js';
import { row } from './table.js';
import { clearColumns, lineAsTerminal, showColumns, showTable } from './view.js';

const $ = (id) => document.getElementById(id);

// The program's table for the exports: the letters, then the result
// column headed by the equation, or by F where it is too long for a head.
export function programTable(run) {
  const { stdout, shape, equation } = run;
  return {
    name: 'table',
    heads: [...shape.letters, equation],
    names: [...shape.letters, 'F'],
    groups: [shape.letters.length, 1],
    rows: shape.rows,
    cells: (k) => {
      const { values, result } = row(stdout, shape, k);
      return [...values, result];
    },
  };
}

// A function's table: the letters, then each output's column as the program
// gave it, with X in the output's don't-care rows.
export function functionTable(run, outputs) {
  const { stdout, shape } = run;
  const names = outputs.map((o) => o.name);
  return {
    name: 'table',
    heads: [...shape.letters, ...names],
    names: [...shape.letters, ...names],
    groups: [shape.letters.length, outputs.length],
    rows: shape.rows,
    cells: (k) => [...row(stdout, shape, k).values, ...outputs.map((o) => (o.care[k] ? String(o.result[k]) : 'X'))],
  };
}

// The exports take a function's table once its outputs are in, and an
// equation's at once.
export function offerTable(run, offer) {
  if (!run.read) offer(programTable(run));
  else run.outputs.then((outputs) => offer(functionTable(run, outputs)), () => {});
}

// What the echo is the program's reading of: a function's output is given
// to it as its canonical sum of products.
function echoWhat(run) {
  const outputs = run.read?.fn.outputs;
  if (!outputs) return 'The program read the equation as';
  const which = outputs.length > 1 ? `${outputs[0].name}, the first output (each other output is given its own),`
    : outputs[0].name;
  return `The program was given the canonical sum of products of ${which} and read it as`;
}

// The echo as a line of text shows it: a long one is cut, and says so.
const kLongestEcho = 300;
function echoShown(bytes) {
  if (bytes.length <= kLongestEcho) return lineAsTerminal(bytes);
  return `${lineAsTerminal(bytes.subarray(0, kLongestEcho))}… (${bytes.length} characters in all: ` +
    'Terminal and the download show more)';
}

export default {
  name: 'table',
  label: 'Table',
  mount(part) {
    part.innerHTML = `
      <p id="table-note" hidden></p>
      <p id="echo-line" hidden><span id="echo-what"></span> <code id="echo"></code></p>
      <p id="warning" class="warning" hidden><strong>The program warns:</strong> “WARNING: answer
      may contain errors”. The equation has operands left over that no operator joins, and each
      row shows the value of the last complete one.</p>
      <p id="no-table" hidden>There is no table: the program stopped before writing one.</p>
      <div class="table-box" tabindex="0" role="region" aria-label="The table" hidden>
        <table id="table"></table></div>`;
  },

  clear(sentence) {
    $('table-note').textContent = sentence;
    $('table-note').hidden = !sentence;
    for (const id of ['echo-line', 'warning', 'no-table']) $(id).hidden = true;
    $('echo').textContent = '';
    clearColumns($('table'));
  },

  show(run, { offer, press, refocus }) {
    this.clear('');
    const { stdout, shape } = run;
    $('echo').textContent = shape.echo ? echoShown(stdout.subarray(...shape.echo)) : '';
    $('echo-what').textContent = echoWhat(run);
    $('echo-line').hidden = !shape.echo;
    $('warning').hidden = !shape.warning;
    $('no-table').hidden = hasTable(shape);
    if (!hasTable(shape)) return null;
    const focus = refocus?.where === 'table' ? refocus : null;
    if (!run.read) {
      offer(programTable(run));
      return showTable($('table'), stdout, shape, { press: press && ((k, j, top) => press('table', j, k, top)), focus });
    }
    let sight = null;
    let closed = false;
    run.outputs.then((outputs) => {
      if (closed) return;
      const table = functionTable(run, outputs);
      offer(table);
      sight = showColumns($('table'), {
        caption: `${shape.rows} rows, in the program's order; X marks a don't-care row` +
          (press ? '. Press a result to step it: 0, 1, X, 0' : ''),
        heads: table.heads,
        rows: table.rows,
        cells: table.cells,
        resultColumn: true,
        outputs: outputs.length,
        press: press && ((k, j, top) => press('table', j, k, top)),
        focus,
      });
    }, (error) => {
      if (!closed) this.clear(error.message === 'stopped' ? '' : error.message);
    });
    return {
      close() {
        closed = true;
        sight?.close();
      },
    };
  },
};
