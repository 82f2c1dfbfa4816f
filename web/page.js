// The page around the program. window.quorvane.run(input) runs it once in a
// Web Worker of its own and resolves to its exact bytes and status; the
// page itself goes through the same call.

// A table can run to hundreds of megabytes: the page shows its first lines
// and offers the whole text as a download.
const kShownLines = 10000;

let current = null; // the worker of the run under way, and how to end it

function run(input) {
  const bytes = typeof input === 'string' ? new TextEncoder().encode(input) : input;
  if (!(bytes instanceof Uint8Array))
    return Promise.reject(new TypeError('run() takes a string or a Uint8Array'));
  // One run at a time: a new one ends the one under way, whose promise
  // rejects with "stopped".
  stop();
  return new Promise((resolve, reject) => {
    const worker = new Worker(new URL('worker.js', import.meta.url), { type: 'module' });
    const end = (settle, value) => {
      worker.terminate();
      if (current && current.worker === worker) current = null;
      settle(value);
    };
    current = { worker, cancel: () => end(reject, new Error('stopped')) };
    worker.onmessage = ({ data }) =>
      data.error ? end(reject, new Error(data.error)) : end(resolve, data);
    worker.onerror = (event) => {
      event.preventDefault();
      end(reject, new Error(`the program could not be loaded: ${event.message || 'no reason given'}`));
    };
    worker.postMessage(bytes.slice());
  });
}

function stop() {
  if (current) current.cancel();
}

window.quorvane = { run, stop };

// The text as a terminal shows it: a backspace steps back one column, and
// what comes next covers what stood there.
export function asTerminal(text) {
  const lines = [];
  let line = [];
  let column = 0;
  for (const ch of text) {
    if (ch === '\n') {
      lines.push(line.join(''));
      line = [];
      column = 0;
    } else if (ch === '\b') {
      column = Math.max(0, column - 1);
    } else if (ch === '\r') {
      column = 0;
    } else {
      while (line.length < column) line.push(' ');
      line[column++] = ch;
    }
  }
  if (line.length > 0) lines.push(line.join(''));
  return lines;
}

const $ = (id) => document.getElementById(id);
const decoder = new TextDecoder();

function problem(text) {
  $('problem').textContent = text;
  $('problem').hidden = !text;
}

// The first lines of a text, without decoding all of a huge one.
function firstLines(bytes, count) {
  let end = 0;
  for (let n = 0; n < count && end < bytes.length; n++) {
    const next = bytes.indexOf(10, end);
    end = next < 0 ? bytes.length : next + 1;
  }
  return { text: decoder.decode(bytes.subarray(0, end)), whole: end >= bytes.length };
}

let download = null;
let opening = new Uint8Array(); // the banner and the prompt, as the program writes them

// The answer to the equation shows below the field, so the banner and the
// prompt above it are not shown again; the download has every byte.
function show({ stdout, stderr, status }) {
  const repeated = opening.length > 0 && opening.every((byte, i) => stdout[i] === byte);
  const { text, whole } = firstLines(stdout.subarray(repeated ? opening.length : 0), kShownLines);
  $('stdout').textContent = asTerminal(text).join('\n');
  if (download) URL.revokeObjectURL(download);
  download = URL.createObjectURL(new Blob([stdout], { type: 'application/octet-stream' }));
  const more = $('more');
  more.replaceChildren();
  more.append(
    whole
      ? 'The whole output, byte for byte: '
      : `The first ${kShownLines} lines are shown. All ${stdout.length} bytes: `,
  );
  const link = document.createElement('a');
  link.href = download;
  link.download = 'quorvane-output.txt';
  link.textContent = 'download';
  more.append(link);
  more.hidden = false;
  $('stderr').textContent = asTerminal(decoder.decode(stderr)).join('\n');
  $('status').textContent = `Exit status ${status}`;
  $('result').hidden = false;
}

function busy(running) {
  $('run').disabled = running;
  $('stop').disabled = !running;
}

async function submit(event) {
  event.preventDefault();
  problem('');
  busy(true);
  $('status').textContent = 'Running…';
  $('result').hidden = false;
  $('stdout').textContent = '';
  $('stderr').textContent = '';
  $('more').hidden = true;
  try {
    // The program reads one word, as from a terminal where Enter was pressed.
    show(await run(`${$('equation').value}\n`));
  } catch (error) {
    $('status').textContent = '';
    problem(error.message === 'stopped' ? 'Stopped.' : error.message);
  } finally {
    busy(false);
    $('equation').focus();
  }
}

// The banner and the prompt are the program's own: what it writes before
// it reads, from a run with no equation.
async function start() {
  $('form').addEventListener('submit', submit);
  $('stop').addEventListener('click', stop);
  try {
    const { stdout } = await run(new Uint8Array());
    const prompt = new TextEncoder().encode('Enter Equation:\n');
    const end = stdout.findIndex((_, i) => prompt.every((byte, k) => stdout[i + k] === byte));
    if (end < 0) throw new Error('the program wrote no prompt');
    opening = stdout.slice(0, end + prompt.length);
    $('banner').textContent = decoder.decode(opening.subarray(0, opening.length - 1));
    document.body.dataset.ready = 'true';
  } catch (error) {
    problem(error.message);
    document.body.dataset.ready = 'failed';
  }
}

start();
