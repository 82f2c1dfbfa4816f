// What stands above and below every view of a run: the status line, what
// the table says (how many rows are true), the program's messages, and the
// whole output to download. Each is cleared when a run starts, so that
// nothing of the run before stands beside the next.
import { hasTable } from './outcome.js';
import { countTrue } from './joint.js';
import { grouped, linesOf } from './view.js';

const $ = (id) => document.getElementById(id);

let download = null; // the URL of the output shown, once made
let shownBytes = null;

export function problem(text) {
  $('problem').textContent = text;
  $('problem').hidden = !text;
}

// The program's words before it reads, in the help.
export function showBanner(text) {
  $('banner').textContent = text;
}

// The result's part of the page, once there is a run to show.
export function showResultPart(shown = true) {
  $('result').hidden = !shown;
}

// The exports offer the table in view, named for what it is.
export function offerExports(table) {
  $('exports').hidden = !table;
  $('export-what').textContent = { table: 'the table', steps: 'the steps', compare: 'the comparison' }[
    table?.name] ?? 'the table';
}

export function exportProgress(text) {
  $('export-progress').textContent = text;
}

export function announce(text) {
  $('announce').textContent = text;
}

export function status(text) {
  $('status').textContent = text;
}

export function clearSummary(text) {
  status(text);
  $('says').hidden = true;
  $('says').textContent = '';
  $('messages').hidden = true;
  $('stderr').textContent = '';
  $('downloads').hidden = true;
  if (download) URL.revokeObjectURL(download);
  download = null;
  shownBytes = null;
  $('raw').href = '#download';
}

// What the table says, from its result column: how many rows are true. A
// function's rows are its own, so what was read is said instead, and what
// the program is given for it.
async function says(run, signal) {
  if (run.read) {
    const { fn, said } = run.read;
    const dontCares = fn.outputs.some((o) => o.values.includes(2));
    $('says').textContent = `${said} The program is given the canonical sum of products of ` +
      `${fn.outputs.length > 1 ? 'each output' : 'it'}` +
      (dontCares ? ', don\'t-care rows as 0, which the page shows as X.' : '.');
    $('says').hidden = false;
    return;
  }
  const k = await countTrue(await run.result, signal);
  const n = run.shape.rows;
  const what = k === n ? ' Always true: a tautology.' : k === 0 ? ' Never true: a contradiction.' : '';
  $('says').textContent = `True in ${grouped(k)} of ${grouped(n)} rows.${what}`;
  $('says').hidden = false;
}

export function showSummary(run, { signal, track }) {
  const { stdout, stderr, status: exit, shape } = run;
  if (hasTable(shape)) track(says(run, signal)).catch(() => {});
  const messages = stderr.length > 0;
  $('messages').hidden = !messages;
  $('stderr').textContent = messages ? linesOf(stderr, 0, stderr.length).join('\n') : '';
  shownBytes = stdout;
  $('downloads').hidden = false;
  if (stdout.length <= kSlice) whole(stdout).then((url) => offerDownload(stdout, url));
  $('raw-size').textContent = `${stdout.length} bytes`;
  const rows = hasTable(shape) ? `${shape.rows} ${shape.rows === 1 ? 'row' : 'rows'}` : 'no table';
  const words = exit === 0 ? 'Finished' : 'Stopped: the equation cannot be evaluated';
  status(`${words}: ${rows}. Exit status ${exit}.`);
  announce(`${words}: ${rows}.`);
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
  if (shownBytes !== stdout) {
    URL.revokeObjectURL(url);
    return false;
  }
  download = url;
  $('raw').href = url;
  return true;
}

export async function downloadWhole(event) {
  if (!shownBytes || $('raw').href.startsWith('blob:')) return;
  event.preventDefault();
  const stdout = shownBytes;
  $('raw-size').textContent = `${stdout.length} bytes; preparing it…`;
  if (!offerDownload(stdout, await whole(stdout))) return;
  $('raw-size').textContent = `${stdout.length} bytes`;
  $('raw').click();
}
