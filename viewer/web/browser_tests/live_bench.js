// Timings of the live view in headless Chromium beside a running viewer:
//   latency  from a setvalue line written to the command port to the move
//            applied in the page's scene (page timestamps), p50 and p99
//   fps      frames the page draws per second with OBJECTS objects
// usage: node live_bench.js WEB_PORT COMMAND_PORT [SAMPLES] [OBJECTS]
const net = require('net');
const { openBrowser, removeProfile } = require('./browsers');

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function until(page, fn, arg, timeoutMs = 60000) {
  for (let waited = 0; waited < timeoutMs; waited += 50) {
    const value = await page.evaluate(fn, arg);
    if (value) return value;
    await sleep(50);
  }
  throw new Error(`timed out waiting for ${fn}`);
}

function commandPort(port) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, '127.0.0.1', () => resolve(socket));
    socket.setNoDelay(true);
    socket.on('error', reject);
  });
}

const percentile = (sorted, p) => sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))];

async function latency(page, commands, samples) {
  commands.write('setobject ball\nsetproperty x\n');
  await sleep(200);
  const times = [];
  for (let i = 0; i < samples; ++i) {
    const target = i % 2 ? 5 : -5;
    const sent = Date.now();
    commands.write(`setvalue ${target > 0 ? 65535 : 0}\n`);
    const applied = await page.evaluate((x) => new Promise((resolve) => {
      const check = () => {
        const p = window.kestrelLive.positionOf('ball');
        if (p && Math.abs(p[0] - x) < 0.01) resolve(window.kestrelLive.changedAt.ball);
        else setTimeout(check, 1);
      };
      check();
    }), target);
    times.push(applied - sent);
    await sleep(20);
  }
  times.sort((a, b) => a - b);
  console.log(`latency ms over ${samples}: p50 ${percentile(times, 0.5)} p99 ${percentile(times, 0.99)} max ${times[times.length - 1]}`);
}

async function framesPerSecond(page) {
  await page.evaluate(() => { window.kestrelLive.continuous = true; });
  const f0 = await page.evaluate(() => window.kestrelLive.frames);
  await sleep(5000);
  const f1 = await page.evaluate(() => window.kestrelLive.frames);
  await page.evaluate(() => { window.kestrelLive.continuous = false; });
  return ((f1 - f0) / 5).toFixed(1);
}

async function frameRate(page, commands, objects) {
  console.log(`fps with 1 object: ${await framesPerSecond(page)}`);
  let text = '';
  for (let i = 0; i < objects; ++i) {
    const x = (i % 40) * 0.5 - 10, y = Math.floor(i / 40) * 0.5 - 6;
    text += `startdata f${i}\nDEF f${i} Transform { translation ${x} ${y} 0 children [ DEF Xform_f${i} Transform { children [ Shape { appearance Appearance { material DEF Mat_f${i} Material { diffuseColor 0 0.6 1 } } geometry Sphere { radius 0.2 } } ] } ] }\nenddata\n`;
  }
  commands.write(text);
  await until(page, (n) => window.kestrelLive.objects.length >= n, objects + 1);
  await sleep(2000);
  console.log(`fps with ${objects + 1} objects: ${await framesPerSecond(page)}`);
}

async function main() {
  const [web, command, samples = '200', objects = '999'] = process.argv.slice(2);
  const page = await openBrowser('chromium');
  const commands = await commandPort(Number(command));
  try {
    await page.resize(800, 600);
    await page.goto(`http://127.0.0.1:${web}/live.html`);
    await until(page, () => window.kestrelLive && window.kestrelLive.ready && window.kestrelLive.positionOf('ball'));
    await latency(page, commands, Number(samples));
    await frameRate(page, commands, Number(objects));
  } finally {
    commands.end();
    await page.close();
    removeProfile(page.profile);
  }
}

main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
