// The web build's figures, in Debian's chromium (headless) against the site
// served on 127.0.0.1 (docs/performance.md, section "Web"):
//
//   tools/web.sh --bench [LOADS] [FRAMES]      (5 page loads, 600 frames unless given)
//
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

const { launchBrowser, openGame } = require('../../tools/web/browser.js');
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

async function main() {
  if (!site) {
    throw new Error('CHASER_WEB_SITE names the site to measure (tools/web.sh --bench sets it)');
  }
  const { server, url } = await startServer(site);
  const browser = await launchBrowser();
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
