// The Forms part of the page: every form of seeded equations run through the
// reference program by this test and held to the equation's own table; the
// minimal forms' cost against a minimum found here for up to 5 letters; the
// Karnaugh maps' cells against the rows, with Gray neighbours, and every
// cell's digit on top and clear of the loops however many cross the cell;
// the warning, a stop, Stop itself, the controls, axe, and the time to the
// minimal forms.
//   Usage: node forms.test.mjs SITE_FOLDER
import { join } from 'node:path';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  axe, desktop, finished, heldPage, letters, longestTask, pause, phone, referenceRows, seeded, shots, submit, usePage,
  valueAt,
} from './helper.mjs';

const ctx = usePage({ viewport: { width: 1280, height: 800 } });

// The Forms part as the page shows it: each name with its code, its check's
// state and words, and whether it is proved minimal.
function formsOf(page) {
  return page.$eval('#forms', (section) => {
    const out = { hidden: section.hidden, text: section.textContent, entries: {} };
    for (const dt of section.querySelectorAll('dl.forms > dt')) {
      const dd = dt.nextElementSibling;
      out.entries[dt.textContent] = {
        code: dd.querySelector('code')?.textContent ?? null,
        text: dd.textContent,
        state: dd.dataset.check ?? null,
        said: dd.querySelector('.check')?.textContent ?? null,
        proved: dd.dataset.proved ?? null,
      };
    }
    out.minimalMs = Number(section.dataset.minimalMs);
    return out;
  });
}

const kRunnable = ['Canonical sum of products', 'Canonical product of sums', 'Minimal sum of products',
  'Minimal product of sums'];

// The reference's result column of an equation, by row in its order.
const column = (table) => table.rows.map((r) => Number(r.at(-1)));

// Every row of `table` against the reference program's table of `form`,
// read at the same values of the letters.
function sameTable(form, table) {
  const own = referenceRows(form);
  assert.equal(own.status, 0, `the program stopped on ${form.slice(0, 80)}`);
  assert.equal(own.warning, false, `the program warned on ${form.slice(0, 80)}`);
  for (const letter of own.letters) assert.ok(table.letters.includes(letter), `${letter} in ${form}`);
  for (const row of table.rows)
    assert.equal(valueAt(own, table.letters, row), row.at(-1), `${form.slice(0, 80)} at ${row.join('')}`);
}

// A sum or product as the page writes it: its terms and letters.
function cost(form, kind) {
  if (form === '0' || form === '1') return [0, 0];
  const terms = kind === 'sum' ? form.split('+') : form.split('*');
  return [terms.length, (form.match(/[A-Za-z]/g) ?? []).length];
}

// The cheapest sum of products of `on` over n <= 5 letters, found here:
// every cube that lies inside the true rows, those in no bigger such cube
// kept, and a plain depth-first search for the cheapest set that covers.
function cheapest(on, n) {
  const ones = on.reduce((a, b) => a + b, 0);
  if (ones === 0 || ones === on.length) return [0, 0];
  const cubes = [];
  for (let mask = 0; mask < 1 << n; mask++) {
    for (let value = 0; value < 1 << n; value++) {
      if (value & ~mask) continue;
      const rows = [];
      for (let k = 0; k < on.length; k++) if ((k & mask) === value) rows.push(k);
      if (rows.every((k) => on[k])) cubes.push({ mask, value, rows });
    }
  }
  const inside = (a, b) => a !== b && a.rows.every((k) => b.rows.includes(k));
  const primes = cubes.filter((c) => !cubes.some((d) => inside(c, d)));
  const letterCount = (c) => [...c.mask.toString(2)].filter((b) => b === '1').length;
  let best = [Infinity, Infinity];
  const less = (a, b) => a[0] < b[0] || (a[0] === b[0] && a[1] < b[1]);
  const search = (covered, spent) => {
    if (!less(spent, best)) return;
    const k = on.findIndex((v, i) => v && !covered.has(i));
    if (k < 0) {
      best = spent;
      return;
    }
    for (const p of primes) {
      if (!p.rows.includes(k)) continue;
      search(new Set([...covered, ...p.rows]), [spent[0] + 1, spent[1] + letterCount(p)]);
    }
  };
  search(new Set(), [0, 0]);
  return best;
}

