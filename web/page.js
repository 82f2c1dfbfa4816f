// The page around the program: the fields and their hints, the views of a
// result (the terminal, the table, the steps, a comparison), what the table
// says, the exports, and the state in the address. window.quorvane.run
// runs the program once and resolves to its exact bytes and status; the
// page itself goes through the same call, and every value it shows comes
// from one of the program's runs.
import { onAddressChange, putInAddress, stateInAddress } from './address.js';
import { exportTable, save } from './exports.js';
import { compareTables, countTrue } from './joint.js';
import { foreignNotation, rewrite } from './notation.js';
import { opening, preload, run, runQueued, stop, stopAll } from './program.js';
import { groupsOf, kMostGroups, kMostLetters, leftOver, stepsOf } from './steps.js';
import { kWarning, readTable, resultColumn, row } from './table.js';
import { keepOffline } from './update.js';
import { grouped, lineAsTerminal, linesOf, showColumns, showTable, showTerminal } from './view.js';

window.quorvane = { run, stop };

const $ = (id) => document.getElementById(id);
const kPrompt = new TextEncoder().encode('Enter Equation:\n');
const kViewKey = 'quorvane-view';
const kViews = ['terminal', 'table', 'steps', 'compare'];
// A comparison's rows are the union's: past the program's own limit they
// would take long to count and longer to read.
const kMostCompared = 25;

const utf8 = new TextDecoder();
const latin1 = new TextDecoder('latin1');
const latin1Bytes = (text) => Uint8Array.from(text, (ch) => ch.charCodeAt(0));
const shownText = (text) => utf8.decode(latin1Bytes(text));
const short = (text) => (text.length > 40 ? `${text.slice(0, 40)}…` : text);
const quoted = (text) => `“${text.length > 60 ? `${text.slice(0, 60)}…` : text}”`;

// Where the program's answer starts: right after its prompt.
function afterPrompt(stdout) {
  const limit = Math.min(stdout.length, 4096);
  for (let i = 0; i + kPrompt.length <= limit; i++)
    if (kPrompt.every((byte, k) => stdout[i + k] === byte)) return i + kPrompt.length;
  return 0;
}

const hasTable = (shape) => shape.letters !== null;

function problem(text) {
  $('problem').textContent = text;
  $('problem').hidden = !text;
}

// A field that holds a megabyte takes the browser most of a second to lay
// out, so an equation pasted that long is kept aside, whole, and the field
// shows its start; typing in the field again sets it aside.
const kLongestField = 4096;
let pasted = null;

function equationText() {
  return pasted ?? $('equation').value;
}

function keepLong() {
  const field = $('equation');
  if (field.value.length > kLongestField) {
    pasted = field.value;
    field.value = `${pasted.slice(0, 40)}…`;
    $('pasted').textContent = `The whole equation of ${pasted.length} characters is kept: ` +
      'Run hands it over as pasted.';
    $('pasted').hidden = false;
  } else if (pasted !== null) {
    pasted = null;
    $('pasted').hidden = true;
  }
}

// Says what a field will hand over, without changing a byte of it.
function hint(value, id) {
  const hints = [];
  const blank = value.search(/\s/);
  if (blank >= 0) {
    const word = value.trimStart().match(/^\S*/)[0];
    hints.push(`The program reads up to the first blank, so it will see only “${word}”. ` +
      'Leave out the blanks to give it the whole equation.');
  }
  const foreign = value.match(/[^\0-\x7f]/u)?.[0];
  if (foreign)
    hints.push(`Only the letters A–Z and a–z are variables; “${foreign}” is not one of them, ` +
      'and the program reads its bytes as other characters.');
  $(id).textContent = hints.join(' ');
  $(id).hidden = hints.length === 0;
}

