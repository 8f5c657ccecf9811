// Runs inside the program's JavaScript before main(): the program's code
// compiled in a worker, the environment from the page's address, the data
// folder kept in the browser's IndexedDB, one copy of the game per site and
// page, the start in tasks of their own, and the wake-up of the device's waits.
//
// Address parameters: screen=WxH, dpi=N, headless=0|1 (the MELVORIA_ variables),
// script=TEXT (a script run as MELVORIA_SCRIPT; lines separated by newlines,
// %0A in the address).

const kDataDir = '/melvoria';

// Ends the device's running wait (src/web/page.cpp), or, when it runs, makes
// its next wait return at once.
Module.wakeDevice = function () {
  if (Module.melvoriaWaiter) Module.melvoriaWaiter();
  else Module.melvoriaPending = true;
};

// f in a task of its own.
function inNextTask(f) {
  return new Promise((resolve) => setTimeout(() => resolve(f())));
}

// ---- the program's code ------------------------------------------------------------
//
// The browser compiles the .wasm as it arrives partly on the thread that
// receives it, in long steps: here a worker's, so the page stays free. The
// compiled module comes back whole and is instantiated here. Where a worker
// cannot do it (none, or it failed) the page compiles it itself.

function compileHere(url) {
  const load = () => fetch(url, {credentials: 'same-origin'});
  const fromBytes = () => load().then((r) => r.arrayBuffer()).then((b) => WebAssembly.compile(b));
  if (!WebAssembly.compileStreaming) return fromBytes();
  // (A host that serves it with another type than application/wasm: from the bytes.)
  return WebAssembly.compileStreaming(load()).catch(fromBytes);
}

function compileInWorker(url) {
  return new Promise((resolve, reject) => {
    // (A browser that cannot send a module says so instead.)
    const source = 'onmessage = (e) => WebAssembly.compileStreaming(fetch(e.data, {credentials: "same-origin"}))' +
                   '.then((m) => postMessage(m)).catch((e) => postMessage(String(e)));';
    const script = URL.createObjectURL(new Blob([source], {type: 'text/javascript'}));
    const worker = new Worker(script);
    const done = () => {
      worker.terminate();
      URL.revokeObjectURL(script);
    };
    worker.onmessage = (event) => {
      done();
      if (event.data instanceof WebAssembly.Module) resolve(event.data);
      else reject(new Error(event.data));
    };
    worker.onerror = (event) => {
      event.preventDefault();
      done();
      reject(new Error(event.message));
    };
    worker.onmessageerror = () => {
      done();
      reject(new Error('the compiled module did not arrive'));
    };
    worker.postMessage(url);
  });
}

// (Each step in a task of its own, as the page's start below.)
Module.instantiateWasm = function (imports, receive) {
  const url = new URL(typeof wasmBinaryFile === 'string' ? wasmBinaryFile : 'melvoria.wasm', location.href).href;
  const compile = () => typeof Worker !== 'undefined' && WebAssembly.compileStreaming ?
    compileInWorker(url).catch(() => compileHere(url)) : compileHere(url);
  inNextTask(compile).then((module) => WebAssembly.instantiate(module, imports)
    .then((instance) => inNextTask(() => receive(instance, module))))
    .catch((e) => abort('the program could not be loaded: ' + describe(e)));
  return {};
};

// ---- sound ----------------------------------------------------------------------------
//
// The audio output is opened at the game's first sound (device/wave.cpp), and
// SDL's audio then has its context resumed at the player's next key or tap.
// When the program ends meanwhile, it closes the context and the browser
// refuses that resume: nothing to report.
autoResumeAudioContext = function (context) {
  for (const type of ['keydown', 'mousedown', 'touchstart']) {
    for (const element of [document, Module.canvas]) {
      element.addEventListener(type, () => {
        if (context.state === 'suspended') context.resume().catch(() => {});
      }, {once: true});
    }
  }
};

// ---- the stored data -----------------------------------------------------------
//
// The data folder lives in memory; the page's own IndexedDB database keeps a
// copy of its values, one record per value file (its path inside the folder:
// its bytes). After every change that completes a value (the registry renames
// a written temporary file over it, or removes it) the whole set is written
// in one transaction, begun before the browser's current task ends: the
// stored set is always one the program had. Nothing in the program waits for
// it (its fsync has no IndexedDB behind it), so a write that fails or never
// ends cannot hold the game; the page tells the player instead.
//
// One tab at a time plays the page: it holds the Web Lock named for the page's
// folder, and only it writes. Copies of the page in other folders of the site
// have their own lock and database.