// A seeded equation over exactly `names`: a sum of random products, each
// letter of `names` named at least once, with NOT, XOR and parentheses in
// some of them.
function seededEquation(rng, names) {
  const terms = [];
  const count = 1 + rng.int(Math.max(2, names.length));
  for (let t = 0; t < count; t++) {
    const factors = names.filter(() => rng() < 0.5).map((l) => (rng() < 0.5 ? `!${l}` : l));
    if (factors.length === 0) factors.push(rng.pick(names));
    terms.push(rng() < 0.2 ? `!(${factors.join('@')})` : factors.join('*'));
  }
  return `${terms.join('+')}+${names.join('*')}`;
}

// The forms' work goes on after the run: its minimizer and checks.
const settled = (page) => page.waitForFunction(() => {
  const section = document.getElementById('forms');
  return section.hidden || section.dataset.settled === 'true';
}, { timeout: 300000 });

async function formsFor(equation, page = ctx.page) {
  await submit(page, equation);
  // The page shows the forms a moment after the run has ended.
  await page.waitForFunction(() => !document.getElementById('forms').hidden ||
    document.getElementById('status').textContent.startsWith('Stopped'), { timeout: 60000 });
  await settled(page);
  return formsOf(page);
}

test('seeded equations of 1 to 8 letters: every form the program\'s, the minimal ones cheapest', async () => {
  const rng = seeded(30);
  let checked = 0;
  for (let n = 1; n <= 8; n++) {
    for (let i = 0; i < (n <= 5 ? 4 : 2); i++) {
      const equation = seededEquation(rng, letters(n).split(''));
      const want = referenceRows(equation);
      const on = column(want);
      const forms = await formsFor(equation);
      assert.equal(forms.hidden, false);
      const rows = `checked: the same value in all ${2 ** n} rows`;
      for (const name of kRunnable) {
        const entry = forms.entries[name];
        if (n > 6 && name.startsWith('Canonical')) {
          assert.match(entry.text, /^Not shown past 6 variables/);
          continue;
        }
        assert.ok(entry?.code, `${name} of ${equation}`);
        assert.equal(entry.state, 'checked', `${name} ${entry.code} of ${equation}: ${entry.said}`);
        assert.equal(entry.said, rows);
        sameTable(entry.code, want);
        checked++;
      }
      const ones = on.flatMap((v, k) => (v ? [k] : []));
      const zeros = on.flatMap((v, k) => (v ? [] : [k]));
      assert.equal(forms.entries.Minterms.code, `Σm(${ones.join(', ')})`);
      assert.equal(forms.entries.Maxterms.code, `ΠM(${zeros.join(', ')})`);
      for (const kind of ['sum', 'product']) {
        const entry = forms.entries[kind === 'sum' ? 'Minimal sum of products' : 'Minimal product of sums'];
        assert.equal(entry.proved, 'true');
        assert.match(entry.text, /proved minimal/);
        if (n <= 5) {
          // A product's clauses are the complement's terms, letter for letter.
          const goal = cheapest(kind === 'sum' ? on : on.map((v) => 1 - v), n);
          assert.deepEqual(cost(entry.code, kind), goal, `${kind} ${entry.code} of ${equation}`);
        }
      }
    }
  }
  console.log(`# ${checked} forms of seeded equations, each the equation's table in the program`);
});

// A table of random rows, written as the sum of its true rows: the hardest
// kind of table to minimize, as an equation of up to a megabyte, which is
// set in the field as a paste is, not typed.
function randomRows(rng, n) {
  const names = letters(n).split('');
  const terms = [];
  for (let k = 0; k < 2 ** n; k++)
    if (rng() < 0.5) terms.push(names.map((l, j) => ((k >> (n - 1 - j)) & 1 ? l : `!${l}`)).join('*'));
  return terms.join('+') || '0';
}

async function formsForPasted(equation, page = ctx.page) {
  await page.$eval('#versus', (e) => { e.value = ''; });
  await page.$eval('#equation', (e, text) => {
    e.value = text;
    e.dispatchEvent(new Event('input'));
  }, equation);
  await page.focus('#equation');
  await page.keyboard.press('Enter');
  await finished(page);
  await page.waitForFunction(() => !document.getElementById('forms').hidden, { timeout: 60000 });
  await settled(page);
  return formsOf(page);
}

