// What the web tests share: the desktop program's screenshots, the page's
// canvas and data folder, waits on what the page shows.
//
//   MELVORIA_SITE      the built page (build-web)
//   MELVORIA_DESKTOP   the desktop program (build/melvoria)
//   CHROMIUM           the browser (/usr/bin/chromium)
import assert from 'node:assert/strict';
import {execFile} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {promisify} from 'node:util';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

export const site = path.resolve(process.env.MELVORIA_SITE || 'build-web');
export const desktop = path.resolve(process.env.MELVORIA_DESKTOP || 'build/melvoria');
export const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
export const work = fs.mkdtempSync(path.join(os.tmpdir(), 'melvoria-web-test-'));
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Listens on a free port of the loopback; the origin to open.
export async function listenOnLoopback(server) {
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return `http://127.0.0.1:${server.address().port}`;
}

// Headless Chromium as the tests run it: no sandbox (root in CI), WebGL in
// software, no sound.
export function launchChromium() {
  return puppeteer.launch({executablePath: chromium, headless: true,
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', '--mute-audio']});
}

// A page of the site at `origin`; `init` (if any) runs before the page's own scripts.
export async function openPage(context, origin, query = {}, viewport = {width: 800, height: 720}, init = null) {
  const page = await context.newPage();
  await page.setViewport(viewport);
  if (init) await page.evaluateOnNewDocument(init);
  const errors = [];
  page.on('console', (m) => {
    if (m.type() === 'error') errors.push(m.text());
  });
  page.on('pageerror', (e) => errors.push(e.message));
  page.errors = errors;
  const params = new URLSearchParams(query).toString();
  await page.goto(`${origin}/index.html${params ? '?' + params : ''}`);
  return page;
}

// A scripted run in a page: waits for the program to end, then returns the
// exit code and the files the script wrote under /page.
export async function runPage(context, origin, script, screen, files, init = null) {
  const page = await openPage(context, origin, {screen, script: script.replaceAll('$D', '/page')}, undefined, init);
  await page.waitForFunction(() => window.melvoriaExitCode !== undefined, {timeout: 120000});
  const result = await page.evaluate((names) => {
    const read = {};
    for (const name of names) {
      const bytes = Module.FS.readFile(name);
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      read[name] = btoa(text);
    }
    return {code: window.melvoriaExitCode, files: read};
  }, files.map((f) => f.replaceAll('$D', '/page')));
  const out = {code: result.code, page, files: {}};
  for (const f of files) out.files[f] = Buffer.from(result.files[f.replaceAll('$D', '/page')], 'base64');
  return out;
}

// ---- the desktop program -------------------------------------------------------

const runFile = promisify(execFile);

// Runs the desktop program on a script in its own folder (kept between runs
// of the same folder, as its data folder is). Returns the files asked for.
export async function runDesktop(folder, script, screen, files) {
  fs.mkdirSync(folder, {recursive: true});
  const scriptFile = path.join(folder, 'run.script');
  fs.writeFileSync(scriptFile, script.replaceAll('$D', folder));
  const env = {...process.env, MELVORIA_SCRIPT: scriptFile, MELVORIA_SCREEN: screen,
    MELVORIA_DATA_DIR: path.join(folder, 'data'), MELVORIA_RUNTIME_DIR: path.join(folder, 'run'),
    SDL_AUDIODRIVER: 'dummy', SDL_VIDEODRIVER: 'dummy'};
  delete env.MELVORIA_HEADLESS;
  delete env.MELVORIA_DPI;
  await runFile(desktop, [], {env, timeout: 120000});
  const out = {};
  for (const f of files) out[f] = fs.readFileSync(f.replaceAll('$D', folder));
  return out;
}

// ---- pictures ------------------------------------------------------------------

// Decodes the screenshots' PNG (8-bit RGB or RGBA, not interlaced) to RGB.
export function decodePng(buffer) {
  assert.equal(buffer.subarray(1, 4).toString('latin1'), 'PNG');
  let width = 0, height = 0, channels = 3;
  const idat = [];
  for (let at = 8; at < buffer.length;) {
    const length = buffer.readUInt32BE(at);
    const type = buffer.subarray(at + 4, at + 8).toString('latin1');
    const body = buffer.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      assert.equal(body[8], 8, 'bit depth');
      channels = {2: 3, 6: 4}[body[9]];
      assert.ok(channels, 'colour type');
      assert.equal(body[12], 0, 'interlace');
    }
    if (type === 'IDAT') idat.push(body);
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; x++) {
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c;
      const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predict = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      assert.ok(predict !== undefined, `filter ${filter}`);
      pixels[y * stride + x] = (line[x] + predict) & 255;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++) pixels.copy(rgb, i * 3, i * channels, i * channels + 3);
  return {width, height, rgb};
}

export function fromRgba(width, height, rgba) {
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++) {
    rgb[i * 3] = rgba[i * 4];
    rgb[i * 3 + 1] = rgba[i * 4 + 1];
    rgb[i * 3 + 2] = rgba[i * 4 + 2];
  }
  return {width, height, rgb};
}

// The device's pixels as the page shows them: the canvas, one for one.
export async function canvasPicture(page) {
  const {width, height, data} = await page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < pixels.length; i += 0x8000) text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
    return {width: canvas.width, height: canvas.height, data: btoa(text)};
  });
  return fromRgba(width, height, Buffer.from(data, 'base64'));
}

export function differingPixels(a, b) {
  assert.deepEqual([a.width, a.height], [b.width, b.height], 'picture size');
  let n = 0;
  for (let i = 0; i < a.rgb.length; i += 3) {
    if (a.rgb[i] !== b.rgb[i] || a.rgb[i + 1] !== b.rgb[i + 1] || a.rgb[i + 2] !== b.rgb[i + 2]) n++;
  }
  return n;
}

