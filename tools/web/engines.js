// The page in the three browser engines a player has, each from Debian's own
// packages and each driven the way it can be: chromium through playwright-core
// (the DevTools protocol), firefox-esr headless through puppeteer-core over
// WebDriver BiDi, and WebKitGTK's MiniBrowser under Xvfb through
// selenium-webdriver over classic WebDriver (WebKitWebDriver). No browser is
// downloaded. Every engine gives the browser tests the same few verbs, so one
// list of checks runs in all three (tests/web/engines.test.js).
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

const kFirefox = process.env.CHASER_FIREFOX || '/usr/bin/firefox-esr';
const kWebKitDriver = process.env.CHASER_WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver';
const kMiniBrowser = process.env.CHASER_MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

// A window that shows the screen one to one: a larger one would have the page
// enlarge every frame into a second canvas, which Firefox and WebKit paint in
// software here, several times slower than the game itself.
const kWindow = { width: 720, height: 640 };

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Functions run in the page take one argument and may be async; each driver
// is handed them as source text.
function pageScript(fn) {
  return `(${fn})`;
}

// What the page saves (an <a download> of a blob, clicked) is taken in the
// page, whatever the engine does with downloads: its name and its text. On
// the window: a listener added to the document while a game runs is taken
// for the game's own, and removed when it ends.
function catchDownloads() {
  window.chaserSaved = [];
  window.addEventListener('click', (event) => {
    const link = event.target.closest?.('a[download]');
    if (!link) {
      return;
    }
    event.preventDefault();
    const name = link.download;
    fetch(link.href).then((response) => response.text()).then((text) => window.chaserSaved.push({ name, text }));
  }, true);
}

// For the engine whose driver does not hear the console: the page's own
// errors as it reports them, taken from the moment the page has loaded. An
// error or a rejection that a handler of the page keeps quiet
// (preventDefault) is not one.
function listenForErrors() {
  window.chaserErrors = [];
  const original = console.error;
  console.error = function (...args) {
    window.chaserErrors.push(args.map(String).join(' '));
    return original.apply(this, args);
  };
  window.addEventListener('error', (event) => {
    setTimeout(() => {
      if (!event.defaultPrevented) {
        window.chaserErrors.push(`uncaught: ${event.message || event.error}`);
      }
    }, 0);
  });
  window.addEventListener('unhandledrejection', (event) => {
    setTimeout(() => {
      if (!event.defaultPrevented) {
        window.chaserErrors.push(`unhandled rejection: ${event.reason?.name ?? event.reason}`);
      }
    }, 0);
  });
}

// --- chromium -------------------------------------------------------------------

async function launchChromium() {
  const { launchBrowser } = require('./browser.js');
  // A desktop window, given fingers too (its phones are site.test.js's).
  const desktop = await launchBrowser();
  return {
    name: 'chromium',
    async open(url) {
      const { context } = desktop;
      const page = await context.newPage();
      const errors = [];
      page.on('console', (message) => {
        if (message.type() === 'error') {
          errors.push(message.text());
        }
      });
      page.on('pageerror', (error) => errors.push(String(error)));
      await page.goto(url, { waitUntil: 'load' });
      await page.evaluate(catchDownloads);
      let cdp = null;
      const touchPoints = new Map();
      const sendTouch = async (type) => {
        cdp ??= await context.newCDPSession(page);
        await cdp.send('Input.dispatchTouchEvent', { type, touchPoints: [...touchPoints.values()] });
      };
      return {
        evaluate: (fn, arg) => page.evaluate(fn, arg),
        keyDown: (code) => page.keyboard.down(code),
        keyUp: (code) => page.keyboard.up(code),
        setFile: (selector, file) => page.setInputFiles(selector, file),
        async reload() {
          await page.reload({ waitUntil: 'load' });
          await page.evaluate(catchDownloads);
        },
        consoleErrors: async () => [...errors],
        async touch(x, y) {
          const id = touchPoints.size + 1;
          touchPoints.set(id, { x, y, id });
          await sendTouch('touchStart');
          return {
            move: async (nx, ny) => {
              touchPoints.set(id, { x: nx, y: ny, id });
              await sendTouch('touchMove');
            },
            lift: async () => {
              const point = touchPoints.get(id);
              touchPoints.delete(id);
              await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [point] });
            },
          };
        },
        close: () => page.close(),
      };
    },
    close: () => desktop.close(),
  };
}

// --- firefox --------------------------------------------------------------------

