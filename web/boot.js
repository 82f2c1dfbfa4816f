// The one classic script: it runs where the page's modules cannot, opened
// from a file, and says at once what to do instead.
if (location.protocol === 'file:')
  document.addEventListener('DOMContentLoaded', () => {
    document.getElementById('served').hidden = false;
  });
