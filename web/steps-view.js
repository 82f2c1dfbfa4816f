// The Steps view: a column for each group of the echo, each the program's
// own table of that group, then the result; or a sentence saying why there
// are none. The echo is planned in a worker and the groups run on the
// page's lanes, once a run, however often the view is shown.
import { hasTable, latin1Bytes, quoted, shownText, tableOf } from './outcome.js';
import { kMostGroups, kMostLetters, operatorsIn, planInWorker, stepsOf } from './steps.js';
import { row } from './table.js';
import { clearColumns, grouped, headText, showColumns } from './view.js';

const $ = (id) => document.getElementById(id);
const kNames = { '!': 'NOT', '*': 'AND', '@': 'XOR', '+': 'OR' };

// Where a head may break: after the operators at the shallowest depth of
// parentheses that leaves no piece longer than kLongestPiece, so that a long
// group wraps where a reader would and a short one not at all.
const kLongestPiece = 16;
function breaksOf(text) {
  const depths = [];
  let depth = 0;
  for (const ch of text) {
    if (ch === '(') depth++;
    else if (ch === ')') depth--;
    depths.push('*@+'.includes(ch) ? depth : -1);
  }
  for (let most = 0; ; most++) {
    const breaks = [];
    let longest = 0;
    let from = 0;
    depths.forEach((d, i) => {
      if (d < 0 || d > most || i === text.length - 1) return;
      breaks.push(i + 1);
      longest = Math.max(longest, i + 1 - from);
      from = i + 1;
    });
    longest = Math.max(longest, text.length - from);
    if (longest <= kLongestPiece || most >= depth + text.length) return breaks;
  }
}

// A head's text as pieces that never break inside, the main operator, at
// `at`, marked by a box and weight.
function headCode(shown, at) {
  const code = document.createElement('code');
  let from = 0;
  for (const end of [...(shown.length > kLongestPiece ? breaksOf(shown) : []), shown.length]) {
    const span = document.createElement('span');
    span.className = 'piece';
    if (at >= from && at < end) {
      const mark = document.createElement('mark');
      mark.className = 'main-op';
      mark.textContent = shown[at];
      span.append(shown.slice(from, at), mark, shown.slice(at + 1, end));
    } else {
      span.textContent = shown.slice(from, end);
    }
    code.append(span);
    if (end < shown.length) code.append(document.createElement('wbr'));
    from = end;
  }
  return code;
}

// One group's head: its text without the outer parentheses, its main
// operator marked, and the whole group and its operator named in words
// for a screen reader.
function groupHead(text, op) {
  const head = document.createDocumentFragment();
  const said = shownText(text);
  const full = headText(said, Infinity);
  const shown = headText(said);
  // Where the main operator stands in what is shown, if it is shown at all;
  // a group with bytes outside ASCII is shown unmarked.
  const at = op - (full === said ? 0 : 1);
  const marked = said === text && at >= 0 && at < shown.length && shown[at] === text[op];
  const code = headCode(shown, marked ? at : -1);
  code.title = said;
  const words = document.createElement('span');
  words.className = 'visually-hidden';
  words.textContent = `, the group ${said}, main operator ${text[op]}, ${kNames[text[op]]}`;
  head.append(code, words);
  return head;
}

// Works out the run's steps once: the plan, then a run of each group.
function stepsFor(run, { signal, track }) {
  if (!run.steps) {
    run.steps = track((async () => {
      const plan = await planInWorker(run.echo, run.shape.warning, signal);
      if (!plan.groups) return { plan, columns: null };
      const columns = await stepsOf(plan.groups, run.shape.letters,
        (text) => tableOf(latin1Bytes(text), signal));
      return { plan, columns };
    })());
    // A stopped run's steps are worked out again when next asked for.
    run.steps.catch(() => { run.steps = null; });
  }
  return run.steps;
}

