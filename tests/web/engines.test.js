// The checks a player's browser must pass, whichever engine it is built on:
// chromium, Firefox and WebKit (tools/web/engines.js drives each). One list of
// checks, each on one page load, recordings unpaced:
// the committed recordings give their committed digests; W A S D steer; a
// recording saved from the page opens again to the live frames; an offline
// reload through the service worker plays; no error reaches the console; and,
// where the engine can be given fingers, the touch pad steers.
//
//   CHASER_WEB_ENGINES="firefox webkit" node --test tests/web/engines.test.js
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { describe, test, before, after } = require('node:test');
const zlib = require('node:zlib');

const { launchEngine, engineNames, touchEngines } = require('../../tools/web/engines.js');
const { startServer } = require('../../tools/web/serve.js');
const { installProbe } = require('./probe.js');

const site = process.env.CHASER_WEB_SITE ||
  path.join(__dirname, '..', '..', 'build', 'web', 'site');
const engines = (process.env.CHASER_WEB_ENGINES || engineNames.join(' ')).split(/[\s,]+/).filter(Boolean);
const replays = path.join(__dirname, '..', 'replays');
const replayNames = fs.readdirSync(replays).filter((name) => name.endsWith('.replay')).sort();

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls a function in the page until it returns something true.
async function waitFor(page, fn, arg, { timeout = 20000, what = String(fn) } = {}) {
  const end = Date.now() + timeout;
  for (;;) {
    const value = await page.evaluate(fn, arg);
    if (value) {
      return value;
    }
    if (Date.now() > end) {
      throw new Error(`timed out waiting for ${what}`);
    }
    await sleep(100);
  }
}

// The game draws: the sky of the tile strip is on the canvas.
async function waitForGame(page) {
  await waitFor(page, () => {
    const canvas = document.getElementById('canvas');
    if (!window.Module?.FS || !canvas) {
      return false;
    }
    const pixel = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
    pixel.drawImage(canvas, 300, 2, 1, 1, 0, 0, 1, 1);
    const [r, g, b] = pixel.getImageData(0, 0, 1, 1).data;
    return r + g + b > 0;
  }, null, { what: 'the game to draw' });
  await page.evaluate(installProbe);
}

const waitForEnd = (page, timeout = 120000) => waitFor(page,
  () => document.title.startsWith('ended ') && document.title, null, { timeout, what: 'the game to end' });

// Where the player's legs are, anywhere in the clip rectangle.
function findPlayer(page) {
  return page.evaluate(() => {
    const probe = window.chaserProbe;
    return probe.find(probe.sprite('chr25-1.bmp'), probe.snapshot(),
      { x0: probe.clip.left - 31, x1: probe.clip.right, y0: 100, y1: 480 }).map((f) => [f.x, f.y]);
  });
}

async function hold(page, code, ms) {
  await page.keyDown(code);
  await sleep(ms);
  await page.keyUp(code);
  await sleep(150);
}

// Lines are "FRAME DIGEST": the first line that differs names its frame.
function assertSameDigests(shown, wanted, what) {
  const a = shown.split('\n');
  const b = wanted.split('\n');
  const last = Math.max(a.length, b.length);
  let first = 0;
  while (first < last && a[first] === b[first]) {
    ++first;
  }
  assert.equal(first, last, `${what}: frame ${first + 1} differs: the page shows ` +
    `"${a[first] ?? '(no line)'}", wanted "${b[first] ?? '(no line)'}"`);
}

function serveFile(files, name, body) {
  files.set(name, { body, gzipped: zlib.gzipSync(body), type: 'application/octet-stream' });
}

