// The web build's figures, in Debian's chromium (headless) against the site
// served on 127.0.0.1 (docs/performance.md, section "Web"):
//
//   tools/web.sh --bench [LOADS] [FRAMES]      (5 page loads, 600 frames unless given)
//
// - the whole site's weight, every file gzipped as served;
// - the picture's size on a phone (390 × 844 at 3 device pixels to the
//   pixel) held upright and sideways, and on a tablet (820 × 1180 at 2);
// - time from navigation to the first frame on that phone with the
//   processor slowed four times (the DevTools protocol's CPU throttling),
//   on a first visit and on a visit served by the service worker;
// - the service worker's installation: from the page's register() to the
//   worker activated, with every file fetched, checked and cached;
// - bytes transferred for the whole page, gzipped as served, file by file;
// - time from navigation to the first frame shown, over LOADS page loads;
// - the interval between frames shown, mean and 99th percentile, over FRAMES
//   frames after the first second of play;
// - processor time per frame: of the whole browser (every process it runs),
//   of its renderer (where the game runs), and the main thread's busy time
//   between an animation frame and the game's next wait for one.
//
// The first frame counts as shown when the game puts it on the canvas (SDL's
// putImageData); each later frame at the time of the animation frame it was
// put on the canvas in, which is when the browser shows it. Both are noted by
// hooks this tool adds to the page; the page and the game are the ones
// served, unchanged.
'use strict';

const fs = require('fs');

const {
  launchBrowser, openGame, kPhone, kPhoneSideways, kTablet,
} = require('../../tools/web/browser.js');
const { startServer } = require('../../tools/web/serve.js');

const loads = Number(process.argv[2] || 5);
const frames = Number(process.argv[3] || 600);
const site = process.env.CHASER_WEB_SITE;

// Added to the page before its own scripts: the time of every frame shown,
// and the main thread's busy time from each animation frame's start to the
// next request for one (which is the game waiting again).
function hookFrames() {
  window.firstPutAt = null;
  window.shownAt = [];
  window.busyMs = [];
  window.animationFrames = [];
  let frameTime = null;
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    if (window.firstPutAt === null) {
      window.firstPutAt = performance.now();
    }
    // A frame put on the canvas during an animation frame is on the display
    // with that animation frame: its time is the frame's.
    window.shownAt.push(frameTime !== null ? frameTime : performance.now());
    return put.apply(this, args);
  };
  const request = window.requestAnimationFrame.bind(window);
  let began = null;
  window.requestAnimationFrame = (callback) => {
    if (began !== null) {
      window.busyMs.push(performance.now() - began);
      began = null;
    }
    return request((time) => {
      began = performance.now();
      frameTime = time;
      window.animationFrames.push(time);
      callback(time);
    });
  };
}

// Processor seconds (user + system) of this process's descendants: the
// browser and everything it started. Each entry: [pid, type, seconds].
function browserProcesses() {
  const ticks = 100;  // USER_HZ on Linux
  const parents = new Map();
  const entries = [];
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) {
      continue;
    }
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      const cmdline = fs.readFileSync(`/proc/${name}/cmdline`, 'utf8');
      const type = /--type=([a-z-]+)/.exec(cmdline)?.[1] || 'browser';
      parents.set(Number(name), Number(fields[1]));
      entries.push([Number(name), type, (Number(fields[11]) + Number(fields[12])) / ticks]);
    } catch {
      // gone meanwhile
    }
  }
  const isOurs = (pid) => {
    for (let p = pid; p > 1; p = parents.get(p)) {
      if (p === process.pid) {
        return true;
      }
      if (!parents.has(p)) {
        return false;
      }
    }
    return false;
  };
  return entries.filter(([pid]) => pid !== process.pid && isOurs(pid));
}

// Processor seconds used between two snapshots by the processes of TYPE (all
// when undefined), counted per process: one that ended in between (such as
// the renderer of a page closed before) is left out, one that started counts
// whole.
function cpuSecondsBetween(before, after, type) {
  const earlier = new Map(before.map(([pid, , seconds]) => [pid, seconds]));
  return after.filter(([, t]) => type === undefined || t === type)
    .reduce((sum, [pid, , seconds]) => sum + seconds - (earlier.get(pid) || 0), 0);
}

function percentile(values, fraction) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.round(fraction * (sorted.length - 1)))];
}

const kb = (bytes) => (bytes / 1024).toFixed(1);

