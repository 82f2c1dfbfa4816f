// "Open a table": a CSV or TSV file of a function's rows, read in a worker
// and handed to the page as the text of the function it holds, which then
// runs, links and exports as one typed in the field.
import { readFunctionIn } from './function-run.js';

const $ = (id) => document.getElementById(id);

function say(text) {
  $('open-note').textContent = text;
  $('open-note').hidden = !text;
}

// `reading()` is told a file is being read, `opened(text)` takes the
// function's text, and `refused(sentence)` a file that holds no function,
// said in one sentence.
export function openTable({ reading, opened, refused }) {
  const input = $('open-table');
  input.addEventListener('change', async () => {
    const file = input.files[0];
    // The same file, changed, can be opened again.
    input.value = '';
    if (!file) return;
    say('');
    reading();
    try {
      const read = await readFunctionIn(await file.text(), null, { file: true });
      if (read.error) {
        refused(`${file.name}: ${read.error}`);
        return;
      }
      const renamed = (read.fn.renamed ?? []).map(([head, name]) => `“${head}” is called ${name}`);
      say(`Opened ${file.name}: ${read.said}` +
        (renamed.length ? ` Heads that are not names get one: ${renamed.join(', ')}.` : ''));
      opened(read.text);
    } catch (error) {
      refused(`${file.name} could not be read: ${error.message}`);
    }
  });
}
