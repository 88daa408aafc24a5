// The web build in Debian's chromium, headless, against the site served on
// 127.0.0.1: the page, the pictures it shows (read back from the canvas), the
// keys, a game pad and the touch pad reaching the game, the screen's size on
// a desktop, a phone and a tablet, recordings saved and opened in the page,
// the service worker, and the ends of the program.
//
//   tools/web.sh --test
'use strict';

const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { test, before, after } = require('node:test');
const zlib = require('node:zlib');

const {
  launchBrowser, openGame, kPhone, kTablet,
} = require('../../tools/web/browser.js');
const { startServer } = require('../../tools/web/serve.js');
const { installProbe } = require('./probe.js');

const site = process.env.CHASER_WEB_SITE ||
  path.join(__dirname, '..', '..', 'build', 'web', 'site');

let server;
let url;
let browser;

// The tests put their own answers in place of some of the site's files,
// which a service worker's answers would bypass: it is tried on its own.
before(async () => {
  ({ server, url } = await startServer(site));
  browser = await launchBrowser({ serviceWorkers: 'block' });
});

after(async () => {
  await browser?.close();
  server?.close();
});

const twoDigits = (n) => String(n).padStart(2, '0');

// Opens the page and waits until the game draws: the sky of the tile strip
// is on the canvas.
async function play(options = {}) {
  const game = await openGame(options.context ?? browser.context, options.address ?? url, options);
  await game.page.waitForFunction(() => {
    const pixel = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
    pixel.drawImage(document.getElementById('canvas'), 300, 2, 1, 1, 0, 0, 1, 1);
    const [r, g, b] = pixel.getImageData(0, 0, 1, 1).data;
    return r + g + b > 0;
  }, null, { timeout: 20000 });
  await game.page.evaluate(installProbe);
  return game;
}

// Where sprite NAME is drawn, searched at y = Y over the clip rectangle's width.
function findOnRow(page, name, y) {
  return page.evaluate(({ name, y }) => {
    const probe = window.chaserProbe;
    return probe.find(probe.sprite(name), probe.snapshot(),
      { x0: probe.clip.left - 31, x1: probe.clip.right, y0: y, y1: y + 1 });
  }, { name, y });
}

test('the page loads with no error and no failed request, and draws from all 408 images', async () => {
  const { page, record } = await play();

  const names = await page.evaluate(() =>
    window.Module.FS.readdir('/resource/bmp').filter((name) => !name.startsWith('.')));
  const expected = [];
  for (let i = 0; i <= 50; ++i) {
    expected.push(`${twoDigits(i)}.bmp`);
    for (let j = 1; j <= 7; ++j) {
      expected.push(`chr${twoDigits(i)}-${j}.bmp`);
    }
  }
  assert.deepEqual(names.sort(), expected.sort());

  // Every tile and strip sprite inside the clip rectangle is on the canvas,
  // pixel for pixel, where the game draws it. The chaser may cover a strip
  // sprite for a moment, so each sprite counts when one of a few pictures
  // shows it.
  const shown = await page.evaluate(async () => {
    const probe = window.chaserProbe;
    const pad = (n) => String(n).padStart(2, '0');
    const tiles = [];
    const sprites = [];
    for (let i = 0; i <= 50; ++i) {
      if (16 * i >= probe.clip.left && 16 * i + 16 <= probe.clip.right) {
        tiles.push(i);
        sprites.push(i);
      }
    }
    const tileFractions = new Map(tiles.map((i) => [i, 0]));
    const spriteFractions = new Map(sprites.map((i) => [i, 0]));
    for (let look = 0; look < 4; ++look) {
      const shot = probe.snapshot();
      for (const i of tiles) {
        // The tile above the strip sprites, which stand on it from y 100.
        const tile = probe.sprite(`${pad(i)}.bmp`);
        const top = { pixels: tile.pixels.filter(([, dy]) => dy < 100) };
        const { fraction } = probe.match(top, shot, 16 * i, 0);
        tileFractions.set(i, Math.max(tileFractions.get(i), fraction));
      }
      for (const i of sprites) {
        const sprite = probe.sprite(`chr${pad(i)}-1.bmp`);
        // The next tile covers the right half of a sprite wider than 16.
        const left = { pixels: sprite.pixels.filter(([dx]) => dx < 16) };
        const { fraction } = probe.match(left, shot, 16 * i, 100);
        spriteFractions.set(i, Math.max(spriteFractions.get(i), fraction));
      }
      await new Promise((resolve) => setTimeout(resolve, 300));
    }
    return { tiles: [...tileFractions], sprites: [...spriteFractions] };
  });
  assert.equal(shown.tiles.length, 30);
  for (const [i, fraction] of shown.tiles) {
    assert.equal(fraction, 1, `tile ${i}`);
  }
  for (const [i, fraction] of shown.sprites) {
    assert.equal(fraction, 1, `strip sprite ${i}`);
  }

  const files = ['/', '/style.css', '/page.js', '/chaser.js', '/chaser.wasm', '/chaser.data'];
  for (const file of files) {
    const response = record.responses.find((r) => new URL(r.url()).pathname === file);
    assert.ok(response, `${file} was requested`);
    assert.equal(response.status(), 200, file);
  }
  assert.deepEqual(record.consoleErrors, []);
  assert.deepEqual(record.failedRequests, []);
  // The library writes a line for each image it cannot load.
  assert.deepEqual(record.warnings, []);
  assert.equal(await page.textContent('#status'), '', 'no progress line once the game runs');
  await page.close();
});

