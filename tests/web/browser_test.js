// The web build in a real browser (Debian's chromium, headless, through
// puppeteer-core), served by the score server as players reach it:
// node browser_test.js TEST --web DIR --server EXE --native-game EXE.
// Exit 0 passed, 1 failed, 77 skipped (no chromium or no web build).
'use strict';
const assert = require('assert');
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const chromium = '/usr/bin/chromium';
const options = {};
for (let i = 3; i < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
const testName = process.argv[2];
const webDir = options.web;
const nativeGameExe = options["native-game"];
const serverExe = options.server;

function skip(why) {
  console.log('SKIPPED: ' + why);
  process.exit(77);
}
if (!fs.existsSync(chromium)) skip(chromium + ' is not installed (apt-get install chromium)');
if (!webDir || !fs.existsSync(path.join(webDir, 'Quibbleton', 'Quibbleton.wasm')))
  skip('no web build in ' + webDir + ' (cmake --preset web && cmake --build --preset web)');
if (!serverExe || !fs.existsSync(serverExe)) skip('no score server at ' + serverExe);
const puppeteer = require('puppeteer-core');
const {startScoreServer} = require('./score_server');

// The game's points: cell centres and the buttons beside the board.
const cellX = (cell) => 137 + (cell % 15) * 41 + 20;
const cellY = (cell) => 10 + Math.floor(cell / 15) * 55 + 27;
const gameButtons = {newGame: [50, 375], menu: [50, 487]};
const launcherButtons = {slot1: [139, 190], play: [711, 324], highScores: [127, 393], upload: [617, 113],
                         players: [320, 338]};
// The name box of "Who is playing?", on the pop-up centred on the picture.
const nameBox = [393, 301];

// The score server serving the web build at /play/; its log is printed when a test fails.
const startServer = () => startScoreServer(serverExe, webDir);

// The board of a game on the server, as its JSON page gives it (a game
// nobody has uploaded to yet is not found).
async function leaderboard(server, game, query = '') {
  const answer = await fetch(server.origin + '/api/games/' + game + '/scores' + query);
  if (answer.status === 404) return [];
  assert.strictEqual(answer.status, 200, 'the leaderboard answered ' + answer.status);
  return (await answer.json()).scores;
}

// "key value" lines, and the board's ten rows after "board".
function parseDump(text) {
  const lines = text.split('\n');
  const fields = {};
  const board = [];
  for (let i = 0; i < lines.length; ++i) {
    if (lines[i] === 'board') {
      for (let r = 1; r <= 10; ++r) board.push(lines[i + r]);
      i += 10;
      continue;
    }
    const space = lines[i].indexOf(' ');
    if (space > 0) fields[lines[i].slice(0, space)] = lines[i].slice(space + 1);
    else if (lines[i]) fields[lines[i]] = '';
  }
  return {fields, board: board.join('\n'), text};
}

async function launch(extra) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qbweb-'));
  const browser = await puppeteer.launch(Object.assign({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu'],
  }, extra || {}));
  const page = await browser.newPage();
  page.on('dialog', (dialog) => { console.log('message box: ' + dialog.message()); dialog.dismiss(); });
  page.on('pageerror', (error) => console.log('page error: ' + error.message));
  page.on('console', (m) => { if (m.type() === 'warn' || m.type() === 'error') console.log('page: ' + m.text()); });
  return {browser, page, profile};
}

// Waits until the program has drawn and its state satisfies want(dump).
async function waitForState(page, want, what, timeout) {
  const deadline = Date.now() + (timeout || 15000);
  let last = null;
  for (;;) {
    try {
      const text = await page.evaluate(() => (window.qbPage && qbPage.framesDrawn > 0 ? qbDump() : ''));
      if (text) {
        last = parseDump(text);
        if (want(last)) return last;
      }
    } catch (e) {
      // the page is navigating; ask again
    }
    if (Date.now() > deadline) throw new Error('waited in vain for ' + what + '; last state:\n' + (last ? last.text : '(none)'));
    await new Promise((r) => setTimeout(r, 100));
  }
}

// Page coordinates of a picture point, as the page scales the canvas.
async function pagePoint(page, x, y) {
  const r = await page.evaluate(() => {
    const b = document.getElementById('qb-canvas').getBoundingClientRect();
    return {left: b.left, top: b.top, width: b.width, height: b.height};
  });
  return [r.left + (x + 0.5) * r.width / 800, r.top + (y + 0.5) * r.height / 600];
}

async function click(page, point, button) {
  const [x, y] = await pagePoint(page, point[0], point[1]);
  // Held 50 ms, as a hand holds a button (a script's click holds it 20 ms).
  await page.mouse.move(x, y);
  await new Promise((r) => setTimeout(r, 30));
  await page.mouse.click(x, y, {button: button || 'left', delay: 50});
}

// The board as the game keeps it stands still: the same board and score for 700 ms.
async function settled(page) {
  let previous = '';
  let since = Date.now();
  for (;;) {
    const d = parseDump(await page.evaluate(() => qbDump()));
    const now = d.board + '|' + d.fields.score;
    if (now !== previous) {
      previous = now;
      since = Date.now();
    } else if (Date.now() - since > 700) {
      return d;
    }
    await new Promise((r) => setTimeout(r, 100));
  }
}

