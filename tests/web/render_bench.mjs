// How fast the browser builds draw against the desktop program, measured in the same
// session: headless runs of the desktop binary and of each WebAssembly build of the page in
// headless Chromium (the summary's `rendu : … par image`, and the whole run's time: its steps
// and its 61 pictures), medians over several runs, and their ratio to the desktop's.
// Usage: node tests/web/render_bench.mjs SITE_DIR DESKTOP_BINARY [RUNS]
//   SITE_DIR is build/web; DESKTOP_BINARY the Release program (build/release/pyrelle).
//   PYRELLE_BENCH_FLAGS adds Chromium flags: "--js-flags=--no-liftoff" runs the WebAssembly
//   optimised from the start, as a page runs it after its first seconds, where a fresh page
//   otherwise draws these few pictures partly with Chromium's quick first compilation.
import {spawnSync} from 'node:child_process';
import {existsSync, mkdtempSync, readFileSync, rmSync} from 'node:fs';
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
];
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
async function browser_summary(build, args) {
  const page = await browser.newPage();
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const name = request.url().slice(ORIGIN.length);
    if (name === 'banc.html') {
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
  await page.goto(ORIGIN + 'banc.html');
  await page.waitForFunction(() => window.done, {timeout: 120000, polling: 100});
  const lines = await page.evaluate(() => window.lines);
  await page.close();
  return figures(lines);
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
} finally {
  await browser.close();
  rmSync(profile, {recursive: true, force: true});
  rmSync(work, {recursive: true, force: true});
}
