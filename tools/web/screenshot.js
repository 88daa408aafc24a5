// Photographs the game's page in headless chromium after a moment of play
// (the player walks right for a while, so the chaser is on its way):
//
//   tools/web.sh --screenshot docs/web-screenshot.png
'use strict';

const { launchBrowser, openGame } = require('./browser.js');
const { startServer } = require('./serve.js');

async function main() {
  const [out] = process.argv.slice(2);
  const site = process.env.CHASER_WEB_SITE;
  if (!out || !site) {
    throw new Error('usage: CHASER_WEB_SITE=DIR node screenshot.js OUT.png');
  }
  const { server, url } = await startServer(site);
  const browser = await launchBrowser();
  try {
    const { page } = await openGame(browser.context, url);
    await page.setViewportSize({ width: 1400, height: 1100 });
    await page.waitForFunction(() => document.getElementById('status').textContent === '');
    await page.waitForTimeout(1500);
    await page.keyboard.down('ArrowRight');
    await page.waitForTimeout(700);
    await page.keyboard.up('ArrowRight');
    await page.waitForTimeout(400);
    await page.screenshot({ path: out });
    console.log(`screenshot: ${out}`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
