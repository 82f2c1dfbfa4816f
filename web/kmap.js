// Karnaugh maps of 2 to 6 letters, drawn from the program's result column.
// Five or six letters make two or four maps of the last four, one for each
// value of the first letters, in Gray order themselves, so that a map's
// neighbour on the page is its neighbour in the function too.
//
// A group of the minimal sum is drawn as a loop of pieces, one inside each
// of its cells, open on the sides where the group goes on; each group has a
// line style and a number of its own, so that no colour is needed to tell
// them apart. A group that wraps around an edge is open at that edge. The
// stylesheet sizes the cells and the insets together, so that even the
// innermost loop passes clear of the cell's digit.

export const kMapsFrom = 2;
export const kMapsUpTo = 6;
const kStyles = ['solid', 'dashed', 'dotted', 'double'];

// Group g's line and how far inside its cells it runs: two groups that
// share a cell differ in one or both for the first twenty groups. A double
// line needs 3px to show as two.
const look = (g) => ({
  style: kStyles[g % 4],
  width: kStyles[g % 4] === 'double' ? '3px' : '2px',
  inset: `calc(var(--kmap-inset) + ${g % 5} * var(--kmap-step))`,
});

// The codes of `bits` bits in Gray order: each differs from the next, and
// the last from the first, in one bit.
export function grayCodes(bits) {
  const codes = [];
  for (let i = 0; i < 1 << bits; i++) codes.push(i ^ (i >> 1));
  return codes;
}

// The maps of n letters: for each, the value of the outer letters, its
// row and column codes in Gray order, and each cell's row of the table.
export function mapsOf(n) {
  const inner = Math.min(n, 4);
  const outerBits = n - inner;
  const rowBits = inner >> 1;
  const colBits = inner - rowBits;
  const rows = grayCodes(rowBits);
  const cols = grayCodes(colBits);
  return grayCodes(outerBits).map((outer) => ({
    outer,
    outerBits,
    rowBits,
    colBits,
    rows,
    cols,
    row: (r, c) => (outer << inner) | (rows[r] << colBits) | cols[c],
  }));
}

const bitsOf = (code, width) => (width ? code.toString(2).padStart(width, '0') : '');

// The letters a code stands for, as a product in the program's syntax.
function literalsOf(code, letters) {
  return [...letters].map((l, j) => ((code >> (letters.length - 1 - j)) & 1 ? l : `!${l}`)).join('*');
}

const inCube = (cube, k) => (k & cube.mask) === cube.value;

// The sides of cell (r, c) at which `cube`'s piece is closed: where the
// next cell, wrapping, is not in the group, or where an edge of a
// dimension of two is, or the group spans its whole dimension.
function closedSides(map, cube, r, c) {
  const R = map.rows.length;
  const C = map.cols.length;
  const inside = (rr, cc) => inCube(cube, map.row(rr, cc));
  const side = (here, size, step, at) => {
    const next = here + step;
    if (next >= 0 && next < size) return !at(next);
    if (size <= 2) return true;
    // At the edge: open only if the group goes on around it and does not
    // fill the whole line.
    const wrapped = (next + size) % size;
    let whole = true;
    for (let i = 0; i < size; i++) whole &&= at(i);
    return !at(wrapped) || whole;
  };
  return {
    top: side(r, R, -1, (i) => inside(i, c)),
    bottom: side(r, R, 1, (i) => inside(i, c)),
    left: side(c, C, -1, (i) => inside(r, i)),
    right: side(c, C, 1, (i) => inside(r, i)),
  };
}

// Whether a group's cells in this map wrap around one of its edges.
function wraps(map, cube) {
  for (let r = 0; r < map.rows.length; r++) for (let c = 0; c < map.cols.length; c++) {
    if (!inCube(cube, map.row(r, c))) continue;
    const s = closedSides(map, cube, r, c);
    if ((r === 0 && !s.top) || (r === map.rows.length - 1 && !s.bottom) ||
        (c === 0 && !s.left) || (c === map.cols.length - 1 && !s.right)) return true;
  }
  return false;
}

// Where each group's number goes in `map`: the group's cell with the fewest
// numbers so far, then the fewest groups, then the first in reading order.
// A group of a minimal sum has a cell that no other group covers, which it
// takes where this map holds one, so that a number seldom shares its cell
// and is plainly its group's; numbers that do share a cell stack in it.
// Returns each row's numbers, by the row.
function tagCells(map, cubes) {
  const cells = [];
  map.rows.forEach((_, r) => map.cols.forEach((_, c) => {
    const k = map.row(r, c);
    cells.push({ k, groups: cubes.filter((cube) => inCube(cube, k)).length, tags: [] });
  }));
  cubes.forEach((cube, g) => {
    let best = null;
    for (const cell of cells) {
      if (!inCube(cube, cell.k)) continue;
      if (!best || cell.tags.length < best.tags.length ||
          (cell.tags.length === best.tags.length && cell.groups < best.groups)) best = cell;
    }
    best?.tags.push(g);
  });
  return new Map(cells.map((cell) => [cell.k, cell.tags]));
}

function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

