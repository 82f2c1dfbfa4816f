// "Open a table": a CSV or TSV file of a function's rows, read in a worker
// and handed to the page as the text of the function it holds, which then
// runs, links and exports as one typed in the field.
import { readFunctionIn } from './function-run.js';

const $ = (id) => document.getElementById(id);

function say(text) {
  $('open-note').textContent = text;
  $('open-note').hidden = !text;
}

// The note on the file opened goes with the run it started.
export function forgetOpened() {
  say('');
}

// `reading()` is told a file is being read and answers { mine, signal,
// track }: the reading's mark, which opened(text, mine) and
// refused(sentence, mine) hand back so that an answer come too late is let
// go, the signal that ends it, and what keeps Stop on meanwhile.
export function openTable({ reading, opened, refused }) {
  const input = $('open-table');
  input.addEventListener('change', async () => {
    const file = input.files[0];
    // The same file, changed, can be opened again.
    input.value = '';
    if (!file) return;
    say('');
    const { mine, signal, track } = reading();
    try {
      const read = await track(file.text().then((text) => readFunctionIn(text, signal, { file: true })));
      if (read.error) {
        refused(`${file.name}: ${read.error}`, mine);
        return;
      }
      const renamed = (read.fn.renamed ?? []).map(([head, name]) => `“${head}” is called ${name}`);
      if (!opened(read.text, mine)) return;
      say(`Opened ${file.name}: ${read.said}` +
        (renamed.length ? ` Heads that are not names get one: ${renamed.join(', ')}.` : ''));
    } catch (error) {
      if (error.message !== 'stopped') refused(`${file.name} could not be read: ${error.message}`, mine);
    }
  });
}
