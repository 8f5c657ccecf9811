// The page's stored data in headless Chromium, read straight from IndexedDB:
// tabs that share it, reads and writes that fail, the tab going away, and
// saves moved through a file (which the desktop program reads too).
//
//   node --test web/storage_test.mjs    (tools/web/test.sh sets the variables)
//   MELVORIA_SITE      the built page (build-web)
//   MELVORIA_DESKTOP   the desktop program (build/melvoria)
//   CHROMIUM           the browser (/usr/bin/chromium)
import {after, before, describe, test} from 'node:test';
import assert from 'node:assert/strict';
import {execFile} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import {promisify} from 'node:util';
import {launchChromium, listenOnLoopback} from './helpers.mjs';

const site = path.resolve(process.env.MELVORIA_SITE || 'build-web');
const desktop = path.resolve(process.env.MELVORIA_DESKTOP || 'build/melvoria');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'melvoria-storage-test-'));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const kKey = 'registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria';
const kTypes = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.json': 'application/json', '.webmanifest': 'application/manifest+json', '.png': 'image/png',
  '.svg': 'image/svg+xml', '.data': 'application/octet-stream', '.txt': 'text/plain'};

// The site at / and again at /copy/; /probe is an empty page of the same
// origin, for reading IndexedDB with no game running.
let server, origin, browser;
before(async () => {
  server = http.createServer((request, response) => {
    let name = new URL(request.url, 'http://x').pathname;
    if (name === '/probe') return response.writeHead(200, {'Content-Type': 'text/html'}).end('<!doctype html><title>probe</title>');
    name = name.replace(/^\/copy\//, '/').slice(1) || 'index.html';
    const file = path.join(site, name);
    if (name.includes('..') || !fs.existsSync(file) || !fs.statSync(file).isFile()) return response.writeHead(404).end();
    response.writeHead(200, {'Content-Type': kTypes[path.extname(name)] || 'application/octet-stream',
      'Cache-Control': 'no-store'}).end(fs.readFileSync(file));
  });
  origin = await listenOnLoopback(server);
  browser = await launchChromium();
});
after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
  fs.rmSync(work, {recursive: true, force: true});
});

// ---- the page and its data ------------------------------------------------------------------

async function openPage(context, {at = '/', init = null} = {}) {
  const page = await context.newPage();
  await page.setViewport({width: 800, height: 720});
  if (init) await page.evaluateOnNewDocument(init);
  page.on('dialog', (d) => d.accept());
  await page.goto(`${origin}${at}index.html`);
  return page;
}

const firstFrame = (page) => page.waitForFunction(() => window.melvoriaFirstFrameMs !== undefined, {timeout: 60000});
const noteText = (page) => page.evaluate(() => {
  const n = document.getElementById('storage-note');
  return n && !n.hidden ? n.textContent : '';
});
async function waitForNote(page, pattern, ms = 15000) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(100)) {
    const text = await noteText(page);
    if (pattern.test(text)) return text;
  }
  assert.fail(`the page did not say ${pattern}; it says: "${await noteText(page)}"`);
}
async function pressNoteButton(page, label) {
  await page.evaluate((label) => {
    const b = [...document.querySelectorAll('#storage-note button')].find((b) => b.textContent === label);
    if (!b) throw new Error(`no button "${label}" in the note`);
    b.click();
  }, label);
}
const idle = (page) => page.waitForFunction(() => !Module.storageBusy(), {timeout: 20000});

// Device pixel (x, y) of the large screen, tapped.
async function tap(page, x, y) {
  const p = await page.evaluate((x, y) => {
    const c = document.getElementById('canvas');
    const r = c.getBoundingClientRect();
    return {x: r.left + (x + 0.5) * r.width / c.width, y: r.top + (y + 0.5) * r.height / c.height};
  }, x, y);
  await page.mouse.click(p.x, p.y);
  await sleep(300);
}
async function startEasy(page) {
  await tap(page, 240, 333);  // EASY GAME: the Help popup
  await tap(page, 405, 513);  // its OK: the play screen
  await sleep(1500);
}
// Enter until the program ends: it answers the exit box, and a box that says
// a store failed.
async function untilEnded(page) {
  for (const end = Date.now() + 15000; Date.now() < end; await sleep(500)) {
    if (await page.evaluate(() => window.melvoriaExitCode !== undefined)) return;
    await page.keyboard.press('Enter');
  }
  assert.fail('the program did not end');
}
async function leaveWithYes(page) {  // the exit box, then Yes: stored, and the program ends
  await tap(page, 395, 40);
  await untilEnded(page);
}