test('the time to the minimal forms at 6, 8, 12 and 16 letters', async () => {
  const rng = seeded(16);
  for (const n of [6, 8, 12, 16]) {
    const times = [];
    for (let i = 0; i < 3; i++) {
      // Random rows first; then sums of many short products.
      const names = letters(n).split('');
      const terms = [];
      for (let t = 0; t < 4 * n; t++)
        terms.push(names.filter(() => rng() < 0.45).map((l) => (rng() < 0.5 ? `!${l}` : l)).join('*') || 'A');
      const equation = i === 0 ? randomRows(rng, n) : `${terms.join('+')}@${names.join('@')}`;
      const forms = await formsForPasted(equation);
      times.push(forms.minimalMs);
      const sum = forms.entries['Minimal sum of products'];
      assert.equal(sum.state, 'checked', `${equation.slice(0, 200)}: ${sum.said}`);
      assert.equal(forms.entries['Minimal product of sums'].state, 'checked');
      // Past 8 letters a dense function may outlast the budget, and say so.
      if (n <= 8) assert.equal(sum.proved, 'true');
      assert.match(sum.text, sum.proved === 'true' ? /proved minimal: fewest terms/
        : /not proved minimal: (at least [\d,]+ terms|the fewest terms)/);
      if (n > 6) assert.match(forms.entries['Canonical sum of products'].text, /Not shown past 6 variables/);
      if (n > 10) assert.match(forms.entries.Minterms.text, /rows? of [\d,]+ rows gives? 1/);
    }
    console.log(`# minimal forms shown at ${n} letters in ${times.map(Math.round).join(', ')} ms ` +
      '(random rows, then two sums of products)');
    // A guard against a search that runs away, not a benchmark.
    assert.ok(Math.max(...times) < 30000, `${times}`);
  }
  const many = await formsFor(letters(20).split('').join('+'));
  assert.match(many.entries['Minimal sum of products'].text, /None is given past 16 variables/);
  assert.match(many.entries.Minterms.text, /1,048,575 rows of 1,048,576 rows give 1/);
});

// The maps in the page: each cell's value, row number and place.
function mapsIn(page) {
  return page.$$eval('#forms table.kmap', (tables) => tables.map((t) => ({
    caption: t.caption.textContent,
    cols: [...t.tHead.rows[0].cells].slice(1).map((c) => c.firstChild.textContent),
    rows: [...t.tBodies[0].rows].map((r) => r.cells[0].firstChild.textContent),
    cells: [...t.tBodies[0].rows].map((r) => [...r.cells].slice(1).map((c) => ({
      value: c.firstChild.textContent,
      row: Number(c.querySelector('sub').textContent),
      loops: c.querySelectorAll('.loop').length,
    }))),
  })));
}

const oneBitApart = (a, b) => {
  const x = a ^ b;
  return x !== 0 && (x & (x - 1)) === 0;
};

test('Karnaugh maps of 2 to 6 letters: cells are the rows, neighbours one letter apart', async () => {
  const rng = seeded(4);
  for (let n = 1; n <= 7; n++) {
    const equation = seededEquation(rng, letters(n).split(''));
    const want = referenceRows(equation);
    const on = column(want);
    await formsFor(equation);
    const maps = await mapsIn(ctx.page);
    if (n < 2 || n > 6) {
      assert.equal(maps.length, 0, `${n} letters`);
      continue;
    }
    assert.equal(maps.length, 2 ** Math.max(0, n - 4));
    const seen = new Set();
    for (const map of maps) {
      assert.match(map.caption, /^Karnaugh map/);
      for (const codes of [map.rows, map.cols])
        for (let i = 0; i < codes.length; i++)
          assert.ok(codes.length < 2 || oneBitApart(parseInt(codes[i], 2), parseInt(codes[(i + 1) % codes.length], 2)),
            `Gray order: ${codes}`);
      const R = map.cells.length;
      const C = map.cells[0].length;
      for (let r = 0; r < R; r++) for (let c = 0; c < C; c++) {
        const cell = map.cells[r][c];
        seen.add(cell.row);
        assert.equal(cell.value, String(on[cell.row]), `row ${cell.row} of ${equation}`);
        // The cell's row, read from the codes heading it, is its number.
        const outer = n > 4 ? cell.row >> 4 : 0;
        const inner = parseInt(map.rows[r] + map.cols[c], 2);
        assert.equal(cell.row, (outer << Math.min(n, 4)) | inner);
        // Neighbours, wrapping around, differ in one letter.
        if (C > 1) assert.ok(oneBitApart(cell.row, map.cells[r][(c + 1) % C].row));
        if (R > 1) assert.ok(oneBitApart(cell.row, map.cells[(r + 1) % R][c].row));
        if (on[cell.row]) assert.ok(cell.loops > 0, `row ${cell.row} is in a group`);
        else assert.equal(cell.loops, 0);
      }
    }
    assert.equal(seen.size, 2 ** n);
    // Maps of more letters are side by side in Gray order too.
    const outers = maps.map((m) => m.cells[0][0].row >> 4);
    for (let i = 0; i + 1 < outers.length; i++) assert.ok(oneBitApart(outers[i], outers[i + 1]));
    const listed = await ctx.page.$$eval('#forms ol.groups li', (li) => li.map((l) => l.textContent));
    const sum = (await formsOf(ctx.page)).entries['Minimal sum of products'].code;
    assert.equal(listed.length, sum === '1' ? 0 : sum.split('+').length);
    listed.forEach((text, g) => assert.ok(text.includes(sum.split('+')[g]), text));
  }
  // A group that wraps is drawn and said to wrap: !B*!D takes the corners.
  await formsFor('!B*!D+A*B*C*D');
  const groups = await ctx.page.$$eval('#forms ol.groups li', (li) => li.map((l) => l.textContent));
  assert.ok(groups.some((g) => /wrapping around an edge: !B\*!D, rows 0, 2, 8, 10$/.test(g)), groups.join('\n'));
});