// Another notation is named, and its rewrite offered; the field changes
// only when the button is pressed.
function notationHint(field, prefix) {
  const value = field.value;
  const said = value.length <= kLongestField ? foreignNotation(value) : [];
  $(prefix).hidden = said.length === 0;
  if (!said.length) return;
  const rewritten = rewrite(value);
  $(`${prefix}-text`).textContent = said.join(' ') + (rewritten === null
    ? ' The text does not read as one equation in the usual notation, so there is no rewrite to offer.'
    : ' Until you choose the rewrite, the program gets the field as it stands.');
  $(`${prefix}-use`).hidden = rewritten === null;
  $(`${prefix}-use`).textContent = `Use ${rewritten}`;
  $(`${prefix}-use`).onclick = () => {
    field.value = rewritten;
    field.dispatchEvent(new Event('input'));
    field.focus();
  };
}

function fieldChanged() {
  keepLong();
  hint(equationText(), 'hint');
  notationHint($('equation'), 'notation');
}

function versusChanged() {
  hint($('versus').value, 'versus-hint');
  notationHint($('versus'), 'versus-notation');
}

// What the result area shows: { stdout, shape, echo, stderr, equation,
// versus, result, steps, comparison, sight }; `result` is a promise of the
// result column, `steps` and `comparison` promises made when first needed.
let shown = null;
let download = null;
let forms = null;
let work = null; // aborts the work that follows a run: steps, comparison, forms

const currentView = () => {
  const view = localStorage.getItem(kViewKey);
  return kViews.includes(view) ? view : 'terminal';
};

function setView(name, { address = true } = {}) {
  localStorage.setItem(kViewKey, name);
  for (const view of kViews) {
    $(`view-${view}`).setAttribute('aria-pressed', String(view === name));
    $(`${view}-view`).hidden = view !== name;
  }
  if (address && shown) putInAddress(stateOf(shown), { replace: true });
  if (shown) draw();
}

const stateOf = ({ equation, versus }) =>
  ({ eq: equation, vs: versus, view: currentView() === 'terminal' ? '' : currentView() });

// The table in view, as the exports take it.
let inView = null;

function draw() {
  shown.sight?.close();
  shown.sight = null;
  inView = null;
  const view = currentView();
  const { stdout, shape } = shown;
  if (view === 'table') {
    $('table').hidden = !hasTable(shape);
    $('no-table').hidden = hasTable(shape);
    if (hasTable(shape)) {
      shown.sight = showTable($('table'), stdout, shape);
      inView = programTable();
    }
  } else if (view === 'steps') {
    drawSteps();
  } else if (view === 'compare') {
    drawComparison();
  } else {
    const table = hasTable(shape);
    const before = linesOf(stdout, shape.start, table ? shape.first : stdout.length);
    shown.sight = showTerminal($('terminal'), {
      before,
      rows: table ? shape.rows : 0,
      rowText: (k) => lineAsTerminal(stdout.subarray(shape.first + k * shape.rowLength,
        shape.first + (k + 1) * shape.rowLength - 1)),
      after: shape.warning ? [kWarning] : [],
    });
    if (table) inView = programTable();
  }
  offerExports();
}

function offerExports() {
  $('exports').hidden = !inView;
  $('export-what').textContent = { table: 'the table', steps: 'the steps', compare: 'the comparison' }[
    inView?.name] ?? 'the table';
}

const digits = (k, n) => k.toString(2).padStart(n, '0').split('');

function programTable() {
  const { stdout, shape } = shown;
  return {
    name: 'table',
    heads: [...shape.letters, 'result'],
    groups: [shape.letters.length, 1],
    rows: shape.rows,
    cells: (k) => {
      const { values, result } = row(stdout, shape, k);
      return [...values, result];
    },
  };
}

// One group's head: its text as the echo writes it, its main operator
// marked by a box and weight, and named in words for a screen reader.
const kNames = { '!': 'NOT', '*': 'AND', '@': 'XOR', '+': 'OR' };
function groupHead(text, op) {
  const head = document.createDocumentFragment();
  const code = document.createElement('code');
  const mark = document.createElement('mark');
  mark.className = 'main-op';
  mark.textContent = text[op];
  code.append(shownText(text.slice(0, op)), mark, shownText(text.slice(op + 1)));
  const words = document.createElement('span');
  words.className = 'visually-hidden';
  words.textContent = `, main operator ${text[op]}, ${kNames[text[op]]}`;
  head.append(code, words);
  return head;
}

