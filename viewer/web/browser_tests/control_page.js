// Loads the control page in a headless browser, submits each form and
// prints one line per form with the page that came back.
// usage: node control_page.js URL [chromium|firefox]
// Once the picture has been reported hidden the script prints "waiting for
// snapshot" and reads a line from its input: the caller puts a snapshot
// image beside the page first, and the script reports whether the page
// picked it up on its own.
// Both browsers run the same steps below (browsers.js).
const { runInBrowser } = require('./browsers');

const stepsTimeoutMs = 75000;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

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

const url = process.argv[2];
const kind = process.argv[3] || 'chromium';
if (!url || !['chromium', 'firefox'].includes(kind)) {
  console.error('usage: node control_page.js URL [chromium|firefox]');
  process.exit(1);
}
runInBrowser(kind, stepsTimeoutMs, (page) => runSteps(page, url));
