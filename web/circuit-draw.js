// A netlist drawn as a schematic: an SVG for the page and a circuitikz
// picture for LaTeX, both from one layout. The circuit is a tree, so each
// gate gets a band of rows of its own, holding the bands of the gates it
// reads and one row for each letter or constant it reads. A wire runs along
// its source's row, turns in the channel just before its gate, and runs
// along the pin's row: every row it crosses on the way is its own, so it
// passes no gate, and each source gets a track of its own in the channel.
// Letters come down from terminals on vertical lines and branch off there.

const kInvertedKinds = new Set(['NOT', 'NAND', 'NOR', 'XNOR']);
const kBase = { NAND: 'AND', NOR: 'OR', XNOR: 'XOR', NOT: 'BUF' };
const baseOf = (kind) => kBase[kind] ?? kind;

const distinct = (xs) => [...new Set(xs)];
const largest = (xs) => xs.reduce((most, x) => Math.max(most, x), -Infinity);

// Rows each gate spans: enough for its pins and for what it reads, and a
// margin, so that gates one row of pins tall stand apart from their
// neighbours in the column.
const kMargin = 0.4;

// Rows the inputs of `gate` take: a gate's band, or one for a letter.
const needOf = (gate, rows) => distinct(gate.inputs).reduce((sum, input) => sum + (rows.get(input) ?? 1), 0);

function rowsOf(gates) {
  const rows = new Map();
  for (const gate of gates) rows.set(gate.name, Math.max(2, gate.inputs.length, needOf(gate, rows)) + kMargin);
  return rows;
}

// Each source's track in the gate's channel, leftmost first, ordered so
// that wires turning down and wires turning up never cross each other.
function tracksOf(from, pins, inputs) {
  const firstPin = (source) => pins[inputs.indexOf(source)];
  const sources = [...from.keys()];
  const down = sources.filter((s) => from.get(s) < firstPin(s)).sort((a, b) => firstPin(b) - firstPin(a));
  const level = sources.filter((s) => from.get(s) === firstPin(s));
  const up = sources.filter((s) => from.get(s) > firstPin(s)).sort((a, b) => firstPin(a) - firstPin(b));
  return new Map([...down, ...up, ...level].map((source, i) => [source, i]));
}

// Rows, columns and tracks of every gate, in row units; x is left to the
// renderers, which know how wide their shapes are.
function layout({ gates, output }) {
  const byName = new Map(gates.map((gate) => [gate.name, gate]));
  const column = new Map();
  for (const gate of gates) {
    column.set(gate.name, 1 + gate.inputs.reduce((most, i) => Math.max(most, column.get(i) ?? 0), 0));
  }
  const rows = rowsOf(gates);
  const top = new Map([[output, 0]]);
  const placed = [];
  for (const gate of [...gates].reverse()) {
    if (!top.has(gate.name)) throw new RangeError(`${gate.name} is read by no gate: not a tree`);
    let cursor = top.get(gate.name) + (rows.get(gate.name) - needOf(gate, rows)) / 2;
    const from = new Map();
    for (const input of distinct(gate.inputs)) {
      const span = byName.has(input) ? rows.get(input) : 1;
      if (byName.has(input)) top.set(input, cursor);
      from.set(input, cursor + span / 2);
      cursor += span;
    }
    const center = top.get(gate.name) + rows.get(gate.name) / 2;
    const k = gate.inputs.length;
    const pins = gate.inputs.map((_, j) => center + j - (k - 1) / 2);
    const tracks = tracksOf(from, pins, gate.inputs);
    placed.push({ gate, column: column.get(gate.name), center, pins, from, tracks });
  }
  placed.reverse();
  const columns = largest([...column.values()]);
  const trackCount = Array.from({ length: columns + 1 }, (_, c) => placed
    .filter((p) => p.column === c).reduce((most, p) => Math.max(most, p.from.size), 0));
  const letters = distinct(gates.flatMap((gate) => gate.inputs).filter((i) => !byName.has(i)))
    .sort((a, b) => (/\d/.test(a) - /\d/.test(b)) || (a < b ? -1 : a > b ? 1 : 0));
  const placedBy = new Map(placed.map((p) => [p.gate.name, p]));
  return { placed, placedBy, byName, columns, trackCount, letters, rows: rows.get(output), output };
}

// Points where a source's wires into one gate meet three or more ways:
// its run to the track, the track's vertical, and the runs to the pins.
function junctionsOf(srcY, pinYs) {
  const ys = [srcY, ...pinYs];
  const lo = Math.min(...ys);
  const hi = Math.max(...ys);
  return distinct(ys).filter((y) => (y > lo) + (y < hi) + (y === srcY) + pinYs.includes(y) >= 3);
}