function stepsNote(text) {
  $('steps-note').textContent = text;
}

function drawSteps() {
  const { shape, echo, stderr } = shown;
  $('steps').replaceChildren();
  if (!hasTable(shape)) {
    stepsNote('There are no steps: the program stopped before it wrote a table' +
      (stderr ? `, saying ${quoted(stderr)}.` : '.') + ' The equation cannot be evaluated.');
    return;
  }
  const groups = groupsOf(echo);
  if (shape.letters.length > kMostLetters || groups.length > kMostGroups) {
    stepsNote(`There are no steps for ${shape.letters.length} variables and ${groups.length} ` +
      `operators: each step is a run of the program, so they are shown up to ${kMostLetters} ` +
      `variables and ${kMostGroups} operators. Table and Terminal show the whole table.`);
    return;
  }
  const mine = shown;
  if (!shown.steps) {
    shown.steps = track(stepsOf(echo, shape.letters, (text) => tableOf(latin1Bytes(text))));
    shown.steps.catch(() => {});
  }
  stepsNote('Working out the steps: the program runs each group on its own…');
  shown.steps.then((columns) => {
    if (shown === mine && currentView() === 'steps') showSteps(columns);
  }, (error) => {
    if (shown !== mine) return;
    shown.steps = null;
    stepsNote(error.message === 'stopped' ? 'Stopped before the steps were worked out.' : error.message);
  });
}

function stepsSentence(columns) {
  const { echo, shape } = shown;
  const made = columns.length
    ? 'Each column is a group of the echo line, in the order the program works them out, ' +
      'and each was run through the program on its own. The last column is the result.'
    : 'The equation has no group for the program to work out first: the last column is the result.';
  if (!shape.warning) return made;
  const shape2 = leftOver(echo);
  if (!shape2) return `${made} The program warns that the answer may contain errors.`;
  const parts = [];
  if (shape2.skipped.length)
    parts.push(`${shape2.skipped.map((c) => quoted(shownText(c))).join(', ')} ` +
      `${shape2.skipped.length > 1 ? 'are not operators' : 'is not an operator'}, and the program skips it.`);
  const left = shape2.left.map((t) => quoted(shownText(t)));
  parts.push(`${left.join(' and ')} ${left.length > 1 ? 'are' : 'is'} left over, with no operator ` +
    `to join ${left.length > 1 ? 'them' : 'it'}, and each row shows ${quoted(shownText(shape2.shows))}.`);
  return `The program warns that the answer may contain errors: it read the equation as ` +
    `${quoted(shownText(echo))}. ${parts.join(' ')}` +
    (columns.length ? ' The columns between are the groups it reads as they stand.' : '');
}

function showSteps(columns) {
  const { stdout, shape, echo } = shown;
  stepsNote(stepsSentence(columns));
  const whole = groupsOf(echo).find((g) => g.text === echo);
  const last = shape.warning ? 'Result' : whole ? groupHead(echo, whole.op) : shownText(echo);
  const lastText = shape.warning ? 'result' : echo;
  const cells = (k) => {
    const { values, result } = row(stdout, shape, k);
    return [...values, ...columns.map((c) => String(c.get(k))), result];
  };
  shown.sight = showColumns($('steps'), {
    caption: `${grouped(shape.rows)} rows, in the program's order: each step's column, then the result`,
    heads: [...shape.letters, ...columns.map((c) => groupHead(c.text, c.op)), last],
    rows: shape.rows,
    cells,
    resultColumn: true,
  });
  inView = {
    name: 'steps',
    heads: [...shape.letters, ...columns.map((c) => shownText(c.text)), shownText(lastText)],
    groups: [shape.letters.length, columns.length, 1],
    rows: shape.rows,
    cells,
  };
  offerExports();
}

