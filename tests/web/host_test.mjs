// The zip for game hosts, as a host serves it: unpacked in a folder of a site
// (/jeux/pyrelle/), served by scripts/serve.mjs, and embedded in a frame of a host page taller
// than the window. Run by tests/app/host_test.sh, which makes the desktop's reference picture.
// Usage: node host_test.mjs ZIP REFERENCE_DIR
//   REFERENCE_DIR holds title.png (pyrelle --seed 42 --headless 0 --idle without records) and,
//   when the desktop's icon maker was at hand, icons/ as it draws them (NAME pyrelle).
import {execFileSync, spawn} from 'node:child_process';
import {createHash} from 'node:crypto';
import {existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync,
        writeFileSync} from 'node:fs';
import {get} from 'node:http';
import {tmpdir} from 'node:os';
import {dirname, join, relative} from 'node:path';
import {fileURLToPath} from 'node:url';
import zlib from 'node:zlib';

import {check, differences_from, failures, hud_shown, launch, open_page, pause,
        wait_for} from './browser.mjs';

const [zip, references] = process.argv.slice(2);
const FOLDER = 'jeux/pyrelle';
const SEED = 42;
const HASHED = /^(.*)\.([0-9a-f]{8})(\.[a-z]+)$/;

const work = mkdtempSync(join(tmpdir(), 'pyrelle-hote-'));
const site = join(work, 'site');
const game = join(site, FOLDER);
mkdirSync(game, {recursive: true});
execFileSync('unzip', ['-q', zip, '-d', game]);
// Every file of the game, by its path in the folder.
const files = (function walk(dir) {
  return readdirSync(dir, {withFileTypes: true}).flatMap((entry) => entry.isDirectory()
      ? walk(join(dir, entry.name)) : [relative(game, join(dir, entry.name))]);
})(game);
// The file of the zip whose plain name is `plain` (pyrelle.wasm for pyrelle.8b989b03.wasm).
const named = (plain) => files.find((f) => f.replace(HASHED, '$1$3') === plain);

// The host: a page of the same site, the game's frame at its top and a long text below.
writeFileSync(join(site, 'hote.html'), `<!doctype html>
<html lang="fr"><head><meta charset="utf-8"><title>Jeux</title><link rel="icon" href="data:,">
</head>
<body style="margin: 0"><h1>Des jeux</h1>
<iframe id="jeu" src="/${FOLDER}/?seed=${SEED}" width="960" height="600"
  allow="autoplay; fullscreen; gamepad"></iframe>
<div style="height: 3000px">Beaucoup d'autres jeux plus bas.</div></body></html>
`);

const log = join(work, 'requests.log');
const server_script = join(dirname(fileURLToPath(import.meta.url)), '../../scripts/serve.mjs');
let server = spawn(process.execPath, [server_script, site, '0', log]);
const url = await new Promise((found, failed) => {
  server.stdout.once('data', (line) => found(line.toString().trim()));
  server.once('exit', () => failed(new Error('le serveur ne démarre pas')));
});
const stop_server = () => {
  if (server) server.kill();
  server = null;
};
const requested = () => readFileSync(log, 'utf8').split('\n').filter(Boolean);

// A request to the server with these headers: its status, headers and body as sent.
function ask(path, headers = {}) {
  return new Promise((done, failed) => {
    get(new URL(path, url), {headers}, (response) => {
      const chunks = [];
      response.on('data', (c) => chunks.push(c));
      response.on('end', () => done({status: response.statusCode, headers: response.headers,
                                     body: Buffer.concat(chunks)}));
    }).on('error', failed);
  });
}

