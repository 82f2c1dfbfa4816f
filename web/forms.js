// The forms a course asks for, worked out from the program's result column
// alone: the minterm and maxterm lists, the canonical forms, the minimal sum
// and product, and a Karnaugh map. Each form is written in the program's
// syntax, and shown as checked only once the program's own table of it has
// matched the equation's in every row; the page never evaluates a form.
import { nandOnly, norOnly } from './circuit.js';
import { countTrue } from './joint.js';
import { drawMaps, kMapsFrom, kMapsUpTo } from './kmap.js';
import { Limit, minimize } from './minimizers.js';
import { grouped } from './view.js';
import {
  canonicalProduct, canonicalSum, kProvedUpTo, kSmallUpTo, latexOf, productText, sumText,
} from './minimize.js';

const kListsUpTo = 10;
const kCanonicalUpTo = 6;

function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

const plural = (count, one, many = `${one}s`) => `${grouped(count)} ${count === 1 ? one : many}`;

// The rows that matter where the result is `value`, or the don't-care rows
// for null.
function rowsWhere(table, value) {
  const { result, care } = table;
  const rows = [];
  for (let k = 0; k < result.length; k++) {
    const matters = !care || care[k] === 1;
    if (value === null ? !matters : matters && result[k] === value) rows.push(k);
  }
  return rows;
}

// What a check of a form says of the rows it compared.
function comparedText(table, compared) {
  const all = `${plural(compared, 'row')}${table.dontCares ? ' that matter' : ''}`;
  const left = table.dontCares
    ? ` (the ${plural(table.dontCares, 'don\'t-care row')} ${table.dontCares === 1 ? 'is' : 'are'} left out)` : '';
  return { all, left };
}

// The list of forms: it writes each entry, checks the runnable ones one at
// a time against the equation's table, and keeps count of the work still
// filling the entries in, so that the page's Stop stays on while any is
// under way and the section says when all of it has ended.
// Each output's entries go into a list of its own, the one `list` holds.
class FormList {
  constructor(section, services) {
    this.section = section;
    this.services = services;
    this.list = null;
    this.status = element('p', 'forms-status');
    this.status.setAttribute('role', 'status');
    this.closed = false;
    this.outstanding = 0;
    this.serial = 0;
    // The forms' times count from Run, or from now where no run says when.
    this.started = services.since ?? performance.now();
    // Checks run one at a time, in the order the forms were shown.
    this.queue = Promise.resolve();
    // Minimizers run a few at a time, each holding a solver of its own:
    // a function of many outputs would otherwise start two per output.
    this.solvers = new Limit(Math.min(4, navigator.hardwareConcurrency || 2));
  }

  track(promise) {
    this.outstanding++;
    this.section.dataset.settled = 'false';
    const done = () => {
      if (--this.outstanding === 0 && !this.closed) this.section.dataset.settled = 'true';
    };
    promise.then(done, done);
    return this.services.track ? this.services.track(promise) : promise;
  }

  // One <dt> and its <dd>, the dd holding `body` (a form's text goes in a
  // <code>); the dd is returned for what follows it.
  entry(name, body) {
    const dt = element('dt', '', name);
    dt.id = `form-name-${++this.serial}`;
    const dd = element('dd');
    if (typeof body === 'string') {
      const code = element('code', 'form', body);
      // A long form scrolls in its box, which the keyboard must reach too.
      if (body.length > 200) code.tabIndex = 0;
      dd.append(code);
    }
    else dd.append(body);
    this.list.append(dt, dd);
    return dd;
  }