test('holding Right for two seconds moves the player to x = 573; the keys never reach the page', async () => {
  const { page, record } = await play();
  assert.equal(await page.evaluate(() => document.activeElement.id), 'canvas');
  assert.deepEqual(await findOnRow(page, 'chr25-1.bmp', 400).then((f) => f.map((p) => p.x)), [300]);

  // What the page did with each key, seen after its own handlers.
  await page.evaluate(() => {
    window.keysKept = [];
    window.addEventListener('keydown', (event) => {
      if (event.defaultPrevented) {
        window.keysKept.push(event.code);
      }
    });
  });
  await page.keyboard.down('ArrowRight');
  await page.waitForTimeout(2000);
  await page.keyboard.up('ArrowRight');
  await page.waitForTimeout(100);

  // The legs and the body above them, each found by its pixels.
  const legs = await findOnRow(page, 'chr25-1.bmp', 400);
  const body = await findOnRow(page, 'chr25-2.bmp', 250);
  assert.deepEqual(legs.map((p) => p.x), [573]);
  assert.deepEqual(body.map((p) => p.x), [573]);

  for (const key of ['ArrowDown', 'ArrowLeft', 'ArrowUp', 'Numpad8', 'Numpad2', 'Space']) {
    await page.keyboard.press(key);
  }
  assert.deepEqual(await page.evaluate(() => window.keysKept.filter((k, i, all) => all.indexOf(k) === i)),
    ['ArrowRight', 'ArrowDown', 'ArrowLeft', 'ArrowUp', 'Numpad8', 'Numpad2', 'Space']);
  assert.deepEqual(await page.evaluate(() => [window.scrollX, window.scrollY]), [0, 0]);
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
});

// The boxes of the page's elements, in page pixels.
function layout(page) {
  return page.evaluate(() => {
    const box = (selector) => {
      const element = document.querySelector(selector);
      const b = element.getBoundingClientRect();
      const shown = b.width > 0 && getComputedStyle(element).visibility !== 'hidden';
      return { left: b.left, top: b.top, right: b.right, bottom: b.bottom, width: b.width, height: b.height, shown };
    };
    return {
      canvas: box('#canvas'), screen: box('#screen'), pad: box('#touch-pad'), quit: box('#touch-quit'),
      header: box('header'), width: innerWidth, height: innerHeight,
      help: document.getElementById('controls').innerText, fit: document.body.dataset.fit,
    };
  });
}