// Cells of a board text ("4d 1b ..." rows) and a cell whose neighbour shares
// its colour (right click: its face), so that a click removes a group.
function findPair(board, byFace, skip) {
  const cells = board.split('\n').map((row) => row.trim().split(/\s+/));
  for (let r = 9; r >= 0; --r) {
    for (let c = 0; c < 15; ++c) {
      const here = cells[r][c];
      if (!here || here === '..' || skip.has(r * 15 + c)) continue;
      const same = (o) => o && o !== '..' && (byFace ? o[1] === here[1] : o[0] === here[0]);
      if (same(cells[r][c + 1]) || (r > 0 && same(cells[r - 1][c]))) return r * 15 + c;
    }
  }
  return -1;
}

// The game's settings with a game of the given length in seconds.
const gameSettings = (seconds) => '[setup]\r\nfullscreen=0\r\nnowindow=0\r\n\r\n[default]\r\nballoons=2\r\ngametime=' +
                                  seconds + '\r\n';

// The native headless game, same seed, same clicks (each 2 s after the last,
// past every animation), its settings those of the tree or the given ones; its dump at the end.
function playNatively(seed, clicks, settings) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'qbnative-'));
  const tree = path.dirname(path.dirname(nativeGameExe));
  fs.cpSync(tree, root, {recursive: true, filter: (f) => !/(hiscore\.dat|options\.ini|replays)$/.test(f)});
  if (settings) fs.writeFileSync(path.join(root, 'Quibbleton', 'setup.ini'), settings);
  const lines = ['200 click left ' + gameButtons.newGame.join(' ')];
  let tick = 1500;
  for (const c of clicks) {
    lines.push(tick + ' click ' + c.button + ' ' + cellX(c.cell) + ' ' + cellY(c.cell));
    tick += 2000;
  }
  lines.push(tick + ' dump ' + path.join(root, 'state.txt'), (tick + 100) + ' tap ESC');
  fs.writeFileSync(path.join(root, 'script.txt'), lines.join('\n') + '\n');
  const result = childProcess.spawnSync(path.join(root, 'Quibbleton', 'Quibbleton'), [root], {
    cwd: path.join(root, 'Quibbleton'),
    env: Object.assign({}, process.env, {QB_VIDEO: 'headless', QB_CLOCK: 'virtual', QB_AUDIO: 'null',
                                         QB_SEED: String(seed), QB_SCRIPT: path.join(root, 'script.txt'),
                                         QB_MAX_TICKS: String(tick + 5000)}),
    encoding: 'utf8', timeout: 60000,
  });
  assert.strictEqual(result.status, 0, 'the native game failed: ' + result.stderr);
  const dump = parseDump(fs.readFileSync(path.join(root, 'state.txt'), 'utf8'));
  fs.rmSync(root, {recursive: true, force: true});
  return dump;
}

// Plays clicks chosen from the board in the page (left: a colour pair,
// right: a face pair), each by press(cell, button); returns them.
async function playGroups(page, press, buttons) {
  const clicks = [];
  const played = new Set();
  for (const button of buttons) {
    const d = await settled(page);
    const cell = findPair(d.board, button === 'right', played);
    assert.ok(cell >= 0, 'no group left to click on:\n' + d.board);
    played.add(cell);
    await press(cell, button);
    await waitForState(page, (s) => s.board !== d.board, 'the ' + button + ' click on cell ' + cell + ' to change the board');
    clicks.push({cell, button});
  }
  return {clicks, final: await settled(page)};
}

// The launcher's title menu for the first game, in a page of its own.
async function titleMenu(page, server, press) {
  await page.goto(server.origin + '/play/');
  await waitForState(page, (d) => d.fields.screen === 'Lobbo' && /^Quibbleton\b/.test(d.fields.slots || ''), 'the game pages');
  await press(launcherButtons.slot1);
  await waitForState(page, (d) => d.fields.screen === 'title' && d.fields.game === 'Quibbleton', 'the title menu');
}

// The boxes of "Who is playing?" as the launcher shows them: [name, address, e-mail].
const playerFields = (d) => (d.fields.fields === undefined ? null : d.fields.fields.split('|'));

// Opens "Who is playing?" by press and empties its boxes by Backspace, going
// from box to box by Tab; ends with the name box taking the keys again.
async function emptyPlayerBoxes(page, press) {
  await press(launcherButtons.players);
  let d = await waitForState(page, (s) => playerFields(s) !== null, '"Who is playing?"');
  for (let box = 0; box < 3; ++box) {
    d = await waitForState(page, (s) => s.fields.field === String(box + 1), 'box ' + (box + 1) + ' to take the keys');
    for (let i = Array.from(playerFields(d)[box]).length; i > 0; --i) await page.keyboard.press('Backspace');
    await waitForState(page, (s) => playerFields(s)[box] === '', 'box ' + (box + 1) + ' to empty');
    await page.keyboard.press('Tab');
  }
  return waitForState(page, (s) => s.fields.field === '1', 'the name box to take the keys again');
}

