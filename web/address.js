// The equation in the page's address, as #eq= followed by it: a link opens
// the page with the equation run, and Back and Forward move between runs.
// Only what a fragment cannot hold is percent-encoded, so a link typed by
// hand works, and a "+" in it is a "+", never a blank.

const kKey = '#eq=';

export function equationInAddress() {
  if (!location.hash.startsWith(kKey)) return null;
  const text = location.hash.slice(kKey.length);
  try {
    return decodeURIComponent(text);
  } catch {
    return text; // a stray "%" is itself
  }
}

function encode(equation) {
  return encodeURIComponent(equation).replace(/%(2B|40|3D|3A|2F|3F|2C|3B|24|26)/g, (code) =>
    decodeURIComponent(code));
}

// Past this an address is no link to share, and browsers refuse longer ones.
const kLongest = 65536;

// A new history entry for each run, unless the address already holds it or
// the equation is too long for one.
export function putInAddress(equation) {
  if (equation.length > kLongest) return;
  const encoded = encode(equation);
  if (equationInAddress() === equation || encoded.length > kLongest) return;
  history.pushState(null, '', `${kKey}${encoded}`);
}

export function onAddressChange(listener) {
  addEventListener('popstate', () => {
    const equation = equationInAddress();
    if (equation !== null) listener(equation);
  });
}
