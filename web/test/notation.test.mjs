// Other notations: the hint names what this program writes instead, the
// "Use" button offers the rewrite, and the program gets the field as it
// stands until the button is pressed. Seeded equations written in textbook
// notations are rewritten by notation.js here in node, and each rewrite's
// table, run by the reference program, must be the table of the same tree
// written fully parenthesized in the program's own notation.
//   Usage: node notation.test.mjs SITE_FOLDER
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { foreignNotation, rewrite } from '../notation.js';
import { finished, randomTree, referenceRows, seeded, submit, usePage } from './helper.mjs';

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