// The program's table of an equation given as bytes, run beside run()'s.
async function tableOf(bytes) {
  const input = new Uint8Array(bytes.length + 1);
  input.set(bytes);
  input[bytes.length] = 10;
  const { stdout, stderr, status } = await runQueued(input);
  const shape = readTable(stdout, afterPrompt(stdout));
  const table = {
    status,
    warning: shape.warning,
    letters: shape.letters,
    rows: shape.rows,
    echo: shape.echo ? latin1.decode(stdout.subarray(...shape.echo)) : null,
    stderr: utf8.decode(stderr).trim(),
    result: null,
  };
  if (hasTable(shape) && status === 0) table.result = await resultColumn(stdout, shape, work?.signal);
  return table;
}

// Both equations' tables side by side; one that stops gets no verdict.
async function comparison(view, second, signal) {
  const first = { status: view.status, warning: view.shape.warning, letters: view.shape.letters,
    stderr: view.stderr, result: hasTable(view.shape) ? await view.result : null };
  const other = await second;
  const said = [];
  const stopsSaid = (t, which) => `The ${which} equation stops: the program cannot evaluate it` +
    (t.stderr ? ` and says ${quoted(t.stderr)}.` : '.');
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
  return { said, joint: await compareTables(first, other, signal), first, other };
}

function drawComparison() {
  const note = $('compare-note');
  $('compare').replaceChildren();
  $('verdict').hidden = true;
  $('only-box').hidden = true;
  if (!shown.comparison) {
    note.textContent = 'Type a second equation in “Compare with” and press Run: the page then ' +
      'says whether the two give the same value in every row, and shows the rows where they differ.';
    return;
  }
  note.textContent = 'Comparing: the program runs the second equation…';
  const mine = shown;
  shown.comparison.then((c) => {
    if (shown === mine && currentView() === 'compare') showComparison(c);
  }, (error) => {
    if (shown === mine)
      note.textContent = error.message === 'stopped' ? 'Stopped before the comparison was done.' : error.message;
  });
}

function showComparison({ said, joint, first, other }) {
  $('compare-note').textContent = said.join(' ');
  if (!joint) return;
  const { letters, rows, differing, differ, mapA, mapB } = joint;
  $('verdict').hidden = false;
  $('verdict').textContent = differing === 0
    ? `Equivalent: the same value in all ${grouped(rows)} rows.`
    : `Not equivalent: they differ in ${grouped(differing)} of ${grouped(rows)} rows.`;
  $('announce').textContent = $('verdict').textContent;
  $('only-box').hidden = differing === 0;
  const only = differing > 0 && $('only-differ').checked;
  const count = only ? differing : rows;
  const cells = (i) => {
    const k = only ? differ[i] : i;
    const a = String(first.result[mapA(k)]);
    const b = String(other.result[mapB(k)]);
    return [...(letters ? digits(k, letters.length) : []), a, b, a === b ? '' : '≠'];
  };
  shown.sight = showColumns($('compare'), {
    caption: only ? `The ${grouped(differing)} rows that differ, of ${grouped(rows)}`
      : `${grouped(rows)} rows over the variables of both, in the program's order`,
    heads: [...letters, short(shown.equation), short(shown.versus), 'Differs'],
    rows: count,
    cells,
    rowClass: (texts) => (texts.at(-1) ? 'differs' : ''),
  });
  inView = {
    name: 'compare',
    heads: [...letters, shown.equation, shown.versus],
    groups: [letters.length, 2],
    rows: count,
    cells: (i) => cells(i).slice(0, -1),
  };
  offerExports();
}

// What the table says, from its result column: how many rows are true.
async function says(view, signal) {
  const result = await view.result;
  const k = await countTrue(result, signal);
  const n = view.shape.rows;
  const what = k === n ? ' Always true: a tautology.' : k === 0 ? ' Never true: a contradiction.' : '';
  $('says').textContent = `True in ${grouped(k)} of ${grouped(n)} rows.${what}`;
  $('says').hidden = false;
}

// The whole output as a file to download. A Blob copies what it is given,
// so a table of gigabytes is handed over a slice at a time, each in a task
// of its own, and only when asked for.
const kSlice = 16 << 20;
async function whole(stdout) {
  let blob = new Blob([], { type: 'application/octet-stream' });
  for (let at = 0; at < stdout.length; at += kSlice) {
    blob = new Blob([blob, stdout.subarray(at, at + kSlice)], { type: 'application/octet-stream' });
    if (stdout.length > kSlice) await new Promise((resolve) => setTimeout(resolve, 0));
  }
  return URL.createObjectURL(blob);
}