// Whether the picture shown is the screen enlarged by a whole factor with
// sharp pixels: either the game's canvas itself at that factor, or the view
// drawn from it, every pixel of which is its screen pixel's colour.
function sharpFactor(page) {
  return page.evaluate(() => {
    const game = document.getElementById('canvas');
    const view = document.getElementById('view');
    if (!view || view.hidden) {
      return { view: false };
    }
    const read = (canvas) => {
      const copy = document.createElement('canvas');
      copy.width = canvas.width;
      copy.height = canvas.height;
      const context = copy.getContext('2d', { willReadFrequently: true });
      context.drawImage(canvas, 0, 0);
      return new Uint32Array(context.getImageData(0, 0, canvas.width, canvas.height).data.buffer);
    };
    // Read in one turn of the page: the view is drawn with each frame.
    const screen = read(game);
    const enlarged = read(view);
    const factor = view.width / game.width;
    let wrong = 0;
    for (let y = 0; y < view.height; ++y) {
      for (let x = 0; x < view.width; ++x) {
        const source = screen[Math.floor(y / factor) * game.width + Math.floor(x / factor)];
        wrong += enlarged[y * view.width + x] !== source ? 1 : 0;
      }
    }
    return { view: true, factor, height: view.height / factor, wrong };
  });
}

test('the screen is as large as the window allows, sharp; the button and Alt+Enter toggle fullscreen', async () => {
  const { page, record } = await play();
  // 1280 × 800: one to one would fill only two thirds of the height, so the
  // picture takes the whole height, enlarged twice and reduced smoothly.
  let shown = await layout(page);
  assert.equal(shown.canvas.height, Math.floor(shown.screen.height));
  assert.ok(Math.abs(shown.canvas.width - (shown.canvas.height * 4) / 3) <= 1, JSON.stringify(shown.canvas));
  assert.ok(shown.canvas.width <= shown.screen.width);
  assert.deepEqual(await sharpFactor(page), { view: true, factor: 2, height: 480, wrong: 0 });
  // 1400 × 1100: twice fills more than 85 % of the height, so twice it is.
  await page.setViewportSize({ width: 1400, height: 1100 });
  await page.waitForFunction(() => document.getElementById('canvas').style.width === '1280px');
  shown = await layout(page);
  assert.deepEqual([shown.canvas.width, shown.canvas.height], [1280, 960]);
  assert.deepEqual(await sharpFactor(page), { view: false });
  const fullscreen = () => page.evaluate(() => document.fullscreenElement?.id ?? null);
  await page.click('#fullscreen');
  await page.waitForFunction(() => document.fullscreenElement !== null);
  assert.equal(await fullscreen(), 'stage');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'canvas');
  await page.keyboard.press('Alt+Enter');
  await page.waitForFunction(() => document.fullscreenElement === null);
  await page.keyboard.press('Alt+Enter');
  await page.waitForFunction(() => document.fullscreenElement !== null);
  assert.equal(await fullscreen(), 'stage');
  assert.equal(await page.isVisible('#touch-pad'), false, 'no touch pad without a touch');
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
});

test('the chaser moves between two frames, and Escape ends the game with status 0', async () => {
  const { page, record } = await play();
  const findChaser = () => page.evaluate(() => {
    const probe = window.chaserProbe;
    return probe.find(probe.sprite('chr29-1.bmp'), probe.snapshot(),
      { x0: probe.clip.left - 31, x1: probe.clip.right, y0: -31, y1: 480 });
  });
  // The chaser swings past the clip rectangle's edges now and then: look
  // again until it is in view, then once more a few frames later.
  let first = [];
  for (let tries = 0; tries < 40 && first.length !== 1; ++tries) {
    first = await findChaser();
  }
  assert.equal(first.length, 1, 'the chaser is on the canvas');
  let second = [];
  for (let tries = 0; tries < 40 && second.length !== 1; ++tries) {
    await page.waitForTimeout(50);
    second = await findChaser();
  }
  assert.equal(second.length, 1, 'the chaser is on the canvas again');
  assert.notDeepEqual([second[0].x, second[0].y], [first[0].x, first[0].y]);

  // Escape is read as held once a frame: hold it across a few frames.
  await page.keyboard.down('Escape');
  await page.waitForSelector('#ended:not([hidden])', { timeout: 5000 });
  await page.keyboard.up('Escape');
  assert.equal(await page.textContent('#ended-text'), 'The game ended (status 0).');
  assert.equal(await page.getAttribute('body', 'data-exit-status'), '0');
  assert.ok(await page.isVisible('#again'));
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
});