// "enter" on "Who is playing?" from its name box, by keys: down twice to the e-mail box, once more
// to the buttons ("back" marked), "enter" left of it. Each key waits for the last one's move: a box
// taking the focus drops the keys typed before.
async function enterPlayer(page) {
  const steps = [['ArrowDown', (s) => s.fields.field === '2'], ['ArrowDown', (s) => s.fields.field === '3'],
                 ['ArrowDown', (s) => s.fields.popup === 'focus back'], ['ArrowLeft', (s) => s.fields.popup === 'focus enter']];
  for (const [key, moved] of steps) {
    await page.keyboard.press(key);
    await waitForState(page, moved, key + ' to move the focus');
  }
  await page.keyboard.press('Enter');
  await waitForState(page, (d) => d.fields.screen === 'title' && playerFields(d) === null, 'the title menu again');
}

// The player's files as the page keeps them: the text of the first file named name below /userdata.
async function userFile(page, name) {
  return page.evaluate(async (wanted) => {
    await qbPage.whenSaved();
    const find = (dir) => {
      for (const entry of FS.readdir(dir)) {
        if (entry === '.' || entry === '..') continue;
        const path = dir + '/' + entry;
        if (FS.isDir(FS.stat(path).mode)) {
          const found = find(path);
          if (found) return found;
        } else if (entry === wanted) {
          return path;
        }
      }
      return null;
    };
    const path = find('/userdata');
    return path ? FS.readFile(path, {encoding: 'utf8'}) : null;
  }, name);
}