// What the site's IndexedDB holds for the page at `at`: {path: base64 bytes}.
// Read in a tab of its own (which hides the others: a game there stores), or
// in `inPage`.
async function stored(context, at = '/', inPage = null) {
  const page = inPage || await context.newPage();
  if (!inPage) await page.goto(`${origin}/probe`);
  const values = await page.evaluate((name) => new Promise((resolve, reject) => {
    const r = indexedDB.open(name);
    r.onupgradeneeded = () => r.transaction.abort();  // none: leave none behind
    r.onerror = (e) => {
      e.preventDefault();
      resolve({});
    };
    r.onsuccess = () => {
      const db = r.result;
      const out = {};
      const tx = db.transaction('values', 'readonly');
      const c = tx.objectStore('values').openCursor();
      c.onsuccess = () => {
        if (!c.result) return;
        let text = '';
        const bytes = new Uint8Array(c.result.value);
        for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        out[c.result.key] = btoa(text);
        c.result.continue();
      };
      tx.oncomplete = () => {
        db.close();
        resolve(out);
      };
      tx.onabort = () => reject(tx.error);
    };
  }), 'melvoria:' + at);
  if (!inPage) await page.close();
  return values;
}
const gameStatus = (values) => Buffer.from(values[`${kKey}/GameStatus`] || '', 'base64');

// A context whose page has stored a game left with the exit box (a hi-score
// table and settings with it).
async function contextWithSaves() {
  const context = await browser.createBrowserContext();
  const page = await openPage(context);
  await firstFrame(page);
  await startEasy(page);
  await leaveWithYes(page);
  await idle(page);
  await page.close();
  const values = await stored(context);
  assert.equal(gameStatus(values).readInt32LE(48), 1, 'the stored game is an Easy one');
  return {context, values};
}

// A DevTools command, through the page's own session (an override lasts as
// long as its session).
async function cdp(page, method, params) {
  const session = await page.createCDPSession();
  await session.send(method, params);
  return session;
}

// ---- the cases ---------------------------------------------------------------------------------

