// The page around the game: the build the browser can run, the picture's scale, the
// fullscreen button, the seed from the address, replays to watch (from the address or dropped
// on the page), the records and best runs kept in the browser's storage (the best runs to
// download), the notices, and what a game host's frame and offline play need.
'use strict';

(function () {
  const WIDTH = 320;
  const HEIGHT = 180;
  const PROGRAM_DIR = '/pyrelle';
  const RECORDS = 'pyrelle.sav';  // its storage key is its name, as for every file kept
  // What the game writes beside its records, kept in the storage too (as base64): the best
  // runs' replays, and the daily cave's best result and replays. The replays can be
  // downloaded, each by its button (index.html).
  const BESIDE_RECORDS = ['pyrelle-meilleur.rpl', 'pyrelle-meilleur-nuit.rpl', 'pyrelle-jour.sav',
                          'pyrelle-jour.rpl', 'pyrelle-jour-nuit.rpl'];
  const REPLAY_FILE = PROGRAM_DIR + '/relecture.rpl';
  const DROPPED_KEY = 'pyrelle.relecture';  // a dropped replay, across the reload it asks for
  const MOST_REPLAY_BYTES = 4 * 1024 * 1024;  // as the game reads at most

  // The zip for game hosts keeps its files for offline play with a service worker, which its
  // index.html names on this script's tag; the build folder has none, so that a rebuilt game
  // shows at the next reload.
  const OFFLINE_WORKER = document.currentScript && document.currentScript.dataset.serviceWorker;

  const canvas = document.getElementById('ecran');
  const frame = document.getElementById('cadre');
  const notice = document.getElementById('avis');

  // A notice below the picture; `also` keeps the one already shown, above the new one.
  function tell(text, also = false) {
    notice.textContent = also && !notice.hidden ? notice.textContent + '\n' + text : text;
    notice.hidden = false;
    fit();
  }

  // The largest whole scale that fits, counted in the screen's own pixels: at a device pixel
  // ratio of 1.25 a scale chosen in CSS pixels would make game pixels 3 or 4 screen pixels
  // wide, unevenly. The canvas is k screen pixels per game pixel and starts on a whole screen
  // pixel (the frame does, at the page's top left). Only a space smaller than the picture gets
  // a fractional scale, proportions kept.
  function fit() {
    const ratio = window.devicePixelRatio || 1;
    const area = frame.getBoundingClientRect();
    const k = Math.floor(Math.min(Math.floor(area.width * ratio) / WIDTH,
                                  Math.floor(area.height * ratio) / HEIGHT));
    if (k < 1) {
      const scale = Math.max(Math.min(area.width / WIDTH, area.height / HEIGHT), 0.1);
      canvas.style.width = WIDTH * scale + 'px';
      canvas.style.height = HEIGHT * scale + 'px';
      canvas.style.transform = 'translate(' + (area.width - WIDTH * scale) / 2 + 'px, ' +
                               (area.height - HEIGHT * scale) / 2 + 'px)';
      return;
    }
    // Laid out in screen pixels, then shrunk by the ratio: a length such as 1280 / 1.5 CSS
    // pixels would be rounded by the layout, and the picture drawn over 1281 screen pixels.
    canvas.style.width = WIDTH * k + 'px';
    canvas.style.height = HEIGHT * k + 'px';
    const left = Math.floor((Math.floor(area.width * ratio) - WIDTH * k) / 2);
    const top = Math.floor((Math.floor(area.height * ratio) - HEIGHT * k) / 2);
    canvas.style.transform = 'scale(' + 1 / ratio + ') translate(' + left + 'px, ' + top + 'px)';
  }
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  if (window.ResizeObserver) new ResizeObserver(fit).observe(frame);  // the notice, the help
  // A new device pixel ratio (zoom, another screen) does not always resize the window: the
  // page watches the ratio it fitted for, and only that one.
  let ratio_watched = null;
  function fit_and_watch() {
    fit();
    if (!window.matchMedia) return;
    if (ratio_watched) ratio_watched.removeEventListener('change', fit_and_watch);
    ratio_watched = window.matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)');
    ratio_watched.addEventListener('change', fit_and_watch);
  }
  fit_and_watch();

  // Touch controls, shown on a touch screen and hidden once a key or a gamepad is used. They
  // press and release the game's own keys, as the keyboard does, so that the game sees the
  // same held keys either way. A tap on the picture is Enter (it starts a run from the title).
  const touch = document.getElementById('tactile');
  function send_key(type, code, key) {
    window.dispatchEvent(new KeyboardEvent(type, {code, key: key || code, bubbles: true}));
  }
  for (const button of touch.querySelectorAll('button')) {
    const code = button.dataset.code;
    const key = button.dataset.key;
    let held = false;
    const release = () => {
      if (!held) return;
      held = false;
      button.classList.remove('tenu');
      send_key('keyup', code, key);
    };
    button.addEventListener('pointerdown', (event) => {
      event.preventDefault();
      if (button.setPointerCapture) button.setPointerCapture(event.pointerId);
      held = true;
      button.classList.add('tenu');
      send_key('keydown', code, key);
    });
    button.addEventListener('pointerup', release);
    button.addEventListener('pointercancel', release);
    button.addEventListener('lostpointercapture', release);
    button.addEventListener('contextmenu', (event) => event.preventDefault());
  }
  canvas.addEventListener('pointerup', (event) => {
    if (event.pointerType === 'mouse') return;  // a click only focuses, as before
    send_key('keydown', 'Enter', 'Enter');
    send_key('keyup', 'Enter', 'Enter');
  });
  const show_touch = (shown) => {
    if (touch.hidden === !shown) return;
    touch.hidden = !shown;
  };
  if (window.matchMedia && window.matchMedia('(pointer: coarse)').matches) show_touch(true);
  window.addEventListener('touchstart', () => show_touch(true), {passive: true});
  window.addEventListener('keydown', (event) => {
    if (event.isTrusted) show_touch(false);
  }, true);
  window.addEventListener('gamepadconnected', () => show_touch(false));

  // In a game host's frame the keys that scroll a page scroll neither this one nor the host's
  // around it, whether the game runs yet or not; a click anywhere on the picture's frame gives
  // the game the keyboard.
  const SCROLL_KEYS = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Space',
                               'PageUp', 'PageDown', 'Home', 'End']);
  window.addEventListener('keydown', (event) => {
    if (SCROLL_KEYS.has(event.code) && !event.ctrlKey && !event.metaKey && !event.altKey) {
      event.preventDefault();
    }
  });
  frame.addEventListener('pointerdown', () => canvas.focus());

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

  // The smallest module that uses what the fast build needs, a SIMD instruction (a v128
  // constant, dropped) and bulk memory (a memory.fill of nothing): where the browser cannot
  // validate it, the build without either is loaded.
  const FAST_BUILD_PROBE = new Uint8Array([
    0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00,  // "\0asm", version 1
    0x01, 0x04, 0x01, 0x60, 0x00, 0x00,              // types: one, () -> ()
    0x03, 0x02, 0x01, 0x00,                          // functions: one, of that type
    0x05, 0x03, 0x01, 0x00, 0x00,                    // memories: one, of no pages
    0x0a, 0x20, 0x01, 0x1e, 0x00,                    // code: one body of 30 bytes, no locals
    0xfd, 0x0c, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // v128.const 0
    0x1a,                                            // drop
    0x41, 0x00, 0x41, 0x00, 0x41, 0x00,              // i32.const 0, three times
    0xfc, 0x0b, 0x00,                                // memory.fill
    0x0b,                                            // end
  ]);
  // Each file by its whole name: the zip for game hosts renames them (scripts/web-zip.mjs).
  const BUILD = WebAssembly.validate(FAST_BUILD_PROBE)
                    ? {script: 'pyrelle.js', wasm: 'pyrelle.wasm'}
                    : {script: 'pyrelle-scalar.js', wasm: 'pyrelle-scalar.wasm'};

  // The game's WebAssembly, fetched once by the page rather than by Emscripten's loader, which
  // fetches a missing or damaged file a second time and leaves only English for the player.
  // Compiled as it arrives where the server says what it is (browsers then keep the compiled
  // code for the next visit).
  async function instantiate(imports) {
    const file = BUILD.wasm;
    let response;
    try {
      response = await fetch(file);
    } catch (e) {
      console.warn(file + ' : ' + e.message);
      tell(window.location.protocol === 'file:'
               ? 'Pyrelle ne peut pas démarrer depuis un fichier ouvert sur le disque : le ' +
                     'navigateur n\'y charge pas le programme du jeu. Servez ce dossier avec ' +
                     'un serveur web (scripts/web.sh le fait) et ouvrez son adresse.'
               : 'Le programme du jeu (' + file + ') n\'a pas pu être chargé (le serveur ne ' +
                     'répond pas). Rechargez la page.');
      throw e;
    }
    if (!response.ok) {
      tell('Le programme du jeu (' + file + ') n\'a pas pu être chargé (erreur HTTP ' +
           response.status + '). Rechargez la page ; si rien ne change, le site est incomplet.');
      throw new Error(file + ' : ' + response.status);
    }
    try {
      if (WebAssembly.instantiateStreaming &&
          response.headers.get('Content-Type') === 'application/wasm') {
        return await WebAssembly.instantiateStreaming(response, imports);
      }
      return await WebAssembly.instantiate(await response.arrayBuffer(), imports);
    } catch (e) {
      console.warn(file + ' : ' + e.message);
      tell('Le programme du jeu (' + file + ') est abîmé : le navigateur ne peut pas ' +
           'l\'exécuter. Rechargez la page ; si rien ne change, le site est à refaire.');
      throw e;
    }
  }

  // The game's arguments from the address and the browser's settings. ?seed=42 plays the cave
  // of that seed, so that a cave can be shared by a link: only a decimal number that fits in
  // 64 bits is passed on. ?daily plays the day's cave, which has its seed already; ?ghost
  // shows the best run's firefly as a ghost. A browser set to reduce motion asks the game
  // for less of it. A replay to watch takes none of these: it plays as it was recorded.
  function game_arguments(replay) {
    if (replay) return ['--replay', REPLAY_FILE];
    const address = new URLSearchParams(window.location.search);
    const found = [];
    const seed = address.get('seed');
    if (address.has('daily')) {
      found.push('--daily');
      if (seed !== null) tell('Graine ignorée : la grotte du jour a la sienne.');
    } else if (seed !== null && /^[0-9]{1,20}$/.test(seed) && BigInt(seed) < (1n << 64n)) {
      found.push('--seed', seed);
    } else if (seed !== null) {
      tell('Graine ignorée (un nombre entier de 0 à 18446744073709551615) : partie au hasard.');
    }
    if (address.has('ghost')) found.push('--ghost');
    if (window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches) {
      found.push('--reduced-motion');
    }
    return found;
  }

  // The replay to watch, as bytes, or null: one dropped on the page just before it reloaded,
  // else the one ?replay=ADDRESS names (fetched from there, relative to the page).
  async function replay_to_watch() {
    try {
      const dropped = window.sessionStorage.getItem(DROPPED_KEY);
      if (dropped !== null) {
        window.sessionStorage.removeItem(DROPPED_KEY);
        return from_base64(dropped);
      }
    } catch (e) {
      // No session storage: nothing can have been dropped.
    }
    const address = new URLSearchParams(window.location.search).get('replay');
    if (address === null) return null;
    try {
      const response = await fetch(new URL(address, window.location.href));
      if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
      const bytes = new Uint8Array(await response.arrayBuffer());
      if (bytes.length > MOST_REPLAY_BYTES) throw new Error('fichier trop grand');
      return bytes;
    } catch (e) {
      tell('Relecture introuvable (' + address + ') : ' + e.message + '. Partie normale.');
      return null;
    }
  }

  function to_base64(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    }
    return btoa(text);
  }
  const from_base64 = (text) => Uint8Array.from(atob(text), (c) => c.charCodeAt(0));

  // A .rpl file dropped anywhere on the page: the page starts again to watch it.
  function take_dropped_replays() {
    window.addEventListener('dragover', (event) => event.preventDefault());
    window.addEventListener('drop', (event) => {
      event.preventDefault();
      const file = event.dataTransfer.files[0];
      if (!file) return;
      if (file.size > MOST_REPLAY_BYTES) {
        tell('Ce fichier est trop grand pour être une relecture.');
        return;
      }
      file.arrayBuffer().then((buffer) => {
        try {
          window.sessionStorage.setItem(DROPPED_KEY, to_base64(new Uint8Array(buffer)));
        } catch (e) {
          tell('Le navigateur refuse de garder la relecture le temps de recharger la page.');
          return;
        }
        const address = new URL(window.location.href);
        address.searchParams.delete('replay');
        window.location.href = address.href;
      });
    });
  }

  // The browser's storage, or null when it is refused (private windows, blocked cookies):
  // records then last as long as the page.
  function storage() {
    try {
      const store = window.localStorage;
      const probe = RECORDS + '.essai';
      store.setItem(probe, '1');
      store.removeItem(probe);
      return store;
    } catch (e) {
      return null;
    }
  }

  // A kept file as stored: the records as their text (as the page always kept them), any
  // other as base64.
  const stored_form = (name, bytes) =>
    name === RECORDS ? new TextDecoder().decode(bytes) : to_base64(bytes);
  const file_form = (name, text) => (name === RECORDS ? text : from_base64(text));

  // The game keeps its records beside its program file, found through /proc/self/exe: both
  // are made up in the in-memory file system, the files kept filled from the storage. The
  // game saves by renaming a finished temporary over a file; each such rename of a kept file
  // is copied back.
  function prepare_kept_files(FS) {
    FS.mkdir(PROGRAM_DIR);
    FS.writeFile(PROGRAM_DIR + '/pyrelle', '');
    FS.symlink(PROGRAM_DIR + '/pyrelle', '/proc/self/exe');
    const kept = [RECORDS, ...BESIDE_RECORDS];
    const store = storage();
    for (const name of store ? kept : []) {
      const saved = store.getItem(name);
      try {
        if (saved !== null) FS.writeFile(PROGRAM_DIR + '/' + name, file_form(name, saved));
      } catch (e) {
        console.warn(name + ' illisible dans le stockage : ' + e.message);
      }
    }
    // Said at the first save that cannot be kept, as the desktop says it, and only then.
    const told = new Set();
    const rename = FS.rename;
    FS.rename = function (from, to) {
      rename.call(FS, from, to);
      const path = FS.lookupPath(to).path;
      const name = path.slice(PROGRAM_DIR.length + 1);
      if (path !== PROGRAM_DIR + '/' + name || !kept.includes(name)) return;
      show_best_runs(FS);
      try {
        if (!store) throw new Error('stockage refusé');
        store.setItem(name, stored_form(name, FS.readFile(path)));
      } catch (e) {
        // Storage refused, or full since: the file stays in memory.
        console.warn(name + ' non sauvegardé : ' + e.message);
        const records = name === RECORDS;
        if (told.has(records)) return;
        told.add(records);
        tell(records ? 'Records non sauvegardés : le navigateur refuse de les garder. Ils ' +
                           'dureront le temps de cette page.'
                     : 'Meilleure partie non sauvegardée : le navigateur refuse de la garder. ' +
                           'Elle durera le temps de cette page.', true);
      }
    };
    show_best_runs(FS);
  }

  // A button for each best run the game has kept, which downloads its replay.
  const best_run_buttons = document.querySelectorAll('button[data-replay]');
  function show_best_runs(FS) {
    for (const button of best_run_buttons) {
      button.hidden = !FS.analyzePath(PROGRAM_DIR + '/' + button.dataset.replay).exists;
    }
  }
  for (const button of best_run_buttons) {
    button.addEventListener('click', () => {
      button.blur();  // Space and Enter belong to the game
      const name = button.dataset.replay;
      const bytes = window.Module.FS.readFile(PROGRAM_DIR + '/' + name);
      const link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
      link.download = name;
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    });
  }

  // Registered once the game shows its first picture, so that the worker's downloads do not
  // slow the game's own; only over HTTP(S), where browsers have service workers.
  function keep_for_offline() {
    if (!OFFLINE_WORKER || !navigator.serviceWorker ||
        !/^https?:$/.test(window.location.protocol)) {
      return;
    }
    navigator.serviceWorker.register(OFFLINE_WORKER)
        .catch((e) => console.warn('pas de jeu hors ligne : ' + e.message));
  }

  async function start() {
    take_dropped_replays();
    const replay = await replay_to_watch();
    start_game(replay);
  }

  function start_game(replay) {
    let last_error = '';
    window.Module = {
      arguments: game_arguments(replay),
      soundWorklet: 'sound-worklet.js',  // what plays the sound off this thread
      onFirstFrame: keep_for_offline,
      preRun: [() => {
        prepare_kept_files(window.Module.FS);
        if (replay) window.Module.FS.writeFile(REPLAY_FILE, replay);
      }],
      onQuit: () => {
        tell(replay ? 'Relecture terminée. Appuyez sur Entrée ou cliquez pour la revoir.'
                    : 'Partie quittée. Appuyez sur Entrée ou cliquez pour rejouer.');
        const again = (event) => {
          if (event.type === 'keydown' && event.code !== 'Enter' && event.code !== 'NumpadEnter') {
            return;
          }
          window.location.reload();
        };
        window.addEventListener('keydown', again);
        window.addEventListener('click', again);
      },
      instantiateWasm: (imports, done) => {
        instantiate(imports).then((made) => done(made.instance, made.module), () => {});
        return {};  // the exports come later, through done
      },
      // What stopped it is in the console (printErr); the page says it in French.
      onAbort: () => tell('Pyrelle s\'est arrêté sur une erreur. Rechargez la page pour rejouer.'),
      // The game's own last line on standard error, shown when it ends on a failure (an
      // unreadable replay).
      printErr: (text) => {
        last_error = text;
        console.warn(text);
      },
      onExit: (status) => {
        if (status !== 0) tell(last_error || 'Pyrelle s\'est arrêté (' + status + ').');
      },
    };

    const script = document.createElement('script');
    script.src = BUILD.script;
    script.onerror = () => tell('Le programme du jeu (' + BUILD.script + ') n\'a pas pu être ' +
                                'chargé. Rechargez la page ; si rien ne change, le site est ' +
                                'incomplet.');
    document.body.appendChild(script);
    // The keyboard to the game at once, unless in a host's frame: there the host keeps it
    // until the game is clicked.
    if (window.self === window.top) canvas.focus();
  }

  start();
})();
