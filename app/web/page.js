// The page around the game. This module starts it: it checks that the
// browser can run the game, downloads the program's files once (code, art,
// chaser.js), starts the first game, and registers the service worker that
// keeps the site for offline play. The page's other jobs each have a module:
//
//   fit.js         the screen's size, the last frame kept, fullscreen
//   controls.js    keys kept from the page, the touch pad and buttons
//   games.js       each game's program, its end, what it leaves behind
//   switches.js    the address's switches and the files a game is given
//   recordings.js  saving, opening and dropping recordings
//   lines.js       the status line and the notes under the screen
//   test-hooks.js  what the page shows for tests and figures alone
//
// Each game is a fresh instance of the program made from the files this page
// downloaded: a page never mixes files of two builds, and a recording opened
// after a game starts at once.

import { note, showStartFailure, showStatus, startFailed } from './lines.js';
import { startFit, startFullscreen } from './fit.js';
import { startControls } from './controls.js';
import {
  configureGames, describeFailure, requestQuit, sendPad, startFirstGame, watchProgramListeners,
} from './games.js';
import { startRecordings } from './recordings.js';

// --- Loading -------------------------------------------------------------
//
// The art's bytes: the largest download after the code, which streams in
// beside it. Shown in steps of ten per cent: each change of the line costs a
// layout and a paint, which a slow phone feels.
const expectedBytes = Number(document.querySelector('meta[name="art-bytes"]')?.content) || 0;
let receivedBytes = 0;

function showProgress() {
  if (startFailed()) {
    return;
  }
  if (receivedBytes === 0) {
    showStatus('Loading…');
  } else if (expectedBytes > 0) {
    const tens = Math.min(10, Math.floor((10 * receivedBytes) / expectedBytes));
    showStatus('Loading… ' + 10 * tens + '%');
  } else {
    showStatus('Loading… ' + Math.round(receivedBytes / 1024) + ' KB');
  }
}

// Reads a response's body to its end, counting its bytes for the progress
// line; the whole body, or an error when it is shorter than the build wrote.
async function readCounting(response, name, expected) {
  const reader = response.body.getReader();
  const parts = [];
  let length = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) {
      break;
    }
    parts.push(value);
    length += value.byteLength;
    receivedBytes += value.byteLength;
    showProgress();
  }
  if (length < expected) {
    throw new Error(`${name} is cut short (${length} of ${expected} bytes)`);
  }
  const whole = new Uint8Array(length);
  let at = 0;
  for (const part of parts) {
    whole.set(part, at);
    at += part.byteLength;
  }
  return whole.buffer;
}

async function fetchOk(name) {
  let response;
  try {
    response = await fetch(name);
  } catch (error) {
    throw new Error(`${name} did not arrive (${error.message})`);
  }
  if (!response.ok) {
    throw new Error(name + ': HTTP ' + response.status);
  }
  return response;
}

async function compileProgram(name) {
  try {
    try {
      return await WebAssembly.compileStreaming(await fetchOk(name));
    } catch (error) {
      if (error instanceof WebAssembly.CompileError || !(error instanceof TypeError)) {
        throw error;
      }
      // A host that does not serve it as application/wasm: compiled whole.
      return await WebAssembly.compile(await (await fetchOk(name)).arrayBuffer());
    }
  } catch (error) {
    if (error instanceof WebAssembly.CompileError) {
      throw new Error(`${name} is damaged or cut short`);
    }
    throw error;
  }
}

function loadScript(name) {
  return new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = name;
    script.async = true;
    script.onload = resolve;
    script.onerror = () => reject(new Error(name + ' did not arrive'));
    document.head.append(script);
  });
}

// The first game's program is made once chaser.js and the art are here (the
// program takes the art as it is made), while the code may still be
// compiling: it is instantiated when it is.
function load() {
  const program = compileProgram('chaser.wasm');
  program.catch(() => {});  // said by the first game, which waits for it
  let art = null;
  let artTaken = false;
  configureGames({
    instantiate: (imports) =>
      program.then(async (compiled) => [await WebAssembly.instantiate(compiled, imports), compiled]),
    // The art, as the program would have downloaded it: the first game takes
    // the buffer itself, later ones a copy each, as the program's file
    // system may keep the buffer it is handed.
    art: () => {
      const bytes = artTaken ? art.slice(0) : art;
      artTaken = true;
      return bytes;
    },
  });
  const artRead = fetchOk('chaser.data').then((response) => readCounting(response, 'chaser.data', expectedBytes));
  Promise.all([loadScript('chaser.js'), artRead]).then(([, bytes]) => {
    art = bytes;
    if (typeof window.Chaser !== 'function') {
      throw new Error('chaser.js is damaged or cut short');
    }
    startFirstGame();
  }).catch((error) => showStartFailure(describeFailure(error)));
  Promise.all([program, artRead]).then(registerWorker, () => {});
}

// --- Offline, and new versions -------------------------------------------
//
// sw.js keeps this build's files in a cache named by its version, so the page
// opens and plays without the network, and can be installed. It is
// registered once the game has what it needs, so its own downloads never
// slow the first game's. A page without it plays as well.
//
// A new version installs beside the one in use and waits until no page runs
// the old one (a reload keeps the old one too): a page open keeps playing its
// own, and says once, quietly, that the page opened afresh runs the new one.
// Every page is served by one version
// from its start to its end, never a new file beside an old one.

function registerWorker() {
  if ('serviceWorker' in navigator) {
    navigator.serviceWorker.register('sw.js').then(watchVersions, () => {});
  }
}

function watchVersions(registration) {
  if (!registration) {
    return;  // a browser that lets the page have no worker
  }
  const ready = () => note('A new version is ready: close this page and open it again to play it.');
  registration.addEventListener('updatefound', () => {
    const worker = registration.installing;
    worker?.addEventListener('statechange', () => {
      if (worker.state === 'installed' && navigator.serviceWorker.controller) {
        ready();
      }
    });
  });
}

// --- Start ---------------------------------------------------------------

startFit();
startFullscreen();
startControls({ onPad: sendPad, onQuit: requestQuit });
startRecordings();
document.getElementById('again').addEventListener('click', () => window.location.reload());
// Every listener of the page's own is on the document by now.
watchProgramListeners();
showProgress();
if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
  showStartFailure('The game cannot start: this browser has no WebAssembly.');
} else {
  load();
}
