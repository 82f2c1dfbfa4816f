// One piece of work in a module worker of its own, which the signal ends:
// the page hands over what would hold it still and waits for the answer.
export function inWorker(url, message, signal, failure) {
  if (signal?.aborted) return Promise.reject(new Error('stopped'));
  const worker = new Worker(url, { type: 'module' });
  return new Promise((resolve, reject) => {
    const end = () => {
      worker.terminate();
      signal?.removeEventListener('abort', onAbort);
    };
    const onAbort = () => {
      end();
      reject(new Error('stopped'));
    };
    signal?.addEventListener('abort', onAbort, { once: true });
    worker.onmessage = ({ data }) => {
      end();
      resolve(data);
    };
    worker.onerror = (event) => {
      event.preventDefault();
      end();
      reject(new Error(`${failure}: ${event.message || 'its worker did not start'}.`));
    };
    worker.postMessage(message);
  });
}
