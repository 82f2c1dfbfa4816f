// Keeping the page's files and bringing a new build in. The service worker
// keeps the files of the build it came with; a newer build's worker waits
// until it is asked to take over, since a page of the old build that took
// files of the new one midway (a worker's script for a program compiled
// from the old) could fail. So the page says a new version is ready, and
// taking it over reloads the page, all of it from the new build.

// The notice that a newer build is ready, and its button that takes it over.
function offerUpdate(takeOver) {
  document.getElementById('update').hidden = false;
  document.getElementById('update-now').addEventListener('click', takeOver, { once: true });
}

// Registers the service worker; `ready` is called once a newer build's is
// installed and waiting, with a function that takes it over.
export function keepOffline(ready = offerUpdate) {
  if (!('serviceWorker' in navigator)) return;
  const offer = (waiting) => {
    // With no worker in charge yet this is the first visit's, which takes
    // over by itself.
    if (!waiting || !navigator.serviceWorker.controller) return;
    ready(() => {
      navigator.serviceWorker.addEventListener('controllerchange', () => location.reload());
      waiting.postMessage('take-over');
    });
  };
  navigator.serviceWorker.register('sw.js').then((registration) => {
    offer(registration.waiting);
    registration.addEventListener('updatefound', () => {
      const installing = registration.installing;
      installing?.addEventListener('statechange', () => {
        if (installing.state === 'installed') offer(installing);
      });
    });
  }).catch(() => {});
}
