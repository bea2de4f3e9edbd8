// Serves a folder on 127.0.0.1 for a local browser: the web build's page (scripts/web.sh) or
// the tests'. Usage: node scripts/serve.mjs FOLDER [PORT [LOG]]; port 0 takes a free one.
// Prints the address once it listens. With LOG, each request's path is added to that file as
// a line, so that the tests can count what the page fetched.
// Text and WebAssembly go out compressed when the browser takes it (brotli, else gzip), each
// file with an ETag and its date, which a browser's next request quotes to get a bodiless
// "304 Not Modified" while the file is unchanged. A file named after its content (the zip for
// game hosts: pyrelle.3f9a1c2b.wasm) never changes: the browser may keep it for a year.
import {createHash} from 'node:crypto';
import {appendFileSync, readFileSync, statSync} from 'node:fs';
import {createServer} from 'node:http';
import {extname, join, normalize, sep} from 'node:path';
import zlib from 'node:zlib';

const [root, port = '8000', log] = process.argv.slice(2);
if (!root) {
  console.error('usage : node scripts/serve.mjs DOSSIER [PORT [JOURNAL]]');
  process.exit(2);
}
const types = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json; charset=utf-8',
  '.png': 'image/png',
  '.rpl': 'application/octet-stream',  // replays to watch (?replay=)
};
const COMPRESSIBLE = new Set(['.html', '.css', '.js', '.mjs', '.wasm', '.webmanifest']);
const HASHED_NAME = /\.[0-9a-f]{8}\.[a-z]+$/;

// The encodings this Node.js can make, best first, each with its ETag suffix.
const ENCODERS = [
  ['br', '-br', zlib.brotliCompressSync && ((bytes) => zlib.brotliCompressSync(bytes, {
    params: {[zlib.constants.BROTLI_PARAM_QUALITY]: 9}}))],
  ['gzip', '-gz', (bytes) => zlib.gzipSync(bytes, {level: 9})],
].filter(([, , encode]) => encode);

// The first encoding the request's Accept-Encoding takes (not with q=0), or null.
function encoding_for(request) {
  const taken = new Set();
  for (const part of (request.headers['accept-encoding'] || '').split(',')) {
    const [name, ...parameters] = part.trim().toLowerCase().split(';').map((p) => p.trim());
    const q = parameters.find((p) => p.startsWith('q='));
    if (name && !(q && Number(q.slice(2)) === 0)) taken.add(name);
  }
  return ENCODERS.find(([name]) => taken.has(name) || taken.has('*')) || null;
}

// What was read of each file, with its compressed forms as they are asked for; read again
// when its size or date changes.
const kept = new Map();
function contents(file) {
  const stat = statSync(file);
  const known = kept.get(file);
  if (known && known.size === stat.size && known.mtimeMs === stat.mtimeMs) return known;
  const bytes = readFileSync(file);
  const made = {size: stat.size, mtimeMs: stat.mtimeMs, bytes, encoded: new Map(),
                tag: createHash('sha256').update(bytes).digest('base64url').slice(0, 22),
                modified: new Date(Math.floor(stat.mtimeMs / 1000) * 1000)};
  kept.set(file, made);
  return made;
}

// Whether the request's validators say its copy is still this one: If-None-Match first, and
// If-Modified-Since only without it, as HTTP has it.
function still_fresh(request, etag, modified) {
  const tags = request.headers['if-none-match'];
  if (tags !== undefined) {
    return tags.split(',').some((t) => t.trim() === '*' || t.trim().replace(/^W\//, '') === etag);
  }
  const since = Date.parse(request.headers['if-modified-since'] || '');
  return !Number.isNaN(since) && modified.getTime() <= since;
}

const server = createServer((request, response) => {
  const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
  if (log) appendFileSync(log, path + '\n');
  const file = normalize(join(root, path.endsWith('/') ? path + 'index.html' : path));
  let found = false;
  try {
    found = (file === normalize(root) || file.startsWith(normalize(root + sep))) &&
            statSync(file).isFile();
  } catch {
    found = false;
  }
  if (!found || !types[extname(file)]) {
    response.writeHead(404, {'Content-Type': 'text/plain; charset=utf-8'});
    response.end('introuvable\n');
    return;
  }
  const known = contents(file);
  const encoder = COMPRESSIBLE.has(extname(file)) ? encoding_for(request) : null;
  const etag = `"${known.tag}${encoder ? encoder[1] : ''}"`;
  const headers = {
    'Content-Type': types[extname(file)],
    'Cache-Control': HASHED_NAME.test(file) ? 'public, max-age=31536000, immutable' : 'no-cache',
    'ETag': etag,
    'Last-Modified': known.modified.toUTCString(),
    'Vary': 'Accept-Encoding',
  };
  if (still_fresh(request, etag, known.modified)) {
    response.writeHead(304, headers);
    response.end();
    return;
  }
  let body = known.bytes;
  if (encoder) {
    if (!known.encoded.has(encoder[0])) known.encoded.set(encoder[0], encoder[2](known.bytes));
    body = known.encoded.get(encoder[0]);
    headers['Content-Encoding'] = encoder[0];
  }
  headers['Content-Length'] = body.length;
  response.writeHead(200, headers);
  response.end(request.method === 'HEAD' ? undefined : body);
});
server.listen(Number(port), '127.0.0.1', () => {
  console.log(`http://127.0.0.1:${server.address().port}/`);
});
