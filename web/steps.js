// How a table is built: a column for each operator of the echo line, in the
// order of their closing parentheses, which is the order the program applies
// them. Each column is the program's own: the group's text is run as an
// equation of its own, and its table read, row by row, through the letters
// it has. Only the echo's parentheses are read here, never a truth value.
//
// An echo can be megabytes long and 50,000 groups deep, so every scan here
// is one pass with explicit stacks, and a text is cut out of the echo only
// where it is kept: cutting every group would take memory of the square of
// the depth.

import { rowMap } from './joint.js';
import { inWorker } from './task.js';

const kOperators = '!*@+';
// Past these the view says why it shows no steps; the runs would take long.
export const kMostLetters = 16;
export const kMostGroups = 64;

// How many operators the echo holds.
export function operatorsIn(echo) {
  let count = 0;
  for (let i = 0; i < echo.length; i++) if (kOperators.includes(echo[i])) count++;
  return count;
}

// The echo's groups: for each ")" that closes a "(", the text between them,
// where it has exactly one operator of its own (outside its inner groups),
// which is its main one; `op` is that operator's place in the text. A text
// met again is not listed again.
export function groupsOf(echo) {
  const open = [];
  const groups = [];
  const seen = new Set();
  // For each open "(", the first operator met at its own depth and how many.
  const ops = [];
  for (let i = 0; i < echo.length; i++) {
    const ch = echo[i];
    if (ch === '(') {
      open.push(i);
      ops.push({ first: -1, count: 0 });
    } else if (ch === ')') {
      if (!open.length) continue;
      const start = open.pop();
      const mine = ops.pop();
      if (mine.count !== 1) continue;
      const text = echo.slice(start, i + 1);
      if (!seen.has(text)) {
        seen.add(text);
        groups.push({ text, op: mine.first - start });
      }
    } else if (kOperators.includes(ch) && ops.length) {
      const mine = ops.at(-1);
      if (mine.count++ === 0) mine.first = i;
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
  const values = []; // { start, end }: echo[start, end)
  const ops = []; // { ch, at }
  const open = [];
  const skipped = new Set();
  for (let i = 0; i < echo.length; i++) {
    const ch = echo[i];
    if (/[A-Za-z0-9]/.test(ch)) {
      values.push({ start: i, end: i + 1 });
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
      values.push({ start: from, end: i + 1 });
    } else {
      skipped.add(ch);
    }
  }
  if (!values.length) return null;
  const text = (v) => echo.slice(v.start, v.end);
  return { skipped: [...skipped], left: values.slice(0, -1).map(text), shows: text(values.at(-1)) };
}

// What the Steps view needs of an echo, found in one pass or refused: the
// count of operators, and where there are few enough, the groups (but the
// whole echo, which is the result), the whole echo's main operator, and
// with `warned`, what is left over.
export function planSteps(echo, warned) {
  const operators = operatorsIn(echo);
  if (operators > kMostGroups) return { operators, groups: null };
  const all = groupsOf(echo);
  const whole = all.find((g) => g.text === echo) ?? null;
  return {
    operators,
    groups: all.filter((g) => g !== whole),
    wholeOp: whole ? whole.op : -1,
    left: warned ? leftOver(echo) : null,
  };
}

// The plan worked out in a worker of its own, which `signal` ends: an echo
// of megabytes never holds the page.
export function planInWorker(echo, warned, signal) {
  return inWorker(new URL('steps-worker.js', import.meta.url), { echo, warned }, signal,
    'The steps could not be worked out');
}

// The columns of the steps for `groups` of a table over `letters`: every
// group the program reads as itself (it gives a table without a warning and
// echoes it unchanged), with its result column and the map from a row of
// the whole table to its row. `tableOf` runs the program. The runs are all
// asked for at once, so that they queue on every lane.
export async function stepsOf(groups, letters, tableOf) {
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
