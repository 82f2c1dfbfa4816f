// How a table is built: a column for each operator of the echo line, in the
// order of their closing parentheses, which is the order the program applies
// them. Each column is the program's own: the group's text is run as an
// equation of its own, and its table read, row by row, through the letters
// it has. Only the echo's parentheses are read here, never a truth value.

import { rowMap } from './joint.js';

const kOperators = '!*@+';
// Past these the view says why it shows no steps; the runs would take long.
export const kMostLetters = 16;
export const kMostGroups = 64;

// The echo's groups: for each ")" that closes a "(", the text between them,
// where it has exactly one operator of its own (outside its inner groups),
// which is its main one; `op` is that operator's place in the text. A text
// met again is not listed again.
export function groupsOf(echo) {
  const open = [];
  const groups = [];
  const seen = new Set();
  // For each open "(", the operators met at its own depth.
  const ops = [];
  for (let i = 0; i < echo.length; i++) {
    const ch = echo[i];
    if (ch === '(') {
      open.push(i);
      ops.push([]);
    } else if (ch === ')') {
      if (!open.length) continue;
      const start = open.pop();
      const mine = ops.pop();
      const text = echo.slice(start, i + 1);
      if (mine.length === 1 && !seen.has(text)) {
        seen.add(text);
        groups.push({ text, op: mine[0] - start });
      }
    } else if (kOperators.includes(ch) && ops.length) {
      ops.at(-1).push(i);
    }
  }
  return groups;
}

// What the program makes of an echo with operands left over: each ")"
// applies the latest operator to the operands before it, and what is left
// at the end is left over but for the last, which each row shows. Only the
// shape is followed, as the program follows it; nothing is evaluated.
// Answers { skipped, left, shows } with texts of the echo, or null where the
// shape is not one that gives a table.
export function leftOver(echo) {
  const values = []; // { text, start }
  const ops = []; // { ch, at }
  const open = [];
  const skipped = new Set();
  for (let i = 0; i < echo.length; i++) {
    const ch = echo[i];
    if (/[A-Za-z0-9]/.test(ch)) {
      values.push({ text: ch, start: i });
    } else if (kOperators.includes(ch)) {
      ops.push({ ch, at: i });
    } else if (ch === '(') {
      open.push(i);
    } else if (ch === ')') {
      const op = ops.pop();
      const arity = op?.ch === '!' ? 1 : 2;
      if (!op || values.length < arity) return null;
      const first = values.splice(values.length - arity)[0];
      const from = open.length ? Math.min(open.pop(), first.start, op.at) : Math.min(first.start, op.at);
      values.push({ text: echo.slice(from, i + 1), start: from });
    } else {
      skipped.add(ch);
    }
  }
  if (!values.length) return null;
  return { skipped: [...skipped], left: values.slice(0, -1).map((v) => v.text), shows: values.at(-1).text };
}

// The columns of the steps for an equation whose table has `letters`:
// every group the program reads as itself (it gives a table without a
// warning and echoes it unchanged), with its result column and the map from
// a row of the whole table to its row. `tableOf` runs the program.
// The runs are all asked for at once, so that they queue on every lane.
export async function stepsOf(echo, letters, tableOf) {
  const groups = groupsOf(echo).filter((group) => group.text !== echo); // that one is the result
  const tables = await Promise.all(groups.map((group) => tableOf(group.text)));
  return groups.flatMap((group, i) => {
    const table = tables[i];
    if (table.status !== 0 || table.warning || table.echo !== group.text) return [];
    return [{ ...group, get: rowGetter(letters, table) }];
  });
}

function rowGetter(letters, table) {
  const map = rowMap(letters, table.letters);
  return (k) => table.result[map(k)];
}