const tests = {
  // "Who is playing?" takes what is typed through the page as typed: letters
  // with accents (which no key of the US table types), "." and "'", and
  // "@"; "enter" stores them in the player's options.ini.
  async TypingInWhoIsPlayingIsStoredAsTyped(server) {
    const {browser, page} = await launch();
    try {
      const press = (point) => click(page, point);
      await titleMenu(page, server, press);
      await emptyPlayerBoxes(page, press);
      const typed = ['Zo\u00EB Yates', 'O\'Neil St. 5', 'zoe@mail.de'];
      for (let box = 0; box < 3; ++box) {
        await page.keyboard.type(typed[box], {delay: 20});
        await waitForState(page, (s) => playerFields(s)[box] === typed[box], 'box ' + (box + 1) + ' to hold ' + typed[box]);
        await page.keyboard.press('Tab');
        await waitForState(page, (s) => s.fields.field === String((box + 1) % 3 + 1), 'the next box to take the keys');
      }
      // Backspace takes back one character, however many bytes it has.
      await page.keyboard.type('\u00E9');
      await waitForState(page, (s) => playerFields(s)[0] === typed[0] + '\u00E9', 'the name with a typed \u00E9');
      await page.keyboard.press('Backspace');
      await waitForState(page, (s) => playerFields(s)[0] === typed[0], 'the name without the \u00E9');
      await enterPlayer(page);
      const options = await userFile(page, 'options.ini');
      assert.ok(options, 'no options.ini among the player\'s files');
      for (const [key, value] of [['name', typed[0]], ['address', typed[1]], ['email', typed[2]]])
        assert.ok(options.split(/\r?\n/).includes(key + '=' + value), 'no "' + key + '=' + value + '" in options.ini:\n' + options);
    } finally {
      await browser.close();
    }
  },

  // On a phone: a tap on a box of "Who is playing?" gives the page's text
  // field the focus (so the phone shows its keyboard), and what the phone's
  // keyboard puts into it, an autocorrected word too, arrives in the box.
  async ATapOnABoxOfWhoIsPlayingOpensThePhonesKeyboard(server) {
    const {browser, page} = await launch();
    try {
      await page.emulate({viewport: {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true},
                          userAgent: 'Mozilla/5.0 (Linux; Android 14) Mobile'});
      const press = async (point) => {
        const [x, y] = await pagePoint(page, point[0], point[1]);
        await page.touchscreen.touchStart(x, y);
        await new Promise((r) => setTimeout(r, 60));
        await page.touchscreen.touchEnd();
      };
      await titleMenu(page, server, press);
      await emptyPlayerBoxes(page, press);
      await page.evaluate(() => document.activeElement.blur());
      await press(nameBox);
      await page.waitForFunction(() => document.activeElement && document.activeElement.id === 'qb-text', {timeout: 5000});
      // What a phone's keyboard does: a word composed letter by letter, shown
      // as it grows, then committed as its suggestion; a word replaced by its correction.
      const cdp = await page.target().createCDPSession();
      for (const word of ['Z', 'Zo', 'Zoe'])
        await cdp.send('Input.imeSetComposition', {text: word, selectionStart: word.length, selectionEnd: word.length});
      await waitForState(page, (s) => playerFields(s)[0] === 'Zoe', 'the word being composed');
      await cdp.send('Input.insertText', {text: 'Zo\u00EB'});
      await page.keyboard.sendCharacter(' Yaets');
      await waitForState(page, (s) => playerFields(s)[0] === 'Zo\u00EB Yaets', 'the committed word and the next');
      await page.evaluate(() => {
        const field = document.activeElement;
        const at = field.value.lastIndexOf('Yaets');
        field.setRangeText('Yates', at, at + 5, 'end');
        field.dispatchEvent(new InputEvent('input', {inputType: 'insertReplacementText', data: 'Yates'}));
      });
      await waitForState(page, (s) => playerFields(s)[0] === 'Zo\u00EB Yates', 'the corrected name');
      if (options.screenshot) await page.screenshot({path: options.screenshot});
    } finally {
      await browser.close();
    }
  },

  // The game's letter keys follow the layout: on a French keyboard M is
  // where a US one has ";", and goes back to the launcher's menu.
  async LetterKeysFollowTheLayoutsLetters(server) {
    const {browser, page} = await launch();
    try {
      await page.goto(server.origin + '/play/Quibbleton/');
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
      const cdp = await page.target().createCDPSession();
      const frenchM = {code: 'Semicolon', key: 'm', windowsVirtualKeyCode: 77};
      await Promise.all([
        page.waitForNavigation({timeout: 10000}),
        (async () => {
          await cdp.send('Input.dispatchKeyEvent', Object.assign({type: 'keyDown', text: 'm'}, frenchM));
          await cdp.send('Input.dispatchKeyEvent', Object.assign({type: 'keyUp'}, frenchM));
        })(),
      ]);
      assert.strictEqual(new URL(page.url()).pathname, '/play/');
    } finally {
      await browser.close();
    }
  },


  // The launcher's page lists the games; its first game's title menu; "Play" opens the game's page.
  async LauncherListsTheGamesAndPlayOpensTheGamePage(server) {
    const {browser, page} = await launch();
    try {
      await page.goto(server.origin + '/play/');
      await waitForState(page, (d) => d.fields.screen === 'Lobbo' && /^Quibbleton\b/.test(d.fields.slots || ''), 'the game pages');
      await click(page, launcherButtons.slot1);
      await waitForState(page, (d) => d.fields.screen === 'title' && d.fields.game === 'Quibbleton', 'the title menu');
      await Promise.all([page.waitForNavigation(), click(page, launcherButtons.play)]);
      assert.ok(new URL(page.url()).pathname === '/play/Quibbleton/', 'Play went to ' + page.url());
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
    } finally {
      await browser.close();
    }
  },

  // A seeded game played by clicks on the canvas ends where the native game
  // does with the same seed and clicks, with sound after the first click; after its countdown
  // "menu" goes back to the title menu, whose hall of fame shows the score, also after a reload;
  // its "upload" puts the score on this server's leaderboard, verified by the game's replay on the
  // board of its settings.
  async ASeededGameMatchesTheNativeGameAndItsScoreIsKept(server) {
    const seed = 4242;
    // A game of 40 s, so that it ends (the server verifies only a game played to its end):
    // the player's own copy of the game's settings, as the page keeps its files.
    const settings = gameSettings(40);
    const {browser, page} = await launch();
    try {
      await page.goto(server.origin + '/play/Quibbleton/?QB_SEED=' + seed);
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
      await page.evaluate(async (text) => {
        FS.mkdirTree('/userdata/data/lobbo/Quibbleton');
        FS.writeFile('/userdata/data/lobbo/Quibbleton/setup.ini', text);
        await new Promise((resolve, reject) => FS.syncfs(false, (error) => (error ? reject(error) : resolve())));
      }, settings);
      await page.reload();
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board again');
      await click(page, gameButtons.newGame);
      await waitForState(page, (d) => d.fields.state === 'playing', 'the game to start');
      // The click was the page's first gesture: the mixer's sound now goes to Web Audio.
      await page.waitForFunction(() => qbPage.loudestHeard > 100, {timeout: 10000});
      const {clicks, final} = await playGroups(page, (cell, button) => click(page, [cellX(cell), cellY(cell)], button),
                                               ['left', 'right', 'left', 'left']);
      const native = playNatively(seed, clicks, settings);
      assert.strictEqual(final.board, native.board, 'the boards differ');
      assert.strictEqual(final.fields.score, native.fields.score, 'the scores differ');
      const score = Number(final.fields.score);
      assert.ok(score > 0);

      // The countdown runs out and the game offers its score; then "menu" goes back to the launcher.
      await waitForState(page, (d) => d.fields.state === 'idle', 'the game\'s end', 60000);
      await Promise.all([page.waitForNavigation(), click(page, gameButtons.menu)]);
      assert.strictEqual(new URL(page.url()).pathname, '/play/');
      await waitForState(page, (d) => d.fields.screen === 'title', 'the title menu');
      const hall = async () => {
        await click(page, launcherButtons.highScores);
        return waitForState(page, (d) => (d.fields.scores || '').split(' ').some((e) => e.endsWith(':' + score)),
                            'the hall of fame with ' + score);
      };
      await hall();
      await page.reload();
      await waitForState(page, (d) => d.fields.screen === 'title' || d.fields.screen === 'Lobbo', 'the launcher again');
      const again = parseDump(await page.evaluate(() => qbDump()));
      if (again.fields.screen === 'Lobbo') {
        await click(page, launcherButtons.slot1);
        await waitForState(page, (d) => d.fields.screen === 'title', 'the title menu after the reload');
      }
      await hall();

      assert.deepStrictEqual(await leaderboard(server, 'Quibbleton'), [], 'the board had scores before the upload');
      const opened = browser.waitForTarget((t) => t.url().startsWith(server.origin + '/cgi-bin/hiscore.cgi?'),
                                           {timeout: 15000});
      await click(page, launcherButtons.upload);
      await opened;
      const deadline = Date.now() + 15000;
      // A 40-second game is ranked on its own rule set's board; the plain
      // upload, unchecked, on the standard one.
      for (;;) {
        const rows = await leaderboard(server, 'Quibbleton', '?rules=2-40');
        const plain = await leaderboard(server, 'Quibbleton');
        if (rows.length === 1 && rows[0].score === score && rows[0].verified && plain.length === 1 &&
            plain[0].score === score && !plain[0].verified)
          break;
        if (Date.now() > deadline) {
          throw new Error('no verified ' + score + ' on the rule set\'s board: ' + JSON.stringify(rows) +
                          ', the standard one: ' + JSON.stringify(plain));
        }
        await new Promise((r) => setTimeout(r, 200));
      }
    } finally {
      await browser.close();
    }
  },

  // A game on the day's deal in the page (?daily=1): the page fetches the deal while the board is open,
  // New game deals it, and the game left by New game is sent by the game itself with the player's key,
  // ranked on the day's board at its score.
  async TheDaysDealPlayedInThePageRanksOnTheDaysBoard(server) {
    const {browser, page} = await launch();
    try {
      await page.goto(server.origin + '/play/Quibbleton/?daily=1');
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
      const until = async (ready, what) => {
        const deadline = Date.now() + 15000;
        for (;;) {
          const value = await ready();
          if (value) return value;
          if (Date.now() > deadline) throw new Error('no ' + what + ' in time');
          await new Promise((r) => setTimeout(r, 200));
        }
      };
      await until(() => /GET \/api\/games\/Quibbleton\/daily 200/.test(server.log()), 'request for the day\'s deal');
      await click(page, gameButtons.newGame);
      await waitForState(page, (d) => d.fields.state === 'playing', 'the game to start');
      const {final} = await playGroups(page, (cell, button) => click(page, [cellX(cell), cellY(cell)], button),
                                       ['left', 'left']);
      const score = Number(final.fields.score);
      assert.ok(score > 0);
      await click(page, gameButtons.newGame);
      const rows = await until(async () => {
        const day = await leaderboard(server, 'Quibbleton', '?daily=today');
        return day.length === 1 ? day : null;
      }, 'row on the day\'s board');
      assert.strictEqual(rows[0].score, score, JSON.stringify(rows));
      assert.ok(rows[0].verified && rows[0].ranked, JSON.stringify(rows));
      assert.match(server.log(), /POST \/api\/replays 200/);
    } finally {
      await browser.close();
    }
  },

  // On a phone: a tap removes a colour group, a press held 500 ms a face
  // group, as left and right clicks do natively.
  async TouchTapsAndLongPressesRemoveGroups(server) {
    const seed = 77;
    const {browser, page} = await launch();
    try {
      await page.emulate({viewport: {width: 844, height: 390, deviceScaleFactor: 2, isMobile: true, hasTouch: true},
                          userAgent: 'Mozilla/5.0 (Linux; Android 14) Mobile'});
      await page.goto(server.origin + '/play/Quibbleton/?QB_SEED=' + seed);
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
      const touch = async (point, long) => {
        const [x, y] = await pagePoint(page, point[0], point[1]);
        await page.touchscreen.touchStart(x, y);
        await new Promise((r) => setTimeout(r, long ? 800 : 60));
        await page.touchscreen.touchEnd();
      };
      await touch(gameButtons.newGame, false);
      await waitForState(page, (d) => d.fields.state === 'playing', 'the game to start');
      const {clicks, final} = await playGroups(page, (cell, button) => touch([cellX(cell), cellY(cell)], button === 'right'),
                                               ['left', 'right']);
      const native = playNatively(seed, clicks);
      assert.strictEqual(final.board, native.board, 'the boards differ');
      assert.strictEqual(final.fields.score, native.fields.score, 'the scores differ');
      if (options.screenshot) await page.screenshot({path: options.screenshot});
    } finally {
      await browser.close();
    }
  },

  // "watch" on a board's row plays its replay on the real game in the page, to the board's score.
  // The replay and its score come from the caller (--replay FILE --score N): a short game, played
  // here at double speed. A server that links no "watch" yet is stood in for by the page's requests
  // for the replay, answered with the file.
  async WatchPlaysAReplayToTheBoardsScore(server) {
    const text = fs.readFileSync(options.replay, 'utf8');
    const upload = await fetch(server.origin + '/api/replays?game=Quibbleton&name=' + encodeURIComponent('Watched:::N') +
                               '&score=' + options.score, {method: 'POST', body: text});
    assert.strictEqual(upload.status, 200, 'the upload answered ' + upload.status + ': ' + await upload.text());
    // The board of the replay's rules: the standard one, or its own rule set's.
    const rules = /\nballoons (\d+)\ngametime (\d+)\n/.exec(text);
    const boards = ['', '?rules=' + rules[1] + '-' + rules[2]];
    let row = null, watch = null;
    for (const board of boards) {
      const answer = await fetch(server.origin + '/api/games/Quibbleton/scores' + board);
      if (answer.status === 200) row = row || (await answer.json()).scores.find((r) => r.name.startsWith('Watched'));
      const html = await (await fetch(server.origin + '/games/Quibbleton' + board)).text();
      const link = /href="([^"]*\/play\/Quibbleton\/\?replay=[^"]+)"/.exec(html);
      watch = watch || (link && link[1].replace(/&amp;/g, '&'));
    }
    assert.ok(row && row.verified, 'no verified row for the replay on the boards');
    const {browser, page} = await launch();
    try {
      if (!watch) {
        console.log('the server links no "watch": the page\'s fetch of the replay is answered here');
        watch = '/play/Quibbleton/?replay=watched-1';
        await page.setRequestInterception(true);
        page.on('request', (request) => {
          if (new URL(request.url()).pathname === '/api/replays/watched-1')
            request.respond({status: 200, contentType: 'text/plain', body: text});
          else request.continue();
        });
      }
      await page.goto(new URL(watch, server.origin).href);
      await waitForState(page, (d) => d.fields.state === 'playing', 'the replay\'s game to start');
      await page.keyboard.press('KeyF');
      const end = await waitForState(page, (d) => d.fields.state === 'idle', 'the replay\'s game to end', 60000);
      assert.strictEqual(Number(end.fields.score), row.score, 'the watched game ended at another score');
      assert.strictEqual(end.fields.best, '0', 'the watched game went into the viewer\'s hall of fame');

      // A replay the site does not have: the page says so, and the program does not start.
      await page.goto(server.origin + '/play/Quibbleton/?replay=no-such-replay');
      await page.waitForFunction(() => /could not be fetched/.test((document.getElementById('qb-message') || {}).textContent),
                                 {timeout: 15000});
      assert.strictEqual(await page.evaluate(() => qbPage.framesDrawn), 0);
    } finally {
      await browser.close();
    }
  },

  // The app plays offline: once a first visit has shown the game (and its
  // page's worker has kept the build), a reload with the network off, and
  // the launcher's page opened offline too, reach their programs. The
  // browser's offline mode does not hold back the worker's own requests, so
  // the server is stopped too: nothing answers but the worker's cache.
  async AReloadWithTheNetworkOffReachesTheBoard(server) {
    const {browser, page} = await launch();
    try {
      await page.goto(server.origin + '/play/Quibbleton/');
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
      await page.waitForFunction(() => navigator.serviceWorker && navigator.serviceWorker.controller, {timeout: 20000});
      await server.close();
      await page.setOfflineMode(true);
      await page.reload();
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board offline');
      await page.goto(server.origin + '/play/');
      await waitForState(page, (d) => d.fields.screen === 'Lobbo', 'the launcher offline');
    } finally {
      await browser.close();
    }
  },

  // On a phone: the first tap starts the sound and offers full screen; the board's hint line is
  // the touch screen's (not the one a mouse's page shows); in portrait the page says to turn the
  // phone. Puppeteer's evaluate is a gesture of its own (it asks for one): until the tap, the
  // page is looked at through a plain Runtime.evaluate, which is none.
  async TheFirstTapOnAPhoneStartsTheSoundAndSaysTap(server) {
    const {browser, page} = await launch();
    try {
      const quietly = async (cdp, expression, what) => {
        const deadline = Date.now() + 15000;
        for (;;) {
          const answer = await cdp.send('Runtime.evaluate', {expression, returnByValue: true, awaitPromise: true});
          if (answer.result.value) return answer.result.value;
          if (Date.now() > deadline) throw new Error('waited in vain for ' + what);
          await new Promise((r) => setTimeout(r, 100));
        }
      };
      const board = async (where) => {
        const cdp = await where.target().createCDPSession();
        await where.goto(server.origin + '/play/Quibbleton/');
        await quietly(cdp, 'window.qbPage && qbPage.framesDrawn > 0 && /^screen game$/m.test(qbDump())', 'the board');
        // The dump names the screen before its picture is drawn: the line is read once it is there.
        const hint = await quietly(cdp, '(() => { const d = document.getElementById("qb-canvas").getContext("2d")' +
                                        '.getImageData(137, 578, 615, 18).data;' +
                                        ' return d.some((v, i) => i % 4 !== 3 && v > 0) ? Array.from(d).join() : ""; })()',
                                   'the hint line');
        return {cdp, hint};
      };
      const desk = await browser.newPage();
      const mouseHint = (await board(desk)).hint;
      await desk.close();
      await page.emulate({viewport: {width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true},
                          userAgent: 'Mozilla/5.0 (Linux; Android 14) Mobile'});
      const {cdp, hint} = await board(page);
      assert.notStrictEqual(hint, mouseHint, 'the touch page shows the mouse\'s hint line');
      // The context is made when the player shows up, and sounds only after the gesture.
      assert.notStrictEqual(await quietly(cdp, 'qbPage.audio ? qbPage.audio.state : "not made"', 'the sound\'s state'),
                            'running');
      const r = await quietly(cdp, 'JSON.stringify(document.getElementById("qb-canvas").getBoundingClientRect())', 'the canvas');
      const {left, top, width, height} = JSON.parse(r);
      await page.touchscreen.touchStart(left + width / 2, top + height * 590 / 600);
      await new Promise((done) => setTimeout(done, 60));
      await page.touchscreen.touchEnd();
      await quietly(cdp, 'qbPage.audio.state === "running"', 'the sound to start');
      await page.waitForSelector('#qb-full:not([hidden])', {timeout: 2000});
      const turnShown = () => page.evaluate(() => getComputedStyle(document.getElementById('qb-turn')).display !== 'none');
      assert.ok(!(await turnShown()), 'the hint to turn the phone shows in landscape');
      await page.setViewport({width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true});
      assert.ok(await turnShown(), 'no hint to turn the phone in portrait');
      if (options.screenshot) await page.screenshot({path: options.screenshot});
    } finally {
      await browser.close();
    }
  },

  // Leaving: Ctrl+N in the game is the browser's (no new game); "menu" and Play replace the
  // page's history entry; Escape in the game goes back to the launcher's page, and in the
  // launcher ends it with a page that starts it again.
  async LeavingTheGameGoesBackToTheLauncherAndKeysStayTheBrowsers(server) {
    const {browser, page} = await launch();
    try {
      const press = (point) => click(page, point);
      await titleMenu(page, server, press);
      const entries = await page.evaluate(() => history.length);
      const play = async () => {
        await Promise.all([page.waitForNavigation(), press(launcherButtons.play)]);
        return waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
      };
      const before = await play();
      await page.keyboard.down('Control');
      await page.keyboard.press('KeyN');
      await page.keyboard.up('Control');
      await new Promise((r) => setTimeout(r, 1500));
      const after = parseDump(await page.evaluate(() => qbDump()));
      assert.strictEqual(after.fields.state, before.fields.state, 'Ctrl+N changed the game');
      await Promise.all([page.waitForNavigation(), press(gameButtons.menu)]);
      await waitForState(page, (d) => d.fields.screen === 'title', 'the title menu');
      assert.strictEqual(await page.evaluate(() => history.length), entries, 'Play and "menu" added history entries');

      await play();
      await Promise.all([page.waitForNavigation({timeout: 10000}), page.keyboard.press('Escape')]);
      assert.strictEqual(new URL(page.url()).pathname, '/play/');
      await waitForState(page, (d) => d.fields.screen === 'Lobbo' || d.fields.screen === 'title', 'the launcher');
      await page.keyboard.press('Escape');
      await page.waitForSelector('#qb-end:not([hidden])', {timeout: 10000});
      await Promise.all([page.waitForNavigation(), page.click('#qb-end button')]);
      await waitForState(page, (d) => d.fields.screen === 'Lobbo' || d.fields.screen === 'title', 'the launcher again');
    } finally {
      await browser.close();
    }
  },

  // Tabs of one browser share the player's files: two game tabs each finish a game (left by "new
  // game") and a launcher tab changes who is playing in between, each tab opened before any of it;
  // a tab opened last finds both scores in the hall of fame and the new name. While a page loads,
  // its qbDump() answers '' instead of throwing.
  async TabsKeepEachOthersSaves(server) {
    const {browser, page} = await launch();
    const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
    try {
      const openGame = async (tab, seed) => {
        await tab.goto(server.origin + '/play/Quibbleton/?QB_SEED=' + seed, {waitUntil: 'domcontentloaded'});
        await tab.waitForFunction(() => typeof window.qbDump === 'function', {timeout: 10000});
        for (let asked = 0; ; ++asked) {
          const answer = await tab.evaluate(() => { try { return {text: qbDump()}; } catch (e) { return {error: String(e)}; } });
          assert.ok(answer.error === undefined, 'qbDump() threw while the page loaded: ' + answer.error);
          if (answer.text) break;
          assert.ok(asked < 1000, 'the program did not run');
          await sleep(10);
        }
        await waitForState(tab, (d) => d.fields.screen === 'game', 'the game\'s board');
      };
      const saved = (tab) => tab.evaluate(() => qbPage.whenSaved());
      // A game to a score, then "new game", which puts it into the hall of fame.
      const finishGame = async (tab, whileClicked) => {
        await tab.bringToFront();
        await click(tab, gameButtons.newGame);
        await waitForState(tab, (d) => d.fields.state === 'playing', 'the game to start');
        const {final} = await playGroups(tab, (cell, button) => click(tab, [cellX(cell), cellY(cell)], button), ['left', 'left']);
        const score = Number(final.fields.score);
        assert.ok(score > 0);
        await click(tab, gameButtons.newGame);
        if (whileClicked) await whileClicked(score);
        await waitForState(tab, (d) => d.fields.state === 'playing' && d.fields.score === '0' && Number(d.fields.best) >= score,
                           'the next game, the score in the hall of fame');
        await saved(tab);
        return score;
      };
      const gameA = page, gameB = await browser.newPage(), launcher = await browser.newPage();
      await openGame(gameA, 11);
      await openGame(gameB, 12);
      const press = (point) => click(launcher, point);
      await titleMenu(launcher, server, press);
      // A launcher's tab that hears no other tab (as one the browser froze): it loads what changed
      // when it comes back to view.
      const deaf = await browser.newPage();
      await deaf.evaluateOnNewDocument(() => { delete window.BroadcastChannel; });
      await titleMenu(deaf, server, (point) => click(deaf, point));

      const first = await finishGame(gameA);
      await launcher.bringToFront();
      await emptyPlayerBoxes(launcher, press);
      const name = 'Tabby';
      await launcher.keyboard.type(name, {delay: 20});
      await waitForState(launcher, (s) => playerFields(s)[0] === name, 'the name box to hold ' + name);
      await enterPlayer(launcher);
      await saved(launcher);
      // A save waits while another tab saves: here the launcher's tab holds the files' lock.
      const held = '/userdata/data/lobbo/options.ini';
      await launcher.evaluate((path) => qbPage.saveBegin(path), held);
      const second = await finishGame(gameB, async (score) => {
        await sleep(1500);
        const d = parseDump(await gameB.evaluate(() => qbDump()));
        // The game's save of its score comes before its next deal.
        assert.strictEqual(d.fields.score, String(score), 'the game went on to its next deal while another tab saved');
        await launcher.evaluate((path) => qbPage.saveEnd(path), held);
      });

      // The launcher's tab, open all along, learnt of the game tabs' saves; so does a tab opened last.
      const last = await browser.newPage();
      await titleMenu(last, server, (point) => click(last, point));
      const wanted = [first, second].sort().join(' ');
      await deaf.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
      for (const tab of [launcher, last, deaf]) {
        await tab.bringToFront();
        await click(tab, launcherButtons.highScores);
        await waitForState(tab, (d) => {
          const scores = (d.fields.scores || '').split(' ').map((e) => Number(e.slice(e.lastIndexOf(':') + 1)));
          return scores.filter((s) => s === first || s === second).sort().join(' ') === wanted;
        }, 'the hall of fame with ' + first + ' and ' + second, 5000);
      }
      const options = await last.evaluate(() => {
        const found = [];
        (function walk(dir) {
          for (const entry of FS.readdir(dir)) {
            if (entry === '.' || entry === '..') continue;
            if (FS.isDir(FS.stat(dir + '/' + entry).mode)) walk(dir + '/' + entry);
            else if (entry === 'options.ini') found.push(FS.readFile(dir + '/' + entry, {encoding: 'utf8'}));
          }
        })('/userdata');
        return found;
      });
      assert.ok(options.some((text) => text.split(/\r?\n/).includes('name=' + name)),
                'the launcher tab\'s new name was undone:\n' + options.join('\n--\n'));
    } finally {
      await browser.close();
    }
  },

  // The music is fetched apart from the game's package: held back, the board
  // is drawn and a game can be started all the same, in silence; let go, it plays.
  async TheBoardIsPlayableBeforeItsMusicArrives(server) {
    const {browser, page} = await launch();
    try {
      const held = [];
      await page.setRequestInterception(true);
      page.on('request', (request) => {
        if (/\.mp3$/i.test(new URL(request.url()).pathname)) held.push(request);
        else request.continue();
      });
      await page.goto(server.origin + '/play/Quibbleton/?QB_SEED=4242');
      await waitForState(page, (d) => d.fields.screen === 'game', 'the game\'s board');
      assert.strictEqual(held.length, 1, 'the page asked for ' + held.length + ' music files');
      await click(page, gameButtons.newGame);
      await waitForState(page, (d) => d.fields.state === 'playing', 'a game started without its music');
      await page.waitForFunction(() => qbPage.audio && qbPage.audio.state === 'running', {timeout: 5000});
      // The click's own sound dies away; nothing else plays while the music is held.
      await new Promise((r) => setTimeout(r, 1500));
      await page.evaluate(() => { qbPage.loudestHeard = 0; });
      await new Promise((r) => setTimeout(r, 1000));
      assert.strictEqual(await page.evaluate(() => qbPage.loudestHeard), 0, 'sound before the music came');
      held[0].continue();
      await page.waitForFunction(() => qbPage.loudestHeard > 1000, {timeout: 15000});
    } finally {
      await browser.close();
    }
  },

  // A still board (before a game, its sound not yet allowed) lets the page
  // sleep: at most ten wakes a second and no blocks of sound handed to the
  // page; a click wakes it at once.
  async AStillBoardLetsThePageSleep(server) {
    const {browser, page} = await launch();
    try {
      await page.goto(server.origin + '/play/Quibbleton/?QB_SEED=4242');
      await waitForState(page, (d) => d.fields.screen === 'game' && d.fields.state === 'idle', 'the game\'s board');
      // As a browser holds the sound until the player's first gesture.
      await page.evaluate(() => { qbPage.makeAudio(); return qbPage.audio.suspend(); });
      await page.evaluate(() => {
        window.counted = {wakes: 0, blocks: 0};
        const yieldEnd = qbPage.yieldEnd, queueSound = qbPage.queueSound;
        qbPage.yieldEnd = function () { ++counted.wakes; return yieldEnd.apply(this, arguments); };
        qbPage.queueSound = function () { ++counted.blocks; return queueSound.apply(this, arguments); };
      });
      await new Promise((r) => setTimeout(r, 2000));
      const before = await page.evaluate(() => Object.assign({at: performance.now()}, counted));
      await new Promise((r) => setTimeout(r, 3000));
      const after = await page.evaluate(() => Object.assign({at: performance.now()}, counted));
      const perSecond = (after.wakes - before.wakes) * 1000 / (after.at - before.at);
      console.log('still board: ' + perSecond.toFixed(1) + ' wakes a second, ' + (after.blocks - before.blocks) + ' blocks of sound');
      assert.ok(perSecond <= 10, 'the page woke ' + perSecond.toFixed(1) + ' times a second');
      assert.strictEqual(after.blocks - before.blocks, 0, 'blocks of sound handed to a suspended page');
      await click(page, gameButtons.newGame);
      await waitForState(page, (d) => d.fields.state === 'playing', 'a game started by a click', 2000);
    } finally {
      await browser.close();
    }
  },
};

(async () => {
  if (!tests[testName]) {
    console.log('tests: ' + Object.keys(tests).join(' '));
    process.exit(1);
  }
  const server = await startServer();
  try {
    await tests[testName](server);
    console.log('PASSED ' + testName);
  } catch (error) {
    console.log('FAILED ' + testName + ': ' + (error.stack || error));
    console.log('the score server\'s log:\n' + server.log());
    process.exitCode = 1;
  } finally {
    await server.close();
  }
})();
