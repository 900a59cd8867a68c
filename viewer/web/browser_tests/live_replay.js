// Drives the live view of a viewer that replays a journal and prints:
//   bar LABEL          the replay bar's time label once it shows a playing replay
//   paused MS MS       after a click on the bar's Pause: the viewer's position,
//                      asked twice half a second apart
//   button TEXT        the play button's label then
// usage: node live_replay.js URL [chromium|firefox]
const { runInBrowser } = require('./browsers');

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function until(page, fn, timeoutMs = 20000) {
  for (let waited = 0; waited < timeoutMs; waited += 100) {
    const value = await page.evaluate(fn);
    if (value) return value;
    await sleep(100);
  }
  throw new Error(`timed out waiting for ${fn}`);
}

const position = (page) => page.evaluate(() =>
  fetch('/api/replay').then((r) => r.json()).then((r) => r.position_ms));

async function runSteps(page, url) {
  await page.resize(640, 480);
  await page.goto(url);
  await until(page, () => !document.getElementById('replay').hidden && window.kestrelLive.replay &&
    window.kestrelLive.replay.playing);
  console.log(`bar ${await page.evaluate(() => document.getElementById('replayTime').textContent)}`);
  const box = await page.evaluate(() => {
    const r = document.getElementById('replayPlay').getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
  await page.click(box.x, box.y);
  await until(page, () => window.kestrelLive.replay.playing === false);
  const first = await position(page);
  await sleep(500);
  console.log(`paused ${first} ${await position(page)}`);
  await sleep(300);  // a poll or two: the button follows the viewer
  console.log(`button ${await page.evaluate(() => document.getElementById('replayPlay').textContent)}`);
}

runInBrowser(process.argv[3] || 'chromium', 60000, (page) => runSteps(page, process.argv[2]));
