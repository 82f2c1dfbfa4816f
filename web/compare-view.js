// The Compare view: the equation beside the one in "Compare with", each
// column the program's own table over the letters of both, the rows that
// differ marked, and the verdict. With no second equation it shows the
// equation's own column and says what a second one would add.
import { careOf } from './function.js';
import { readFunctionIn } from './function-run.js';
import { compareTables } from './joint.js';
import { hasTable, quoted, tableOf } from './outcome.js';
import { row } from './table.js';
import { clearColumns, grouped, showColumns } from './view.js';

const $ = (id) => document.getElementById(id);
// A comparison's rows are the union's: past the program's own limit they
// would take long to count and longer to read.
const kMostCompared = 25;
const short = (text) => (text.length > 40 ? `${text.slice(0, 40)}…` : text);
const digits = (k, n) => k.toString(2).padStart(n, '0').split('');
// The two columns' heads: a name each, so that no two heads are alike even
// where the equations are.
const headsOf = (run) => [`F = ${run.equation}`, `G = ${run.versus}`];

// The second side's table: an equation's, or a function's first output's,
// the program's table of its equation with its don't-care rows apart.
async function secondOf(text, signal) {
  const read = await readFunctionIn(text, signal);
  if (!read) return tableOf(text, signal);
  if (read.error) return { error: read.error };
  const [output, ...more] = read.fn.outputs;
  return { ...await tableOf(read.equations[0], signal), care: careOf(output.values), name: output.name,
    more: more.length };
}

// A function of several outputs is compared by its first.
const firstOnly = (t, which) => `The ${which} function has ${t.more + 1} outputs; Compare takes the ` +
  `first, ${t.name}.`;

// Both sides' tables side by side; one that stops gets no verdict.
async function comparison(run, second, signal) {
  const outputs = run.read?.fn.outputs;
  const first = { status: run.status, warning: run.shape.warning, letters: run.shape.letters,
    stderr: run.stderrText, result: hasTable(run.shape) ? await run.result : null,
    care: outputs ? careOf(outputs[0].values) : null, name: outputs?.[0].name, more: (outputs?.length ?? 1) - 1 };
  const other = await second;
  const said = [];
  if (other.error) {
    said.push(`The function in “Compare with” cannot be read: ${other.error} There is no verdict.`);
    return { said, joint: null };
  }
  for (const [t, which] of [[first, 'first'], [other, 'second']]) if (t.more) said.push(firstOnly(t, which));
  const stopsSaid = (t, which) => `The ${which} equation stops: the program cannot evaluate it` +
    (t.stderr ? ` and says ${quoted(t.stderr)}.` : '.') + ' There is no verdict.';
  if (!first.result) said.push(stopsSaid(first, 'first'));
  if (!other.result) said.push(stopsSaid(other, 'second'));
  for (const [t, which] of [[first, 'first'], [other, 'second']])
    if (t.result && t.warning)
      said.push(`The ${which} equation carries the warning “WARNING: answer may contain errors”: ` +
        'its column is what the program computed, which may not be what was meant.');
  if (!first.result || !other.result) return { said, joint: null };
  const letters = new Set(first.letters + other.letters);
  if (letters.size > kMostCompared) {
    said.push(`Together the two have ${letters.size} variables; a comparison holds at most ` +
      `${kMostCompared}, as the program's own tables do.`);
    return { said, joint: null };
  }
  const joint = await compareTables(first, other, signal);
  const left = joint.rows - joint.compared;
  if (left === 1) said.push('The row where either side is don\'t-care is left out.');
  else if (left > 1) said.push(`The ${grouped(left)} rows where either side is don't-care are left out.`);
  return { said, joint, first, other };
}

// Rows that matter are named as such where some do not.
function verdictOf({ differing, rows, compared }) {
  if (compared === 0) return 'Nothing to compare: in every row one side or the other is don\'t-care.';
  const all = compared < rows ? `${grouped(compared)} rows that matter` : `${grouped(rows)} rows`;
  return differing === 0 ? `Equivalent: the same value in all ${all}.`
    : `Not equivalent: they differ in ${grouped(differing)} of ${compared < rows ? 'the ' : ''}${all}.`;
}

// A side's value in a row, X where it is don't-care.
const valueOf = (t, k) => (t.care && !t.care[k] ? 'X' : String(t.result[k]));