// Added to the page before its own scripts: when it registers the service
// worker, and when that worker is activated.
function hookWorker() {
  window.workerRegisteredAt = null;
  window.workerActivatedAt = null;
  const register = ServiceWorkerContainer.prototype.register;
  ServiceWorkerContainer.prototype.register = function (...args) {
    window.workerRegisteredAt = performance.now();
    const registered = register.apply(this, args);
    registered.then((registration) => {
      const worker = registration.installing || registration.waiting || registration.active;
      const check = () => {
        if (worker.state === 'activated' && window.workerActivatedAt === null) {
          window.workerActivatedAt = performance.now();
        }
      };
      worker.addEventListener('statechange', check);
      check();
    }, () => {});
    return registered;
  };
}

function siteWeight(files) {
  let total = 0;
  const sizes = [];
  for (const [name, file] of files) {
    const gzipped = file.gzipped.length;  // as the server sends it
    total += gzipped;
    sizes.push(`${name.slice(1)} ${kb(gzipped)}`);
  }
  console.log(`Whole site, every file gzipped: ${kb(total)} KB (${total} bytes): ${sizes.join(', ')}`);
}

async function pictureSizes(url) {
  const tabletSideways = { ...kTablet, viewport: { width: 1180, height: 820 } };
  const screens = [['phone upright', kPhone], ['phone sideways', kPhoneSideways],
    ['tablet upright', kTablet], ['tablet sideways', tabletSideways]];
  for (const [name, screen] of screens) {
    const browser = await launchBrowser({ ...screen, serviceWorkers: 'block' });
    try {
      const { page } = await openGame(browser.context, url);
      await page.waitForFunction(() => document.getElementById('status').textContent === '', null,
        { timeout: 30000 });
      const shown = await page.evaluate(() => {
        const box = document.getElementById('canvas').getBoundingClientRect();
        return { width: box.width, height: box.height, fit: document.body.dataset.fit };
      });
      const { width, height } = screen.viewport;
      const ratio = screen.deviceScaleFactor;
      console.log(`Picture, ${name} (${width} × ${height} at ${ratio}): ` +
        `${shown.width.toFixed(1)} × ${shown.height.toFixed(1)} page pixels ` +
        `(${Math.round(shown.width * ratio)} × ${Math.round(shown.height * ratio)} device pixels), ` +
        `${((100 * shown.width) / width).toFixed(1)} % of the width, ` +
        `${((100 * shown.height) / height).toFixed(1)} % of the height; ${shown.fit}`);
    } finally {
      await browser.close();
    }
  }
}

// Navigation to the first frame on the phone with the processor slowed four
// times; LOADS first visits (a fresh profile each), then LOADS visits served
// by the service worker the first of them installed.
async function phoneFirstFrames(url, loads) {
  const load = async (context) => {
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    await cdp.send('Emulation.setCPUThrottlingRate', { rate: 4 });
    await page.addInitScript(hookFrames);
    await page.addInitScript(hookWorker);
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction(() => window.firstPutAt !== null, null, { timeout: 60000 });
    return page;
  };
  const first = [];
  for (let i = 0; i < loads; ++i) {
    const browser = await launchBrowser(kPhone);
    try {
      const page = await load(browser.context);
      first.push(await page.evaluate(() => window.firstPutAt));
    } finally {
      await browser.close();
    }
  }
  const browser = await launchBrowser(kPhone);
  const served = [];
  let install = null;
  try {
    const page = await load(browser.context);
    await page.waitForFunction(() => window.workerActivatedAt !== null, null, { timeout: 60000 });
    install = await page.evaluate(() => window.workerActivatedAt - window.workerRegisteredAt);
    await page.close();
    for (let i = 0; i < loads; ++i) {
      const again = await load(browser.context);
      if (!(await again.evaluate(() => navigator.serviceWorker.controller !== null))) {
        throw new Error('the visit was not served by the service worker');
      }
      served.push(await again.evaluate(() => window.firstPutAt));
      await again.close();
    }
  } finally {
    await browser.close();
  }
  const line = (values) => `median ${percentile(values, 0.5).toFixed(0)} ms ` +
    `(fastest ${Math.min(...values).toFixed(0)}, slowest ${Math.max(...values).toFixed(0)})`;
  console.log(`Phone, processor slowed 4×, navigation to first frame over ${loads} loads: ` +
    `first visit ${line(first)}; served by the service worker ${line(served)}`);
  console.log(`Service worker, register() to activated (10 files fetched, checked, cached), ` +
    `phone with the page's processor slowed 4×: ${install.toFixed(0)} ms`);
}

