// The page around the program: it wires the fields, the views, the
// summary, the forms, the exports and the address to the runs, and draws
// nothing itself. window.quorvane.run runs the program once and resolves to
// its exact bytes and status; the page itself goes through the same call,
// and every value it shows comes from one of the program's runs.
import { onAddressChange, putInAddress, stateInAddress } from './address.js';
import circuitView from './circuit-view.js';
import compareView from './compare-view.js';
import { exportTable, save } from './exports.js';
import { equationText, fillFields, putInVersus, setEquation, watchFields } from './fields.js';
import { outputsOf, readFunctionIn, steppedText } from './function-run.js';
import { forgetOpened, openTable } from './open-table.js';
import { compareTables } from './joint.js';
import { afterPrompt, hasTable, outcomeOf, tableOf } from './outcome.js';
import { opening, preload, run, stop, stopAll } from './program.js';
import stepsView from './steps-view.js';
import {
  announce, clearSummary, downloadWhole, exportProgress, offerExports, problem, showBanner, showResultPart,
  showSummary, status,
} from './summary.js';
import { resultColumn } from './table.js';
import tableView from './table-view.js';
import terminalView from './terminal-view.js';
import { keepOffline } from './update.js';
import { mountView, pressView } from './view.js';

window.quorvane = { run, stop };

const $ = (id) => document.getElementById(id);
const kViewKey = 'quorvane-view';
const views = [terminalView, tableView, stepsView, compareView, circuitView];
const viewNamed = (name) => views.find((v) => v.name === name);

// The run shown: { equation, versus, ...outcomeOf(bytes), result }, or
// null while none is; `waiting` is what every view says meanwhile.
let shown = null;
let waiting = '';
let drawn = null; // what the view in sight drew, to close
let inView = null; // the table the exports take
let forms = null;
let work = null; // aborts everything of the newest run
// The cell a press stepped, which the next run's views and map give the
// focus back to: { where: 'table' | 'map', output, row, scrollTop }.
let refocus = null;

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

// The view in sight is this tab's own; the one chosen last, in any tab, is
// kept for the next visit.
let inSight = viewNamed(localStorage.getItem(kViewKey)) ?? views[0];
const currentView = () => inSight;

// A link with a second equation and no view opens Compare, so the terminal
// is named when a second equation stands beside it.
const stateOf = ({ equation, versus }) => {
  const view = currentView().name;
  return { eq: equation, vs: versus, view: view === 'terminal' && !versus ? '' : view };
};

function offer(table) {
  inView = table;
  offerExports(table);
}

function draw() {
  drawn?.close();
  drawn = null;
  offer(null);
  const view = currentView();
  if (!shown) {
    view.clear(waiting);
    return;
  }
  const mine = shown;
  drawn = view.show(shown, {
    signal: work.signal,
    track,
    offer: (table) => shown === mine && currentView() === view && offer(table),
    redraw: () => shown === mine && draw(),
    press: pressFor(mine),
    refocus,
  });
}

function setView(name, { address = true } = {}) {
  inSight = viewNamed(name) ?? views[0];
  localStorage.setItem(kViewKey, inSight.name);
  pressView(views, inSight);
  if (address && shown) putInAddress(stateOf(shown), { replace: true });
  draw();
}

// Every view, the summary and the forms forget the run before: nothing of
// it may stand beside the next. `sentence` is what the views say meanwhile.
function forget(sentence) {
  drawn?.close();
  drawn = null;
  shown = null;
  waiting = sentence;
  for (const view of views) view.clear(sentence);
  offer(null);
  forms?.close();
  forms = null;
  clearSummary(sentence);
}

