// The Circuit view: the equation drawn as the program grouped it, one gate
// per operator, or a two-level circuit of a minimal form or its NAND-only or
// NOR-only rewrite; the netlist as text, which is also the drawing's text
// alternative; the counts a course asks for. A chosen row shows a value on
// every wire, each read from the program's own table of the group that
// wire carries: nothing here evaluates an equation.
import { countsOf, nandOnly, netlistOf, netlistOfForm, netlistText, norOnly } from './circuit.js';
import { circuitikzOf, svgOf } from './circuit-draw.js';
import { save } from './exports.js';
import { rowMap } from './joint.js';
import { hasTable, tableOf } from './outcome.js';
import { kMostGroups, operatorsIn } from './steps.js';
import { row } from './table.js';

const $ = (id) => document.getElementById(id);
const kChoiceKey = 'quorvane-circuit';
// A row is chosen by its number, which a table of more letters would make
// too long to type; the drawings' letters stay few as well.
const kMostLetters = 16;

const kScale = 1.6;

const kChoices = {
  equation: 'the equation, as the program groups it',
  sum: 'the minimal sum of products',
  product: 'the minimal product of sums',
  nand: 'the NAND-only form',
  nor: 'the NOR-only form',
};

// The form of a choice, from the run's first minimal forms as Forms finds
// them, and the gate kind it is drawn in.
async function formOf(run, choice) {
  if (choice === 'sum' || choice === 'nand') {
    const sum = await run.minimal.sum.promise;
    return choice === 'sum' ? { form: sum } : { form: nandOnly(sum), only: 'NAND' };
  }
  const product = await run.minimal.product.promise;
  return choice === 'product' ? { form: product } : { form: norOnly(product), only: 'NOR' };
}

function note(text) {
  $('circuit-note').textContent = text;
  $('circuit-note').hidden = !text;
}

// The netlist a choice draws, or a sentence saying why there is none.
async function circuitOf(run, choice) {
  const { shape } = run;
  if (choice === 'equation') {
    const operators = operatorsIn(run.echo);
    if (operators > kMostGroups)
      return { why: `The equation has ${operators} operators; a circuit is drawn for at most ${kMostGroups}.` };
    const netlist = netlistOf(run.echo);
    if (!netlist || shape.warning)
      return { why: 'The program\'s echo does not read as one well-formed equation, so it has no ' +
        'circuit of its own; its minimal forms have one.' };
    return { netlist, text: run.echo };
  }
  if (shape.letters.length > kMostLetters)
    return { why: `No minimal form is found past ${kMostLetters} variables, so there is no circuit of one.` };
  const { form, only } = await formOf(run, choice);
  // A form of thousands of terms is not read into gates only to be refused.
  const operators = operatorsIn(form);
  if (operators > 4 * kMostGroups)
    return { why: `The form has ${operators} operators; a circuit is drawn for at most ${kMostGroups} gates.` };
  const netlist = netlistOfForm(form, { only });
  if (!netlist) return { why: `The form ${form} cannot be drawn.` };
  if (netlist.gates.length > kMostGroups)
    return { why: `The form has ${netlist.gates.length} gates; a circuit is drawn for at most ${kMostGroups}.` };
  return { netlist, text: form };
}

// The program's table of a group, run once for the run shown whatever the
// row chosen.
function groupTable(run, group, signal) {
  run.groups ??= new Map();
  if (!run.groups.has(group)) run.groups.set(group, tableOf(group, signal));
  return run.groups.get(group);
}

// The value of every wire in row k: a letter's digit from the program's
// table of the run, each gate's from the program's table of its group.
async function valuesOf(run, netlist, k, signal) {
  const { stdout, shape } = run;
  const digits = row(stdout, shape, k).values;
  const values = new Map([['0', 0], ['1', 1]]);
  [...shape.letters].forEach((letter, j) => values.set(letter, Number(digits[j])));
  const tables = await Promise.all(netlist.gates.map((gate) => groupTable(run, gate.group, signal)));
  netlist.gates.forEach((gate, i) => {
    const table = tables[i];
    if (table.status !== 0 || !table.result) throw new Error(`The program stopped on ${gate.group}.`);
    values.set(gate.name, table.result[rowMap(shape.letters, table.letters)(k)]);
  });
  return values;
}

const plural = (count, one, many = `${one}s`) => `${count} ${count === 1 ? one : many}`;

function countsText(netlist) {
  const { kinds, gates, levels, levelsWithoutNot } = countsOf(netlist);
  const each = Object.entries(kinds).map(([kind, count]) => `${count} ${kind}`).join(', ');
  return `${plural(gates, 'gate')} (${each}); ${plural(levels, 'level')} counting NOT gates, ` +
    `${plural(levelsWithoutNot, 'level')} not counting them.`;
}

