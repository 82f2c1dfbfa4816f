// A static file server for a built site on 127.0.0.1, for the page tests
// and the benchmark. `edits` maps a path to a change of its text, applied
// from then on: a new build, say.
//
// It also holds work for a test: a POST to /hold/KIND (a worker's word
// that it is about to start a piece of work of that kind, its body what
// the work is given) is answered at once, unless a gate the test holds
// takes it; then it waits until the test releases the gate. So a test that
// presses Stop can be sure the work was under way when it did.
//   const gate = server.hold((kind, body) => kind === 'run' && body === 'A+B\n');
//   ...; await gate.arrived; ...press Stop...; gate.release();
import { existsSync, readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize } from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.webmanifest': 'application/manifest+json',
};

// A gate: it takes the requests `takes(kind, body)` accepts (body as
// latin1 text, one character a byte) and keeps them unanswered until it is
// released. `arrived` resolves with the first one it takes; `held` counts
// those waiting.
function gate(gates, takes) {
  let arrive;
  const waiting = new Set();
  const onEmpty = [];
  const left = (response) => {
    waiting.delete(response);
    it.held = waiting.size;
    if (waiting.size === 0) for (const resolve of onEmpty.splice(0)) resolve();
  };
  const it = {
    arrived: new Promise((resolve) => { arrive = resolve; }),
    held: 0,
    takes,
    wait(response, kind, body) {
      waiting.add(response);
      it.held = waiting.size;
      // A worker that is ended gives its request up; it is not waited for.
      response.on('close', () => left(response));
      arrive({ kind, body });
    },
    // Resolves once no request waits: every one it took was released or
    // given up, as by a worker that was ended.
    emptied() {
      return waiting.size === 0 ? Promise.resolve() : new Promise((resolve) => onEmpty.push(resolve));
    },
    release() {
      gates.delete(it);
      for (const response of [...waiting]) {
        response.writeHead(204, { 'Cache-Control': 'no-store' }).end();
        left(response);
      }
    },
  };
  gates.add(it);
  return it;
}

export async function serveFolder(site, edits = {}) {
  const gates = new Set();
  const server = createServer((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (path.startsWith('/hold/') && request.method === 'POST') {
      const chunks = [];
      request.on('data', (chunk) => chunks.push(chunk));
      request.on('end', () => {
        const kind = path.slice('/hold/'.length);
        const body = Buffer.concat(chunks).toString('latin1');
        const taken = [...gates].find((g) => g.takes(kind, body));
        if (taken) taken.wait(response, kind, body);
        else response.writeHead(204, { 'Cache-Control': 'no-store' }).end();
      });
      return;
    }
    const file = join(site, path === '/' ? 'index.html' : path);
    if (!file.startsWith(site) || !existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
    const edit = edits[path];
    response.end(edit ? edit(readFileSync(file, 'utf8')) : readFileSync(file));
  });
  const sockets = new Set();
  server.on('connection', (s) => {
    sockets.add(s);
    s.on('close', () => sockets.delete(s));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    origin: `http://127.0.0.1:${server.address().port}`,
    edits,
    hold: (takes = () => true) => gate(gates, takes),
    close: () => new Promise((resolve) => {
      for (const g of [...gates]) g.release();
      for (const s of sockets) s.destroy();
      server.close(resolve);
    }),
  };
}
