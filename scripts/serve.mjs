// Serves a folder on 127.0.0.1 for a local browser: the web build's page (scripts/web.sh) or
// the tests'. Usage: node scripts/serve.mjs FOLDER [PORT [LOG]]; port 0 takes a free one.
// Prints the address once it listens. With LOG, each request's path is added to that file as
// a line, so that the tests can count what the page fetched.
import {appendFileSync, createReadStream, statSync} from 'node:fs';
import {createServer} from 'node:http';
import {extname, join, normalize, sep} from 'node:path';

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
  '.png': 'image/png',
  '.rpl': 'application/octet-stream',  // replays to watch (?replay=)
};

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
  response.writeHead(200, {'Content-Type': types[extname(file)], 'Cache-Control': 'no-cache'});
  createReadStream(file).pipe(response);
});
server.listen(Number(port), '127.0.0.1', () => {
  console.log(`http://127.0.0.1:${server.address().port}/`);
});