const {browser, close} = await launch();
try {
  // 1. The zip: index.html at its root and the service worker under their own names (their
  //    addresses stay from one version to the next), every other file named after the first
  //    8 hexadecimal digits of its content's SHA-256; index.html names the hashed files.
  const plain = files.filter((f) => !HASHED.test(f)).sort();
  check(plain.join(' ') === 'index.html service-worker.js',
        `le zip : index.html et service-worker.js sans empreinte (${plain.join(' ')})`);
  const wrong = files.filter((f) => HASHED.test(f)).filter((f) =>
      createHash('sha256').update(readFileSync(join(game, f))).digest('hex').slice(0, 8) !==
          HASHED.exec(f)[2]);
  check(files.length >= 15 && wrong.length === 0,
        `${files.length - plain.length} fichiers nommés d'après leur contenu` +
        (wrong.length ? ` ; empreintes fausses : ${wrong.join(' ')}` : ''));
  const page = readFileSync(join(game, 'index.html'), 'utf8');
  const wanted = ['pyrelle.css', 'page.js', 'pyrelle.js', 'pyrelle.wasm', 'pyrelle.webmanifest',
                  'icons/32x32/apps/pyrelle.png'];
  const missing = wanted.filter((f) => !named(f) || !page.includes(`"${named(f)}"`));
  const stale = wanted.filter((f) => page.includes(`"${f}"`));
  check(missing.length === 0 && stale.length === 0,
        `index.html nomme ${wanted.map(named).join(', ')}` +
        (missing.length + stale.length ? ` ; manquent ${missing} ; anciens noms ${stale}` : ''));
  const icons = join(references, 'icons');
  if (existsSync(icons)) {
    const differ = [16, 32, 48, 64, 128, 192, 256, 512].filter((n) => {
      const icon = `icons/${n}x${n}/apps/pyrelle.png`;
      return !readFileSync(join(icons, `${n}x${n}/apps/pyrelle.png`))
                  .equals(readFileSync(join(game, named(icon))));
    });
    check(differ.length === 0, `les icônes sont celles du bureau, octet pour octet` +
          (differ.length ? ` (sauf ${differ.join(', ')})` : ''));
  } else {
    console.log('# pas d\'icônes du bureau pour comparer (make_icons absent)');
  }

  // 2. The server: each type, compressed as the request asks (the body is the file once
  //    decompressed), kept for good when named after its content, and a bodiless 304 for a
  //    copy that is still the one served, by its ETag or by its date.
  const types = [
    // file, Accept-Encoding, encoding sent, Content-Type
    ['index.html', 'gzip, deflate', 'gzip', 'text/html; charset=utf-8'],
    ['pyrelle.wasm', 'gzip, deflate, br', 'br', 'application/wasm'],
    ['page.js', 'br;q=0, gzip', 'gzip', 'text/javascript; charset=utf-8'],
    ['pyrelle.webmanifest', '', undefined, 'application/manifest+json; charset=utf-8'],
    ['icons/32x32/apps/pyrelle.png', 'gzip', undefined, 'image/png'],
  ];
  const decode = {gzip: zlib.gunzipSync, br: zlib.brotliDecompressSync};
  for (const [file, accepted, encoding, type] of types) {
    const path = `/${FOLDER}/${named(file) || file}`;
    const {status, headers, body} = await ask(path, {'Accept-Encoding': accepted});
    const bytes = encoding ? decode[encoding](body) : body;
    check(status === 200 && headers['content-encoding'] === encoding &&
          headers['content-type'] === type && bytes.equals(readFileSync(join(game, named(file) || file))),
          `serveur : ${path} pour « ${accepted} » : ${status}, ${headers['content-encoding'] || 'tel quel'}, ` +
          `${headers['content-type']}, ${bytes.length} octets`);
    const kept = file === 'index.html' ? 'no-cache' : 'public, max-age=31536000, immutable';
    check(headers['cache-control'] === kept, `serveur : ${file} gardé « ${headers['cache-control']} »`);
  }
  const first = await ask(`/${FOLDER}/${named('pyrelle.wasm')}`, {'Accept-Encoding': 'gzip'});
  const validators = [
    // name, headers, status
    ['même ETag', {'If-None-Match': first.headers.etag}, 304],
    ['ETag parmi d\'autres', {'If-None-Match': `"autre", ${first.headers.etag}`}, 304],
    ['autre ETag', {'If-None-Match': '"autre"'}, 200],
    ['même date', {'If-Modified-Since': first.headers['last-modified']}, 304],
    ['date plus ancienne', {'If-Modified-Since': new Date(0).toUTCString()}, 200],
    ['autre ETag, même date', {'If-None-Match': '"autre"',
                               'If-Modified-Since': first.headers['last-modified']}, 200],
  ];
  for (const [name, headers, status] of validators) {
    const again = await ask(`/${FOLDER}/${named('pyrelle.wasm')}`,
                            {'Accept-Encoding': 'gzip', ...headers});
    check(again.status === status && (status === 200 || again.body.length === 0),
          `serveur : ${name} : ${again.status} (${again.body.length} octets)`);
  }

  // 3. In the host's frame: the game takes no keyboard by itself, so that the host's keys
  //    scroll the host (it can scroll); once the game is clicked, its keys scroll neither the
  //    host nor the game's page, and Space starts a run. Each file of the game is asked for
  //    once by the page (the worklet's, which the page's requests do not show, is counted by
  //    the server at the end).
  const from_browser = requested().length;
  const problems = [];
  const host = await open_page(browser, problems);
  const asked = [];
  host.on('request', (r) => {
    const path = new URL(r.url()).pathname;
    if (path.startsWith(`/${FOLDER}/`)) asked.push(path.slice(FOLDER.length + 2) || 'index.html');
  });
  await host.goto(`${url}hote.html`, {waitUntil: 'load'});
  const frame = await (await host.$('#jeu')).contentFrame();
  await wait_for(frame, () => window.Module && Module.firstFrame, 'le jeu dans le cadre de l\'hôte');
  await host.keyboard.press('PageDown');
  // Scrolled smoothly: once it has come to rest, back to the top (where the frame is clicked).
  const at_rest = async () => {
    let last = -1;
    for (let i = 0; i < 50; ++i) {
      const now = await host.evaluate(() => window.scrollY);
      if (now === last) return now;
      last = now;
      await pause(150);
    }
    return last;
  };
  check(await at_rest() > 0, 'la page de l\'hôte défile (Page suivante)');
  await host.evaluate(() => window.scrollTo({top: 0, behavior: 'instant'}));
  check(await at_rest() === 0, 'et revient en haut');
  const box = await (await host.$('#jeu')).boundingBox();
  await host.mouse.click(box.x + box.width / 2, box.y + box.height / 3);
  for (const key of ['ArrowDown', 'PageDown', 'End', 'ArrowRight', 'Space']) {
    await host.keyboard.press(key, {delay: 80});
    await pause(150);
    const [outside, inside] = [await host.evaluate(() => window.scrollY),
                               await frame.evaluate(() => window.scrollY)];
    check(outside === 0 && inside === 0,
          `${key} dans le jeu : ni l'hôte ni le jeu ne défilent (${outside}, ${inside})`);
  }
  await wait_for(frame, hud_shown, 'Espace dans le cadre commence une partie');
  await wait_for(frame, () => window.Module && Module.audioNode instanceof AudioWorkletNode,
                 'le son joue dans le cadre');
  const counts = {};
  for (const path of asked) counts[path] = (counts[path] || 0) + 1;
  const loaded = ['index.html', 'pyrelle.css', 'page.js', 'pyrelle.js', 'pyrelle.wasm'];
  check(loaded.every((f) => counts[f === 'index.html' ? f : named(f)] === 1) &&
        Object.values(counts).every((n) => n === 1),
        `chaque fichier du jeu est demandé une fois (${JSON.stringify(counts)})`);
  check(problems.length === 0, `l'hôte sans erreur${problems.length ? ' : ' + problems.join(' ; ') : ''}`);
  await host.close();

  // 4. Offline: the service worker kept the game, so that with the network gone (and the
  //    server stopped) a reload draws the desktop's first picture, and the sound still plays.
  const offline_problems = [];
  const alone = await open_page(browser, offline_problems);
  await alone.goto(`${url}${FOLDER}/?seed=${SEED}`, {waitUntil: 'load'});
  await wait_for(alone, () => window.Module && Module.firstFrame, 'le jeu seul dans sa page');
  await wait_for(alone, () => navigator.serviceWorker.controller !== null,
                 'le service worker tient la page');
  stop_server();
  await alone.setOfflineMode(true);
  await alone.reload({waitUntil: 'load'});
  if (await wait_for(alone, () => window.Module && Module.firstFrame, 'une image hors ligne')) {
    const differences = await differences_from(alone, join(references, 'title.png'));
    check(differences.length === 0, 'hors ligne, la première image est celle du jeu de bureau' +
          (differences.length ? ` : ${differences.length} pixels diffèrent` : ''));
  }
  await alone.keyboard.press('Enter', {delay: 80});
  await wait_for(alone, () => Module.audioNode instanceof AudioWorkletNode && Module.audioFrames > 0,
                 'hors ligne, le son joue');
  check(offline_problems.length === 0,
        `hors ligne sans erreur${offline_problems.length ? ' : ' + offline_problems.join(' ; ') : ''}`);
  await alone.close();

  // Over the browser's visits (the service worker's downloads included), each file named after
  // its content came from the server once at most: the browser keeps them.
  const hashed = requested().slice(from_browser).filter((p) => HASHED.test(p));
  const twice = hashed.filter((p, i) => hashed.indexOf(p) !== i);
  check(twice.length === 0 && hashed.includes(`/${FOLDER}/${named('sound-worklet.js')}`),
        `le serveur n'envoie chaque fichier qu'une fois (${hashed.length} envois)` +
        (twice.length ? ` ; deux fois : ${twice.join(' ')}` : ''));
} finally {
  stop_server();
  await close();
  rmSync(work, {recursive: true, force: true});
}
console.log(failures === 0 ? 'hôte : ok' : `hôte : ${failures} échec(s)`);
process.exit(failures === 0 ? 0 : 1);
