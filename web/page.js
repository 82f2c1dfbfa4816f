// The page around the program: the field and its hints, the two views of a
// result, the exports, and the equation in the address. window.quorvane.run
// runs the program once and resolves to its exact bytes and status; the
// page itself goes through the same call.
import { equationInAddress, onAddressChange, putInAddress } from './address.js';
import { exportTable, save } from './exports.js';
import { opening, preload, run, stop } from './program.js';
import { kWarning, readTable } from './table.js';
import { keepOffline } from './update.js';
import { lineAsTerminal, linesOf, showTable, showTerminal } from './view.js';

window.quorvane = { run, stop };

const $ = (id) => document.getElementById(id);
const kPrompt = new TextEncoder().encode('Enter Equation:\n');
const kViewKey = 'quorvane-view';

// Where the program's answer starts: right after its prompt.
function afterPrompt(stdout) {
  const limit = Math.min(stdout.length, 4096);
  for (let i = 0; i + kPrompt.length <= limit; i++)
    if (kPrompt.every((byte, k) => stdout[i + k] === byte)) return i + kPrompt.length;
  return 0;
}

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

// Says what the field will hand over, without changing a byte of it.
function hint() {
  const value = equationText();
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
  $('hint').textContent = hints.join(' ');
  $('hint').hidden = hints.length === 0;
}

function fieldChanged() {
  keepLong();
  hint();
}

let shown = null; // what the result area shows: { stdout, shape, views }
let download = null;

function setView(name) {
  localStorage.setItem(kViewKey, name);
  for (const view of ['terminal', 'table']) {
    $(`view-${view}`).setAttribute('aria-pressed', String(view === name));
    $(`${view}-view`).hidden = view !== name;
  }
  if (shown) draw();
}

const currentView = () => (localStorage.getItem(kViewKey) === 'table' ? 'table' : 'terminal');

function draw() {
  shown.sight?.close();
  const { stdout, shape } = shown;
  if (currentView() === 'table') {
    $('table').hidden = !shape.letters;
    $('no-table').hidden = Boolean(shape.letters);
    shown.sight = shape.letters ? showTable($('table'), stdout, shape) : null;
    return;
  }
  const table = Boolean(shape.letters);
  const before = linesOf(stdout, shape.start, table ? shape.first : stdout.length);
  shown.sight = showTerminal($('terminal'), {
    before,
    rows: table ? shape.rows : 0,
    rowText: (k) => lineAsTerminal(stdout.subarray(shape.first + k * shape.rowLength,
      shape.first + (k + 1) * shape.rowLength - 1)),
    after: shape.warning ? [kWarning] : [],
  });
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

function show({ stdout, stderr, status }) {
  const shape = readTable(stdout, afterPrompt(stdout));
  shown = { stdout, shape };
  const echo = shape.echo ? lineAsTerminal(stdout.subarray(...shape.echo)) : '';
  $('echo').textContent = echo;
  $('echo-line').hidden = !echo;
  $('warning').hidden = !shape.warning;
  $('exports').hidden = !shape.letters;
  const messages = stderr.length > 0;
  $('messages').hidden = !messages;
  $('stderr').textContent = messages ? linesOf(stderr, 0, stderr.length).join('\n') : '';
  if (download) URL.revokeObjectURL(download);
  download = null;
  $('raw').href = '#download';
  if (stdout.length <= kSlice) whole(stdout).then((url) => offerDownload(stdout, url));
  $('raw-size').textContent = `${stdout.length} bytes`;
  const rows = shape.letters ? `${shape.rows} rows` : 'no table';
  const words = status === 0 ? 'Finished' : 'Stopped: the equation cannot be evaluated';
  $('status').textContent = `${words}: ${rows}. Exit status ${status}.`;
  $('announce').textContent = `${words}: ${rows}.`;
  $('result').hidden = false;
  draw();
}

function busy(running) {
  $('stop').disabled = !running;
  document.body.dataset.running = String(running);
}

let runs = 0; // the newest run's number

async function submit(event) {
  event?.preventDefault();
  const mine = ++runs;
  const equation = equationText();
  // The last result is let go now, while the program runs, not while the
  // next one is being shown: a table of gigabytes takes a while to free.
  if (shown) {
    shown.sight?.close();
    shown = null;
    $('terminal').replaceChildren();
    $('terminal').style.height = '';
    $('table').replaceChildren();
  }
  putInAddress(equation);
  problem('');
  busy(true);
  $('status').textContent = 'Running…';
  $('result').hidden = false;
  try {
    // The program reads one word, as from a terminal where Enter was pressed.
    const result = await run(`${equation}\n`);
    show(result);
    $('result').scrollIntoView({ block: 'start' });
  } catch (error) {
    // A run that was stopped, by Stop or by a newer run, leaves the page to
    // whoever stopped it.
    if (mine === runs && error.message !== 'stopped') {
      $('status').textContent = '';
      problem(error.message);
    }
  } finally {
    if (mine === runs) busy(false);
  }
}

function stopNow() {
  if (document.body.dataset.running !== 'true') return;
  stop();
  $('status').textContent = 'Stopped.';
  $('announce').textContent = 'Stopped.';
  busy(false);
}

function exporter(kind) {
  return async () => {
    const { stdout, shape } = shown;
    const button = $(`export-${kind}`);
    button.disabled = true;
    try {
      const { blob, file } = await exportTable(kind, stdout, shape, (share) => {
        if (shape.rows > 100000) $('export-progress').textContent = `${Math.min(100, Math.round(share * 100))} %`;
      });
      save(blob, file);
    } finally {
      $('export-progress').textContent = '';
      button.disabled = false;
    }
  };
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
  $('view-terminal').addEventListener('click', () => setView('terminal'));
  $('view-table').addEventListener('click', () => setView('table'));
  for (const kind of ['csv', 'md', 'tex']) $(`export-${kind}`).addEventListener('click', exporter(kind));
  setView(currentView());
  onAddressChange((equation) => {
    $('equation').value = equation;
    pasted = null;
    fieldChanged();
    submit();
  });
  keepOffline((takeOver) => {
    $('update').hidden = false;
    $('update-now').addEventListener('click', takeOver, { once: true });
  });
  preload();
  const linked = equationInAddress();
  if (linked !== null) {
    $('equation').value = linked;
    fieldChanged();
    submit();
  }
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
