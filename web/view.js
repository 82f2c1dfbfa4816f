// The two views of a run's output, each drawing only the lines in sight, so
// that a table of 2^25 rows costs a screenful: the terminal, which shows the
// dialogue as a terminal would, and the table, a real <table> whose header
// stays in view.
import { row } from './table.js';

// Taller boxes than this the browser will not lay out; past it, a scroll
// position stands for a share of the lines rather than a line.
const kMaxHeight = 8e6;
// A line longer than this shows its start and says how much more there is.
const kLongestShown = 10000;

const utf8 = new TextDecoder();

// Thousands grouped by commas. toLocaleString would first load the
// locale's data, which holds the page for a fifth of a second.
export const grouped = (n) => String(n).replace(/\B(?=(\d{3})+$)/g, ',');

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

// One line of bytes as a terminal shows it, at most kLongestShown of them.
export function lineAsTerminal(bytes) {
  const cut = bytes.length > kLongestShown;
  const text = asTerminal(utf8.decode(cut ? bytes.subarray(0, kLongestShown) : bytes)).join('');
  return cut ? `${text} … (${bytes.length - kLongestShown} more bytes: the download has them all)` : text;
}

// The lines of bytes[start, end), each shown as a terminal shows it.
export function linesOf(bytes, start, end) {
  const lines = [];
  for (let at = start; at < end;) {
    const next = bytes.indexOf(10, at);
    const stop = next < 0 || next >= end ? end : next;
    lines.push(lineAsTerminal(bytes.subarray(at, stop)));
    at = stop + 1;
  }
  return lines;
}

// A view's button and its part of the result, which the view fills.
export function mountView(view, onChoose) {
  const button = document.createElement('button');
  button.id = `view-${view.name}`;
  button.type = 'button';
  button.textContent = view.label;
  button.addEventListener('click', onChoose);
  document.getElementById('view-buttons').append(button);
  const part = document.createElement('div');
  part.id = `${view.name}-view`;
  view.mount(part);
  document.getElementById('views').append(part);
}

// The chosen view's button pressed and its part shown; the others' not.
export function pressView(views, chosen) {
  for (const view of views) {
    document.getElementById(`view-${view.name}`).setAttribute('aria-pressed', String(view === chosen));
    document.getElementById(`${view.name}-view`).hidden = view !== chosen;
  }
}

// Which lines of `count`, each `height` px, of `body` are in sight, and
// where the first of them goes. A `scroller` that scrolls the lines itself
// clips them to its own box as well as the window's.
function inSight(body, count, height, scroller = null) {
  const total = count * height;
  const boxHeight = Math.min(total, kMaxHeight);
  const clip = scroller?.getBoundingClientRect();
  const view = scroller ? scroller.clientHeight || innerHeight : innerHeight;
  const top = Math.max(0, clip ? clip.top : 0);
  const y = Math.min(Math.max(0, top - body.getBoundingClientRect().top), boxHeight);
  const scale = boxHeight < total ? (total - view) / Math.max(1, boxHeight - view) : 1;
  const virtualY = y * scale;
  const first = Math.min(count, Math.max(0, Math.floor(virtualY / height) - 5));
  const shown = Math.min(count - first, Math.ceil(innerHeight / height) + 10);
  const at = Math.max(0, Math.min(y - (virtualY - first * height), boxHeight - shown * height));
  return { boxHeight, first, shown, top: at };
}

// Redraws what is in sight whenever the page or a box in it scrolls, or the
// page changes size. Scrolling a box does not bubble, so it is heard on the
// way down.
class InSight {
  constructor(draw) {
    this.draw = draw;
    this.pending = false;
    this.onChange = () => {
      if (this.pending) return;
      this.pending = true;
      requestAnimationFrame(() => {
        this.pending = false;
        this.draw();
      });
    };
    addEventListener('scroll', this.onChange, { passive: true, capture: true });
    addEventListener('resize', this.onChange);
  }

  close() {
    removeEventListener('scroll', this.onChange, { capture: true });
    removeEventListener('resize', this.onChange);
  }
}

function lineHeight(element) {
  return parseFloat(getComputedStyle(element).lineHeight) || 20;
}

// The terminal: the lines before the rows, the rows, then what follows them.
export function showTerminal(box, { before, rows, rowText, after }) {
  const pre = document.createElement('pre');
  pre.className = 'shown';
  box.replaceChildren(pre);
  const count = before.length + rows + after.length;
  const height = lineHeight(pre);
  const line = (i) =>
    i < before.length ? before[i] : i < before.length + rows ? rowText(i - before.length)
      : after[i - before.length - rows];
  const draw = () => {
    const { boxHeight, first, shown, top } = inSight(box, count, height);
    box.style.height = `${boxHeight}px`;
    pre.style.top = `${top}px`;
    const lines = [];
    for (let i = first; i < first + shown; i++) lines.push(line(i));
    pre.textContent = lines.join('\n');
  };
  draw();
  return new InSight(draw);
}

