// The page's own faults, in headless chromium against the site served on
// 127.0.0.1: a recording that plays can be stopped, finished games leave
// nothing behind, opened recordings play as chosen and are never refused
// for their names, a file that cannot be read loses no game, a browser that
// cannot run the game is told so, and a new build is taken up whole.
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

const { launchBrowser, openGame } = require('../../tools/web/browser.js');
const { startServer } = require('../../tools/web/serve.js');

const site = process.env.CHASER_WEB_SITE ||
  path.join(__dirname, '..', '..', 'build', 'web', 'site');
const replays = path.join(__dirname, '..', 'replays');
const committed = (name) => fs.readFileSync(path.join(replays, name));

let server;
let url;
let browser;
let scratch;

before(async () => {
  ({ server, url } = await startServer(site));
  browser = await launchBrowser({ serviceWorkers: 'block', acceptDownloads: true });
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'chaser-page-faults-'));
});

after(async () => {
  await browser?.close();
  server?.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

// A recording of FRAMES frames in which nothing is pressed.
const idle = (frames) => 'chaser-replay 1\n' + '0 0\n'.repeat(frames);

const ended = (page, timeout = 60000) =>
  page.waitForFunction(() => document.title.startsWith('ended '), null, { timeout });

// Until the game draws: the sky of the tile strip is on the canvas.
const drawing = (page) => page.waitForFunction(() => {
  const canvas = document.getElementById('canvas');
  if (canvas.width === 0) {
    return false;
  }
  const pixel = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
  pixel.drawImage(canvas, 300, 2, 1, 1, 0, 0, 1, 1);
  const [r, g, b] = pixel.getImageData(0, 0, 1, 1).data;
  return r + g + b > 0;
}, null, { timeout: 20000 });

// Drops files made in the page (name → text) on the stage, as a player does.
async function drop(page, files) {
  const transfer = await page.evaluateHandle((entries) => {
    const data = new DataTransfer();
    for (const [name, text] of entries) {
      data.items.add(new File([text], name));
    }
    return data;
  }, Object.entries(files));
  await page.dispatchEvent('#stage', 'drop', { dataTransfer: transfer });
}

async function savedRecording(page) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-recording')]);
  const file = path.join(scratch, download.suggestedFilename());
  await download.saveAs(file);
  return fs.readFileSync(file, 'utf8');
}

test('Escape stops a recording that plays, by address and opened, and the recording is not changed by it', async () => {
  // Half an hour of frames at the normal pace.
  const long = idle(100000);
  const serveLong = (page) => page.route(/\/long\.replay$/, (route) =>
    route.fulfill({ contentType: 'application/octet-stream', body: long }));
  const { page, record } = await openGame(browser.context, `${url}index.html?replay=long.replay`,
    { beforeLoad: serveLong });
  await drawing(page);
  await page.waitForTimeout(300);
  await page.keyboard.down('Escape');
  await ended(page, 5000);
  await page.keyboard.up('Escape');
  assert.equal(await page.title(), 'ended 0', await page.textContent('#ended-reason'));
  // What was played, frame for frame as the recording has it, and then the
  // watcher's quit.
  const lines = (await savedRecording(page)).trim().split('\n');
  assert.ok(lines.length >= 3, `${lines.length} lines`);
  assert.deepEqual(lines.slice(1, -1).filter((line) => line !== '0 0'), []);
  assert.equal(lines[lines.length - 1], '0 1');

  // The same recording opened in the page, unpaced: a tap is enough.
  const file = path.join(scratch, 'long.replay');
  fs.writeFileSync(file, long);
  const { page: opened } = await openGame(browser.context, `${url}index.html?unpaced=1`);
  await drawing(opened);
  await opened.setInputFiles('#open-recording', file);
  await opened.waitForFunction(() => window.Module?.ENV?.DXLIBDLL_REPLAY === 'long.replay' && window.Module.calledRun);
  await opened.waitForTimeout(300);
  await opened.keyboard.press('Escape');
  await ended(opened, 5000);
  assert.equal(await opened.title(), 'ended 0');
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
  await opened.close();
});

test('ten games in one page leave no listener and no program behind', async () => {
  const { page, record } = await openGame(browser.context, `${url}index.html?unpaced=1`);
  await drawing(page);
  const cdp = await page.context().newCDPSession(page);
  const documentListeners = async () => {
    const { result } = await cdp.send('Runtime.evaluate', { expression: 'document' });
    const { listeners } = await cdp.send('DOMDebugger.getEventListeners', { objectId: result.objectId });
    return listeners.length;
  };
  // The first game's program, held weakly.
  await page.evaluate(() => {
    window.firstProgram = new WeakRef(window.Module);
  });
  const counts = [];
  for (let game = 0; game < 10; ++game) {
    await drop(page, { [`game-${game}.replay`]: idle(20) });
    await ended(page);
    assert.equal(await page.title(), 'ended 0');
    await page.evaluate(() => {
      document.title = 'Chaser';
    });
    counts.push(await documentListeners());
  }
  assert.deepEqual(counts, Array(10).fill(counts[0]), `listeners on the document after each game: ${counts}`);
  await cdp.send('HeapProfiler.collectGarbage');
  await page.waitForTimeout(100);
  await cdp.send('HeapProfiler.collectGarbage');
  assert.equal(await page.evaluate(() => window.firstProgram.deref() === undefined), true,
    'the first game\'s program is still reachable');
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
});

test('of two recordings opened in a row the last plays, and a recording named like the page\'s own files plays', async () => {
  const { page, record } = await openGame(browser.context, `${url}index.html?unpaced=1&digests=1`);
  await drawing(page);
  // The first chosen is large, so the second is read first.
  const first = path.join(scratch, 'first.replay');
  fs.writeFileSync(first, 'chaser-replay 1\n' + '8 0\n'.repeat(300000));
  const second = path.join(scratch, 'second.replay');
  fs.writeFileSync(second, committed('quit-request.replay'));
  await page.setInputFiles('#open-recording', first);
  await page.setInputFiles('#open-recording', second);
  await ended(page);
  await page.waitForTimeout(1000);
  assert.equal(await page.title(), 'ended 0');
  assert.equal(await page.textContent('#digests'), committed('quit-request.digests').toString());

  for (const name of ['session-recorded.replay', 'session.digests', 'recorded.replay', 'page']) {
    await page.evaluate(() => {
      document.title = 'Chaser';
    });
    const file = path.join(scratch, name);
    fs.writeFileSync(file, committed('quit-request.replay'));
    await page.setInputFiles('#open-recording', file);
    await ended(page);
    assert.equal(await page.title(), 'ended 0', `${name}: ${await page.textContent('#ended-reason')}`);
    assert.equal(await page.textContent('#digests'), committed('quit-request.digests').toString(), name);
  }
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
});

test('a recording that cannot be read, during a game or after it, keeps that game savable and its reason shown', async () => {
  const unreadable = () => {
    const read = File.prototype.arrayBuffer;
    File.prototype.arrayBuffer = function () {
      return this.name === 'unreadable.replay'
        ? Promise.reject(new DOMException('the disk said no', 'NotReadableError')) : read.call(this);
    };
  };
  const { page, record } = await openGame(browser.context, url, { beforeLoad: (p) => p.addInitScript(unreadable) });
  await drawing(page);
  await page.keyboard.down('ArrowRight');
  await page.waitForTimeout(300);
  await page.keyboard.up('ArrowRight');
  // During the game: it ends, and the reason stays over its end.
  await drop(page, { 'unreadable.replay': 'chaser-replay 1\n' });
  await ended(page, 5000);
  await page.waitForTimeout(500);
  assert.equal(await page.textContent('#ended-reason'), 'Could not read unreadable.replay: the disk said no');
  assert.ok(await page.isVisible('#save-recording'));
  const played = await savedRecording(page);
  assert.match(played, /^chaser-replay 1\n(0 0\n)*(0 0 205\n)+/);

  // After it: the same game is still the one to save.
  await drop(page, { 'unreadable.replay': 'chaser-replay 1\n' });
  await page.waitForFunction(() => !document.getElementById('ended').hidden);
  assert.equal(await page.textContent('#ended-reason'), 'Could not read unreadable.replay: the disk said no');
  assert.ok(await page.isVisible('#save-recording'));
  assert.equal(await savedRecording(page), played);
  assert.deepEqual(record.consoleErrors, []);
  await page.close();
});

test('a browser that cannot run the game is told why in one line: no WebAssembly, a file missing or cut short', async () => {
  const cases = [
    ['no WebAssembly', (p) => p.addInitScript(() => delete window.WebAssembly),
      /^The game cannot start: this browser has no WebAssembly\.$/],
    ['code missing', (p) => p.route(/chaser\.wasm$/, (route) => route.fulfill({ status: 404, body: '' })),
      /^The game could not be loaded: chaser\.wasm: HTTP 404$/],
    ['art cut short', (p) => p.route(/chaser\.data$/, async (route) => {
      const response = await route.fetch();
      await route.fulfill({ response, body: (await response.body()).subarray(0, 1000) });
    }), /^The game could not be loaded: chaser\.data is cut short \(1000 of \d+ bytes\)$/],
  ];
  for (const [what, beforeLoad, line] of cases) {
    const { page } = await openGame(browser.context, url, { beforeLoad });
    await page.waitForSelector('#status.failed', { timeout: 20000 });
    assert.match(await page.textContent('#status'), line, what);
    assert.equal(await page.isVisible('#ended'), false, what);
    await page.close();
  }
});

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

// Build B on the server: each file named gets a line added, and sw.js is
// written for them as the build writes it.
function deployBuildB(files, added) {
  let worker = files.get('/sw.js').body.toString();
  const version = /const kVersion = '([0-9a-f]{16})'/.exec(worker)[1];
  worker = worker.replace(version, sha256(worker).slice(0, 16));
  for (const [name, line] of Object.entries(added)) {
    const body = Buffer.concat([files.get(name).body, Buffer.from(`\n${line}\n`)]);
    worker = worker.replace(sha256(files.get(name).body), sha256(body));
    files.set(name, { ...files.get(name), body, gzipped: zlib.gzipSync(body) });
  }
  const body = Buffer.from(worker);
  files.set('/sw.js', { ...files.get('/sw.js'), body, gzipped: zlib.gzipSync(body) });
}

test('build A, then build B: the open page plays A and says once that B is ready; a page opened afresh runs B whole', async () => {
  const own = await startServer(site);
  const withWorker = await launchBrowser();
  try {
    const { page, record } = await openGame(withWorker.context, own.url);
    await drawing(page);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, { timeout: 30000 });
    deployBuildB(own.files, { '/page.js': 'window.pageBuild = "B";', '/chaser.js': 'window.programBuild = "B";' });
    const update = () => page.evaluate(async () => {
      const registration = await navigator.serviceWorker.getRegistration();
      await registration.update();
    });
    await update();
    await page.waitForFunction(() => document.getElementById('note').textContent.includes('new version'),
      null, { timeout: 30000 });
    await update();
    await page.waitForTimeout(500);
    assert.equal(await page.textContent('#note'), 'A new version is ready: close this page and open it again to play it.');
    // A plays on.
    assert.equal(await page.evaluate(() => [window.pageBuild, window.programBuild, window.Module?.calledRun].join()),
      ',,true');
    await page.keyboard.press('Escape');
    await ended(page, 5000);
    assert.equal(await page.title(), 'ended 0');

    // Reloaded, it is A whole still: B takes over once no page runs A.
    await page.reload();
    await drawing(page);
    assert.equal(await page.evaluate(() => [window.pageBuild, window.programBuild].join()), ',');
    await page.close();
    // B takes over once the browser has seen no page of A: a page opened
    // before that is A's still, and closed again.
    let later;
    let laterRecord;
    for (let tries = 0; ; ++tries) {
      ({ page: later, record: laterRecord } = await openGame(withWorker.context, own.url));
      if (await later.evaluate(() => caches.keys().then((names) => names.length === 1))) {
        break;
      }
      assert.ok(tries < 30, 'B never took over');
      await later.close();
      await new Promise((resolve) => setTimeout(resolve, 500));
    }
    await drawing(later);
    assert.equal(await later.evaluate(() => [window.pageBuild, window.programBuild].join()), 'B,B');
    const names = await later.evaluate(() => caches.keys());
    const workerText = await later.evaluate(() => fetch('sw.js').then((r) => r.text()));
    assert.deepEqual(names, ['chaser-' + /const kVersion = '([0-9a-f]{16})'/.exec(workerText)[1]]);
    assert.equal(await later.isVisible('#note'), false);
    assert.deepEqual(laterRecord.consoleErrors, []);
    assert.deepEqual(record.consoleErrors, []);
    await later.close();
  } finally {
    await withWorker.close();
    own.server.close();
  }
});
