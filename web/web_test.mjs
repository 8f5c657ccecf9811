// The web build in headless Chromium, against the desktop program.
//
//   node --test web/web_test.mjs        (tools/web/test.sh sets the variables)
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
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const site = path.resolve(process.env.MELVORIA_SITE || 'build-web');
const desktop = path.resolve(process.env.MELVORIA_DESKTOP || 'build/melvoria');
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'melvoria-web-test-'));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// ---- the page, served on the loopback ----------------------------------------

const kSiteFiles = {
  'index.html': 'text/html; charset=utf-8',
  'melvoria.js': 'text/javascript',
  'melvoria.wasm': 'application/wasm',
  'melvoria.data': 'application/octet-stream',
};
let server;
let origin;
let browser;

before(async () => {
  server = http.createServer((request, response) => {
    const name = new URL(request.url, 'http://x').pathname.slice(1) || 'index.html';
    if (!(name in kSiteFiles)) {
      response.writeHead(404).end();
      return;
    }
    fs.readFile(path.join(site, name), (error, data) => {
      if (error) return response.writeHead(500).end();
      response.writeHead(200, {'Content-Type': kSiteFiles[name], 'Cache-Control': 'no-store'}).end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', '--mute-audio'],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
  fs.rmSync(work, {recursive: true, force: true});
});

// What the page does that the test watches, installed before the page's own
// scripts: console errors, timers set, calls into the audio processor and the
// loudest sample it produced, and the first picture put on the canvas.
function instrument() {
  window.watch = {errors: [], timeouts: 0, audioCalls: 0, audioPeak: 0, firstFrame: null};
  const setTimeoutOf = window.setTimeout;
  window.setTimeout = function () {
    window.watch.timeouts++;
    return setTimeoutOf.apply(this, arguments);
  };
  const createScriptProcessor = AudioContext.prototype.createScriptProcessor;
  AudioContext.prototype.createScriptProcessor = function () {
    const node = createScriptProcessor.apply(this, arguments);
    window.watch.audioContext = this;
    let handler = null;
    Object.defineProperty(node, 'onaudioprocess', {
      set(f) {
        handler = f;
      },
      get() {
        return handler;
      },
    });
    node.addEventListener('audioprocess', (event) => {
      if (!handler) return;
      window.watch.audioCalls++;
      handler(event);
      for (let c = 0; c < event.outputBuffer.numberOfChannels; c++) {
        for (const v of event.outputBuffer.getChannelData(c)) {
          window.watch.audioPeak = Math.max(window.watch.audioPeak, Math.abs(v));
        }
      }
    });
    return node;
  };
  const putImageData = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function () {
    putImageData.apply(this, arguments);
    if (!window.watch.firstFrame) {
      const c = this.canvas;
      window.watch.firstFrame = {width: c.width, height: c.height, data: this.getImageData(0, 0, c.width, c.height).data};
    }
  };
}

async function openPage(context, query = {}, viewport = {width: 800, height: 720}) {
  const page = await context.newPage();
  await page.setViewport(viewport);
  await page.evaluateOnNewDocument(instrument);
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
async function runPage(context, script, screen, files) {
  const page = await openPage(context, {screen, script: script.replaceAll('$D', '/page')});
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
async function runDesktop(folder, script, screen, files) {
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
function decodePng(buffer) {
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

function fromRgba(width, height, rgba) {
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++) {
    rgb[i * 3] = rgba[i * 4];
    rgb[i * 3 + 1] = rgba[i * 4 + 1];
    rgb[i * 3 + 2] = rgba[i * 4 + 2];
  }
  return {width, height, rgb};
}

// The device's pixels as the page shows them: the canvas, one for one.
async function canvasPicture(page) {
  const {width, height, data} = await page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < pixels.length; i += 0x8000) text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
    return {width: canvas.width, height: canvas.height, data: btoa(text)};
  });
  return fromRgba(width, height, Buffer.from(data, 'base64'));
}

async function firstFramePicture(page) {
  const {width, height, data} = await page.evaluate(() => {
    const f = window.watch.firstFrame;
    let text = '';
    for (let i = 0; i < f.data.length; i += 0x8000) text += String.fromCharCode.apply(null, f.data.subarray(i, i + 0x8000));
    return {width: f.width, height: f.height, data: btoa(text)};
  });
  return fromRgba(width, height, Buffer.from(data, 'base64'));
}

function differingPixels(a, b) {
  assert.deepEqual([a.width, a.height], [b.width, b.height], 'picture size');
  let n = 0;
  for (let i = 0; i < a.rgb.length; i += 3) {
    if (a.rgb[i] !== b.rgb[i] || a.rgb[i + 1] !== b.rgb[i + 1] || a.rgb[i + 2] !== b.rgb[i + 2]) n++;
  }
  return n;
}

function assertSamePicture(web, reference, what) {
  const n = differingPixels(web, reference);
  if (n) {
    const name = what.replace(/[^a-z0-9]+/gi, '-');
    fs.writeFileSync(path.join(process.env.MELVORIA_TEST_KEEP || work, `${name}-web.rgb`), web.rgb);
  }
  assert.equal(n, 0, `${what}: ${n} of ${web.width * web.height} pixels differ from the desktop program's`);
}

// ---- input ----------------------------------------------------------------------

// Where a device pixel lies on the page.
async function pagePoint(page, x, y) {
  return page.evaluate((x, y) => {
    const canvas = document.getElementById('canvas');
    const r = canvas.getBoundingClientRect();
    return {x: r.left + (x + 0.5) * r.width / canvas.width, y: r.top + (y + 0.5) * r.height / canvas.height};
  }, x, y);
}

async function tap(page, x, y) {
  const p = await pagePoint(page, x, y);
  await page.mouse.click(p.x, p.y);
}

async function waitForFirstFrame(page) {
  await page.waitForFunction(() => window.melvoriaFirstFrameMs !== undefined, {timeout: 60000});
}

// Waits until the canvas differs from `picture` (or the time runs out).
async function waitForChange(page, picture, ms = 5000) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(50)) {
    const now = await canvasPicture(page);
    if (now.width !== picture.width || differingPixels(now, picture) > 0) return now;
  }
  return null;
}

const kPhone = {width: 412, height: 915, deviceScaleFactor: 2.625, isMobile: true, hasTouch: true};

// The stored game in a page's data folder, and in a desktop run's.
const kStoreKey = 'registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria';
const kWebStore = `/melvoria/${kStoreKey}`;

async function waitForStorage(page) {
  await page.waitForFunction(() => Module.storageSaves > 0 && !Module.storageBusy(), {timeout: 20000});
}

async function readPageFile(page, name) {
  const text = await page.evaluate((name) => {
    const bytes = Module.FS.readFile(name);
    let t = '';
    for (let i = 0; i < bytes.length; i += 0x8000) t += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(t);
  }, name);
  return Buffer.from(text, 'base64');
}

// ---- the tests ----------------------------------------------------------------------

// Scripts in the large screen's coordinates ($D: the run's folder); halved for
// the small screen. Menu items: Easy 333, Hard 389; the Help popup's OK at
// (405, 513); the play screen's exit box at (395, 40), SPIN ALL at (374, 575).
const kStartEasy = 'wait 500\ntap 240 333\nwait 500\ntap 405 513\nwait 3000\n';
const kScreens = [
  {name: 'main menu', script: 'wait 1000\n'},
  {name: 'help and its demonstration', script: 'wait 500\ntap 240 333\nwait 9000\n'},
  {name: 'play', script: kStartEasy + 'down 200 250\nmove 200 300\nmove 200 340\nup 200 340\nwait 1500\ntap 374 575\nwait 6000\n'},
  {name: 'exit question', script: kStartEasy + 'tap 395 40\nwait 300\n'},
];
const kSizes = ['480x640', '240x320'];

function forScreen(script, screen) {
  if (screen !== '240x320') return script;
  return script.replace(/^(tap|down|move|up) (\d+) (\d+)$/gm, (_, verb, x, y) => `${verb} ${x >> 1} ${y >> 1}`);
}

describe('scripted runs give the desktop program\'s screens', () => {
  for (const screen of kSizes) {
    for (const s of kScreens) {
      test(`${s.name} at ${screen}`, async () => {
        const script = forScreen(s.script, screen) + 'shot $D/shot.png\n';
        const reference = await runDesktop(path.join(work, `${s.name}-${screen}`), script, screen, ['$D/shot.png']);
        const context = await browser.createBrowserContext();
        try {
          const run = await runPage(context, script, screen, ['$D/shot.png']);
          assert.equal(run.code, 0);
          assertSamePicture(decodePng(run.files['$D/shot.png']), decodePng(reference['$D/shot.png']), `${s.name} at ${screen}`);
          assert.deepEqual(run.page.errors, []);
        } finally {
          await context.close();
        }
      });
    }
  }
});

describe('the page as a player meets it', () => {
  for (const screen of kSizes) {
    test(`shows the main menu at ${screen} as the desktop program does`, async () => {
      const reference = await runDesktop(path.join(work, `menu-${screen}`), 'wait 1000\nshot $D/menu.png\n', screen, ['$D/menu.png']);
      const context = await browser.createBrowserContext();
      try {
        const page = await openPage(context, {screen});
        await waitForFirstFrame(page);
        console.log(`first frame at ${screen}: ${(await page.evaluate(() => window.melvoriaFirstFrameMs)).toFixed(0)} ms`);
        assertSamePicture(await firstFramePicture(page), decodePng(reference['$D/menu.png']), `first frame at ${screen}`);
        await sleep(500);
        assertSamePicture(await canvasPicture(page), decodePng(reference['$D/menu.png']), `menu at ${screen}`);
        assert.deepEqual(page.errors, []);
      } finally {
        await context.close();
      }
    });
  }

  test('taps start a game, the reels spin and sound plays, started by the first tap', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await waitForFirstFrame(page);
      const audio = await page.evaluate(() => window.watch.audioContext && window.watch.audioContext.state);
      assert.ok(audio, 'the game opened no audio output: it found no sound');
      assert.equal(audio, 'suspended', 'sound before any tap');
      const menu = await canvasPicture(page);
      await tap(page, 240, 333);  // EASY GAME: the Help popup
      assert.ok(await waitForChange(page, menu), 'the tap on EASY GAME changed nothing');
      await sleep(300);
      await tap(page, 405, 513);  // its OK: the play screen
      await sleep(1500);
      const board = await canvasPicture(page);
      await page.evaluate(() => (window.watch.audioPeak = 0));
      await tap(page, 374, 575);  // SPIN ALL
      assert.ok(await waitForChange(page, board, 3000), 'the reels did not move');
      await page.waitForFunction(() => window.watch.audioPeak > 0.01, {timeout: 10000});
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });

  test('the full-screen button and F11 switch full screen, and the game sees neither', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await waitForFirstFrame(page);
      const menu = await canvasPicture(page);
      await page.click('#fullscreen');
      await page.waitForFunction(() => document.fullscreenElement !== null, {timeout: 5000});
      await page.keyboard.press('F11');
      await page.waitForFunction(() => document.fullscreenElement === null, {timeout: 5000});
      await sleep(300);
      assertSamePicture(await canvasPicture(page), menu, 'the menu after full screen and back');
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });

  test('an idle page runs nothing: no timer, no audio, no script', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await waitForFirstFrame(page);
      const menu = await canvasPicture(page);
      await tap(page, 240, 501);  // HI-SCORES: a screen without timers, after a sound
      assert.ok(await waitForChange(page, menu), 'the tap on HI-SCORES changed nothing');
      await sleep(1500);
      const before = await page.evaluate(() => ({timeouts: watch.timeouts, audioCalls: watch.audioCalls}));
      const metrics = await page.metrics();
      await sleep(3000);
      const later = await page.evaluate(() => ({timeouts: watch.timeouts, audioCalls: watch.audioCalls,
        audio: watch.audioContext.state}));
      const metricsLater = await page.metrics();
      const scriptMs = (metricsLater.ScriptDuration - metrics.ScriptDuration) * 1000;
      console.log(`idle for 3 s: ${later.timeouts - before.timeouts} timers, ` +
        `${later.audioCalls - before.audioCalls} audio calls, ${scriptMs.toFixed(2)} ms of script`);
      assert.equal(later.timeouts - before.timeouts, 0, 'timers set while idle');
      assert.equal(later.audioCalls - before.audioCalls, 0, 'audio processed while idle');
      assert.equal(later.audio, 'suspended', 'the audio output still runs');
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });

  test('Enter answers the exit question: the game is stored, and a reload resumes it', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await waitForFirstFrame(page);
      const menu = await canvasPicture(page);
      await tap(page, 240, 333);
      await sleep(500);
      await tap(page, 405, 513);
      await sleep(1000);
      await tap(page, 395, 40);  // the exit box: "leave the game?"
      await sleep(500);
      await page.keyboard.press('Enter');  // Yes
      await page.waitForFunction(() => window.melvoriaExitCode !== undefined, {timeout: 10000});
      await page.waitForFunction(() => Module.storageSaves > 0 && !Module.storageBusy(), {timeout: 10000});
      assert.deepEqual(page.errors, []);

      await page.reload();
      await waitForFirstFrame(page);
      const resumed = await firstFramePicture(page);
      assert.ok(differingPixels(resumed, menu) > resumed.width * resumed.height / 2, 'the reload shows the main menu');
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });
});

