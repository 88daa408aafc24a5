// The page around the game: loading, the screen's size, fullscreen, keys kept
// from the page, the touch pad and buttons, every game's recording (saved
// when it ends; a recording opened or dropped plays in its place), what the
// page says when a game ends, and the service worker that keeps the site for
// offline play.
//
// Each game is a fresh instance of the program (chaser.js, built as a
// factory, `Chaser`), made from the code and art this page downloaded once:
// a page never mixes files of two builds, and a recording opened after a game
// starts at once.
'use strict';

(function () {
  const kScreenWidth = 640;
  const kScreenHeight = 480;
  // A whole factor is used when it fills at least this share of the side
  // that limits the picture; otherwise the largest sharp fit.
  const kWholeFactorShare = 0.85;
  // Pad 1's direction bits, as the library reads them.
  const kDown = 1;
  const kLeft = 2;
  const kRight = 4;
  const kUp = 8;

  const body = document.body;
  const stage = document.getElementById('stage');
  const screenArea = document.getElementById('screen');
  const picture = document.getElementById('picture');
  const canvas = document.getElementById('canvas');
  const statusLine = document.getElementById('status');
  const ended = document.getElementById('ended');
  const endedText = document.getElementById('ended-text');
  const endedReason = document.getElementById('ended-reason');
  const againButton = document.getElementById('again');
  const saveButton = document.getElementById('save-recording');
  const openInput = document.getElementById('open-recording');
  const digestsBlock = document.getElementById('digests');
  const pad = document.getElementById('touch-pad');
  const quitButton = document.getElementById('touch-quit');

  // The address's switches, for every game of this page:
  // index.html?replay=URL&digests=1&unpaced=1 plays a recording from the same
  // site instead of the keys, writes a digest of every frame shown (shown in
  // <pre id="digests"> when the game ends, line for line as the program wrote
  // them) and runs as fast as it can. A recording opened in the page takes
  // digests and unpaced from the address too.
  const query = new URLSearchParams(window.location.search);
  const wantsDigests = query.get('digests') === '1';
  const unpaced = query.get('unpaced') === '1';
  const addressReplay = query.get('replay');
  // Files in each game's own file system.
  const kRecordFile = '/session-recorded.replay';
  const kDigestFile = '/session.digests';
  const kFetchedReplay = '/session.replay';
  const kOpenedDirectory = '/recordings';

  function showStatus(text) {
    // Only a change: each one costs the page a layout and a paint.
    if (statusLine.textContent !== text) {
      statusLine.textContent = text;
    }
  }
  // --- Loading -----------------------------------------------------------
  //
  // First of all, so nothing of the page's own setting up delays them: the
  // code, compiled as it arrives (and kept compiled by the browser for the
  // next visit), the art, and chaser.js.

  // The art's bytes: the largest download after the code, which streams in
  // beside it. Shown in steps of ten per cent: each change of the line costs
  // a layout and a paint, which a slow phone feels.
  const expectedBytes = Number(document.querySelector('meta[name="art-bytes"]')?.content) || 0;
  let receivedBytes = 0;

  function showProgress() {
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
  // line; the whole body.
  async function readCounting(response) {
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
    const whole = new Uint8Array(length);
    let at = 0;
    for (const part of parts) {
      whole.set(part, at);
      at += part.byteLength;
    }
    return whole.buffer;
  }

  async function fetchOk(name) {
    const response = await fetch(name);
    if (!response.ok) {
      throw new Error(name + ': HTTP ' + response.status);
    }
    return response;
  }

  async function compileProgram(name) {
    const response = await fetchOk(name);
    try {
      return await WebAssembly.compileStreaming(response);
    } catch {
      // A host that does not serve it as application/wasm: compiled whole.
      return WebAssembly.compile(await (await fetchOk(name)).arrayBuffer());
    }
  }

  function loadScript(name) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = name;
      script.async = true;
      script.onload = resolve;
      script.onerror = () => reject(new Error('cannot load ' + name));
      document.head.append(script);
    });
  }

  // The first game's program is made once chaser.js and the art are here
  // (the program takes the art as it is made), while the code may still be
  // compiling: it is instantiated when it is.
  const assets = { program: null, art: null, artTaken: false };
  const programReady = compileProgram('chaser.wasm').then((program) => {
    assets.program = program;
  });
  const artReady = fetchOk('chaser.data').then((response) => readCounting(response)).then((art) => {
    assets.art = art;
  });
  const scriptReady = loadScript('chaser.js');

  // --- The screen's size -------------------------------------------------
  //
  // Sizes are worked out in device pixels. A whole factor k shows every
  // screen pixel as a k × k square of device pixels. When no whole factor
  // fills 85 % of the limiting side, the picture takes the whole fit: the
  // screen is enlarged by the next whole factor above with sharp pixels
  // (drawn into a second canvas, `view`), which the browser then reduces
  // smoothly to the fit, so pixels stay even and edges blur by at most one
  // device pixel. Below one to one it is reduced smoothly from the screen
  // itself.

  let view = null;
  let viewContext = null;
  let viewFactor = 0;  // 0: the game's canvas is shown itself
  let viewShown = 0;   // the factor the view is made for, 0 while it is not shown
  let framePut = false;  // the game's canvas holds a frame

  // The view at the factor chosen, drawn from the game's canvas. It is made
  // at the game's first frame, not before: until then there is nothing to
  // show, and a large canvas costs a slow phone's start.
  function drawView() {
    if (viewFactor !== viewShown) {
      showView();
    }
    // A game that has ended leaves its canvas without pixels: the view
    // keeps its last frame.
    if (viewShown !== 0 && canvas.width > 0 && canvas.height > 0) {
      viewContext.drawImage(canvas, 0, 0, view.width, view.height);
    }
  }

  function showView() {
    if (viewFactor === 0) {
      if (view !== null) {
        view.hidden = true;
        view.width = 0;
        view.height = 0;
      }
      viewShown = 0;
      return;
    }
    if (view === null) {
      view = document.createElement('canvas');
      view.id = 'view';
      view.setAttribute('aria-hidden', 'true');
      picture.append(view);
    }
    view.width = kScreenWidth * viewFactor;
    view.height = kScreenHeight * viewFactor;
    viewContext = view.getContext('2d');
    viewContext.imageSmoothingEnabled = false;
    view.hidden = false;
    viewShown = viewFactor;
  }

  function useView(factor) {
    viewFactor = factor;
    if (framePut || factor === 0) {
      drawView();
    }
  }

  function fitScreen() {
    if (!canvas) {
      return;
    }
    const ratio = window.devicePixelRatio || 1;
    const box = screenArea.getBoundingClientRect();
    let fit = Math.min((box.width * ratio) / kScreenWidth, (box.height * ratio) / kScreenHeight);
    if (!(fit > 0)) {
      return;
    }
    // Sizes measured in fractions of a pixel: a hair under a whole factor is it.
    if (Math.abs(fit - Math.round(fit)) < 1e-6) {
      fit = Math.round(fit);
    }
    const whole = Math.floor(fit);
    let width;
    let height;
    if (whole >= 1 && whole >= kWholeFactorShare * fit) {
      width = kScreenWidth * whole;
      height = kScreenHeight * whole;
      canvas.classList.remove('smooth');
      useView(0);
      body.dataset.fit = 'whole ' + whole;
    } else {
      width = Math.floor(kScreenWidth * fit);
      height = Math.floor(kScreenHeight * fit);
      const above = Math.ceil(fit);
      canvas.classList.toggle('smooth', above <= 1);
      useView(above <= 1 ? 0 : above);
      body.dataset.fit = 'reduced from ' + Math.max(1, above);
    }
    canvas.style.width = width / ratio + 'px';
    canvas.style.height = height / ratio + 'px';
  }

  if (canvas) {
    // The view follows every frame the game puts on its canvas (through
    // SDL's putImageData on the canvas's one 2D context).
    const gameContext = canvas.getContext('2d');
    const putImageData = gameContext.putImageData;
    gameContext.putImageData = function (...args) {
      const result = putImageData.apply(this, args);
      framePut = true;
      drawView();
      return result;
    };
    new ResizeObserver(fitScreen).observe(screenArea);
    window.addEventListener('resize', fitScreen);
    window.addEventListener('orientationchange', fitScreen);
    // A change of device pixel ratio (zoom, another monitor) moves no box.
    const watchRatio = () => {
      matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`)
        .addEventListener('change', () => {
          fitScreen();
          watchRatio();
        }, { once: true });
    };
    watchRatio();
  }

  // --- Fullscreen --------------------------------------------------------

  const canFullscreen = Boolean(document.fullscreenEnabled || document.webkitFullscreenEnabled);
  body.classList.toggle('no-fullscreen', !canFullscreen);

  function toggleFullscreen() {
    const current = document.fullscreenElement || document.webkitFullscreenElement;
    if (current) {
      (document.exitFullscreen || document.webkitExitFullscreen).call(document)?.catch?.(() => {});
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().catch(() => {});
    } else if (stage.webkitRequestFullscreen) {
      stage.webkitRequestFullscreen();
    }
    if (canvas) {
      canvas.focus();
    }
  }
  // A finger lifted on the button toggles at once (a tap while another finger
  // holds the pad makes no click); the click that may follow is not a second.
  let fingerToggledAt = -Infinity;
  for (const button of document.querySelectorAll('.fullscreen')) {
    button.addEventListener('pointerup', (event) => {
      if (event.pointerType !== 'mouse' && isOver(button, event)) {
        fingerToggledAt = event.timeStamp;
        toggleFullscreen();
      }
    });
    button.addEventListener('click', (event) => {
      if (event.timeStamp - fingerToggledAt > 800) {
        toggleFullscreen();
      }
    });
  }
  document.addEventListener('fullscreenchange', fitScreen);

  function isOver(element, event) {
    const box = element.getBoundingClientRect();
    return event.clientX >= box.left && event.clientX <= box.right &&
           event.clientY >= box.top && event.clientY <= box.bottom;
  }

  // --- Keys --------------------------------------------------------------

  // The game's keys never scroll or steer the page. The game itself reads
  // them from the window, where these do not stop them.
  function isGameKey(event) {
    return event.code.startsWith('Arrow') || event.code.startsWith('Numpad') ||
           event.code === 'Escape' || event.code === 'Space' ||
           event.code === 'PageUp' || event.code === 'PageDown' ||
           event.code === 'Home' || event.code === 'End';
  }
  window.addEventListener('keydown', (event) => {
    // Keys in use: the touch controls step aside until the next touch.
    showTouchControls(false);
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
    stage.addEventListener('mousedown', () => canvas.focus());
    canvas.focus();
  }

  // --- Touch -------------------------------------------------------------
  //
  // The pad and buttons show on touch screens: where the pointer is coarse,
  // and at any touch. A key or a game pad's button hides them until the next
  // touch. The pad's direction is where the finger lies from its centre, in
  // eight directions with a small dead zone in the middle; the finger that
  // came down last steers. The library takes the bits as pad 1's.

  let touchShown = false;
  let padsSeen = false;  // the browser has shown the page a game pad
  let padWatch = 0;

  function showTouchControls(shown) {
    if (shown === touchShown) {
      return;
    }
    touchShown = shown;
    body.classList.toggle('touch', shown);
    if (!shown) {
      releasePad();
    }
    watchPads();
  }

  // A press on a game pad the browser has shown the page already: it tells
  // of none, so such pads are looked at while the touch controls show.
  function watchPads() {
    clearInterval(padWatch);
    if (touchShown && padsSeen) {
      padWatch = setInterval(() => {
        for (const gamepad of navigator.getGamepads()) {
          // Sticks only on the standard mapping: other pads may report
          // triggers at rest as axes at one end.
          if (gamepad && (gamepad.buttons.some((b) => b.pressed) ||
                          (gamepad.mapping === 'standard' && gamepad.axes.some((a) => Math.abs(a) > 0.5)))) {
            showTouchControls(false);
            return;
          }
        }
      }, 200);
    }
  }
  window.addEventListener('pointerdown', (event) => {
    if (event.pointerType === 'touch' || event.pointerType === 'pen') {
      showTouchControls(true);
    }
  }, true);
  window.addEventListener('touchstart', () => showTouchControls(true), { capture: true, passive: true });
  window.addEventListener('gamepadconnected', () => {
    padsSeen = true;
    showTouchControls(false);
  });

  const kSectorBits = [kRight, kRight | kDown, kDown, kDown | kLeft, kLeft, kLeft | kUp, kUp, kUp | kRight];
  const fingers = new Map();  // pointer id → direction bits, in the order they came down
  let padBits = 0;

  function directionAt(event) {
    const box = pad.getBoundingClientRect();
    const dx = event.clientX - (box.left + box.width / 2);
    const dy = event.clientY - (box.top + box.height / 2);
    const deadZone = 0.2 * (box.width / 2);
    if (dx * dx + dy * dy <= deadZone * deadZone) {
      return 0;
    }
    // Eighths of a turn from the right, clockwise (y grows downwards).
    return kSectorBits[Math.round(Math.atan2(dy, dx) / (Math.PI / 4)) & 7];
  }

  function setPadBits(bits) {
    if (bits === padBits) {
      return;
    }
    padBits = bits;
    const held = [];
    if (bits & kUp) held.push('up');
    if (bits & kDown) held.push('down');
    if (bits & kLeft) held.push('left');
    if (bits & kRight) held.push('right');
    pad.dataset.held = held.join(' ');
    sendPad();
  }

  function steer() {
    let bits = 0;
    for (const fingerBits of fingers.values()) {
      bits = fingerBits;  // the last finger down
    }
    setPadBits(bits);
  }

  function releasePad() {
    fingers.clear();
    setPadBits(0);
  }

  pad.addEventListener('pointerdown', (event) => {
    event.preventDefault();
    try {
      pad.setPointerCapture(event.pointerId);
    } catch {
      // a pointer already gone
    }
    fingers.delete(event.pointerId);
    fingers.set(event.pointerId, directionAt(event));
    steer();
  });
  pad.addEventListener('pointermove', (event) => {
    if (fingers.has(event.pointerId)) {
      fingers.set(event.pointerId, directionAt(event));
      steer();
    }
  });
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
    pad.addEventListener(type, (event) => {
      if (fingers.delete(event.pointerId)) {
        steer();
      }
    });
  }
  // Safari begins a selection or a callout from a touch it was not told to keep.
  pad.addEventListener('touchstart', (event) => event.preventDefault(), { passive: false });
  window.addEventListener('blur', releasePad);
  window.addEventListener('pagehide', releasePad);
  document.addEventListener('visibilitychange', () => {
    if (document.hidden) {
      releasePad();
    }
  });
  // No menu on a long press, no pinch (Safari's own gesture events).
  document.addEventListener('contextmenu', (event) => {
    if (touchShown || stage.contains(event.target)) {
      event.preventDefault();
    }
  });
  document.addEventListener('gesturestart', (event) => event.preventDefault());
  document.addEventListener('selectstart', (event) => {
    if (touchShown) {
      event.preventDefault();
    }
  });

  // The quit button does what Escape does: a quit request the game's next
  // frame takes, however short the tap. A finger lifted on it counts at once,
  // as for the fullscreen button.
  quitButton.addEventListener('click', requestQuit);
  quitButton.addEventListener('pointerup', (event) => {
    if (event.pointerType !== 'mouse' && isOver(quitButton, event)) {
      requestQuit();
    }
  });

  if (matchMedia('(pointer: coarse)').matches) {
    showTouchControls(true);
  }

  // --- Games -------------------------------------------------------------

  let game = null;           // the game running, or the last one
  let firstReplay = null;    // a recording opened before the first game began
  let nextReplay = null;     // a recording read while a game runs: played when it ends
  let recording = null;      // the last game's recording: { bytes, started }

  function sendPad() {
    if (game && game.ready && game.running) {
      game.module._dxsdlSetTouchPad(padBits);
    }
  }

  function requestQuit() {
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
  function clearEnd() {
    document.title = 'Chaser';
    delete body.dataset.exitStatus;
    ended.hidden = true;
    saveButton.hidden = true;
    digestsBlock.hidden = true;
    digestsBlock.textContent = '';
  }

  // status is the program's exit status, or null when it stopped without one.
  function showEnd(status, reason) {
    body.dataset.exitStatus = status === null ? 'none' : String(status);
    if (status === 0) {
      endedText.textContent = 'The game ended (status 0).';
    } else if (status === null) {
      endedText.textContent = 'The game stopped.';
    } else {
      endedText.textContent = 'The game could not go on (status ' + status + ').';
    }
    endedReason.textContent = reason;
    saveButton.hidden = recording === null;
    ended.hidden = false;
    showStatus('');
    againButton.focus();
    document.title = 'ended ' + (status === null ? 'none' : status);
  }

  function startGame(replay) {
    clearEnd();
    const current = {
      module: null,
      running: true,
      ready: false,
      quitWhenReady: false,
      started: new Date(),
      errors: [],  // what the game wrote to its error output
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
        programReady.then(() => WebAssembly.instantiate(assets.program, imports)).then(
          (instance) => receive(instance, assets.program),
          (error) => {
            recording = null;
            gameEnded(current, null, 'The game could not be loaded: ' + error.message);
          });
        return {};
      },
      // The art, as the program would have downloaded it: the first game
      // takes the buffer itself, later ones a copy each, as the program's
      // file system may keep the buffer it is handed.
      getPreloadedPackage: () => {
        const art = assets.artTaken ? assets.art.slice(0) : assets.art;
        assets.artTaken = true;
        return art;
      },
      preRun: [() => setSwitches(module, replay)],
      onRuntimeInitialized: () => {
        current.ready = true;
        sendPad();
        if (current.quitWhenReady) {
          module._dxsdlRequestQuit();
        }
      },
      onExit: (status) => gameEnded(current, status, status === 0 ? '' : current.errors.join('\n')),
      onAbort: (what) => gameEnded(current, null, [...current.errors, String(what)].join('\n')),
    };
    current.module = module;
    game = current;
    window.Module = module;  // for tests and figures: the running game's program
    const made = window.Chaser(module);
    if (made && made.catch) {
      made.catch(() => {});  // reported through onAbort
    }
  }

  function setSwitches(module, replay) {
    module.ENV.DXLIBDLL_RECORD = kRecordFile;
    if (wantsDigests) {
      module.ENV.DXLIBDLL_DIGESTS = kDigestFile;
    }
    if (unpaced) {
      module.ENV.DXLIBDLL_UNPACED = '1';
    }
    if (replay === null) {
      return;
    }
    if (replay.bytes) {
      // Under its own name in the working folder, so the game's line about
      // a broken one names it as it would natively; in a folder of its own
      // when the name is taken (resource, tmp...).
      let file = replay.name;
      if (module.FS.analyzePath('/' + file).exists) {
        module.FS.mkdir(kOpenedDirectory);
        file = kOpenedDirectory + '/' + file;
      }
      module.FS.writeFile(file, replay.bytes);
      module.ENV.DXLIBDLL_REPLAY = file;
      return;
    }
    // Only from this site: a page address cannot make the game fetch from elsewhere.
    const source = new URL(replay.url, window.location.href);
    if (source.origin !== window.location.origin) {
      module.printErr('The replay must come from this site: ' + replay.url);
      module.ENV.DXLIBDLL_REPLAY = kFetchedReplay;
      return;
    }
    module.addRunDependency('replay');
    fetch(source).then((response) => {
      if (!response.ok) {
        throw new Error('HTTP ' + response.status);
      }
      return response.arrayBuffer();
    }).then((bytes) => {
      module.FS.writeFile(kFetchedReplay, new Uint8Array(bytes));
    }).catch((error) => {
      // No file written: the game reports the replay it cannot open and ends.
      module.printErr('Could not fetch the replay ' + replay.url + ': ' + error.message);
    }).finally(() => {
      module.ENV.DXLIBDLL_REPLAY = kFetchedReplay;
      module.removeRunDependency('replay');
    });
  }

  function gameEnded(current, status, reason) {
    if (!current.running) {
      return;
    }
    current.running = false;
    if (current !== game) {
      return;
    }
    if (nextReplay !== null) {
      // The game was ended for a recording opened meanwhile: that one
      // starts, once this program has finished ending.
      const replay = nextReplay;
      nextReplay = null;
      setTimeout(() => startGame(replay), 0);
      return;
    }
    if (filesBeingRead > 0) {
      return;  // ended for a recording still being read, which starts next
    }
    recording = null;
    try {
      recording = { bytes: current.module.FS.readFile(kRecordFile), started: current.started };
    } catch {
      // no recording: the game did not start
    }
    if (wantsDigests) {
      try {
        digestsBlock.textContent = current.module.FS.readFile(kDigestFile, { encoding: 'utf8' });
      } catch {
        digestsBlock.textContent = '';
      }
      digestsBlock.hidden = false;
    }
    showEnd(status, reason);
  }

  againButton.addEventListener('click', () => window.location.reload());

  // --- Recordings --------------------------------------------------------

  const twoDigits = (n) => String(n).padStart(2, '0');

  saveButton.addEventListener('click', () => {
    if (recording === null) {
      return;
    }
    const t = recording.started;
    const name = `chaser-${t.getFullYear()}${twoDigits(t.getMonth() + 1)}${twoDigits(t.getDate())}-` +
      `${twoDigits(t.getHours())}${twoDigits(t.getMinutes())}${twoDigits(t.getSeconds())}.replay`;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([recording.bytes], { type: 'application/octet-stream' }));
    link.download = name;
    link.hidden = true;
    body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  });

  // A recording opened or dropped plays at once: a game running is ended
  // first (as by the quit button), and its end is not shown.
  let filesBeingRead = 0;

  function openRecording(file) {
    clearEnd();
    // Ended now, not once the file is read: a game that runs unpaced leaves
    // the page little time to read it.
    ++filesBeingRead;
    requestQuit();
    let name = file.name.replace(/[/\\]/g, '_');
    if (name === '' || name === '.' || name === '..') {
      name = 'recording.replay';
    }
    file.arrayBuffer().then((bytes) => {
      --filesBeingRead;
      playRecording({ name, bytes: new Uint8Array(bytes) });
    }, (error) => {
      --filesBeingRead;
      recording = null;
      showEnd(null, 'Could not read ' + name + ': ' + error.message);
    });
  }

  function playRecording(replay) {
    if (game === null) {
      firstReplay = replay;
    } else if (game && game.running) {
      nextReplay = replay;
      requestQuit();
    } else {
      startGame(replay);
    }
  }

  for (const button of document.querySelectorAll('button.open')) {
    button.addEventListener('click', () => openInput.click());
  }
  openInput.addEventListener('change', () => {
    const file = openInput.files[0];
    openInput.value = '';  // the same file chosen again is a change again
    if (file) {
      openRecording(file);
    }
  });
  const carriesFiles = (event) => Array.from(event.dataTransfer?.types || []).includes('Files');
  document.addEventListener('dragover', (event) => {
    if (carriesFiles(event)) {
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
      body.classList.add('dragging');
    }
  });
  document.addEventListener('dragleave', (event) => {
    if (event.relatedTarget === null) {
      body.classList.remove('dragging');
    }
  });
  document.addEventListener('drop', (event) => {
    body.classList.remove('dragging');
    if (carriesFiles(event)) {
      event.preventDefault();
      const file = event.dataTransfer.files[0];
      if (file) {
        openRecording(file);
      }
    }
  });

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

  fitScreen();
  showProgress();
  Promise.all([scriptReady, artReady]).then(() => {
    startGame(firstReplay ?? (addressReplay === null ? null : { url: addressReplay }));
  }, (error) => {
    recording = null;
    showEnd(null, 'The game could not be loaded: ' + error.message);
  });
  Promise.all([programReady, artReady]).then(registerWorker, () => {});

  // --- Offline -----------------------------------------------------------
  //
  // sw.js keeps this build's files in a cache named by its version, so the
  // page opens and plays without the network, and can be installed. It is
  // registered once the game has what it needs, so its own downloads never
  // slow the first game's. A page without it plays as well.
  function registerWorker() {
    if ('serviceWorker' in navigator) {
      navigator.serviceWorker.register('sw.js').catch(() => {});
    }
  }
})();
