// The two fields and what is said under them, without changing a byte of
// what they hold: a blank the program stops at, characters outside ASCII,
// text that is not well-formed UTF-16, and another notation, whose rewrite
// a button offers. A paste too long to lay out is kept aside, whole.
import { describe, looksLikeFunction, readFunction } from './function.js';
import { foreignNotation, rewrite } from './notation.js';

const $ = (id) => document.getElementById(id);

// A field that holds a megabyte takes the browser most of a second to lay
// out, so an equation pasted that long is kept aside, whole, and the field
// shows its start; typing in the field again sets it aside.
const kLongestField = 4096;
let pasted = null;

export function equationText() {
  return pasted ?? $('equation').value;
}

function keepLong() {
  const field = $('equation');
  if (field.value.length > kLongestField) {
    pasted = field.value;
    field.value = `${pasted.slice(0, 40)}…`;
    $('pasted').textContent = `The whole equation of ${pasted.length} characters is kept: ` +
      'Run hands it over as pasted. Typing in the field sets it aside.';
    $('pasted').hidden = false;
  } else if (pasted !== null) {
    pasted = null;
    $('pasted').textContent = 'The long equation pasted before is set aside: Run hands over what ' +
      'the field holds.';
  }
}

// The first half of a UTF-16 pair without its second, or a second without
// its first: a careless paste can bring one.
const kLoneHalf = /[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/;

// What a field written as a function is read as: what it holds, or the
// one sentence that names what contradicts itself. A paste too long to read
// at every keystroke is read when Run is pressed.
function functionHint(value) {
  if (value.length > kLongestField) return 'Run reads this as a function given by its rows.';
  const fn = readFunction(value);
  return fn && (fn.error ?? describe(fn));
}

// Says what a field will hand over, without changing a byte of it.
function hint(value, id) {
  const read = looksLikeFunction(value) && functionHint(value);
  if (read) {
    $(id).textContent = read;
    $(id).hidden = false;
    return;
  }
  const hints = [];
  const blank = value.search(/\s/);
  if (blank >= 0) {
    const word = value.trimStart().match(/^\S*/)[0];
    const shown = word.length > 60 ? `${word.slice(0, 60)}…` : word;
    hints.push(`The program reads up to the first blank, so it will see only “${shown.toWellFormed()}”. ` +
      'Leave out the blanks to give it the whole equation.');
  }
  const lone = value.search(kLoneHalf);
  if (lone >= 0) {
    hints.push(`Character ${lone + 1} is half of a character pair whose other half is missing, ` +
      'as a broken paste leaves; the program gets the replacement character U+FFFD in its place.');
  } else {
    const foreign = value.match(/[^\0-\x7f]/u)?.[0];
    if (foreign)
      hints.push(`Only the letters A–Z and a–z are variables; “${foreign}” is not one of them, ` +
        'and the program reads its bytes as other characters.');
  }
  $(id).textContent = hints.join(' ');
  $(id).hidden = hints.length === 0;
}

const labelOf = (text) => `Use ${text.length > 60 ? `${text.slice(0, 60)}…` : text}`;

// Another notation is named, and its rewrite offered; the field changes
// only when the button is pressed.
function notationHint(field, value, prefix) {
  const said = looksLikeFunction(value) ? [] : foreignNotation(value);
  $(prefix).hidden = said.length === 0;
  if (!said.length) return;
  const rewritten = rewrite(value);
  $(`${prefix}-text`).textContent = said.join(' ') + (rewritten === null
    ? ' The text does not read as one equation in the usual notation, so there is no rewrite to offer.'
    : ' Until you choose the rewrite, the program gets the field as it stands.');
  $(`${prefix}-use`).hidden = rewritten === null;
  $(`${prefix}-use`).textContent = rewritten === null ? '' : labelOf(rewritten);
  $(`${prefix}-use`).onclick = () => {
    field.value = rewritten;
    field.dispatchEvent(new Event('input'));
    field.focus();
  };
}

export function fieldChanged() {
  keepLong();
  hint(equationText(), 'hint');
  notationHint($('equation'), equationText(), 'notation');
}

export function versusChanged() {
  hint($('versus').value, 'versus-hint');
  notationHint($('versus'), $('versus').value, 'versus-notation');
}

// The field rewritten, as a press on a cell does, so that the browser's undo
// brings back what it held; a text too long to lay out is kept aside.
export function setEquation(text) {
  const field = $('equation');
  field.focus({ preventScroll: true });
  field.select();
  if (text.length > kLongestField || !document.execCommand('insertText', false, text)) {
    field.value = text;
    field.dispatchEvent(new Event('input'));
  }
}

// A form put into "Compare with", ready for Run.
export function putInVersus(equation) {
  $('versus').value = equation;
  versusChanged();
  $('versus').focus();
}

// Puts a state's texts in the fields, as typed.
export function fillFields(equation, versus) {
  $('equation').value = equation;
  pasted = null;
  $('pasted').hidden = true;
  $('versus').value = versus;
  fieldChanged();
  versusChanged();
}

export function watchFields() {
  $('equation').addEventListener('input', fieldChanged);
  $('versus').addEventListener('input', versusChanged);
}
