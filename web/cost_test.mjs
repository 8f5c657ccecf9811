// What the page costs the machine while it plays, in headless Chromium, beside
// the desktop program measured in the same run.
//
//   node web/cost_test.mjs        (tools/web/test.sh sets the variables)
//   MELVORIA_SITE      the built page (build-web)
//   MELVORIA_DESKTOP   the desktop program (build/melvoria), run in its window
//                      under a private Xvfb, driven with xdotool
//   CHROMIUM           the browser (/usr/bin/chromium)
//   MELVORIA_COST_SECONDS   length of each scene (default 10)
//
// Scenes as tools/measure_window plays them: an Easy game whose board stands
// still, and one with Spin All pressed every two seconds; besides, the idle
// menu, where the page must set off no timer at all. For each, the share of
// one core: the page's renderer process (all its threads, as the system counts
// them) and, from Performance.getMetrics, its main thread's tasks and scripts;
// the desktop program's process.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {execFile, spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {promisify} from 'node:util';
import {createSiteServer} from './serve.mjs';
import {canvasPicture, desktop, launchChromium, listenOnLoopback, openPage, site, sleep, tap, waitForChange, waitForFirstFrame,
  work} from './helpers.mjs';

const kSeconds = Number(process.env.MELVORIA_COST_SECONDS || 10);
// Each side is measured three times, alternately, and each scene's best round
// (page and desktop measured one after the other) is held: another program
// on a shared 2-core machine slows a run now and then by half, seldom all.
// The goal is the page within twice the desktop's CPU; it is not met yet, and
// what is held is what the page reaches, with room for a busy machine (the
// ratio moves by a third from round to round): about 4.5 to 5.5 and 2.7 to
// 3.3 times now, 7.4 and 6 when the page woke at every tick and committed the
// whole canvas through Chromium's compositor at every frame.
const kRuns = 3;
const kGoal = 2;
const kLimits = {'Easy game, still board': 6.5, 'Easy game, Spin All every 2 s': 4.5};
// Device points of the 480 x 640 screen.
const kEasy = [240, 333], kHelpOk = [405, 513], kSpinAll = [374, 575];

const run = promisify(execFile);

// A scene's `during()` gives what is called about ten times a second while it
// is measured, with a function that taps a device point (or nothing).
function spinEvery2s() {
  let next = 0;
  return async (tapAt) => {
    if (Date.now() < next) return;
    next = Date.now() + 2000;
    await tapAt(kSpinAll);
  };
}
const kScenes = [
  {name: 'Easy game, still board', during: () => null},
  {name: 'Easy game, Spin All every 2 s', during: spinEvery2s},
];

// Runs `during` (if any) until `seconds` have passed; returns the seconds.
async function playFor(seconds, during, tapAt) {
  const start = Date.now();
  while (Date.now() - start < seconds * 1000) {
    if (during) await during(tapAt);
    await sleep(100);
  }
  return (Date.now() - start) / 1000;
}

// ---- the page ------------------------------------------------------------------

let server;
let origin;
let browser;
let browserSession;

// Timer callbacks the page runs (timeouts, intervals, animation frames,
// messages to itself), counted before the page's own scripts start.
function countTimers() {
  window.timerCallbacks = 0;
  const counted = (f) => function () {
    window.timerCallbacks++;
    return f.apply(this, arguments);
  };
  for (const name of ['setTimeout', 'setInterval', 'requestAnimationFrame']) {
    const original = window[name];
    window[name] = function (f, ...rest) {
      return original.call(this, typeof f === 'function' ? counted(f) : f, ...rest);
    };
  }
  const onmessage = Object.getOwnPropertyDescriptor(MessagePort.prototype, 'onmessage');
  Object.defineProperty(MessagePort.prototype, 'onmessage', {
    configurable: true,
    get() {
      return onmessage.get.call(this);
    },
    set(f) {
      onmessage.set.call(this, typeof f === 'function' ? counted(f) : f);
    },
  });
}

async function rendererSeconds() {
  const {processInfo} = await browserSession.send('SystemInfo.getProcessInfo');
  return processInfo.filter((p) => p.type === 'renderer').reduce((sum, p) => sum + p.cpuTime, 0);
}

async function pageMetrics(session) {
  const {metrics} = await session.send('Performance.getMetrics');
  return Object.fromEntries(metrics.map((m) => [m.name, m.value]));
}