// The maps in `root` as drawn: for each cell, whether its digit and its
// row's number are the topmost element at the centre and two pixels
// inside each corner of their boxes (hit testing snaps to whole pixels), once the loops take the pointer as the rest
// of the page does, and whether the digit's box meets a band where a loop
// draws its border (a rounded corner only takes from a band, so a box
// clear of the bands is clear of every line). With `tags`, each group's
// number too: inside its cell, on top at its centre (its corners are
// round), clear of the digit, and once in each map the group reaches, by
// the rows the list gives it.
function clearOfLoops(page, root, tags) {
  return page.$eval(root, (box, tags) => {
    const problems = [];
    let clearance = Infinity;
    let most = 0;
    const meets = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    const gap = (a, b) => Math.max(b.left - a.right, a.left - b.right, b.top - a.bottom, a.top - b.bottom);
    const onTop = (e, what, corners = true) => {
      const r = e.getBoundingClientRect();
      const points = [[(r.left + r.right) / 2, (r.top + r.bottom) / 2]];
      if (corners)
        points.push([r.left + 2, r.top + 2], [r.right - 2, r.top + 2], [r.left + 2, r.bottom - 2], [r.right - 2, r.bottom - 2]);
      for (const [x, y] of points) {
        const top = document.elementFromPoint(x, y);
        if (top !== e && !e.contains(top))
          problems.push(`${what}: ${top ? `${top.tagName}.${top.className}` : 'nothing'} at (${x - r.left}, ${y - r.top})`);
      }
    };
    const groupRows = [...document.querySelectorAll('#forms ol.groups li')].map((li) =>
      li.textContent.match(/rows? ([\d, ]+)$/)[1].split(', ').map(Number));
    const loops = [...box.querySelectorAll('table.kmap .loop')];
    for (const loop of loops) loop.style.pointerEvents = 'auto';
    try {
      for (const table of box.querySelectorAll('table.kmap')) {
        table.scrollIntoView({ block: 'center', inline: 'center' });
        const bands = [];
        for (const loop of table.querySelectorAll('.loop')) {
          const r = loop.getBoundingClientRect();
          const s = getComputedStyle(loop);
          const [t, right, b, l] = ['Top', 'Right', 'Bottom', 'Left'].map((side) => parseFloat(s[`border${side}Width`]));
          if (t) bands.push({ left: r.left, right: r.right, top: r.top, bottom: r.top + t });
          if (b) bands.push({ left: r.left, right: r.right, top: r.bottom - b, bottom: r.bottom });
          if (l) bands.push({ left: r.left, right: r.left + l, top: r.top, bottom: r.bottom });
          if (right) bands.push({ left: r.right - right, right: r.right, top: r.top, bottom: r.bottom });
        }
        const rows = new Set();
        const tagged = [];
        for (const td of table.querySelectorAll('tbody td')) {
          const row = Number(td.querySelector('sub').textContent);
          rows.add(row);
          most = Math.max(most, td.querySelectorAll('.loop').length);
          const digit = td.querySelector('.digit');
          const d = digit.getBoundingClientRect();
          onTop(digit, `the digit of row ${row}`);
          onTop(td.querySelector('sub'), `the number of row ${row}`);
          for (const band of bands) {
            if (meets(d, band)) problems.push(`a loop's line crosses the digit of row ${row}`);
            else clearance = Math.min(clearance, gap(d, band));
          }
          if (!tags) continue;
          const cell = td.getBoundingClientRect();
          for (const tag of td.querySelectorAll('.tag')) {
            const t = tag.getBoundingClientRect();
            tagged.push(Number(tag.textContent));
            if (t.left < cell.left || t.right > cell.right || t.top < cell.top || t.bottom > cell.bottom)
              problems.push(`the number of group ${tag.textContent} runs out of row ${row}'s cell`);
            if (meets(t, d)) problems.push(`the number of group ${tag.textContent} meets the digit of row ${row}`);
            onTop(tag, `the number of group ${tag.textContent}`, false);
          }
        }
        if (!tags) continue;
        const reached = groupRows.flatMap((mine, g) => (mine.some((k) => rows.has(k)) ? [g + 1] : []));
        if (tagged.sort((a, b) => a - b).join() !== reached.join())
          problems.push(`${table.caption.textContent}: numbers ${tagged}, groups ${reached}`);
      }
    } finally {
      for (const loop of loops) loop.style.pointerEvents = '';
    }
    return { problems, clearance, most, cells: box.querySelectorAll('table.kmap tbody td').length };
  }, tags);
}