test('a game pad through the browser moves the player as on Linux (d-pad left to x = 102)', async () => {
  // A standard-mapping pad, as the browser's Gamepad API reports one.
  const fakePad = () => {
    const buttons = Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 }));
    const pad = {
      id: 'Test pad (STANDARD GAMEPAD)', index: 0, connected: true, mapping: 'standard',
      axes: [0, 0, 0, 0], buttons, timestamp: 1,
    };
    navigator.getGamepads = () => [pad, null, null, null];
    window.testPad = {
      hold(button, held) {
        buttons[button] = { pressed: held, touched: held, value: held ? 1 : 0 };
        pad.timestamp += 1;
      },
    };
  };
  const { page, record } = await play({ beforeLoad: (p) => p.addInitScript(fakePad) });
  await page.evaluate(() => window.testPad.hold(14, true));  // d-pad left
  await page.waitForTimeout(1800);
  await page.evaluate(() => window.testPad.hold(14, false));
  await page.waitForTimeout(100);
  assert.deepEqual((await findOnRow(page, 'chr25-1.bmp', 400)).map((p) => p.x), [102]);
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
});

test('without a canvas the library cannot start: the page gives the reason and status 255', async () => {
  const withoutCanvas = async (page) => {
    await page.route(/\/(index\.html)?$/, async (route) => {
      const response = await route.fetch();
      const html = (await response.text()).replace(/<canvas[\s\S]*?<\/canvas>/, '');
      await route.fulfill({ response, body: html });
    });
  };
  const { page } = await openGame(browser.context, url, { beforeLoad: withoutCanvas });
  assert.equal(await page.$('canvas'), null);
  await page.waitForSelector('#ended:not([hidden])', { timeout: 20000 });
  assert.equal(await page.textContent('#ended-text'), 'The game could not go on (status 255).');
  assert.match(await page.textContent('#ended-reason'), /no canvas/);
  assert.equal(await page.getAttribute('body', 'data-exit-status'), '255');
  await page.close();
});

// Fingers on the page through the DevTools protocol, as a touch screen sends
// them. Points are given on the pad as fractions of its radius from its
// centre, or on an element's centre.
async function touchScreen(page) {
  const cdp = await page.context().newCDPSession(page);
  const send = (type, touchPoints) => cdp.send('Input.dispatchTouchEvent', { type, touchPoints });
  return {
    async onPad(dx, dy, id) {
      const box = await page.locator('#touch-pad').boundingBox();
      return { x: box.x + box.width * (0.5 + dx / 2), y: box.y + box.height * (0.5 + dy / 2), id };
    },
    async on(selector, id) {
      const box = await page.locator(selector).boundingBox();
      return { x: box.x + box.width / 2, y: box.y + box.height / 2, id };
    },
    // Every finger on the screen; those not down before come down.
    down: (points) => send('touchStart', points),
    move: (points) => send('touchMove', points),
    // The fingers named are lifted.
    lift: (points) => send('touchEnd', points),
  };
}

// Where the player's legs are, anywhere in the clip rectangle.
function findPlayer(page) {
  return page.evaluate(() => {
    const probe = window.chaserProbe;
    return probe.find(probe.sprite('chr25-1.bmp'), probe.snapshot(),
      { x0: probe.clip.left - 31, x1: probe.clip.right, y0: 100, y1: 480 }).map((f) => [f.x, f.y]);
  });
}

