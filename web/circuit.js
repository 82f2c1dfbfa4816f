// A circuit of gates read from the program's echo, which parenthesizes every
// operator it applied: "(A+(B*(!C)))". The echo is only read for its shape,
// never evaluated: each group the program closed becomes one gate, in the
// order it closed them. The page's own forms (sums, products and their
// NAND-only and NOR-only rewrites) are first grouped the way the program
// groups them, so that every gate's group is text the program runs as is.
//
// A netlist is { letters, gates: [{ name, kind, inputs, group }], output }:
// a gate's inputs are letters, '0', '1' or names of gates listed before it.

export const kKinds = ['AND', 'OR', 'XOR', 'NAND', 'NOR', 'XNOR', 'NOT', 'BUF'];

const kBinary = { '*': 'AND', '@': 'XOR', '+': 'OR' };
const kInverted = { AND: 'NAND', OR: 'NOR', XOR: 'XNOR' };
const kBinding = { '+': 1, '@': 2, '*': 3 };

const isLetter = (c) => /^[A-Za-z]$/.test(c);

// The input an operand character stands for: any true digit is '1'.
function operandOf(c) {
  if (isLetter(c)) return c;
  if (/^[0-9]$/.test(c)) return c === '0' ? '0' : '1';
  return null;
}

// A group open on the reader's stack wants an operand first, or after its
// binary operator; "(!" wants exactly one.
const wantsOperand = (group) => group.inputs.length === (group.kind && group.kind !== 'NOT' ? 1 : 0);
const isClosable = (group) => group.inputs.length === (group.kind === 'NOT' ? 1 : 2) && group.kind !== null;

// The echo's netlist, or null unless the echo is exactly what the program
// writes for a well-formed equation: a lone operand, or groups "(!x)" and
// "(x*y)" nested to any depth. The stack is an array, so a deep echo costs
// memory, not JS stack.
export function netlistOf(echo) {
  if (typeof echo !== 'string') return null;
  const gates = [];
  const used = new Set();
  const top = { start: -1, kind: null, inputs: [] };
  const open = [top];
  for (let i = 0; i < echo.length; i++) {
    const c = echo[i];
    const group = open.at(-1);
    const inner = group !== top;
    if (c === '(') {
      if (!wantsOperand(group)) return null;
      open.push({ start: i, kind: null, inputs: [] });
    } else if (c === '!' || c in kBinary) {
      if (!inner || group.kind !== null || group.inputs.length !== (c === '!' ? 0 : 1)) return null;
      group.kind = c === '!' ? 'NOT' : kBinary[c];
    } else if (c === ')') {
      if (!inner || !isClosable(group)) return null;
      open.pop();
      const name = `G${gates.length + 1}`;
      gates.push({ name, kind: group.kind, inputs: group.inputs, group: echo.slice(group.start, i + 1) });
      open.at(-1).inputs.push(name);
    } else {
      const input = operandOf(c);
      if (input === null || !wantsOperand(group)) return null;
      if (isLetter(c)) used.add(c);
      group.inputs.push(input);
    }
  }
  if (open.length !== 1 || top.inputs.length !== 1) return null;
  if (gates.length === 0) gates.push({ name: 'G1', kind: 'BUF', inputs: top.inputs, group: echo });
  return { letters: [...used].sort().join(''), gates, output: gates.at(-1).name };
}

// How the program groups a form: its echo, or null if the form does not
// read. Operators bind ! then * then @ then +, each from the left.
export function groupedForm(form) {
  const out = [];
  const ops = [];
  const apply = (op) => {
    if (op === '!') return out.push(`(!${out.pop()})`);
    const right = out.pop();
    return out.push(`(${out.pop()}${op}${right})`);
  };
  let wantOperand = true;
  for (const c of form) {
    if (wantOperand && (c === '!' || c === '(')) ops.push(c);
    else if (wantOperand && operandOf(c) !== null) {
      out.push(c);
      wantOperand = false;
    } else if (!wantOperand && c in kBinding) {
      while (ops.length && (ops.at(-1) === '!' || kBinding[ops.at(-1)] >= kBinding[c])) apply(ops.pop());
      ops.push(c);
      wantOperand = true;
    } else if (!wantOperand && c === ')') {
      while (ops.length && ops.at(-1) !== '(') apply(ops.pop());
      if (ops.pop() !== '(') return null;
    } else return null;
  }
  if (wantOperand) return null;
  while (ops.length) {
    const op = ops.pop();
    if (op === '(') return null;
    apply(op);
  }
  return out[0];
}

// Chains of one operator become one gate of many inputs, and a NOT of an
// AND, OR or XOR becomes NAND, NOR or XNOR. Each gate is read by one other,
// so a gate absorbed into its reader is dropped.
function merged(gates) {
  const byName = new Map();
  const absorbed = new Set();
  for (const gate of gates) {
    let { kind, inputs } = gate;
    const first = byName.get(inputs[0]);
    if (kind === 'NOT' && first && first.kind in kInverted) {
      kind = kInverted[first.kind];
      inputs = first.inputs;
      absorbed.add(first.name);
    } else if (kind in kInverted) {
      inputs = inputs.flatMap((input) => {
        const from = byName.get(input);
        if (!from || from.kind !== kind) return [input];
        absorbed.add(input);
        return from.inputs;
      });
    }
    byName.set(gate.name, { ...gate, kind, inputs });
  }
  return [...byName.values()].filter((gate) => !absorbed.has(gate.name));
}

