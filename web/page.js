// The page around the game: the picture's scale, the fullscreen button, the seed from the
// address, the records kept in the browser's storage, and the notices.
'use strict';

(function () {
  const WIDTH = 320;
  const HEIGHT = 180;
  const PROGRAM_DIR = '/pyrelle';
  const RECORDS_FILE = PROGRAM_DIR + '/pyrelle.sav';
  const RECORDS_KEY = 'pyrelle.sav';

  const canvas = document.getElementById('ecran');
  const frame = document.getElementById('cadre');
  const notice = document.getElementById('avis');

  function tell(text) {
    notice.textContent = text;
    notice.hidden = false;
    fit();
  }

  // The largest whole scale that fits, so that every picture pixel is the same size; only a
  // space smaller than the picture gets a fractional one, proportions kept.
  function fit() {
    const width = frame.clientWidth;
    const height = frame.clientHeight;
    const exact = Math.min(width / WIDTH, height / HEIGHT);
    const scale = exact >= 1 ? Math.floor(exact) : Math.max(exact, 0.1);
    canvas.style.width = Math.round(WIDTH * scale) + 'px';
    canvas.style.height = Math.round(HEIGHT * scale) + 'px';
  }
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  fit();

  document.getElementById('plein-ecran').addEventListener('click', (event) => {
    event.currentTarget.blur();  // Space and Enter belong to the game, not to the button
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (frame.requestFullscreen) {
      frame.requestFullscreen().catch(() => tell('Le plein écran est refusé par le navigateur.'));
    }
  });

  if (typeof WebAssembly !== 'object') {
    tell('Ce navigateur ne sait pas exécuter WebAssembly : Pyrelle ne peut pas y tourner. ' +
         'Essayez un navigateur récent (Firefox, Chromium, Safari).');
    return;
  }

  // ?seed=42 plays the cave of that seed, so that a cave can be shared by a link. Only a
  // decimal number that fits in 64 bits is passed on to the game.
  function game_arguments() {
    const seed = new URLSearchParams(window.location.search).get('seed');
    if (seed === null) return [];
    if (/^[0-9]{1,20}$/.test(seed) && BigInt(seed) < (1n << 64n)) return ['--seed', seed];
    tell('Graine ignorée (un nombre entier de 0 à 18446744073709551615) : partie au hasard.');
    return [];
  }

  // The browser's storage, or null when it is refused (private windows, blocked cookies):
  // records then last as long as the page.
  function storage() {
    try {
      const store = window.localStorage;
      const probe = RECORDS_KEY + '.essai';
      store.setItem(probe, '1');
      store.removeItem(probe);
      return store;
    } catch (e) {
      return null;
    }
  }

  // The game keeps its records beside its program file, found through /proc/self/exe: both
  // are made up in the in-memory file system, the file filled from the storage. The game
  // saves by renaming a finished temporary over the file; each such rename is copied back.
  function prepare_records(FS) {
    FS.mkdir(PROGRAM_DIR);
    FS.writeFile(PROGRAM_DIR + '/pyrelle', '');
    FS.symlink(PROGRAM_DIR + '/pyrelle', '/proc/self/exe');
    const store = storage();
    if (!store) return;
    const saved = store.getItem(RECORDS_KEY);
    if (saved !== null) FS.writeFile(RECORDS_FILE, saved);
    const rename = FS.rename;
    FS.rename = function (from, to) {
      rename.call(FS, from, to);
      if (FS.lookupPath(to).path === RECORDS_FILE) {
        try {
          store.setItem(RECORDS_KEY, FS.readFile(RECORDS_FILE, {encoding: 'utf8'}));
        } catch (e) {
          // Storage full or refused since: the records stay in memory.
        }
      }
    };
  }

  window.Module = {
    arguments: game_arguments(),
    preRun: [() => prepare_records(window.Module.FS)],
    onQuit: () => {
      tell('Partie quittée. Appuyez sur Entrée ou cliquez pour rejouer.');
      const again = (event) => {
        if (event.type === 'keydown' && event.code !== 'Enter' && event.code !== 'NumpadEnter') {
          return;
        }
        window.location.reload();
      };
      window.addEventListener('keydown', again);
      window.addEventListener('click', again);
    },
    onAbort: (what) => tell('Pyrelle s\'est arrêté : ' + what),
  };

  const script = document.createElement('script');
  script.src = 'pyrelle.js';
  script.onerror = () => tell('pyrelle.js n\'a pas pu être chargé.');
  document.body.appendChild(script);
  canvas.focus();
})();
