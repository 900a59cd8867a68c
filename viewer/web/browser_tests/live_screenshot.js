// Saves a picture of the live view at URL, taken by headless Chromium once
// the scene is in and drawn.
// usage: node live_screenshot.js URL OUT.png [WIDTHxHEIGHT]
const { openBrowser, removeProfile } = require('./browsers');

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  const [url, out, size = '1024x640'] = process.argv.slice(2);
  if (!url || !out) throw new Error('usage: node live_screenshot.js URL OUT.png [WxH]');
  const [width, height] = size.split('x').map(Number);
  const page = await openBrowser('chromium');
  try {
    await page.resize(width, height);
    await page.goto(url);
    for (let waited = 0; waited < 30000; waited += 100) {
      if (await page.evaluate(() => window.kestrelLive && window.kestrelLive.ready)) break;
      await sleep(100);
    }
    await sleep(2000);  // meshes fetched and drawn
    await page.screenshot(out);
  } finally {
    await page.close();
    removeProfile(page.profile);
  }
}

main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
