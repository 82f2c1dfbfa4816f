// A function given by its rows, as a run takes it. It is read in a worker;
// the program is then given, for each output, an equation whose table is 1
// in exactly the output's 1 rows (its canonical sum of products), and the
// column the page shows is the program's table of it, with the don't-care
// rows marked apart. Nothing here evaluates an equation.
import { careOf, functionText, looksLikeFunction, stepped } from './function.js';
import { tableOf } from './outcome.js';
import { inWorker } from './task.js';

// null for an equation; { error } for a function that contradicts itself;
// else { fn, said, text, equations }: the function, what was read, the
// field's text for it, and each output's equation for the program.
export function readFunctionIn(text, signal, { file = false } = {}) {
  if (!file && !looksLikeFunction(text)) return Promise.resolve(null);
  return inWorker(new URL('function-worker.js', import.meta.url), { text, file }, signal,
    'The function could not be read');
}

// The program's column of one output, which must be over the function's
// letters: its equation names every one of them.
async function columnOf(equation, letters, signal) {
  const table = await tableOf(equation, signal);
  if (table.status !== 0 || !table.result || table.letters !== letters)
    throw new Error(`The program did not give a table over ${letters} for an output's equation.`);
  return table.result;
}

// Every output of a run of a function: { name, letters, values, care,
// result }, `result` the program's column, 0 or 1 a row, and `care` 1 in
// the rows that matter. The first output's column is the run's own.
export function outputsOf(run, signal) {
  const { fn, equations } = run.read;
  if (run.shape.letters !== fn.letters)
    return Promise.reject(new Error(`The program did not give a table over ${fn.letters} for the function.`));
  return Promise.all(fn.outputs.map(async ({ name, values }, j) => ({
    name,
    letters: fn.letters,
    values,
    care: careOf(values),
    result: j === 0 ? await run.result : await columnOf(equations[j], fn.letters, signal),
  })));
}

// The field's text once row `row` of output `output` has stepped, from the
// run's function or, for an equation, from the column the program gave it.
export async function steppedText(run, output, row) {
  const fn = run.read?.fn ?? {
    letters: run.shape.letters,
    outputs: [{ name: 'F', values: Uint8Array.from(await run.result), notation: 'minterms' }],
    reordered: false,
  };
  return functionText(stepped(fn, output, row));
}