  check(dd, form, table) {
    const { services } = this;
    const said = element('span', 'check', 'checking…');
    dd.dataset.check = 'pending';
    dd.append(' ', said);
    const done = (state, text) => {
      if (this.closed) return;
      dd.dataset.check = state;
      said.className = `check ${state}`;
      said.textContent = text;
    };
    this.queue = this.queue.then(async () => {
      if (this.closed || services.signal.aborted) {
        done('stopped', 'not checked: the work was stopped');
        return;
      }
      try {
        const own = await services.tableOf(form);
        if (own.status !== 0 || !own.result) {
          done('failed', `failed: the program stopped on this form (exit status ${own.status})`);
          return;
        }
        if (own.warning) {
          done('failed', 'failed: the program warned that its table of this form may contain errors');
          return;
        }
        const { compared, differing } = await services.compare(
          { letters: table.letters, result: table.result, care: table.care },
          { letters: own.letters, result: own.result });
        const { all, left } = comparedText(table, compared);
        if (compared === 0) done('checked', 'checked: no row matters, as every row is don\'t-care');
        else if (differing === 0) done('checked', `checked: the same value in all ${all}${left}`);
        else done('failed', `failed: a different value in ${differing} of ${table.dontCares ? 'the ' : ''}${all}${left}`);
      } catch (error) {
        if (error.message === 'stopped') done('stopped', 'not checked: the work was stopped');
        else done('failed', `failed: ${error.message}`);
      }
    });
    this.track(this.queue);
  }

  async copy(text, what) {
    try {
      await navigator.clipboard.writeText(text);
      this.status.textContent = `Copied ${what}.`;
    } catch (error) {
      this.status.textContent = `Copying failed: ${error.message}`;
    }
  }

  // A form that can be run: its code, the check, and the controls.
  runnable(name, form, note, table) {
    const dd = this.entry(name, form);
    const dtId = dd.previousElementSibling.id;
    if (note) dd.append(' ', element('span', 'proof', note));
    const tools = element('span', 'form-tools');
    const button = (label, action) => {
      const b = element('button', '', label);
      b.type = 'button';
      b.setAttribute('aria-describedby', dtId);
      b.addEventListener('click', action);
      tools.append(b);
    };
    button('Compare', () => this.services.putInCompare(form));
    // "the minimal sum of products", but "the NAND-only form".
    const what = /^[A-Z][a-z]/.test(name) ? name[0].toLowerCase() + name.slice(1) : name;
    button('Copy', () => this.copy(form, `the ${what}`));
    button('Copy as LaTeX', () => this.copy(latexOf(form), `the ${what} as LaTeX`));
    this.check(dd, form, table);
    dd.append(tools);
    return dd;
  }
}

// The rows that give 1 and those that give 0. Past kListsUpTo letters
// they are only counted, a slice at a time, as 2^25 rows would hold the
// page up.
function showLists(forms, table) {
  if (table.letters.length <= kListsUpTo) {
    forms.entry('Minterms', `Σm(${rowsWhere(table, 1).join(', ')})`);
    forms.entry('Maxterms', `ΠM(${rowsWhere(table, 0).join(', ')})`);
    const dontCares = rowsWhere(table, null);
    if (table.care) forms.entry('Don\'t-care rows', dontCares.length ? `d(${dontCares.join(', ')})` : element('span', '', 'none'));
    return;
  }
  const minterms = forms.entry('Minterms', element('span', '', 'counting…'));
  const maxterms = forms.entry('Maxterms', element('span', '', 'counting…'));
  forms.track(countTrue(table.result, forms.services.signal)).then((ones) => {
    if (forms.closed) return;
    const why = ` The list is shown up to ${kListsUpTo} variables.`;
    const give = (count, value) =>
      `${plural(count, 'row')} of ${plural(table.rows, 'row')} ${count === 1 ? 'gives' : 'give'} ${value}.${why}`;
    minterms.textContent = give(ones, 1);
    maxterms.textContent = give(table.rows - ones - table.dontCares, 0);
  }, () => {});
  if (table.care)
    forms.entry('Don\'t-care rows', element('span', '', `${plural(table.dontCares, 'row')} of ` +
      `${plural(table.rows, 'row')} may give either value. The list is shown up to ${kListsUpTo} variables.`));
}

function showCanonical(forms, table) {
  const n = table.letters.length;
  if (n <= kCanonicalUpTo) {
    // A don't-care row is left out of both: as 0 in the sum, as 1 in the
    // product.
    const orDontCare = table.care ? table.result.map((v, k) => v | (1 - table.care[k])) : table.result;
    forms.runnable('Canonical sum of products', canonicalSum(table.result, table.letters), '', table);
    forms.runnable('Canonical product of sums', canonicalProduct(orDontCare, table.letters), '', table);
    return;
  }
  const why = `Not shown past ${kCanonicalUpTo} variables: with ${n} it has a term of all ${n} ` +
    'letters for every row that gives ';
  forms.entry('Canonical sum of products', element('span', 'why', `${why}1.`));
  forms.entry('Canonical product of sums', element('span', 'why', `${why}0.`));
}

