// The forms a course asks for, worked out from the program's result column
// alone: the minterm and maxterm lists, the canonical forms, the minimal sum
// and product, and a Karnaugh map. Each form is written in the program's
// syntax, and shown as checked only once the program's own table of it has
// matched the equation's in every row; the page never evaluates a form.
import { countTrue } from './joint.js';
import { drawMaps, kMapsFrom, kMapsUpTo } from './kmap.js';
import { grouped } from './view.js';
import {
  canonicalProduct, canonicalSum, kExactUpTo, kSmallUpTo, latexOf, productText, sumText,
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

function rowsWhere(result, value) {
  const rows = [];
  for (let k = 0; k < result.length; k++) if (result[k] === value) rows.push(k);
  return rows;
}

// `table` is null for a run that stopped; otherwise { letters, rows, result,
// warning }. `services` runs and compares tables as the page does.
export function showForms(section, table, services) {
  const { signal } = services;
  let closed = false;
  // The page's Stop stays on while any of this work is under way, and the
  // section says when all of it has ended, for whoever waits on it.
  let outstanding = 0;
  const track = (promise) => {
    outstanding++;
    section.dataset.settled = 'false';
    const done = () => {
      if (--outstanding === 0 && !closed) section.dataset.settled = 'true';
    };
    promise.then(done, done);
    return services.track ? services.track(promise) : promise;
  };
  let worker = null;
  const endWorker = () => {
    worker?.terminate();
    worker = null;
  };
  section.replaceChildren();
  section.hidden = !table;
  if (!table) return { close() {} };

  const n = table.letters.length;
  const title = element('h3', '', 'Forms');
  title.id = 'forms-title';
  section.append(title);
  if (table.warning)
    section.append(element('p', 'warning forms-warning', 'The program warned that its answer may ' +
      'contain errors, so these forms describe the result column it computed, not what the ' +
      'equation was meant to say.'));
  const list = element('dl', 'forms');
  section.append(list);
  const status = element('p', 'forms-status');
  status.setAttribute('role', 'status');
  const mapBox = element('div', 'kmap-box');
  section.append(mapBox, status);
  const started = performance.now();

  // One <dt> and its <dd>, the dd holding `body` (a form's text goes in a
  // <code>); the dd is returned for what follows it.
  let serial = 0;
  const entry = (name, body) => {
    const dt = element('dt', '', name);
    dt.id = `form-name-${++serial}`;
    const dd = element('dd');
    if (typeof body === 'string') {
      const code = element('code', 'form', body);
      // A long form scrolls in its box, which the keyboard must reach too.
      if (body.length > 200) code.tabIndex = 0;
      dd.append(code);
    }
    else dd.append(body);
    list.append(dt, dd);
    return dd;
  };

  // Checks run one at a time, in the order the forms were shown.
  let queue = Promise.resolve();
  const check = (dd, form) => {
    const said = element('span', 'check', 'checking…');
    dd.dataset.check = 'pending';
    dd.append(' ', said);
    const done = (state, text) => {
      if (closed) return;
      dd.dataset.check = state;
      said.className = `check ${state}`;
      said.textContent = text;
    };
    queue = queue.then(async () => {
      if (closed || signal.aborted) {
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
        const { rows, differing } = await services.compare(
          { letters: table.letters, result: table.result }, { letters: own.letters, result: own.result });
        if (differing === 0) done('checked', `checked: the same value in all ${plural(rows, 'row')}`);
        else done('failed', `failed: a different value in ${differing} of ${plural(rows, 'row')}`);
      } catch (error) {
        if (error.message === 'stopped') done('stopped', 'not checked: the work was stopped');
        else done('failed', `failed: ${error.message}`);
      }
    });
    track(queue);
  };

  const copy = async (text, what) => {
    try {
      await navigator.clipboard.writeText(text);
      status.textContent = `Copied ${what}.`;
    } catch (error) {
      status.textContent = `Copying failed: ${error.message}`;
    }
  };

  // A form that can be run: its code, the check, and the controls.
  const runnable = (name, form, note) => {
    const dd = entry(name, form);
    const dtId = list.lastElementChild.previousElementSibling.id;
    if (note) dd.append(' ', element('span', 'proof', note));
    const tools = element('span', 'form-tools');
    const button = (label, action) => {
      const b = element('button', '', label);
      b.type = 'button';
      b.setAttribute('aria-describedby', dtId);
      b.addEventListener('click', action);
      tools.append(b);
    };
    button('Compare', () => services.putInCompare(form));
    button('Copy', () => copy(form, `the ${name.toLowerCase()}`));
    button('Copy as LaTeX', () => copy(latexOf(form), `the ${name.toLowerCase()} as LaTeX`));
    check(dd, form);
    dd.append(tools);
    return dd;
  };

  const lists = () => {
    if (n <= kListsUpTo) {
      entry('Minterms', `Σm(${rowsWhere(table.result, 1).join(', ')})`);
      entry('Maxterms', `ΠM(${rowsWhere(table.result, 0).join(', ')})`);
      return Promise.resolve();
    }
    // 2^25 rows are counted a slice at a time.
    const minterms = entry('Minterms', element('span', '', 'counting…'));
    const maxterms = entry('Maxterms', element('span', '', 'counting…'));
    return track(countTrue(table.result, signal)).then((ones) => {
      if (closed) return;
      const why = ` The list is shown up to ${kListsUpTo} variables.`;
      const give = (count, value) =>
        `${plural(count, 'row')} of ${plural(table.rows, 'row')} ${count === 1 ? 'gives' : 'give'} ${value}.${why}`;
      minterms.textContent = give(ones, 1);
      maxterms.textContent = give(table.rows - ones, 0);
    }, () => {});
  };

  const canonical = () => {
    if (n <= kCanonicalUpTo) {
      runnable('Canonical sum of products', canonicalSum(table.result, table.letters));
      runnable('Canonical product of sums', canonicalProduct(table.result, table.letters));
      return;
    }
    const why = `Not shown past ${kCanonicalUpTo} variables: with ${n} it has a term of all ${n} ` +
      'letters for every row that gives ';
    entry('Canonical sum of products', element('span', 'why', `${why}1.`));
    entry('Canonical product of sums', element('span', 'why', `${why}0.`));
  };

  const minimal = () => {
    if (n > kSmallUpTo) {
      const why = `None is given past ${kSmallUpTo} variables: with ${n}, even a small form ` +
        'takes the page too long to find.';
      entry('Minimal sum of products', element('span', 'why', why));
      entry('Minimal product of sums', element('span', 'why', why));
      return;
    }
    const sumDd = entry('Minimal sum of products', element('span', 'pending', 'working…'));
    const productDd = entry('Minimal product of sums', element('span', 'pending', 'working…'));
    status.textContent = n > kExactUpTo ? 'Looking for small forms…' : 'Looking for the minimal forms…';
    worker = new Worker(new URL('minimize-worker.js', import.meta.url), { type: 'module' });
    let answers = 0;
    const finished = new Promise((resolve, reject) => {
      worker.onerror = (event) => {
        event.preventDefault();
        reject(new Error(event.message || 'the minimizer did not start'));
      };
      worker.onmessage = ({ data }) => {
        if (closed) return;
        const { kind, cubes, proved, ms } = data;
        const dd = kind === 'sum' ? sumDd : productDd;
        const name = kind === 'sum' ? 'Minimal sum of products' : 'Minimal product of sums';
        const form = kind === 'sum' ? sumText(cubes, table.letters) : productText(cubes, table.letters);
        const note = proved ? 'proved minimal: fewest terms, then fewest letters'
          : 'small, not proved minimal';
        // The entry is rebuilt in place, keeping its order in the list.
        const dt = dd.previousElementSibling;
        const fresh = runnable(name, form, note);
        fresh.dataset.ms = String(Math.round(ms));
        fresh.dataset.proved = String(proved);
        dt.replaceWith(fresh.previousElementSibling);
        dd.replaceWith(fresh);
        if (kind === 'sum' && n >= kMapsFrom && n <= kMapsUpTo)
          drawMaps(mapBox, table.letters, table.result, cubes, (c) => sumText([c], table.letters));
        if (++answers === 2) {
          section.dataset.minimalMs = String(Math.round(performance.now() - started));
          status.textContent = '';
          endWorker();
          resolve();
        }
      };
    });
    finished.catch((error) => {
      if (closed) return;
      for (const dd of [sumDd, productDd])
        if (dd.isConnected) dd.textContent = `Not found: ${error.message}`;
      endWorker();
    });
    track(finished.catch(() => {}));
    worker.postMessage({ on: table.result.slice(0, 2 ** n), n });
  };

  const onAbort = () => {
    if (closed) return;
    const working = worker !== null;
    endWorker();
    for (const dd of list.querySelectorAll('dd'))
      if (dd.querySelector('.pending')) dd.textContent = 'Not found: the work was stopped.';
    if (working || list.querySelector('dd[data-check="pending"]'))
      status.textContent = 'The work was stopped. Run the equation again to see every form.';
  };
  signal.addEventListener('abort', onAbort, { once: true });

  lists();
  canonical();
  minimal();
  if (signal.aborted) onAbort();
  if (outstanding === 0) section.dataset.settled = 'true';

  return {
    close() {
      closed = true;
      signal.removeEventListener('abort', onAbort);
      endWorker();
      section.replaceChildren();
      section.hidden = true;
      delete section.dataset.minimalMs;
      delete section.dataset.settled;
    },
  };
}
