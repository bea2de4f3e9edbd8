// The browser build in headless Chromium, driven through puppeteer-core. Run by
// tests/app/web_test.sh, which serves the build and makes the desktop's reference pictures.
// Usage: node web_test.mjs PAGE_URL REFERENCE_DIR
//   REFERENCE_DIR holds title.png (pyrelle --seed 42 --headless 0 --idle without records) and
//   title-records.png (the same with the records of records.sav beside the program).
import {execFileSync} from 'node:child_process';
import {existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';

import {check, differences_from, failures, HEIGHT, hud_shown, launch, open_page as open_in,
        pause, wait_for, WIDTH} from './browser.mjs';

const [url, references] = process.argv.slice(2);
const SEED = 42;
const NOTICE = [0xe6, 0xdc, 0xc8];     // "Son coupé" at full strength
const PAUSE = [0xff, 0xe1, 0x78];      // "PAUSE"

const {browser, close} = await launch();
const open_page = (problems, before) => open_in(browser, problems, before);

// The live picture, as [r, g, b] per pixel (row-major).
async function picture(page) {
  const rgba = await page.evaluate(() => {
    const c = document.getElementById('ecran');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  });
  return rgba;
}
const pixel = (rgba, x, y) => rgba.slice((y * WIDTH + x) * 4, (y * WIDTH + x) * 4 + 3);
const same = (a, b) => a[0] === b[0] && a[1] === b[1] && a[2] === b[2];

// Share of the picture's pixels that changed while `during` ran.
async function change_during(page, during) {
  const before = await picture(page);
  await during();
  const after = await picture(page);
  let changed = 0;
  for (let i = 0; i < before.length; i += 4) {
    if (before[i] !== after[i] || before[i + 1] !== after[i + 1] || before[i + 2] !== after[i + 2]) {
      changed += 1;
    }
  }
  return changed / (WIDTH * HEIGHT);
}

// The change over 600 ms without input, once the firefly and the camera have come to rest: a
// slow page steps the game slowly, so no fixed pause is enough. 10 s at most.
async function settled_change(page) {
  const deadline = Date.now() + 10000;
  let idle = await change_during(page, () => pause(600));
  while (idle > 0.15 && Date.now() < deadline) idle = await change_during(page, () => pause(600));
  return idle;
}

// A key by its physical position and the character it types, as a keyboard of any layout
// sends it (AZERTY's Z is where QWERTY has W).
async function key(page, type, code, text) {
  const session = await page.createCDPSession();
  await session.send('Input.dispatchKeyEvent', {
    type: type === 'down' ? 'keyDown' : 'keyUp', code, key: text, text: type === 'down' ? text : undefined,
    windowsVirtualKeyCode: text.toUpperCase().charCodeAt(0),
  });
  await session.detach();
}
async function hold(page, press, release, ms) {
  await press();
  await pause(ms);
  await release();
}

// "Son coupé" in the corner, in its colour at full strength.
const notice_shown = (colour) => {
  const p = document.getElementById('ecran').getContext('2d').getImageData(240, 166, 72, 7).data;
  for (let i = 0; i < p.length; i += 4) {
    if (p[i] === colour[0] && p[i + 1] === colour[1] && p[i + 2] === colour[2]) return true;
  }
  return false;
};

// The pause screen's "PAUSE" at 3 times: the stem of its P, 3 pixels wide from (117, 56).
const pause_shown = (colour) => {
  const p = document.getElementById('ecran').getContext('2d').getImageData(117, 56, 3, 21).data;
  for (let i = 0; i < p.length; i += 4) {
    if (p[i] !== colour[0] || p[i + 1] !== colour[1] || p[i + 2] !== colour[2]) return false;
  }
  return true;
};

try {
  // 0. Crisp at any device pixel ratio: the canvas covers 320k × 180k screen pixels for the
  //    largest k that fits, and every game pixel is a square of k × k screen pixels of its
  //    colour. The game's pictures are held back and the canvas shows a checkerboard of
  //    colours none black (the page around it is), so that a screenshot at the device's scale
  //    shows where each game pixel lands. Rows where only the ratio changes check that a new
  //    ratio alone refits the picture.
  const crisp_problems = [];
  const crisp = await open_page(crisp_problems, () => {
    const put = CanvasRenderingContext2D.prototype.putImageData;
    window.putPicture = put;
    CanvasRenderingContext2D.prototype.putImageData = function (...args) {
      if (!window.heldBack) put.apply(this, args);
    };
  });
  await crisp.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(crisp, () => window.Module && Module.firstFrame, 'une image (échelles)');
  await crisp.evaluate(() => {
    window.heldBack = true;
    const c = document.getElementById('ecran');
    const image = new ImageData(c.width, c.height);
    for (let y = 0; y < c.height; ++y) {
      for (let x = 0; x < c.width; ++x) {
        const o = (y * c.width + x) * 4;
        image.data.set([40 + 120 * (x % 2), 40 + 120 * (y % 2), 60 + (x + y) % 3 * 60, 255], o);
      }
    }
    putPicture.call(c.getContext('2d'), image, 0, 0);
  }).catch((e) => check(false, `damier : ${e.message}`));
  const ratios = [
    // ratio, CSS width, CSS height, scale in screen pixels
    [1, 1000, 800, 3],
    [1.25, 1000, 800, 3],
    [1.5, 1000, 800, 4],
    [1.25, 900, 700, 3],
    [2, 700, 600, 4],
    [2, 1600, 450, 4],  // the height decides
    [3, 500, 900, 4],
    [3, 390, 844, 3],  // a phone upright
    [3, 844, 390, 5],  // and on its side, the key help hidden
  ];
  for (const [ratio, width, height, k] of ratios) {
    const name = `rapport ${ratio}, ${width} × ${height}`;
    await crisp.setViewport({width, height, deviceScaleFactor: ratio});
    await crisp.waitForFunction((k) => {
      const r = document.getElementById('ecran').getBoundingClientRect();
      return Math.abs(r.width * devicePixelRatio - 320 * k) < 0.5;
    }, {timeout: 3000, polling: 50}, k).catch(() => {});
    await pause(200);
    const shot = await crisp.screenshot({encoding: 'base64'});
    const found = await crisp.evaluate(async (shot, k, width, height) => {
      const bytes = Uint8Array.from(atob(shot), (c) => c.charCodeAt(0));
      const bitmap = await createImageBitmap(new Blob([bytes], {type: 'image/png'}),
                                             {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
      const board = new OffscreenCanvas(bitmap.width, bitmap.height);
      board.getContext('2d').drawImage(bitmap, 0, 0);
      const screen = board.getContext('2d').getImageData(0, 0, bitmap.width, bitmap.height).data;
      const c = document.getElementById('ecran');
      const game = c.getContext('2d').getImageData(0, 0, width, height).data;
      // The picture's extent: the pixels not black within the frame (below it is the help).
      const ratio = window.devicePixelRatio;
      const area = document.getElementById('cadre').getBoundingClientRect();
      const bottom = Math.min(bitmap.height, Math.ceil(area.bottom * ratio));
      let x0 = Infinity, y0 = Infinity, x1 = -1, y1 = -1;
      for (let y = 0; y < bottom; ++y) {
        for (let x = 0; x < bitmap.width; ++x) {
          const o = (y * bitmap.width + x) * 4;
          if (screen[o] || screen[o + 1] || screen[o + 2]) {
            x0 = Math.min(x0, x); x1 = Math.max(x1, x); y0 = Math.min(y0, y); y1 = Math.max(y1, y);
          }
        }
      }
      const wrong = [];
      if (x1 >= 0) {
        for (let y = y0; y <= y1; ++y) {
          for (let x = x0; x <= x1; ++x) {
            const gx = Math.floor((x - x0) / k);
            const gy = Math.floor((y - y0) / k);
            const o = (y * bitmap.width + x) * 4;
            const i = (Math.min(gy, height - 1) * width + Math.min(gx, width - 1)) * 4;
            if (screen[o] !== game[i] || screen[o + 1] !== game[i + 1] || screen[o + 2] !== game[i + 2]) {
              wrong.push(`(${x - x0}, ${y - y0}) : ${screen.slice(o, o + 3)} au lieu de ${game.slice(i, i + 3)}`);
            }
          }
        }
      }
      return {size: [x1 - x0 + 1, y1 - y0 + 1], wrong: wrong.length, first: wrong.slice(0, 2),
              shot: [bitmap.width, bitmap.height]};
    }, shot, k, WIDTH, HEIGHT);
    check(found.size[0] === WIDTH * k && found.size[1] === HEIGHT * k,
          `${name} : l'image couvre ${found.size.join(' × ')} pixels d'écran (attendu ` +
          `${WIDTH * k} × ${HEIGHT * k}, capture ${found.shot.join(' × ')})`);
    check(found.wrong === 0, `${name} : chaque pixel du jeu est un carré de ${k} × ${k} de sa ` +
          `couleur (${found.wrong} pixels d'écran autres${found.wrong ? ', ' + found.first.join(' ; ') : ''})`);
  }
  check(crisp_problems.length === 0,
        `échelles sans erreur${crisp_problems.length ? ' : ' + crisp_problems.join(' ; ') : ''}`);
  await crisp.close();

  // 1. The page of a fixed seed: no error, the first picture is the desktop's, the title.
  const problems = [];
  const page = await open_page(problems);  // a new profile: nothing stored yet
  const started = Date.now();
  await page.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  if (await wait_for(page, () => window.Module && Module.firstFrame, 'une première image')) {
    const shown = await page.evaluate(() => Module.firstFrameTime);
    console.log(`# première image ${shown.toFixed(0)} ms après le début du chargement ` +
                `(${Date.now() - started} ms vue du test)`);
    const differences = await differences_from(page, join(references, 'title.png'));
    check(differences.length === 0,
          `la première image (graine ${SEED}) est celle du jeu de bureau` +
          (differences.length ? ` : ${differences.length} pixels diffèrent, ${differences.slice(0, 3)}` : ''));
    // The title's "P" at 4 times: its stem, 4 pixels wide from (78, 38), all in the title's
    // warm colour; the gap after the letter is not.
    const first = await page.evaluate(() => Array.from(Module.firstFrame));
    const stem = [];
    for (let y = 38; y < 38 + 28; ++y) for (let x = 78; x < 82; ++x) stem.push(pixel(first, x, y));
    const warm = (p) => p[0] >= 200 && p[0] > p[1] && p[1] > p[2];
    check(stem.every((p) => same(p, stem[0])) && warm(stem[0]),
          `le titre PYRELLE est dessiné (jambage du P : ${stem[0]})`);
    check(!warm(pixel(first, 99, 50)), 'et pas entre ses lettres');
  }
  const canvas_size = await page.$eval('#ecran', (c) => [c.clientWidth, c.clientHeight]);
  check(canvas_size[0] === 1280 && canvas_size[1] === 720,
        `l'image est agrandie 4 fois dans une fenêtre de 1280 × 800 (${canvas_size})`);

  check(await page.evaluate(() => document.getElementById('touches').offsetHeight > 0 &&
                                  document.getElementById('tactile').hidden),
        'sur un ordinateur : l\'aide des touches, et pas de commandes tactiles');

  // 2. Enter starts a run: the HUD appears, and the run writes the records into the storage.
  await page.keyboard.press('Enter', {delay: 80});
  await wait_for(page, hud_shown, 'le HUD après Entrée');
  await wait_for(page, () => localStorage.getItem('pyrelle.sav') === 'best_depth=1\n',
                 'les records de la partie (best_depth=1) dans le stockage du navigateur');

  // 3. Sound starts with the first key press.
  await wait_for(page, () => Module.audioContext && Module.audioContext.state === 'running' &&
                             Module.audioFrames > 0, 'le son qui joue après la première touche');

  // 3b. The sound plays on the audio thread from samples queued ahead: the page's thread held
  //     busy 120 ms at a time is not heard (no render quantum finds the queue dry), and the
  //     samples played keep up with the audio clock through the stalls.
  check(await page.evaluate(() => Module.audioNode instanceof AudioWorkletNode),
        'le son passe par un AudioWorklet');
  await wait_for(page, () => Module.audioFrames > Module.audioContext.sampleRate / 2,
                 'une demi-seconde de son jouée');
  const clock = () => page.evaluate(() => [Module.audioFrames, Module.audioUnderruns,
                                           Module.audioContext.currentTime,
                                           Module.audioContext.sampleRate]);
  const [played_before, underruns_before, time_before] = await clock();
  for (let stall = 0; stall < 5; ++stall) {
    await page.evaluate(() => {
      const end = performance.now() + 120;
      while (performance.now() < end) { /* the page's thread held */ }
    });
    await pause(300);
  }
  await pause(500);
  const [played_after, underruns_after, time_after, rate] = await clock();
  const heard = (played_after - played_before) / ((time_after - time_before) * rate);
  check(underruns_before === 0 && underruns_after === 0,
        `5 arrêts de 120 ms du fil de la page : aucun manque de son (${underruns_after})`);
  check(heard > 0.9, `le son joué suit l'horloge audio (${(100 * heard).toFixed(0)} %)`);

  // 4. Held keys move the picture (the camera follows the firefly); idle, it barely changes.
  // Each against as long a time without a key, once the picture has settled.
  const moved = async (name, press, release) => {
    const idle = await settled_change(page);
    const held = await change_during(page, () => hold(page, press, release, 600));
    check(held > 0.2 && held > 3 * idle,
          `${name} tenue : ${(100 * held).toFixed(0)} % de l'image change (immobile : ` +
          `${(100 * idle).toFixed(0)} %)`);
  };
  await moved('flèche droite', () => page.keyboard.down('ArrowRight'),
              () => page.keyboard.up('ArrowRight'));
  await moved('Q d\'un clavier AZERTY (touche A en QWERTY)', () => key(page, 'down', 'KeyA', 'q'),
              () => key(page, 'up', 'KeyA', 'q'));

  // 5. "m" typed where AZERTY has it (QWERTY's ";" key) shows "Son coupé".
  check(!(await page.evaluate(notice_shown, NOTICE)), 'pas d\'avis de son avant M');
  await key(page, 'down', 'Semicolon', 'm');
  await key(page, 'up', 'Semicolon', 'm');
  await wait_for(page, notice_shown, 'l\'avis « Son coupé » après M', NOTICE);

  // 6. Losing the focus during a run pauses it.
  await page.evaluate(() => window.dispatchEvent(new Event('blur')));
  await wait_for(page, pause_shown, 'l\'écran de pause quand la page perd le focus', PAUSE);

  // 7. Records survive a reload, and the game reads them: with a day record in the storage the
  //    title is the desktop's with the same records file.
  const records = readFileSync(join(references, 'records.sav'), 'utf8');
  await page.evaluate((text) => localStorage.setItem('pyrelle.sav', text), records);
  await page.reload({waitUntil: 'load'});
  if (await wait_for(page, () => window.Module && Module.firstFrame, 'une image après rechargement')) {
    const read = await page.evaluate(() => {
      try {
        return Module.FS.readFile('/pyrelle/pyrelle.sav', {encoding: 'utf8'});
      } catch (e) {
        return `illisible (${e.errno})`;
      }
    });
    check(read === records, 'les records sont relus après rechargement');
    const differences = await differences_from(page, join(references, 'title-records.png'));
    check(differences.length === 0, 'le titre montre les records comme le jeu de bureau' +
          (differences.length ? ` : ${differences.length} pixels diffèrent, ${differences.slice(0, 3)}` : ''));
  }
  // Escape on the title ends the game; the page says so, and Enter starts it again.
  await page.keyboard.press('Escape', {delay: 80});
  await wait_for(page, () => !document.getElementById('avis').hidden &&
                             document.getElementById('avis').textContent.startsWith('Partie quittée'),
                 'Échap sur le titre quitte, et la page le dit');
  await Promise.all([page.waitForNavigation({waitUntil: 'load', timeout: 30000}),
                     page.keyboard.press('Enter', {delay: 80})]);
  await wait_for(page, () => window.Module && Module.firstFrame, 'Entrée relance le jeu');
  check(problems.length === 0, `aucune erreur dans la page${problems.length ? ' : ' + problems.join(' ; ') : ''}`);
  await page.close();

  // Mute and the volume act in the synthesizer, upstream of the worklet's queue: the samples
  // sent to it are silent once M is pressed, and once "-" has turned the volume down to
  // nothing, while flashes (Space) that are heard otherwise go on. Each chunk's loudest
  // sample is noted as the page sends it.
  const sound_problems = [];
  const sound = await open_page(sound_problems, () => {
    window.chunkPeaks = [];
    const post = MessagePort.prototype.postMessage;
    MessagePort.prototype.postMessage = function (data, ...rest) {
      if (data instanceof Float32Array) {
        window.chunkPeaks.push(data.reduce((peak, v) => Math.max(peak, Math.abs(v)), 0));
      }
      return post.call(this, data, ...rest);
    };
  });
  await sound.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(sound, () => window.Module && Module.firstFrame, 'une image (volume)');
  await sound.keyboard.press('Enter', {delay: 80});
  await wait_for(sound, hud_shown, 'le HUD (volume)');
  // The loudest sample sent while Space flashes for 1.5 s, from 300 ms (more than the
  // queue's lead) after `change`.
  const loudest_after = async (change) => {
    await change();
    await pause(300);
    const from = await sound.evaluate(() => chunkPeaks.length);
    for (let flash = 0; flash < 5; ++flash) {
      await sound.keyboard.press('Space', {delay: 80});
      await pause(220);
    }
    return sound.evaluate((from) => Math.max(0, ...chunkPeaks.slice(from)), from);
  };
  const typed = (code, text, times = 1) => async () => {
    for (let i = 0; i < times; ++i) {
      await key(sound, 'down', code, text);
      await key(sound, 'up', code, text);
      await pause(60);
    }
  };
  const sound_cases = [
    // what, the change, heard after it
    ['au départ', async () => {}, true],
    ['après M', typed('KeyM', 'm'), false],
    ['après M à nouveau', typed('KeyM', 'm'), true],
    ['après « - » douze fois', typed('Minus', '-', 12), false],
    ['après « + » trois fois', typed('Equal', '+', 3), true],
  ];
  for (const [name, change, heard] of sound_cases) {
    const loudest = await loudest_after(change);
    check(heard ? loudest > 0.001 : loudest === 0,
          `son ${name} : ${heard ? 'entendu' : 'muet'} (échantillon le plus fort ${loudest.toFixed(4)})`);
  }
  check(sound_problems.length === 0,
        `volume sans erreur${sound_problems.length ? ' : ' + sound_problems.join(' ; ') : ''}`);
  await sound.close();

  // A gamepad of the standard layout, as the browser's Gamepad API shows it: A starts a run,
  // the d-pad flies, Back asks for mute and Start pauses.
  const pad_problems = [];
  const pad_page = await open_page(pad_problems, () => {
    const buttons = Array.from({length: 17}, () => ({pressed: false, touched: false, value: 0}));
    window.testPad = {connected: true, index: 0, id: 'manette de test', mapping: 'standard',
                      timestamp: 0, axes: [0, 0, 0, 0], buttons};
    window.pressPad = (button, down) => {
      buttons[button] = {pressed: down, touched: down, value: down ? 1 : 0};
      window.testPad.timestamp += 1;
    };
    navigator.getGamepads = () => [window.testPad];
  });
  await pad_page.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(pad_page, () => window.Module && Module.firstFrame, 'une image (manette)');
  const tap = async (button) => {
    await pad_page.evaluate((b) => pressPad(b, true), button);
    await pause(150);
    await pad_page.evaluate((b) => pressPad(b, false), button);
  };
  await tap(0);
  await wait_for(pad_page, hud_shown, 'le bouton A de la manette commence une partie');
  const pad_idle = await settled_change(pad_page);
  const pad_right = await change_during(pad_page, () => hold(
      pad_page, () => pad_page.evaluate(() => pressPad(15, true)),
      () => pad_page.evaluate(() => pressPad(15, false)), 600));
  check(pad_right > 0.2 && pad_right > 3 * pad_idle,
        `croix droite tenue : ${(100 * pad_right).toFixed(0)} % de l'image change (immobile : ` +
        `${(100 * pad_idle).toFixed(0)} %)`);
  await tap(8);
  await wait_for(pad_page, notice_shown, 'Back de la manette : « Son coupé »', NOTICE);
  await tap(9);
  await wait_for(pad_page, pause_shown, 'Start de la manette : pause', PAUSE);
  check(pad_problems.length === 0, `manette sans erreur${pad_problems.length ? ' : ' + pad_problems.join(' ; ') : ''}`);
  await pad_page.close();

  // A phone held upright (390 × 844 CSS pixels, 3 screen pixels to one): touch controls and
  // no key help; a tap on the picture starts a run, the pad's right arrow held steers, and a
  // key hides the controls.
  const phone_problems = [];
  const phone = await open_page(phone_problems);
  await phone.setViewport({width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true});
  await phone.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(phone, () => window.Module && Module.firstFrame, 'une image (téléphone)');
  check(await phone.evaluate(() => document.getElementById('touches').offsetHeight === 0),
        'téléphone : pas d\'aide des touches');
  console.log(`# pointeur grossier : ${await phone.evaluate(() => matchMedia('(pointer: coarse)').matches)}, ` +
              `commandes avant le premier toucher : ${await phone.evaluate(() => !document.getElementById('tactile').hidden)}`);
  const middle = await phone.$eval('#ecran', (c) => {
    const r = c.getBoundingClientRect();
    return [r.left + r.width / 2, r.top + r.height / 2];
  });
  await phone.touchscreen.tap(middle[0], middle[1]);
  await wait_for(phone, hud_shown, 'téléphone : toucher l\'image commence une partie');
  await wait_for(phone, () => Module.audioContext && Module.audioContext.state === 'running' &&
                              Module.audioFrames > 0, 'téléphone : le son qui joue après le premier toucher');
  const controls = await phone.evaluate(() => Array.from(
      document.querySelectorAll('#tactile button'), (b) => {
        const r = b.getBoundingClientRect();
        const on_screen = r.width >= 40 && r.height >= 40 && r.left >= 0 && r.top >= 0 &&
                          r.right <= innerWidth && r.bottom <= innerHeight;
        return [b.textContent.trim() || b.getAttribute('aria-label'), on_screen];
      }));
  check(controls.length === 7 && controls.every(([, shown]) => shown),
        `téléphone : les commandes tactiles à l'écran (${controls.map(([n, v]) => n + (v ? '' : ' (cachée)')).join(', ')})`);
  const right = await phone.$eval('#tactile [data-code="ArrowRight"]', (b) => {
    const r = b.getBoundingClientRect();
    return [r.left + r.width / 2, r.top + r.height / 2];
  });
  const phone_idle = await settled_change(phone);
  const phone_right = await change_during(phone, () => hold(
      phone, () => phone.touchscreen.touchStart(right[0], right[1]),
      () => phone.touchscreen.touchEnd(), 600));
  check(phone_right > 0.2 && phone_right > 3 * phone_idle,
        `téléphone : la flèche droite tenue : ${(100 * phone_right).toFixed(0)} % de l'image change ` +
        `(immobile : ${(100 * phone_idle).toFixed(0)} %)`);
  await phone.keyboard.press('ArrowUp', {delay: 50});
  await wait_for(phone, () => document.getElementById('tactile').hidden,
                 'téléphone : une touche du clavier cache les commandes tactiles');
  check(phone_problems.length === 0,
        `téléphone sans erreur${phone_problems.length ? ' : ' + phone_problems.join(' ; ') : ''}`);
  await phone.close();

  // 8. Storage refused (a private window), or full: the game plays, records in memory only,
  //    and the page says so once, at the first save that cannot be kept, not before.
  const refusals = [
    ['stockage refusé', () => {
      Object.defineProperty(window, 'localStorage', {
        get() { throw new DOMException('refusé', 'SecurityError'); },
      });
    }],
    ['stockage plein', () => {
      Storage.prototype.setItem = () => { throw new DOMException('plein', 'QuotaExceededError'); };
    }],
    ['records refusés seuls', () => {
      localStorage.removeItem('pyrelle.sav');  // earlier pages' records would spare this one a save
      const set = Storage.prototype.setItem;
      Storage.prototype.setItem = function (key, value) {
        if (key === 'pyrelle.sav') throw new DOMException('plein', 'QuotaExceededError');
        return set.call(this, key, value);
      };
    }],
  ];
  for (const [name, refuse] of refusals) {
    const refused_problems = [];
    const refused = await open_page(refused_problems, refuse);
    // Every text the notice is given, from the start.
    await refused.evaluateOnNewDocument(() => {
      window.notices = [];
      document.addEventListener('DOMContentLoaded', () => {
        const avis = document.getElementById('avis');
        new MutationObserver((changes) => {
          for (const c of changes) if (c.addedNodes.length) notices.push(avis.textContent);
        }).observe(avis, {childList: true});
      });
    });
    await refused.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
    await wait_for(refused, () => window.Module && Module.firstFrame, `une image (${name})`);
    check(await refused.$eval('#avis', (p) => p.hidden), `${name} : pas d'avis avant la première sauvegarde`);
    await refused.keyboard.press('Enter', {delay: 80});
    await wait_for(refused, hud_shown, `le HUD (${name})`);
    await wait_for(refused, () => {
      try {
        return Module.FS.readFile('/pyrelle/pyrelle.sav', {encoding: 'utf8'}) === 'best_depth=1\n';
      } catch (e) {
        return false;
      }
    }, `les records en mémoire (${name})`);
    await wait_for(refused, () => notices.some((n) => n.startsWith('Records non sauvegardés')),
                   `${name} : la page dit que les records ne sont pas gardés`);
    // A second save, as the game makes it (a finished file renamed over the records): said
    // once is enough.
    await refused.evaluate(() => {
      Module.FS.writeFile('/pyrelle/records.tmp', 'best_depth=2\n');
      Module.FS.rename('/pyrelle/records.tmp', '/pyrelle/pyrelle.sav');
    });
    await pause(300);
    const said = await refused.evaluate(() => notices);
    const text = await refused.$eval('#avis', (p) => p.textContent);
    check(said.length === 1 && text.split('Records non sauvegardés').length === 2,
          `${name} : dit une fois (${JSON.stringify(said)})`);
    check(refused_problems.length === 0,
          `${name} : la partie se joue sans erreur${refused_problems.length ? ' : ' + refused_problems.join(' ; ') : ''}`);
    await refused.close();
  }

  // 9. The game cannot start: the page says why in French, in one notice, with nothing of
  //    the loader's own English; the WebAssembly is asked for once at most (counted by the
  //    server) and the game never starts.
  const requests = () => readFileSync(join(references, 'requests.log'), 'utf8').split('\n').filter(Boolean);
  const cannot_start = [
    // name, address, init script, notice, folder whose .wasm the server may see asked for
    ['sans WebAssembly', url, () => { delete window.WebAssembly; },
     /^Ce navigateur ne sait pas exécuter WebAssembly : /, null],
    ['page ouverte depuis le disque', `file://${references}/site/index.html?seed=${SEED}`, null,
     /^Pyrelle ne peut pas démarrer depuis un fichier ouvert sur le disque : /, null],
    ['pyrelle.wasm absent', `${url}sans-wasm/?seed=${SEED}`, null,
     /^Le programme du jeu \(pyrelle\.wasm\) n'a pas pu être chargé \(erreur HTTP 404\)\. /,
     '/sans-wasm/'],
    ['pyrelle.wasm abîmé', `${url}abime/?seed=${SEED}`, null,
     /^Le programme du jeu \(pyrelle\.wasm\) est abîmé : /, '/abime/'],
  ];
  for (const [name, address, before, wanted, folder] of cannot_start) {
    const tab = await open_page([], before);
    const scripts = [];
    tab.on('request', (r) => scripts.push(r.url()));
    const asked_before = requests().length;
    await tab.goto(address, {waitUntil: 'load'});
    await tab.waitForFunction(() => !document.getElementById('avis').hidden,
                              {timeout: 30000, polling: 50}).catch(() => {});
    await pause(1000);  // time for a second fetch or a later notice, were there one
    const text = await tab.$eval('#avis', (p) => (p.hidden ? '' : p.textContent));
    const started = await tab.evaluate(() => !!(window.Module && Module.firstFrame));
    check(wanted.test(text) && !text.includes('\n') && !started,
          `${name} : l'avis « ${text} »`);
    check(!/abort|fail|error|wasm streaming|fetch/i.test(text),
          `${name} : rien de l'anglais du chargeur dans la page`);
    if (folder) {
      const wasm = requests().slice(asked_before).filter((p) => p.startsWith(folder) && p.endsWith('.wasm'));
      check(wasm.length === 1 && wasm[0] === folder + 'pyrelle.wasm',
            `${name} : le WebAssembly est demandé une fois (${JSON.stringify(wasm)})`);
    }
    if (name === 'sans WebAssembly') {
      // index.html preloads the game's script: fetched, but never run.
      const run = await tab.evaluate(() => [!!window.Module,
                                            !!document.querySelector('script[src^="pyrelle"]')]);
      const fetched = scripts.filter((u) => /pyrelle(-scalar)?\.js$/.test(u)).map((u) => u.slice(url.length));
      check(!run[0] && !run[1] && fetched.join(' ') === 'pyrelle.js',
            `${name} : le jeu n'est pas lancé (Module ${run[0]}, script ${run[1]}, préchargé : ${fetched})`);
    }
    await tab.close();
  }

  // 10. No Web Audio: one console line, and the game plays on.
  const lines = [];
  const mute_problems = [];
  const mute = await open_page(mute_problems, () => {
    delete window.AudioContext;
    delete window.webkitAudioContext;
  });
  mute.on('console', (m) => lines.push(m.text()));
  await mute.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(mute, () => window.Module && Module.firstFrame, 'une image sans Web Audio');
  await mute.keyboard.press('Enter', {delay: 80});
  await wait_for(mute, hud_shown, 'le HUD sans Web Audio');
  const said = lines.filter((l) => l.startsWith('son désactivé : '));
  check(said.length === 1 && mute_problems.length === 0,
        `sans Web Audio : ${JSON.stringify(said)} ${mute_problems.join(' ; ')}`);
  await mute.close();

  // No AudioWorklet (older browsers): the sound plays from a ScriptProcessorNode instead.
  const old_problems = [];
  const old = await open_page(old_problems, () => {
    delete window.AudioWorkletNode;
  });
  await old.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(old, () => window.Module && Module.firstFrame, 'une image sans AudioWorklet');
  await old.keyboard.press('Enter', {delay: 80});
  await wait_for(old, () => Module.audioNode instanceof ScriptProcessorNode &&
                            Module.audioContext.state === 'running' && Module.audioFrames > 0,
                 'sans AudioWorklet : le son joue par un ScriptProcessorNode');
  check(old_problems.length === 0,
        `sans AudioWorklet sans erreur${old_problems.length ? ' : ' + old_problems.join(' ; ') : ''}`);
  await old.close();

  // 11. A replay named in the address plays in the page, from the desktop's first picture; a
  //     replay file dropped on the page does the same; one that cannot be fetched leaves a
  //     notice and a game to play.
  const replay_problems = [];
  const watch = await open_page(replay_problems);
  await watch.goto(`${url}?replay=relectures/descent.rpl`, {waitUntil: 'load'});
  if (await wait_for(watch, () => window.Module && Module.firstFrame, 'une image de la relecture')) {
    const differences = await differences_from(watch, join(references, 'replay-descent.png'));
    check(differences.length === 0, 'la relecture ?replay= commence comme sur le bureau' +
          (differences.length ? ` : ${differences.length} pixels diffèrent` : ''));
  }
  await watch.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(watch, () => window.Module && Module.firstFrame, 'une image avant le dépôt');
  const dropped = readFileSync(join(references, 'site', 'relectures', 'descent.rpl'));
  await Promise.all([
    watch.waitForNavigation({waitUntil: 'load', timeout: 30000}),
    watch.evaluate((data) => {
      const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
      const transfer = new DataTransfer();
      transfer.items.add(new File([bytes], 'descent.rpl'));
      window.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, cancelable: true}));
    }, dropped.toString('base64')),
  ]);
  if (await wait_for(watch, () => window.Module && Module.firstFrame, 'une image après le dépôt')) {
    const differences = await differences_from(watch, join(references, 'replay-descent.png'));
    check(differences.length === 0, 'une relecture déposée sur la page s\'y joue' +
          (differences.length ? ` : ${differences.length} pixels diffèrent` : ''));
  }
  check(replay_problems.length === 0,
        `relectures sans erreur${replay_problems.length ? ' : ' + replay_problems.join(' ; ') : ''}`);
  await watch.close();
  const lost = await open_page([]);
  await lost.goto(`${url}?replay=relectures/absente.rpl&seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(lost, () => window.Module && Module.firstFrame, 'une partie sans la relecture');
  const lost_text = await lost.$eval('#avis', (p) => (p.hidden ? '' : p.textContent));
  check(lost_text.startsWith('Relecture introuvable (relectures/absente.rpl) : 404'),
        `relecture absente : « ${lost_text} »`);
  await lost.close();

  // 12. The build the page loads: the one with SIMD where the browser validates the page's
  //     SIMD probe (Chromium does), the one without where it does not; both draw the desktop's
  //     first picture. The probe itself must hold a SIMD instruction, or every browser would
  //     pass it. No records stored, for the desktop's picture without them.
  const builds = [
    ['avec SIMD', 'pyrelle', () => {
      localStorage.removeItem('pyrelle.sav');
      const validate = WebAssembly.validate;
      window.probes = [];
      WebAssembly.validate = (bytes) => {
        window.probes.push(Array.from(new Uint8Array(bytes.buffer || bytes)));
        return validate(bytes);
      };
    }],
    ['sans SIMD', 'pyrelle-scalar', () => {
      localStorage.removeItem('pyrelle.sav');
      WebAssembly.validate = () => false;
    }],
  ];
  for (const [name, build, before] of builds) {
    const build_problems = [];
    const tab = await open_page(build_problems, before);
    const loaded = [];
    tab.on('request', (r) => {
      const file = new URL(r.url()).pathname.slice(1);
      if (/\.(js|wasm)$/.test(file) && file !== 'page.js') loaded.push(file);
    });
    await tab.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
    if (await wait_for(tab, () => window.Module && Module.firstFrame, `une image (${name})`)) {
      const differences = await differences_from(tab, join(references, 'title.png'));
      check(differences.length === 0, `${name} : la première image est celle du jeu de bureau` +
            (differences.length ? ` : ${differences.length} pixels diffèrent` : ''));
    }
    // index.html preloads the build with SIMD: the page's own requests for it must be the
    // preloads' (the same mode and credentials), and the other build is asked for once more.
    const wanted = [...new Set(['pyrelle.js', 'pyrelle.wasm', `${build}.js`, `${build}.wasm`])];
    check(loaded.sort().join(' ') === wanted.sort().join(' '),
          `${name} : la page charge ${build}.js et ${build}.wasm, chaque fichier une fois ` +
          `(chargés : ${loaded.join(' ')})`);
    if (build === 'pyrelle') {
      const probes = await tab.evaluate(() => window.probes);
      let simd = 0;
      let bulk = 0;
      if (probes.length === 1) {
        const file = join(references, 'sonde.wasm');
        writeFileSync(file, Uint8Array.from(probes[0]));
        const code = execFileSync('wasm-objdump', ['-d', file], {encoding: 'utf8'}).split('\n');
        simd = code.filter((l) => /\| +(v128|[if](8x16|16x8|32x4|64x2))\./.test(l)).length;
        bulk = code.filter((l) => /\| +memory\.(fill|copy)/.test(l)).length;
      }
      check(probes.length === 1 && simd > 0 && bulk > 0,
            `la sonde de la page est validée une fois et tient ${simd} instruction(s) SIMD ` +
            `et ${bulk} de mémoire en bloc`);
    }
    check(build_problems.length === 0,
          `${name} sans erreur${build_problems.length ? ' : ' + build_problems.join(' ; ') : ''}`);
    await tab.close();
  }

  // 13. The best runs' replays, and the other files the game writes beside its records, are
  //     kept in the storage (as base64) and put back beside the program at start. A button
  //     shows for each best run kept, and only then; it downloads the same bytes. A best run
  //     the game saves (a finished file renamed over it, as the game does) is stored at once,
  //     its button shown, and both are there again after a reload.
  const kept_problems = [];
  const kept = await open_page(kept_problems);
  const downloads = mkdtempSync(join(tmpdir(), 'pyrelle-telechargements-'));
  const cdp = await browser.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  const replays = join(dirname(fileURLToPath(import.meta.url)), '../data/replays');
  const day = readFileSync(join(replays, 'descent.rpl'));
  const night = readFileSync(join(replays, 'night-run.rpl'));
  const daily = Buffer.from('jour=2026-12-10\nbest_time=61.25\n');
  const KEPT = ['pyrelle.sav', 'pyrelle-meilleur.rpl', 'pyrelle-meilleur-nuit.rpl',
                'pyrelle-jour.sav', 'pyrelle-jour.rpl', 'pyrelle-jour-nuit.rpl'];
  // The storage holding exactly `stored` (name -> bytes) of the kept files, then a reload.
  const start_with = async (stored) => {
    await kept.evaluate((names, stored) => {
      for (const name of names) localStorage.removeItem(name);
      for (const [name, base64] of Object.entries(stored)) localStorage.setItem(name, base64);
    }, KEPT, Object.fromEntries(Object.entries(stored).map(([n, b]) => [n, b.toString('base64')])));
    await kept.reload({waitUntil: 'load'});
    await kept.waitForFunction(() => window.Module && Module.firstFrame, {timeout: 30000})
        .catch(() => {});
  };
  // The buttons shown, and each kept file's bytes beside the program (base64), or null.
  const shown = () => kept.evaluate((names) => {
    const buttons = Array.from(document.querySelectorAll('button[data-replay]'))
                         .filter((b) => !b.hidden && b.offsetWidth > 0).map((b) => b.dataset.replay);
    const files = {};
    for (const name of names) {
      const path = '/pyrelle/' + name;
      files[name] = Module.FS.analyzePath(path).exists
          ? btoa(String.fromCharCode(...Module.FS.readFile(path))) : null;
    }
    return {buttons, files};
  }, KEPT);
  await kept.goto(`${url}?seed=${SEED}`, {waitUntil: 'load'});
  const kept_cases = [
    // files stored, buttons shown
    [{}, []],
    [{'pyrelle-meilleur.rpl': day}, ['pyrelle-meilleur.rpl']],
    [{'pyrelle-meilleur-nuit.rpl': night, 'pyrelle-jour.rpl': day, 'pyrelle-jour.sav': daily},
     ['pyrelle-meilleur-nuit.rpl', 'pyrelle-jour.rpl']],
    [{'pyrelle-jour-nuit.rpl': night}, ['pyrelle-jour-nuit.rpl']],
  ];
  for (const [stored, buttons] of kept_cases) {
    await start_with(stored);
    const found = await shown();
    const names = Object.keys(stored).join(', ') || 'rien';
    check(found.buttons.join(' ') === buttons.join(' '),
          `stockage : ${names} : boutons ${JSON.stringify(found.buttons)}`);
    const wrong = KEPT.filter((n) => found.files[n] !== (stored[n] ? stored[n].toString('base64') : null));
    check(wrong.length === 0, `stockage : ${names} : les fichiers à côté du programme` +
          (wrong.length ? ` (faux : ${wrong.join(', ')})` : ''));
  }
  // The last case's button downloads the stored replay.
  await kept.click('button[data-replay="pyrelle-jour-nuit.rpl"]');
  const downloaded = join(downloads, 'pyrelle-jour-nuit.rpl');
  const deadline = Date.now() + 10000;
  while (!(existsSync(downloaded) && readFileSync(downloaded).length >= night.length) &&
         Date.now() < deadline) {
    await pause(100);
  }
  check(existsSync(downloaded) && readFileSync(downloaded).equals(night),
        `« Télécharger la meilleure partie du jour, de nuit » donne ${existsSync(downloaded) ?
          readFileSync(downloaded).length : 0} octets, ceux du stockage (${night.length})`);
  // A best run saved by the game.
  await start_with({});
  await kept.evaluate((base64) => {
    Module.FS.writeFile('/pyrelle/meilleure.tmp', Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)));
    Module.FS.rename('/pyrelle/meilleure.tmp', '/pyrelle/pyrelle-meilleur.rpl');
  }, day.toString('base64'));
  const saved = await kept.evaluate(() => localStorage.getItem('pyrelle-meilleur.rpl'));
  let now = await shown();
  check(saved === day.toString('base64') && now.buttons.join(' ') === 'pyrelle-meilleur.rpl',
        `une meilleure partie enregistrée par le jeu est gardée et son bouton montré (${now.buttons})`);
  await kept.reload({waitUntil: 'load'});
  await wait_for(kept, () => window.Module && Module.firstFrame, 'une image après la meilleure partie');
  now = await shown();
  check(now.files['pyrelle-meilleur.rpl'] === day.toString('base64') &&
        now.buttons.join(' ') === 'pyrelle-meilleur.rpl',
        'la meilleure partie est encore là après rechargement');
  check(kept_problems.length === 0,
        `meilleures parties sans erreur${kept_problems.length ? ' : ' + kept_problems.join(' ; ') : ''}`);
  await cdp.detach();
  await kept.close();
  rmSync(downloads, {recursive: true, force: true});

  // 14. The address's options and the browser's motion setting, as the game's arguments
  //     (what the game does with them is its own tests' business): a replay takes none.
  const option_cases = [
    // address, reduce motion, arguments, notice
    [`?seed=${SEED}`, false, ['--seed', `${SEED}`], ''],
    ['?daily', false, ['--daily'], ''],
    ['?ghost', false, ['--ghost'], ''],
    ['?seed=7&ghost', false, ['--seed', '7', '--ghost'], ''],
    [`?daily&seed=${SEED}&ghost`, false, ['--daily', '--ghost'],
     'Graine ignorée : la grotte du jour a la sienne.'],
    ['?seed=-1&ghost', false, ['--ghost'], 'Graine ignorée (un nombre entier'],
    [`?seed=${SEED}`, true, ['--seed', `${SEED}`, '--reduced-motion'], ''],
    ['?replay=relectures/descent.rpl&daily&ghost', true, ['--replay', '/pyrelle/relecture.rpl'], ''],
  ];
  for (const [query, reduce, wanted, notice] of option_cases) {
    const tab = await open_page([]);
    await tab.emulateMediaFeatures([{name: 'prefers-reduced-motion',
                                     value: reduce ? 'reduce' : 'no-preference'}]);
    await tab.goto(`${url}${query}`, {waitUntil: 'load'});
    await tab.waitForFunction(() => window.Module && Module.arguments, {timeout: 30000})
        .catch(() => {});
    const [given, said] = await tab.evaluate(() => [
      window.Module ? Module.arguments : null,
      document.getElementById('avis').hidden ? '' : document.getElementById('avis').textContent]);
    const name = `${query}${reduce ? ', mouvements réduits' : ''}`;
    check(JSON.stringify(given) === JSON.stringify(wanted),
          `${name} : arguments du jeu ${JSON.stringify(given)}`);
    check(notice ? said.startsWith(notice) : !said.startsWith('Graine'), `${name} : avis « ${said} »`);
    await tab.close();
  }
} finally {
  await close();
}
console.log(failures === 0 ? 'web: ok' : `web: ${failures} échec(s)`);
process.exit(failures === 0 ? 0 : 1);