// The link takes the whole output's URL if that output is still shown.
function offerDownload(stdout, url) {
  if (shown?.stdout !== stdout) {
    URL.revokeObjectURL(url);
    return false;
  }
  download = url;
  $('raw').href = url;
  return true;
}

async function downloadWhole(event) {
  if (!shown || $('raw').href.startsWith('blob:')) return;
  event.preventDefault();
  const { stdout } = shown;
  $('raw-size').textContent = `${stdout.length} bytes; preparing it…`;
  if (!offerDownload(stdout, await whole(stdout))) return;
  $('raw-size').textContent = `${stdout.length} bytes`;
  $('raw').click();
}

function show({ stdout, stderr, status }, { equation, versus, second }) {
  const shape = readTable(stdout, afterPrompt(stdout));
  const stderrText = utf8.decode(stderr).trim();
  shown = { stdout, shape, status, equation, versus, stderr: stderrText,
    echo: shape.echo ? latin1.decode(stdout.subarray(...shape.echo)) : '' };
  const { signal } = work;
  if (hasTable(shape)) {
    shown.result = track(resultColumn(stdout, shape, signal));
    shown.result.catch(() => {});
    track(says(shown, signal)).catch(() => {});
  }
  if (second) {
    shown.comparison = track(comparison(shown, second, signal));
    shown.comparison.catch(() => {});
  }
  $('echo').textContent = shape.echo ? lineAsTerminal(stdout.subarray(...shape.echo)) : '';
  $('echo-line').hidden = !shape.echo;
  $('warning').hidden = !shape.warning;
  const messages = stderr.length > 0;
  $('messages').hidden = !messages;
  $('stderr').textContent = messages ? linesOf(stderr, 0, stderr.length).join('\n') : '';
  if (download) URL.revokeObjectURL(download);
  download = null;
  $('raw').href = '#download';
  if (stdout.length <= kSlice) whole(stdout).then((url) => offerDownload(stdout, url));
  $('raw-size').textContent = `${stdout.length} bytes`;
  const rows = hasTable(shape) ? `${shape.rows} ${shape.rows === 1 ? 'row' : 'rows'}` : 'no table';
  const words = status === 0 ? 'Finished' : 'Stopped: the equation cannot be evaluated';
  $('status').textContent = `${words}: ${rows}. Exit status ${status}.`;
  $('announce').textContent = `${words}: ${rows}.`;
  $('result').hidden = false;
  showFormsFor(shown, signal);
  draw();
}

// The forms of the table, in a part of their own that the forms module
// fills; loaded when first needed.
// The run counts as under way until the forms have started their own work,
// which they track themselves.
function showFormsFor(view, signal) {
  forms?.close();
  forms = null;
  const started = import('./forms.js').then(async ({ showForms }) => {
    if (shown !== view) return;
    const table = hasTable(view.shape) && view.status === 0 ? {
      letters: view.shape.letters, rows: view.shape.rows, warning: view.shape.warning,
      result: await view.result } : null;
    if (shown !== view) return;
    forms = showForms($('forms'), table, {
      tableOf: (equation) => tableOf(new TextEncoder().encode(equation)),
      compare: (a, b) => compareTables(a, b, signal),
      putInCompare: (equation) => {
        $('versus').value = equation;
        versusChanged();
        $('versus').focus();
      },
      signal,
      track,
    });
  });
  track(started).catch(() => {});
}

// The Stop button stays on while anything of the newest run is under way:
// the run itself, and the steps, comparison and forms that follow it.
let generation = 0;
let pending = 0;

function busy(running) {
  $('stop').disabled = !running;
  document.body.dataset.running = String(running);
}

function track(promise) {
  const mine = generation;
  pending++;
  busy(true);
  const done = () => {
    if (mine === generation && --pending === 0) busy(false);
  };
  promise.then(done, done);
  return promise;
}