// Every gate written as `only`: a NOT as that gate with its input twice.
function oneKind(gates, only) {
  return gates.map((gate) => {
    if (gate.kind === only || gate.kind === 'BUF') return gate;
    if (gate.kind === 'NOT') return { ...gate, kind: only, inputs: [gate.inputs[0], gate.inputs[0]] };
    throw new RangeError(`${gate.group} needs ${gate.kind}, not only ${only} gates`);
  });
}

function renamed(gates) {
  const names = new Map(gates.map((gate, i) => [gate.name, `G${i + 1}`]));
  return gates.map((gate) => ({
    ...gate,
    name: names.get(gate.name),
    inputs: gate.inputs.map((input) => names.get(input) ?? input),
  }));
}

// The netlist of a form the page writes, or null if it does not read.
// Each group is in the program's echo shape, so the program echoes it back
// unchanged. `only` ('NAND' or 'NOR') draws a one-kind circuit of a form
// built of that gate and NOTs; any other gate throws a RangeError.
export function netlistOfForm(form, { only = null } = {}) {
  const echo = groupedForm(form);
  const read = echo === null ? null : netlistOf(echo);
  if (read === null) return null;
  let gates = merged(read.gates);
  if (only) gates = oneKind(gates, only);
  gates = renamed(gates);
  return { letters: read.letters, gates, output: gates.at(-1).name };
}

export function netlistText({ gates, output }) {
  const last = gates.filter((gate) => gate.name === output);
  return [...gates.filter((gate) => gate.name !== output), ...last]
    .map((gate) => `${gate.name} = ${gate.kind}(${gate.inputs.join(', ')})\n`).join('');
}

export const kindsIn = ({ gates }) => kKinds.filter((kind) => gates.some((gate) => gate.kind === kind));

const isInverter = (kind) => kind === 'NOT' || kind === 'BUF';

// Gates by kind, and the longest path from an input to the output counted
// in gates, with and without NOT and BUF. Gates come before their readers,
// as both readers here list them.
export function countsOf({ gates, output }) {
  const kinds = {};
  for (const kind of kindsIn({ gates })) kinds[kind] = gates.filter((gate) => gate.kind === kind).length;
  const depth = new Map();
  const bare = new Map();
  const deepest = (gate, m) => gate.inputs.reduce((most, input) => Math.max(most, m.get(input) ?? 0), 0);
  for (const gate of gates) {
    depth.set(gate.name, deepest(gate, depth) + 1);
    bare.set(gate.name, deepest(gate, bare) + (isInverter(gate.kind) ? 0 : 1));
  }
  return { kinds, gates: gates.length, levels: depth.get(output), levelsWithoutNot: bare.get(output) };
}

// The parts of `text` split at `op` outside parentheses, or null if the
// parentheses do not balance.
function splitOutside(text, op) {
  const parts = [];
  let depth = 0;
  let start = 0;
  for (let i = 0; i < text.length; i++) {
    if (text[i] === '(') depth++;
    else if (text[i] === ')' && --depth < 0) return null;
    else if (text[i] === op && depth === 0) {
      parts.push(text.slice(start, i));
      start = i + 1;
    }
  }
  return depth === 0 ? [...parts, text.slice(start)] : null;
}

// The textbook two-level rewrite: each term of `outer` terms of `inner`
// literals is inverted (a term of one literal by a NOT, a longer one by a
// NAND or NOR), and the inverses joined by `inner` and inverted once more.
function twoLevel(text, outer, inner) {
  if (text === '0' || text === '1') return text;
  const terms = splitOutside(text, outer);
  if (terms === null) return null;
  const inverses = [];
  for (const term of terms) {
    const bare = term.startsWith('(') && term.endsWith(')') ? term.slice(1, -1) : term;
    const literals = bare.split(inner);
    if (!literals.every((literal) => /^!?[A-Za-z]$/.test(literal))) return null;
    // A lone literal's inverse is the other literal of its letter: a
    // negated one goes in plain rather than through two inverters.
    if (literals.length > 1) inverses.push(`!(${bare})`);
    else inverses.push(bare.startsWith('!') ? bare.slice(1) : `!${bare}`);
  }
  return `!(${inverses.join(inner)})`;
}

// A minimal sum ("!A*B+C") written with NOT and AND only: "!(!(!A*B)*!C)".
export const nandOnly = (sum) => twoLevel(sum, '+', '*');

// A minimal product ("(A+!B)*C") written with NOT and OR only: "!(!(A+!B)+!C)".
export const norOnly = (product) => twoLevel(product, '*', '+');
