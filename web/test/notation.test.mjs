// Other notations: the hint names what this program writes instead, the
// "Use" button offers the rewrite, and the program gets the field as it
// stands until the button is pressed. Seeded equations written in textbook
// notations are rewritten by notation.js here in node, and each rewrite's
// table, run by the reference program, must be the table of the same tree
// written fully parenthesized in the program's own notation. Long and deep
// texts are read whole, and a paste of 400 KB is hinted, rewritten and run
// whole without holding the page.
//   Usage: node notation.test.mjs SITE_FOLDER
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { foreignNotation, rewrite } from '../notation.js';
import {
  downloads, expected, finished, longestTask, randomTree, referenceRows, seeded, sha256, tableIn, textOf,
  usePage, valueAt,
} from './helper.mjs';

const ctx = usePage();

// The same tree twice: in a textbook's notation, with its own symbols and
// as few parentheses as the usual reading needs, and in the program's,
// every operator in parentheses of its own, "->" and "<->" spelled out.
const kSpelling = {
  '*': ['&', '∧', ' AND ', '·', '&&', ''],
  '+': ['|', '∨', ' OR ', '||', '+'],
  '@': ['^', '⊕', ' XOR ', '@'],
  '>': ['->', '→', '=>'],
  '=': ['<->', '↔', '<=>'],
};
const kBinds = { '=': 0, '>': 1, '+': 2, '@': 3, '*': 4, '!': 5 };

function textbook(rng, tree, parent = -1, onRight = false) {
  if (typeof tree === 'string') return tree;
  if (tree.op === '!') {
    const inner = textbook(rng, tree.args[0], kBinds['!']);
    return rng() < 0.4 ? `${/^[A-Za-z01]$/.test(inner) || inner.startsWith('(') ? inner : `(${inner})`}'`
      : `${rng.pick(['~', '¬', 'NOT ', '!'])}${inner}`;
  }
  const mine = kBinds[tree.op];
  let symbol = rng.pick(kSpelling[tree.op]);
  const left = textbook(rng, tree.args[0], mine, false);
  const right = textbook(rng, tree.args[1], mine, true);
  // Side by side, a word needs its blank, and two digits would read as one
  // number to a person.
  if (symbol === '' && right.startsWith('NOT')) symbol = ' ';
  if (symbol === '' && /[0-9]$/.test(left) && /^[0-9]/.test(right)) symbol = '&';
  const text = `${left}${symbol}${right}`;
  // "->" groups from the right, the others from the left.
  const rightward = tree.op === '>';
  const needs = mine < parent || (mine === parent && (rightward ? !onRight : onRight));
  return needs ? `(${text})` : text;
}

function program(tree) {
  if (typeof tree === 'string') return tree;
  const [a, b] = tree.args.map(program);
  if (tree.op === '!') return `(!${a})`;
  if (tree.op === '>') return `((!${a})+${b})`;
  if (tree.op === '=') return `(!(${a}@${b}))`;
  return `(${a}${tree.op}${b})`;
}

function withArrows(rng, tree) {
  if (typeof tree === 'string') return tree;
  const args = tree.args.map((t) => withArrows(rng, t));
  if (tree.op !== '!' && rng() < 0.2) return { op: rng.pick(['>', '=']), args };
  return { ...tree, args };
}

const sameTable = (a, b) => {
  assert.equal(a.status, 0);
  assert.equal(a.warning, false);
  assert.deepEqual(a.letters, b.letters);
  assert.deepEqual(a.rows.map((r) => r.at(-1)), b.rows.map((r) => r.at(-1)));
};

test('seeded textbook equations are rewritten to what they mean', () => {
  const rng = seeded(4711);
  for (let i = 0; i < 300; i++) {
    const tree = withArrows(rng, randomTree(rng, ['A', 'B', 'C', 'D', 'a', '0', '1'], 1 + rng.int(5)));
    const text = textbook(rng, tree).replace(/\s+/g, ' ').trim();
    const rewritten = rewrite(text);
    assert.notEqual(rewritten, null, text);
    try {
      sameTable(referenceRows(rewritten), referenceRows(program(tree)));
    } catch (error) {
      assert.fail(`${text} was rewritten ${rewritten}: ${error.message}`);
    }
  }
  console.log('# 300 seeded textbook equations, each rewrite the same table as its meaning');
});

