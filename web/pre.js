// Runs inside the program's JavaScript before main(): the environment from the
// page's address, the data folder kept in the browser's IndexedDB, and the
// wake-up of the device's waits.
//
// Address parameters: screen=WxH, dpi=N, headless=0|1 (the MELVORIA_ variables),
// script=TEXT (a script run as MELVORIA_SCRIPT; lines separated by newlines,
// %0A in the address).

const kDataDir = '/melvoria';

// Ends the device's running wait (desktop_web.cpp), or, when it runs, makes
// its next wait return at once.
Module.wakeDevice = function () {
  if (Module.melvoriaWaiter) Module.melvoriaWaiter();
  else Module.melvoriaPending = true;
};

// The data folder is written to IndexedDB after every change that completes a
// value: the registry writes a temporary file and renames it over the value,
// or removes a value. One sync copies every changed file in one transaction,
// so the stored set is always one the program wrote.
let storageSyncing = false;
let storageAgain = false;
Module.storageSaves = 0;
Module.storageBusy = () => storageSyncing || storageAgain;
function persistData() {
  if (storageSyncing) {
    storageAgain = true;
    return;
  }
  storageSyncing = true;
  FS.syncfs(false, (error) => {
    storageSyncing = false;
    if (error) console.error('melvoria: the browser did not store the data folder:', error);
    else Module.storageSaves++;
    if (storageAgain) {
      storageAgain = false;
      persistData();
    }
  });
}
const inData = (path) => typeof path === 'string' && path.startsWith(kDataDir + '/');

Module.preRun = Module.preRun || [];
Module.preRun.push(() => {
  const params = new URLSearchParams(location.search);
  const variables = {screen: 'MELVORIA_SCREEN', dpi: 'MELVORIA_DPI', headless: 'MELVORIA_HEADLESS'};
  // (No destructuring here: Debian's emcc minifier mangles it.)
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
  FS.mount(IDBFS, {}, kDataDir);
  addRunDependency('melvoria-data');
  FS.syncfs(true, (error) => {
    if (error) console.error('melvoria: the stored data folder could not be read:', error);
    removeRunDependency('melvoria-data');
  });
  const rename = FS.rename;
  FS.rename = function (from, to) {
    const result = rename.apply(this, arguments);
    if (inData(to)) persistData();
    return result;
  };
  const unlink = FS.unlink;
  FS.unlink = function (path) {
    const result = unlink.apply(this, arguments);
    if (inData(path)) persistData();
    return result;
  };
});