describe('stored games and settings', () => {
  test('a game left in a page comes back exactly after a reload, as on the desktop', async () => {
    const screen = '480x640';
    const leave = kStartEasy + 'tap 70 160\nwait 400\ntap 240 470\nwait 400\ndown 320 300\nmove 320 360\n' +
      'move 320 400\nup 320 400\nwait 3000\nshot $D/left.png\ntap 395 40\nkey enter\n';
    const resume = 'shot $D/back.png\nwait 2000\nshot $D/later.png\n';
    const folder = path.join(work, 'stored');
    const desktopLeft = await runDesktop(folder, leave, screen, ['$D/left.png', `$D/data/${kStoreKey}/GameStatus`]);
    const desktopBack = await runDesktop(folder, resume, screen, ['$D/back.png', '$D/later.png']);

    const context = await browser.createBrowserContext();
    try {
      const first = await runPage(context, leave, screen, ['$D/left.png']);
      assert.equal(first.code, 0);
      await waitForStorage(first.page);
      const stored = await readPageFile(first.page, `${kWebStore}/GameStatus`);
      assert.deepEqual(stored, desktopLeft[`$D/data/${kStoreKey}/GameStatus`], 'the stored bytes');
      assert.deepEqual(first.page.errors, []);
      await first.page.close();

      const second = await runPage(context, resume, screen, ['$D/back.png', '$D/later.png']);
      const left = decodePng(first.files['$D/left.png']);
      assertSamePicture(left, decodePng(desktopLeft['$D/left.png']), 'the game left');
      assertSamePicture(decodePng(second.files['$D/back.png']), left, 'the game resumed');
      assertSamePicture(decodePng(second.files['$D/back.png']), decodePng(desktopBack['$D/back.png']), 'resumed');
      assertSamePicture(decodePng(second.files['$D/later.png']), decodePng(desktopBack['$D/later.png']), 'resumed, later');
      assert.deepEqual(second.page.errors, []);
    } finally {
      await context.close();
    }
  });

  // Typed on a keyboard (keys, and characters as a layout makes them), or on
  // a phone's on-screen keyboard (text put into the page's field).
  for (const how of ['keyboard', 'phone']) {
    test(`a name typed on ${how === 'phone' ? 'a phone' : 'the keyboard'} goes into the hi-scores as on the desktop`, async () => {
      const screen = '480x640';
      // A Hard game left with the exit box, then given one unit of life and 50000
      // points (GameStatus offsets 64 score, 68 pending points, 596 life, 600 and
      // 604 life to gain and lose): it drains out at once, and its score makes
      // the table. The name box holds the last name; twelve backspaces clear it.
      const makeHard = 'wait 500\ntap 240 389\nwait 500\ntap 405 513\nwait 3000\ntap 395 40\nkey enter\n';
      const dying = (bytes) => {
        const b = Buffer.from(bytes);
        for (const [at, v] of [[64, 50000], [68, 0], [596, 1], [600, 0], [604, 0]]) b.writeInt32LE(v, at);
        return b;
      };
      const name = 'Zoë Ålund';
      const folder = path.join(work, `name-${how}`);
      const made = await runDesktop(folder, makeHard, screen, [`$D/data/${kStoreKey}/GameStatus`]);
      fs.writeFileSync(path.join(folder, 'data', kStoreKey, 'GameStatus'), dying(made[`$D/data/${kStoreKey}/GameStatus`]));
      // OK, the table; a tap leaves it for the menu, whose close box stores the tables.
      const entered = await runDesktop(folder, 'wait 3400\n' + 'key backspace\n'.repeat(12) + `type ${name}\n` +
        'tap 140 366\nwait 1000\nshot $D/table.png\ntap 240 200\nwait 300\ntap 460 16\n', screen,
        ['$D/table.png', `$D/data/${kStoreKey}/PrefsHard`]);

      const context = await browser.createBrowserContext();
      try {
        const first = await runPage(context, makeHard, screen, []);
        await waitForStorage(first.page);
        const bytes = await readPageFile(first.page, `${kWebStore}/GameStatus`);
        await first.page.evaluate(async (file, data) => {
          Module.FS.writeFile(file, Uint8Array.from(atob(data), (c) => c.charCodeAt(0)));
          await new Promise((resolve, reject) => Module.FS.syncfs(false, (e) => (e ? reject(e) : resolve())));
        }, `${kWebStore}/GameStatus`, dying(bytes).toString('base64'));
        await first.page.close();

        const phone = how === 'phone';
        const page = await openPage(context, {screen}, phone ? kPhone : undefined);
        const press = async (x, y) => {
          if (!phone) return tap(page, x, y);
          const p = await pagePoint(page, x, y);
          await page.touchscreen.tap(p.x, p.y);
        };
        await waitForFirstFrame(page);
        await sleep(4500);  // GAME OVER, then the name box
        if (phone) {
          await press(240, 302);  // a tap on the name box brings the on-screen keyboard
          assert.equal(await page.evaluate(() => document.activeElement.id), 'typing', 'no field for the keyboard');
        }
        for (let i = 0; i < 12; i++) await page.keyboard.press('Backspace');
        if (phone) {
          await page.keyboard.sendCharacter(name);
        } else {
          const input = await page.createCDPSession();
          for (const c of name) await input.send('Input.dispatchKeyEvent', {type: 'char', text: c});
        }
        await press(140, 366);  // OK
        await sleep(1000);
        assertSamePicture(await canvasPicture(page), decodePng(entered['$D/table.png']), 'the table with the name');
        await press(240, 200);
        await sleep(300);
        await press(460, 16);
        await page.waitForFunction(() => window.melvoriaExitCode !== undefined, {timeout: 10000});
        await waitForStorage(page);
        assert.deepEqual(await readPageFile(page, `${kWebStore}/PrefsHard`), entered[`$D/data/${kStoreKey}/PrefsHard`]);
        assert.deepEqual(page.errors, []);
      } finally {
        await context.close();
      }
    });
  }
});

