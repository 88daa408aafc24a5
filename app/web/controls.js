// The player's controls on the page: keys kept from the page, the touch pad
// and buttons, and game pads seen by the browser. The game reads the keys
// and game pads itself; the page hands it the touch pad's directions and the
// quit button's request (`onPad`, `onQuit`).

import { canvas, isOver, toggleFullscreen } from './fit.js';

const body = document.body;
const stage = document.getElementById('stage');
const pad = document.getElementById('touch-pad');
const quitButton = document.getElementById('touch-quit');

// --- Keys ------------------------------------------------------------------

// The game's keys never scroll or steer the page. The game itself reads
// them from the window, where these do not stop them.
function isGameKey(event) {
  return event.code.startsWith('Arrow') || event.code.startsWith('Numpad') ||
         event.code === 'Escape' || event.code === 'Space' ||
         event.code === 'PageUp' || event.code === 'PageDown' ||
         event.code === 'Home' || event.code === 'End';
}

function startKeys() {
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
}

// --- Touch -----------------------------------------------------------------
//
// The pad and buttons show on touch screens: where the pointer is coarse,
// and at any touch. A key or a game pad's button hides them until the next
// touch. The pad's direction is where the finger lies from its centre, in
// eight directions with a small dead zone in the middle; the finger that
// came down last steers. The game takes the directions as pad 1's.

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

// A press on a game pad the browser has shown the page already: it tells of
// none, so such pads are looked at while the touch controls show.
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

// Eighths of a turn from the right, clockwise (y grows downwards).
const kSectors = ['right', 'down right', 'down', 'down left', 'left', 'left up', 'up', 'up right'];
const fingers = new Map();  // pointer id → directions held, in the order they came down
let held = '';              // the directions held, as #touch-pad[data-held] names them
let onPad = () => {};

function directionAt(event) {
  const box = pad.getBoundingClientRect();
  const dx = event.clientX - (box.left + box.width / 2);
  const dy = event.clientY - (box.top + box.height / 2);
  const deadZone = 0.2 * (box.width / 2);
  if (dx * dx + dy * dy <= deadZone * deadZone) {
    return '';
  }
  return kSectors[Math.round(Math.atan2(dy, dx) / (Math.PI / 4)) & 7];
}

// The directions held, in the order up, down, left, right.
function setHeld(directions) {
  const names = directions.split(' ');
  const ordered = ['up', 'down', 'left', 'right'].filter((name) => names.includes(name)).join(' ');
  if (ordered === held) {
    return;
  }
  held = ordered;
  pad.dataset.held = held;
  onPad(padDirections());
}

// The directions held: { up, down, left, right }, each true or false.
export function padDirections() {
  const names = held.split(' ');
  return { up: names.includes('up'), down: names.includes('down'),
           left: names.includes('left'), right: names.includes('right') };
}

function steer() {
  let directions = '';
  for (const fingerDirections of fingers.values()) {
    directions = fingerDirections;  // the last finger down
  }
  setHeld(directions);
}

function releasePad() {
  fingers.clear();
  setHeld('');
}

function startTouch(onQuit) {
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
  // frame takes, however short the tap. A finger lifted on it counts at
  // once, as for the fullscreen button.
  quitButton.addEventListener('click', onQuit);
  quitButton.addEventListener('pointerup', (event) => {
    if (event.pointerType !== 'mouse' && isOver(quitButton, event)) {
      onQuit();
    }
  });

  if (matchMedia('(pointer: coarse)').matches) {
    showTouchControls(true);
  }
}

// handlers: onPad(directions) at every change of the touch pad's
// directions, onQuit() for the quit button.
export function startControls(handlers) {
  onPad = handlers.onPad;
  startKeys();
  startTouch(handlers.onQuit);
}