describe('the stored data, read from IndexedDB', () => {
  test('a second tab saves: the first tab\'s data stays; the second says the game is open elsewhere', async () => {
    const {context, values} = await contextWithSaves();
    try {
      const first = await openPage(context);
      await firstFrame(first);
      const second = await openPage(context);
      await waitForNote(second, /open in another tab/);
      assert.equal(await second.evaluate(() => window.melvoriaFirstFrameMs), undefined, 'the second tab plays');
      await second.close();
      await leaveWithYes(first);  // the first tab's game, stored again
      await idle(first);
      const now = await stored(context);
      assert.deepEqual(Object.keys(now).sort(), Object.keys(values).sort());
      assert.equal(now[`${kKey}/Prefs`], values[`${kKey}/Prefs`], 'the hi-scores');
      assert.equal(gameStatus(now).readInt32LE(48), 1, 'the stored game');
    } finally {
      await context.close();
    }
  });

  test('"play here" in a second tab: the first stores and stops; the second has its data', async () => {
    const context = await browser.createBrowserContext();
    try {
      const first = await openPage(context);
      await firstFrame(first);
      await startEasy(first);
      const second = await openPage(context);
      await waitForNote(second, /open in another tab/);
      await pressNoteButton(second, 'Play here');
      await waitForNote(first, /moved to another tab/);
      await firstFrame(second);
      const kept = await stored(context);
      assert.equal(gameStatus(kept).readInt32LE(48), 1, 'the first tab stored its game in progress');
      const loaded = await second.evaluate((name) => btoa(String.fromCharCode(...Module.FS.readFile(name))),
        `/melvoria/${kKey}/GameStatus`);
      assert.equal(loaded, kept[`${kKey}/GameStatus`], 'the second tab read what the first stored');
      assert.equal(await first.evaluate(() => document.getElementById('canvas').style.visibility), 'hidden');
    } finally {
      await context.close();
    }
  });

  test('the first open fails: stored data unchanged; the page says so, and trying again reads it', async () => {
    const {context, values} = await contextWithSaves();
    // The page's first indexedDB.open fails, once per document.
    const failOnce = () => {
      const open = IDBFactory.prototype.open;
      let failed = false;
      IDBFactory.prototype.open = function (name) {
        if (!failed && String(name).startsWith('melvoria:')) {
          failed = true;
          throw new DOMException('made to fail by the test', 'UnknownError');
        }
        return open.apply(this, arguments);
      };
    };
    try {
      const page = await openPage(context, {init: failOnce});
      await waitForNote(page, /could not read your saved games/);
      await pressNoteButton(page, 'Play without saving');
      await firstFrame(page);
      await waitForNote(page, /Playing without saving/);
      await pressNoteButton(page, 'OK');
      await tap(page, 240, 560);  // SETTINGS, help off, OK; then the close box
      await tap(page, 50, 208);
      await tap(page, 248, 584);
      await tap(page, 460, 16);
      await untilEnded(page);
      await idle(page);
      await page.close();
      assert.deepEqual(await stored(context), values, 'the stored data changed');

      const again = await openPage(context, {init: failOnce});
      await waitForNote(again, /could not read your saved games/);
      await pressNoteButton(again, 'Try again');
      await firstFrame(again);
      const resumed = await again.evaluate((name) => btoa(String.fromCharCode(...Module.FS.readFile(name))),
        `/melvoria/${kKey}/GameStatus`);
      assert.equal(resumed, values[`${kKey}/GameStatus`], 'the retry read the stored game');
    } finally {
      await context.close();
    }
  });

  // (Chromium applies a quota override only to a site whose storage it has not
  // opened yet: the first run's.)
  test('quota of 1 byte: the player is told, and the game does not hang', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await context.newPage();
      await page.setViewport({width: 800, height: 720});
      await cdp(page, 'Storage.overrideQuotaForOrigin', {origin, quotaSize: 1});
      await page.goto(`${origin}/index.html`);
      await firstFrame(page);
      await startEasy(page);
      await leaveWithYes(page);  // stores, and ends: no hang at the exit box
      await idle(page);
      const said = await waitForNote(page, /could not store.*full/);
      assert.match(said, /Export saves/);
      assert.deepEqual(await stored(context), {});
    } finally {
      await context.close();
    }
  });

  test('site data cleared while open: the player is told, and the game does not hang', async () => {
    const {context} = await contextWithSaves();
    try {
      const page = await openPage(context);
      await firstFrame(page);
      await sleep(2500);  // the resumed game
      await cdp(page, 'Storage.clearDataForOrigin', {origin, storageTypes: 'indexeddb'});
      await leaveWithYes(page);
      await idle(page);
      const said = await waitForNote(page, /removed the saved games/);
      assert.match(said, /Export saves/);
      assert.deepEqual(await stored(context), {}, 'the cleared data came back');
    } finally {
      await context.close();
    }
  });

  test('a setting changed, then the tab closed: the setting is stored', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await firstFrame(page);
      await tap(page, 240, 560);  // SETTINGS
      await tap(page, 50, 208);   // help off
      await tap(page, 248, 584);  // OK
      await page.close({runBeforeUnload: true});
      await sleep(500);
      const status = gameStatus(await stored(context));
      assert.equal(status.length, 692);
      assert.equal(status[44], 0, 'helpEnabled');
    } finally {
      await context.close();
    }
  });

  test('a game in progress, then the tab hidden and closed: the next visit resumes it exactly', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await firstFrame(page);
      await startEasy(page);
      await tap(page, 70, 160);  // a reel turned: a board of its own
      await sleep(2000);
      // Hidden as a phone hides it: the game stores at once, in this task.
      const begun = await page.evaluate(async () => {
        Object.defineProperty(document, 'visibilityState', {configurable: true, get: () => 'hidden'});
        document.dispatchEvent(new Event('visibilitychange'));
        // Microtasks only: still the event's own task.
        for (let i = 0; i < 100 && !Module.storageBusy(); i++) await null;
        return Module.storageBusy();
      });
      assert.ok(begun, 'no write begun in the event\'s own task');
      await idle(page);
      const inMemory = await page.evaluate((name) => btoa(String.fromCharCode(...Module.FS.readFile(name))),
        `/melvoria/${kKey}/GameStatus`);
      await page.close();
      const status = gameStatus(await stored(context));
      assert.equal(status.readInt32LE(48), 1, 'gameMode: the game is stored');
      assert.equal(status.toString('base64'), inMemory);

      const next = await openPage(context);
      await firstFrame(next);
      const loaded = await next.evaluate((name) => btoa(String.fromCharCode(...Module.FS.readFile(name))),
        `/melvoria/${kKey}/GameStatus`);
      assert.equal(loaded, inMemory, 'the next visit read the stored game');
    } finally {
      await context.close();
    }
  });

  test('export, clear the site, import: every value byte-identical, and the desktop reads the file', async () => {
    const {context} = await contextWithSaves();
    const downloads = fs.mkdtempSync(path.join(work, 'downloads-'));
    try {
      const page = await openPage(context);
      await firstFrame(page);
      const session = await browser.target().createCDPSession();
      await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads,
        browserContextId: context.id});
      await page.click('#saves');
      await page.click('#export-saves');
      let file = null;
      for (const end = Date.now() + 10000; !file && Date.now() < end; await sleep(100)) {
        file = fs.readdirSync(downloads).find((f) => f.endsWith('.melvoria'));
      }
      assert.ok(file, 'nothing was downloaded');
      const exported = path.join(downloads, file);
      await idle(page);
      await page.close();
      // What was stored when exported (the resumed game stored itself first).
      const before = await stored(context);
      assert.equal(gameStatus(before).readInt32LE(48), 1);

      // The desktop program takes the same file.
      const data = path.join(work, 'imported-data');
      await promisify(execFile)(desktop, ['--import', exported], {env: {...process.env, MELVORIA_DATA_DIR: data,
        MELVORIA_RUNTIME_DIR: path.join(work, 'imported-run')}});
      for (const [name, bytes] of Object.entries(before)) {
        assert.equal(fs.readFileSync(path.join(data, name)).toString('base64'), bytes, `${name} on the desktop`);
      }

      const fresh = await openPage(context);
      await cdp(fresh, 'Storage.clearDataForOrigin', {origin, storageTypes: 'indexeddb'});
      assert.deepEqual(await stored(context), {});
      await fresh.reload();
      await firstFrame(fresh);
      const input = await fresh.$('#import-file');
      const reloaded = fresh.waitForNavigation({timeout: 20000});
      await input.uploadFile(exported);
      await reloaded;
      await firstFrame(fresh);
      assert.deepEqual(await stored(context), before);
    } finally {
      await context.close();
    }
  });

  test('a damaged import file is refused with a message, and nothing changes', async () => {
    const {context, values} = await contextWithSaves();
    try {
      // A saves file of these values, as the desktop program writes it.
      const data = path.join(work, 'damaged-data');
      for (const [name, bytes] of Object.entries(values)) {
        fs.mkdirSync(path.dirname(path.join(data, name)), {recursive: true});
        fs.writeFileSync(path.join(data, name), Buffer.from(bytes, 'base64'));
      }
      await promisify(execFile)(desktop, ['--export', path.join(work, 'good.melvoria')],
        {env: {...process.env, MELVORIA_DATA_DIR: data}});
      const damaged = fs.readFileSync(path.join(work, 'good.melvoria'));
      damaged[damaged.length - 40] ^= 0x20;
      const page = await openPage(context);
      await firstFrame(page);
      const files = {'damaged.melvoria': damaged, 'picture.png': Buffer.from('\x89PNG\r\n\x1a\n....', 'latin1')};
      for (const [name, bytes] of Object.entries(files)) {
        fs.writeFileSync(path.join(work, name), bytes);
        await (await page.$('#import-file')).uploadFile(path.join(work, name));
        const said = await waitForNote(page, /was not imported/);
        assert.match(said, name === 'picture.png' ? /not a Melvoria saves file/ : /damaged/);
        assert.match(said, /Nothing has changed/);
        await pressNoteButton(page, 'OK');
      }
      assert.equal(await page.evaluate(() => window.melvoriaExitCode), undefined, 'the game stopped');
      await idle(page);
      assert.deepEqual(await stored(context, '/', page), values);
    } finally {
      await context.close();
    }
  });

  test('copies of the page at two paths keep their own saves and both play', async () => {
    const {context, values} = await contextWithSaves();
    try {
      const copy = await openPage(context, {at: '/copy/'});
      await firstFrame(copy);
      assert.equal(await noteText(copy), '');
      assert.equal(await copy.evaluate((name) => Module.FS.analyzePath(name).exists, `/melvoria/${kKey}/GameStatus`),
        false, 'the copy read the other\'s saves');
      await tap(copy, 460, 16);  // its close box stores a first run's values there
      await untilEnded(copy);
      await idle(copy);
      assert.equal(gameStatus(await stored(context, '/copy/')).readInt32LE(48), 0);
      assert.deepEqual(await stored(context), values);
    } finally {
      await context.close();
    }
  });

  const worker = fs.existsSync(path.join(site, 'sw.js'));
  test('loaded once, then offline, reload: the game plays and stores', {skip: worker ? false :
    'the site has no service worker (sw.js) yet, so it cannot load offline'}, async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await firstFrame(page);
      await page.evaluate(() => navigator.serviceWorker.ready);
      await page.reload();  // now under the worker
      await firstFrame(page);
      await page.setOfflineMode(true);
      await page.reload();
      await firstFrame(page);
      await startEasy(page);
      await leaveWithYes(page);
      await idle(page);
      assert.equal(gameStatus(await stored(context)).readInt32LE(48), 1);
    } finally {
      await context.close();
    }
  });
});