// Many groups through a cell: six through row 0, and a group of one cell;
// nine through one cell of 6 letters, fourteen groups in all.
const kCrowded = [[4, '!A*!B+!A*!C+!A*!D+A*B*C*D+!B*!C+!B*!D+!C*!D', 6],
  [6, '!A*!B*!C*D*!E*!F+!A*!B*C*!D*E+!A*B*E*F+A*B*!D+A*B*!E*F+A*!C*!D*!E+A*!C*!E*F+A*!D*!E*F+' +
    'A*D*E*!F+B*!C*!D+B*!C*F+B*!D*!E+!C*!D*F+C*D*E*!F', 9]];

test('every digit of the maps on top and clear of the loops, at 390 and 1280 wide', async () => {
  const wide = await ctx.browser.newPage();
  await wide.setViewport({ width: 1280, height: 800 });
  await wide.goto(`${ctx.origin}/`);
  await wide.waitForSelector('body[data-ready="true"]');
  const small = await phone(ctx);
  try {
    for (const [name, page] of [['390', small], ['1280', wide]]) {
      await page.bringToFront();
      for (const [n, equation, through] of kCrowded) {
        await formsFor(equation, page);
        const got = await clearOfLoops(page, '#forms .kmap-box', true);
        assert.ok(got.most >= through, `${got.most} groups through a cell`);
        assert.equal(got.cells, 2 ** n);
        assert.deepEqual(got.problems, [], `${n} letters at ${name} wide`);
        console.log(`# ${n} letters at ${name} wide: up to ${got.most} groups through a cell, ` +
          `every digit at least ${got.clearance.toFixed(1)} px from a loop's line`);
        for (const scheme of ['light', 'dark']) {
          await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
          const grid = await page.$('#forms .kmaps');
          await grid.scrollIntoView();
          await grid.screenshot({ path: join(shots, `kmap-${n}-${name}-${scheme}.png`) });
        }
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
      }
      // Every cube of 4, and of 6, letters drawn as a group by the map
      // module on its own: 16 and 64 through each cell, every look many
      // times over, and a group of one cell at every inset.
      for (const n of [4, 6]) {
        await page.evaluate(async (n) => {
          const { drawMaps } = await import('./kmap.js');
          const cubes = [];
          for (let mask = 0; mask < 1 << n; mask++)
            for (let value = mask; ; value = (value - 1) & mask) {
              cubes.push({ mask, value });
              if (value === 0) break;
            }
          const result = Uint8Array.from({ length: 2 ** n }, (_, k) => (k * 7 + 3) % 5 > 1);
          const box = document.createElement('div');
          box.id = 'every-cube';
          document.querySelector('main').append(box);
          drawMaps(box, 'ABCDEF'.slice(0, n), result, cubes, () => 'X');
        }, n);
        const got = await clearOfLoops(page, '#every-cube', false);
        await page.$eval('#every-cube', (box) => box.remove());
        assert.equal(got.most, 2 ** n);
        assert.deepEqual(got.problems, [], `every cube of ${n} letters at ${name} wide`);
        console.log(`# every cube of ${n} letters at ${name} wide: ${got.most} groups through each cell, ` +
          `every digit at least ${got.clearance.toFixed(1)} px from a loop's line`);
      }
    }
  } finally {
    await small.close();
    await wide.close();
  }
});

