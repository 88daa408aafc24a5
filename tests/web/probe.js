// Code that runs inside the game's page for the browser tests and figures:
// reads the canvas back and finds sprites on it by their pixels, with the
// sprites read from the very bitmap files the game loaded (its file system).
// The screen is 16-bit, so colours are compared in 5-6-5 bits; black is the
// see-through colour and no drawn pixel of the art is black.
'use strict';

function installProbe() {
  const clip = { left: 100, top: 0, right: 600, bottom: 480 };
  const key = (r, g, b) => ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);

  // Our art is 24-bit uncompressed bitmaps; anything else is a failure here.
  function readBmp(path) {
    const bytes = window.Module.FS.readFile(path);
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    if (view.getUint16(0, true) !== 0x4d42) {
      throw new Error(`${path} is not a bitmap`);
    }
    const offset = view.getUint32(10, true);
    const width = view.getInt32(18, true);
    const rawHeight = view.getInt32(22, true);
    const bits = view.getUint16(28, true);
    const compression = view.getUint32(30, true);
    if (bits !== 24 || compression !== 0) {
      throw new Error(`${path}: ${bits}-bit, compression ${compression}; the probe reads 24-bit only`);
    }
    const height = Math.abs(rawHeight);
    const stride = (width * 3 + 3) & ~3;
    const pixels = [];  // [dx, dy, key] of every drawn (non-black) pixel
    for (let y = 0; y < height; ++y) {
      const row = offset + (rawHeight > 0 ? height - 1 - y : y) * stride;
      for (let x = 0; x < width; ++x) {
        const b = bytes[row + 3 * x];
        const g = bytes[row + 3 * x + 1];
        const r = bytes[row + 3 * x + 2];
        if (r !== 0 || g !== 0 || b !== 0) {
          pixels.push([x, y, key(r, g, b)]);
        }
      }
    }
    return { width, height, pixels };
  }

  // Read through a copy, so the game's own canvas is never read back (and
  // the browser has no reason to warn about its readback).
  const copy = document.createElement('canvas');
  const copyContext = copy.getContext('2d', { willReadFrequently: true });
  function snapshot() {
    const canvas = document.getElementById('canvas');
    copy.width = canvas.width;
    copy.height = canvas.height;
    copyContext.drawImage(canvas, 0, 0);
    const data = copyContext.getImageData(0, 0, canvas.width, canvas.height).data;
    const keys = new Uint16Array(canvas.width * canvas.height);
    for (let i = 0; i < keys.length; ++i) {
      keys[i] = key(data[4 * i], data[4 * i + 1], data[4 * i + 2]);
    }
    return { width: canvas.width, height: canvas.height, keys };
  }

  // How many of the sprite's drawn pixels that fall inside the clip rectangle
  // at (x, y) the screen shows in the sprite's colour.
  function match(sprite, shot, x, y) {
    let visible = 0;
    let matched = 0;
    for (const [dx, dy, k] of sprite.pixels) {
      const sx = x + dx;
      const sy = y + dy;
      if (sx < clip.left || sx >= clip.right || sy < clip.top || sy >= clip.bottom) {
        continue;
      }
      ++visible;
      if (shot.keys[sy * shot.width + sx] === k) {
        ++matched;
      }
    }
    return { visible, matched, fraction: visible ? matched / visible : 0 };
  }

  // The places in [x0, x1) × [y0, y1) where at least `least` of the sprite's
  // visible pixels (and at least `minVisible` of them) are on screen.
  function find(sprite, shot, { x0, x1, y0, y1, least = 0.9, minVisible = 64 }) {
    const found = [];
    const probe = sprite.pixels.slice(0, 24);
    for (let y = y0; y < y1; ++y) {
      for (let x = x0; x < x1; ++x) {
        // A quick look at a few pixels first: most places fail at once.
        let misses = 0;
        for (const [dx, dy, k] of probe) {
          const sx = x + dx;
          const sy = y + dy;
          if (sx >= clip.left && sx < clip.right && sy >= clip.top && sy < clip.bottom &&
              shot.keys[sy * shot.width + sx] !== k) {
            ++misses;
          }
        }
        if (misses > probe.length / 2) {
          continue;
        }
        const result = match(sprite, shot, x, y);
        if (result.visible >= minVisible && result.fraction >= least) {
          found.push({ x, y, fraction: result.fraction });
        }
      }
    }
    return found;
  }

  const sprites = new Map();
  function sprite(name) {
    if (!sprites.has(name)) {
      sprites.set(name, readBmp(`/resource/bmp/${name}`));
    }
    return sprites.get(name);
  }

  window.chaserProbe = { readBmp, snapshot, match, find, sprite, clip };
}

module.exports = { installProbe };