// The forms of the table, in a part of their own that the forms module
// fills; loaded when first needed. The run counts as under way until the
// forms have started their own work, which they track themselves.
function showFormsFor(view, signal) {
  const focus = refocus;
  const started = import('./forms.js').then(async ({ showForms }) => {
    if (shown !== view) return;
    const table = hasTable(view.shape) && view.status === 0;
    // An equation's forms stand alone; a function's come under each
    // output's name.
    const outputs = !table ? null : view.read ? await view.outputs : [{
      name: null, letters: view.shape.letters, warning: view.shape.warning, care: null,
      result: await view.result }];
    if (shown !== view) return;
    forms = showForms($('forms'), outputs, {
      tableOf: (equation) => tableOf(equation, signal),
      compare: (a, b) => compareTables(a, b, signal),
      putInCompare: putInVersus,
      found: (output, kind, form) => output === 0 && view.minimal[kind].resolve(form),
      lost: (output, error) => output === 0 && ['sum', 'product'].forEach((kind) => view.minimal[kind].reject(error)),
      press: pressFor(view),
      refocus: focus,
      since: view.since,
      signal,
      track,
    });
  });
  track(started).catch((error) => {
    if (shown === view && error.message !== 'stopped') problem(error.message);
  });
}

// A press steps a row of an output, 0 to 1 to don't-care to 0: the field
// is rewritten to the function that makes, and run. An equation's table
// steps too, the first press turning it into its function, while the
// field's undo history keeps the equation. A kept-aside paste is not
// stepped, since the field does not hold it, nor a table of more letters
// than a function may have.
function pressFor(view) {
  const letters = view.shape.letters?.length ?? 0;
  if (!view.read && (view.equation.length > 4096 || letters < 1 || letters > 16 || view.status !== 0))
    return null;
  return guarded(async (where, output, row, scrollTop = 0) => {
    if (shown !== view) return;
    const text = await steppedText(view, output, row);
    if (shown !== view) return;
    setEquation(text);
    await submit(null, { pressed: { where, output, row, scrollTop } });
  });
}

function show(result, request) {
  shown = Object.assign(request, outcomeOf(result));
  const { signal } = work;
  if (hasTable(shown.shape)) {
    shown.result = track(resultColumn(shown.stdout, shown.shape, signal));
    shown.result.catch(() => {});
  }
  if (shown.read) {
    shown.outputs = track(outputsOf(shown, signal));
    shown.outputs.catch(() => {});
  }
  // The first output's minimal forms, for the views that draw them, as the
  // forms find them.
  shown.minimal = { sum: awaited(signal), product: awaited(signal) };
  const ctx = { signal, track, announce };
  for (const view of views) view.settle?.(shown, ctx);
  showSummary(shown, ctx);
  showFormsFor(shown, signal);
  draw();
  // The pressed cell gets the focus back once, not at every later draw.
  refocus = null;
}

// A promise resolved from outside, which a stop rejects.
function awaited(signal) {
  let resolve;
  let reject;
  const promise = new Promise((yes, no) => {
    resolve = yes;
    reject = no;
  });
  promise.catch(() => {});
  signal.addEventListener('abort', () => reject(new Error('stopped')), { once: true });
  return { promise, resolve, reject };
}

function endWork() {
  generation++;
  pending = 0;
  work?.abort();
  stopAll();
}

let lastVersus = '';

