// What one run of the program gave, as the views read it: its bytes, the
// shape of its table, its echo and its messages; and the program's table of
// any other text, run beside run()'s on the page's own lanes.
import { runQueued } from './program.js';
import { readTable, resultColumn } from './table.js';

const kPrompt = new TextEncoder().encode('Enter Equation:\n');
const utf8 = new TextDecoder();
const latin1 = new TextDecoder('latin1');

// Where the program's answer starts: right after its prompt.
export function afterPrompt(stdout) {
  const limit = Math.min(stdout.length, 4096);
  for (let i = 0; i + kPrompt.length <= limit; i++)
    if (kPrompt.every((byte, k) => stdout[i + k] === byte)) return i + kPrompt.length;
  return 0;
}

export const hasTable = (shape) => shape.letters !== null;

// The echo and the letters are kept as the program's bytes, one character
// each; what is shown decodes them as the terminal would, as UTF-8.
export const latin1Bytes = (text) => Uint8Array.from(text, (ch) => ch.charCodeAt(0));
export const shownText = (text) => utf8.decode(latin1Bytes(text));
export const quoted = (text) => `“${text.length > 60 ? `${text.slice(0, 60)}…` : text}”`;

// { stdout, stderr, status, shape, echo, stderrText } of one run.
export function outcomeOf({ stdout, stderr, status }) {
  const shape = readTable(stdout, afterPrompt(stdout));
  return {
    stdout, stderr, status, shape,
    echo: shape.echo ? latin1.decode(stdout.subarray(...shape.echo)) : '',
    stderrText: utf8.decode(stderr).trim(),
  };
}

// The program's table of `text` (a string, sent as UTF-8, or bytes):
// { status, warning, letters, rows, echo, stderr, result }, result a byte
// per row, or null where the program stopped.
export async function tableOf(text, signal) {
  const bytes = typeof text === 'string' ? new TextEncoder().encode(text) : text;
  const input = new Uint8Array(bytes.length + 1);
  input.set(bytes);
  input[bytes.length] = 10;
  const { stdout, status, shape, echo, stderrText } = outcomeOf(await runQueued(input));
  const table = { status, warning: shape.warning, letters: shape.letters, rows: shape.rows,
    echo: shape.echo ? echo : null, stderr: stderrText, result: null };
  if (hasTable(shape) && status === 0) table.result = await resultColumn(stdout, shape, signal);
  return table;
}
