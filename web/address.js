// The page's state in its address: #eq= the equation, then &vs= the one it
// is compared with and &view= the view, each only when there is one. A link
// opens that state, and Back and Forward move between runs. Only what a
// fragment cannot hold is percent-encoded, so a link typed by hand works,
// and a "+" in it is a "+", never a blank. An "&" in an equation is written
// %26; a bare one still belongs to the equation unless "vs=" or "view="
// follows it, so links made before there were more keys open as they did.

const kKeys = ['eq', 'vs', 'view'];

function decode(text) {
  try {
    return decodeURIComponent(text);
  } catch {
    return text; // a stray "%" is itself
  }
}

// { eq, vs, view } from the address, or null when it names no equation.
export function stateInAddress() {
  if (!location.hash.startsWith('#eq=')) return null;
  const state = { eq: '', vs: '', view: '' };
  for (const part of location.hash.slice(1).split(/&(?=(?:vs|view)=)/)) {
    const at = part.indexOf('=');
    state[part.slice(0, at)] = decode(part.slice(at + 1));
  }
  return state;
}

// Half of a UTF-16 pair alone cannot be percent-encoded; it goes as U+FFFD,
// which is also what the program is given for it.
function encode(text) {
  return encodeURIComponent(text.toWellFormed()).replace(/%(2B|40|3D|3A|2F|3F|2C|3B|24)/g, (code) =>
    decodeURIComponent(code));
}

function hashOf(state) {
  return `#${kKeys.filter((key) => key === 'eq' || state[key]).map((key) => `${key}=${encode(state[key])}`).join('&')}`;
}

// Past this an address is no link to share, and browsers refuse longer ones.
const kLongest = 65536;

// A new history entry for each run, unless the address already holds it; a
// change of view only replaces the entry's view. A state too long for an
// address leaves the address without one, so that it never names an
// equation other than the one shown.
export function putInAddress(state, { replace = false } = {}) {
  const long = (state.eq?.length ?? 0) + (state.vs?.length ?? 0) > kLongest;
  const whole = long ? '' : hashOf(state);
  const hash = whole.length > kLongest ? '' : whole;
  if (hash === location.hash || (!hash && !location.hash)) return;
  const url = hash || `${location.pathname}${location.search}`;
  if (replace) history.replaceState(null, '', url);
  else history.pushState(null, '', url);
}

export function onAddressChange(listener) {
  addEventListener('popstate', () => {
    const state = stateInAddress();
    if (state !== null) listener(state);
  });
}