test('on a phone: the picture fills the width upright, the height sideways; a sliding finger steers, a tap takes a step, a key hides the pad, a touch brings it back, a second finger quits', async () => {
  const phone = await launchBrowser({ ...kPhone, serviceWorkers: 'block' });
  try {
    const { page, record } = await play({ context: phone.context });
    let shown = await layout(page);
    assert.ok(shown.pad.shown && shown.quit.shown, 'the touch controls show on a touch screen');
    assert.ok(shown.canvas.width >= 0.95 * shown.width, JSON.stringify(shown.canvas));
    assert.ok(shown.pad.top >= shown.canvas.bottom, 'the pad is below the picture');
    assert.match(shown.help, /pad/);
    assert.doesNotMatch(shown.help, /arrow keys/);
    // 390 page pixels are 1170 device pixels: the screen twice, reduced.
    assert.deepEqual(await sharpFactor(page), { view: true, factor: 2, height: 480, wrong: 0 });

    // Right of the centre into the right bound, then the finger slides up,
    // never lifted, into the top bound.
    const touch = await touchScreen(page);
    const right = await touch.onPad(0.7, 0.1, 1);
    await touch.down([right]);
    await page.waitForTimeout(2000);
    assert.equal(await page.getAttribute('#touch-pad', 'data-held'), 'right');
    const up = await touch.onPad(-0.05, -0.8, 1);
    await touch.move([up]);
    await page.waitForTimeout(2000);
    assert.equal(await page.getAttribute('#touch-pad', 'data-held'), 'up');
    assert.deepEqual(await findPlayer(page), [[573, 151]]);
    await touch.lift([up]);
    await page.waitForFunction(() => document.getElementById('touch-pad').dataset.held === '');
    const still = await findPlayer(page);
    await page.waitForTimeout(300);
    assert.deepEqual(await findPlayer(page), still, 'a lifted finger steers no more');
    // A tap left of the centre, down and up within one turn of the page,
    // between two frames: it still takes one step.
    await page.evaluate(() => {
      const box = document.getElementById('touch-pad').getBoundingClientRect();
      const at = { clientX: box.left + box.width * 0.1, clientY: box.top + box.height / 2 };
      const finger = { pointerId: 99, pointerType: 'touch', isPrimary: true, bubbles: true, ...at };
      const target = document.elementFromPoint(at.clientX, at.clientY);
      target.dispatchEvent(new PointerEvent('pointerdown', finger));
      target.dispatchEvent(new PointerEvent('pointerup', finger));
    });
    await page.waitForTimeout(300);
    assert.deepEqual(await findPlayer(page), [[570, 151]]);

    // A key hides the touch controls; the next touch brings them back.
    await page.keyboard.press('Shift');
    assert.equal(await page.isVisible('#touch-pad'), false);
    const onScreen = await touch.on('#canvas', 2);
    await touch.down([onScreen]);
    await touch.lift([onScreen]);
    assert.equal(await page.isVisible('#touch-pad'), true);

    // Sideways: the title and help step aside and the picture takes the
    // height; the pad and buttons leave the clip rectangle (x 100 to 600) free.
    await page.setViewportSize({ width: 844, height: 390 });
    await page.waitForFunction(() =>
      document.getElementById('canvas').getBoundingClientRect().height >= 0.85 * innerHeight);
    shown = await layout(page);
    assert.equal(shown.header.shown, false);
    assert.doesNotMatch(await page.innerText('body'), /Move:/);
    const scale = shown.canvas.width / 640;
    assert.ok(shown.pad.right <= shown.canvas.left + 100 * scale, JSON.stringify(shown));
    assert.ok(shown.quit.left >= shown.canvas.left + 600 * scale, JSON.stringify(shown));
    assert.deepEqual(await sharpFactor(page), { view: true, factor: 3, height: 480, wrong: 0 });

    // One finger holds the pad, a second taps Quit: the game ends as by Escape.
    const downLeft = await touch.onPad(-0.7, 0.7, 1);
    await touch.down([downLeft]);
    await page.waitForTimeout(300);
    assert.equal(await page.getAttribute('#touch-pad', 'data-held'), 'down left');
    const quit = await touch.on('#touch-quit', 2);
    await touch.down([downLeft, quit]);
    await touch.lift([quit]);
    await page.waitForSelector('#ended:not([hidden])', { timeout: 5000 });
    await touch.lift([downLeft]);
    assert.equal(await page.textContent('#ended-text'), 'The game ended (status 0).');
    assert.deepEqual(record.consoleErrors, []);
  } finally {
    await phone.close();
  }
});

