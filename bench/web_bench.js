// Figures of the web build in headless chromium on loopback:
//   node bench/web_bench.js [build-web/dist]
// - request to first frame on the canvas, for the game's and the launcher's page (median of 5 loads);
// - the bytes a player downloads, gzipped, for each page;
// - CPU of the tab idling on the game's board (its main thread, and every chromium process);
// - the heaviest frame: the longest the game works between two waits while
//   "new game" deals and redraws the whole board.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const root = path.join(__dirname, '..');
const {serve} = require(path.join(root, 'tests/web/serve'));
const puppeteer = require(path.join(root, 'tests/web/node_modules/puppeteer-core'));

const dist = process.argv[2] || path.join(root, 'build-web/dist');
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// User and system CPU seconds of a process and its descendants.
function cpuSeconds(pid) {
  const ticks = 100;  // USER_HZ on Linux
  let total = 0;
  const children = new Map();
  for (const p of fs.readdirSync('/proc').filter((n) => /^\d+$/.test(n))) {
    try {
      const stat = fs.readFileSync('/proc/' + p + '/stat', 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      children.set(Number(p), {parent: Number(fields[1]), cpu: Number(fields[11]) + Number(fields[12])});
    } catch (e) {
      // gone meanwhile
    }
  }
  const walk = (id) => {
    const me = children.get(id);
    if (me) total += me.cpu;
    for (const [child, info] of children) if (info.parent === id) walk(child);
  };
  walk(pid);
  return total / ticks;
}

async function firstFrame(browser, url) {
  const page = await browser.newPage();
  await page.setCacheEnabled(false);
  await page.goto(url);
  await page.waitForFunction(() => window.qbPage && qbPage.firstFrameAt > 0, {timeout: 20000});
  const ms = await page.evaluate(() => qbPage.firstFrameAt);  // since the navigation began
  await page.close();
  return ms;
}

const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];

(async () => {
  const server = await serve(dist);
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'qbbench-')),
    args: ['--no-sandbox', '--disable-gpu'],
  });
  try {
    for (const [name, url] of [['game', '/play/Quibbleton/'], ['launcher', '/play/']]) {
      const before = server.bytesSent();
      const times = [await firstFrame(browser, server.origin + url)];
      const bytes = server.bytesSent() - before;
      for (let i = 0; i < 4; ++i) times.push(await firstFrame(browser, server.origin + url));
      console.log(`${name} page: first frame ${median(times).toFixed(0)} ms after the request (median of 5; ` +
                  `${times.map((t) => t.toFixed(0)).join(', ')}); downloaded ${(bytes / 1e6).toFixed(2)} MB gzipped`);
    }

    const page = await browser.newPage();
    await page.goto(server.origin + '/play/Quibbleton/?QB_SEED=4242');
    await page.waitForFunction(() => window.qbPage && qbPage.framesDrawn > 0 && qbDump().includes('screen game'));
    const pid = browser.process().pid;
    await sleep(2000);
    const m0 = await page.metrics();
    const c0 = cpuSeconds(pid);
    const t0 = Date.now();
    await sleep(10000);
    const m1 = await page.metrics();
    const c1 = cpuSeconds(pid);
    const wall = (Date.now() - t0) / 1000;
    console.log(`idle on the board: the tab's main thread ${(100 * (m1.TaskDuration - m0.TaskDuration) / wall).toFixed(1)} % ` +
                `of a core, all chromium processes ${(100 * (c1 - c0) / wall).toFixed(1)} % over ${wall.toFixed(0)} s`);

    // "new game" on a fresh board: the whole board dealt anew and redrawn (a
    // later one would also enter the running game's score).
    const heaviest = [];
    for (let i = 0; i < 5; ++i) {
      const fresh = await browser.newPage();
      await fresh.goto(server.origin + '/play/Quibbleton/?QB_SEED=' + (100 + i));
      await fresh.waitForFunction(() => window.qbPage && qbPage.framesDrawn > 0 && qbDump().includes('state idle'));
      await sleep(1500);
      await fresh.evaluate(() => { qbPage.longestWork = 0; });
      await fresh.mouse.move(50.5, 375.5);
      await fresh.mouse.click(50.5, 375.5, {delay: 50});
      await fresh.waitForFunction(() => qbDump().includes('state playing'));
      await sleep(1000);
      heaviest.push(await fresh.evaluate(() => qbPage.longestWork));
      await fresh.close();
    }
    console.log(`heaviest frame (new game: the whole board dealt and redrawn): ${Math.max(...heaviest).toFixed(2)} ms ` +
                `(each of 5: ${heaviest.map((t) => t.toFixed(2)).join(', ')})`);
  } finally {
    await browser.close();
    await server.close();
  }
})();
