// Textbook notations, read as a learner means them and rewritten into this
// program's: "&" "∧" AND for "*", "|" "∨" OR for "+", "~" "¬" NOT for "!",
// "^" "⊕" XOR for "@", a "'" after an operand for a "!" before it, operands
// side by side for AND, and "->" "<->" spelled out. The usual reading binds
// NOT before AND before XOR before OR, then "->" (from the right), then
// "<->". Nothing is evaluated: the text is only parsed and written again,
// with as few parentheses as that reading needs, and the page hands the
// program the rewrite only when asked to.

const NOT = 'not';
const POST = 'postfix';
const OPEN = '(';
const CLOSE = ')';

// Each binary operator: its binding (higher binds tighter), whether it
// groups from the right, and how the program writes it.
const kBinary = {
  iff: { prec: 0, right: false },
  imp: { prec: 1, right: true },
  or: { prec: 2, right: false, symbol: '+' },
  xor: { prec: 3, right: false, symbol: '@' },
  and: { prec: 4, right: false, symbol: '*' },
};
const kNotPrec = 5;
const kAtomPrec = 6;

// Symbols, longest first so that "<->" is not read as "<" and "->".
const kSymbols = [
  ['<->', 'iff'], ['<=>', 'iff'], ['->', 'imp'], ['=>', 'imp'], ['&&', 'and'], ['||', 'or'],
  ['↔', 'iff'], ['⇔', 'iff'], ['≡', 'iff'], ['→', 'imp'], ['⇒', 'imp'],
  ['*', 'and'], ['&', 'and'], ['∧', 'and'], ['·', 'and'], ['⋅', 'and'], ['×', 'and'],
  ['+', 'or'], ['|', 'or'], ['∨', 'or'], ['@', 'xor'], ['^', 'xor'], ['⊕', 'xor'], ['⊻', 'xor'],
  ['!', NOT], ['~', NOT], ['¬', NOT], ['∼', NOT], ["'", POST], ['’', POST], ['′', POST],
  ['(', OPEN], [')', CLOSE],
];
const kWords = { AND: 'and', OR: 'or', XOR: 'xor', NOT };
// What the program itself writes, so that it is never called foreign.
const kOwn = new Set(['*', '+', '@', '!', '(', ')']);

// The text as tokens: { kind, text }, kind one of the operators above,
// 'operand' (a letter or a digit) or 'unknown'.
function tokens(text) {
  const out = [];
  for (let i = 0; i < text.length;) {
    const ch = text[i];
    if (/\s/.test(ch)) {
      i++;
      continue;
    }
    if (/[A-Za-z]/.test(ch)) {
      // A word stands alone: no letter or digit touches it.
      const word = text.slice(i).match(/^[A-Za-z]+/)[0];
      const before = i === 0 ? ' ' : text[i - 1];
      const after = text[i + word.length] ?? ' ';
      const kind = kWords[word.toUpperCase()];
      if (kind && !/[A-Za-z0-9]/.test(before) && !/[A-Za-z0-9]/.test(after)) {
        out.push({ kind, text: word });
        i += word.length;
      } else {
        out.push({ kind: 'operand', text: ch });
        i++;
      }
      continue;
    }
    if (/[0-9]/.test(ch)) {
      out.push({ kind: 'operand', text: ch });
      i++;
      continue;
    }
    const symbol = kSymbols.find(([s]) => text.startsWith(s, i));
    const [s, kind] = symbol ?? [String.fromCodePoint(text.codePointAt(i)), 'unknown'];
    out.push({ kind, text: s });
    i += s.length;
  }
  return out;
}

const endsOperand = (t) => t && (t.kind === 'operand' || t.kind === CLOSE || t.kind === POST);
const startsOperand = (t) => t.kind === 'operand' || t.kind === OPEN || t.kind === NOT;

const wrap = (item, prec) => (item.prec < prec ? `(${item.text})` : item.text);