async function main() {
  if (!site) {
    throw new Error('CHASER_WEB_SITE names the site to measure (tools/web.sh --bench sets it)');
  }
  const { server, files, url } = await startServer(site);
  siteWeight(files);
  await pictureSizes(url);
  await phoneFirstFrames(url, loads);
  const browser = await launchBrowser({ serviceWorkers: 'block' });
  try {
    // Bytes and first frames.
    const firstFrames = [];
    for (let load = 0; load < loads; ++load) {
      const { page, record } = await openGame(browser.context, url,
        { beforeLoad: (p) => p.addInitScript(hookFrames) });
      await page.waitForFunction(() => window.firstPutAt !== null, null, { timeout: 30000 });
      firstFrames.push(await page.evaluate(() => window.firstPutAt));
      if (load === 0) {
        let total = 0;
        console.log('Bytes transferred (gzipped as served, headers included):');
        for (const response of record.responses) {
          const sizes = await response.request().sizes();
          const bytes = sizes.responseBodySize + sizes.responseHeadersSize;
          total += bytes;
          console.log(`  ${new URL(response.url()).pathname.padEnd(14)} ${kb(bytes).padStart(8)} KB` +
            `  (${response.headers()['content-encoding'] || 'identity'})`);
        }
        console.log(`  whole page     ${kb(total).padStart(8)} KB (${total} bytes)`);
      }
      await page.close();
    }
    const sortedFirst = [...firstFrames].sort((a, b) => a - b);
    console.log(`Navigation to first frame over ${loads} loads: median ` +
      `${percentile(firstFrames, 0.5).toFixed(0)} ms, fastest ${sortedFirst[0].toFixed(0)} ms, ` +
      `slowest ${sortedFirst[sortedFirst.length - 1].toFixed(0)} ms`);

    // Frame intervals and processor time.
    const { page } = await openGame(browser.context, url,
      { beforeLoad: (p) => p.addInitScript(hookFrames) });
    await page.waitForFunction(() => window.shownAt.length > 60, null, { timeout: 30000 });
    const startShown = await page.evaluate(() => window.shownAt.length);
    const startBusy = await page.evaluate(() => window.busyMs.length);
    const before = browserProcesses();
    const wallBefore = process.hrtime.bigint();
    await page.waitForFunction((n) => window.shownAt.length > n, startShown + frames,
      { timeout: 60000, polling: 200 });
    const after = browserProcesses();
    const wall = Number(process.hrtime.bigint() - wallBefore) / 1e9;
    const shown = await page.evaluate(() => window.shownAt);
    const busy = await page.evaluate(() => window.busyMs);
    const times = shown.slice(startShown - 1, startShown + frames);
    const intervals = times.slice(1).map((t, i) => t - times[i]);
    const mean = (times[times.length - 1] - times[0]) / intervals.length;
    const deviations = intervals.map((v) => Math.abs(v - 1000 / 60));
    console.log(`Frame interval over ${intervals.length} frames: mean ${mean.toFixed(4)} ms, ` +
      `99th percentile ${percentile(intervals, 0.99).toFixed(3)} ms, ` +
      `largest ${Math.max(...intervals).toFixed(3)} ms; distance from 1/60 s: ` +
      `median ${percentile(deviations, 0.5).toFixed(3)} ms, p99 ${percentile(deviations, 0.99).toFixed(3)} ms`);
    // Whether long intervals are the browser's (animation frames that did not
    // come, as when the machine is busy) or the game's (animation frames it
    // let pass without a frame).
    const animationFrames = (await page.evaluate(() => window.animationFrames))
      .filter((t) => t >= times[0] && t <= times[times.length - 1]);
    const browserGaps = animationFrames.slice(1)
      .filter((t, i) => t - animationFrames[i] > 1.5 * (1000 / 60)).length;
    console.log(`Animation frames in that time: ${animationFrames.length}, a frame shown at ` +
      `${new Set(times).size} of them; gaps of more than 1.5 periods between animation ` +
      `frames (the browser's): ${browserGaps}`);
    const framesMeasured = shown.length - startShown;
    const perFrame = (type) => {
      const seconds = cpuSecondsBetween(before, after, type);
      return `${((seconds * 1000) / framesMeasured).toFixed(3)} ms` +
        ` (${((100 * seconds) / wall).toFixed(1)} % of a core)`;
    };
    const busyFrames = busy.slice(startBusy);
    console.log(`Processor time per frame over ${framesMeasured} frames (${wall.toFixed(1)} s): ` +
      `whole browser ${perFrame()}, renderer ${perFrame('renderer')}, ` +
      `GPU process ${perFrame('gpu-process')}`);
    console.log(`Main thread busy per frame (animation frame to the next wait): ` +
      `median ${percentile(busyFrames, 0.5).toFixed(3)} ms, ` +
      `p99 ${percentile(busyFrames, 0.99).toFixed(3)} ms`);
    await page.close();
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error.stack || String(error));
  process.exit(1);
});