test('on a tablet: the picture fills the width upright, and takes a whole factor sideways', async () => {
  const tablet = await launchBrowser({ ...kTablet, serviceWorkers: 'block' });
  try {
    const { page, record } = await play({ context: tablet.context });
    let shown = await layout(page);
    assert.equal(shown.canvas.width, shown.width);
    assert.ok(shown.pad.shown && shown.pad.top >= shown.canvas.bottom);
    assert.deepEqual(await sharpFactor(page), { view: true, factor: 3, height: 480, wrong: 0 });
    // 1180 × 820 at two device pixels: three times fills 88 % of the height.
    await page.setViewportSize({ width: 1180, height: 820 });
    await page.waitForFunction(() => document.getElementById('canvas').style.width === '960px');
    shown = await layout(page);
    assert.deepEqual([shown.canvas.width, shown.canvas.height], [960, 720]);
    assert.equal(shown.fit, 'whole 3');
    assert.deepEqual(await sharpFactor(page), { view: false });
    assert.deepEqual(record.consoleErrors, []);
  } finally {
    await tablet.close();
  }
});

// The player's place after a recording's frames, worked out from the
// recording alone: the game's steps and bounds, the keys that steer.
function walk(text) {
  const steer = { 200: 8, 72: 8, 17: 8, 208: 1, 80: 1, 31: 1, 205: 4, 77: 4, 32: 4, 203: 2, 75: 2, 30: 2 };
  let x = 300;
  let y = 400;
  for (const line of text.trim().split('\n').slice(1)) {
    const [pad, quit, ...keys] = line.split(' ').map(Number);
    if (quit === 1 || keys.includes(1)) {
      break;
    }
    const bits = keys.reduce((all, key) => all | (steer[key] ?? 0), pad);
    if (bits & 8 && y >= 153) y -= 3;
    if (bits & 1 && y <= 450) y += 3;
    if (bits & 4 && x <= 570) x += 3;
    if (bits & 2 && x >= 103) x -= 3;
  }
  return [x, y];
}

