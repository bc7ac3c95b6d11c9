// Figures of the web build in headless chromium, served by the score server
// on loopback as players get it (build/web/, compressed at build time):
//   node bench/web_bench.js [build/score-server] [build/web]
// - request to first frame on the canvas, for the game's and the launcher's page (median of 5 loads);
// - the bytes a player downloads for each page, as sent (compressed), and
//   of each of its files (the package, the program, the music apart);
// - idling on the game's board, silent (no gesture yet) and with its sound
//   on: how often the page wakes, the blocks of sound handed to it, the
//   CPU of the tab's main thread and of every chromium process; the same
//   for a bare Emscripten page sleeping 100 ms a frame through Asyncify
//   (build/web-bench/, made by the web preset), served alongside;
// - the heaviest frames: the longest the game works between two waits, when
//   "new game" deals and redraws the whole board, while groups are taken
//   off and the heads fall, and when "new game" during a game saves its score;
// - Lighthouse (mobile) on the game's page: its four scores; and the game's
//   page on an emulated slow 4G network: its first paint, and when its board
//   can be played.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const root = path.join(__dirname, '..');
const puppeteer = require(path.join(root, 'tests/web/node_modules/puppeteer-core'));
const {startScoreServer} = require(path.join(root, 'tests/web/score_server'));

const serverExe = process.argv[2] || path.join(root, 'build/score-server');
const webDir = process.argv[3] || path.join(root, 'build/web');
const barePageDir = path.join(webDir, '../web-bench');
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const newGameButton = [50.5, 375.5];
const cellPoint = (cell) => [137 + (cell % 15) * 41 + 20.5, 10 + Math.floor(cell / 15) * 55 + 27.5];

// User and system CPU seconds of a process and its descendants.
function cpuSeconds(pid) {
  const ticks = 100;  // USER_HZ on Linux
  const processes = new Map();
  for (const p of fs.readdirSync('/proc').filter((n) => /^\d+$/.test(n))) {
    try {
      const stat = fs.readFileSync('/proc/' + p + '/stat', 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      processes.set(Number(p), {parent: Number(fields[1]), cpu: Number(fields[11]) + Number(fields[12])});
    } catch (e) {
      // gone meanwhile
    }
  }
  let total = 0;
  const walk = (id) => {
    const me = processes.get(id);
    if (me) total += me.cpu;
    for (const [child, info] of processes) if (info.parent === id) walk(child);
  };
  walk(pid);
  return total / ticks;
}

// Time to the first frame, and the bytes the page's loads took as sent.
async function firstFrame(browser, url) {
  const page = await browser.newPage();
  await page.setCacheEnabled(false);
  // The app's worker would answer from its own cache what an earlier load kept.
  await page.setBypassServiceWorker(true);
  // The bytes each load took over the wire, headers included.
  let bytes = 0;
  const files = {}, names = {};
  const cdp = await page.target().createCDPSession();
  await cdp.send('Network.enable');
  cdp.on('Network.requestWillBeSent', (event) => { names[event.requestId] = path.basename(new URL(event.request.url).pathname); });
  cdp.on('Network.loadingFinished', (event) => {
    bytes += event.encodedDataLength;
    const name = names[event.requestId] || '?';
    files[name] = (files[name] || 0) + event.encodedDataLength;
  });
  await page.goto(url);
  await page.waitForFunction(() => window.qbPage && qbPage.firstFrameAt > 0, {timeout: 20000});
  const ms = await page.evaluate(() => qbPage.firstFrameAt);  // since the navigation began
  // What comes after the first frame (the music) counts too.
  await page.waitForNetworkIdle({idleTime: 500, timeout: 20000}).catch(() => {});
  await page.close();
  return {ms, bytes, files};
}

const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// The page's wakes and blocks of sound so far, as the page counts them
// (the bare page counts its frames only).
const pageCounts = (page) => page.evaluate(() => (window.qbPage ? {wakes: qbPage.wakes, blocks: qbPage.blocksQueued}
                                                                 : {wakes: window.bareWakes || 0, blocks: 0}));

// Over 10 s of a page left alone: its wakes and blocks of sound a second
// and the CPU of its tab's main thread (% of a core), printed and returned.
async function idleCpu(browser, page, label) {
  const pid = browser.process().pid;
  await sleep(2000);
  const m0 = await page.metrics();
  const n0 = await pageCounts(page);
  const c0 = cpuSeconds(pid);
  const t0 = Date.now();
  await sleep(10000);
  const m1 = await page.metrics();
  const n1 = await pageCounts(page);
  const c1 = cpuSeconds(pid);
  const wall = (Date.now() - t0) / 1000;
  const figures = {mainThread: 100 * (m1.TaskDuration - m0.TaskDuration) / wall, wakes: (n1.wakes - n0.wakes) / wall,
                   blocks: (n1.blocks - n0.blocks) / wall};
  console.log(`idle, ${label}: ${figures.wakes.toFixed(1)} wakes and ${figures.blocks.toFixed(1)} blocks of sound a ` +
              `second; the tab's main thread ${figures.mainThread.toFixed(1)} % of a core, all chromium processes ` +
              `${(100 * (c1 - c0) / wall).toFixed(1)} % over ${wall.toFixed(0)} s`);
  return figures;
}

// Lighthouse's mobile run (a mid-range phone on slow 4G, simulated) of a
// page, in a chromium of its own: the four scores, out of 100.
async function lighthouseScores(url) {
  const {default: lighthouse} = await import(path.join(root, 'tests/web/node_modules/lighthouse/core/index.js'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'qblighthouse-')),
    args: ['--no-sandbox', '--disable-gpu', '--remote-debugging-port=0'],
  });
  try {
    const port = Number(new URL(browser.wsEndpoint()).port);
    const result = await lighthouse(url, {port, output: 'json', logLevel: 'error',
                                          onlyCategories: ['performance', 'accessibility', 'best-practices', 'seo']});
    const scores = {};
    for (const [id, category] of Object.entries(result.lhr.categories)) scores[id] = Math.round(category.score * 100);
    // What kept a score from 100.
    const failed = Object.values(result.lhr.audits).filter((a) => a.score !== null && a.score < 0.9 &&
                                                           a.scoreDisplayMode !== 'informative' && a.scoreDisplayMode !== 'manual');
    const metric = (id) => result.lhr.audits[id].numericValue;
    return {scores, failed: failed.map((a) => a.id + ' (' + (a.displayValue || a.score) + ')'),
            fcp: metric('first-contentful-paint'), lcp: metric('largest-contentful-paint'), tbt: metric('total-blocking-time')};
  } finally {
    await browser.close();
  }
}

