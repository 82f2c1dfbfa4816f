// The Terminal view: the dialogue after the prompt as a terminal shows it,
// drawing only the lines in sight.
import { hasTable } from './outcome.js';
import { offerTable } from './table-view.js';
import { kWarning } from './table.js';
import { lineAsTerminal, linesOf, showTerminal } from './view.js';

const $ = (id) => document.getElementById(id);

export default {
  name: 'terminal',
  label: 'Terminal',
  mount(part) {
    part.innerHTML = '<p id="terminal-note" hidden></p><div id="terminal" class="lines" tabindex="0" ' +
      'role="region" aria-label="The program\'s output"></div>';
  },

  clear(sentence) {
    $('terminal-note').textContent = sentence;
    $('terminal-note').hidden = !sentence;
    $('terminal').replaceChildren();
    $('terminal').style.height = '';
  },

  show(run, { offer }) {
    this.clear('');
    const { stdout, shape } = run;
    const table = hasTable(shape);
    if (table) offerTable(run, offer);
    return showTerminal($('terminal'), {
      before: linesOf(stdout, shape.start, table ? shape.first : stdout.length),
      rows: table ? shape.rows : 0,
      rowText: (k) => lineAsTerminal(stdout.subarray(shape.first + k * shape.rowLength,
        shape.first + (k + 1) * shape.rowLength - 1)),
      after: shape.warning ? [kWarning] : [],
    });
  },
};