function endWork() {
  generation++;
  pending = 0;
  work?.abort();
  stopAll();
}

let lastVersus = '';

async function submit(event, { fromAddress = false } = {}) {
  event?.preventDefault();
  endWork();
  work = new AbortController();
  const mine = generation;
  const equation = equationText();
  const versus = $('versus').value;
  // The last result is let go now, while the program runs, not while the
  // next one is being shown: a table of gigabytes takes a while to free.
  if (shown) {
    shown.sight?.close();
    shown = null;
    $('terminal').replaceChildren();
    $('terminal').style.height = '';
    for (const id of ['table', 'steps', 'compare']) $(id).replaceChildren();
  }
  forms?.close();
  forms = null;
  $('forms').hidden = true;
  $('says').hidden = true;
  $('verdict').hidden = true;
  // A newly typed second equation is what the learner wants to see.
  if (versus && versus !== lastVersus && !fromAddress) setView('compare', { address: false });
  lastVersus = versus;
  if (!fromAddress) putInAddress({ eq: equation, vs: versus, view: stateOf({ equation, versus }).view });
  problem('');
  $('status').textContent = 'Running…';
  $('result').hidden = false;
  // The program reads one word, as from a terminal where Enter was pressed.
  const second = versus ? tableOf(new TextEncoder().encode(versus)) : null;
  second?.catch(() => {});
  try {
    const result = await track(run(`${equation}\n`));
    if (mine !== generation) return;
    show(result, { equation, versus, second });
    $('result').scrollIntoView({ block: 'start' });
  } catch (error) {
    // A run that was stopped, by Stop or by a newer run, leaves the page to
    // whoever stopped it.
    if (mine === generation && error.message !== 'stopped') {
      $('status').textContent = '';
      problem(error.message);
    }
  }
}

function stopNow() {
  if (document.body.dataset.running !== 'true') return;
  const main = !shown;
  endWork();
  busy(false);
  if (main) $('status').textContent = 'Stopped.';
  $('announce').textContent = 'Stopped.';
}

function exporter(kind) {
  return async () => {
    const table = inView;
    if (!table) return;
    const button = $(`export-${kind}`);
    button.disabled = true;
    try {
      const { blob, file } = await exportTable(kind, table, (share) => {
        if (table.rows > 100000) $('export-progress').textContent = `${Math.min(100, Math.round(share * 100))} %`;
      });
      save(blob, file);
    } finally {
      $('export-progress').textContent = '';
      button.disabled = false;
    }
  };
}

function openState(state) {
  $('equation').value = state.eq;
  pasted = null;
  $('versus').value = state.vs;
  lastVersus = state.vs;
  fieldChanged();
  versusChanged();
  if (kViews.includes(state.view)) setView(state.view, { address: false });
  submit(null, { fromAddress: true });
}

async function start() {
  $('served').hidden = true;
  $('form').addEventListener('submit', submit);
  $('stop').addEventListener('click', stopNow);
  $('raw').addEventListener('click', downloadWhole);
  addEventListener('keydown', (event) => {
    if (event.key === 'Escape') stopNow();
  });
  $('equation').addEventListener('input', fieldChanged);
  $('versus').addEventListener('input', versusChanged);
  for (const view of kViews) $(`view-${view}`).addEventListener('click', () => setView(view));
  $('only-differ').addEventListener('change', () => shown && draw());
  for (const kind of ['csv', 'md', 'tex']) $(`export-${kind}`).addEventListener('click', exporter(kind));
  setView(currentView(), { address: false });
  onAddressChange(openState);
  keepOffline((takeOver) => {
    $('update').hidden = false;
    $('update-now').addEventListener('click', takeOver, { once: true });
  });
  preload();
  const linked = stateInAddress();
  if (linked !== null) openState(linked);
  try {
    const bytes = await opening();
    $('banner').textContent = new TextDecoder().decode(bytes.subarray(0, afterPrompt(bytes) - 1));
    document.body.dataset.ready = 'true';
  } catch (error) {
    problem(error.message);
    document.body.dataset.ready = 'failed';
  }
}

start();