const kPlace = 'melvoria:' + location.pathname.replace(/[^/]*$/, '');  // lock, database and channel
const kValues = 'values';
// Earlier pages kept the folder with Emscripten's IDBFS, one database per site.
const kOldDatabase = '/melvoria';
const kTakeOver = 'melvoria-take-over';  // session flag: a reload that asks for the game

const storage = {
  db: null,
  writable: false,  // the lock is held and the stored data was read
  unread: false,    // the player plays on although the stored data could not be read
  lost: false,      // the site's data was cleared while open: nothing more is written
  failing: false,   // the last write failed (the player has been told)
  pending: 0,       // transactions begun, not yet ended
  scheduled: false,
  settled: [],      // called when nothing is pending
  persistAsked: false,
  releaseLock: null,
  channel: null,    // to the page's other tabs
  mainCalled: false,
  running: false,   // main() has been called and has not returned
  ended: [],        // called when it returns
  moving: false,
};
Module.storageSaves = 0;  // transactions completed
Module.storageBusy = () => storage.pending > 0 || storage.scheduled;

// What went wrong, for a player.
function describe(error) {
  if (!error) return 'no reason given';
  if (error.name === 'QuotaExceededError') return "the browser's storage for this site is full";
  return (error.name || 'Error') + (error.message ? ': ' + error.message : '');
}

// ---- what the page shows about its data --------------------------------------------

const ui = {};
function pageUi() {
  if (ui.note) return;
  const style = document.createElement('style');
  style.textContent =
    '#saves { position: absolute; left: 6px; top: 6px; padding: 4px 8px; font: inherit; color: inherit;' +
    ' background: rgba(64, 64, 64, 0.8); border: 1px solid #606060; border-radius: 4px; }' +
    '#saves-menu { position: absolute; left: 6px; top: 40px; z-index: 2; display: flex; flex-direction: column;' +
    ' gap: 6px; padding: 8px; background: #303030; border: 1px solid #808080; border-radius: 6px; }' +
    '#saves-menu[hidden], #storage-note[hidden] { display: none; }' +
    '#storage-note { position: absolute; left: 50%; bottom: 12px; transform: translateX(-50%); z-index: 3;' +
    ' width: min(90vw, 440px); box-sizing: border-box; padding: 10px 12px; background: #303030; color: #f0f0f0;' +
    ' border: 1px solid #a0a0a0; border-radius: 6px; line-height: 1.35; }' +
    '#storage-note button, #saves-menu button { font: inherit; padding: 4px 10px; }' +
    '#storage-note button { margin: 8px 8px 0 0; }';
  document.head.appendChild(style);

  ui.note = document.createElement('div');
  ui.note.id = 'storage-note';
  ui.note.setAttribute('role', 'alert');
  ui.note.hidden = true;
  ui.saves = document.createElement('button');
  ui.saves.id = 'saves';
  ui.saves.type = 'button';
  ui.saves.textContent = 'Saves';
  ui.saves.setAttribute('aria-expanded', 'false');
  ui.menu = document.createElement('div');
  ui.menu.id = 'saves-menu';
  ui.menu.hidden = true;
  const exportButton = document.createElement('button');
  exportButton.type = 'button';
  exportButton.id = 'export-saves';
  exportButton.textContent = 'Export saves';
  const importButton = document.createElement('button');
  importButton.type = 'button';
  importButton.id = 'import-saves';
  importButton.textContent = 'Import saves…';
  ui.file = document.createElement('input');
  ui.file.type = 'file';
  ui.file.id = 'import-file';
  ui.file.hidden = true;
  ui.file.setAttribute('aria-label', 'Saves file to import');
  ui.menu.append(exportButton, importButton, ui.file);
  document.body.append(ui.saves, ui.menu, ui.note);

  const showMenu = (on) => {
    ui.menu.hidden = !on;
    ui.saves.setAttribute('aria-expanded', String(on));
  };
  ui.saves.addEventListener('click', () => showMenu(ui.menu.hidden));
  exportButton.addEventListener('click', () => {
    showMenu(false);
    exportSaves();
  });
  importButton.addEventListener('click', () => {
    showMenu(false);
    ui.file.value = '';
    ui.file.click();
  });
  ui.file.addEventListener('change', () => {
    if (ui.file.files.length) importSaves(ui.file.files[0]);
  });
}

