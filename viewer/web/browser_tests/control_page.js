// Loads the control page in a headless browser, submits each form and
// prints one line per form with the page that came back.
// usage: node control_page.js URL [chromium|firefox]
// Once the picture has been reported hidden the script prints "waiting for
// snapshot" and reads a line from its input: the caller puts a snapshot
// image beside the page first, and the script reports whether the page
// picked it up on its own.
// Chromium is driven by playwright-core, Firefox (Debian's ESR build) by
// puppeteer-core over WebDriver BiDi; both run the same steps below through
// a small page adapter, so the two browsers are asked exactly the same.
const fs = require('fs');
const os = require('os');
const path = require('path');

const stepsTimeoutMs = 75000;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Every browser gets a fresh profile in a temp dir, removed after close.
function freshProfile(kind) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `kestrel-${kind}-`));
}

function removeProfile(profile) {
  // The browser may still be letting go of its profile files.
  fs.rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
}

// Starts a browser with LAUNCH(profile); the profile goes again when the
// browser does not start.
async function launchIn(kind, launch) {
  const profile = freshProfile(kind);
  try {
    return { profile, browser: await launch(profile) };
  } catch (e) {
    removeProfile(profile);
    throw e;
  }
}

// A close that may be asked for twice (by the watchdog and at the end) and
// resolves for both callers only once the browser has gone.
function closeOnce(close) {
  let closing = null;
  return () => {
    if (!closing) closing = close().catch(() => {});
    return closing;
  };
}

async function openChromium() {
  const { chromium } = require('playwright-core');
  const { profile, browser: context } = await launchIn('chromium', (dir) => chromium.launchPersistentContext(dir, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  }));
  const page = await context.newPage();
  return {
    profile,
    close: closeOnce(() => context.close()),
    goto: (url) => page.goto(url),
    check: (selector) => page.check(selector),
    fill: (selector, text) => page.fill(selector, text),
    submit: (selector) => Promise.all([page.waitForNavigation(), page.click(selector)]),
    title: () => page.title(),
    exists: async (selector) => (await page.$(selector)) !== null,
    evalOn: (selector, fn) => page.$eval(selector, fn),
    agent: () => page.evaluate(() => navigator.userAgent),
  };
}

// Firefox knows nothing about the viewer's network; these prefs keep it
// from reaching out on its own (updates, telemetry, captive portal checks).
const quietFirefox = {
  'app.update.enabled': false,
  'browser.safebrowsing.malware.enabled': false,
  'browser.safebrowsing.phishing.enabled': false,
  'datareporting.policy.dataSubmissionEnabled': false,
  'extensions.update.enabled': false,
  'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false,
  'network.proxy.type': 0,
  'toolkit.telemetry.enabled': false,
};

async function openFirefox() {
  const puppeteer = require('puppeteer-core');
  const { profile, browser } = await launchIn('firefox', (dir) => puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
    headless: true,
    userDataDir: dir,
    extraPrefsFirefox: quietFirefox,
    env: { ...process.env, MOZ_HEADLESS: '1' },
  }));
  const page = await browser.newPage();
  return {
    profile,
    close: closeOnce(() => browser.close()),
    goto: (url) => page.goto(url),
    // Clicks like a user would, then makes sure the box really is set.
    check: async (selector) => {
      if (!(await page.$eval(selector, (e) => e.checked))) await page.click(selector);
      if (!(await page.$eval(selector, (e) => e.checked))) throw new Error(`${selector} not checked`);
    },
    fill: async (selector, text) => {
      await page.$eval(selector, (e) => { e.value = ''; });
      await page.type(selector, text);
      const value = await page.$eval(selector, (e) => e.value);
      if (value !== text) throw new Error(`${selector} holds "${value}", not "${text}"`);
    },
    submit: (selector) => Promise.all([page.waitForNavigation(), page.click(selector)]),
    title: () => page.title(),
    exists: async (selector) => (await page.$(selector)) !== null,
    evalOn: (selector, fn) => page.$eval(selector, fn),
    agent: () => page.evaluate(() => navigator.userAgent),
  };
}

// Resolves at the next line of input (or its end).
function nextInputLine() {
  return new Promise((resolve) => {
    const done = () => { process.stdin.destroy(); resolve(); };
    process.stdin.once('data', done);
    process.stdin.once('end', done);
    process.stdin.resume();
  });
}

const pictureState = (page) =>
  page.evalOn('#picture', (e) => (e.style.display === 'none' || !e.naturalWidth ? 'hidden' : 'shown'));

async function runSteps(page, url) {
  const submit = async (form, fill) => {
    await page.goto(url);
    await fill();
    await page.submit(`#${form} input[type=submit]`);
    const title = await page.title();
    const hasObject = await page.exists('input[name="object_ball"]');
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
  console.log(`agent ${await page.agent()}`);
  await sleep(1500);
  console.log(`picture ${await pictureState(page)}`);
  // The page refreshes the picture every second or so by itself.
  console.log('waiting for snapshot');
  await nextInputLine();
  let state = 'hidden';
  for (let waited = 0; waited < 10000 && state === 'hidden'; waited += 250) {
    await sleep(250);
    state = await pictureState(page);
  }
  console.log(`snapshot ${state}`);
}

async function main() {
  const url = process.argv[2];
  const kind = process.argv[3] || 'chromium';
  const openers = { chromium: openChromium, firefox: openFirefox };
  if (!url || !openers[kind]) {
    throw new Error('usage: node control_page.js URL [chromium|firefox]');
  }
  const page = await openers[kind]();
  // A stuck step fails the run here, with the browser closed, well before
  // the test gives up on this script and kills it (which would leave the
  // browser's own processes behind). Closing the browser makes the pending
  // step fail; should even that not come, the script leaves anyway.
  const watchdog = setTimeout(() => {
    console.error(`${kind}: steps did not finish within ${stepsTimeoutMs} ms`);
    page.close();
    setTimeout(() => process.exit(1), 10000).unref();
  }, stepsTimeoutMs);
  try {
    await runSteps(page, url);
  } finally {
    clearTimeout(watchdog);
    await page.close();
    removeProfile(page.profile);
  }
}

// Leaves once done, whatever handles the drivers left open.
main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