// The drawing, its netlist and counts, and the exports of what is drawn.
function draw(drawn, values) {
  const { netlist, name } = drawn;
  const shapes = $('circuit-iec').checked ? 'iec' : 'ansi';
  const { svg, width } = svgOf(netlist, { shapes, values, title: `The circuit of ${drawn.text}`, name });
  $('circuit-box').innerHTML = svg;
  // Drawn larger than its own units, so that its labels read as text does.
  $('circuit-box').firstElementChild.style.width = `${Math.round(width * kScale)}px`;
  $('circuit-box').hidden = false;
  $('netlist').textContent = netlistText(netlist);
  $('circuit-counts').textContent = countsText(netlist);
  $('circuit-more').hidden = false;
  $('circuit-svg').onclick = () => save(new Blob([svg], { type: 'image/svg+xml' }), 'quorvane-circuit.svg');
  $('circuit-tikz').onclick = () => save(new Blob([circuitikzOf(netlist, { shapes, name })],
    { type: 'text/x-tex' }), 'quorvane-circuit.tex');
  $('circuit-netlist').onclick = () => save(new Blob([netlistText(netlist)], { type: 'text/plain' }),
    'quorvane-netlist.txt');
}

export default {
  name: 'circuit',
  label: 'Circuit',
  mount(part) {
    part.innerHTML = `
      <p id="circuit-note" hidden></p>
      <div id="circuit-controls" class="circuit-controls" hidden>
        <label class="inline">Draw <select id="circuit-of">${Object.entries(kChoices)
    .map(([value, text]) => `<option value="${value}">${text}</option>`).join('')}</select></label>
        <label class="inline"><input id="circuit-iec" type="checkbox"> IEC rectangular shapes</label>
        <label class="inline">Values of row <input id="circuit-row" type="number" min="0" value="0"
          inputmode="numeric" aria-describedby="circuit-row-hint"></label>
        <span id="circuit-row-hint" class="hint" aria-live="polite"></span>
      </div>
      <div id="circuit-box" class="circuit-box" tabindex="0" role="region" aria-label="The circuit" hidden></div>
      <div id="circuit-more" hidden>
        <p id="circuit-counts"></p>
        <p class="netlist-title">Netlist, one gate a line; the last gate is the output:</p>
        <pre id="netlist"></pre>
        <p class="downloads">Download the circuit as <button id="circuit-svg" type="button">SVG</button>
        <button id="circuit-tikz" type="button">circuitikz</button>, or
        <button id="circuit-netlist" type="button">the netlist</button>.</p>
      </div>`;
    // The circuit chosen last is drawn again, this visit and the next.
    const kept = localStorage.getItem(kChoiceKey);
    part.querySelector('#circuit-of').value = kChoices[kept] ? kept : 'equation';
  },

  clear(sentence) {
    note(sentence);
    $('circuit-row').oninput = null;
    $('circuit-controls').hidden = true;
    $('circuit-box').hidden = true;
    $('circuit-box').replaceChildren();
    $('circuit-more').hidden = true;
    $('netlist').textContent = '';
  },

  show(run, { signal, track, redraw }) {
    this.clear('');
    if (!hasTable(run.shape)) {
      note('There is no table, so there is no circuit: the program stopped before writing one.');
      return null;
    }
    const choice = $('circuit-of').value;
    $('circuit-of').onchange = () => {
      localStorage.setItem(kChoiceKey, $('circuit-of').value);
      redraw();
    };
    $('circuit-iec').onchange = redraw;
    $('circuit-row').max = String(run.shape.rows - 1);
    // A row past this run's last, left from a bigger one, starts again at 0.
    if (Number($('circuit-row').value) >= run.shape.rows) $('circuit-row').value = '0';
    $('circuit-controls').hidden = false;
    let closed = false;
    note(choice === 'equation' ? '' : `Waiting for ${kChoices[choice]}…`);
    const shown = track(circuitOf(run, choice)).then(async (drawn) => {
      if (closed) return;
      note(drawn.why ?? '');
      if (drawn.why) return;
      const outputs = run.read?.fn.outputs ?? [];
      drawn.name = outputs[0]?.name ?? 'F';
      if (outputs.length > 1)
        note(`The circuit is of the first output, ${drawn.name}, of ${outputs.length}.`);
      draw(drawn, null);
      // Each group's table has a row for every row of the run's, which
      // past 16 letters is too much to run for a row's values.
      if (run.shape.letters.length > kMostLetters) {
        $('circuit-row').disabled = true;
        note(`Values on the wires are shown up to ${kMostLetters} variables.`);
        return;
      }
      $('circuit-row').disabled = false;
      const withValues = async () => {
        const typed = $('circuit-row').value.trim();
        const k = Number(typed);
        const valid = typed !== '' && Number.isInteger(k) && k >= 0 && k < run.shape.rows;
        $('circuit-row').setAttribute('aria-invalid', String(!valid));
        $('circuit-row-hint').textContent = valid ? '' : `Rows go from 0 to ${run.shape.rows - 1}.`;
        if (closed || signal.aborted || !valid) return;
        const values = await track(valuesOf(run, drawn.netlist, k, signal));
        if (!closed && Number($('circuit-row').value) === k) draw(drawn, values);
      };
      $('circuit-row').oninput = () => withValues().catch(() => {});
      await withValues();
    });
    shown.catch((error) => {
      if (!closed) note(error.message === 'stopped' ? 'Stopped before the circuit was drawn.' : error.message);
    });
    return {
      close() {
        closed = true;
      },
    };
  },
};