// A first visit (nothing cached) on slow 4G as Lighthouse's phone has it
// (562.5 ms a request, 1.47 Mbit/s down; chromium's own network
// throttling): the page's first paint, and when the program shows its board.
async function slowNetworkLoad(browser, url) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  try {
    await page.setCacheEnabled(false);
    const cdp = await page.target().createCDPSession();
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions', {offline: false, latency: 562.5,
                                                        downloadThroughput: 1474.56 * 1024 / 8,
                                                        uploadThroughput: 675 * 1024 / 8});
    await page.goto(url, {waitUntil: 'domcontentloaded', timeout: 60000});
    // Its state is asked for only once it draws (before, the module may not answer).
    await page.waitForFunction(() => window.qbPage && qbPage.framesDrawn > 0 && qbDump().includes('screen game'),
                               {polling: 50, timeout: 60000});
    return await page.evaluate(() => {
      const paint = performance.getEntriesByName('first-contentful-paint')[0];
      return {firstPaint: paint ? paint.startTime : NaN, board: performance.now()};
    });
  } finally {
    await context.close();
  }
}

async function loadingFigures(server) {
  const url = server.origin + '/play/Quibbleton/';
  const lh = await lighthouseScores(url);
  const s = lh.scores;
  console.log(`Lighthouse (mobile) on the game's page: performance ${s.performance}, accessibility ${s.accessibility}, ` +
              `best practices ${s['best-practices']}, SEO ${s.seo}; first contentful paint ${lh.fcp.toFixed(0)} ms, ` +
              `largest ${lh.lcp.toFixed(0)} ms, blocking ${lh.tbt.toFixed(0)} ms (simulated)`);
  if (lh.failed.length) console.log('  audits short of full marks: ' + lh.failed.join(', '));
  const browser = await puppeteer.launch({executablePath: '/usr/bin/chromium', headless: true,
                                          args: ['--no-sandbox', '--disable-gpu']});
  try {
    const loads = [];
    for (let i = 0; i < 3; ++i) loads.push(await slowNetworkLoad(browser, url));
    const paints = loads.map((l) => l.firstPaint), boards = loads.map((l) => l.board);
    console.log(`the game's page on slow 4G, first visit: first paint ${median(paints).toFixed(0)} ms, ` +
                `board playable ${median(boards).toFixed(0)} ms (median of 3; ` +
                `${loads.map((l) => l.firstPaint.toFixed(0) + '/' + l.board.toFixed(0)).join(', ')})`);
  } finally {
    await browser.close();
  }
}

