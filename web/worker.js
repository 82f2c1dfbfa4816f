// Runs the program, as often as it is asked, each time in an instance of
// its own: an instance that has read to the end of its input would give the
// next run an empty equation. The page compiles the program once and hands
// it over first. Standard input, output and error are devices that move
// whole chunks of bytes, as the console's descriptors do; emscripten's own
// console streams would take them a byte at a time and read them as UTF-8.
import createQuorvane from './quorvane.mjs';

// Device numbers above emscripten's own, one per stream.
const kMajor = 64;

let compiled = null;

function replaceStream(FS, fd, path, ops) {
  const dev = FS.makedev(kMajor, fd);
  FS.registerDevice(dev, ops);
  FS.mkdev(path, dev);
  FS.close(FS.getStream(fd));
  const stream = FS.open(path, fd === 0 ? 'r' : 'w');
  if (stream.fd !== fd) throw new Error(`${path} opened as descriptor ${stream.fd}, not ${fd}`);
}

// The bytes written to one stream. Once the program says how long its table
// will be, they go into one array of the whole output's size as they come,
// so that a table written in slices is never held twice, neither here nor
// while it is joined; bytes past what it announced, which no run writes,
// would be kept as chunks.
function sink() {
  let whole = null;
  let filled = 0;
  const chunks = [];
  let size = 0;
  const keep = (bytes) => {
    if (whole && chunks.length === 0 && filled + bytes.length <= whole.length) {
      whole.set(bytes, filled);
      filled += bytes.length;
    } else {
      chunks.push(bytes.slice());
    }
    size += bytes.length;
  };
  return {
    ops: {
      write(stream, buffer, offset, length) {
        keep(new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length));
        return length;
      },
    },
    expect(bytes) {
      if (whole) return;
      // Without the memory for it, the table still comes, as chunks.
      try {
        whole = new Uint8Array(size + bytes);
      } catch {
        return;
      }
      for (const chunk of chunks.splice(0)) {
        whole.set(chunk, filled);
        filled += chunk.length;
      }
    },
    bytes() {
      if (whole && chunks.length === 0 && filled === whole.length) return whole;
      // A table is most often one write: its chunk is the answer as it is.
      if (!whole && chunks.length === 1) return chunks.pop();
      const all = new Uint8Array(size);
      let at = 0;
      if (whole) {
        all.set(whole.subarray(0, filled));
        at = filled;
        whole = null;
      }
      for (const chunk of chunks.splice(0)) {
        all.set(chunk, at);
        at += chunk.length;
      }
      return all;
    },
  };
}

async function run(input) {
  // The module waits for `done` and would wait for ever on a program that
  // cannot be instantiated, so that failure ends the run itself.
  let failed;
  const failure = new Promise((resolve, reject) => { failed = reject; });
  const stdout = sink();
  const stderr = sink();
  const module = await Promise.race([failure, createQuorvane({
    print() {},
    printErr() {},
    expectTable: (bytes) => stdout.expect(bytes),
    instantiateWasm(imports, done) {
      WebAssembly.instantiate(compiled, imports).then(done, failed);
      return {};
    },
  })]);
  const { FS } = module;
  let position = 0;
  replaceStream(FS, 0, '/dev/quorvane-stdin', {
    read(stream, buffer, offset, length) {
      const n = Math.min(length, input.length - position);
      buffer.set(input.subarray(position, position + n), offset);
      position += n;
      return n;
    },
  });
  replaceStream(FS, 1, '/dev/quorvane-stdout', stdout.ops);
  replaceStream(FS, 2, '/dev/quorvane-stderr', stderr.ops);
  const status = module.callMain([]);
  return { stdout: stdout.bytes(), stderr: stderr.bytes(), status };
}

self.onmessage = async ({ data }) => {
  if (data.module) {
    compiled = data.module;
    self.postMessage({ ready: true });
    return;
  }
  try {
    const result = await run(data.input);
    self.postMessage(result, [result.stdout.buffer, result.stderr.buffer]);
  } catch (error) {
    self.postMessage({ error: `The program failed: ${error && error.message ? error.message : error}` });
  }
};
