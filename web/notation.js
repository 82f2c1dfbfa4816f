// Textbook notations, read as a learner means them and rewritten into this
// program's: "&" "∧" AND for "*", "|" "∨" OR for "+", "~" "¬" NOT for "!",
// "^" "⊕" XOR for "@", a "'" after an operand for a "!" before it, operands
// side by side for AND, and "->" "<->" spelled out. The usual reading binds
// NOT before AND before XOR before OR, then "->" (from the right), then
// "<->". Nothing is evaluated: the text is only parsed and written again,
// with as few parentheses as that reading needs, and the page hands the
// program the rewrite only when asked to.

// Token kinds, small numbers so that the tables and the token list are
// arrays: a paste of a megabyte is a million tokens.
const OPERAND = 0;
const UNKNOWN = 1;
const NOT = 2;
const POST = 3;
const OPEN = 4;
const CLOSE = 5;
const IFF = 6;
const IMP = 7;
const OR = 8;
const XOR = 9;
const AND = 10;

// Each binary operator: its binding (higher binds tighter), whether it
// groups from the right, and what the program writes in its place.
const kBinary = {
  [IFF]: { prec: 0, right: false, symbol: '@' },
  [IMP]: { prec: 1, right: true, symbol: '+' },
  [OR]: { prec: 2, right: false, symbol: '+' },
  [XOR]: { prec: 3, right: false, symbol: '@' },
  [AND]: { prec: 4, right: false, symbol: '*' },
};
const kNotPrec = 5;
const kAtomPrec = 6;

const kSymbols = [
  ['<->', IFF], ['<=>', IFF], ['->', IMP], ['=>', IMP], ['&&', AND], ['||', OR],
  ['↔', IFF], ['⇔', IFF], ['≡', IFF], ['→', IMP], ['⇒', IMP],
  ['*', AND], ['&', AND], ['∧', AND], ['·', AND], ['⋅', AND], ['×', AND],
  ['+', OR], ['|', OR], ['∨', OR], ['@', XOR], ['^', XOR], ['⊕', XOR], ['⊻', XOR],
  ['!', NOT], ['~', NOT], ['¬', NOT], ['∼', NOT], ["'", POST], ['’', POST], ['′', POST],
  ['(', OPEN], [')', CLOSE],
];
// Each symbol under its first character, longest first, so that "<->" is
// not read as "<" and "->".
const kSymbolsAt = new Map();
for (const symbol of [...kSymbols].sort((a, b) => b[0].length - a[0].length)) {
  if (!kSymbolsAt.has(symbol[0][0])) kSymbolsAt.set(symbol[0][0], []);
  kSymbolsAt.get(symbol[0][0]).push(symbol);
}
const kWords = { AND, OR, XOR, NOT };
const kLongestWord = Math.max(...Object.keys(kWords).map((w) => w.length));
// What the program itself writes, so that it is never called foreign.
const kOwn = new Set(['*', '+', '@', '!', '(', ')']);

const isLetter = (c) => (c >= 65 && c <= 90) || (c >= 97 && c <= 122);
const isDigit = (c) => c >= 48 && c <= 57;
// What /\s/ matches, the ASCII ones without a regular expression.
const isBlank = (c, i, text) => c === 32 || (c >= 9 && c <= 13) || (c > 127 && /\s/.test(text[i]));

const touches = (c) => isLetter(c) || isDigit(c);

// The word that starts at `i` and ends at the end returned, or null: a
// word stands alone, no letter or digit touching it. No word is longer
// than kLongestWord, so a run of letters is never looked at past that.
function wordAt(text, i) {
  if (i > 0 && touches(text.charCodeAt(i - 1))) return null;
  let end = i + 1;
  while (end - i <= kLongestWord && isLetter(text.charCodeAt(end))) end++;
  if (end < text.length && touches(text.charCodeAt(end))) return null;
  const kind = kWords[text.slice(i, end).toUpperCase()];
  return kind === undefined ? null : { kind, end };
}

// The text as tokens: token k is of kind kind[k] (an operator above,
// OPERAND for a letter or a digit, UNKNOWN) and is text.slice(from[k],
// to[k]), in one pass. The page asks for the hint and the rewrite of the
// same text, so the last text's tokens are kept.
let lastRead = { text: null, tokens: null };
function tokens(text) {
  if (lastRead.text !== text) lastRead = { text, tokens: read(text) };
  return lastRead.tokens;
}