const kNand = 'NAND-only form';
const kNor = 'NOR-only form';
const kNandHow = 'from the minimal sum: a NAND gate for each term, and one NAND of them all';
const kNorHow = 'from the minimal product: a NOR gate for each clause, and one NOR of them all';
const kConstant = 'a constant, which needs no gate';

// An entry rebuilt in place, keeping its order in the list.
function replaceEntry(forms, dd, name, form, note, table) {
  const dt = dd.previousElementSibling;
  const fresh = forms.runnable(name, form, note, table);
  dt.replaceWith(fresh.previousElementSibling);
  dd.replaceWith(fresh);
  return fresh;
}

// The time each minimal form may take to be proved minimal; past it the
// best form found stands, with a bound on how far from minimal it may be.
const kBudget = 5000;

// What the form's note says of how minimal it is.
function minimalNote(kind, cubes, proved, bound) {
  if (proved) return 'proved minimal: fewest terms, then fewest letters';
  if (bound === null) return 'small, not proved minimal';
  const terms = kind === 'sum' ? 'terms' : 'clauses';
  if (bound >= cubes.length)
    return `not proved minimal: the fewest ${terms} (${grouped(cubes.length)}), perhaps not the fewest letters`;
  return `not proved minimal: at least ${plural(bound, terms.slice(0, -1))}`;
}

// One minimal form, its entry, the gates built from it and, for the sum,
// the map.
function showAnswer(forms, table, mapBox, entries, { kind, cubes, proved, bound }) {
  const name = kind === 'sum' ? 'Minimal sum of products' : 'Minimal product of sums';
  const form = kind === 'sum' ? sumText(cubes, table.letters) : productText(cubes, table.letters);
  const fresh = replaceEntry(forms, entries[kind], name, form, minimalNote(kind, cubes, proved, bound), table);
  fresh.dataset.ms = String(Math.round(performance.now() - forms.started));
  fresh.dataset.proved = String(proved);
  // Gates of one kind, from the minimal form by the textbook's rule.
  const how = cubes.length === 0 || cubes[0].mask === 0 ? kConstant : kind === 'sum' ? kNandHow : kNorHow;
  if (kind === 'sum') replaceEntry(forms, entries.nand, kNand, nandOnly(form), how, table);
  else replaceEntry(forms, entries.nor, kNor, norOnly(form), how, table);
  forms.services.found?.(table.output, kind, form);
  if (kind === 'sum') showMap(mapBox, table, cubes);
}

// The minimal sum and product, each found by a worker of its own, so that
// the page stays responsive and the two share the machine's cores; the map
// is drawn from the sum once it comes. Returns a function that ends the
// workers and says whether either was at work.
function showMinimal(forms, table, mapBox) {
  const n = table.letters.length;
  if (n > kSmallUpTo) {
    const why = `None is given past ${kSmallUpTo} variables: with ${n}, even a small form ` +
      'takes the page too long to find.';
    for (const name of ['Minimal sum of products', 'Minimal product of sums', kNand, kNor])
      forms.entry(name, element('span', 'why', why));
    return () => false;
  }
  const pending = () => element('span', 'pending', 'working…');
  const entries = {
    sum: forms.entry('Minimal sum of products', pending()),
    product: forms.entry('Minimal product of sums', pending()),
    nand: forms.entry(kNand, pending()),
    nor: forms.entry(kNor, pending()),
  };
  forms.status.textContent = 'Looking for the minimal forms…';
  const on = table.result.slice(0, 2 ** n);
  const dc = table.care ? table.care.map((c) => 1 - c) : undefined;
  if (dc) for (let k = 0; k < on.length; k++) on[k] &= table.care[k];
  const stop = new AbortController();
  let working = 2;
  const answers = minimize({ on, dc, n }, {
    budget: kBudget, limit: forms.solvers, signal: stop.signal, race: n > kProvedUpTo,
  });
  const finished = Promise.all(['sum', 'product'].map((kind) => answers[kind].then((answer) => {
    working--;
    if (!forms.closed) showAnswer(forms, table, mapBox, entries, { ...answer, kind });
  })));
  const endWorkers = () => {
    const was = working > 0;
    working = 0;
    stop.abort();
    return was;
  };
  finished.then(() => {
    if (forms.closed) return;
    forms.section.dataset.minimalMs = String(Math.round(performance.now() - forms.started));
    forms.status.textContent = '';
  }, (error) => {
    if (forms.closed || stop.signal.aborted) return;
    endWorkers();
    for (const dd of Object.values(entries))
      if (dd.isConnected) dd.textContent = `Not found: ${error.message}`;
    forms.services.lost?.(table.output, error);
  });
  forms.track(finished.catch(() => {}));
  return endWorkers;
}

