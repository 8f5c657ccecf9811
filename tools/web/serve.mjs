// Serves the built site for trying it locally, as a host with compression
// would: each file as its .br or .gz copy (web/finish_site.py writes them)
// when the browser accepts that encoding, with the right types. Also the
// web tests' server.
//
//   node tools/web/serve.mjs [SITE_DIR] [--port N] [--host ADDRESS]
//   (default build-web, port 8000, 127.0.0.1; port 0 picks a free one)
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

export const kTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.webmanifest': 'application/manifest+json',
  '.json': 'application/json',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.txt': 'text/plain; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.ico': 'image/x-icon',
};

// The encodings a request accepts, by the q values of its Accept-Encoding.
function accepted(header) {
  const ok = new Set();
  for (const part of String(header || '').split(',')) {
    const [name, ...params] = part.trim().toLowerCase().split(';');
    const q = params.map((p) => p.trim()).find((p) => p.startsWith('q='));
    if (name && !(q && Number(q.slice(2)) === 0)) ok.add(name);
  }
  return ok;
}

function fileOf(p) {
  try {
    const stat = fs.statSync(p);
    return stat.isFile() ? stat : null;
  } catch {
    return null;
  }
}

// A server of the folder `site`; `options.onRequest(request)` sees each
// request first (the tests use it to count what was served, or to fail one).
export function createSiteServer(site, options = {}) {
  const root = path.resolve(site);
  return http.createServer((request, response) => {
    if (options.onRequest && options.onRequest(request, response) === false) return;
    if (request.method !== 'GET' && request.method !== 'HEAD') {
      response.writeHead(405, {Allow: 'GET, HEAD'}).end();
      return;
    }
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, name);
    const type = kTypes[path.extname(file)];
    const stat = file.startsWith(root + path.sep) ? fileOf(file) : null;
    if (!stat || !type) {
      response.writeHead(404, {'Content-Type': 'text/plain; charset=utf-8'}).end('Not found\n');
      return;
    }
    // A compressed copy only when it is not older than the file (to the second:
    // compressors that keep the file's time may keep only its seconds).
    const encodings = accepted(request.headers['accept-encoding']);
    let served = file, servedStat = stat, encoding = null;
    for (const [name, suffix] of [['br', '.br'], ['gzip', '.gz']]) {
      const copy = encodings.has(name) ? fileOf(file + suffix) : null;
      if (copy && Math.floor(copy.mtimeMs / 1000) >= Math.floor(stat.mtimeMs / 1000)) {
        served = file + suffix;
        servedStat = copy;
        encoding = name;
        break;
      }
    }
    const etag = `"${servedStat.size.toString(16)}-${Math.floor(servedStat.mtimeMs).toString(16)}${encoding ? '-' + encoding : ''}"`;
    const headers = {
      'Content-Type': type,
      // Asked again every time; the service worker keeps the site for offline play.
      'Cache-Control': 'no-cache',
      'ETag': etag,
      'Vary': 'Accept-Encoding',
      'X-Content-Type-Options': 'nosniff',
    };
    if (encoding) headers['Content-Encoding'] = encoding;
    if (request.headers['if-none-match'] === etag) {
      response.writeHead(304, headers).end();
      return;
    }
    headers['Content-Length'] = servedStat.size;
    response.writeHead(200, headers);
    if (request.method === 'HEAD') {
      response.end();
      return;
    }
    fs.createReadStream(served).on('error', () => response.destroy()).pipe(response);
  });
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const args = process.argv.slice(2);
  let site = 'build-web', port = 8000, host = '127.0.0.1';
  for (let i = 0; i < args.length; i++) {
    if (args[i] === '--port' && i + 1 < args.length) port = Number(args[++i]);
    else if (args[i] === '--host' && i + 1 < args.length) host = args[++i];
    else if (!args[i].startsWith('--')) site = args[i];
    else {
      console.error(`serve: unknown option ${args[i]}\nusage: serve [SITE_DIR] [--port N] [--host ADDRESS]`);
      process.exit(2);
    }
  }
  if (!Number.isInteger(port) || port < 0 || port > 65535) {
    console.error(`serve: not a port: ${port}`);
    process.exit(2);
  }
  if (!fileOf(path.join(site, 'index.html'))) {
    console.error(`serve: no site in ${site} (make web)`);
    process.exit(1);
  }
  const server = createSiteServer(site);
  server.on('error', (e) => {
    console.error(`serve: ${e.message}`);
    process.exit(1);
  });
  server.listen(port, host, () => {
    const shown = host.includes(':') ? `[${host}]` : host;
    console.log(`Serving ${path.resolve(site)} at http://${shown}:${server.address().port}/ (Ctrl+C ends)`);
  });
}