function note(text) {
  $('compare-note').textContent = text;
  $('compare-note').hidden = !text;
}

function drawComparison(run, { said, joint, first, other }, offer) {
  note(said.join(' '));
  if (!joint) return null;
  const { letters, rows, differing, differ, mapA, mapB } = joint;
  $('verdict').hidden = false;
  $('verdict').textContent = verdictOf(joint);
  $('only-box').hidden = differing === 0;
  const only = differing > 0 && $('only-differ').checked;
  const count = only ? differing : rows;
  const cells = (i) => {
    const k = only ? differ[i] : i;
    const a = valueOf(first, mapA(k));
    const b = valueOf(other, mapB(k));
    return [...(letters ? digits(k, letters.length) : []), a, b, a === b || a === 'X' || b === 'X' ? '' : '≠'];
  };
  const [f, g] = headsOf(run);
  const sight = showColumns($('compare'), {
    caption: only ? `The ${grouped(differing)} rows that differ, of ${grouped(rows)}`
      : `${grouped(rows)} rows over the variables of both, in the program's order`,
    heads: [...letters, short(f), short(g), 'Differs'],
    rows: count,
    cells,
    rowClass: (texts) => (texts.at(-1) ? 'differs' : ''),
  });
  offer({ name: 'compare', heads: [...letters, f, g], names: [...letters, 'F', 'G'],
    groups: [letters.length, 2], rows: count, cells: (i) => cells(i).slice(0, -1) });
  return sight;
}

// With no second equation: the equation's own column, as it would stand.
function drawAlone(run, offer) {
  const { stdout, shape } = run;
  if (!hasTable(shape)) {
    note('The equation stops: the program cannot evaluate it, so there is nothing to compare.');
    return null;
  }
  note('Only the equation is here. Type a second equation in “Compare with” and press Run: ' +
    'the page then says whether the two give the same value in every row, and shows the rows ' +
    'where they differ.');
  const dontCare = run.read?.fn.outputs[0].values;
  const cells = (k) => {
    const { values, result } = row(stdout, shape, k);
    return [...values, dontCare?.[k] === 2 ? 'X' : result];
  };
  const [f] = headsOf(run);
  const sight = showColumns($('compare'), {
    caption: `${grouped(shape.rows)} rows of the equation alone, in the program's order`,
    heads: [...shape.letters, short(f)],
    rows: shape.rows,
    cells,
    resultColumn: true,
  });
  offer({ name: 'compare', heads: [...shape.letters, f], names: [...shape.letters, 'F'],
    groups: [shape.letters.length, 1], rows: shape.rows, cells });
  return sight;
}

export default {
  name: 'compare',
  label: 'Compare',
  mount(part) {
    part.innerHTML = `<p id="verdict" class="verdict" hidden></p>
      <p id="compare-note"></p>
      <p id="only-box" hidden><label class="inline"><input id="only-differ" type="checkbox">
      Show only the rows that differ</label></p>
      <div class="table-box" tabindex="0" role="region" aria-label="The comparison" hidden>
        <table id="compare"></table></div>`;
  },

  // The second equation runs beside the first.
  begin(run, { signal }) {
    run.second = run.versus ? secondOf(run.versus, signal) : null;
    run.second?.catch(() => {});
  },

  // The verdict is worked out whatever the view, and said once it is known.
  settle(run, { signal, track, announce }) {
    if (!run.second) return;
    run.comparison = track(comparison(run, run.second, signal));
    run.comparison.then(({ joint }) => joint && announce(verdictOf(joint)), () => {});
  },

  clear(text) {
    note(text);
    $('verdict').hidden = true;
    $('verdict').textContent = '';
    $('only-box').hidden = true;
    clearColumns($('compare'));
  },

  show(run, { offer, redraw }) {
    this.clear('');
    $('only-differ').onchange = redraw;
    if (!run.comparison) return drawAlone(run, offer);
    note('Comparing: the program runs the second equation…');
    let sight = null;
    let closed = false;
    run.comparison.then((c) => {
      if (!closed) sight = drawComparison(run, c, offer);
    }, (error) => {
      if (!closed)
        note(error.message === 'stopped' ? 'Stopped before the comparison was done: there is no verdict.'
          : error.message);
    });
    return {
      close() {
        closed = true;
        sight?.close();
      },
    };
  },
};
