// The Circuit view in the page: the netlist it shows, read and evaluated
// here, gives the reference program's table; the values on the wires of a
// chosen row are those of the netlist there; the NAND-only and NOR-only
// forms use only their operators and the reference program agrees with
// them; the choice of circuit stays across runs; the IEC switch; the
// downloads; axe, and no sideways scroll on a phone.
//   Usage: node circuit-view.test.mjs SITE_FOLDER
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  axeOnScreens, downloads, finished, letters, randomTree, referenceRows, seeded, submit, textOf, usePage, valueAt,
} from './helper.mjs';

const ctx = usePage({ viewport: { width: 1280, height: 800 } });

// A netlist's value of every source in a row where each letter has the
// value `of(letter)`: the test's own reading of "G3 = OR(G1, G2)" lines.
function evaluate(netlist, of) {
  const values = new Map([['0', 0], ['1', 1]]);
  const kinds = {
    AND: (xs) => xs.every(Boolean), OR: (xs) => xs.some(Boolean), XOR: (xs) => xs.reduce((a, b) => a ^ b, 0),
    NAND: (xs) => !xs.every(Boolean), NOR: (xs) => !xs.some(Boolean), XNOR: (xs) => !xs.reduce((a, b) => a ^ b, 0),
    NOT: ([x]) => !x, BUF: ([x]) => x,
  };
  let last = null;
  for (const line of netlist.trim().split('\n')) {
    const [, name, kind, args] = /^(G\d+) = ([A-Z]+)\((.*)\)$/.exec(line);
    const inputs = args.split(', ').map((x) => (values.has(x) ? values.get(x) : of(x)));
    values.set(name, Number(kinds[kind](inputs)));
    last = name;
  }
  return { values, output: values.get(last) };
}

async function circuit(page, equation, choice) {
  await submit(page, equation);
  await page.waitForFunction(() => document.getElementById('forms').hidden ||
    document.getElementById('forms').dataset.settled === 'true', { timeout: 120000 });
  await page.click('#view-circuit');
  if (choice) await page.select('#circuit-of', choice);
  await page.waitForFunction(() => document.getElementById('netlist').textContent ||
    document.getElementById('circuit-note').textContent, { timeout: 60000 });
  await finished(page);
  return page.evaluate(() => ({
    netlist: document.getElementById('netlist').textContent,
    note: document.getElementById('circuit-note').textContent,
    counts: document.getElementById('circuit-counts').textContent,
  }));
}

// The wires' values as drawn: each wire names its source and says 0 or 1.
const wireValues = (page) => page.$$eval('#circuit-box [data-from]', (wires) => wires.map((w) => [
  w.dataset.from, w.classList.contains('one') ? 1 : w.classList.contains('zero') ? 0 : null]));

test('seeded equations: the netlist gives the program\'s table, the wires a row\'s values', async () => {
  const { page } = ctx;
  const rng = seeded(37);
  for (let i = 0; i < 6; i++) {
    const names = letters(1 + rng.int(4)).split('');
    const equation = textOf(randomTree(rng, names, 3));
    const want = referenceRows(equation);
    const choice = rng.pick(['equation', 'sum', 'product', 'nand', 'nor']);
    const shown = await circuit(page, equation, choice);
    assert.ok(shown.netlist, `${equation} (${choice}): ${shown.note}`);
    want.rows.forEach((r) => {
      const of = (letter) => Number(r[want.letters.indexOf(letter)]);
      assert.equal(String(evaluate(shown.netlist, of).output), r.at(-1), `${equation} (${choice}) at ${r}`);
    });
    // A row's values on every wire, as the netlist gives them there.
    const k = rng.int(want.rows.length);
    await page.$eval('#circuit-row', (input, value) => {
      input.value = value;
      input.dispatchEvent(new Event('input'));
    }, String(k));
    await page.waitForFunction(() => document.querySelector('#circuit-box .wire.one, #circuit-box .wire.zero'));
    await finished(page);
    const { values } = evaluate(shown.netlist, (letter) => Number(want.rows[k][want.letters.indexOf(letter)]));
    for (const [from, value] of await wireValues(page))
      if (values.has(from)) assert.equal(value, values.get(from), `${equation} (${choice}), row ${k}, ${from}`);
    assert.match(shown.counts, /^\d+ gates? \(.*\); \d+ levels? counting NOT gates, \d+ levels? not counting them\.$/);
  }
});

test('NAND-only and NOR-only forms use only their operators, and the program agrees', async () => {
  const { page } = ctx;
  const rng = seeded(38);
  for (let i = 0; i < 4; i++) {
    const names = letters(2 + rng.int(3)).split('');
    const equation = textOf(randomTree(rng, names, 3));
    await circuit(page, equation);
    const forms = await page.$$eval('#forms dt', (dts) => dts.filter((dt) => /^N(AND|OR)-only/.test(dt.textContent))
      .map((dt) => ({ name: dt.textContent, code: dt.nextElementSibling.querySelector('code')?.textContent,
        state: dt.nextElementSibling.dataset.check })));
    assert.equal(forms.length, 2, equation);
    const want = referenceRows(equation);
    for (const { name, code, state } of forms) {
      assert.equal(state, 'checked', `${equation}: ${name}`);
      assert.match(code, name.startsWith('NAND') ? /^[!*()A-Z01]+$/ : /^[!+()A-Z01]+$/, `${equation}: ${name}`);
      const own = referenceRows(code);
      for (const r of want.rows) assert.equal(valueAt(own, want.letters, r), r.at(-1), `${code} at ${r}`);
    }
  }
});

test('the chosen circuit stays across runs; IEC shapes; downloads are what is shown', async () => {
  const { page } = ctx;
  await circuit(page, 'A*B+!C', 'nor');
  const nor = await circuit(page, 'A@B');
  assert.equal(await page.$eval('#circuit-of', (s) => s.value), 'nor');
  assert.match(nor.netlist, /^(G\d+ = NOR\(.*\)\n)+$/);
  await page.select('#circuit-of', 'equation');
  await finished(page);
  const ansi = await page.$eval('#circuit-box', (b) => b.innerHTML);
  await page.click('#circuit-iec');
  await page.waitForFunction((before) => document.getElementById('circuit-box').innerHTML !== before, {}, ansi);
  assert.match(await page.$eval('#circuit-box', (b) => b.innerHTML), /=1/);
  const files = await downloads(page);
  try {
    assert.match(await files.fetched('#circuit-svg', 'quorvane-circuit.svg'), /^<svg [^>]*role="img"/);
    assert.match(await files.fetched('#circuit-tikz', 'quorvane-circuit.tex'),
      /^% needs \\usepackage\{circuitikz\}\n[^]*\\begin\{circuitikz\}[^]*european xor port/);
    assert.equal(await files.fetched('#circuit-netlist', 'quorvane-netlist.txt'),
      await page.$eval('#netlist', (n) => n.textContent));
  } finally {
    files.done();
    await page.click('#circuit-iec');
  }
  // A warning or a stop has no circuit of its own, and says why.
  assert.match((await circuit(page, 'AB', 'equation')).note, /well-formed/);
  assert.match((await circuit(page, 'A**B')).note, /no table/);
});

test('axe finds nothing in the Circuit view at 1280 light and on a phone dark; nothing scrolls sideways', () =>
  axeOnScreens(ctx, 'the Circuit view', (page) => circuit(page, 'A*!B+C@(D+!A)*E', 'equation')));
