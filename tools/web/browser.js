// Debian's chromium, headless, driven through playwright-core (no browser of
// its own is downloaded): for the browser tests and the web figures.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');

const kChromium = process.env.CHASER_CHROMIUM || '/usr/bin/chromium';

// Screens the page is tried on: a phone (390 × 844 at three device pixels
// to the pixel) upright and sideways, a tablet, a desktop window.
const kPhone = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
const kPhoneSideways = { ...kPhone, viewport: { width: 844, height: 390 } };
const kTablet = { viewport: { width: 820, height: 1180 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true };
const kDesktop = { viewport: { width: 1280, height: 800 } };

// A fresh profile each time, nothing fetched from elsewhere, no GPU (the
// machines that run this have none). `options` are Playwright's context
// options: a screen above, or serviceWorkers: 'block' for tests that put
// their own answers in place of the site's (a worker's answers bypass them).
async function launchBrowser(options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'chaser-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: kChromium,
    headless: true,
    ...kDesktop,
    ...options,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
  });
  const close = async () => {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { context, close };
}

const kWorkerBlocked = 'Service Worker registration blocked by Playwright';

// Opens the site and records what a test must see: console errors, failed
// requests and every response.
async function openGame(context, url, options = {}) {
  const page = await context.newPage();
  const record = { consoleErrors: [], warnings: [], failedRequests: [], responses: [] };
  page.on('console', (message) => {
    if (message.text() === kWorkerBlocked) {
      return;  // Playwright's own word for serviceWorkers: 'block'
    }
    if (message.type() === 'error') {
      record.consoleErrors.push(message.text());
    } else if (message.type() === 'warning') {
      record.warnings.push(message.text());
    }
  });
  page.on('pageerror', (error) => record.consoleErrors.push(String(error)));
  page.on('requestfailed', (request) =>
    record.failedRequests.push(`${request.url()}: ${request.failure()?.errorText}`));
  page.on('response', (response) => {
    record.responses.push(response);
    if (response.status() >= 400) {
      record.failedRequests.push(`${response.url()}: HTTP ${response.status()}`);
    }
  });
  if (options.beforeLoad) {
    await options.beforeLoad(page);
  }
  await page.goto(url, { waitUntil: 'load' });
  return { page, record };
}

module.exports = { launchBrowser, openGame, kPhone, kPhoneSideways, kTablet, kDesktop };