// The Karnaugh map, for the letters it is drawn for, with the groups of
// the minimal sum's terms.
function showMap(mapBox, table, cubes) {
  const n = table.letters.length;
  if (n >= kMapsFrom && n <= kMapsUpTo)
    drawMaps(mapBox, table.letters, table.result, cubes, (c) => sumText([c], table.letters), table);
}

// The forms of one output, in a list of their own under its name, which an
// equation's single output goes without. Returns what ends its minimizer.
function showOutput(forms, output, services) {
  const { section } = forms;
  const n = output.letters.length;
  const care = output.care ?? null;
  const dontCares = care ? care.length - care.reduce((sum, c) => sum + c, 0) : 0;
  const table = { ...output, care, dontCares, rows: 2 ** n, output: services.outputs.indexOf(output) };
  if (output.name !== null) {
    const heading = element('h4', 'output-name', output.name);
    heading.id = `forms-of-${table.output}`;
    section.append(heading);
  }
  if (output.warning)
    section.append(element('p', 'warning forms-warning', 'The program warned that its answer may ' +
      'contain errors, so these forms describe the result column it computed, not what the ' +
      'equation was meant to say.'));
  forms.list = element('dl', 'forms');
  if (output.name !== null) forms.list.setAttribute('aria-labelledby', `forms-of-${table.output}`);
  const mapBox = element('div', 'kmap-box');
  table.press = services.press;
  table.focusRow = services.refocus?.where === 'map' && services.refocus.output === table.output
    ? services.refocus.row : null;
  section.append(forms.list, mapBox);
  showLists(forms, table);
  showCanonical(forms, table);
  return showMinimal(forms, table, mapBox);
}

// `outputs` is null for a run that stopped; otherwise each output's
// { name, letters, result, care, warning }: name null for an equation's
// one, care 0 in its don't-care rows or null. `services` runs and compares
// tables as the page does, and `press(where, output, row)` steps a row.
export function showForms(section, outputs, services) {
  const { signal } = services;
  section.replaceChildren();
  section.hidden = !outputs;
  if (!outputs) return { close() {} };

  const title = element('h3', '', 'Forms');
  title.id = 'forms-title';
  section.append(title);
  const forms = new FormList(section, { ...services, outputs });
  const { status } = forms;

  let enders = [];
  const onAbort = () => {
    if (forms.closed) return;
    const working = enders.map((end) => end()).some((w) => w);
    for (const dd of section.querySelectorAll('dd'))
      if (dd.querySelector('.pending')) dd.textContent = 'Not found: the work was stopped.';
    if (working || section.querySelector('dd[data-check="pending"]'))
      status.textContent = 'The work was stopped. Run the equation again to see every form.';
  };
  signal.addEventListener('abort', onAbort, { once: true });

  enders = outputs.map((output) => showOutput(forms, output, forms.services));
  section.append(status);
  if (signal.aborted) onAbort();
  if (forms.outstanding === 0) section.dataset.settled = 'true';

  return {
    close() {
      forms.closed = true;
      signal.removeEventListener('abort', onAbort);
      for (const end of enders) end();
      section.replaceChildren();
      section.hidden = true;
      delete section.dataset.minimalMs;
      delete section.dataset.settled;
    },
  };
}