describe('a phone', () => {
  const portrait = kPhone;
  const landscape = {...portrait, width: 915, height: 412, isLandscape: true};

  test('a touch is the stylus, and turning the phone turns the device', async () => {
    const reference = await runDesktop(path.join(work, 'turned'), 'wait 1000\nrotate\nwait 500\nshot $D/turned.png\n',
      '480x640', ['$D/turned.png']);
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context, {}, portrait);
      await waitForFirstFrame(page);
      const menu = await canvasPicture(page);
      assert.deepEqual([menu.width, menu.height], [480, 640]);

      await page.setViewport(landscape);
      await page.waitForFunction(() => document.getElementById('canvas').width === 640, {timeout: 5000});
      await sleep(500);
      assertSamePicture(await canvasPicture(page), decodePng(reference['$D/turned.png']), 'the landscape notice');
      await page.setViewport(portrait);
      await page.waitForFunction(() => document.getElementById('canvas').width === 480, {timeout: 5000});
      await sleep(500);
      assertSamePicture(await canvasPicture(page), menu, 'the menu, turned back');

      const p = await pagePoint(page, 240, 333);
      await page.touchscreen.tap(p.x, p.y);  // EASY GAME: the Help popup
      assert.ok(await waitForChange(page, menu), 'the touch on EASY GAME changed nothing');
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });
});
