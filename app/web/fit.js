// The screen's size on the page, and fullscreen.
//
// The screen is the game's canvas, at the size the game gave it (the page
// takes it from there, never writes it itself). Sizes are worked out in
// device pixels. A whole factor k shows every screen pixel as a k × k square
// of device pixels. When no whole factor fills 85 % of the limiting side, the
// picture takes the whole fit: the screen is enlarged by the next whole
// factor above with sharp pixels (drawn into a second canvas, `view`), which
// the browser then reduces smoothly to the fit, so pixels stay even and edges
// blur by at most one device pixel. Below one to one it is reduced smoothly
// from the screen itself.

import { markFit } from './test-hooks.js';

// A whole factor is used when it fills at least this share of the side that
// limits the picture; otherwise the largest sharp fit.
const kWholeFactorShare = 0.85;

const body = document.body;
const stage = document.getElementById('stage');
const screenArea = document.getElementById('screen');
const picture = document.getElementById('picture');
export const canvas = document.getElementById('canvas');

let screenWidth = 0;   // the game's screen, once it has sized its canvas
let screenHeight = 0;
let view = null;
let viewContext = null;
let viewFactor = 0;    // 0: the game's canvas is shown itself
let viewShown = 0;     // the factor the view is made for, 0 while it is not shown
let framePut = false;  // the game's canvas holds a frame
let gameContext = null;
let putImageData = null;
let lastFrame = null;  // the last frame the game put, while it runs

// The view at the factor chosen, drawn from the game's canvas. It is made at
// the game's first frame, not before: until then there is nothing to show,
// and a large canvas costs a slow phone's start.
function drawView() {
  if (viewFactor !== viewShown) {
    showView();
  }
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
  view.width = screenWidth * viewFactor;
  view.height = screenHeight * viewFactor;
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

export function fitScreen() {
  if (!canvas) {
    return;
  }
  const ratio = window.devicePixelRatio || 1;
  const box = screenArea.getBoundingClientRect();
  let fit = screenWidth > 0 ? Math.min((box.width * ratio) / screenWidth, (box.height * ratio) / screenHeight) : 0;
  if (!(fit > 0)) {
    // No room (or no screen yet): nothing shown, nothing spills over.
    canvas.style.width = '0px';
    canvas.style.height = '0px';
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
    width = screenWidth * whole;
    height = screenHeight * whole;
    canvas.classList.remove('smooth');
    useView(0);
    markFit('whole ' + whole);
  } else {
    width = Math.floor(screenWidth * fit);
    height = Math.floor(screenHeight * fit);
    const above = Math.ceil(fit);
    canvas.classList.toggle('smooth', above <= 1);
    useView(above <= 1 ? 0 : above);
    markFit('reduced from ' + Math.max(1, above));
  }
  canvas.style.width = width / ratio + 'px';
  canvas.style.height = height / ratio + 'px';
}

// The game sizes its canvas as it opens its window, and empties it (0 × 0)
// as it closes it at its end: the last frame it put goes back, so the
// picture stays at a game's end, whatever the size rule.
function followCanvasSize() {
  if (canvas.width > 0 && canvas.height > 0) {
    if (canvas.width !== screenWidth || canvas.height !== screenHeight) {
      screenWidth = canvas.width;
      screenHeight = canvas.height;
      viewShown = -1;  // the view is made again for the new size
      fitScreen();
    }
  } else if (lastFrame !== null) {
    const frame = lastFrame;
    lastFrame = null;
    canvas.width = frame.width;
    canvas.height = frame.height;
    putImageData.call(gameContext, frame, 0, 0);
    drawView();
  }
}

export function startFit() {
  if (!canvas) {
    return;
  }
  // The view follows every frame the game puts on its canvas (through SDL's
  // putImageData on the canvas's one 2D context).
  gameContext = canvas.getContext('2d');
  putImageData = gameContext.putImageData;
  gameContext.putImageData = function (...args) {
    const result = putImageData.apply(this, args);
    if (args.length === 3) {
      lastFrame = args[0];
    }
    framePut = true;
    drawView();
    return result;
  };
  new MutationObserver(followCanvasSize).observe(canvas, { attributes: true, attributeFilter: ['width', 'height'] });
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
  followCanvasSize();
  fitScreen();
}

// --- Fullscreen ----------------------------------------------------------
//
// Browsers without the Fullscreen API for pages (iPhone Safari) show no
// fullscreen button.

const canFullscreen = Boolean(document.fullscreenEnabled || document.webkitFullscreenEnabled);

export function toggleFullscreen() {
  const current = document.fullscreenElement || document.webkitFullscreenElement;
  if (current) {
    (document.exitFullscreen || document.webkitExitFullscreen).call(document)?.catch?.(() => {});
  } else if (stage.requestFullscreen) {
    stage.requestFullscreen().catch(() => {});
  } else if (stage.webkitRequestFullscreen) {
    stage.webkitRequestFullscreen();
  }
  canvas?.focus();
}

export function isOver(element, event) {
  const box = element.getBoundingClientRect();
  return event.clientX >= box.left && event.clientX <= box.right &&
         event.clientY >= box.top && event.clientY <= box.bottom;
}

export function startFullscreen() {
  body.classList.toggle('no-fullscreen', !canFullscreen);
  // A finger lifted on the button toggles at once (a tap while another
  // finger holds the pad makes no click); the click that may follow is not a
  // second.
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
}