// A note about the data with buttons ([label, action]); a button without an
// action closes the note. Returns a promise of the index of the button pressed.
function tell(text, buttons = [['OK']]) {
  pageUi();
  ui.note.textContent = '';
  const p = document.createElement('p');
  p.style.margin = '0';
  p.textContent = text;
  ui.note.append(p);
  ui.note.hidden = false;
  return new Promise((resolve) => {
    buttons.forEach((button, i) => {
      const label = button[0], action = button[1];
      const b = document.createElement('button');
      b.type = 'button';
      b.textContent = label;
      b.addEventListener('click', () => {
        ui.note.hidden = true;
        if (action) action();
        resolve(i);
      });
      ui.note.append(b);
    });
  });
}
function hideNote() {
  if (ui.note) ui.note.hidden = true;
}

// ---- IndexedDB ----------------------------------------------------------------------

function request(r) {
  return new Promise((resolve, reject) => {
    r.onsuccess = () => resolve(r.result);
    r.onerror = () => reject(r.error);
  });
}

function openDatabase() {
  return new Promise((resolve, reject) => {
    let created = false;
    const r = indexedDB.open(kPlace, 1);
    r.onupgradeneeded = (event) => {
      created = event.oldVersion === 0;
      r.result.createObjectStore(kValues);
    };
    r.onsuccess = () => resolve({db: r.result, created});
    r.onerror = () => reject(r.error);
    r.onblocked = () => reject(new Error('the database is blocked by another tab'));
  });
}

// The values an earlier page stored with IDBFS ([path, bytes]); none when it
// never stored any (and no empty database is left behind).
function readOldStore() {
  return new Promise((resolve, reject) => {
    const r = indexedDB.open(kOldDatabase);
    r.onupgradeneeded = () => r.transaction.abort();
    r.onerror = (event) => {
      event.preventDefault();
      if (r.error && r.error.name === 'AbortError') resolve([]);
      else reject(r.error);
    };
    r.onsuccess = () => {
      const old = r.result;
      if (!old.objectStoreNames.contains('FILE_DATA')) {
        old.close();
        resolve([]);
        return;
      }
      const out = [];
      const tx = old.transaction('FILE_DATA', 'readonly');
      const cursor = tx.objectStore('FILE_DATA').openCursor();
      cursor.onsuccess = () => {
        const c = cursor.result;
        if (!c) return;
        const key = String(c.key);
        if (key.startsWith(kDataDir + '/') && c.value && c.value.contents && !/\/\.~[^/]*$/.test(key))
          out.push([key.slice(kDataDir.length + 1), new Uint8Array(c.value.contents)]);
        c.continue();
      };
      tx.oncomplete = () => {
        old.close();
        resolve(out);
      };
      tx.onabort = () => {
        old.close();
        reject(tx.error);
      };
    };
  });
}

function writeAll(db, values) {
  return new Promise((resolve, reject) => {
    const tx = db.transaction(kValues, 'readwrite');
    const store = tx.objectStore(kValues);
    store.clear();
    for (const value of values) store.put(value[1], value[0]);
    tx.oncomplete = resolve;
    tx.onabort = () => reject(tx.error);
  });
}

// Reads the stored values into the data folder. Throws when they cannot be
// read; then nothing is written until a later read succeeds.
async function readStore() {
  const opened = await openDatabase();
  const db = opened.db, created = opened.created;
  try {
    if (created) await writeAll(db, await readOldStore());
    const tx = db.transaction(kValues, 'readonly');
    const store = tx.objectStore(kValues);
    const keys = await request(store.getAllKeys());
    const values = await request(store.getAll());
    for (let i = 0; i < keys.length; i++) {
      const path = kDataDir + '/' + keys[i];
      FS.mkdirTree(path.replace(/\/[^/]*$/, ''));
      FS.writeFile(path, new Uint8Array(values[i]));
    }
  } catch (error) {
    db.close();
    // A database made just now is made again, so that the next try carries
    // the earlier page's values over again.
    if (created) indexedDB.deleteDatabase(kPlace);
    throw error;
  }
  db.onclose = () => siteCleared();
  db.onversionchange = () => {
    db.close();
    siteCleared();
  };
  storage.db = db;
}