function read(text) {
  const n = text.length;
  const kind = new Uint8Array(n);
  const from = new Int32Array(n);
  const to = new Int32Array(n);
  let count = 0;
  const add = (k, start, end) => {
    kind[count] = k;
    from[count] = start;
    to[count] = end;
    count++;
  };
  for (let i = 0; i < n;) {
    const c = text.charCodeAt(i);
    if (isBlank(c, i, text)) {
      i++;
    } else if (isLetter(c)) {
      const word = wordAt(text, i);
      const end = word ? word.end : i + 1;
      add(word ? word.kind : OPERAND, i, end);
      i = end;
    } else if (isDigit(c)) {
      add(OPERAND, i, i + 1);
      i++;
    } else {
      const symbol = kSymbolsAt.get(text[i])?.find(([s]) => text.startsWith(s, i));
      const end = i + (symbol ? symbol[0].length : text.codePointAt(i) > 0xffff ? 2 : 1);
      add(symbol ? symbol[1] : UNKNOWN, i, end);
      i = end;
    }
  }
  return { count, kind, from, to };
}

const endsOperand = (k) => k === OPERAND || k === CLOSE || k === POST;
const startsOperand = (k) => k === OPERAND || k === OPEN || k === NOT;

const code = (ch) => ch.charCodeAt(0);
const kCode = { open: code('('), close: code(')'), not: code('!') };

// The rewrite of `text` in the program's notation, or null where the text
// does not read as an equation (an unknown symbol, a missing operand, an
// unmatched parenthesis). Operator precedence as a table and a loop: the
// depth of the input lives in arrays, never in the call stack.
//
// The rewrite keeps the operands in their order, so it is written token by
// token: what goes before the token, its own text (a letter, an operator as
// the program writes it, nothing for a parenthesis or a "'"), then what
// goes after it. An operand is the tokens first[k]..last[k]; wrapping it or
// putting a "!" before it adds to its first and last token and never copies
// its text, so deep nesting and long chains stay linear.
//
// Every character of the rewrite is ASCII, kept as its code. Before a
// token go "(" and "!", the outermost added last and written first: a list
// per token, linked through `piece` and `next`, newest at its head. After
// a token go only ")" (a count) and, where the operand ending there is
// joined to its neighbour without a symbol, the "*" put there once the ")"
// are all in.
export function rewrite(text) {
  const { count, kind, from } = tokens(text);
  const own = new Uint8Array(count);
  const head = new Int32Array(count).fill(-1);
  const piece = [];
  const next = [];
  const closing = new Int32Array(count);
  const joint = new Uint8Array(count);
  const first = [];
  const last = [];
  const prec = [];
  const opKind = []; // pending operators and OPEN
  const opAt = []; // each one's token, or -1 for operands side by side
  let wantOperand = true;

  const putBefore = (token, ch) => {
    piece.push(ch);
    next.push(head[token]);
    head[token] = piece.length - 1;
  };
  // Operand k, in parentheses where it binds looser than p.
  const wrap = (k, p) => {
    if (prec[k] >= p) return;
    putBefore(first[k], kCode.open);
    closing[last[k]]++;
  };
  const negate = (k) => {
    wrap(k, kNotPrec);
    putBefore(first[k], kCode.not);
    prec[k] = kNotPrec;
  };
  const apply = () => {
    const op = opKind.pop();
    const at = opAt.pop();
    if (op === NOT) {
      // The "!" is the NOT's own token, already in place before the operand.
      const k = prec.length - 1;
      wrap(k, kNotPrec);
      first[k] = at;
      prec[k] = kNotPrec;
      return;
    }
    const b = prec.length - 1;
    const a = b - 1;
    const { prec: p, right } = kBinary[op];
    if (op === IMP) {
      // A -> B is !A + B.
      negate(a);
      wrap(b, kBinary[OR].prec + 1);
      prec[a] = kBinary[OR].prec;
    } else if (op === IFF) {
      // A <-> B is true where A and B agree: !(A @ B).
      wrap(a, kBinary[XOR].prec);
      putBefore(first[a], kCode.open);
      putBefore(first[a], kCode.not);
      wrap(b, kBinary[XOR].prec + 1);
      closing[last[b]]++;
      prec[a] = kNotPrec;
    } else {
      wrap(a, right ? p + 1 : p);
      wrap(b, right ? p : p + 1);
      prec[a] = p;
    }
    if (at < 0) joint[last[a]] = code(kBinary[op].symbol);
    last[a] = last[b];
    first.pop();
    last.pop();
    prec.pop();
  };
  const reduceAll = () => {
    while (opKind.length && opKind.at(-1) !== OPEN) apply();
  };
  const binary = (op, at) => {
    const { prec: p, right } = kBinary[op];
    for (;;) {
      const top = opKind.at(-1);
      if (top === undefined || top === OPEN) break;
      if (top !== NOT && !(kBinary[top].prec > p || (kBinary[top].prec === p && !right))) break;
      apply();
    }
    opKind.push(op);
    opAt.push(at);
    if (at >= 0) own[at] = code(kBinary[op].symbol);
    wantOperand = true;
  };

  let previous = -1;
  for (let t = 0; t < count; t++) {
    const k = kind[t];
    if (k === UNKNOWN) return null;
    // Operands side by side are joined by an AND.
    if (endsOperand(previous) && startsOperand(k)) binary(AND, -1);
    previous = k;
    if (k === OPERAND) {
      own[t] = text.charCodeAt(from[t]);
      first.push(t);
      last.push(t);
      prec.push(kAtomPrec);
      wantOperand = false;
    } else if (k === NOT) {
      if (!wantOperand) return null;
      own[t] = kCode.not;
      opKind.push(NOT);
      opAt.push(t);
    } else if (k === POST) {
      if (wantOperand) return null;
      negate(prec.length - 1);
    } else if (k === OPEN) {
      opKind.push(OPEN);
      opAt.push(t);
    } else if (k === CLOSE) {
      if (wantOperand) return null;
      reduceAll();
      // The group keeps its precedence: its operator decides where it
      // needs parentheses again.
      if (opKind.pop() !== OPEN) return null;
      opAt.pop();
    } else {
      if (wantOperand) return null;
      binary(k, t);
    }
  }
  if (wantOperand) return null;
  reduceAll();
  if (opKind.length) return null;

  // Each ")" closes a "(" of `piece`: a bound on the length.
  const written = new Uint8Array(2 * count + 2 * piece.length);
  let n = 0;
  for (let t = 0; t < count; t++) {
    for (let p = head[t]; p >= 0; p = next[p]) written[n++] = piece[p];
    if (own[t]) written[n++] = own[t];
    written.fill(kCode.close, n, n + closing[t]);
    n += closing[t];
    if (joint[t]) written[n++] = joint[t];
  }
  return new TextDecoder().decode(written.subarray(0, n));
}