async function submit(event, { fromAddress = false, pressed = null, fromFile = false } = {}) {
  event?.preventDefault();
  endWork();
  work = new AbortController();
  refocus = pressed;
  if (!fromFile) forgetOpened();
  const mine = generation;
  // `since` is when Run was pressed, which the forms' times count from.
  const request = { equation: equationText(), versus: $('versus').value, since: performance.now() };
  // The last result is let go now, while the program runs, not while the
  // next one is being shown: a table of gigabytes takes a while to free.
  forget('The program is running…');
  problem('');
  showResultPart();
  // A newly typed second equation is what the learner wants to see.
  if (request.versus && request.versus !== lastVersus && !fromAddress) setView('compare', { address: false });
  lastVersus = request.versus;
  if (!fromAddress) putInAddress(stateOf(request));
  for (const view of views) view.begin?.(request, { signal: work.signal, track });
  try {
    request.read = await track(readFunctionIn(request.equation, work.signal));
    if (mine !== generation) return;
    // A function that contradicts itself gets one sentence and no run.
    if (request.read?.error) {
      forget('');
      status('');
      showResultPart(false);
      problem(request.read.error);
      return;
    }
    // The program reads one word, as from a terminal where Enter was pressed;
    // a function's first output is given as its equation.
    const input = request.read ? request.read.equations[0] : request.equation;
    const result = await track(run(`${input}\n`));
    if (mine !== generation) return;
    show(result, request);
    // After a press the page stays where the pressed cell is.
    if (!pressed) $('result').scrollIntoView({ block: 'start' });
  } catch (error) {
    // A run that was stopped, by Stop or by a newer run, leaves the page to
    // whoever stopped it.
    if (mine === generation && error.message !== 'stopped') {
      forget('');
      status('');
      problem(error.message);
    }
  }
}

function stopNow() {
  if (document.body.dataset.running !== 'true') return;
  const running = !shown;
  endWork();
  busy(false);
  if (running) {
    forget('Stopped before the program finished: there is nothing to show. Run it again to see it.');
    status('Stopped.');
  }
  announce('Stopped.');
}

function exporter(kind) {
  return async () => {
    const table = inView;
    if (!table) return;
    const button = $(`export-${kind}`);
    button.disabled = true;
    try {
      const { blob, file } = await exportTable(kind, table, (share) => {
        if (table.rows > 100000) exportProgress(`${Math.min(100, Math.round(share * 100))} %`);
      });
      save(blob, file);
    } finally {
      exportProgress('');
      button.disabled = false;
    }
  };
}

function openState(state) {
  fillFields(state.eq, state.vs);
  lastVersus = state.vs;
  const view = viewNamed(state.view) ? state.view : state.vs ? 'compare' : '';
  if (view) setView(view, { address: false });
  return submit(null, { fromAddress: true });
}

// Nothing a run or a field meets may end as an exception in the console:
// it is said on the page instead.
function guarded(handler) {
  return (...args) => Promise.resolve().then(() => handler(...args)).catch((error) => {
    busy(false);
    problem(`Something went wrong in the page: ${error.message}. Reload it and try again.`);
  });
}

async function start() {
  $('served').hidden = true;
  for (const view of views) mountView(view, () => setView(view.name));
  $('form').addEventListener('submit', (event) => {
    event.preventDefault();
    guarded(submit)(event);
  });
  $('stop').addEventListener('click', stopNow);
  $('raw').addEventListener('click', downloadWhole);
  addEventListener('keydown', (event) => {
    if (event.key === 'Escape') stopNow();
  });
  watchFields();
  // A file is read as a run is made: Stop or a newer run ends the reading,
  // and an answer that comes after either is let go.
  openTable({
    reading: () => {
      endWork();
      work = new AbortController();
      problem('');
      return { mine: generation, signal: work.signal, track };
    },
    opened: (text, mine) => {
      if (mine !== generation) return false;
      fillFields(text, $('versus').value);
      guarded(submit)(null, { fromFile: true });
      return true;
    },
    refused: (sentence, mine) => {
      if (mine !== generation) return;
      endWork();
      busy(false);
      forget('');
      status('');
      showResultPart(false);
      problem(sentence);
    },
  });
  for (const kind of ['csv', 'md', 'tex']) $(`export-${kind}`).addEventListener('click', exporter(kind));
  setView(currentView().name, { address: false });
  onAddressChange(guarded(openState));
  keepOffline();
  preload();
  const linked = stateInAddress();
  if (linked !== null) guarded(openState)(linked);
  try {
    const bytes = await opening();
    showBanner(new TextDecoder().decode(bytes.subarray(0, afterPrompt(bytes) - 1)));
    document.body.dataset.ready = 'true';
  } catch (error) {
    problem(error.message);
    document.body.dataset.ready = 'failed';
  }
}

start();
