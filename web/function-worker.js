// A function read away from the page, from the field or from a file: one of
// 16 letters is a text of hundreds of kilobytes, and the equation the
// program is given for each of its outputs can run to megabytes.
import { describe, equationOf, functionText, readFunction } from './function.js';
import { readTableFile } from './table-file.js';

onmessage = ({ data: { text, file } }) => {
  const fn = file ? readTableFile(text) : readFunction(text);
  if (!fn || fn.error) {
    postMessage(fn);
    return;
  }
  postMessage({
    fn,
    said: describe(fn),
    text: file ? functionText(fn) : text,
    equations: fn.outputs.map((output) => equationOf(fn.letters, output.values)),
  });
};