// What both renderers draw: every wire, as its source, the placed gate it
// enters, its pin, the rows it runs along, its track and the junctions of
// its source at that gate; and each letter's taps, the rows it feeds.
function wiresOf(plan) {
  const wires = [];
  const taps = new Map(plan.letters.map((l) => [l, []]));
  for (const p of plan.placed) {
    for (const [source, y] of p.from) {
      if (taps.has(source)) taps.get(source).push(y);
      const pinYs = p.pins.filter((_, j) => p.gate.inputs[j] === source);
      const junctions = junctionsOf(y, pinYs);
      p.gate.inputs.forEach((input, j) => {
        if (input !== source) return;
        wires.push({ source, placed: p, pin: j, srcY: y, pinY: p.pins[j], track: p.tracks.get(source), junctions });
      });
    }
  }
  return { wires, taps };
}

const fmt = (v) => String(Math.round(v * 10) / 10);

const escapeXml = (text) => String(text).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

const kRow = 20;
const kHead = 34;
const kBus = 16;
const kTrack = 10;
const kGate = 44;
const kBubble = 4;

// x of every bus and column in SVG units.
function svgColumns(plan) {
  const bus = new Map(plan.letters.map((l, i) => [l, 16 + i * kBus]));
  const gateX = [];
  let x = 16 + (plan.letters.length - 1) * kBus + 8;
  const channel = [];
  for (let c = 1; c <= plan.columns; c++) {
    channel[c] = x;
    gateX[c] = x + (plan.trackCount[c] + 1) * kTrack;
    x = gateX[c] + kGate;
  }
  return { bus, gateX, channel, end: x };
}

const yOf = (row) => kHead + row * kRow;
const boxHeight = (k) => Math.max(k, 1.4) * kRow - 6;

// The back of an OR is a curve bowed in by `depth`: its x at height y.
const backX = (x, y0, h, y, depth) => x + 4 * depth * ((y - y0) / h) * (1 - (y - y0) / h);

const pt = (x, y) => `${fmt(x)} ${fmt(y)}`;
const path = (d) => `<path d="${d}"/>`;

// The ANSI shape of a gate whose box is x, y0 (width w, height h), and
// the stubs from the box's edge to a curved back.
function ansiShape(kind, x, y0, w, h, pins) {
  const [y1, cy] = [y0 + h, y0 + h / 2];
  const base = baseOf(kind);
  if (base === 'AND') return path(`M${pt(x, y0)}H${fmt(x + w / 2)}A${pt(w / 2, h / 2)} 0 0 1 ${pt(x + w / 2, y1)}H${fmt(x)}Z`);
  if (base === 'BUF') return path(`M${pt(x, y0)}L${pt(x + w, cy)}L${pt(x, y1)}Z`);
  const depth = 5;
  const shift = base === 'XOR' ? 5 : 0;
  const [bx, bw] = [x + shift, w - shift];
  const front = `Q${pt(bx + bw * 0.6, y0)} ${pt(bx + bw, cy)}Q${pt(bx + bw * 0.6, y1)} ${pt(bx, y1)}`;
  const body = path(`M${pt(bx, y0)}${front}Q${pt(bx + 2 * depth, cy)} ${pt(bx, y0)}Z`);
  const extra = shift ? path(`M${pt(x, y0)}Q${pt(x + 2 * depth, cy)} ${pt(x, y1)}`) : '';
  return body + extra + path(pins.map((y) => `M${pt(x, y)}H${fmt(backX(x, y0, h, y, depth))}`).join(''));
}

const kIec = { AND: '&', OR: '≥1', XOR: '=1', BUF: '1' };

function iecShape(kind, x, y0, w, h) {
  return `<rect x="${fmt(x)}" y="${fmt(y0)}" width="${fmt(w)}" height="${fmt(h)}"/>`
    + text(x + w / 2, y0 + 11, kIec[baseOf(kind)], ' text-anchor="middle"');
}

const wireClass = (values, source) => {
  const v = values?.get(source);
  return v === 1 ? 'wire one' : v === 0 ? 'wire zero' : 'wire';
};

const wirePath = (values, source, d) =>
  `<path class="${wireClass(values, source)}" data-from="${escapeXml(source)}" d="${d}"/>`;

const text = (x, y, content, extra = '') =>
  `<text x="${fmt(x)}" y="${fmt(y)}" stroke="none" fill="currentColor"${extra}>${escapeXml(content)}</text>`;