// Shares of a core while `during` plays: {renderer, task, script}, and the
// timer callbacks a second.
async function measurePage(page, session, during) {
  const timers = () => page.evaluate(() => window.timerCallbacks);
  const m0 = await pageMetrics(session), r0 = await rendererSeconds(), t0 = await timers();
  const seconds = await playFor(kSeconds, during, (p) => tap(page, p[0], p[1]));
  const m1 = await pageMetrics(session), r1 = await rendererSeconds(), t1 = await timers();
  return {renderer: (r1 - r0) / seconds, task: (m1.TaskDuration - m0.TaskDuration) / seconds,
    script: (m1.ScriptDuration - m0.ScriptDuration) / seconds, wakes: (t1 - t0) / seconds};
}

// One run of the page through the scenes: {idle: {timers, task}, scene name: shares}.
async function pageRun() {
  const context = await browser.createBrowserContext();
  try {
    const page = await openPage(context, origin, {}, undefined, countTimers);
    const session = await page.createCDPSession();
    await session.send('Performance.enable');
    await waitForFirstFrame(page);
    await sleep(1000);
    const out = {};
    const t0 = await page.evaluate(() => window.timerCallbacks), m0 = await pageMetrics(session);
    await sleep(3000);
    const t1 = await page.evaluate(() => window.timerCallbacks), m1 = await pageMetrics(session);
    out.idle = {timers: t1 - t0, task: (m1.TaskDuration - m0.TaskDuration) / 3};

    const menu = await canvasPicture(page);
    await tap(page, ...kEasy);  // the Help popup
    assert.ok(await waitForChange(page, menu), 'the tap on EASY GAME changed nothing');
    await sleep(300);
    await tap(page, ...kHelpOk);  // the play screen
    await sleep(4000);  // the reels' first spin ends
    for (const scene of kScenes) out[scene.name] = await measurePage(page, session, scene.during());
    assert.deepEqual(page.errors, []);
    return out;
  } finally {
    await context.close();
  }
}

// ---- the desktop program ---------------------------------------------------------

// A private X server for the desktop program's window.
function startX() {
  return new Promise((resolve, reject) => {
    const x = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
      {stdio: ['ignore', 'ignore', 'ignore', 'pipe']});
    x.on('error', reject);
    x.stdio[3].once('data', (d) => resolve({process: x, name: ':' + String(d).trim()}));
  });
}

function cpuSeconds(pid) {
  let ns = 0;
  for (const task of fs.readdirSync(`/proc/${pid}/task`)) {
    try {
      ns += Number(fs.readFileSync(`/proc/${pid}/task/${task}/schedstat`, 'utf8').split(' ')[0]);
    } catch {
      // a thread that just ended
    }
  }
  return ns / 1e9;
}

async function waitFor(what, test, ms = 30000) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(20)) {
    if (await test()) return;
  }
  assert.fail(`the desktop program: ${what} did not happen in ${ms} ms`);
}

// One run of the desktop program through the scenes: {scene name: {program}}.
async function desktopRun(x) {
  const folder = fs.mkdtempSync(path.join(work, 'desktop-'));
  const log = path.join(folder, 'frames');
  const env = {...process.env, DISPLAY: x.name, MELVORIA_DATA_DIR: path.join(folder, 'data'),
    MELVORIA_RUNTIME_DIR: path.join(folder, 'run'), MELVORIA_FRAME_LOG: log, SDL_AUDIODRIVER: 'dummy',
    DBUS_SESSION_BUS_ADDRESS: `unix:path=${folder}/no-bus`};
  for (const name of ['MELVORIA_SCRIPT', 'MELVORIA_HEADLESS', 'MELVORIA_SCREEN', 'MELVORIA_DPI', 'SDL_VIDEODRIVER'])
    delete env[name];
  const program = spawn(desktop, [], {env, stdio: 'ignore'});
  const xdotool = async (...args) => (await run('xdotool', args, {env})).stdout;
  try {
    await waitFor('the first frame', () => fs.existsSync(log) && fs.statSync(log).size > 0);
    let window = '';
    await waitFor('the window', async () => {
      window = (await xdotool('search', '--onlyvisible', '--pid', String(program.pid), '--name', '^Melvoria$')
        .catch(() => '')).split('\n')[0];
      return window !== '';
    });
    // A device point wherever the window shows the screen (tools/measure_window's reckoning).
    const tapAt = async ([px, py]) => {
      const size = Object.fromEntries((await xdotool('getwindowgeometry', '--shell', window)).split('\n')
        .filter((l) => l.includes('=')).map((l) => l.split('=')));
      const w = Number(size.WIDTH), h = Number(size.HEIGHT);
      const zoom = Math.min(Math.floor(w / 480), Math.floor(h / 640));
      let dw, dh;
      if (zoom >= 1) [dw, dh] = [480 * zoom, 640 * zoom];
      else if (w * 640 <= h * 480) [dw, dh] = [w, Math.floor(640 * w / 480)];
      else [dw, dh] = [Math.floor(480 * h / 640), h];
      const tx = Math.floor((w - dw) / 2) + Math.floor((px + 0.5) * dw / 480);
      const ty = Math.floor((h - dh) / 2) + Math.floor((py + 0.5) * dh / 640);
      await xdotool('mousemove', '--window', window, String(tx), String(ty), 'click', '1');
    };
    await sleep(1000);
    await tapAt(kEasy);
    await sleep(800);
    await tapAt(kHelpOk);
    await sleep(4000);
    const out = {};
    for (const scene of kScenes) {
      const during = scene.during();
      const c0 = cpuSeconds(program.pid);
      const seconds = await playFor(kSeconds, during, tapAt);
      out[scene.name] = {program: (cpuSeconds(program.pid) - c0) / seconds};
    }
    assert.equal(program.exitCode, null, 'the desktop program ended');
    return out;
  } finally {
    program.kill('SIGTERM');
    await new Promise((resolve) => (program.exitCode !== null ? resolve() : program.once('exit', resolve)));
  }
}

