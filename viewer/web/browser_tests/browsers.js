// The headless browsers the browser tests drive, behind one small page
// adapter, so that Chromium and Firefox are asked exactly the same.
// Chromium is driven by playwright-core, Firefox (Debian's ESR build) by
// puppeteer-core over WebDriver BiDi.
const fs = require('fs');
const os = require('os');
const path = require('path');


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

// The adapter calls that both drivers spell alike.
function samePageCalls(page) {
  return {
    title: () => page.title(),
    exists: async (selector) => (await page.$(selector)) !== null,
    evalOn: (selector, fn) => page.$eval(selector, fn),
    agent: () => page.evaluate(() => navigator.userAgent),
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    click: (x, y) => page.mouse.click(x, y),
    screenshot: (file) => page.screenshot({ path: file }),
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
    ...samePageCalls(page),
    resize: (width, height) => page.setViewportSize({ width, height }),
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
  // Headless Firefox turns WebGL off unless told to draw it in software.
  'webgl.force-enabled': true,
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
    ...samePageCalls(page),
    resize: (width, height) => page.setViewport({ width, height }),
  };
}


// Opens the browser KIND ("chromium" or "firefox").
function openBrowser(kind) {
  const openers = { chromium: openChromium, firefox: openFirefox };
  if (!openers[kind]) throw new Error(`no such browser: ${kind}`);
  return openers[kind]();
}

// Runs STEPS(page) in the browser KIND and exits: 0 when they succeed. A
// stuck step fails the run after TIMEOUT_MS, with the browser closed, well
// before a test gives up on the script and kills it (which would leave the
// browser's own processes behind). Closing the browser makes the pending
// step fail; should even that not come, the script leaves anyway.
function runInBrowser(kind, timeoutMs, steps) {
  const run = async () => {
    const page = await openBrowser(kind);
    const watchdog = setTimeout(() => {
      console.error(`${kind}: steps did not finish within ${timeoutMs} ms`);
      page.close();
      setTimeout(() => process.exit(1), 10000).unref();
    }, timeoutMs);
    try {
      await steps(page);
    } finally {
      clearTimeout(watchdog);
      await page.close();
      removeProfile(page.profile);
    }
  };
  // Leaves once done, whatever handles the drivers left open.
  run().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
}

module.exports = { openBrowser, removeProfile, runInBrowser };