const valueText = (values, source, x, y) => (values?.has(source)
  ? text(x, y, values.get(source), ' class="value" font-size="8"')
  : '');

function svgGate(p, cols, shapes, values) {
  const { gate } = p;
  const x = cols.gateX[p.column];
  const k = gate.inputs.length;
  const h = boxHeight(k);
  const y0 = yOf(p.center) - h / 2;
  const inverted = kInvertedKinds.has(gate.kind);
  const w = kGate - (inverted ? 2 * kBubble : 0);
  const pins = p.pins.map(yOf);
  const shape = shapes === 'iec' ? iecShape(gate.kind, x, y0, w, h) : ansiShape(gate.kind, x, y0, w, h, pins);
  const bubble = inverted ? `<circle cx="${fmt(x + w + kBubble)}" cy="${fmt(yOf(p.center))}" r="${kBubble}"/>` : '';
  const title = `${gate.name} = ${gate.kind}(${gate.inputs.join(', ')})`;
  return `<g class="gate" data-gate="${escapeXml(gate.name)}"><title>${escapeXml(title)}</title>${shape}${bubble}</g>`
    + valueText(values, gate.name, x + kGate + 2, yOf(p.center) - 3);
}

function svgWire(wire, cols, plan, values) {
  const { source, placed: p } = wire;
  const fromGate = plan.byName.has(source);
  const srcX = fromGate ? cols.gateX[plan.placedBy.get(source).column] + kGate : cols.bus.get(source);
  const trackX = cols.channel[p.column] + (wire.track + 1) * kTrack;
  const [y, pinY] = [yOf(wire.srcY), yOf(wire.pinY)];
  const d = `M${fmt(srcX)} ${fmt(y)}H${fmt(trackX)}V${fmt(pinY)}H${fmt(cols.gateX[p.column])}`;
  return wirePath(values, source, d);
}

const dot = (x, y) =>
  `<circle class="dot" cx="${fmt(x)}" cy="${fmt(y)}" r="2" fill="currentColor" stroke="none"/>`;

function svgLetters(plan, cols, taps, values) {
  return plan.letters.map((letter) => {
    const x = cols.bus.get(letter);
    const ys = taps.get(letter).map(yOf);
    const end = largest(ys);
    const dots = ys.filter((y) => y < end).map((y) => dot(x, y)).join('');
    return wirePath(values, letter, `M${pt(x, kHead - 9)}V${fmt(end)}`) + dots
      + `<circle class="terminal" cx="${fmt(x)}" cy="${kHead - 12}" r="3"/>`
      + text(x, kHead - 18, letter, ' text-anchor="middle"')
      + valueText(values, letter, x + 4, kHead - 2);
  }).join('');
}

function svgJunctions(wires, cols) {
  const seen = new Set();
  return wires.flatMap((wire) => {
    const x = cols.channel[wire.placed.column] + (wire.track + 1) * kTrack;
    return wire.junctions.map((y) => [x, yOf(y)]);
  }).filter(([x, y]) => !seen.has(`${x},${y}`) && seen.add(`${x},${y}`)).map(([x, y]) => dot(x, y)).join('');
}

// The SVG of a netlist: { svg, width, height }. `values` maps a source (a
// letter, '0', '1' or a gate's name) to 0 or 1, as the program's table says.
export function svgOf(netlist, { shapes = 'ansi', values = null, title, name = 'F' } = {}) {
  const plan = layout(netlist);
  const cols = svgColumns(plan);
  const { wires, taps } = wiresOf(plan);
  const out = plan.placed.at(-1);
  const outY = yOf(out.center);
  const width = Math.ceil(cols.end + 36 + 7 * String(name).length);
  const height = Math.ceil(yOf(plan.rows) + 12);
  const label = title ?? `Circuit of ${name}`;
  const svg = `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 ${width} ${height}" width="${width}"`
    + ` height="${height}" role="img" class="circuit" font-family="sans-serif" font-size="11">`
    + `<title>${escapeXml(label)}</title>`
    + `<g fill="none" stroke="currentColor" stroke-width="1.5">`
    + svgLetters(plan, cols, taps, values)
    + wires.map((wire) => svgWire(wire, cols, plan, values)).join('')
    + svgJunctions(wires, cols)
    + plan.placed.map((p) => svgGate(p, cols, shapes, values)).join('')
    + wirePath(values, out.gate.name, `M${pt(cols.end, outY)}H${fmt(cols.end + 24)}`)
    + `<circle class="terminal" cx="${fmt(cols.end + 27)}" cy="${fmt(outY)}" r="3"/>`
    + text(cols.end + 33, outY + 4, name)
    + '</g></svg>';
  return { svg, width, height };
}

