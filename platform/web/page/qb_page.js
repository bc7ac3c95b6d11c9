// A program's page: sets up the Emscripten module of the program named by
// window.qbProgram (its page's inline settings), its canvas and input, its
// files (the program tree from the package, the player's files in
// IndexedDB), its sound, and the test hooks; then loads the program.
'use strict';
(function () {
  const settings = window.qbProgram;  // {name, launcher, root, script, folder, args}
  const query = new URLSearchParams(location.search);
  const canvas = document.getElementById('qb-canvas');
  const userFolder = '/userdata';
  // The QB_* settings that make sense in a page; the backends are the page's own.
  const pageSettings = ['QB_SEED', 'QB_DEPTH', 'QB_MAX_TICKS'];

  // --- watching a game: ?replay=ID plays back the replay this site keeps
  // under ID. Its text is fetched while the program itself loads, and the
  // program starts once it is here, with the file as QB_REPLAY (outside the
  // player's files, which are saved); it does not start without it.
  const watched = query.has('replay') ? {
    path: '/tmp/watched-replay.txt',
    text: fetch('/api/replays/' + encodeURIComponent(query.get('replay')), {cache: 'no-store'}).then(function (answer) {
      if (!answer.ok) throw new Error('the server answered ' + answer.status + ' ' + answer.statusText);
      return answer.text();
    }),
  } : null;
  // Said once the program's loading takes it, which may be after it failed.
  if (watched) watched.text.catch(function () {});
  // A line over the page, where the program would be.
  function showMessage(text) {
    let box = document.getElementById('qb-message');
    if (!box) {
      box = document.createElement('p');
      box.id = 'qb-message';
      box.style.cssText = 'position: absolute; left: 0; right: 0; top: 40%; margin: 0; padding: 1em; ' +
                          'text-align: center; color: #fff; font: 20px sans-serif;';
      document.body.appendChild(box);
    }
    box.textContent = text;
  }

  const page = {
    context: canvas.getContext('2d', {alpha: false}),
    framesDrawn: 0,
    firstFrameAt: 0,
    audio: null,
    audioAt: 0,
    loudestHeard: 0,  // the loudest sample sent to Web Audio so far
    wokeAt: 0,
    longestWork: 0,  // ms, the longest the program ran between two waits
    wakes: 0,  // how often the program has come back from a wait
    lastInputAt: 0,  // performance.now() of the player's last input
    blocksQueued: 0,  // blocks of sound handed to Web Audio
    leaving: false,  // on the way to another page
  };

  // --- the player's files: IndexedDB behind /userdata, shared with the
  // page's other tabs, each of which keeps its own copy in memory. Nothing
  // copies a tab's whole copy over the store: each change goes to the store
  // path by path, under a lock all the tabs take (a Web Lock), and the other
  // tabs are told which paths changed (a BroadcastChannel) and load them.
  // A save by the program (web_save.cpp) takes the lock, loads the file it
  // saves as the store holds it now, reads, edits and replaces it, and keeps
  // the lock until the store has the result: so a save merges into what
  // another tab saved instead of undoing it. A change outside a save (a
  // removal, a new folder) goes to the store once the program has yielded.
  const files = {
    lock: 'qb-player-files',
    dirty: new Set(),  // changed here and not yet taken to the store
    touched: new Map(),  // path -> the count when it last changed here or was loaded
    count: 0,
    quiet: 0,  // the page itself is changing the files as the store holds them
    ready: false,  // the store's files are here
    save: null,  // the program's save holding the lock: {release}
    scheduled: false,
    busy: 0,  // pushes and saves not done yet
    waiters: [],
    chain: Promise.resolve(),  // where there are no Web Locks: one at a time in this tab
    channel: window.BroadcastChannel ? new BroadcastChannel('qb-player-files') : null,
  };
  const inUserFolder = (path) => String(path).startsWith(userFolder + '/');
  function warnFiles(what) {
    return function (error) { if (error) console.warn(what, error); };
  }
  // work() runs holding the lock, which is let go when its promise settles.
  function holdLock(work) {
    if (navigator.locks) return navigator.locks.request(files.lock, work);
    const run = files.chain.then(work);
    files.chain = run.catch(function () {});
    return run;
  }
  function doneWithFiles() {
    if (--files.busy > 0 || files.scheduled) return;
    const waiters = files.waiters;
    files.waiters = [];
    waiters.forEach(function (f) { f(); });
  }
  // One transaction on the store; resolves once it has completed.
  function withStore(mode, work) {
    return new Promise(function (resolve, reject) {
      IDBFS.getDB(userFolder, function (error, db) {
        if (error) return reject(error);
        try {
          const transaction = db.transaction([IDBFS.DB_STORE_NAME], mode);
          transaction.oncomplete = function () { resolve(); };
          transaction.onerror = transaction.onabort = function () { reject(transaction.error); };
          work(transaction.objectStore(IDBFS.DB_STORE_NAME));
        } catch (e) {
          reject(e);
        }
      });
    });
  }
  // The path and its folders below the player's folder, folders first.
  function withFolders(paths) {
    const all = new Set();
    paths.forEach(function (path) {
      for (let at = path.indexOf('/', userFolder.length + 1); at > 0; at = path.indexOf('/', at + 1))
        all.add(path.slice(0, at));
      all.add(path);
    });
    return Array.from(all).sort();
  }
  function changed(path) {
    if (files.quiet || !inUserFolder(path)) return;
    files.dirty.add(path);
    files.touched.set(path, ++files.count);
    if (!files.save) schedulePush();
  }
  function takeDirty() {
    const paths = Array.from(files.dirty);
    files.dirty.clear();
    return paths;
  }
  // Writes the paths to the store as this tab has them, a missing one (and
  // whatever the store kept below it) removed. Save's temporary files stay out.
  function push(paths) {
    const all = withFolders(paths).filter(function (path) { return !/\/\.[^/]*\.qbtmp-[^/]*$/.test(path); });
    if (!all.length) return Promise.resolve([]);
    return withStore('readwrite', function (store) {
      all.forEach(function (path) {
        const here = FS.analyzePath(path);
        if (here.exists) {
          IDBFS.loadLocalEntry(path, function (error, entry) {
            if (!error) IDBFS.storeRemoteEntry(store, path, entry, warnFiles('saving ' + path + ' failed'));
          });
        } else {
          store.delete(IDBKeyRange.bound(path + '/', path + '0', false, true));
          IDBFS.removeRemoteEntry(store, path, warnFiles('removing ' + path + ' failed'));
        }
      });
    }).then(function () {
      if (files.channel) files.channel.postMessage({paths: all});
      return all;
    });
  }
  function schedulePush() {
    if (files.scheduled) return;
    files.scheduled = true;
    files.busy++;
    setTimeout(function () {
      holdLock(function () {
        files.scheduled = false;
        return push(takeDirty());
      }).catch(warnFiles('saving the player\'s files failed')).then(doneWithFiles);
    }, 0);
  }
  // Brings the paths here to what the store holds now, but for those
  // changed here since (the store will have those from this tab).
  function refresh(paths) {
    const start = ++files.count;
    const stored = new Map();
    return withStore('readonly', function (store) {
      paths.forEach(function (path) {
        IDBFS.loadRemoteEntry(store, path, function (error, entry) { if (!error) stored.set(path, entry); });
      });
    }).then(function () {
      files.quiet++;
      try {
        paths.slice().sort().forEach(function (path) {
          if (files.dirty.has(path) || (files.touched.get(path) || 0) > start) return;
          files.touched.set(path, start);
          const entry = stored.get(path), here = FS.analyzePath(path);
          if (!entry) {
            // Removed by another tab; a folder stays, as files of this tab may be on their way into it.
            if (here.exists && !FS.isDir(here.object.mode)) FS.unlink(path);
            return;
          }
          if (here.exists) {
            const now = FS.stat(path);
            if (FS.isDir(now.mode) !== FS.isDir(entry.mode) || now.mtime.getTime() === entry.timestamp.getTime()) return;
          }
          IDBFS.storeLocalEntry(path, entry, warnFiles('loading ' + path + ' failed'));
        });
      } finally {
        files.quiet--;
      }
      if (Module._qb_web_files_changed) Module._qb_web_files_changed();
    });
  }
  page.saveBegin = function (path) {
    files.busy++;
    return new Promise(function (granted) {
      holdLock(function () {
        return new Promise(function (release) {
          files.save = {release: release};
          refresh(withFolders([path])).catch(warnFiles('loading ' + path + ' failed')).then(granted);
        });
      }).catch(warnFiles('the player\'s files could not be locked')).then(function () {
        granted();  // without the lock, the save goes on all the same
        doneWithFiles();
      });
    });
  };
  page.saveEnd = function (path) {
    const save = files.save;
    files.save = null;
    files.dirty.add(path);
    files.touched.set(path, ++files.count);
    push(takeDirty()).catch(warnFiles('saving the player\'s files failed')).then(function () {
      if (save) save.release();
    });
  };
  if (files.channel) {
    files.channel.onmessage = function (message) {
      const paths = (message.data && message.data.paths || []).filter(inUserFolder);
      if (paths.length && files.ready) refresh(paths).catch(warnFiles('loading another tab\'s files failed'));
    };
  }
  // A tab coming back to view loads what the store holds newer than its own
  // files: it may have missed a message while the browser froze it.
  document.addEventListener('visibilitychange', function () {
    if (document.hidden || !files.ready) return;
    const stored = new Map();
    withStore('readonly', function (store) {
      store.index('timestamp').openKeyCursor().onsuccess = function (event) {
        const cursor = event.target.result;
        if (!cursor) return;
        stored.set(cursor.primaryKey, cursor.key.getTime());
        cursor.continue();
      };
    }).then(function () {
      const paths = [];
      stored.forEach(function (time, path) {
        if (!FS.analyzePath(path).exists || FS.stat(path).mtime.getTime() !== time) paths.push(path);
      });
      return paths.length ? refresh(paths) : null;
    }).catch(warnFiles('loading the player\'s files failed'));
  });
  // Resolves once every change made so far is in the store.
  page.whenSaved = function () {
    return new Promise(function (resolve) {
      if (files.busy || files.scheduled) files.waiters.push(resolve);
      else resolve();
    });
  };

  // --- programs and addresses
  function carriedSettings() {
    const carried = new URLSearchParams();
    pageSettings.forEach(function (name) {
      if (query.has(name)) carried.set(name, query.get(name));
    });
    return carried;
  }
  page.openProgram = function (name, parameters) {
    const next = carriedSettings();
    if (parameters) next.set('arg', parameters);
    const path = name === settings.launcher ? '' : encodeURIComponent(name) + '/';
    const search = next.toString();
    leave(settings.root + path + (search ? '?' + search : ''));
  };
  // The programs' pages replace each other in the history: Play and back
  // to the menu is no step Back has to undo.
  function leave(url) {
    page.leaving = true;
    page.whenSaved().then(function () { location.replace(url); });
  }
  // The program has ended ("exit", Escape): a game's page goes back to the
  // launcher's; the launcher's says so and offers to start it again. A page
  // already on its way to another program, or saying why the program could
  // not run, stays as it is.
  function programEnded() {
    if (page.leaving || document.getElementById('qb-message')) return;
    if (settings.name !== settings.launcher) {
      page.openProgram(settings.launcher);
      return;
    }
    page.leaving = true;
    canvas.style.visibility = 'hidden';
    page.whenSaved().then(function () {
      const end = document.getElementById('qb-end');
      end.hidden = false;
      end.querySelector('button').addEventListener('click', function () { location.reload(); });
    });
  }

  // --- sound: Web Audio, heard once the page has had a gesture. Making the
  // context can take half a second, all of it on the page's thread: made
  // while the program starts, it held the picture's first whole frame back
  // that long. So it is made when the player first shows up (the pointer
  // over the page, a finger down, a key), a moment before the gesture that
  // lets it sound, and it starts suspended.
  function makeAudio() {
    if (page.audio) return;
    const Context = window.AudioContext || window.webkitAudioContext;
    if (Context) page.audio = new Context();
  }
  page.makeAudio = makeAudio;
  page.afterFirstFrame = function () {};
  ['pointermove', 'pointerdown', 'touchstart', 'keydown'].forEach(function (type) {
    window.addEventListener(type, makeAudio, {capture: true, passive: true, once: true});
  });
  function startSound() {
    makeAudio();
    if (page.audio && page.audio.state !== 'running') page.audio.resume();
  }
  // The blocks' buffers are used in turn: making one for each block, fifty
  // a second, was most of the sound's cost on the page. A buffer comes round
  // again only long after it was heard (the blocks are queued 80 ms ahead).
  const soundBuffers = {ring: [], next: 0};
  function soundBuffer(audio, count, rate) {
    const ring = soundBuffers.ring, size = 16;
    if (ring.length && (ring[0].length !== count || ring[0].sampleRate !== rate)) {
      ring.length = 0;
      soundBuffers.next = 0;
    }
    if (ring.length < size) {
      ring.push(audio.createBuffer(2, count, rate));
      soundBuffers.next = ring.length % size;
      return ring[ring.length - 1];
    }
    const buffer = ring[soundBuffers.next];
    soundBuffers.next = (soundBuffers.next + 1) % size;
    return buffer;
  }
  page.queueSound = function (samples, count, rate) {
    const audio = page.audio;
    ++page.blocksQueued;
    if (!audio || audio.state !== 'running') return 0;
    const buffer = soundBuffer(audio, count, rate);
    const left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    let peak = 0;
    for (let i = 0; i < count; ++i) {
      left[i] = samples[2 * i] / 32768;
      right[i] = samples[2 * i + 1] / 32768;
      peak = Math.max(peak, Math.abs(samples[2 * i]), Math.abs(samples[2 * i + 1]));
    }
    page.loudestHeard = Math.max(page.loudestHeard, peak);
    const source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    // Blocks follow each other exactly; after a gap they start a little ahead.
    if (page.audioAt < audio.currentTime + 0.01) page.audioAt = audio.currentTime + 0.05;
    source.start(page.audioAt);
    page.audioAt += count / rate;
    return Math.round((page.audioAt - audio.currentTime) * 1000);
  };

  // --- music: not in the program's package (it would hold the program's
  // start back), but beside the page. The program opens a file of its tree
  // (web_music.cpp); the page fetches it from the same place under its own
  // root and the browser decodes it, while the program goes on; the program
  // asks for it as it plays and starts the music once it is here. A file
  // that cannot be fetched or decoded is told once; the program stays silent.
  const musicFiles = new Map();  // path in the tree -> {address, bytes (a promise), decoding, decoded, failed}
  function musicAddress(path) {
    const parts = [];
    (path.startsWith('/') ? path : FS.cwd() + '/' + path).split('/').forEach(function (part) {
      if (part === '..') parts.pop();
      else if (part && part !== '.') parts.push(part);
    });
    const inTree = parts.join('/');
    const tree = settings.tree.replace(/^\/+/, '') + '/';
    if (!inTree.startsWith(tree)) return null;
    // Its version, which caches keep for good, as the page names it (beside the page).
    const folder = settings.folder.replace(/^\/+/, '') + '/';
    const version = inTree.startsWith(folder) ? (settings.versions || {})[inTree.slice(folder.length)] : null;
    return settings.root + inTree.slice(tree.length).split('/').map(encodeURIComponent).join('/') +
           (version ? '?v=' + version : '');
  }
  // The channels as the browser gives them, floats; the program makes its
  // samples of them (web_music.cpp), much faster than a loop here would.
  function decodeMusic(file, rate) {
    file.decoding = true;
    file.bytes.then(function (bytes) {
      // decodeAudioData takes the buffer it is given: the file's bytes stay for the next decode.
      return new OfflineAudioContext(2, 1, rate).decodeAudioData(bytes.slice(0));
    }).then(function (decoded) {
      if (!decoded.length) throw new Error('it holds no sound');
      const left = decoded.getChannelData(0);
      const right = decoded.numberOfChannels > 1 ? decoded.getChannelData(1) : left;
      file.decoded = {frames: decoded.length, left: left, right: right};
      file.decoding = false;
    }, function (error) {
      console.warn('the music ' + file.address + ' could not be played:', error.message || error);
      file.failed = true;
    });
  }
  page.startMusic = function (path, rate) {
    let file = musicFiles.get(path);
    if (file && file.failed) return false;
    if (!file) {
      const address = musicAddress(path);
      if (!address) return false;
      file = {address: address, decoded: null, failed: false};
      file.bytes = fetch(address).then(function (answer) {
        if (!answer.ok) throw new Error('the server answered ' + answer.status);
        return answer.arrayBuffer();
      });
      musicFiles.set(path, file);
    }
    if (!file.decoded && !file.decoding) decodeMusic(file, rate);
    return true;
  };
  page.musicFrames = function (path) {
    const file = musicFiles.get(path);
    return !file || file.failed ? -1 : file.decoded ? file.decoded.frames : 0;
  };
  page.decodedMusic = function (path) { return musicFiles.get(path).decoded; };
  page.musicTaken = function (path) { musicFiles.get(path).decoded = null; };

  // How long the program works between two waits (the benchmark's heaviest frame).
  page.yieldBegin = function () {
    if (page.wokeAt) page.longestWork = Math.max(page.longestWork, performance.now() - page.wokeAt);
  };
  page.yieldEnd = function () {
    page.wokeAt = performance.now();
    page.wakes++;
  };

  // --- waking: a still program sleeps until the player does something, or
  // a tenth of a second (web_clock.cpp). Whatever the player does wakes it,
  // once the page's own handlers have passed it on.
  let sleeper = null;
  page.sleepUntilInput = function (ms, resume) {
    let done = false;
    const wake = function () {
      if (done) return;
      done = true;
      clearTimeout(timer);
      sleeper = null;
      resume();
    };
    const timer = setTimeout(wake, ms);
    sleeper = wake;
  };
  function playerActed() {
    page.lastInputAt = performance.now();
    if (sleeper) setTimeout(sleeper, 0);
  }
  ['mousedown', 'mouseup', 'mousemove', 'touchstart', 'touchmove', 'touchend', 'touchcancel', 'keydown', 'keyup',
   'input', 'compositionend', 'focus', 'blur', 'visibilitychange'].forEach(function (type) {
    window.addEventListener(type, playerActed, {capture: true, passive: true});
  });

  // --- input: picture coordinates from the canvas as the page scales it
  function picturePoint(clientX, clientY) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((clientX - r.left) * canvas.width / r.width),
            Math.floor((clientY - r.top) * canvas.height / r.height)];
  }
  function mouse(x, y, button, down) {
    if (Module._qb_web_mouse) Module._qb_web_mouse(x, y, button, down ? 1 : 0);
  }
  canvas.addEventListener('mousemove', function (e) {
    const p = picturePoint(e.clientX, e.clientY);
    mouse(p[0], p[1], -1, false);
  });
  canvas.addEventListener('mousedown', function (e) {
    if (e.button !== 0 && e.button !== 2) return;
    const p = picturePoint(e.clientX, e.clientY);
    mouse(p[0], p[1], e.button === 0 ? 0 : 1, true);
    e.preventDefault();
  });
  window.addEventListener('mouseup', function (e) {
    if (e.button !== 0 && e.button !== 2) return;
    const p = picturePoint(e.clientX, e.clientY);
    mouse(p[0], p[1], e.button === 0 ? 0 : 1, false);
  });
  canvas.addEventListener('contextmenu', function (e) { e.preventDefault(); });

  // A click made of a touch: the button held 50 ms, so that the programs'
  // buttons see it pressed in one frame and released in a later one, as a
  // hand's click is.
  function press(point, button) {
    mouse(point[0], point[1], button, true);
    setTimeout(function () { mouse(point[0], point[1], button, false); }, 50);
  }

  // Sound may start only in the events a browser counts as the player's
  // gesture: not in touchstart, so a tap starts it as it ends.
  ['mousedown', 'pointerup', 'touchend', 'click', 'keydown'].forEach(function (type) {
    window.addEventListener(type, startSound, true);
  });

  // --- touch screens: where the pointer is a finger (or the player has
  // touched the page) the programs say "tap" and "hold", and the first tap
  // offers full screen in landscape, where the browser allows it.
  const coarsePointer = !!(window.matchMedia && matchMedia('(pointer: coarse)').matches);
  let touched = false;
  page.touchPoints = function () {
    return coarsePointer || touched ? Math.max(1, navigator.maxTouchPoints || 0) : 0;
  };
  const fullScreen = {button: document.getElementById('qb-full'), offered: false, shownMs: 10000};
  function offerFullScreen() {
    const button = fullScreen.button;
    if (fullScreen.offered || !button || !document.fullscreenEnabled || document.fullscreenElement) return;
    fullScreen.offered = true;
    button.hidden = false;
    setTimeout(function () { button.hidden = true; }, fullScreen.shownMs);
    // Both in the tap on the offer: a browser allows neither without a gesture.
    button.addEventListener('click', function () {
      button.hidden = true;
      document.documentElement.requestFullscreen({navigationUI: 'hide'}).then(function () {
        if (screen.orientation && screen.orientation.lock) return screen.orientation.lock('landscape');
      }).catch(function () {});  // an offer declined or a browser that cannot: the page stays as it is
    });
  }

  // A tap is a left click; a press held 500 ms a right click (faces on a phone).
  const longPressMs = 500;
  let touch = null;
  canvas.addEventListener('touchstart', function (e) {
    touched = true;
    e.preventDefault();
    if (touch || e.changedTouches.length === 0) return;
    const t = e.changedTouches[0];
    const p = picturePoint(t.clientX, t.clientY);
    touch = {id: t.identifier, point: p, timer: 0};
    mouse(p[0], p[1], -1, false);
    touch.timer = setTimeout(function () {
      if (!touch) return;
      press(touch.point, 1);
      touch.longPressed = true;
    }, longPressMs);
  }, {passive: false});
  canvas.addEventListener('touchmove', function (e) {
    e.preventDefault();
    if (!touch) return;
    for (const t of e.changedTouches) {
      if (t.identifier !== touch.id) continue;
      touch.point = picturePoint(t.clientX, t.clientY);
      mouse(touch.point[0], touch.point[1], -1, false);
    }
  }, {passive: false});
  function touchEnded(e) {
    e.preventDefault();
    if (!touch) return;
    for (const t of e.changedTouches) {
      if (t.identifier !== touch.id) continue;
      clearTimeout(touch.timer);
      if (!touch.longPressed && e.type === 'touchend') press(touch.point, 0);
      touch = null;
      if (e.type === 'touchend') offerFullScreen();
    }
  }
  canvas.addEventListener('touchend', touchEnded, {passive: false});
  canvas.addEventListener('touchcancel', touchEnded, {passive: false});

  // --- keys: each as its KeyboardEvent names it (its place, and what the
  // layout makes of it); the program decides which of its keys it is
  // (page_input.cpp). A key goes up as the key it went down as, whatever
  // the layout or Shift did in between.
  const keysDown = new Map();  // code -> the label it went down with
  function sendKey(code, label, down) {
    if (!Module._qb_web_key) return false;
    stringToUTF8(code, Module._qb_web_key_code(), 32);
    stringToUTF8(label, Module._qb_web_key_label(), 32);
    return Module._qb_web_key(down ? 1 : 0) !== 0;
  }
  function tapKey(code) {
    sendKey(code, code, true);
    sendKey(code, code, false);
  }

  // --- typing: while the program wants text (SetTextInput) a text field,
  // there but unseen, has the focus, so that a phone shows its keyboard and
  // layouts, dead keys, input methods and autocorrect work as in any page.
  // The field keeps what was typed into it lately, which an input method or
  // autocorrect may rewrite; each change is told to the program as the
  // Backspaces and text that make the same change at the end of its own box
  // (the program's caret stays at the end). It is emptied once it holds more
  // than a word or two, and whenever the typing may have moved to another box.
  const field = document.createElement('input');
  field.id = 'qb-text';
  field.type = 'text';
  field.setAttribute('autocomplete', 'off');
  field.setAttribute('enterkeyhint', 'next');
  field.setAttribute('aria-hidden', 'true');
  field.tabIndex = -1;
  // 16px keeps phones from zooming into it; it takes no taps and shows nothing.
  field.style.cssText = 'position: fixed; left: 0; top: 0; width: 1px; height: 1px; margin: 0; padding: 0; ' +
                        'border: 0; opacity: 0; font-size: 16px; color: transparent; caret-color: transparent; ' +
                        'background: transparent; pointer-events: none;';
  document.body.appendChild(field);
  const typing = {on: false, shown: '', composing: false};
  const fieldKept = 40;  // UTF-16 units the field may hold before it is emptied
  const textChunk = 200;  // characters handed over at a time (at most 800 bytes)
  page.typing = typing;

  function clearField() {
    field.value = '';
    typing.shown = '';
  }
  function focusField() {
    clearField();
    field.focus({preventScroll: true});
  }
  page.textInput = function (on) {
    typing.on = on;
    clearField();
    if (on) focusField();
    else if (document.activeElement === field) field.blur();
  };
  function sendText(text) {
    if (!text || !Module._qb_web_text) return;
    // Lone surrogates (half a character) are no text.
    const characters = Array.from(text.replace(/[\uD800-\uDFFF]/gu, '\uFFFD'));
    for (let at = 0; at < characters.length; at += textChunk) {
      stringToUTF8(characters.slice(at, at + textChunk).join(''), Module._qb_web_text_buffer(),
                   Module._qb_web_text_capacity());
      Module._qb_web_text();
    }
  }
  function fieldChanged() {
    const now = field.value, before = typing.shown;
    let same = 0;
    while (same < now.length && same < before.length && now.charCodeAt(same) === before.charCodeAt(same)) ++same;
    // Never half a character: a pair that differs in its second half differs whole.
    if (same > 0 && /[\uD800-\uDBFF]/.test(now[same - 1])) --same;
    const removed = Array.from(before.slice(same)).length;
    for (let i = 0; i < removed; ++i) tapKey('Backspace');
    sendText(now.slice(same));
    typing.shown = now;
    if (!typing.composing && now.length > fieldKept) clearField();
  }
  field.addEventListener('compositionstart', function () { typing.composing = true; });
  field.addEventListener('compositionend', function () {
    typing.composing = false;
    fieldChanged();
  });
  field.addEventListener('input', function (e) {
    typing.composing = !!e.isComposing;
    fieldChanged();
  });
  // A tap or click while the program wants text gives the field the focus
  // (on a phone only a gesture opens the keyboard: taken away and given
  // again, the focus opens it also after the player closed it). The tap may
  // have put the typing into another box.
  window.addEventListener('touchend', function () {
    if (!typing.on) return;
    if (document.activeElement === field) field.blur();
    focusField();
  }, true);
  window.addEventListener('mousedown', function (e) {
    if (!typing.on) return;
    focusField();
    e.preventDefault();  // a click beside the field would take its focus away again
  }, true);

  // The keys that leave the box or move within it: what the field knew of
  // the box no longer holds.
  const movingKeys = new Set(['Tab', 'Enter', 'NumpadEnter', 'Escape', 'ArrowUp', 'ArrowDown', 'ArrowLeft',
                              'ArrowRight', 'Home', 'End', 'PageUp', 'PageDown']);
  function key(e, down) {
    // The character of a key pressed while the field had lost the focus goes to it all the same.
    if (down && typing.on && document.activeElement !== field) focusField();
    // Shortcuts (Ctrl, Alt, Meta: reload, back, zoom, a new window) are the
    // browser's, never the program's keys; AltGr, which Windows reports as
    // Ctrl+Alt, types. What Alt types on a Mac still reaches the field.
    const shortcut = (e.ctrlKey || e.altKey || e.metaKey) && !e.getModifierState('AltGraph');
    if (down && shortcut) return;
    const inField = document.activeElement === field;
    // While an input method composes, its keys are its own (an Enter that
    // picks a word is no Enter of the program's); the field tells the result.
    if (down && inField && (e.isComposing || e.keyCode === 229)) return;
    // A character typed into the field is its text; the key goes too, as
    // the window's keys do, but the browser must let the field have it.
    const typesText = inField && (Array.from(e.key || '').length === 1 || e.key === 'Dead');
    if (down && inField && e.key === 'Backspace' && field.value !== '') {
      // The field takes it back, and its change sends the Backspace: once.
      return;
    }
    if (!down && !keysDown.has(e.code)) return;
    if (down && e.repeat) {
      if (!typesText) e.preventDefault();
      return;
    }
    const label = down ? e.key : keysDown.get(e.code);
    const known = sendKey(e.code, label, down);
    if (down && known) keysDown.set(e.code, e.key);
    if (!down) keysDown.delete(e.code);
    if (down && inField && movingKeys.has(e.code)) clearField();
    if (known && !typesText) e.preventDefault();
  }
  window.addEventListener('keydown', function (e) { key(e, true); });
  window.addEventListener('keyup', function (e) { key(e, false); });
  // A key held while the page lost the focus is let go.
  window.addEventListener('blur', function () {
    keysDown.forEach(function (label, code) { sendKey(code, label, false); });
    keysDown.clear();
  });
  document.addEventListener('visibilitychange', function () {
    if (Module._qb_web_focus) Module._qb_web_focus(document.hidden ? 0 : 1);
  });

  // --- the test hook: the state as the script's "dump" command writes it
  // (empty until the program runs: before, the module's functions throw).
  window.qbDump = function () {
    try {
      return Module._qb_web_state_text ? UTF8ToString(Module._qb_web_state_text()) : '';
    } catch (e) {
      return '';
    }
  };
  window.qbPage = page;

  // --- loading: the page's own title, picture and bar show until the
  // program's first frame. The bar follows the package's download (most of
  // the bytes), then the module's remaining steps (compiling, the files).
  const loading = {box: document.getElementById('qb-loading'), bar: document.getElementById('qb-progress'),
                   downloaded: 0, steps: 0, stepsLeft: 0};
  function showProgress() {
    const steps = loading.steps ? (loading.steps - loading.stepsLeft) / loading.steps : 0;
    if (loading.bar) loading.bar.value = Math.max(loading.bar.value, 0.8 * loading.downloaded + 0.2 * steps);
  }
  const programShown = page.afterFirstFrame;
  page.afterFirstFrame = function () {
    if (loading.box) loading.box.remove();
    programShown();
    // The app's worker keeps the build for offline play; it is fetched once
    // the program shows, so that it takes nothing from the loading.
    if ('serviceWorker' in navigator && location.protocol !== 'file:') {
      navigator.serviceWorker.register(settings.root + 'sw.js').catch(function (error) {
        console.warn('the app\'s offline copy could not be set up', error);
      });
    }
  };

  // --- the picture's size: as large as the page allows, its shape kept.
  // At a whole number of device pixels per picture pixel the picture is not
  // smoothed (text stays sharp on phones' 2x and 3x screens); that size is
  // taken when it is at most a little smaller than the largest.
  const crispEnough = 0.85;
  function fitPicture() {
    const ratio = window.devicePixelRatio || 1;
    const width = document.documentElement.clientWidth, height = document.documentElement.clientHeight;
    const largest = Math.min(width * ratio / canvas.width, height * ratio / canvas.height);
    const whole = Math.floor(largest);
    const style = canvas.style;
    if (whole >= 1 && whole / largest >= crispEnough) {
      // Placed on whole device pixels too, or each pixel would straddle two.
      const w = canvas.width * whole, h = canvas.height * whole;
      style.width = w / ratio + 'px';
      style.height = h / ratio + 'px';
      style.left = Math.floor((width * ratio - w) / 2) / ratio + 'px';
      style.top = Math.floor((height * ratio - h) / 2) / ratio + 'px';
      style.transform = 'none';
      style.imageRendering = 'pixelated';
    } else {
      ['width', 'height', 'left', 'top', 'transform', 'imageRendering'].forEach(function (p) { style[p] = ''; });
    }
  }
  fitPicture();
  window.addEventListener('resize', fitPicture);

  // --- the module
  const programPath = settings.folder + '/' + settings.name;
  window.Module = {
    canvas: canvas,
    qbPage: page,
    thisProgram: programPath,
    arguments: query.has('arg') ? [query.get('arg')] : settings.args,
    // The build's files by their versioned addresses, which caches keep for good.
    locateFile: function (path, prefix) {
      const version = (settings.versions || {})[path];
      return prefix + path + (version ? '?v=' + version : '');
    },
    setStatus: function (text) {
      const got = /\((\d+(?:\.\d+)?)\/(\d+)\)/.exec(text || '');
      if (got && Number(got[2]) > 0) loading.downloaded = Math.min(Number(got[1]) / Number(got[2]), 1);
      showProgress();
    },
    monitorRunDependencies: function (left) {
      loading.steps = Math.max(loading.steps, left);
      loading.stepsLeft = left;
      showProgress();
    },
    print: function (text) { console.log(text); },
    printErr: function (text) {
      console.warn(text);
      // The program ends at once on a replay it cannot read, saying why.
      if (watched && text.indexOf('QB_REPLAY=') >= 0) showMessage('This replay cannot be watched: ' + text);
    },
    preRun: [function () {
      ENV.QB_VIDEO = 'web';
      ENV.QB_AUDIO = 'web';
      ENV.QB_CLOCK = 'web';
      ENV.HOME = userFolder;
      ENV.XDG_DATA_HOME = userFolder + '/data';
      ENV.XDG_CONFIG_HOME = userFolder + '/config';
      pageSettings.forEach(function (name) {
        if (query.has(name)) ENV[name] = query.get(name);
      });
      if (watched) {
        ENV.QB_REPLAY = watched.path;
        addRunDependency('qb-replay');
        watched.text.then(function (text) {
          FS.writeFile(watched.path, text);
          removeRunDependency('qb-replay');
        }, function (error) {
          showMessage('The replay could not be fetched: ' + error.message + '.');
        });
      }
      FS.mkdir(userFolder);
      FS.mount(IDBFS, {}, userFolder);
      addRunDependency('qb-user-files');
      files.quiet++;
      FS.syncfs(true, function (error) {
        if (error) console.warn('reading the player\'s files failed', error);
        files.quiet--;
        files.ready = true;
        removeRunDependency('qb-user-files');
      });
      // Every change to the player's files goes to the store (see "the player's files").
      function watch(name, paths) {
        const call = FS[name];
        FS[name] = function () {
          const result = call.apply(FS, arguments);
          paths(arguments).forEach(changed);
          return result;
        };
      }
      watch('rename', function (a) {
        // A folder's files move with it.
        const moved = [String(a[0]), String(a[1])];
        if (inUserFolder(a[1]) && FS.isDir(FS.stat(a[1]).mode)) {
          (function walk(dir) {
            FS.readdir(dir).forEach(function (name) {
              if (name === '.' || name === '..') return;
              moved.push(dir + '/' + name);
              if (FS.isDir(FS.stat(dir + '/' + name).mode)) walk(dir + '/' + name);
            });
          })(String(a[1]));
        }
        return moved;
      });
      watch('unlink', function (a) { return [String(a[0])]; });
      watch('rmdir', function (a) { return [String(a[0])]; });
      watch('mkdir', function (a) { return [String(a[0])]; });
      // A file written in place: whatever was open for writing.
      watch('close', function (a) { return a[0] && a[0].path && (a[0].flags & 3) ? [a[0].path] : []; });
    }],
    onRuntimeInitialized: function () {
      // The tree as the programs expect it: each program's file in its folder
      // (the launcher finds the games by them, the layer the launcher's
      // directory), the program's own file behind /proc/self/exe, and the
      // tree read-only, so what the programs write goes to the player's files.
      settings.programs.forEach(function (path) {
        if (!FS.analyzePath(path).exists) FS.writeFile(path, '', {mode: 0o755});
      });
      FS.symlink(programPath, '/proc/self/exe');
      (function lock(path) {
        const node = FS.stat(path);
        if (FS.isDir(node.mode)) {
          FS.readdir(path).forEach(function (name) {
            if (name !== '.' && name !== '..') lock(path + '/' + name);
          });
          FS.chmod(path, 0o555);
        } else {
          FS.chmod(path, node.mode & 0o555);
        }
      })(settings.tree);
      FS.chdir(settings.folder);
    },
    // main() has returned, or waits on the page's clock (Asyncify) and
    // returns, or calls exit(), later.
    postRun: [function () {
      if (!Asyncify.currData) {
        programEnded();
        return;
      }
      Asyncify.whenDone().then(programEnded, function (error) {
        if (error && error.name === 'ExitStatus') programEnded();
        else showMessage('The program stopped: ' + error);
      });
    }],
  };
  const script = document.createElement('script');
  script.src = settings.script;
  document.body.appendChild(script);
})();
