// The web build in Debian's chromium, headless, against the site served on
// 127.0.0.1: the page, the pictures it shows (read back from the canvas), the
// keys and a game pad reaching the game, and the ends of the program.
//
//   tools/web.sh --test
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { test, before, after } = require('node:test');

const { launchBrowser, openGame } = require('../../tools/web/browser.js');
const { startServer } = require('../../tools/web/serve.js');
const { installProbe } = require('./probe.js');

const site = process.env.CHASER_WEB_SITE ||
  path.join(__dirname, '..', '..', 'build', 'web', 'site');

let server;
let url;
let browser;

before(async () => {
  ({ server, url } = await startServer(site));
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  server?.close();
});

const twoDigits = (n) => String(n).padStart(2, '0');

// Opens the page and waits until the game draws: the sky of the tile strip
// is on the canvas.
async function play(options) {
  const game = await openGame(browser.context, url, options);
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

test('the screen is scaled by whole factors; the button and Alt+Enter toggle fullscreen', async () => {
  const { page, record } = await play();
  const shownSize = () => page.evaluate(() => {
    const box = document.getElementById('canvas').getBoundingClientRect();
    return [box.width, box.height];
  });
  assert.deepEqual(await shownSize(), [640, 480]);  // 1280 × 800: twice does not fit in height
  await page.setViewportSize({ width: 1400, height: 1100 });
  await page.waitForFunction(() => document.getElementById('canvas').style.width === '1280px');
  assert.deepEqual(await shownSize(), [1280, 960]);
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

// The committed recordings, replayed in the browser as fast as it goes, show
// exactly the frames they show on Linux and Windows: the page's digests equal
// the committed ones line for line.
test('each committed replay gives the committed digests, frame for frame', async () => {
  const replays = path.join(__dirname, '..', 'replays');
  const names = fs.readdirSync(replays).filter((name) => name.endsWith('.replay'));
  assert.ok(names.length >= 2, 'the committed replays are there');
  for (const name of names) {
    const expected = fs.readFileSync(
      path.join(replays, name.replace(/\.replay$/, '.digests')), 'utf8');
    const serveReplays = async (page) => {
      await page.route(/\/replays\/[^/]+\.replay$/, (route) => route.fulfill({
        contentType: 'application/octet-stream',
        body: fs.readFileSync(
          path.join(replays, path.basename(new URL(route.request().url()).pathname))),
      }));
    };
    const { page, record } = await openGame(browser.context,
      `${url}index.html?replay=replays/${name}&digests=1&unpaced=1`, { beforeLoad: serveReplays });
    await page.waitForFunction(() => document.title.startsWith('ended '), null, { timeout: 120000 });
    assert.equal(await page.title(), 'ended 0', `${name}: ${await page.textContent('#ended-reason')}`);
    const shown = (await page.textContent('#digests')).split('\n');
    const wanted = expected.split('\n');
    const last = Math.max(shown.length, wanted.length);
    let first = 0;
    while (first < last && shown[first] === wanted[first]) {
      ++first;
    }
    // Lines are "FRAME DIGEST": the line number is the frame's number.
    assert.equal(first, last, `${name}: frame ${first + 1} differs: the page shows ` +
      `"${shown[first] ?? '(no line)'}", the committed digests "${wanted[first] ?? '(no line)'}"`);
    assert.deepEqual(record.consoleErrors, []);
    await page.close();
  }
});