export function assertSamePicture(web, reference, what) {
  const n = differingPixels(web, reference);
  if (n) {
    const name = what.replace(/[^a-z0-9]+/gi, '-');
    fs.writeFileSync(path.join(process.env.MELVORIA_TEST_KEEP || work, `${name}-web.rgb`), web.rgb);
  }
  assert.equal(n, 0, `${what}: ${n} of ${web.width * web.height} pixels differ from the desktop program's`);
}

// ---- input ----------------------------------------------------------------------

// Where a device pixel lies on the page.
export async function pagePoint(page, x, y) {
  return page.evaluate((x, y) => {
    const canvas = document.getElementById('canvas');
    const r = canvas.getBoundingClientRect();
    return {x: r.left + (x + 0.5) * r.width / canvas.width, y: r.top + (y + 0.5) * r.height / canvas.height};
  }, x, y);
}

export async function tap(page, x, y) {
  const p = await pagePoint(page, x, y);
  await page.mouse.click(p.x, p.y);
}

export async function waitForFirstFrame(page) {
  await page.waitForFunction(() => window.melvoriaFirstFrameMs !== undefined, {timeout: 60000});
}

// Waits until the canvas differs from `picture` (or the time runs out).
export async function waitForChange(page, picture, ms = 5000) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(50)) {
    const now = await canvasPicture(page);
    if (now.width !== picture.width || differingPixels(now, picture) > 0) return now;
  }
  return null;
}

// Waits until the canvas shows `want` exactly; fails with the count of pixels
// that still differ when the time runs out.
export async function waitForPicture(page, want, what, ms = 10000) {
  let now;
  for (const end = Date.now() + ms; Date.now() < end; await sleep(50)) {
    now = await canvasPicture(page);
    if (now.width === want.width && now.height === want.height && differingPixels(now, want) === 0) return now;
  }
  assertSamePicture(now, want, what);
  return now;
}

// Waits until the canvas stays the same for `quietMs`; returns that picture.
export async function waitForStill(page, quietMs = 400, ms = 10000) {
  let last = await canvasPicture(page);
  let since = Date.now();
  for (const end = Date.now() + ms; Date.now() < end; await sleep(50)) {
    const now = await canvasPicture(page);
    if (now.width !== last.width || differingPixels(now, last) > 0) {
      last = now;
      since = Date.now();
    } else if (Date.now() - since >= quietMs) {
      return now;
    }
  }
  assert.fail(`the screen did not settle within ${ms} ms`);
}

// From the menu (its picture `menu`): EASY GAME, the Help popup's OK, the board
// at rest, then the exit box ("leave the game?"). Returns the board's picture;
// `where` begins each failure's message.
export async function openExitBox(page, menu, where = '') {
  await tap(page, 240, 333);  // EASY GAME: the Help popup
  const help = await waitForChange(page, menu);
  assert.ok(help, `${where}the tap on EASY GAME changed nothing`);
  await tap(page, 405, 513);  // its OK: the play screen
  assert.ok(await waitForChange(page, help), `${where}the tap on OK changed nothing`);
  const board = await waitForStill(page);
  await tap(page, 395, 40);  // the exit box
  assert.ok(await waitForChange(page, board), `${where}the exit box did not open`);
  return board;
}

// The stored game in a page's data folder, and in a desktop run's.
export const kStoreKey = 'registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria';
export const kWebStore = `/melvoria/${kStoreKey}`;

export async function waitForStorage(page) {
  await page.waitForFunction(() => Module.storageSaves > 0 && !Module.storageBusy(), {timeout: 20000});
}

// Writes a file of the page's data folder and stores the folder.
export async function writePageFile(page, name, bytes) {
  await page.evaluate(async (file, data) => {
    Module.FS.writeFile(file, Uint8Array.from(atob(data), (c) => c.charCodeAt(0)));
    await new Promise((resolve, reject) => Module.FS.syncfs(false, (e) => (e ? reject(e) : resolve())));
  }, name, Buffer.from(bytes).toString('base64'));
}

// A stored "GameStatus" with Help off and the hard keys ("Use PDAs Joystick") on.
export function hardKeysOn(record) {
  const b = Buffer.from(record);
  b[44] = 0;  // helpEnabled
  b[45] = 1;  // joystickControl
  return b;
}

export async function readPageFile(page, name) {
  const text = await page.evaluate((name) => {
    const bytes = Module.FS.readFile(name);
    let t = '';
    for (let i = 0; i < bytes.length; i += 0x8000) t += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(t);
  }, name);
  return Buffer.from(text, 'base64');
}

// Scripts in the large screen's coordinates ($D: the run's folder); halved for
// the small screen. Menu items: Easy 333, Hard 389; the Help popup's OK at
// (405, 513); the play screen's exit box at (395, 40), SPIN ALL at (374, 575).
export const kStartEasy = 'wait 500\ntap 240 333\nwait 500\ntap 405 513\nwait 3000\n';
export const kScreens = [
  {name: 'main menu', script: 'wait 1000\n'},
  {name: 'help and its demonstration', script: 'wait 500\ntap 240 333\nwait 9000\n'},
  {name: 'play', script: kStartEasy + 'down 200 250\nmove 200 300\nmove 200 340\nup 200 340\nwait 1500\ntap 374 575\nwait 6000\n'},
  {name: 'exit question', script: kStartEasy + 'tap 395 40\nwait 300\n'},
];
export const kSizes = ['480x640', '240x320'];

export function forScreen(script, screen) {
  if (screen !== '240x320') return script;
  return script.replace(/^(tap|down|move|up) (\d+) (\d+)$/gm, (_, verb, x, y) => `${verb} ${x >> 1} ${y >> 1}`);
}