// ---- the measurement --------------------------------------------------------------

before(async () => {
  server = createSiteServer(site);
  origin = await listenOnLoopback(server);
  browser = await launchChromium();
  browserSession = await browser.target().createCDPSession();
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
  fs.rmSync(work, {recursive: true, force: true});
});

const pct = (v) => `${(v * 100).toFixed(2)} %`.padStart(9);

test('the page\'s CPU beside the desktop program\'s, and no timer on its idle menu', async () => {
  const x = await startX();
  const pageRuns = [], desktopRuns = [];
  try {
    for (let i = 0; i < kRuns; i++) {
      // Alternately first, so neither always meets the machine as the other left it.
      if (i % 2) pageRuns.push(await pageRun());
      desktopRuns.push(await desktopRun(x));
      if (!(i % 2)) pageRuns.push(await pageRun());
    }
  } finally {
    x.process.kill();
  }

  console.log(`${kSeconds} s a scene, ${kRuns} rounds, ${os.cpus().length} cores; shares of one core, ` +
    'the round with the lower ratio');
  console.log(`${'scene'.padEnd(30)} ${'renderer'.padStart(9)} ${'tasks'.padStart(9)} ${'scripts'.padStart(9)}` +
    ` ${'timers/s'.padStart(9)} ${'desktop'.padStart(9)} ${'ratio'.padStart(6)}  goal ${kGoal}x`);
  const idle = pageRuns.map((r) => r.idle);
  console.log(`${'menu, idle'.padEnd(30)} ${''.padStart(9)} ${pct(Math.min(...idle.map((r) => r.task)))}` +
    ` ${''.padStart(9)}   timer callbacks in 3 s: ${idle.map((r) => r.timers).join(', ')}`);
  const ratios = {};
  for (const {name} of kScenes) {
    const rounds = pageRuns.map((p, i) => ({page: p[name], program: desktopRuns[i][name].program}));
    for (const r of rounds) r.ratio = r.page.renderer / r.program;
    const best = rounds.reduce((a, b) => (b.ratio < a.ratio ? b : a));
    ratios[name] = best.ratio;
    console.log(`${name.padEnd(30)} ${pct(best.page.renderer)} ${pct(best.page.task)} ${pct(best.page.script)} ` +
      `${best.page.wakes.toFixed(1).padStart(9)} ${pct(best.program)} ${best.ratio.toFixed(2).padStart(6)}  ` +
      `${best.ratio <= kGoal ? 'met' : 'not met'} (rounds: ${rounds.map((r) => r.ratio.toFixed(2)).join(', ')})`);
  }

  for (const r of idle) assert.equal(r.timers, 0, 'timer callbacks on the idle menu');
  for (const [name, ratio] of Object.entries(ratios)) {
    assert.ok(ratio <= kLimits[name],
      `${name}: the page's renderer costs ${ratio.toFixed(2)}x the desktop program (held at ${kLimits[name]}x)`);
  }
});
