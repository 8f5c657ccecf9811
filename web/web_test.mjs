// The web build in headless Chromium, against the desktop program.
//
//   node --test web/web_test.mjs        (tools/web/test.sh sets the variables)
//   MELVORIA_SITE      the built page (build-web)
//   MELVORIA_DESKTOP   the desktop program (build/melvoria)
//   CHROMIUM           the browser (/usr/bin/chromium)
import {after, before, describe, test} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {createSiteServer} from './serve.mjs';
import * as h from './helpers.mjs';
import {assertSamePicture, canvasPicture, decodePng, differingPixels, fromRgba, hardKeysOn, openExitBox, kStoreKey, kWebStore, pagePoint,
  readPageFile, runDesktop, site, sleep, tap, waitForChange, waitForFirstFrame, waitForPicture, waitForStill,
  waitForStorage, work, writePageFile, kScreens, kSizes, kStartEasy, forScreen} from './helpers.mjs';

// ---- the page, served on the loopback (tools/web/serve.mjs) ------------------------

let server;
let origin;
let browser;

before(async () => {
  server = createSiteServer(site);
  origin = await h.listenOnLoopback(server);
  browser = await h.launchChromium();
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
// The page with the watch installed, and a scripted run in one.
const openPage = (context, query, viewport) => h.openPage(context, origin, query, viewport, instrument);
const runPage = (context, script, screen, files) => h.runPage(context, origin, script, screen, files, instrument);

async function firstFramePicture(page) {
  const {width, height, data} = await page.evaluate(() => {
    const f = window.watch.firstFrame;
    let text = '';
    for (let i = 0; i < f.data.length; i += 0x8000) text += String.fromCharCode.apply(null, f.data.subarray(i, i + 0x8000));
    return {width: f.width, height: f.height, data: btoa(text)};
  });
  return fromRgba(width, height, Buffer.from(data, 'base64'));
}

const kPhone = {width: 412, height: 915, deviceScaleFactor: 2.625, isMobile: true, hasTouch: true};

// ---- the tests ----------------------------------------------------------------------

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

  test('without workers the page compiles the program itself: the same menu', async () => {
    const reference = await runDesktop(path.join(work, 'menu-no-worker'), 'wait 1000\nshot $D/menu.png\n', '480x640', ['$D/menu.png']);
    const context = await browser.createBrowserContext();
    try {
      const page = await h.openPage(context, origin, {screen: '480x640'}, undefined, () => delete window.Worker);
      await waitForFirstFrame(page);
      assert.equal(await page.evaluate(() => typeof Worker), 'undefined');
      await sleep(500);
      assertSamePicture(await canvasPicture(page), decodePng(reference['$D/menu.png']), 'the menu');
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });

  test('taps start a game, the reels spin and sound plays, its output opened by the first sound', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await waitForFirstFrame(page);
      assert.equal(await page.evaluate(() => window.watch.audioContext), undefined, 'an audio output before any sound');
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
      // The output plays (a short sound may be over, and the output stopped
      // again, by the time its peak is read).
      await page.waitForFunction(() => window.watch.audioPeak > 0.01, {timeout: 10000});
      // Once every sound has played, the output stops again.
      await page.waitForFunction(() => window.watch.audioContext.state === 'suspended', {timeout: 20000});
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });

  test('the full-screen button and F11 switch full screen', async () => {
    const context = await browser.createBrowserContext();
    try {
      const page = await openPage(context);
      await waitForFirstFrame(page);
      const menu = await canvasPicture(page);
      await page.click('#fullscreen');
      await page.waitForFunction(() => document.fullscreenElement !== null, {timeout: 5000});
      await page.keyboard.press('F11');
      await page.waitForFunction(() => document.fullscreenElement === null, {timeout: 5000});
      await waitForPicture(page, menu, 'the menu after full screen and back');
      assert.deepEqual(page.errors, []);
    } finally {
      await context.close();
    }
  });

  // With the hard keys on, the game acts on a key's release: Enter's starts the
  // marked mode. The page's own shortcuts must keep both halves of their key,
  // whichever key is let go first. Each case ends with Down, which marks the
  // next mode: a leaked Enter would have started a game first.
  test('the page\'s own keys never reach the game, whichever key is let go first', async () => {
    const screen = '480x640';
    const folder = path.join(work, 'page-keys');
    await runDesktop(folder, 'wait 500\ntap 462 16\n', screen, []);  // the records, stored by the close box
    const record = path.join(folder, 'data', kStoreKey, 'GameStatus');
    fs.writeFileSync(record, hardKeysOn(fs.readFileSync(record)));
    const marked = await runDesktop(folder, 'wait 500\n' + [1, 2, 3, 4].map((n) =>
      `${n === 4 ? 'rotate\nwait 300\nrotate\nwait 300\n' : ''}key down\nwait 100\nshot $D/down${n}.png\n`).join(''),
    screen, [1, 2, 3, 4].map((n) => `$D/down${n}.png`));
    const down = (n) => decodePng(marked[`$D/down${n}.png`]);

    const context = await browser.createBrowserContext();
    try {
      const first = await runPage(context, 'wait 500\ntap 462 16\n', screen, []);
      await waitForStorage(first.page);
      await writePageFile(first.page, `${kWebStore}/GameStatus`, hardKeysOn(await readPageFile(first.page, `${kWebStore}/GameStatus`)));
      await first.page.close();

      const page = await openPage(context, {screen});
      await waitForFirstFrame(page);
      await page.keyboard.press('ArrowDown');
      await waitForPicture(page, down(1), 'Down marks the first mode');
      const fullScreen = (on) => page.waitForFunction((on) => (document.fullscreenElement !== null) === on, {timeout: 5000}, on);
      const width = (w) => page.waitForFunction((w) => document.getElementById('canvas').width === w, {timeout: 5000}, w);
      const cases = [
        {keys: ['Alt', 'Enter'], order: ['Enter', 'Alt'], then: () => fullScreen(true), mark: 2},
        {keys: ['Alt', 'Enter'], order: ['Alt', 'Enter'], then: () => fullScreen(false), mark: 3},
        {keys: ['Control', 'r'], order: ['Control', 'r'], then: () => width(640)},  // turned: Down waits
        {keys: ['Control', 'r'], order: ['r', 'Control'], then: () => width(480), mark: 4},
      ];
      for (const c of cases) {
        for (const k of c.keys) await page.keyboard.down(k);
        for (const k of c.order) await page.keyboard.up(k);
        await c.then();
        if (!c.mark) continue;
        await page.keyboard.press('ArrowDown');
        await waitForPicture(page, down(c.mark), `${c.keys.join('+')} with ${c.order[0]} let go first, then Down`);
      }
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
      await tap(page, 240, 501);  // HI-SCORES: a screen without timers
      assert.ok(await waitForChange(page, menu), 'the tap on HI-SCORES changed nothing');
      await sleep(1500);
      const before = await page.evaluate(() => ({timeouts: watch.timeouts, audioCalls: watch.audioCalls}));
      const metrics = await page.metrics();
      await sleep(3000);
      const later = await page.evaluate(() => ({timeouts: watch.timeouts, audioCalls: watch.audioCalls,
        audio: watch.audioContext ? watch.audioContext.state : 'none'}));
      const metricsLater = await page.metrics();
      const scriptMs = (metricsLater.ScriptDuration - metrics.ScriptDuration) * 1000;
      console.log(`idle for 3 s: ${later.timeouts - before.timeouts} timers, ` +
        `${later.audioCalls - before.audioCalls} audio calls, ${scriptMs.toFixed(2)} ms of script`);
      assert.equal(later.timeouts - before.timeouts, 0, 'timers set while idle');
      assert.equal(later.audioCalls - before.audioCalls, 0, 'audio processed while idle');
      assert.notEqual(later.audio, 'running', 'the audio output still runs');
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
      const board = await openExitBox(page, menu);
      await page.keyboard.press('Enter');  // Yes
      await page.waitForFunction(() => window.melvoriaExitCode !== undefined, {timeout: 10000});
      await waitForStorage(page);
      assert.deepEqual(page.errors, []);

      await page.reload();
      await waitForFirstFrame(page);
      // The game left, not the menu or another screen; its meters may have moved
      // on between the picture and the Yes (a real clock runs here).
      const resumed = await firstFramePicture(page);
      const moved = differingPixels(resumed, board);
      assert.ok(moved < resumed.width * resumed.height / 100,
        `the reload's first frame is not the game left: ${moved} of ${resumed.width * resumed.height} pixels differ from it`);
      assert.ok(differingPixels(resumed, menu) > resumed.width * resumed.height / 2, 'the reload\'s first frame is the menu');
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
      const entered = await runDesktop(folder, 'wait 3400\nshot $D/namebox.png\n' + 'key backspace\n'.repeat(12) +
        `type ${name}\n` + 'tap 140 366\nwait 1000\nshot $D/table.png\ntap 240 200\nwait 300\nshot $D/menu.png\ntap 460 16\n',
        screen, ['$D/namebox.png', '$D/table.png', '$D/menu.png', `$D/data/${kStoreKey}/PrefsHard`]);

      const context = await browser.createBrowserContext();
      try {
        const first = await runPage(context, makeHard, screen, []);
        await waitForStorage(first.page);
        const bytes = await readPageFile(first.page, `${kWebStore}/GameStatus`);
        await writePageFile(first.page, `${kWebStore}/GameStatus`, dying(bytes));
        await first.page.close();

        const phone = how === 'phone';
        const page = await openPage(context, {screen}, phone ? kPhone : undefined);
        const press = async (x, y) => {
          if (!phone) return tap(page, x, y);
          const p = await pagePoint(page, x, y);
          await page.touchscreen.tap(p.x, p.y);
        };
        await waitForFirstFrame(page);
        // GAME OVER, then the name box (its caret blinks: one of its looks matches).
        await waitForPicture(page, decodePng(entered['$D/namebox.png']), 'the name box', 20000);
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
        await waitForPicture(page, decodePng(entered['$D/table.png']), 'the table with the name');
        await press(240, 200);
        await waitForPicture(page, decodePng(entered['$D/menu.png']), 'the menu after the table');
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