test('a game played with the touch pad, W A S D and a French keyboard is saved as played, and opened it shows the same frames', async () => {
  const phone = await launchBrowser({ ...kPhone, serviceWorkers: 'block', acceptDownloads: true });
  const saved = fs.mkdtempSync(path.join(os.tmpdir(), 'chaser-recording-'));
  try {
    const { page, record } = await play({ context: phone.context, address: `${url}index.html?digests=1` });
    const touch = await touchScreen(page);
    const right = await touch.onPad(0.8, 0, 1);
    await touch.down([right]);
    await page.waitForTimeout(500);
    await touch.lift([right]);
    // W and A where a French keyboard has Z and Q: the game goes by the
    // key's place (its code), whatever letter it types.
    const cdp = await page.context().newCDPSession(page);
    const french = async (code, letter, ms) => {
      const key = { code, key: letter, text: letter, windowsVirtualKeyCode: letter.toUpperCase().charCodeAt(0) };
      await cdp.send('Input.dispatchKeyEvent', { type: 'keyDown', ...key });
      await page.waitForTimeout(ms);
      await cdp.send('Input.dispatchKeyEvent', { type: 'keyUp', ...key });
    };
    await french('KeyW', 'z', 400);
    await french('KeyA', 'q', 300);
    for (const key of ['KeyS', 'KeyD']) {
      await page.keyboard.down(key);
      await page.waitForTimeout(200);
      await page.keyboard.up(key);
    }
    await page.waitForTimeout(200);
    const player = await findPlayer(page);
    // The keys hid the touch controls: a touch brings them back.
    const onScreen = await touch.on('#canvas', 2);
    await touch.down([onScreen]);
    await touch.lift([onScreen]);
    const quit = await touch.on('#touch-quit', 2);
    await touch.down([quit]);
    await touch.lift([quit]);
    await page.waitForSelector('#save-recording:not([hidden])', { timeout: 5000 });
    const liveDigests = await page.textContent('#digests');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-recording')]);
    assert.match(download.suggestedFilename(), /^chaser-\d{8}-\d{6}\.replay$/);
    const file = path.join(saved, download.suggestedFilename());
    await download.saveAs(file);
    const text = fs.readFileSync(file, 'utf8');

    // Touch as pad 1's bits, the keys as their codes (W 17, A 30, S 31,
    // D 32; never Z 44 or Q 16), the quit button as a quit request.
    const lines = text.trim().split('\n');
    assert.equal(lines[0], 'chaser-replay 1');
    assert.ok(lines.some((line) => line === '4 0'), 'touch right as pad bits');
    const codes = new Set(lines.slice(1).flatMap((line) => line.split(' ').slice(2)));
    assert.deepEqual([...codes].sort(), ['17', '30', '31', '32']);
    assert.match(lines[lines.length - 1], /^\d+ 1$/);
    assert.equal(lines.length - 2, liveDigests.trim().split('\n').length, 'a line for every frame shown');
    // The player stood where the recording says, counted from it alone.
    assert.deepEqual(player, [walk(text)]);

    // Opened in a page with the address's switches, the recording shows
    // every frame as the game showed it.
    const { page: viewer, record: viewed } = await openGame(browser.context, `${url}index.html?digests=1&unpaced=1`);
    await viewer.setInputFiles('#open-recording', file);
    await viewer.waitForFunction(() => document.title.startsWith('ended '), null, { timeout: 60000 });
    assert.equal(await viewer.title(), 'ended 0', await viewer.textContent('#ended-reason'));
    assert.equal(await viewer.textContent('#digests'), liveDigests);

    // A broken recording dropped on the page: the game's own line, and 255.
    const broken = await viewer.evaluateHandle(() => {
      const transfer = new DataTransfer();
      transfer.items.add(new File(['chaser-replay 1\n0 0\n9 9\n'], 'broken.replay'));
      return transfer;
    });
    await viewer.dispatchEvent('#stage', 'drop', { dataTransfer: broken });
    await viewer.waitForFunction(() => document.title.startsWith('ended '), null, { timeout: 60000 });
    assert.equal(await viewer.title(), 'ended 255');
    assert.match(await viewer.textContent('#ended-reason'),
      /: replay "broken\.replay", line 3: the quit flag after the pad bits is not 0 or 1$/);
    assert.equal(await viewer.isVisible('#save-recording'), false);
    assert.deepEqual(record.consoleErrors, []);
    assert.deepEqual(viewed.consoleErrors, []);
    await viewer.close();
  } finally {
    await phone.close();
    fs.rmSync(saved, { recursive: true, force: true });
  }
});

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

function serveText(files, name, text) {
  const body = Buffer.from(text);
  files.set(name, { ...files.get(name), body, gzipped: zlib.gzipSync(body) });
}

// A new build on the server: FILES changed (name → new body) and sw.js
// written for them, as the build writes it; or, with `halfCopied`, sw.js
// alone, the other files still the old ones.
function deploy(files, changed, { halfCopied = false } = {}) {
  const worker = files.get('/sw.js').body.toString();
  const version = /const kVersion = '([0-9a-f]{16})'/.exec(worker)[1];
  let next = worker.replace(version, sha256(worker).slice(0, 16));
  for (const [name, body] of Object.entries(changed)) {
    next = next.replace(sha256(files.get('/' + name).body), sha256(body));
    if (!halfCopied) {
      files.set('/' + name, { ...files.get('/' + name), body, gzipped: zlib.gzipSync(body) });
    }
  }
  serveText(files, '/sw.js', next);
  return { old: version, next: sha256(worker).slice(0, 16) };
}