function sentence(run, plan, columns) {
  const { echo, shape } = run;
  const made = columns.length
    ? 'Each column is a group of the echo line, in the order the program works them out, ' +
      'and each was run through the program on its own. The last column is the result.'
    : 'The equation has no group for the program to work out first: the last column is the result.';
  if (!shape.warning) return made;
  const left = plan.left;
  if (!left) return `${made} The program warns that the answer may contain errors.`;
  const parts = [];
  if (left.skipped.length)
    parts.push(`${left.skipped.map((c) => quoted(shownText(c))).join(', ')} ` +
      `${left.skipped.length > 1 ? 'are not operators' : 'is not an operator'}, and the program skips it.`);
  const over = left.left.map((t) => quoted(shownText(t)));
  parts.push(`${over.join(' and ')} ${over.length > 1 ? 'are' : 'is'} left over, with no operator ` +
    `to join ${over.length > 1 ? 'them' : 'it'}, and each row shows ${quoted(shownText(left.shows))}.`);
  return 'The program warns that the answer may contain errors: it read the equation as ' +
    `${quoted(shownText(echo))}. ${parts.join(' ')}` +
    (columns.length ? ' The columns between are the groups it reads as they stand.' : '');
}

function note(text) {
  $('steps-note').textContent = text;
  $('steps-note').hidden = !text;
}

function draw(run, plan, columns, offer) {
  const { stdout, shape, echo } = run;
  note(sentence(run, plan, columns));
  const last = shape.warning ? 'Result'
    : plan.wholeOp >= 0 ? groupHead(echo, plan.wholeOp) : headText(shownText(echo));
  const cells = (k) => {
    const { values, result } = row(stdout, shape, k);
    return [...values, ...columns.map((c) => String(c.get(k))), result];
  };
  const sight = showColumns($('steps'), {
    caption: `${grouped(shape.rows)} rows, in the program's order: each step's column, then the result`,
    heads: [...shape.letters, ...columns.map((c) => groupHead(c.text, c.op)), last],
    rows: shape.rows,
    cells,
    resultColumn: true,
  });
  offer({
    name: 'steps',
    heads: [...shape.letters, ...columns.map((c) => shownText(c.text)), run.equation],
    names: [...shape.letters, ...columns.map((c, i) => `S${i + 1}`), 'F'],
    groups: [shape.letters.length, columns.length, 1],
    rows: shape.rows,
    cells,
  });
  return sight;
}

export default {
  name: 'steps',
  label: 'Steps',
  mount(part) {
    part.innerHTML = `<p id="steps-note"></p>
      <div class="table-box" tabindex="0" role="region" aria-label="The steps" hidden>
        <table id="steps"></table></div>`;
  },

  clear(text) {
    note(text);
    clearColumns($('steps'));
  },

  show(run, ctx) {
    const { shape, stderrText } = run;
    this.clear('');
    if (!hasTable(shape)) {
      note('There are no steps: the program stopped before it wrote a table' +
        (stderrText ? `, saying ${quoted(stderrText)}.` : '.') + ' The equation cannot be evaluated.');
      return null;
    }
    const n = shape.letters.length;
    const tooMany = (operators) => `There are no steps for ${n} ${n === 1 ? 'variable' : 'variables'} and ` +
      `${grouped(operators)} operators: each step is a run of the program, so they are shown up to ` +
      `${kMostLetters} variables and ${kMostGroups} operators. Table and Terminal show the whole table.`;
    if (shape.letters.length > kMostLetters) {
      note(tooMany(operatorsIn(run.echo)));
      return null;
    }
    let sight = null;
    let closed = false;
    note('Working out the steps: the program runs each group on its own…');
    stepsFor(run, ctx).then(({ plan, columns }) => {
      if (closed) return;
      if (!columns) note(tooMany(plan.operators));
      else sight = draw(run, plan, columns, ctx.offer);
    }, (error) => {
      if (!closed)
        note(error.message === 'stopped' ? 'Stopped before the steps were worked out.' : error.message);
    });
    return {
      close() {
        closed = true;
        sight?.close();
      },
    };
  },
};
