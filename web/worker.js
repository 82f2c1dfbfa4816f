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

// The bytes written to one stream, kept as the chunks they came in.
function sink() {
  const chunks = [];
  let size = 0;
  return {
    ops: {
      write(stream, buffer, offset, length) {
        chunks.push(new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length).slice());
        size += length;
        return length;
      },
    },
    bytes() {
      // A table is most often one write: its chunk is the answer as it is.
      if (chunks.length === 1) return chunks.pop();
      const all = new Uint8Array(size);
      let at = 0;
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
  const module = await Promise.race([failure, createQuorvane({
    print() {},
    printErr() {},
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
  const stdout = sink();
  const stderr = sink();
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
