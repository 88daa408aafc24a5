// Games: each one a fresh program (chaser.js's factory, `Chaser`) made from
// the code and art the page downloaded once, the address's switches it runs
// with, what the page shows when it ends, and what it leaves behind: its
// recording to save, and nothing else. While a game runs and is seen, the
// screen is kept awake.

import { showStartFailure, showStatus } from './lines.js';
import { canvas } from './fit.js';
import { padDirections } from './controls.js';
import { addressReplay, kDigestFile, kRecordFile, setSwitches, wantsDigests } from './switches.js';
import * as hooks from './test-hooks.js';

const ended = document.getElementById('ended');
const endedText = document.getElementById('ended-text');
const endedReason = document.getElementById('ended-reason');
const againButton = document.getElementById('again');
const saveButton = document.getElementById('save-recording');
const digestsBlock = document.getElementById('digests');

// --- Games -------------------------------------------------------------------

let loader = null;     // { instantiate(imports), art() }: the program's files
let game = null;       // the game running, or the last one
let queued = null;     // a recording to play once the game running has ended
let awaited = false;   // a recording is being read: it plays next
let readFailure = '';  // why the last recording opened could not be read
let recording = null;  // the last game's recording: { bytes, started }
let lastStatus = null; // and how it ended

let begun = false;       // the page has started its first game
let firstReplay = null;  // a recording opened before that

export const lastRecording = () => recording;

// The page's first game, once the program's files are here: a recording
// opened meanwhile, or the address's.
export function startFirstGame() {
  begun = true;
  startGame(firstReplay ?? (addressReplay === null ? null : { url: addressReplay }), true);
}

export function configureGames(programFiles) {
  loader = programFiles;
}

// Each game's program adds listeners on the document that it never removes
// (emscripten's browser support, at every program's start), which would keep
// every finished game's memory. The page's own are all added before the
// first game: any added later are the running game's, removed at its end.
const addToDocument = document.addEventListener;
export function watchProgramListeners() {
  document.addEventListener = function (type, listener, options) {
    if (game !== null && game.running) {
      game.listeners.push([type, listener, options]);
    }
    return addToDocument.call(this, type, listener, options);
  };
}

export function sendPad(directions) {
  if (game && game.ready && game.running) {
    const { up, down, left, right } = directions;
    game.module._dxsdlSetTouchPad(up ? 1 : 0, down ? 1 : 0, left ? 1 : 0, right ? 1 : 0);
  }
}

export function requestQuit() {
  if (!game || !game.running) {
    return;
  }
  if (game.ready) {
    game.module._dxsdlRequestQuit();
  } else {
    game.quitWhenReady = true;
  }
}

// Clears what the last game left on the page, before the next one starts.
export function clearEnd() {
  hooks.clearEnd();
  ended.hidden = true;
  saveButton.hidden = true;
  digestsBlock.hidden = true;
  digestsBlock.textContent = '';
}

// status is the program's exit status, or null when it stopped without one.
// A recording that could not be read while the game ended is what is said.
function showEnd(status, reason) {
  hooks.markEnd(status);
  if (readFailure !== '') {
    endedText.textContent = 'The recording could not be read.';
    endedReason.textContent = readFailure;
  } else {
    endedText.textContent = status === 0 ? 'The game ended (status 0).'
      : status === null ? 'The game stopped.' : 'The game could not go on (status ' + status + ').';
    endedReason.textContent = reason;
  }
  saveButton.hidden = recording === null;
  ended.hidden = false;
  showStatus('');
  againButton.focus();
}