test('the examples: each hint, each rewrite, and its table', async () => {
  const cases = [
    ['A&B|~C', 'A*B+!C', ['AND is written “*”, not “&”.', 'OR is written “+”, not “|”.', 'NOT is written “!”, not “~”.']],
    ["AB'+C", 'A*!B+C', ['Operands side by side', 'NOT is a “!” before its operand, not a “\'” after it.']],
    ['A->B', '!A+B', ['There is no “->”: A->B is written !A+B.']],
    ['A<->B', '!(A@B)', ['There is no “<->”: A<->B is written !(A@B).']],
    ['A^B', 'A@B', ['XOR is written “@”, not “^”.']],
    ['A∧B∨¬C', 'A*B+!C', ['AND is written “*”, not “∧”.']],
    ['A⊕B', 'A@B', ['XOR is written “@”, not “⊕”.']],
    ['NOT A AND (B OR C)', '!A*(B+C)', ['NOT is written “!”, not “NOT”.']],
    ['AB+C*D', 'A*B+C*D', ['Operands side by side']],
    ["(A+B)'C", '!(A+B)*C', ['Operands side by side']],
    ['A->B->C', '!A+(!B+C)', ['There is no “->”']],
    ['A|B&C', 'A+B*C', ['OR is written']],
  ];
  for (const [typed, rewritten, said] of cases) {
    assert.equal(rewrite(typed), rewritten, typed);
    await ctx.page.$eval('#equation', (e) => { e.value = ''; });
    await ctx.page.type('#equation', typed);
    const hint = await ctx.page.$eval('#notation', (n) => (n.hidden ? '' : n.textContent));
    for (const s of said) assert.ok(hint.includes(s), `${typed}: “${s}” in “${hint}”`);
    assert.equal(await ctx.page.$eval('#notation-use', (b) => b.textContent), `Use ${rewritten}`);
    // Until the button, the program gets the field as it stands.
    await ctx.page.keyboard.press('Enter');
    await finished(ctx.page);
    // The echo line stands in the Table view.
    await ctx.page.click('#view-table');
    const raw = referenceRows(typed.split(/\s/)[0]);
    assert.equal(await ctx.page.$eval('#equation', (e) => e.value), typed);
    if (raw.echo !== null)
      assert.equal(await ctx.page.$eval('#echo', (e) => e.textContent), Buffer.from(raw.echo, 'latin1').toString());
    await ctx.page.click('#notation-use');
    assert.equal(await ctx.page.$eval('#equation', (e) => e.value), rewritten);
    assert.equal(await ctx.page.$eval('#notation', (n) => n.hidden), true, 'the hint goes with the rewrite');
    await ctx.page.keyboard.press('Enter');
    await finished(ctx.page);
    const want = referenceRows(rewritten);
    assert.equal(await ctx.page.$eval('#echo', (e) => e.textContent), want.echo);
    assert.equal(await ctx.page.$eval('#warning', (w) => w.hidden), true);
  }
});

test('the program\'s own notation gets no hint, and the second field has its own', async () => {
  for (const own of ['A*B+!C', '!(A+B@C)', 'a@b', '(A+B)*C', 'A+', '']) {
    assert.deepEqual(foreignNotation(own), [], own);
    await ctx.page.$eval('#equation', (e) => { e.value = ''; });
    if (own) await ctx.page.type('#equation', own);
    assert.equal(await ctx.page.$eval('#notation', (n) => n.hidden), true, own);
  }
  assert.equal(rewrite('A&'), null);
  await ctx.page.type('#versus', 'A&');
  assert.match(await ctx.page.$eval('#versus-notation', (n) => n.textContent), /no rewrite to offer/);
  assert.equal(await ctx.page.$eval('#versus-notation-use', (b) => b.hidden), true);
  await ctx.page.type('#versus', 'B');
  await ctx.page.click('#versus-notation-use');
  assert.equal(await ctx.page.$eval('#versus', (e) => e.value), 'A*B');
  // The blank's and the non-ASCII hints stay beside it.
  await ctx.page.$eval('#equation', (e) => { e.value = ''; });
  await ctx.page.type('#equation', 'A ∧ B');
  assert.match(await ctx.page.$eval('#hint', (h) => h.textContent), /first blank.*“A”.*“∧” is not one of them/s);
  assert.equal(await ctx.page.$eval('#notation-use', (b) => b.textContent), 'Use A*B');
  await ctx.page.$eval('#versus', (e) => { e.value = ''; });
});