// A cell's value: a button that a press steps, where pressing is offered.
function cellValue(k, shown, { press, output }) {
  if (!press) return element('span', 'digit', shown);
  const button = element('button', 'digit step', shown);
  button.type = 'button';
  button.dataset.row = String(k);
  button.dataset.output = String(output);
  const next = { 0: '1', 1: 'X', X: '0' }[shown];
  button.setAttribute('aria-label', `Row ${k}: ${shown}; press to make it ${next}`);
  button.addEventListener('click', () => press('map', output, k));
  return button;
}

// The maps of `letters` into `box`, with the groups of `cubes` (the minimal
// sum's terms) drawn and listed with `termOf(cube)`, their text. `care`,
// where given, is 0 in the don't-care rows, shown X; `press(where, output,
// row)` makes each value a button for output `output`, and `focusRow` the
// one to give the focus once drawn.
export function drawMaps(box, letters, result, cubes, termOf, { care = null, press = null, output = 0,
  focusRow = null, name = null } = {}) {
  const n = letters.length;
  const maps = mapsOf(n);
  const first = maps[0];
  const outerLetters = letters.slice(0, first.outerBits);
  const rowLetters = letters.slice(first.outerBits, first.outerBits + first.rowBits);
  const colLetters = letters.slice(first.outerBits + first.rowBits);
  const grid = element('div', `kmaps kmaps-${maps.length}`);
  for (const map of maps) {
    const tagsAt = tagCells(map, cubes);
    const table = element('table', 'kmap');
    // Four maps stand in a square, A down and B across, so that a map's
    // neighbours differ from it in one letter; the page's order stays Gray.
    table.style.gridRow = String((map.outer >> 1) + 1);
    table.style.gridColumn = String((map.outer & 1) + 1);
    const outerText = [...outerLetters].map((l, j) =>
      `${l} = ${(map.outer >> (outerLetters.length - 1 - j)) & 1}`).join(', ');
    table.append(element('caption', '', `Karnaugh map${name ? ` of ${name}` : ''}${outerText ? ` for ${outerText}` : ''}: ` +
      `rows ${rowLetters}, columns ${colLetters}`));
    const head = element('tr');
    const corner = element('th', 'corner', `${rowLetters} \\ ${colLetters}`);
    corner.scope = 'col';
    head.append(corner);
    for (const code of map.cols) {
      const th = element('th', '', bitsOf(code, map.colBits));
      th.scope = 'col';
      th.append(element('span', 'letters', literalsOf(code, colLetters)));
      head.append(th);
    }
    table.append(element('thead'), element('tbody'));
    table.tHead.append(head);
    map.rows.forEach((code, r) => {
      const tr = element('tr');
      const th = element('th', '', bitsOf(code, map.rowBits));
      th.scope = 'row';
      th.append(element('span', 'letters', literalsOf(code, rowLetters)));
      tr.append(th);
      map.cols.forEach((_, c) => {
        const k = map.row(r, c);
        const dontCare = care !== null && !care[k];
        const td = element('td', dontCare ? 'dc' : result[k] ? 'one' : '');
        td.append(cellValue(k, dontCare ? 'X' : String(result[k]), { press, output }), element('sub', '', String(k)));
        const tags = element('span', 'tags');
        tags.setAttribute('aria-hidden', 'true');
        cubes.forEach((cube, g) => {
          if (!inCube(cube, k)) return;
          const loop = element('span', 'loop');
          loop.setAttribute('aria-hidden', 'true');
          const sides = closedSides(map, cube, r, c);
          const { style, width, inset } = look(g);
          for (const side of ['top', 'right', 'bottom', 'left']) {
            loop.style[side] = sides[side] ? inset : '-1px';
            loop.style[`border-${side}`] = sides[side] ? `${width} ${style} currentColor` : 'none';
          }
          // Only a corner where two closed sides meet is rounded, so that
          // the pieces of one group join into one loop.
          const round = (a, b) => (sides[a] && sides[b] ? '0.6rem' : '0');
          loop.style.borderRadius = [round('top', 'left'), round('top', 'right'),
            round('bottom', 'right'), round('bottom', 'left')].join(' ');
          td.append(loop);
        });
        for (const g of tagsAt.get(k)) tags.append(element('span', 'tag', String(g + 1)));
        if (tags.childElementCount) td.append(tags);
        tr.append(td);
      });
      table.tBodies[0].append(tr);
    });
    grid.append(table);
  }
  box.append(grid);
  if (focusRow !== null) grid.querySelector(`button.step[data-row="${focusRow}"]`)?.focus();
  if (cubes.length && !(cubes.length === 1 && cubes[0].mask === 0)) {
    const list = element('ol', 'groups');
    cubes.forEach((cube, g) => {
      const li = element('li');
      const { style } = look(g);
      const rows = [];
      for (let k = 0; k < 1 << n; k++) if (inCube(cube, k)) rows.push(k);
      li.append(`Group ${g + 1}, ${style} line${maps.some((m) => wraps(m, cube)) ? ', wrapping around an edge' : ''}: `,
        element('code', '', termOf(cube)), `, ${rows.length === 1 ? 'row' : 'rows'} ${rows.join(', ')}`);
      list.append(li);
    });
    const caption = element('p', 'groups-title', 'The minimal sum\'s groups, numbered on the map:');
    box.append(caption, list);
  }
  return grid;
}
