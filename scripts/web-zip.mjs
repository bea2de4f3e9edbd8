// Makes the zip for game hosts from the web build's folder: index.html at its root, every
// other file of the page named after its content (pyrelle.wasm becomes pyrelle.3f9a1c2b.wasm)
// with the names rewritten where the page's files name them, and the service worker that
// keeps them all for offline play (web/service-worker.js, given the list and a cache name).
// A browser that kept a script in its cache thus never runs it against a newer WebAssembly.
// Usage: node scripts/web-zip.mjs BUILD_DIR ZIP (web/web.cmake's web_zip target runs it).
import {execFileSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {basename, dirname, join, resolve} from 'node:path';

const [site, zip] = process.argv.slice(2);
if (!site || !zip) {
  console.error('usage : node scripts/web-zip.mjs DOSSIER_WEB ARCHIVE.zip');
  process.exit(2);
}

// Files that name no other, then those that do, each after the ones it names.
const ICONS = [16, 32, 48, 64, 128, 192, 256, 512].map((n) => `icons/${n}x${n}/apps/pyrelle.png`);
const LEAVES = ['pyrelle.js', 'pyrelle.wasm', 'pyrelle-scalar.js', 'pyrelle-scalar.wasm',
                'pyrelle.css', 'sound-worklet.js', ...ICONS];
const NAMING = ['pyrelle.webmanifest', 'page.js'];
const PAGE = 'index.html';
const WORKER = 'service-worker.js';  // its address must stay the same from one version to the next

const hash = (bytes) => createHash('sha256').update(bytes).digest('hex');
const hashed_name = (name, bytes) => name.replace(/(\.[a-z]+)$/, `.${hash(bytes).slice(0, 8)}$1`);
const escaped = (name) => name.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');

// The text with each quoted name that was renamed given its new name.
const named = new Set();  // the plain names found quoted
function renamed_in(text, renames) {
  for (const [from, to] of renames) {
    text = text.replace(new RegExp(`(["'])${escaped(from)}(["'])`, 'g'), (...m) => {
      named.add(from);
      return `${m[1]}${to}${m[2]}`;
    });
  }
  return text;
}

const files = new Map();  // name in the zip -> bytes
const renames = new Map();  // plain name -> name in the zip
function add(name, bytes) {
  const final = hashed_name(name, bytes);
  files.set(final, bytes);
  renames.set(name, final);
}
for (const name of LEAVES) add(name, readFileSync(join(site, name)));
for (const name of NAMING) {
  add(name, Buffer.from(renamed_in(readFileSync(join(site, name), 'utf8'), renames)));
}
const page = renamed_in(readFileSync(join(site, PAGE), 'utf8'), renames);
// A file that no page names whole is one whose name a page builds in pieces: it would not be
// found under its new name.
const unnamed = [...renames.keys()].filter((name) => !named.has(name));
if (unnamed.length) throw new Error(`jamais nommés en entier : ${unnamed.join(', ')}`);
const script_tag = `<script src="${renames.get('page.js')}">`;
if (!page.includes(script_tag)) throw new Error(`${PAGE} n'a pas ${script_tag}`);
files.set(PAGE, Buffer.from(page.replace(script_tag, script_tag.replace(
    '>', ` data-service-worker="${WORKER}">`))));

// The worker keeps every file, and the page's folder itself as index.html's second address.
const kept = ['./', ...files.keys()];
const version = hash(Buffer.concat([...files].flatMap(([name, bytes]) => [Buffer.from(name), bytes])));
const template = readFileSync(new URL('../web/service-worker.js', import.meta.url), 'utf8');
const site_line = /^const SITE = .*;$/m;
if (!site_line.test(template)) throw new Error(`${WORKER} n'a pas sa ligne « const SITE = … »`);
files.set(WORKER, Buffer.from(template.replace(site_line, () => `const SITE = ${JSON.stringify(
    {cache: `pyrelle-${version.slice(0, 16)}`, files: kept})};`)));

const out = resolve(zip);
const staging = mkdtempSync(join(dirname(out), '.web-zip-'));
try {
  for (const [name, bytes] of files) {
    mkdirSync(dirname(join(staging, name)), {recursive: true});
    writeFileSync(join(staging, name), bytes);
  }
  rmSync(out, {force: true});
  execFileSync('zip', ['-q', '-X', '-D', '-9', '-r', out, '.'], {cwd: staging});
} finally {
  rmSync(staging, {recursive: true, force: true});
}
console.log(`${basename(out)} : ${files.size} fichiers`);