// Long and deep texts, each rewrite known without the reader: the depth of
// a text lives in arrays, and neither the reading nor the writing copies
// an operand once per operator around it.
test('long and deep texts are read in one pass, each to its rewrite', () => {
  const n = 100000;
  const letters = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'.repeat(400000 / 26 + 1).slice(0, 400000);
  const cases = [
    ['"!" 200,000 times before a letter', `${'!'.repeat(200000)}A`, `${'!'.repeat(200000)}A`],
    ['"~" 200,000 times before a letter', `${'~'.repeat(200000)}A`, `${'!'.repeat(200000)}A`],
    ['"\'" 200,000 times after a letter', `A${"'".repeat(200000)}`, `${'!'.repeat(200000)}A`],
    ['100,000 parentheses around one AND', `${'('.repeat(n)}A&B${')'.repeat(n)}`, 'A*B'],
    ['100,000 parentheses, each group but the last needing its own', `${'A|('.repeat(n)}B${')'.repeat(n)}`,
      `${'A+('.repeat(n - 1)}A+B${')'.repeat(n - 1)}`],
    ['100,000 groups negated by "\'"', `${'(A|'.repeat(n)}B${")'".repeat(n)}`,
      `${'!(A+'.repeat(n)}B${')'.repeat(n)}`],
    ['"A&B|" 100,000 times', `${'A&B|'.repeat(n)}C`, `${'A*B+'.repeat(n)}C`],
    ['"->" 100,000 times, from the right', `${'A->'.repeat(n)}B`,
      `${'!A+('.repeat(n - 1)}!A+B${')'.repeat(n - 1)}`],
    ['"<->" 100,000 times, from the left', `${'A<->'.repeat(n)}B`,
      `${'!('.repeat(n)}A${'@A)'.repeat(n - 1)}@B)`],
    ['400 KB of letters side by side', letters, [...letters].join('*')],
    ["\"AB'C'\" side by side, 400 KB", "AB'C'".repeat(80000), Array(80000).fill('A*!B*!C').join('*')],
    ['"NOT A AND B OR " 30,000 times', `${'NOT A AND B OR '.repeat(30000)}C`, `${'!A*B+'.repeat(30000)}C`],
  ];
  for (const [what, text, want] of cases) {
    const started = performance.now();
    const rewritten = rewrite(text);
    const hints = foreignNotation(text);
    const ms = performance.now() - started;
    assert.ok(rewritten === want, `${what}: the rewrite starts ${rewritten?.slice(0, 60)}`);
    assert.equal(hints.length > 0, text !== want, what);
    console.log(`# ${what} (${text.length} characters): rewrite and hint in ${Math.round(ms)} ms`);
  }
  // A mistake at the end of a long text is still found.
  assert.equal(rewrite(`${'A&B|'.repeat(n)}C|`), null);
  assert.equal(rewrite(`${'('.repeat(n)}A${')'.repeat(n - 1)}`), null);
  assert.equal(rewrite(`${letters}€`), null);
});

// A paste of 400 KB: terms drawn from a few seeded trees over A–E and
// joined by OR, written in a textbook's notation, its second half spelled
// a little otherwise so that only reading to the end finds every spelling.
// Beside it the same equation in the program's notation, as the rewrite
// must be, and each tree's value, worked out here.
const kNotations = {
  'A&B|': {
    seed: 20240,
    join: '|',
    head: { '*': '&', '+': '|', '@': '^', '!': '~' },
    tail: { '*': '&', '+': '|', '@': '^', '!': '¬' },
    late: '¬',
    said: {
      '&': 'AND is written “*”, not “&”.',
      '|': 'OR is written “+”, not “|”.',
      '^': 'XOR is written “@”, not “^”.',
      '~': 'NOT is written “!”, not “~”.',
      '¬': 'NOT is written “!”, not “¬”.',
    },
  },
  "AB'+": {
    seed: 4712,
    join: '+',
    head: { '*': '', '+': '+', '@': '^', '!': "'" },
    tail: { '*': '·', '+': '+', '@': '^', '!': "'" },
    late: '·',
    said: {
      side: 'Operands side by side are not joined here: write “*” for AND between them.',
      "'": 'NOT is a “!” before its operand, not a “\'” after it.',
      '·': 'AND is written “*”, not “·”.',
      '^': 'XOR is written “@”, not “^”.',
    },
  },
};