// One operator applied to the operands on top of `out`, written as the
// program writes it; each entry of `out` is { text, prec }.
function apply(out, kind) {
  if (kind === NOT) {
    const x = out.pop();
    out.push({ text: `!${wrap(x, kNotPrec)}`, prec: kNotPrec });
    return;
  }
  const b = out.pop();
  const a = out.pop();
  const { prec, right } = kBinary[kind];
  if (kind === 'imp') {
    // A -> B is !A + B.
    out.push({ text: `!${wrap(a, kNotPrec)}+${wrap(b, kBinary.or.prec + 1)}`, prec: kBinary.or.prec });
  } else if (kind === 'iff') {
    // A <-> B is true where A and B agree: !(A @ B).
    const inner = `${wrap(a, kBinary.xor.prec)}@${wrap(b, kBinary.xor.prec + 1)}`;
    out.push({ text: `!(${inner})`, prec: kNotPrec });
  } else {
    const left = wrap(a, right ? prec + 1 : prec);
    const rightText = wrap(b, right ? prec : prec + 1);
    out.push({ text: `${left}${kBinary[kind].symbol}${rightText}`, prec });
  }
}

// The rewrite of `text` in the program's notation, or null where the text
// does not read as an equation (an unknown symbol, a missing operand, an
// unmatched parenthesis). Operator precedence as a table and a loop: the
// depth of the input lives in the two arrays, never in the call stack.
export function rewrite(text) {
  const ops = []; // pending operators and "("
  const out = []; // operands written so far
  let wantOperand = true;
  const reduceWhile = (test) => {
    while (ops.length && ops.at(-1) !== OPEN && test(ops.at(-1))) apply(out, ops.pop());
  };
  const binary = (kind) => {
    const { prec, right } = kBinary[kind];
    reduceWhile((op) => op === NOT || kBinary[op].prec > prec || (kBinary[op].prec === prec && !right));
    ops.push(kind);
    wantOperand = true;
  };
  let previous = null;
  for (const t of tokens(text)) {
    if (t.kind === 'unknown') return null;
    // Operands side by side are joined by an AND.
    if (endsOperand(previous) && startsOperand(t)) binary('and');
    previous = t;
    if (t.kind === 'operand') {
      out.push({ text: t.text, prec: kAtomPrec });
      wantOperand = false;
    } else if (t.kind === NOT) {
      if (!wantOperand) return null;
      ops.push(NOT);
    } else if (t.kind === POST) {
      if (wantOperand) return null;
      const x = out.pop();
      out.push({ text: `!${wrap(x, kNotPrec)}`, prec: kNotPrec });
    } else if (t.kind === OPEN) {
      ops.push(OPEN);
    } else if (t.kind === CLOSE) {
      if (wantOperand) return null;
      reduceWhile(() => true);
      // The group keeps its precedence: its operator decides where it
      // needs parentheses again.
      if (ops.pop() !== OPEN) return null;
    } else {
      if (wantOperand) return null;
      binary(t.kind);
    }
  }
  if (wantOperand) return null;
  reduceWhile(() => true);
  if (ops.length) return null;
  return out[0].text;
}

// What in `text` this program writes otherwise, in a sentence each, or an
// empty list where the text is in the program's own notation.
export function foreignNotation(text) {
  const said = new Map();
  const say = (key, sentence) => said.set(key, sentence);
  let previous = null;
  for (const t of tokens(text)) {
    if (endsOperand(previous) && startsOperand(t))
      say('side', 'Operands side by side are not joined here: write “*” for AND between them.');
    previous = t;
    if (t.kind === 'operand' || t.kind === 'unknown' || kOwn.has(t.text)) continue;
    if (t.kind === POST) say(POST, `NOT is a “!” before its operand, not a “${t.text}” after it.`);
    else if (t.kind === 'imp') say('imp', `There is no “${t.text}”: A${t.text}B is written !A+B.`);
    else if (t.kind === 'iff') say('iff', `There is no “${t.text}”: A${t.text}B is written !(A@B).`);
    else {
      const own = { and: '*', or: '+', xor: '@', [NOT]: '!' }[t.kind];
      const name = { and: 'AND', or: 'OR', xor: 'XOR', [NOT]: 'NOT' }[t.kind];
      say(t.text, `${name} is written “${own}”, not “${t.text}”.`);
    }
  }
  return [...said.values()];
}
