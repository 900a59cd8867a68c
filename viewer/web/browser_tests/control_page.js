// Loads the control page in headless Chromium, submits each form and
// prints one line per form with the page that came back.
// usage: node control_page.js URL
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');

async function main() {
  const url = process.argv[2];
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-chromium-'));
  const browser = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = await browser.newPage();
    const submit = async (form, fill) => {
      await page.goto(url);
      await fill();
      await Promise.all([page.waitForNavigation(), page.click(`#${form} input[type=submit]`)]);
      const title = await page.title();
      const hasObject = (await page.$('input[name="object_ball"]')) !== null;
      console.log(`${form} ${title} ${hasObject ? 'objects' : 'no-objects'}`);
    };
    await submit('oneForm', async () => {
      await page.check('#oneForm input[name="object_ball"]');
      await page.fill('#oneProperty', 'transparency');
      await page.fill('#oneValue', '32767');
    });
    await submit('vizForm', async () => {
      await page.check('#vizForm input[name="object_ball"]');
      await page.check('#pYscale');
      await page.fill('#vYscale', '43690');
    });
    await submit('directForm', async () => { await page.fill('#directLine', 'load c:/scenes/a.wrl'); });
    await submit('configForm', async () => {});
    await submit('resetForm', async () => {});
    await submit('mapForm', async () => {});
    // The picture is hidden until a snapshot can be loaded.
    await page.goto(url);
    await page.waitForTimeout(1500);
    console.log('picture ' + await page.$eval('#picture', (e) => e.style.display === 'none' ? 'hidden' : 'shown'));
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch((e) => { console.error(e); process.exit(1); });
