// A player with only game pads in the page, in Debian's chromium, headless:
// pads answered through the browser's Gamepad API steer the game, the touch
// pad steps aside for them, a pad plugged in after the page loads becomes
// pad 1 and the next one takes over when it is unplugged, and Back + Start
// end the game with status 0, a recording that plays back to the same end.
//
//   tools/web.sh --test
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { test, before, after } = require('node:test');

const { launchBrowser, openGame, kTablet } = require('../../tools/web/browser.js');
const { startServer } = require('../../tools/web/serve.js');
const { installProbe } = require('./probe.js');

const site = process.env.CHASER_WEB_SITE ||
  path.join(__dirname, '..', '..', 'build', 'web', 'site');

let server;
let url;
let tablet;

before(async () => {
  ({ server, url } = await startServer(site));
  tablet = await launchBrowser({ ...kTablet, serviceWorkers: 'block', acceptDownloads: true });
});

after(async () => {
  await tablet?.close();
  server?.close();
});

// The browser's Gamepad API as the page sees it, with no pad until the test
// plugs one in: the pads the browser lists, and the events it sends when one
// comes or goes. A pad's state changes with its timestamp, as a browser's do.
function fakeGamepads() {
  const slots = [null, null, null, null];
  navigator.getGamepads = () => slots.slice();
  const tell = (type, pad) => {
    const event = new Event(type);
    Object.defineProperty(event, 'gamepad', { value: pad });
    window.dispatchEvent(event);
  };
  window.testPads = {
    // `axes`: their values as it comes (a browser shows a pad only once
    // something on it is pressed).
    plug(index, { id, mapping, buttons, axes }) {
      slots[index] = {
        id, index, mapping, connected: true, timestamp: 1, axes: [...axes],
        buttons: Array.from({ length: buttons }, () => ({ pressed: false, touched: false, value: 0 })),
      };
      tell('gamepadconnected', slots[index]);
    },
    hold(index, button, held) {
      const pad = slots[index];
      pad.buttons[button] = { pressed: held, touched: held, value: held ? 1 : 0 };
      pad.timestamp += 1;
    },
    unplug(index) {
      const pad = slots[index];
      slots[index] = null;
      pad.connected = false;
      tell('gamepaddisconnected', pad);
    },
  };
}

// The standard mapping's buttons (the browser's numbering).
const kBack = 8;
const kStart = 9;
const kUp = 12;
const kRight = 15;

// Where the player's lower sprite stands on row 400: its x values. The
// chaser swings over the player now and then, so a few pictures are tried.
async function playerXs(page) {
  let found = [];
  for (let tries = 0; tries < 10 && found.length === 0; ++tries) {
    found = await page.evaluate(async (wait) => {
      await new Promise((resolve) => setTimeout(resolve, wait));
      const probe = window.chaserProbe;
      return probe.find(probe.sprite('chr25-1.bmp'), probe.snapshot(),
        { x0: probe.clip.left - 31, x1: probe.clip.right, y0: 400, y1: 401 }).map((p) => p.x);
    }, tries === 0 ? 0 : 50);
  }
  return found;
}

// Looks until the player's x values on row 400 pass `check`, for up to ten
// seconds (a busy machine shows fewer frames a second); the last ones seen.
async function awaitPlayer(page, check) {
  const until = Date.now() + 10000;
  let xs = await playerXs(page);
  while (!check(xs) && Date.now() < until) {
    await page.waitForTimeout(100);
    xs = await playerXs(page);
  }
  return xs;
}

const stillPlaying = async (page) =>
  assert.equal(await page.isVisible('#ended'), false, await page.textContent('#ended-text'));