// Each sentence, made from the spelling it names and the token's kind.
const kOwnSymbol = { [AND]: '*', [OR]: '+', [XOR]: '@', [NOT]: '!' };
const kName = { [AND]: 'AND', [OR]: 'OR', [XOR]: 'XOR', [NOT]: 'NOT' };
const kSentence = {
  side: () => 'Operands side by side are not joined here: write “*” for AND between them.',
  [POST]: (x) => `NOT is a “!” before its operand, not a “${x}” after it.`,
  [IMP]: (x) => `There is no “${x}”: A${x}B is written !A+B.`,
  [IFF]: (x) => `There is no “${x}”: A${x}B is written !(A@B).`,
  other: (x, k) => `${kName[k]} is written “${kOwnSymbol[k]}”, not “${x}”.`,
};

// What in `text` this program writes otherwise, in a sentence each, or an
// empty list where the text is in the program's own notation. Where one
// thing is spelled several ways the sentence names the last of them.
export function foreignNotation(text) {
  const { count, kind, from, to } = tokens(text);
  const said = new Map();
  const spelled = new Map(); // each sentence's key: the spelling it names
  const say = (key, spelling, k, sentence) => {
    if (spelled.get(key) === spelling) return;
    spelled.set(key, spelling);
    said.set(key, sentence(spelling, k));
  };
  let previous = -1;
  for (let t = 0; t < count; t++) {
    const k = kind[t];
    if (endsOperand(previous) && startsOperand(k)) say('side', '', k, kSentence.side);
    previous = k;
    if (k === OPERAND || k === UNKNOWN) continue;
    const s = text.slice(from[t], to[t]);
    if (kOwn.has(s)) continue;
    // "->" and "=>" share a sentence, "&" and "∧" have one each.
    if (k === POST || k === IMP || k === IFF) say(k, s, k, kSentence[k]);
    else say(s, s, k, kSentence.other);
  }
  return [...said.values()];
}