async function launchFirefox() {
  const puppeteer = require('puppeteer-core');
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'chaser-firefox-'));
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: kFirefox,
    headless: true,
    userDataDir: profile,
    defaultViewport: kWindow,
    extraPrefsFirefox: {
      // Nothing fetched from elsewhere, nothing asked of the player.
      'app.update.enabled': false,
      'browser.safebrowsing.malware.enabled': false,
      'browser.safebrowsing.phishing.enabled': false,
      'network.captive-portal-service.enabled': false,
      'network.connectivity-service.enabled': false,
    },
  });
  return {
    name: 'firefox',
    async open(url) {
      const page = await browser.newPage();
      const errors = [];
      page.on('console', (message) => {
        if (message.type() === 'error') {
          errors.push(message.text());
        }
      });
      page.on('pageerror', (error) => errors.push(String(error?.message ?? error)));
      await page.goto(url, { waitUntil: 'load' });
      await page.evaluate(catchDownloads);
      return {
        evaluate: (fn, arg) => page.evaluate(fn, arg),
        keyDown: (code) => page.keyboard.down(code),
        keyUp: (code) => page.keyboard.up(code),
        async setFile(selector, file) {
          const input = await page.$(selector);
          await input.uploadFile(file);
        },
        async reload() {
          await page.reload({ waitUntil: 'load' });
          await page.evaluate(catchDownloads);
        },
        consoleErrors: async () => [...errors],
        async touch(x, y) {
          const finger = await page.touchscreen.touchStart(x, y);
          return { move: (nx, ny) => finger.move(nx, ny), lift: () => finger.end() };
        },
        close: () => page.close(),
      };
    },
    async close() {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// --- WebKit ---------------------------------------------------------------------

// An X server of its own (MiniBrowser needs a display), on the first free
// display number, which Xvfb writes to the pipe it is given.
function startXvfb() {
  return new Promise((resolve, reject) => {
    const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
      { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
    let number = '';
    xvfb.stdio[3].on('data', (chunk) => {
      number += chunk;
      if (number.includes('\n')) {
        resolve({ display: `:${number.trim()}`, stop: () => xvfb.kill() });
      }
    });
    xvfb.once('error', reject);
    xvfb.once('exit', (code) => reject(new Error(`Xvfb ended with ${code}`)));
  });
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function waitForPort(port, child) {
  for (let tries = 0; tries < 100; ++tries) {
    if (child.exitCode !== null) {
      throw new Error(`WebKitWebDriver ended with ${child.exitCode}`);
    }
    const open = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => {
        socket.end();
        resolve(true);
      });
      socket.once('error', () => resolve(false));
    });
    if (open) {
      return;
    }
    await sleep(100);
  }
  throw new Error('WebKitWebDriver does not listen');
}

// The WebDriver names of the keys the checks press.
function webDriverKey(code) {
  const { Key } = require('selenium-webdriver');
  const named = { Escape: Key.ESCAPE, ArrowLeft: Key.ARROW_LEFT, ArrowRight: Key.ARROW_RIGHT,
    ArrowUp: Key.ARROW_UP, ArrowDown: Key.ARROW_DOWN, Space: Key.SPACE };
  if (named[code]) {
    return named[code];
  }
  const letter = /^Key([A-Z])$/.exec(code);
  if (letter) {
    return letter[1].toLowerCase();
  }
  throw new Error(`no WebDriver key for ${code}`);
}

async function launchWebKit() {
  const { Builder, By } = require('selenium-webdriver');
  const x = await startXvfb();
  const port = await freePort();
  const driverProcess = spawn(kWebKitDriver, [`--port=${port}`, '--host=127.0.0.1'], {
    stdio: ['ignore', 'ignore', 'inherit'],
    env: { ...process.env, DISPLAY: x.display },
  });
  try {
    await waitForPort(port, driverProcess);
  } catch (error) {
    driverProcess.kill();
    x.stop();
    throw error;
  }
  const driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary: kMiniBrowser, args: ['--automation'] },
  }).build();
  await driver.manage().window().setRect(kWindow);
  await driver.manage().setTimeouts({ script: 120000 });

  // One window, one page at a time: WebDriver's own.
  const evaluate = async (fn, arg) => {
    const result = await driver.executeAsyncScript(
      `const done = arguments[arguments.length - 1];
       Promise.resolve().then(() => ${pageScript(fn)}(arguments[0])).then(
         (value) => done({ value: value === undefined ? null : value }),
         (error) => done({ error: String(error && error.stack || error) }));`, arg ?? null);
    if (result.error) {
      throw new Error(result.error);
    }
    return result.value;
  };
  const afterLoad = async () => {
    await evaluate(catchDownloads);
    await evaluate(listenForErrors);
  };
  const keys = (sequence) => {
    const actions = driver.actions({ async: true });
    return sequence(actions).perform();
  };
  return {
    name: 'webkit',
    async open(url) {
      await driver.get(url);
      await afterLoad();
      return {
        evaluate,
        keyDown: (code) => keys((actions) => actions.keyDown(webDriverKey(code))),
        keyUp: (code) => keys((actions) => actions.keyUp(webDriverKey(code))),
        async setFile(selector, file) {
          await driver.findElement(By.css(selector)).sendKeys(file);
        },
        async reload() {
          await driver.navigate().refresh();
          await afterLoad();
        },
        consoleErrors: () => evaluate(() => window.chaserErrors),
        async close() {
          await driver.get('about:blank');
        },
      };
    },
    async close() {
      try {
        await driver.quit();
      } finally {
        driverProcess.kill();
        x.stop();
      }
    },
  };
}

const kEngines = { chromium: launchChromium, firefox: launchFirefox, webkit: launchWebKit };

function launchEngine(name) {
  const launch = kEngines[name];
  if (!launch) {
    throw new Error(`no engine ${name}: one of ${Object.keys(kEngines).join(', ')}`);
  }
  return launch();
}

// WebKitGTK's driver has no touch input.
const kTouchEngines = ['chromium', 'firefox'];

module.exports = { launchEngine, engineNames: Object.keys(kEngines), touchEngines: kTouchEngines };