test('pads alone steer, take over from each other, step the touch pad aside, and Back + Start end the game with status 0', async () => {
  const saved = fs.mkdtempSync(path.join(os.tmpdir(), 'chaser-pad-'));
  try {
    const { page, record } = await openGame(tablet.context, `${url}index.html?digests=1`, {
      beforeLoad: (p) => p.addInitScript(fakeGamepads),
    });
    // Playing once the sky of the tile strip is on the canvas.
    await page.waitForFunction(() => {
      const pixel = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
      pixel.drawImage(document.getElementById('canvas'), 300, 2, 1, 1, 0, 0, 1, 1);
      const [r, g, b] = pixel.getImageData(0, 0, 1, 1).data;
      return r + g + b > 0;
    }, null, { timeout: 20000 });
    await page.evaluate(installProbe);

    // A touch shows the touch pad; a pad that comes after the page loaded
    // puts it aside. This pad has no standard mapping: its first stick
    // steers, held left from the moment the browser shows it.
    const canvas = await page.locator('#canvas').boundingBox();
    await page.touchscreen.tap(canvas.x + canvas.width / 2, canvas.y + canvas.height / 2);
    assert.equal(await page.isVisible('#touch-pad'), true);
    await page.evaluate(() => window.testPads.plug(0, { id: 'Plain pad', mapping: '', buttons: 10, axes: [-1, 0] }));
    await page.waitForFunction(() => !document.body.classList.contains('touch'));
    assert.equal(await page.isVisible('#touch-pad'), false);
    const atTheEdge = (xs) => xs.length === 1 && xs[0] === 102;
    assert.deepEqual(await awaitPlayer(page, atTheEdge), [102], 'the first pad\'s stick steered left to the edge');

    // A second pad, standard: pad 1 is still the first, so its d-pad held
    // up does not move the player from row 400. Unplugged, the first lets go
    // of all it held (or the player would not leave the left edge: left and
    // right together stay put there) and the second takes over.
    await page.evaluate(() => window.testPads.plug(1, { id: 'Standard pad (STANDARD GAMEPAD)', mapping: 'standard', buttons: 17, axes: [0, 0, 0, 0] }));
    await page.evaluate((button) => window.testPads.hold(1, button, true), kUp);
    await page.waitForTimeout(300);
    assert.deepEqual(await playerXs(page), [102], 'the second pad is not pad 1 yet');
    await page.evaluate(({ up, right }) => {
      window.testPads.hold(1, up, false);
      window.testPads.hold(1, right, true);
      window.testPads.unplug(0);
    }, { up: kUp, right: kRight });
    const [x] = await awaitPlayer(page, (xs) => xs.length === 1 && xs[0] > 102);
    assert.ok(x > 102, `the second pad's d-pad steered right (x = ${x})`);
    await page.evaluate((button) => window.testPads.hold(1, button, false), kRight);

    // Start alone, Back alone and the d-pad play on.
    for (const button of [kStart, kBack, kUp]) {
      await page.evaluate((b) => window.testPads.hold(1, b, true), button);
      await page.waitForTimeout(400);
      await page.evaluate((b) => window.testPads.hold(1, b, false), button);
      await stillPlaying(page);
    }
    await page.evaluate(({ back, start }) => {
      window.testPads.hold(1, back, true);
      window.testPads.hold(1, start, true);
    }, { back: kBack, start: kStart });
    await page.waitForSelector('#ended:not([hidden])', { timeout: 5000 });
    assert.equal(await page.textContent('#ended-text'), 'The game ended (status 0).');
    assert.equal(await page.getAttribute('body', 'data-exit-status'), '0');
    assert.equal(await page.title(), 'ended 0');

    // The recording: the pads' directions as pad bits (left, right, up),
    // the quit request on its last frame alone; played back it shows every
    // frame as the game did and ends there too.
    const liveDigests = await page.textContent('#digests');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-recording')]);
    const file = path.join(saved, download.suggestedFilename());
    await download.saveAs(file);
    const lines = fs.readFileSync(file, 'utf8').trim().split('\n');
    assert.equal(lines[0], 'chaser-replay 1');
    const frames = lines.slice(1);
    for (const bits of ['2', '4', '8']) {
      assert.ok(frames.some((line) => line === `${bits} 0`), `pad bits ${bits} recorded`);
    }
    assert.match(frames[frames.length - 1], /^\d+ 1$/);
    assert.ok(frames.slice(0, -1).every((line) => /^\d+ 0$/.test(line)), 'no key, no earlier quit');
    assert.equal(frames.length - 1, liveDigests.trim().split('\n').length);

    const { page: viewer, record: viewed } =
      await openGame(tablet.context, `${url}index.html?digests=1&unpaced=1`);
    await viewer.setInputFiles('#open-recording', file);
    await viewer.waitForFunction(() => document.title.startsWith('ended '), null, { timeout: 60000 });
    assert.equal(await viewer.title(), 'ended 0', await viewer.textContent('#ended-reason'));
    assert.equal(await viewer.textContent('#digests'), liveDigests);

    assert.deepEqual(record.consoleErrors, []);
    assert.deepEqual(viewed.consoleErrors, []);
    await viewer.close();
    await page.close();
  } finally {
    fs.rmSync(saved, { recursive: true, force: true });
  }
});
