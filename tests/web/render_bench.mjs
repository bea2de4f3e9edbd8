// How fast the browser builds draw against the desktop program, measured in the same
// session: headless runs of the desktop binary and of each WebAssembly build of the page in
// headless Chromium (the summary's `rendu : … par image`, and the whole run's time: its steps
// and its 61 pictures), medians over several runs, and their ratio to the desktop's. Then the
// live game of each build, drawn in a canvas at the browser's frame rate while the autopilot
// flies from depth 9 into depth 10: the first frame (where the browser compiles what draws the
// picture), and the longest frames of the page's thread (the game's turn and its picture),
// where the new cave is made.
// Usage: node tests/web/render_bench.mjs SITE_DIR DESKTOP_BINARY [RUNS]
//   SITE_DIR is build/web; DESKTOP_BINARY the Release program (build/release/pyrelle).
//   PYRELLE_BENCH_PICTURES names a folder for the live game's last pictures, to see that the
//   autopilot reached depth 10.
//   PYRELLE_BENCH_FLAGS adds Chromium flags: "--js-flags=--no-liftoff" runs the WebAssembly
//   optimised from the start, as a page runs it after its first seconds, where a fresh page
//   otherwise draws these few pictures partly with Chromium's quick first compilation.
import {spawnSync} from 'node:child_process';
import {existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

import puppeteer from 'puppeteer-core';

const [site, desktop, runs_text = '7'] = process.argv.slice(2);
if (!site || !desktop) {
  console.error('usage : node render_bench.mjs DOSSIER_WEB PYRELLE_DE_BUREAU [ESSAIS]');
  process.exit(2);
}
const RUNS = Number(runs_text);
const CASES = [
  ['titre, graine 42', ['--seed', '42', '--headless', '0', '--idle']],
  ['partie immobile, 600 pas', ['--seed', '42', '--depth', '1', '--headless', '600', '--idle']],
  ['profondeur 7 immobile, 600 pas', ['--seed', '42', '--depth', '7', '--headless', '600', '--idle']],
  ['profondeur 9 → 10, 400 pas', ['--seed', '42', '--depth', '9', '--warp-exit', '--light-all',
                                  '--auto', '--headless', '400']],
];
// The live game: at depth 9 beside the exit, every lantern lit, the autopilot flying; it
// enters depth 10 about 4 s in.
const LIVE = ['--seed', '42', '--depth', '9', '--warp-exit', '--light-all', '--auto'];
const LIVE_MS = 9000;
const BUILDS = ['pyrelle', 'pyrelle-scalar'].filter((b) => existsSync(join(site, b + '.wasm')));

// "1.24ms" and the like, in milliseconds.
function milliseconds(text) {
  const m = /^([0-9]+\.[0-9]+)(s|ms|µs|ns)$/.exec(text);
  if (!m) throw new Error('durée illisible : ' + text);
  return Number(m[1]) * {s: 1000, ms: 1, 'µs': 1e-3, ns: 1e-6}[m[2]];
}
// [render per picture, the whole run] from a summary's lines.
function figures(lines) {
  const render = lines.map((l) => /^rendu : (\S+) par image$/.exec(l)).find(Boolean);
  const total = lines.map((l) => /^[0-9]+ frames en (\S+) \|/.exec(l)).find(Boolean);
  if (!render || !total) throw new Error('résumé incomplet : ' + lines.join(' / '));
  return [milliseconds(render[1]), milliseconds(total[1])];
}
const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
};

const work = mkdtempSync(join(tmpdir(), 'pyrelle-bench-'));
function desktop_summary(args) {
  const run = spawnSync(desktop, [...args, '--shot', join(work, 'shot.png')], {encoding: 'utf8'});
  if (run.status !== 0) throw new Error('le programme de bureau échoue : ' + run.stderr);
  return figures(run.stderr.split('\n'));
}