const kTexRow = 0.6;
const kTexBus = 0.5;
const kTexTrack = 0.3;
const kTexPort = 2.0;
const kTexRlen = 1.4;
const kTexPortKinds = {
  AND: 'and', OR: 'or', XOR: 'xor', NAND: 'nand', NOR: 'nor', XNOR: 'xnor', NOT: 'not', BUF: 'buffer',
};
const kMaxTexInputs = 16;

const texNumber = (v) => String(Math.round(v * 100) / 100);
const texY = (row) => texNumber(-row * kTexRow);
const escapeTex = (text) => String(text).replace(/[\\{}$&#^_%~]/g, (c) => ({
  '\\': '\\textbackslash{}', '~': '\\textasciitilde{}', '^': '\\textasciicircum{}',
}[c] ?? `\\${c}`));

function texColumns(plan) {
  const bus = new Map(plan.letters.map((l, i) => [l, i * kTexBus]));
  const outX = [];
  const channel = [];
  let x = (plan.letters.length - 1) * kTexBus + kTexBus;
  for (let c = 1; c <= plan.columns; c++) {
    channel[c] = x;
    outX[c] = x + (plan.trackCount[c] + 1) * kTexTrack + kTexPort;
    x = outX[c];
  }
  return { bus, outX, channel, end: x };
}

function texGate(p, cols, style) {
  const k = p.gate.inputs.length;
  if (k > kMaxTexInputs) {
    throw new RangeError(`${p.gate.name} has ${k} inputs; circuitikz draws at most ${kMaxTexInputs}`);
  }
  const port = `${style} ${kTexPortKinds[p.gate.kind]} port`;
  const inputs = k > 2 ? `, number inputs=${k}` : '';
  // A port as tall as its pins' rows, so that wires from a gate's own
  // letters come in straight.
  const height = k > 1 ? `, circuitikz/tripoles/${port}/height=${(k * kTexRow / kTexRlen).toFixed(4)}` : '';
  const at = `(${texNumber(cols.outX[p.column])},${texY(p.center)})`;
  return `\\node[${port}${inputs}${height}, anchor=out] (${p.gate.name}) at ${at} {};`;
}

function texWire(wire, cols, plan) {
  const { source, placed: p } = wire;
  const from = plan.byName.has(source) ? `(${source}.out)`
    : `(${texNumber(cols.bus.get(source))},${texY(wire.srcY)})`;
  const trackX = texNumber(cols.channel[p.column] + (wire.track + 1) * kTexTrack);
  const pin = p.gate.inputs.length === 1 ? `${p.gate.name}.in` : `${p.gate.name}.in ${wire.pin + 1}`;
  return `\\draw ${from} -| (${trackX},0 |- ${pin}) -- (${pin});`;
}

function texLetters(plan, cols, taps) {
  return plan.letters.flatMap((letter) => {
    const x = texNumber(cols.bus.get(letter));
    const ys = taps.get(letter);
    const end = largest(ys);
    return [
      `\\draw (${x},${texNumber(kTexRow)}) -- (${x},${texY(end)});`,
      `\\node[ocirc, label={above:$${letter}$}] at (${x},${texNumber(kTexRow)}) {};`,
      ...ys.filter((y) => y < end).map((y) => `\\node[circ] at (${x},${texY(y)}) {};`),
    ];
  });
}

// A circuitikz picture of the netlist, for \usepackage{circuitikz}.
export function circuitikzOf(netlist, { shapes = 'ansi', name = 'F' } = {}) {
  const plan = layout(netlist);
  const cols = texColumns(plan);
  const style = shapes === 'iec' ? 'european' : 'american';
  const { wires, taps } = wiresOf(plan);
  const junctions = distinct(wires.flatMap((wire) => wire.junctions.map((y) => {
    const x = cols.channel[wire.placed.column] + (wire.track + 1) * kTexTrack;
    return `\\node[circ] at (${texNumber(x)},${texY(y)}) {};`;
  })));
  const lines = [
    ...plan.placed.map((p) => texGate(p, cols, style)),
    ...texLetters(plan, cols, taps),
    ...wires.map((wire) => texWire(wire, cols, plan)),
    ...junctions,
    `\\draw (${plan.output}.out) -- ++(0.8,0) node[ocirc, label={right:${escapeTex(name)}}] {};`,
  ];
  return ['% needs \\usepackage{circuitikz}', '\\begin{circuitikz}', ...lines.map((l) => `  ${l}`),
    '\\end{circuitikz}', ''].join('\n');
}
