// net.js: net.html's side of the page: the lobby it asks (its own origin, or ?lobby=URL), the invite code an
// invite link brings (net.html#KX7M2Q), and the host's invite link beside the game, which C copies.
// Loaded after page.js, before the program.
(function () {
  const params = new URLSearchParams(location.search);
  Module.lobbyUrl = params.get('lobby') || (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/lobby';
  Module.invite = decodeURIComponent(location.hash.slice(1));
  const box = document.getElementById('invite');
  const link = document.getElementById('invite-link');
  const said = document.getElementById('invite-said');

  // The game shows the link of its invite code, or hides it ("").
  Module.showInvite = code => {
    link.textContent = code ? location.origin + location.pathname + location.search + '#' + code : '';
    said.textContent = '';
    box.hidden = !code;
  };

  // Browsers let a page write the clipboard on https and localhost; elsewhere the link is selected for the
  // player's own Ctrl+C, and the old way of copying a selection is tried.
  function copy() {
    const range = document.createRange();
    range.selectNodeContents(link);
    getSelection().removeAllRanges();
    getSelection().addRange(range);
    if (navigator.clipboard && window.isSecureContext) {
      navigator.clipboard.writeText(link.textContent).then(() => { said.textContent = 'copied'; },
        () => { said.textContent = 'selected: Ctrl+C copies it'; });
      return;
    }
    let done = false;
    try { done = document.execCommand('copy'); } catch (e) {}
    said.textContent = done ? 'copied' : 'selected: Ctrl+C copies it';
  }

  // An invite link opened in this tab again changes only the address's fragment: the page starts afresh with it.
  window.addEventListener('hashchange', () => location.reload());

  window.addEventListener('keydown', e => {
    if (Module.korvado) Module.korvado.keyAt = performance.now();  // the measurement of a key to the screen
    if (!box.hidden && e.code === 'KeyC' && !e.ctrlKey && !e.metaKey && !e.altKey) copy();
  }, true);
})();