(async () => {
  const server = await startScoreServer(serverExe, webDir);
  if (process.env.QB_BENCH_ONLY === 'loading') {
    try {
      await loadingFigures(server);
    } finally {
      await server.close();
    }
    return;
  }
  const bareServer = fs.existsSync(path.join(barePageDir, 'bare.wasm')) ? await startScoreServer(serverExe, barePageDir) : null;
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'qbbench-')),
    args: ['--no-sandbox', '--disable-gpu'],
  });
  try {
    for (const [name, url] of [['game', '/play/Quibbleton/'], ['launcher', '/play/']]) {
      const loads = [];
      for (let i = 0; i < 5; ++i) loads.push(await firstFrame(browser, server.origin + url));
      const times = loads.map((l) => l.ms);
      console.log(`${name} page: first frame ${median(times).toFixed(0)} ms after the request (median of 5; ` +
                  `${times.map((t) => t.toFixed(0)).join(', ')}); downloaded ${(loads[0].bytes / 1e6).toFixed(2)} MB as sent ` +
                  `(${Object.entries(loads[0].files).map(([f, b]) => `${f} ${(b / 1e3).toFixed(0)} kB`).join(', ')})`);
    }

    const page = await browser.newPage();
    await page.goto(server.origin + '/play/Quibbleton/?QB_SEED=4242');
    await page.waitForFunction(() => window.qbPage && qbPage.framesDrawn > 0 && qbDump().includes('screen game'));
    // The page makes its sound when the player shows up; it is made here and
    // held for the silent figure, as a browser holds it until the player's first click.
    await page.evaluate(() => { qbPage.makeAudio(); return qbPage.audio.suspend(); });
    const silent = await idleCpu(browser, page, 'the game\'s board, silent');
    // A still board lets the page sleep, and hands no sound to a suspended page.
    if (silent.wakes > 10 || silent.blocks > 0) process.exitCode = 1;
    if (bareServer) {
      const bare = await browser.newPage();
      await bare.goto(bareServer.origin + '/play/');
      const yardstick = await idleCpu(browser, bare, 'a bare Emscripten page sleeping 100 ms a frame');
      console.log(`the silent board's main thread against the bare page's: ${(silent.mainThread / yardstick.mainThread).toFixed(1)} x`);
      await bare.close();
    } else {
      console.log('no bare page in ' + barePageDir + ' (the web preset builds it)');
    }
    // A click on the board before a game has begun: a gesture, so the sound goes on, and nothing else.
    await page.mouse.click(...cellPoint(7), {delay: 50});
    await page.waitForFunction(() => qbPage.audio.state === 'running');
    await idleCpu(browser, page, 'the game\'s board with its sound');
    await page.close();

    // "new game" on a fresh board: the whole board dealt anew and redrawn (a
    // later one would also enter the running game's score). Then clicks on
    // the board, each taking a group off and letting the heads fall.
    const newGame = [], playing = [], saving = [];
    for (let i = 0; i < 5; ++i) {
      const fresh = await browser.newPage();
      await fresh.goto(server.origin + '/play/Quibbleton/?QB_SEED=' + (100 + i));
      await fresh.waitForFunction(() => window.qbPage && qbPage.framesDrawn > 0 && qbDump().includes('state idle'));
      await sleep(1500);
      await fresh.evaluate(() => { qbPage.longestWork = 0; });
      await fresh.mouse.move(...newGameButton);
      await fresh.mouse.click(...newGameButton, {delay: 50});
      await fresh.waitForFunction(() => qbDump().includes('state playing'));
      await sleep(1000);
      newGame.push(await fresh.evaluate(() => qbPage.longestWork));
      await fresh.evaluate(() => { qbPage.longestWork = 0; });
      for (const cell of [142, 127, 112, 97, 82, 67]) {
        await fresh.mouse.click(...cellPoint(cell), {delay: 50});
        await sleep(1500);
      }
      playing.push(await fresh.evaluate(() => qbPage.longestWork));
      // "new game" again: the score enters the hall of fame and is saved
      // with its replay before the hall-of-fame picture shows.
      await fresh.mouse.move(...newGameButton);
      await sleep(300);
      await fresh.evaluate(() => { qbPage.longestWork = 0; });
      await fresh.mouse.click(...newGameButton, {delay: 50});
      await sleep(2500);
      saving.push(await fresh.evaluate(() => qbPage.longestWork));
      await fresh.close();
    }
    const show = (xs) => `${Math.max(...xs).toFixed(2)} ms (each of 5: ${xs.map((t) => t.toFixed(2)).join(', ')})`;
    console.log(`heaviest frame of "new game" (the whole board dealt and redrawn): ${show(newGame)}`);
    console.log(`heaviest frame while playing (groups taken off, heads falling): ${show(playing)}`);
    console.log(`heaviest frame of "new game" during a game (its score and replay saved): ${show(saving)}`);
    await loadingFigures(server);
  } finally {
    await browser.close();
    await server.close();
    if (bareServer) await bareServer.close();
  }
})();
