// Two of the program's tables side by side, each over its own letters: the
// rows of all their letters together, in the program's order, and for each
// such row the row of each table that gives it its value. A letter that one
// table lacks does not change that table's value, so its row is found by
// dropping that letter's digit. Nothing here evaluates an equation: every
// value comes from a table the program wrote.

// Letters in the program's order: by their codes, so upper case first.
export function unionOf(...lettersList) {
  return [...new Set(lettersList.join(''))].sort().join('');
}

// For row k of a table over `all`, the row of a table over `some` (letters
// of `all`) that has the same values. The row's binary digits are split in
// two halves, each looked up in a table of its own, so a row costs two reads
// however many letters there are.
export function rowMap(all, some) {
  const n = all.length;
  const weight = new Array(n).fill(0); // by bit, the least significant first
  for (let j = 0; j < n; j++) {
    const at = some.indexOf(all[j]);
    if (at >= 0) weight[n - 1 - j] = 2 ** (some.length - 1 - at);
  }
  const low = Math.min(n, 13);
  const part = (from, count) => {
    const t = new Uint32Array(2 ** count);
    for (let v = 1; v < t.length; v++) {
      const bit = 31 - Math.clz32(v);
      t[v] = t[v ^ (1 << bit)] + weight[from + bit];
    }
    return t;
  };
  const lo = part(0, low);
  const hi = part(low, n - low);
  const mask = 2 ** low - 1;
  return (k) => lo[k & mask] + hi[Math.floor(k / 2 ** low)];
}

// Rows are counted in slices, each a task of its own, so that two tables
// of 2^25 rows never hold the page still.
const kSlice = 1 << 17;
const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

function stopped(signal) {
  if (signal?.aborted) throw new Error('stopped');
}

// `a` and `b` are { letters, result, care }, result[k] the 0 or 1 of row k,
// and care, where given, 0 in a don't-care row, which no comparison counts.
// The answer holds the union's letters and row count, how many rows matter
// (neither side's don't-care), how many of those differ, which ones (in
// order), and the maps from a joint row to each table's row.
export async function compareTables(a, b, signal) {
  const letters = unionOf(a.letters, b.letters);
  const rows = 2 ** letters.length;
  const mapA = rowMap(letters, a.letters);
  const mapB = rowMap(letters, b.letters);
  const careA = a.care ?? null;
  const careB = b.care ?? null;
  let differ = new Uint32Array(1024);
  let differing = 0;
  let compared = 0;
  for (let first = 0; first < rows; first += kSlice) {
    stopped(signal);
    const last = Math.min(rows, first + kSlice);
    for (let k = first; k < last; k++) {
      if ((careA && !careA[mapA(k)]) || (careB && !careB[mapB(k)])) continue;
      compared++;
      if (a.result[mapA(k)] === b.result[mapB(k)]) continue;
      if (differing === differ.length) {
        const grown = new Uint32Array(differ.length * 2);
        grown.set(differ);
        differ = grown;
      }
      differ[differing++] = k;
    }
    if (last < rows) await nextTask();
  }
  return { letters, rows, compared, differing, differ: differ.subarray(0, differing), mapA, mapB };
}

// How many rows of a result column are true, counted in slices.
export async function countTrue(result, signal) {
  let count = 0;
  for (let first = 0; first < result.length; first += kSlice * 8) {
    stopped(signal);
    const last = Math.min(result.length, first + kSlice * 8);
    for (let k = first; k < last; k++) count += result[k];
    if (last < result.length) await nextTask();
  }
  return count;
}