const profile = mkdtempSync(join(tmpdir(), 'pyrelle-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.PYRELLE_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync',
         ...(process.env.PYRELLE_BENCH_FLAGS ? process.env.PYRELLE_BENCH_FLAGS.split(' ') : [])],
});
// The build's script and wasm served from the folder, under a page that runs it headless.
const ORIGIN = 'http://pyrelle.essai/';
async function serving_page(build, args) {
  const page = await browser.newPage();
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const name = request.url().slice(ORIGIN.length);
    if (name === 'jeu.html') {
      // Each frame callback timed: the game's turn and its picture, on the page's thread.
      request.respond({contentType: 'text/html', body: `<!doctype html>
        <canvas id="ecran" width="320" height="180"></canvas><script>
        window.frames_timed = [];
        const raf = window.requestAnimationFrame.bind(window);
        window.requestAnimationFrame = (callback) => raf((time) => {
          const start = performance.now();
          callback(time);
          frames_timed.push([start, performance.now() - start]);
        });
        window.Module = {arguments: ${JSON.stringify(args)}, printErr: () => {}};
        </script><script src="${build}.js"></script>`});
    } else if (name === 'banc.html') {
      request.respond({contentType: 'text/html', body: `<!doctype html><script>
        window.lines = [];
        window.Module = {arguments: ${JSON.stringify(args)}, printErr: (l) => lines.push(l),
                         onExit: () => { window.done = true; }, postRun: [() => { window.done = true; }]};
        </script><script src="${build}.js"></script>`});
    } else if (/^[a-z-]+\.(js|wasm)$/.test(name) && existsSync(join(site, name))) {
      request.respond({contentType: name.endsWith('.js') ? 'text/javascript' : 'application/wasm',
                       body: readFileSync(join(site, name))});
    } else {
      request.respond({status: 404, body: ''});
    }
  });
  return page;
}
async function browser_summary(build, args) {
  const page = await serving_page(build, args);
  await page.goto(ORIGIN + 'banc.html');
  await page.waitForFunction(() => window.done, {timeout: 120000, polling: 100});
  const lines = await page.evaluate(() => window.lines);
  await page.close();
  return figures(lines);
}
// The live game's frames over LIVE_MS: [time since the first, duration] in milliseconds.
async function live_frames(build) {
  const page = await serving_page(build, LIVE);
  await page.goto(ORIGIN + 'jeu.html');
  await page.waitForFunction(() => window.frames_timed.length > 0, {timeout: 60000});
  await new Promise((done) => setTimeout(done, LIVE_MS));
  const frames = await page.evaluate(() => window.frames_timed);
  const picture = await page.evaluate(() => document.getElementById('ecran').toDataURL());
  await page.close();
  return {frames: frames.map(([at, ms]) => [at - frames[0][0], ms]), picture};
}

try {
  console.log(`# ${RUNS} essais, médianes ; rapport au programme de bureau entre parenthèses`);
  for (const [name, args] of CASES) {
    const results = {bureau: []};
    for (const build of BUILDS) results[build] = [];
    // Interleaved, so that a slower moment of the machine weighs on every build alike.
    for (let run = 0; run < RUNS; ++run) {
      results.bureau.push(desktop_summary(args));
      for (const build of BUILDS) results[build].push(await browser_summary(build, args));
    }
    const base = [median(results.bureau.map((r) => r[0])), median(results.bureau.map((r) => r[1]))];
    for (const [who, list] of Object.entries(results)) {
      const render = median(list.map((r) => r[0]));
      const total = median(list.map((r) => r[1]));
      console.log(`${name.padEnd(32)} ${who.padEnd(15)} rendu ${render.toFixed(3).padStart(7)} ms ` +
                  `(${(render / base[0]).toFixed(2)}×)  total ${total.toFixed(1).padStart(8)} ms ` +
                  `(${(total / base[1]).toFixed(2)}×)`);
    }
  }
  // The live game: the longest frames once the first second is over (the first frames
  // compile and make depth 9), with when they came, and the picture at the end (depth 10).
  for (const build of BUILDS) {
    const {frames, picture} = await live_frames(build);
    const later = frames.filter(([at]) => at > 1000);
    const longest = [...later].sort((a, b) => b[1] - a[1]).slice(0, 3);
    const durations = later.map(([, ms]) => ms);
    console.log(`page vivante, profondeur 9 → 10  ${build.padEnd(15)} ${frames.length} images, ` +
                `la première ${frames[0][1].toFixed(1)} ms, ` +
                `médiane ${median(durations).toFixed(2)} ms, les plus longues : ` +
                longest.map(([at, ms]) => `${ms.toFixed(1)} ms à ${(at / 1000).toFixed(2)} s`).join(', '));
    if (process.env.PYRELLE_BENCH_PICTURES) {
      writeFileSync(join(process.env.PYRELLE_BENCH_PICTURES, `${build}-vivante.png`),
                    Buffer.from(picture.split(',')[1], 'base64'));
    }
  }
} finally {
  await browser.close();
  rmSync(profile, {recursive: true, force: true});
  rmSync(work, {recursive: true, force: true});
}
