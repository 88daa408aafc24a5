// The page around the game: loading progress, whole-factor scaling,
// fullscreen, keys kept from the page, and what the page says when the game
// ends. chaser.js reads its settings from `Module`, defined here before it.
'use strict';

(function () {
  const screenWidth = 640;
  const screenHeight = 480;
  const stage = document.getElementById('stage');
  const canvas = document.getElementById('canvas');
  const statusLine = document.getElementById('status');
  const ended = document.getElementById('ended');
  const endedText = document.getElementById('ended-text');
  const endedReason = document.getElementById('ended-reason');
  const fullscreenButton = document.getElementById('fullscreen');
  const againButton = document.getElementById('again');
  // What the game wrote to its error output, to show if it cannot start.
  const errorLines = [];

  // The largest whole factor of device pixels that fits the stage, so every
  // screen pixel is a square of whole device pixels; shrunk to fit (still in
  // proportion) only when even one to one does not.
  function scaleScreen() {
    if (!canvas) {
      return;
    }
    const ratio = window.devicePixelRatio || 1;
    const width = stage.clientWidth * ratio;
    const height = stage.clientHeight * ratio;
    let factor = Math.floor(Math.min(width / screenWidth, height / screenHeight));
    if (factor < 1) {
      factor = Math.min(width / screenWidth, height / screenHeight);
    }
    canvas.style.width = (screenWidth * factor) / ratio + 'px';
    canvas.style.height = (screenHeight * factor) / ratio + 'px';
  }
  new ResizeObserver(scaleScreen).observe(stage);
  window.addEventListener('resize', scaleScreen);

  function toggleFullscreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().catch(() => {});
    }
    if (canvas) {
      canvas.focus();
    }
  }
  fullscreenButton.addEventListener('click', toggleFullscreen);
  document.addEventListener('fullscreenchange', scaleScreen);

  // The game's keys never scroll or steer the page. The game itself reads
  // them from the window, where these do not stop them.
  function isGameKey(event) {
    return event.code.startsWith('Arrow') || event.code.startsWith('Numpad') ||
           event.code === 'Escape' || event.code === 'Space' ||
           event.code === 'PageUp' || event.code === 'PageDown' ||
           event.code === 'Home' || event.code === 'End';
  }
  window.addEventListener('keydown', (event) => {
    if (event.altKey && (event.code === 'Enter' || event.code === 'NumpadEnter')) {
      event.preventDefault();
      if (!event.repeat) {
        toggleFullscreen();
      }
    } else if (isGameKey(event)) {
      event.preventDefault();
    }
  }, true);
  window.addEventListener('keyup', (event) => {
    if (isGameKey(event)) {
      event.preventDefault();
    }
  }, true);
  if (canvas) {
    canvas.addEventListener('contextmenu', (event) => event.preventDefault());
    stage.addEventListener('mousedown', () => canvas.focus());
    canvas.focus();
  }

  function showStatus(text) {
    statusLine.textContent = text;
  }

  // status is the program's exit status, or null when it stopped without one.
  function showEnd(status, reason) {
    document.body.dataset.exitStatus = status === null ? 'none' : String(status);
    if (status === 0) {
      endedText.textContent = 'The game ended (status 0).';
    } else if (status === null) {
      endedText.textContent = 'The game stopped.';
    } else {
      endedText.textContent = 'The game could not go on (status ' + status + ').';
    }
    endedReason.textContent = reason;
    ended.hidden = false;
    showStatus('');
    againButton.focus();
  }
  againButton.addEventListener('click', () => window.location.reload());

  window.Module = {
    canvas: canvas,
    print: (line) => console.log(line),
    printErr: (line) => {
      errorLines.push(line);
      console.warn(line);
    },
    // The packed art and the code arrive with progress reports of the form
    // "Downloading data... (loaded/total)".
    setStatus: (text) => {
      const progress = /\((\d+(?:\.\d+)?)\/(\d+)\)/.exec(text);
      if (progress) {
        const percent = Math.floor((100 * Number(progress[1])) / Math.max(1, Number(progress[2])));
        showStatus('Loading… ' + percent + '%');
      } else if (text === '') {
        showStatus('');
      } else {
        showStatus('Loading…');
      }
    },
    onExit: (status) => {
      showDigests();
      showEnd(status, status === 0 ? '' : errorLines.join('\n'));
      document.title = 'ended ' + status;
    },
    onAbort: (what) => {
      showDigests();
      showEnd(null, [...errorLines, String(what)].join('\n'));
      document.title = 'ended none';
    },
    preRun: [setReplaySwitches],
  };

  // index.html?replay=URL&digests=1&unpaced=1 plays a recorded session from
  // the same site instead of the keys, writes a digest of every frame shown
  // and runs as fast as it can; the digests appear in <pre id="digests"> when
  // the game ends, line for line as the program wrote them.
  const query = new URLSearchParams(window.location.search);
  const replayFile = '/session.replay';
  const digestFile = '/session.digests';
  const wantsDigests = query.get('digests') === '1';

  function setReplaySwitches() {
    const module = window.Module;
    if (wantsDigests) {
      module.ENV.DXLIBDLL_DIGESTS = digestFile;
    }
    if (query.get('unpaced') === '1') {
      module.ENV.DXLIBDLL_UNPACED = '1';
    }
    const replay = query.get('replay');
    if (replay === null) {
      return;
    }
    // Only from this site: a page address cannot make the game fetch from elsewhere.
    const source = new URL(replay, window.location.href);
    if (source.origin !== window.location.origin) {
      errorLines.push('The replay must come from this site: ' + replay);
      module.ENV.DXLIBDLL_REPLAY = replayFile;
      return;
    }
    module.addRunDependency('replay');
    fetch(source).then((response) => {
      if (!response.ok) {
        throw new Error('HTTP ' + response.status);
      }
      return response.arrayBuffer();
    }).then((body) => {
      module.FS.writeFile(replayFile, new Uint8Array(body));
    }).catch((error) => {
      // No file written: the game reports the replay it cannot open and ends.
      errorLines.push('Could not fetch the replay ' + replay + ': ' + error.message);
    }).finally(() => {
      module.ENV.DXLIBDLL_REPLAY = replayFile;
      module.removeRunDependency('replay');
    });
  }

  function showDigests() {
    if (!wantsDigests) {
      return;
    }
    const digests = document.getElementById('digests');
    try {
      digests.textContent = window.Module.FS.readFile(digestFile, { encoding: 'utf8' });
    } catch {
      digests.textContent = '';
    }
    digests.hidden = false;
  }

  // The program's end unwinds the game's stack by throwing emscripten's
  // ExitStatus out of the browser's callback: that is the normal end of the
  // game, reported above, not an error of the page.
  const isExit = (value) => value !== null && typeof value === 'object' && value.name === 'ExitStatus';
  window.addEventListener('error', (event) => {
    if (isExit(event.error)) {
      event.preventDefault();
    }
  });
  window.addEventListener('unhandledrejection', (event) => {
    if (isExit(event.reason)) {
      event.preventDefault();
    }
  });
  scaleScreen();
})();