test('with the warning, the result column\'s forms and a sentence; a stop, none', async () => {
  const want = referenceRows('AB');
  assert.equal(want.warning, true);
  const forms = await formsFor('AB');
  assert.match(forms.text, /describe the result column it computed, not what the equation was meant/);
  for (const name of kRunnable) {
    assert.equal(forms.entries[name].state, 'checked');
    sameTable(forms.entries[name].code, want);
  }
  for (const equation of ['A+', '()']) {
    assert.notEqual(referenceRows(equation).status, 0);
    assert.equal((await formsFor(equation)).hidden, true, equation);
  }
  const constant = await formsFor('1');
  assert.equal(constant.entries['Minimal sum of products'].code, '1');
  assert.equal(constant.entries['Minimal product of sums'].code, '1');
  assert.equal(constant.entries.Minterms.code, 'Σm(0)');
  const never = await formsFor('A*!A');
  assert.equal(never.entries['Minimal sum of products'].code, '0');
  assert.equal(never.entries['Minimal product of sums'].code, '0');
  assert.equal(never.entries['Minimal sum of products'].said, 'checked: the same value in all 2 rows');
});

test('Stop ends the minimizer and its checks, and says so', () => heldPage(ctx, async (page, server) => {
  const equation = 'A*B+!C@D';
  // The minimizer and the program's checks of the forms wait until the test
  // lets them go; the run itself does not.
  const gate = server.hold((kind, body) => kind === 'minimize' || (kind === 'run' && body !== `${equation}\n`));
  await page.$eval('#equation', (e) => { e.value = ''; });
  await page.type('#equation', equation);
  await page.keyboard.press('Enter');
  await page.waitForSelector('#forms dl.forms', { timeout: 60000 });
  await gate.arrived;
  const before = await formsOf(page);
  assert.match(before.entries['Minimal sum of products'].text, /working…/);
  assert.equal(await page.$eval('body', (b) => b.dataset.running), 'true', 'the forms are under way');
  await page.click('#stop');
  await finished(page);
  await gate.emptied();
  const forms = await formsOf(page);
  assert.match(forms.text, /The work was stopped/);
  assert.doesNotMatch(forms.text, /working…|checking…/);
  for (const name of ['Minimal sum of products', 'Minimal product of sums'])
    assert.equal(forms.entries[name].text, 'Not found: the work was stopped.');
  for (const name of ['Canonical sum of products', 'Canonical product of sums'])
    assert.equal(forms.entries[name].state, 'stopped', name);
  gate.release();
}, { viewport: { width: 1280, height: 800 } }));