// A game from the start: firstGame is the page's first (whose failure to
// start is the page's failure to start).
function startGame(replay, firstGame = false) {
  clearEnd();
  readFailure = '';
  const current = {
    module: null,
    running: true,
    ready: false,
    quitWhenReady: false,
    started: new Date(),
    errors: [],     // what the game wrote to its error output
    listeners: [],  // what its program added on the document
  };
  const failedStart = (error) => {
    if (firstGame && !current.ready) {
      showStartFailure(describeFailure(error));
      current.running = false;
    } else {
      gameEnded(current, null, describeFailure(error));
    }
  };
  const module = {
    canvas: canvas,
    print: (line) => console.log(line),
    printErr: (line) => {
      current.errors.push(line);
      console.warn(line);
    },
    setStatus: (text) => {
      if (current === game && current.running) {
        showStatus(text === '' ? '' : 'Starting…');
      }
    },
    instantiateWasm: (imports, receive) => {
      loader.instantiate(imports).then(([instance, program]) => receive(instance, program), failedStart);
      return {};
    },
    getPreloadedPackage: () => loader.art(),
    preRun: [() => setSwitches(module, replay)],
    onRuntimeInitialized: () => {
      current.ready = true;
      sendPad(padDirections());
      holdScreenAwake();
      if (current.quitWhenReady) {
        module._dxsdlRequestQuit();
      }
    },
    onExit: (status) => gameEnded(current, status, status === 0 ? '' : current.errors.join('\n')),
    onAbort: (what) => gameEnded(current, null, [...current.errors, String(what)].join('\n')),
  };
  current.module = module;
  game = current;
  hooks.showProgram(module);
  try {
    // The program's promise fails only with an abort, reported by onAbort.
    window.Chaser(module).catch?.(() => {});
  } catch (error) {
    failedStart(error);
  }
}

// Why a program could not be made, in one line.
export function describeFailure(error) {
  if (error instanceof RangeError || /memory/i.test(error?.message ?? '')) {
    return 'The game cannot start: the browser cannot give it the memory it needs.';
  }
  return 'The game could not be loaded: ' + (error?.message ?? String(error));
}

function gameEnded(current, status, reason) {
  if (!current.running) {
    return;
  }
  current.running = false;
  const module = current.module;
  current.module = null;
  for (const [type, listener, options] of current.listeners) {
    document.removeEventListener(type, listener, options);
  }
  current.listeners = [];
  hooks.showProgram(null);
  letScreenSleep();
  // Its recording stays savable whatever comes next, until another game ends.
  recording = null;
  try {
    recording = { bytes: module.FS.readFile(kRecordFile), started: current.started };
  } catch {
    // no recording: the game did not start
  }
  if (wantsDigests) {
    try {
      digestsBlock.textContent = module.FS.readFile(kDigestFile, { encoding: 'utf8' });
    } catch {
      digestsBlock.textContent = '';
    }
  }
  lastStatus = status;
  if (queued !== null) {
    // Ended for a recording opened meanwhile: that one starts, once this
    // program has finished ending; this one's end is not shown.
    const replay = queued;
    queued = null;
    setTimeout(() => startGame(replay), 0);
    return;
  }
  if (awaited) {
    return;  // ended for a recording still being read, which starts next
  }
  digestsBlock.hidden = !wantsDigests;
  showEnd(status, reason);
}

// --- Recordings to play ------------------------------------------------------

// A recording is being read (to play it, or fail): the game running ends now,
// not once the file is read, as a game that runs unpaced leaves the page
// little time to read it.
export function awaitRecording() {
  clearEnd();
  awaited = true;
  requestQuit();
}

export function playRecording(replay) {
  awaited = false;
  if (!begun) {
    firstReplay = replay;
  } else if (game && game.running) {
    queued = replay;
    requestQuit();
  } else {
    startGame(replay);
  }
}

// The recording awaited could not be read: said in place of the end of the
// game it ended, which stays savable, or at once when no game runs.
export function recordingUnreadable(text) {
  awaited = false;
  readFailure = text;
  if (!(game && game.running)) {
    showEnd(lastStatus, '');
  }
}

// --- The screen kept awake ---------------------------------------------------
//
// While a game runs and the page is seen (a hidden page loses its lock, so it
// is taken again when seen), and let go at the game's end. Without the API,
// or refused it, the game plays on.

let wakeLock = null;

async function holdScreenAwake() {
  if (!navigator.wakeLock || document.hidden || wakeLock !== null || !(game && game.running)) {
    return;
  }
  wakeLock = 'asking';
  try {
    const lock = await navigator.wakeLock.request('screen');
    if (wakeLock === 'asking' && game && game.running) {
      wakeLock = lock;
      lock.addEventListener('release', () => {
        if (wakeLock === lock) {
          wakeLock = null;
        }
      });
      return;
    }
    lock.release().catch(() => {});
  } catch {
    // refused: the game plays on
  }
  if (wakeLock === 'asking') {
    wakeLock = null;
  }
}

function letScreenSleep() {
  if (wakeLock !== null && wakeLock !== 'asking') {
    wakeLock.release().catch(() => {});
  }
  wakeLock = null;
}

document.addEventListener('visibilitychange', () => {
  if (!document.hidden) {
    holdScreenAwake();
  }
});