// The browser removed the site's data (the player cleared it): this tab stops
// writing, so the clearing holds, and says so once.
function siteCleared() {
  if (storage.lost) return;
  storage.lost = true;
  storage.writable = false;
  storage.db = null;
  tell('The browser removed the saved games of this site while Melvoria was open, so this tab stores ' +
       'nothing more. To keep what this tab holds, use Export saves; reloading starts afresh.',
       [['Export saves', exportSaves], ['OK']]);
}

function saveFailed(error) {
  console.error('melvoria: the browser did not store the data folder:', error);
  if (storage.failing || storage.lost) return;
  storage.failing = true;
  tell('Melvoria could not store your latest changes in this browser (' + describe(error) + '). The game ' +
       'goes on and tries again at its next change. To keep a copy, use Export saves.',
       [['Export saves', exportSaves], ['OK']]);
}

// The data folder's values: [path inside the folder, bytes].
function folderValues() {
  const out = [];
  const walk = (dir, prefix) => {
    for (const name of FS.readdir(dir)) {
      if (name === '.' || name === '..') continue;
      const mode = FS.stat(dir + '/' + name).mode;
      if (FS.isDir(mode)) walk(dir + '/' + name, prefix + name + '/');
      else if (FS.isFile(mode) && !name.startsWith('.~')) out.push([prefix + name, FS.readFile(dir + '/' + name)]);
    }
  };
  walk(kDataDir, '');
  return out;
}

function askPersistence() {
  if (storage.persistAsked) return;
  storage.persistAsked = true;
  // Kept through storage pressure: the browser may otherwise evict the saves.
  if (navigator.storage && navigator.storage.persist) {
    navigator.storage.persisted().then((kept) => kept || navigator.storage.persist()).catch(() => {});
  }
}

function settle() {
  if (storage.pending || storage.scheduled) return;
  for (const f of storage.settled.splice(0)) f();
}
// Resolves when every write begun so far has ended.
function writesEnded() {
  return new Promise((resolve) => {
    storage.settled.push(resolve);
    settle();
  });
}

function scheduleWrite() {
  if (storage.scheduled) return;
  storage.scheduled = true;
  queueMicrotask(writeFolder);  // once for all the values the program stores in this turn
}

function writeFolder() {
  storage.scheduled = false;
  if (!storage.writable) {
    settle();
    return;
  }
  askPersistence();
  let tx = null;
  try {
    tx = storage.db.transaction(kValues, 'readwrite');
    const store = tx.objectStore(kValues);
    store.clear();
    for (const value of folderValues()) store.put(value[1], value[0]);
  } catch (error) {
    try {
      if (tx) tx.abort();
    } catch (e) {
      // already ended
    }
    saveFailed(error);
    settle();
    return;
  }
  storage.pending++;
  tx.oncomplete = () => {
    storage.pending--;
    Module.storageSaves++;
    storage.failing = false;
    settle();
  };
  tx.onabort = () => {
    storage.pending--;
    saveFailed(tx.error || new Error('the write was cut off'));
    settle();
  };
}

// Whether a value written now can reach the browser's storage, as far as the
// page knows; when not, the registry's write reports it as a full disk does.
const storable = () => storage.writable && !storage.failing;

// ---- one tab per page ----------------------------------------------------------------

function lockRequest(ifAvailable) {
  return new Promise((resolve) => {
    navigator.locks.request(kPlace, ifAvailable ? {ifAvailable: true} : {}, (lock) => {
      if (!lock) {
        resolve(false);
        return null;
      }
      resolve(true);
      return new Promise((release) => (storage.releaseLock = release));
    }).catch(() => resolve(true));  // locks refused here (a sandboxed frame): play as the only tab
  });
}

function releaseLock() {
  storage.writable = false;
  if (storage.releaseLock) storage.releaseLock();
  storage.releaseLock = null;
}