test('the service worker: a new build replaces every file at once, a half-copied one is refused, and a reload without network plays', async () => {
  // A server of its own, whose files the test changes, and workers allowed.
  const own = await startServer(site);
  const withWorker = await launchBrowser();
  try {
    const address = own.url;
    const { page } = await play({ context: withWorker.context, address });
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, { timeout: 30000 });
    const cached = (where) => where.evaluate(async () => {
      const result = {};
      for (const name of await caches.keys()) {
        result[name] = (await (await caches.open(name)).keys()).map((r) => new URL(r.url).pathname).sort();
      }
      return result;
    });
    const worker = own.files.get('/sw.js').body.toString();
    const version = /const kVersion = '([0-9a-f]{16})'/.exec(worker)[1];
    const siteFiles = ['/chaser-192.png', '/chaser-512.png', '/chaser-maskable-512.png', '/chaser-touch-180.png',
      '/chaser.data', '/chaser.js', '/chaser.wasm', '/controls.js', '/fit.js', '/games.js', '/index.html',
      '/lines.js', '/manifest.webmanifest', '/page.js', '/recordings.js', '/style.css', '/switches.js',
      '/test-hooks.js'];
    assert.deepEqual(await cached(page), { [`chaser-${version}`]: siteFiles });

    // Asks for the worker again; the state the new one reaches, if any.
    const update = () => page.evaluate(async () => {
      const registration = await navigator.serviceWorker.getRegistration();
      let found = null;
      registration.addEventListener('updatefound', () => {
        found = registration.installing;
      }, { once: true });
      try {
        await registration.update();
      } catch {
        // a failed installation may fail the update too
      }
      await new Promise((resolve) => setTimeout(resolve, 100));
      if (found === null) {
        return 'none';
      }
      while (found.state === 'installing') {
        await new Promise((resolve) => found.addEventListener('statechange', resolve, { once: true }));
      }
      return found.state;
    });
    const appended = (note) => Buffer.concat([own.files.get('/page.js').body, Buffer.from(`\n// ${note}\n`)]);
    const pageScript = (where) => where.evaluate(() => fetch('page.js').then((r) => r.text()));

    // sw.js of a new build whose page.js has not arrived yet: refused whole.
    deploy(own.files, { 'page.js': appended('a build half copied') }, { halfCopied: true });
    assert.equal(await update(), 'redundant');
    assert.deepEqual(Object.keys(await cached(page)), [`chaser-${version}`]);

    // The whole new build: installed beside the old one, it waits while a
    // page runs the old one, then takes over alone.
    serveText(own.files, '/sw.js', worker);
    const versions = deploy(own.files, { 'page.js': appended('the next build') });
    assert.equal(await update(), 'installed');
    assert.deepEqual(Object.keys(await cached(page)).sort(), [`chaser-${versions.next}`, `chaser-${version}`].sort());
    assert.doesNotMatch(await pageScript(page), /the next build/);
    await page.close();
    const { page: later, record } = await play({ context: withWorker.context, address });
    await later.waitForFunction((next) => caches.keys().then((names) => names.join() === 'chaser-' + next),
      versions.next, { timeout: 30000 });
    assert.match(await pageScript(later), /the next build/);

    // Without network the page reloads from the worker and plays.
    await withWorker.context.setOffline(true);
    record.responses.length = 0;
    await later.reload();
    await later.waitForFunction(() => window.Module?.calledRun && document.getElementById('status').textContent === '',
      null, { timeout: 20000 });
    await later.evaluate(installProbe);
    const start = await findPlayer(later);
    await later.keyboard.down('ArrowLeft');
    await later.waitForTimeout(500);
    await later.keyboard.up('ArrowLeft');
    const moved = await findPlayer(later);
    assert.equal(moved.length, 1);
    assert.ok(moved[0][0] < start[0][0], `the player walks left offline: ${start} to ${moved}`);
    const fromWorker = record.responses.filter((r) => r.fromServiceWorker()).map((r) => new URL(r.url()).pathname);
    for (const file of ['/', '/page.js', '/chaser.js', '/chaser.wasm', '/chaser.data']) {
      assert.ok(fromWorker.includes(file), `${file} from the worker (${fromWorker})`);
    }
    assert.match(await pageScript(later), /the next build/);
    await later.close();
  } finally {
    await withWorker.close();
    own.server.close();
  }
});
