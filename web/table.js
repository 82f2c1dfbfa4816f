// The shape of one run's output, read from the program's own bytes: the
// heading, the echo line, the header of letters, the rows and the warning.
// Every row of n variables has the same 2n + 6 bytes, "(", a digit and a
// comma for each variable, a backspace, ")-", the result and a line end, so
// row k is found by arithmetic and a table of 2^25 rows is never decoded
// whole.

const kHeading = 'Truth Table:\n';
export const kWarning = 'WARNING: answer may contain errors';

const latin1 = new TextDecoder('latin1');

// `start` is where the program's answer begins, after its prompt.
export function readTable(stdout, start) {
  const shape = { start, echo: null, letters: null, rows: 0, warning: false };
  const heading = start + kHeading.length;
  if (latin1.decode(stdout.subarray(start, heading)) !== kHeading) return shape;
  const echoEnd = stdout.indexOf(10, heading);
  if (echoEnd < 0) return shape;
  shape.echo = [heading, echoEnd];
  const header = echoEnd + 1;
  const headerEnd = stdout.indexOf(10, header);
  if (headerEnd < 0 || stdout[header] !== 40 || stdout[headerEnd - 1] !== 41) return shape;
  const n = (headerEnd - header - 3) / 2;
  if (!Number.isInteger(n) || n < 0 || stdout[headerEnd - 2] !== 8) return shape;
  let letters = '';
  for (let j = 0; j < n; j++) letters += String.fromCharCode(stdout[header + 1 + 2 * j]);
  const first = headerEnd + 1;
  const rowLength = 2 * n + 6;
  const end = stdout.length - kWarning.length;
  const warning = end >= first && latin1.decode(stdout.subarray(end)) === kWarning;
  const rest = (warning ? end : stdout.length) - first;
  const rows = rest / rowLength;
  if (!Number.isInteger(rows)) return shape;
  Object.assign(shape, { letters, rows, first, rowLength, warning });
  return shape;
}

// Row k's values, one per letter, and its result, as the digits "0" or "1".
export function row(stdout, shape, k) {
  const at = shape.first + k * shape.rowLength;
  const values = [];
  for (let j = 0; j < shape.letters.length; j++) values.push(String.fromCharCode(stdout[at + 1 + 2 * j]));
  return { values, result: String.fromCharCode(stdout[at + shape.rowLength - 2]) };
}

// The result column as one byte a row, 0 or 1, read a slice of rows per
// task so that 2^25 rows never hold the page still.
const kSlice = 1 << 18;
export async function resultColumn(stdout, shape, signal) {
  const result = new Uint8Array(shape.rows);
  const step = shape.rowLength;
  for (let first = 0; first < shape.rows; first += kSlice) {
    if (signal?.aborted) throw new Error('stopped');
    const last = Math.min(shape.rows, first + kSlice);
    for (let k = first, at = shape.first + first * step + step - 2; k < last; k++, at += step)
      result[k] = stdout[at] - 48;
    if (last < shape.rows) await new Promise((resolve) => setTimeout(resolve, 0));
  }
  return result;
}