// Resolves once this tab may play the page: at once when no other tab does, or
// after the player asked for the game here and the other tab let go of it.
async function claimPage() {
  if (!navigator.locks) return;
  const takeOver = sessionStorage.getItem(kTakeOver) !== null;
  sessionStorage.removeItem(kTakeOver);
  // A reloaded tab's own earlier page may still be letting go.
  for (let attempt = 0; attempt < 5; attempt++) {
    if (await lockRequest(true)) return;
    if (takeOver) break;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  if (!takeOver) {
    await tell('Melvoria is open in another tab of this browser. Play here instead? The other tab stores its ' +
               'game and stops.', [['Play here']]);
  }
  tell('Waiting for the other tab to store its game…', []);
  storage.channel = new BroadcastChannel(kPlace);
  storage.channel.postMessage('take over');
  const slow = setTimeout(() => tell('The other tab has not answered yet (a sleeping tab answers when it ' +
                                     'wakes). Closing it also lets this tab play.', []), 5000);
  await lockRequest(false);
  clearTimeout(slow);
  hideNote();
}

// Another tab asks for the game: store what the close box and the exit box
// would store, end the program, and let go once that is written.
async function handOver() {
  if (!storage.releaseLock || storage.moving) return;
  storage.moving = true;
  if (storage.running) {
    const ended = new Promise((resolve) => storage.ended.push(resolve));
    Module._melvoria_leave(1, 1);
    Module.wakeDevice();
    await ended;
  }
  await writesEnded();
  releaseLock();
  Module.canvas.style.visibility = 'hidden';
  const note = document.getElementById('note');
  if (note) note.hidden = true;
  tell('Melvoria moved to another tab of this browser, with this tab\'s game and settings.', [['Play here', () => {
    sessionStorage.setItem(kTakeOver, '1');
    location.reload();
  }]]);
}

// ---- the page goes out of sight -------------------------------------------------------

// The game stores what its close box stores and a game in progress, as soon as
// the page may not come back (a hidden tab may be discarded without another
// word). The message is handled, and the write begun, in this same task: the
// device's wait ends at once, and nothing on the way waits for a timer.
function storeForLater() {
  if (!storage.running || storage.moving || !runtimeInitialized) return;
  Module._melvoria_leave(1, 0);
  Module.wakeDevice();
}
document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'hidden') storeForLater();
});
window.addEventListener('pagehide', storeForLater);
document.addEventListener('freeze', storeForLater);

// Resolves when the program next waits with nothing to do (every message
// posted so far handled), or after a second (a scripted run never waits).
function programIdle() {
  if (!storage.running) return Promise.resolve();
  return new Promise((resolve) => {
    storage.idle.push(resolve);
    setTimeout(resolve, 1000);
    Module.wakeDevice();
  });
}
storage.idle = [];
let waiter = null;
Object.defineProperty(Module, 'melvoriaWaiter', {
  configurable: true,
  get: () => waiter,
  set: (f) => {
    waiter = f;
    if (f) for (const resolve of storage.idle.splice(0)) resolve();
  },
});

// ---- export and import -------------------------------------------------------------------

// An exported function of one string to one string, called at once. (ccall
// gives a promise of the program's end instead while the program waits, as it
// always does when the page's code runs.)
function callWithText(name, text) {
  const size = lengthBytesUTF8(text) + 1;
  const at = _malloc(size);
  stringToUTF8(text, at, size);
  try {
    return UTF8ToString(Module['_' + name](at));
  } finally {
    _free(at);
  }
}

function runtimeReady() {
  if (storage.mainCalled) return true;
  tell('The saves can be exported and imported once the game has started.');
  return false;
}

