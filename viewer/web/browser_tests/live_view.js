// Drives the live view (live.html) in a headless browser and prints what it
// saw, one line per step, for the test that runs the viewer beside it:
//   agent UA              the browser's user agent
//   centre R G B A        the pixel at the canvas centre once the scene is in
//   clicked NAME          the panel's name after a click on the centre
//   navigation ...        turn keeps the ball centred, pan moves it, "a" shows all
//   waiting for move      then reads a line: the caller moves "ball" along x
//   moved X               the ball's x in the page once it changed
//   waiting for hide      then reads a line: the caller hides "cube"
//   hidden cube
//   embedded              the control page shows the live view
// usage: node live_view.js URL [chromium|firefox]
const { runInBrowser } = require('./browsers');

const stepsTimeoutMs = 90000;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function nextInputLine() {
  return new Promise((resolve) => {
    const done = (data) => { process.stdin.pause(); resolve(String(data || '')); };
    process.stdin.once('data', done);
    process.stdin.resume();
  });
}

// Polls FN(ARG) in the page until it gives a truthy value.
async function until(page, fn, arg, timeoutMs = 20000) {
  for (let waited = 0; waited < timeoutMs; waited += 100) {
    const value = await page.evaluate(fn, arg);
    if (value) return value;
    await sleep(100);
  }
  throw new Error(`timed out waiting for ${fn}`);
}

const red = (pixel) => pixel[0] > 150 && pixel[1] < 60 && pixel[2] < 60;

// EXAMINE: a drag turns about the ball (it stays in the centre), a
// shift-drag pans it away, "a" brings everything back into view.
async function navigate(page, box) {
  const centre = () => page.evaluate(() => window.kestrelLive.pixelAt(0.5, 0.5));
  const drag = async (dx, shift) => {
    await page.evaluate(([x, y, dx2, withShift]) => {
      const canvas = document.querySelector('#view canvas');
      const at = (type, px, target) => target.dispatchEvent(new MouseEvent(type, {
        clientX: px, clientY: y, button: 0, shiftKey: withShift, bubbles: true }));
      at('mousedown', x, canvas);
      for (let i = 1; i <= 10; ++i) at('mousemove', x + (dx2 * i) / 10, window);
      at('mouseup', x + dx2, window);
    }, [box.x, box.y, dx, shift]);
    await sleep(300);
  };
  await drag(120, false);
  const turned = red(await centre());
  await drag(250, true);
  const panned = !red(await centre());
  await page.evaluate(() => window.dispatchEvent(new KeyboardEvent('keydown', { key: 'a' })));
  await sleep(300);
  const all = await page.evaluate(() => window.kestrelLive.onScreen('ball') && window.kestrelLive.onScreen('cube'));
  console.log(`navigation turned ${turned} panned ${panned} all ${all}`);
}

async function runSteps(page, url) {
  await page.resize(640, 480);
  await page.goto(url);
  console.log(`agent ${await page.agent()}`);
  await until(page, () => window.kestrelLive && (window.kestrelLive.failed ? 'failed' : window.kestrelLive.ready &&
    window.kestrelLive.positionOf('ball') !== null));
  if (await page.evaluate(() => window.kestrelLive.failed)) throw new Error('no WebGL');
  await sleep(500);  // a few frames drawn
  const centre = await page.evaluate(() => window.kestrelLive.pixelAt(0.5, 0.5));
  console.log(`centre ${centre.join(' ')}`);
  const box = await page.evaluate(() => {
    const r = document.querySelector('#view canvas').getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
  await page.click(box.x, box.y);
  const name = await until(page, () => {
    const n = document.getElementById('selectedName').textContent;
    return n === 'No object selected' ? null : n;
  });
  console.log(`clicked ${name}`);
  await navigate(page, box);
  await sleep(300);  // the setobject request reaches the viewer
  console.log('waiting for move');
  await nextInputLine();
  const x = await until(page, () => {
    const p = window.kestrelLive.positionOf('ball');
    return p && Math.abs(p[0]) > 1 ? String(p[0]) : null;
  });
  console.log(`moved ${x}`);
  console.log('waiting for hide');
  await nextInputLine();
  await until(page, () => window.kestrelLive.visibleOf('cube') === false);
  console.log('hidden cube');
  // The control page shows the live view in place of the snapshot.
  await page.goto(url.replace(/live\.html$/, 'kestrel.html'));
  await until(page, () => document.getElementById('liveView').style.display !== 'none' &&
    document.getElementById('picture').style.display === 'none');
  console.log('embedded');
}

const url = process.argv[2];
const kind = process.argv[3] || 'chromium';
runInBrowser(kind, stepsTimeoutMs, (page) => runSteps(page, url));
