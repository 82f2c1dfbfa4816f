// Brute-force references the minimizers' tests share, knowing nothing of
// prime implicants.

// The cheapest sum of products of every function of n <= 4 letters at once,
// as [terms, letters] packed into terms * 64 + letters: a shortest path
// from the empty sum, each step ORing in any one of the 3^n cubes. A step
// can only add rows, so a path to f uses cubes inside f alone.
export function cheapestSums(n) {
  const rows = 1 << n;
  const functions = 2 ** rows;
  const cubes = [];
  for (let code = 0; code < 3 ** n; code++) {
    let bits = 0;
    let letters = 0;
    for (let k = 0; k < rows; k++) {
      let inside = true;
      let c = code;
      for (let j = n - 1; j >= 0; j--, c = Math.floor(c / 3)) {
        const want = c % 3; // 0 or 1: that value; 2: either
        if (want !== 2 && ((k >> j) & 1) !== want) inside = false;
      }
      if (inside) bits |= 1 << k;
    }
    for (let c = code, j = 0; j < n; j++, c = Math.floor(c / 3)) if (c % 3 !== 2) letters++;
    cubes.push({ bits, cost: 64 + letters });
  }
  const best = new Int32Array(functions).fill(1 << 30);
  best[0] = 0;
  // Costs are small integers: a bucket queue.
  const buckets = [[0]];
  for (let cost = 0; cost < buckets.length; cost++) {
    for (const f of buckets[cost] ?? []) {
      if (best[f] !== cost) continue;
      for (const c of cubes) {
        const g = (f | c.bits) >>> 0;
        const d = cost + c.cost;
        if (g !== f && d < best[g]) {
          best[g] = d;
          (buckets[d] ??= []).push(g);
        }
      }
    }
  }
  return best;
}