for (const engineName of engines) {
  describe(engineName, () => {
    let engine;
    let server;
    let url;

    before(async () => {
      let files;
      ({ server, files, url } = await startServer(site));
      for (const name of replayNames) {
        serveFile(files, `/replays/${name}`, fs.readFileSync(path.join(replays, name)));
      }
      engine = await launchEngine(engineName);
    });
    after(async () => {
      await engine?.close();
      server?.close();
    });

    // The committed recordings, by address and as fast as the engine goes,
    // show exactly the frames they show on Linux and Windows.
    for (const name of replayNames) {
      test(`${name} gives its committed digests`, async () => {
        const expected = fs.readFileSync(path.join(replays, name.replace(/\.replay$/, '.digests')), 'utf8');
        const page = await engine.open(`${url}index.html?replay=replays/${name}&digests=1&unpaced=1`);
        try {
          const title = await waitForEnd(page);
          assert.equal(title, 'ended 0',
            await page.evaluate(() => document.getElementById('ended-reason').textContent));
          assertSameDigests(await page.evaluate(() => document.getElementById('digests').textContent),
            expected, name);
        } finally {
          await page.close();
        }
      });
    }

    test('W A S D steer the player', async () => {
      const page = await engine.open(url);
      try {
        await waitForGame(page);
        const [start] = await findPlayer(page);
        assert.deepEqual(start, [300, 400]);
        await hold(page, 'KeyD', 300);
        const [right] = await findPlayer(page);
        assert.ok(right[0] > start[0] && right[1] === start[1], `D: ${start} to ${right}`);
        await hold(page, 'KeyW', 300);
        const [up] = await findPlayer(page);
        assert.ok(up[1] < right[1] && up[0] === right[0], `W: ${right} to ${up}`);
        await hold(page, 'KeyA', 300);
        const [left] = await findPlayer(page);
        assert.ok(left[0] < up[0] && left[1] === up[1], `A: ${up} to ${left}`);
        await hold(page, 'KeyS', 300);
        const [down] = await findPlayer(page);
        assert.ok(down[1] > left[1] && down[0] === left[0], `S: ${left} to ${down}`);
      } finally {
        await page.close();
      }
    });

    test('a recording saved from the page opens again to the live frames', async () => {
      const page = await engine.open(`${url}index.html?digests=1`);
      const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'chaser-saved-'));
      try {
        await waitForGame(page);
        await hold(page, 'KeyD', 250);
        await hold(page, 'ArrowUp', 250);
        await hold(page, 'Escape', 300);
        assert.equal(await waitForEnd(page), 'ended 0');
        const live = await page.evaluate(() => document.getElementById('digests').textContent);
        assert.ok(live.trim() !== '', 'the live game wrote its digests');
        await page.evaluate(() => document.getElementById('save-recording').click());
        const saved = await waitFor(page, () => window.chaserSaved[0], null, { what: 'the saved recording' });
        assert.match(saved.name, /^chaser-\d{8}-\d{6}\.replay$/);
        assert.equal(saved.text.split('\n')[0], 'chaser-replay 1');
        const file = path.join(folder, saved.name);
        fs.writeFileSync(file, saved.text);

        await page.evaluate(() => {
          document.title = 'opening';
        });
        await page.setFile('#open-recording', file);
        assert.equal(await waitForEnd(page), 'ended 0');
        assertSameDigests(await page.evaluate(() => document.getElementById('digests').textContent),
          live, 'the saved recording');
      } finally {
        await page.close();
        fs.rmSync(folder, { recursive: true, force: true });
      }
    });

    test('offline, a reload comes from the service worker and plays', async () => {
      // A site of its own, which goes away.
      const own = await startServer(site);
      const page = await engine.open(own.url);
      try {
        await waitForGame(page);
        await waitFor(page, () => navigator.serviceWorker?.controller !== null, null,
          { timeout: 30000, what: 'the service worker to take the page' });
        own.server.close();
        own.server.closeAllConnections();
        await page.reload();
        await waitForGame(page);
        const [start] = await findPlayer(page);
        await hold(page, 'ArrowLeft', 400);
        const [moved] = await findPlayer(page);
        assert.ok(moved[0] < start[0], `the player walks left offline: ${start} to ${moved}`);
        // The site is gone: only the worker answered.
        assert.equal(await page.evaluate(() => fetch('offline-probe.txt').then(() => 'answered', () => 'failed')),
          'failed');
      } finally {
        await page.close();
        own.server.close();
      }
    });

    // A live game's end and a recording's end, then a moment for anything
    // reported late: the console holds no error. Firefox reports a rejected
    // promise even when the page's handler calls preventDefault() on it, so
    // a game that ends by rejecting one fails here in Firefox alone
    // ("uncaught exception: Object", once per game's end).
    test('no error reaches the console', async () => {
      const page = await engine.open(url);
      try {
        await waitForGame(page);
        await hold(page, 'KeyS', 200);
        await hold(page, 'Escape', 300);
        assert.equal(await waitForEnd(page), 'ended 0');
        await page.evaluate(() => {
          document.title = 'opening';
        });
        await page.setFile('#open-recording', path.join(replays, 'quit-request.replay'));
        assert.equal(await waitForEnd(page), 'ended 0');
        await sleep(500);
        assert.deepEqual(await page.consoleErrors(), []);
      } finally {
        await page.close();
      }
    });

    test('a finger on the touch pad steers', { skip: !touchEngines.includes(engineName) && `${engineName} is given no touch here` }, async () => {
      const page = await engine.open(url);
      try {
        await waitForGame(page);
        // A touch anywhere shows the touch controls.
        const box = (selector) => page.evaluate((s) => {
          const b = document.querySelector(s).getBoundingClientRect();
          return { x: b.left + b.width / 2, y: b.top + b.height / 2, r: b.width / 2, shown: b.width > 0 };
        }, selector);
        const canvas = await box('#canvas');
        await (await page.touch(canvas.x, canvas.y)).lift();
        const pad = await box('#touch-pad');
        assert.ok(pad.shown, 'the pad shows at a touch');
        const [start] = await findPlayer(page);
        const finger = await page.touch(pad.x + 0.7 * pad.r, pad.y);
        await sleep(500);
        assert.equal(await page.evaluate(() => document.getElementById('touch-pad').dataset.held), 'right');
        await finger.move(pad.x, pad.y - 0.7 * pad.r);
        await sleep(300);
        assert.equal(await page.evaluate(() => document.getElementById('touch-pad').dataset.held), 'up');
        await finger.lift();
        await waitFor(page, () => document.getElementById('touch-pad').dataset.held === '');
        // A direction touched since the last frame counts for that frame.
        await sleep(150);
        const [stopped] = await findPlayer(page);
        assert.ok(stopped[0] > start[0] && stopped[1] < start[1], `the finger steered: ${start} to ${stopped}`);
        await sleep(300);
        assert.deepEqual((await findPlayer(page))[0], stopped, 'a lifted finger steers no more');
      } finally {
        await page.close();
      }
    });
  });
}