// The data folder as one saves file (saves_file.h), downloaded. A game in
// progress is stored first, so the file holds it too.
async function exportSaves() {
  if (!runtimeReady()) return;
  if (storage.running) {
    Module._melvoria_leave(1, 0);
    await programIdle();
  }
  const file = '/tmp/saves.melvoria';
  const error = callWithText('melvoria_export_saves', file);
  if (error) {
    tell('The saves could not be exported (' + error + ').');
    return;
  }
  const bytes = FS.readFile(file);
  FS.unlink(file);
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
  link.download = 'melvoria-saves-' + new Date().toISOString().slice(0, 10) + '.melvoria';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// A saves file replaces every stored value, then the page starts again with
// them. A file that is not a whole saves file changes nothing.
async function importSaves(file) {
  if (!runtimeReady()) return;
  const path = '/tmp/import.melvoria';
  FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
  const problem = callWithText('melvoria_check_saves', path);
  if (problem) {
    FS.unlink(path);
    tell(file.name + ' was not imported: ' + problem + '. Nothing has changed.');
    return;
  }
  if (!storage.writable || storage.lost) {
    FS.unlink(path);
    tell('This tab cannot store saves now, so ' + file.name + ' was not imported. Nothing has changed.');
    return;
  }
  if (!window.confirm('Replace the saves in this browser with those in ' + file.name + '? The game starts ' +
                      'again with them; what it holds now is not kept.')) {
    FS.unlink(path);
    return;
  }
  if (storage.running) {
    storage.moving = true;  // nothing more from the page's events
    const ended = new Promise((resolve) => storage.ended.push(resolve));
    Module._melvoria_leave(0, 1);
    Module.wakeDevice();
    await ended;
  }
  const error = callWithText('melvoria_import_saves', path);
  FS.unlink(path);
  scheduleWrite();
  await writesEnded();
  if (error || storage.failing) {
    tell('The saves could not all be stored (' + (error || 'the browser refused them') + '). Reload to see ' +
         'what the browser holds.', [['Reload', () => location.reload()]]);
    return;
  }
  location.reload();
}

// ---- start ---------------------------------------------------------------------------------

async function openStorage() {
  await claimPage();
  storage.channel = new BroadcastChannel(kPlace);
  storage.channel.onmessage = (event) => {
    if (event.data === 'take over') handOver();
  };
  for (;;) {
    try {
      await readStore();
      storage.writable = true;
      return;
    } catch (error) {
      console.error('melvoria: the stored data folder could not be read:', error);
      if (storage.moving) return new Promise(() => {});  // handed over meanwhile
      const choice = await tell('Melvoria could not read your saved games (' + describe(error) + '). They are ' +
                                'left as they are. Try again, or play without saving: nothing this tab does ' +
                                'is stored then.', [['Try again'], ['Play without saving']]);
      if (storage.moving) return new Promise(() => {});
      if (choice === 1) {
        storage.unread = true;
        tell('Playing without saving: your saved games could not be read, and nothing is stored. Reload to try ' +
             'again.', [['Reload', () => location.reload()], ['OK']]);
        return;
      }
    }
  }
}

const programEnd = Module.onProgramEnd;
Module.onProgramEnd = function () {
  storage.running = false;
  for (const resolve of storage.ended.splice(0)) resolve();
  // The hand-over or the import says what happens. Otherwise the tab keeps
  // the game (a reload plays on); another tab may still ask for it.
  if (!storage.moving && programEnd) programEnd.apply(this, arguments);
};

Module.noInitialRun = true;  // main() is called below, in a task of its own
Module.preRun = Module.preRun || [];
Module.preRun.push(() => {
  const params = new URLSearchParams(location.search);
  const variables = {screen: 'MELVORIA_SCREEN', dpi: 'MELVORIA_DPI', headless: 'MELVORIA_HEADLESS'};
  // (No destructuring in this file: Debian's emcc minifier mangles it.)
  for (const name of Object.keys(variables)) {
    if (params.has(name)) ENV[variables[name]] = params.get(name);
  }
  const script = params.get('script');
  if (script !== null) {
    FS.mkdirTree('/page');
    FS.writeFile('/page/page.script', script);
    ENV.MELVORIA_SCRIPT = '/page/page.script';
  }

  ENV.MELVORIA_DATA_DIR = kDataDir;
  FS.mkdir(kDataDir);
  addRunDependency('melvoria-data');
  // The page's part and then main() in tasks of their own (main's start,
  // web/page.cpp, hands the browser back now and then until the program first
  // waits).
  inNextTask(() => {
    pageUi();
    return openStorage();
  }).then(() => inNextTask(() => removeRunDependency('melvoria-data')))  // the runtime's start
    .then(() => inNextTask(() => {
      storage.mainCalled = true;
      callMain([]);
      storage.running = true;
    }));

  const inData = (path) => typeof path === 'string' && path.startsWith(kDataDir + '/');
  // A value renamed into place while the page knows it cannot be stored is
  // kept in memory (Export saves finds it), and the write reports "disk full"
  // (not while the player plays without saving: they chose it).
  const rename = FS.rename;
  FS.rename = function (from, to) {
    const result = rename.apply(this, arguments);
    if (inData(to)) {
      scheduleWrite();
      if (!storable() && storage.running && !storage.unread) throw new FS.ErrnoError(28);  // ENOSPC
    }
    return result;
  };
  const unlink = FS.unlink;
  FS.unlink = function (path) {
    const result = unlink.apply(this, arguments);
    if (inData(path)) scheduleWrite();
    return result;
  };
  // syncfs(false) writes the data folder now (tests, and code written for IDBFS).
  const syncfs = FS.syncfs;
  FS.syncfs = function (populate, callback) {
    if (typeof populate === 'function') {
      callback = populate;
      populate = false;
    }
    if (populate) return syncfs.call(this, populate, callback);
    scheduleWrite();
    writesEnded().then(() => callback(storable() ? null : new Error('the data folder was not stored')));
  };
});