function spelled(tree, spelling, parent, onRight) {
  if (typeof tree === 'string') return tree;
  const mine = kBinds[tree.op];
  if (tree.op === '!') {
    const inner = spelled(tree.args[0], spelling, mine, false);
    // A "'" comes after its operand, the others before it.
    return spelling['!'] === "'" ? `${inner}'` : `${spelling['!']}${inner}`;
  }
  const text = spelled(tree.args[0], spelling, mine, false) + spelling[tree.op] +
    spelled(tree.args[1], spelling, mine, true);
  return mine < parent || (mine === parent && onRight) ? `(${text})` : text;
}

function valueOf(tree, row) {
  if (typeof tree === 'string') return row[tree];
  const [a, b] = tree.args.map((t) => valueOf(t, row));
  return { '!': !a, '*': a && b, '+': a || b, '@': a !== b }[tree.op];
}

function bigPaste(notation, size = 400000) {
  const rng = seeded(kNotations[notation].seed);
  const names = ['A', 'B', 'C', 'D', 'E'];
  const rows = Array.from({ length: 32 }, (_, k) =>
    Object.fromEntries(names.map((name, i) => [name, ((k >> (4 - i)) & 1) === 1])));
  // A few trees over all five letters, with every operator among them,
  // whose OR is true in a quarter to three quarters of the rows, so that
  // the table can tell a wrong rewrite.
  let pool = [];
  for (;;) {
    pool = [];
    while (pool.length < 4) {
      const tree = randomTree(rng, names, 2 + rng.int(2));
      if (/[01]/.test(textOf(tree)) || textOf(tree).replace(/[^!*@+]/g, '').length < 2) continue;
      pool.push(tree);
    }
    const texts = pool.map((tree) => textOf(tree)).join();
    const trues = rows.filter((row) => pool.some((tree) => valueOf(tree, row))).length;
    if ([...'ABCDE!*@+'].every((ch) => texts.includes(ch)) && trues >= 8 && trues <= 24) break;
  }
  const { join, head, tail } = kNotations[notation];
  const foreign = [];
  const own = [];
  const fully = [];
  const used = new Set();
  for (let length = 0; length < size;) {
    const k = rng.int(pool.length);
    used.add(k);
    const term = spelled(pool[k], length < size / 2 ? head : tail, kBinds['+'], foreign.length > 0);
    foreign.push(term);
    own.push(textOf(pool[k], 1, own.length > 0));
    fully.push(program(pool[k]));
    length += term.length + 1;
  }
  const value = (letters, digits) => {
    const row = Object.fromEntries(letters.map((name, i) => [name, digits[i] === '1']));
    return pool.some((tree) => valueOf(tree, row)) ? '1' : '0';
  };
  assert.equal(used.size, pool.length, 'every tree among the terms');
  const text = foreign.join(join);
  // Each spelling's sentence, where the text has that spelling.
  const { said } = kNotations[notation];
  const side = /[A-E')][A-E(]/.test(text.replace(/[·^+]/g, ' '));
  const sentences = Object.entries(said).filter(([s]) => (s === 'side' ? side : text.includes(s)))
    .map(([, sentence]) => sentence);
  return { text, program: own.join('+'), fully: fully.join('+'), value, said: sentences };
}

test('a 400 KB paste in a textbook notation reads to its trees', () => {
  for (const notation of Object.keys(kNotations)) {
    const paste = bigPaste(notation);
    assert.ok(paste.text.length >= 400000);
    const started = performance.now();
    assert.ok(rewrite(paste.text) === paste.program, notation);
    assert.deepEqual(new Set(foreignNotation(paste.text)), new Set(paste.said));
    // Only reading to the end finds the second half's spelling.
    const { late } = kNotations[notation];
    assert.ok(paste.text.includes(late) && !paste.text.slice(0, 4096).includes(late));
    assert.ok(paste.said.includes(kNotations[notation].said[late]));
    console.log(`# ${notation}… of ${paste.text.length} characters: rewrite and hint in ` +
      `${Math.round(performance.now() - started)} ms`);
  }
});

test('a 400 KB paste: the hint covers it all, "Use" puts the whole rewrite in, and Run runs it', async () => {
  const { page } = ctx;
  const paste = async (text) => page.$eval('#equation', (e, value) => {
    e.value = value;
    e.dispatchEvent(new Event('input'));
  }, text);
  for (const notation of Object.keys(kNotations)) {
    const big = bigPaste(notation);
    // The meaning, three ways: each tree's value worked out here, the
    // program's table of the equation fully parenthesized, and its table
    // of the rewrite with as few parentheses as the reading needs.
    const want = referenceRows(big.program);
    assert.equal(want.status, 0);
    const results = want.rows.map((r) => r.at(-1));
    assert.deepEqual(results, want.rows.map((r) => big.value(want.letters, r)), `${notation}: the trees' OR`);
    const fully = referenceRows(big.fully);
    assert.deepEqual(want.rows.map((r) => valueAt(fully, want.letters, r)), results);
    assert.ok(results.includes('0') && results.includes('1'), 'a table that could tell a wrong rewrite');

    const pasting = await longestTask(page, () => paste(big.text));
    const hint = await page.$eval('#notation', (n) => (n.hidden ? '' : n.textContent));
    // The second half's spelling among them: the whole paste was read.
    for (const s of big.said) assert.ok(hint.includes(s), `${notation}: “${s}” in the hint`);
    const label = await page.$eval('#notation-use', (b) => (b.hidden ? '' : b.textContent));
    assert.ok(label.startsWith('Use ') && label.endsWith('…'), `the button says “${label}”`);
    const start = label.slice('Use '.length, -1);
    assert.ok(start.length >= 10 && start.length <= 64 && big.program.startsWith(start),
      `the button shows the rewrite's start: “${label}”`);

    const using = await longestTask(page, () => page.click('#notation-use'));
    assert.equal(await page.$eval('#notation', (n) => n.hidden), true, 'the hint goes with the rewrite');
    const field = await page.$eval('#equation', (e) => e.value);
    assert.ok(field.length < big.program.length && big.program.startsWith(field.replace(/…$/, '')),
      `the field shows the rewrite's start: “${field.slice(0, 80)}”`);
    console.log(`# ${notation}… of ${big.text.length} characters: longest main-thread task ` +
      `${Math.round(pasting)} ms pasting, ${Math.round(using)} ms pressing “Use”`);
    assert.ok(pasting < 1000, `pasting: a task of ${pasting} ms`);
    assert.ok(using < 1000, `pressing “Use”: a task of ${using} ms`);

    await page.focus('#equation');
    await page.keyboard.press('Enter');
    await finished(page);
    assert.equal(await page.$eval('#status', (s) => s.textContent),
      `Finished: ${want.rows.length} rows. Exit status 0.`);
    await page.click('#view-table');
    const table = await tableIn(page, '#table');
    const echo = await page.$eval('#echo', (e) => e.textContent);
    await page.click('#view-terminal');
    // The echo line is shown up to a length; the download holds it all.
    assert.ok(echo.startsWith(want.echo.slice(0, 300)), `the echo line starts ${echo.slice(0, 80)}`);
    assert.deepEqual(table.head, [...want.letters, 'Result']);
    assert.deepEqual(table.rows.map((r) => r.map((c) => c[0])), want.rows);
    const files = await downloads(page);
    const raw = await files.fetched('#raw', 'quorvane-output.txt', null);
    files.done();
    assert.equal(sha256(raw), expected(`${big.program}\n`).stdout, 'the whole output, byte for byte');
    await paste('');
  }
});