// A table whose rows are drawn as they come into sight: `heads` holds a
// text or a node per column, `cells(k)` row k's texts, `rowClass(texts)` a
// row's class from them, and `resultColumn` says that the last column is a
// result, which a true row shows in words and weight, not colour alone, and
// which stays in sight at the right of a wide table. The table's box
// scrolls it, so that its head row stays in sight above the rows.
// `outputs` more columns before the result are results too, of a function
// of several outputs; `press(k, j, scrollTop)`, where given, makes each
// result of row k, output j, a button; `focus` ({ row, output, scrollTop })
// is the one to give the focus, at that scroll, once drawn.
export function showColumns(table, {
  caption, heads, rows, cells, rowClass, resultColumn = false, outputs = 1, press = null, focus = null,
}) {
  const scroller = table.closest('.table-box');
  if (scroller) scroller.hidden = false;
  const firstResult = resultColumn ? heads.length - outputs : heads.length;
  table.onclick = press && ((event) => {
    const button = event.target.closest('button.step');
    if (button) press(Number(button.dataset.row), Number(button.dataset.output), scroller?.scrollTop ?? 0);
  });
  const classOf = rowClass ?? ((texts) => (resultColumn && outputs === 1 && texts.at(-1) === '1' ? 'true' : ''));
  const head = document.createElement('thead');
  const tr = document.createElement('tr');
  // One result stays in sight at the right; several outputs stand apart
  // from the letters by a rule instead, as they would cover each other.
  const classOfColumn = (j) => (!resultColumn ? '' : outputs === 1 ? (j === heads.length - 1 ? 'result' : '')
    : j === firstResult ? 'first-output' : '');
  heads.forEach((name, j) => {
    const th = document.createElement('th');
    th.scope = 'col';
    th.className = classOfColumn(j);
    th.append(name);
    tr.append(th);
  });
  head.append(tr);
  const body = document.createElement('tbody');
  const title = document.createElement('caption');
  title.textContent = caption;
  table.replaceChildren(title, head, body);
  const probe = document.createElement('tr');
  probe.innerHTML = '<td>0</td>';
  body.append(probe);
  const height = probe.getBoundingClientRect().height || 24;
  const spacer = (px) => {
    const s = document.createElement('tr');
    s.className = 'spacer';
    s.setAttribute('aria-hidden', 'true');
    const td = document.createElement('td');
    td.colSpan = heads.length;
    td.style.height = `${px}px`;
    s.append(td);
    return s;
  };
  const draw = () => {
    const { boxHeight, first, shown, top } = inSight(body, rows, height, scroller);
    const drawn = [spacer(top)];
    for (let k = first; k < first + shown; k++) {
      const r = document.createElement('tr');
      const texts = cells(k);
      r.className = classOf(texts);
      texts.forEach((text, j) => {
        const td = document.createElement('td');
        const last = resultColumn && j === texts.length - 1;
        td.className = classOfColumn(j);
        const shown = last && outputs === 1 && text === '1' ? '1 (true)' : text;
        if (press && j >= firstResult) td.append(stepButton(shown, k, j - firstResult, heads[j]));
        else td.textContent = shown;
        r.append(td);
      });
      drawn.push(r);
    }
    drawn.push(spacer(Math.max(0, boxHeight - top - shown * height)));
    // A result with the focus keeps it as its row is drawn anew.
    const had = body.contains(document.activeElement) ? document.activeElement.dataset : null;
    body.replaceChildren(...drawn);
    if (had?.row) stepAt(body, had.row, had.output)?.focus({ preventScroll: true });
    // The head row sticks to the top of its box; where the page has
    // scrolled the box's top away, it moves down to the window's top.
    const box = scroller?.getBoundingClientRect();
    const lift = box ? Math.max(0, Math.min(-box.top, box.height - head.offsetHeight)) : 0;
    table.style.setProperty('--head-top', `${lift}px`);
  };
  draw();
  // The box can scroll back only once its rows are laid out again.
  if (focus && scroller) {
    scroller.scrollTop = focus.scrollTop;
    draw();
  }
  if (focus) stepAt(table, focus.row, focus.output)?.focus({ preventScroll: true });
  return new InSight(draw);
}

const stepAt = (root, row, output) => root.querySelector(`button.step[data-row="${row}"][data-output="${output}"]`);

// A result that a press steps, 0 to 1 to don't-care (X) and back to 0.
function stepButton(text, row, output, head) {
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'step';
  button.dataset.row = String(row);
  button.dataset.output = String(output);
  button.textContent = text;
  const name = typeof head === 'string' ? head : head.textContent;
  const next = { 0: '1', 1: 'X', X: '0' }[text[0]];
  button.setAttribute('aria-label', `Row ${row}, ${name.length > 20 ? 'the result' : name}: ${text[0]}; ` +
    `press to make it ${next}`);
  return button;
}

// Nothing in `table`'s box, which is hidden, so that no empty table stands
// where a view says why it has none.
export function clearColumns(table) {
  table.replaceChildren();
  const box = table.closest('.table-box');
  if (box) box.hidden = true;
}

// A head's text as a column shows it: a group without its outer
// parentheses, and at most `longest` characters of it.
export function headText(text, longest = 60) {
  const bare = /^\(.*\)$/s.test(text) && outerPair(text) ? text.slice(1, -1) : text;
  return bare.length > longest ? `${bare.slice(0, longest)}…` : bare;
}

// Whether the first "(" of `text` is closed by its last character.
function outerPair(text) {
  let depth = 0;
  for (let i = 0; i < text.length; i++) {
    if (text[i] === '(') depth++;
    else if (text[i] === ')' && --depth === 0) return i === text.length - 1;
  }
  return false;
}

// The program's own table: one column per variable, headed by its letter,
// and the result.
export function showTable(table, stdout, shape, { press = null, focus = null } = {}) {
  return showColumns(table, {
    caption: `${shape.rows} rows, in the program's order` +
      (press ? '. Press a result to step it: 0, 1, X, 0; the field becomes its function' : ''),
    press,
    focus,
    heads: [...shape.letters, 'Result'],
    rows: shape.rows,
    cells: (k) => {
      const { values, result } = row(stdout, shape, k);
      return [...values, result];
    },
    resultColumn: true,
  });
}