test('Compare takes a form; Copy and Copy as LaTeX give its text', async () => {
  await ctx.browser.defaultBrowserContext().overridePermissions(ctx.origin,
    ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
  const forms = await formsFor('!A*B+C');
  assert.equal(forms.entries['Minimal sum of products'].code, '!A*B+C');
  const buttons = async (label) => ctx.page.$$(`#forms dd button[aria-describedby]`).then(async (all) => {
    const out = [];
    for (const b of all) if (await b.evaluate((e) => e.textContent) === label) out.push(b);
    return out;
  });
  const clipboard = () => ctx.page.evaluate(() => navigator.clipboard.readText());
  // The third runnable form is the minimal sum.
  await (await buttons('Copy as LaTeX'))[2].click();
  await pause(100);
  assert.equal(await clipboard(), '\\overline{A}B + \\hfil\\allowbreak\\hfilneg C');
  await (await buttons('Copy'))[2].click();
  await pause(100);
  assert.equal(await clipboard(), '!A*B+C');
  await (await buttons('Compare'))[3].click();
  assert.equal(await ctx.page.$eval('#versus', (v) => v.value), forms.entries['Minimal product of sums'].code);
  assert.equal(await ctx.page.evaluate(() => document.activeElement.id), 'versus');
  await ctx.page.$eval('#versus', (e) => { e.value = ''; });
});

test('axe finds nothing with Forms and maps, at 1280 and on a phone, light and dark', async () => {
  const wide = await desktop(ctx);
  const small = await phone(ctx);
  try {
    for (const [n, equation] of [[4, 'A*!C+B@D'], [6, '!A*C*E+B@D*F+A*!F']]) {
      for (const [name, page] of [['1280', wide], ['390', small]]) {
        // A page behind another gets no animation frames.
        await page.bringToFront();
        await formsFor(equation, page);
        for (const scheme of ['light', 'dark']) {
          await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
          await axe(page, `${n} letters at ${name} wide, ${scheme}`);
          const over = await page.evaluate(() => document.documentElement.scrollWidth - innerWidth);
          assert.ok(over <= 0, `the page is ${over} px wider than the screen`);
          if (n === 6) {
            // Maps beside or above one another on the screen differ in one letter.
            const boxes = await page.$$eval('#forms table.kmap', (ts) => ts.map((t) => {
              const r = t.getBoundingClientRect();
              return { top: Math.round(r.top), left: Math.round(r.left),
                outer: Number(t.querySelector('tbody sub').textContent) >> 4 };
            }));
            for (const a of boxes) for (const b of boxes)
              if (a !== b && name === '1280' && (a.top === b.top || a.left === b.left))
                assert.ok(oneBitApart(a.outer, b.outer), `maps ${a.outer} and ${b.outer} side by side`);
          }
          const section = await page.$('#forms');
          await section.scrollIntoView();
          await section.screenshot({ path: join(shots, `forms-${n}-${name}-${scheme}.png`) });
        }
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
      }
    }
  } finally {
    await small.close();
    await wide.close();
  }
});

test('a form whose table differs is shown as failed, never as checked', async () => {
  // The forms module on its own, given a program that answers every form
  // with a table that differs in one row, or stops on it.
  const said = await ctx.page.evaluate(async () => {
    const { showForms } = await import('./forms.js');
    const out = [];
    for (const answer of ['differs', 'stops']) {
      const section = document.createElement('section');
      document.body.append(section);
      const controller = new AbortController();
      const forms = showForms(section, [{ name: null, letters: 'AB', result: Uint8Array.of(0, 1, 1, 1),
        care: null, warning: false }], {
        tableOf: async () => (answer === 'stops'
          ? { status: 1, warning: false, letters: null, rows: 0, result: null }
          : { status: 0, warning: false, letters: 'AB', rows: 4, result: Uint8Array.of(1, 1, 1, 1) }),
        compare: async (a, b) => ({ letters: 'AB', rows: 4, compared: 4,
          differing: a.result.reduce((d, v, k) => d + (v !== b.result[k]), 0) }),
        putInCompare: () => {},
        signal: controller.signal,
      });
      await new Promise((resolve) => {
        const wait = () => (section.dataset.settled === 'true' ? resolve() : setTimeout(wait, 20));
        wait();
      });
      out.push([...section.querySelectorAll('dd[data-check]')]
        .map((dd) => `${dd.dataset.check}: ${dd.querySelector('.check').textContent}`));
      forms.close();
      section.remove();
    }
    return out;
  });
  for (const line of said[0]) assert.equal(line, 'failed: failed: a different value in 1 of 4 rows');
  for (const line of said[1]) assert.match(line, /^failed: failed: the program stopped on this form/);
  assert.equal(said[0].length, 6);
});

test('25 letters: the counts, a slice at a time, and no long task', async () => {
  let forms;
  const longest = await longestTask(ctx.page, async () => {
    forms = await formsFor(letters(25).split('').join('*'));
  });
  console.log(`# Forms at 25 letters: longest main-thread task ${Math.round(longest)} ms`);
  assert.match(forms.entries.Minterms.text, /^1 row of 33,554,432 rows gives 1\./);
  assert.match(forms.entries.Maxterms.text, /^33,554,431 rows of 33,554,432 rows give 0\./);
  assert.match(forms.entries['Minimal sum of products'].text, /None is given past 16 variables/);
  // A guard against counting 2^25 rows in one task, not a benchmark.
  assert.ok(longest < 1000, `a task of ${longest} ms`);
});
