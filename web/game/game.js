// The page around the game: the game itself (nimbulon-game.js, the native game's sources over the
// browser's backend in src/platform/web) calls Module.page for everything that touches the page:
// the canvas, keys and pads, the form's typed text, Web Audio for its mixer and the rendered
// songs, message boxes, the fonts of its words. The page also fits the picture to the window,
// goes full screen, and exports and imports the save folder.
'use strict';
(() => {
  const params = new URLSearchParams(location.search);
  const asked = params.get('lang');
  const language = asked === 'en' || asked === 'ja' ? asked : '';
  const japanese = language ? language === 'ja' : (navigator.language || '').toLowerCase().startsWith('ja');
  const ranked = document.querySelector('meta[name="nimbulon-ranking"]').content === 'same-origin';
  const version = document.querySelector('meta[name="nimbulon-version"]').content;
  const stage = document.getElementById('stage');
  const canvas = document.getElementById('screen');
  const screen = canvas.getContext('2d', { alpha: false });
  const ime = document.getElementById('ime');
  const statusLine = document.getElementById('status');
  let game = null;

  // The page's own words in the player's language.
  document.documentElement.lang = japanese ? 'ja' : 'en';
  for (const e of document.querySelectorAll('[data-en]')) e.textContent = e.dataset[japanese ? 'ja' : 'en'];
  const say = (en, ja) => { statusLine.textContent = japanese ? ja : en; };

  // ---- the picture: 800 x 600, fitted into the window and letterboxed; whole multiples when
  // enlarging (sharp), the whole window when a whole multiple would waste too much of it.
  function fit() {
    const w = stage.clientWidth, h = stage.clientHeight;
    let scale = Math.min(w / 800, h / 600);
    if (scale >= 1 && Math.floor(scale) / scale >= 0.8) scale = Math.floor(scale);
    const whole = Number.isInteger(scale);
    canvas.style.width = Math.floor(800 * scale) + 'px';
    canvas.style.height = Math.floor(600 * scale) + 'px';
    canvas.classList.toggle('sharp', whole);
    page.scale = scale;
  }
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else stage.requestFullscreen().catch(() => {});
  }
  document.getElementById('full').addEventListener('click', () => { toggleFullScreen(); canvas.focus(); });

  // A point of the window in the 800 x 600 picture.
  function toPicture(clientX, clientY) {
    const r = canvas.getBoundingClientRect();
    return { x: Math.floor((clientX - r.left) * 800 / r.width), y: Math.floor((clientY - r.top) * 600 / r.height) };
  }

  // ---- sound: one AudioContext at the mixer's rate; browsers start it on a key or click.
  const audio = new AudioContext({ sampleRate: 44100 });
  const effectsGain = audio.createGain();
  const musicGain = audio.createGain();
  effectsGain.connect(audio.destination);
  musicGain.connect(audio.destination);
  const kLead = 0.06;  // seconds of sound queued ahead of the audio clock
  let audioNext = 0, lastNeed = performance.now();
  function startAudio() {
    if (audio.state !== 'running') audio.resume();
  }
  // The note stays until the sound runs: from the first key or click, or at once where the
  // browser lets a page sound unasked (Firefox where the player allows it, for one).
  function soundRuns() {
    if (audio.state !== 'running') return;
    document.getElementById('sound-note').hidden = true;
    startMusic();
  }
  audio.addEventListener('statechange', soundRuns);

  // ---- keys: the game's codes bound to the DOM's codes as it asks for them.
  const keyState = new Uint8Array(512);
  const codeOf = new Map();
  const kFormKeys = { Tab: 0, Enter: 1, NumpadEnter: 1, Escape: 2, Backspace: 3, Delete: 4, ArrowLeft: 5, ArrowRight: 6,
                      Home: 7, End: 8, ArrowUp: 9, ArrowDown: 10, Space: 11 };
  const formEvents = [];
  let formOpen = false;
  const windowEvents = [];
  window.addEventListener('keydown', e => {
    startAudio();
    if (e.code === 'F11') { e.preventDefault(); toggleFullScreen(); return; }
    if (box.open) { boxKey(e); return; }
    const code = codeOf.get(e.code);
    if (code !== undefined) keyState[code] = 1;
    if (formOpen) {
      const key = kFormKeys[e.code];
      if (key !== undefined || code !== undefined) {
        // 12: another key, known to the form by its code (a box answers to the fire button).
        formEvents.push({ kind: 3, key: key === undefined ? 12 : key, code, shift: e.shiftKey });
        // Space and the letters also type themselves, as the system's text input does.
        if (key !== undefined && e.code !== 'Space') e.preventDefault();
      }
      return;
    }
    // The game's keys do not scroll the page or move the focus.
    if (code !== undefined || e.code === 'Tab') e.preventDefault();
  });
  window.addEventListener('keyup', e => {
    const code = codeOf.get(e.code);
    if (code !== undefined) keyState[code] = 0;
  });
  window.addEventListener('blur', () => { keyState.fill(0); windowEvents.push(2); });
  window.addEventListener('focus', () => windowEvents.push(1));
  canvas.addEventListener('pointerdown', e => {
    startAudio();
    canvas.focus();
    if (formOpen) formEvents.push(Object.assign({ kind: 4 }, toPicture(e.clientX, e.clientY)));
  });
  canvas.addEventListener('pointerup', e => { if (formOpen) formEvents.push(Object.assign({ kind: 5 }, toPicture(e.clientX, e.clientY))); });
  canvas.addEventListener('pointermove', e => { if (formOpen) formEvents.push(Object.assign({ kind: 6 }, toPicture(e.clientX, e.clientY))); });

  // Typed text through the hidden field, so that an input method can compose in it.
  ime.addEventListener('compositionupdate', e => formEvents.push({ kind: 2, text: e.data || '' }));
  ime.addEventListener('compositionend', e => {
    formEvents.push({ kind: 2, text: '' });
    if (ime.value) formEvents.push({ kind: 1, text: ime.value });
    ime.value = '';
  });
  ime.addEventListener('input', e => {
    if (e.isComposing || !ime.value) return;
    if (formOpen) formEvents.push({ kind: 1, text: ime.value });
    ime.value = '';
  });

  // A pad's buttons newly pressed while a form is open, as FormEvent::PadButton: south, east,
  // west, north, start, then the d-pad's up, down, left, right (the standard layout's 0, 1, 2, 3,
  // 9, 12, 13, 14, 15).
  const kPadButtons = [0, 1, 2, 3, 9, 12, 13, 14, 15];
  const padsDown = new Map();
  function padPresses() {
    for (const pad of navigator.getGamepads ? navigator.getGamepads() : []) {
      if (!pad || !pad.connected || pad.mapping !== 'standard') continue;
      const before = padsDown.get(pad.index) || [];
      const now = kPadButtons.map(i => !!(pad.buttons[i] && pad.buttons[i].pressed));
      now.forEach((down, button) => { if (down && !before[button] && formOpen) formEvents.push({ kind: 8, key: button }); });
      padsDown.set(pad.index, now);
    }
  }

  // ---- the songs, rendered at build time, each with its loop points.
  const songs = fetch('music/songs.json?v=' + version).then(r => r.ok ? r.json() : {}).catch(() => ({}));
  const decoded = new Map();  // name: Promise of an AudioBuffer
  const slots = [];
  let wantedSong = null, playingSong = null, musicSource = null;
  function decode(name) {
    if (!decoded.has(name)) {
      decoded.set(name, songs.then(list => {
        if (!list[name]) return null;
        return fetch('music/' + list[name].file + '?v=' + version).then(r => r.arrayBuffer())
          .then(bytes => audio.decodeAudioData(bytes)).then(buffer => ({ buffer, loop: list[name] }));
      }).catch(() => null));
    }
    return decoded.get(name);
  }
  function startMusic() {
    const name = wantedSong;
    // Fetched and decoded at once (before the sound may start), so that it starts with the sound.
    if (name) decode(name);
    if (!name || playingSong === name || audio.state !== 'running') return;
    decode(name).then(song => {
      if (!song || wantedSong !== name || playingSong === name || audio.state !== 'running') return;
      stopMusic();
      musicSource = audio.createBufferSource();
      musicSource.buffer = song.buffer;
      musicSource.loop = true;
      musicSource.loopStart = song.loop.loopStart;
      musicSource.loopEnd = song.loop.loopEnd;
      musicSource.connect(musicGain);
      musicSource.start();
      playingSong = name;
      console.log('nimbulon music: ' + name);
    });
  }
  function stopMusic() {
    if (musicSource) { musicSource.stop(); musicSource.disconnect(); }
    musicSource = null;
    playingSong = null;
  }

  // ---- the game's words in the browser's fonts.
  const words = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
  const kFont = "14px 'VL Gothic', 'VL PGothic', 'IPAGothic', 'Noto Sans CJK JP', sans-serif";
  const kLine = 17;
  // Lines of at most width pixels: broken at spaces, or between any two characters of a word that
  // alone is too wide (Japanese has no spaces to break at).
  function wrap(text, width) {
    const lines = [];
    words.font = kFont;
    for (const paragraph of text.split('\n')) {
      let line = '';
      for (const token of paragraph.match(/\s+|[\x21-\x7e]+|./gu) || ['']) {
        const tried = line + token;
        if (!line || words.measureText(tried.trimEnd()).width <= width) { line = tried; continue; }
        lines.push(line.trimEnd());
        line = token.trimStart();
      }
      // A line still too wide (one long word) is cut between characters.
      while (line.length > 1 && words.measureText(line).width > width) {
        let n = line.length - 1;
        while (n > 1 && words.measureText(line.slice(0, n)).width > width) n--;
        lines.push(line.slice(0, n));
        line = line.slice(n);
      }
      lines.push(line);
    }
    return lines;
  }

  // ---- message boxes over the canvas.
  const box = { open: false, answer: 0, buttons: [] };
  const boxLabels = japanese ? { 1: 'OK', 2: 'キャンセル', 6: 'はい', 7: 'いいえ' } : { 1: 'OK', 2: 'Cancel', 6: 'Yes', 7: 'No' };
  function boxKey(e) {
    e.preventDefault();
    if (e.code === 'Enter' || e.code === 'NumpadEnter' || e.code === 'Space') {
      const focused = box.buttons.indexOf(document.activeElement);
      closeBox(box.buttons[focused < 0 ? 0 : focused].dataset.answer);
    } else if (e.code === 'Escape') {
      closeBox(box.buttons[box.buttons.length - 1].dataset.answer);
    } else if (['ArrowLeft', 'ArrowRight', 'Tab'].includes(e.code)) {
      const i = box.buttons.indexOf(document.activeElement);
      box.buttons[(i + (e.code === 'ArrowLeft' ? box.buttons.length - 1 : 1)) % box.buttons.length].focus();
    }
  }
  function closeBox(answer) {
    document.getElementById('box').hidden = true;
    box.open = false;
    box.answer = Number(answer);
    canvas.focus();
  }

  // ---- the save folder as one tar file.
  function saveFiles(dir, out) {
    for (const name of game.FS.readdir(dir)) {
      if (name === '.' || name === '..') continue;
      const path = dir + '/' + name;
      if (game.FS.isDir(game.FS.stat(path).mode)) saveFiles(path, out);
      else out.push({ name: path.slice('/save/'.length), data: game.FS.readFile(path) });
    }
    return out;
  }
  function tar(files) {
    const blocks = [];
    const field = (header, at, length, text) => { for (let i = 0; i < Math.min(text.length, length); i++) header[at + i] = text.charCodeAt(i); };
    for (const f of files) {
      const header = new Uint8Array(512);
      field(header, 0, 100, f.name);
      field(header, 100, 8, '0000600');
      field(header, 108, 8, '0000000');
      field(header, 116, 8, '0000000');
      field(header, 124, 12, f.data.length.toString(8).padStart(11, '0'));
      field(header, 136, 12, Math.floor(Date.now() / 1000).toString(8).padStart(11, '0'));
      field(header, 148, 8, '        ');
      header[156] = 48;  // '0': a file
      field(header, 257, 6, 'ustar');
      field(header, 263, 2, '00');
      const sum = header.reduce((a, b) => a + b, 0);
      field(header, 148, 8, sum.toString(8).padStart(6, '0') + '\0 ');
      blocks.push(header, f.data, new Uint8Array((512 - f.data.length % 512) % 512));
    }
    blocks.push(new Uint8Array(1024));
    return new Blob(blocks, { type: 'application/x-tar' });
  }
  function untar(bytes) {
    const files = [];
    const text = (at, length) => String.fromCharCode(...bytes.subarray(at, at + length)).replace(/\0.*$/s, '');
    for (let at = 0; at + 512 <= bytes.length && bytes[at]; ) {
      const name = text(at, 100), size = parseInt(text(at + 124, 12).trim(), 8) || 0, type = bytes[at + 156];
      if ((type === 48 || type === 0) && /^[\w.-]+(\/[\w.-]+)*$/.test(name) && !name.split('/').includes('..'))
        files.push({ name, data: bytes.slice(at + 512, at + 512 + size) });
      at += 512 + Math.ceil(size / 512) * 512;
    }
    return files;
  }
  document.getElementById('export').addEventListener('click', () => {
    if (!game) return;
    const a = document.createElement('a');
    a.href = URL.createObjectURL(tar(saveFiles('/save', [])));
    a.download = 'nimbulon-saves.tar';
    a.click();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
  });
  document.getElementById('import').addEventListener('change', async e => {
    const file = e.target.files[0];
    if (!file || !game) return;
    const files = untar(new Uint8Array(await file.arrayBuffer()));
    for (const f of files) {
      const parts = f.name.split('/');
      for (let i = 1; i < parts.length; i++) { try { game.FS.mkdir('/save/' + parts.slice(0, i).join('/')); } catch (x) {} }
      game.FS.writeFile('/save/' + f.name, f.data);
    }
    // The game reads its saves when it starts: written back, then started again.
    game.FS.syncfs(false, () => location.reload());
  });

  // ---- what the game calls.
  const page = {
    scale: 1,
    frames: 0,          // pictures put on the canvas
    lastPicture: 0,     // performance.now() of the last
    keyState,
    language: () => language,
    server: () => ranked ? location.host : '',
    open() { say('', ''); },
    present(rgba, x, w) {
      screen.putImageData(new ImageData(new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, 800 * 600 * 4), 800, 600), 0, 0, x, 0, w, 600);
      page.frames++;
      page.lastPicture = performance.now();
      if (!page.firstPicture && x > 0) page.firstPicture = page.lastPicture;  // the game's first, not the panels
    },
    nextWindowEvent: () => windowEvents.shift() || 0,
    bindKey(code, dom) { codeOf.set(dom, code); },
    readPads(heap, at, max) {
      let n = 0;
      for (const pad of navigator.getGamepads ? navigator.getGamepads() : []) {
        if (!pad || !pad.connected || pad.mapping !== 'standard' || n >= max) continue;
        const b = i => (pad.buttons[i] && pad.buttons[i].pressed ? 1 : 0);
        const axis = i => Math.max(-32768, Math.min(32767, Math.round((pad.axes[i] || 0) * 32767)));
        heap.set([b(0), b(1), b(2), b(3), b(9), b(12), b(13), b(14), b(15), axis(0), axis(1)], at + n * 11);
        n++;
      }
      return n;
    },
    formBegin() {
      formOpen = true;
      formEvents.length = 0;
      ime.value = '';
      ime.focus();
    },
    formCaret(x, y, w, h) {
      const r = canvas.getBoundingClientRect(), s = stage.getBoundingClientRect();
      ime.style.left = (r.left - s.left + x * r.width / 800) + 'px';
      ime.style.top = (r.top - s.top + (y + h) * r.height / 600) + 'px';
    },
    formEnd() { formOpen = false; ime.blur(); canvas.focus(); },
    formNext() {
      padPresses();
      return formEvents.shift();
    },
    audioNeed() {
      const now = performance.now();
      const gone = Math.round((now - lastNeed) * 44.1);
      lastNeed = now;
      // Not started yet (no key or click so far): the mix goes on and is dropped.
      if (audio.state !== 'running') { page.dropping = true; return Math.min(gone, 8192); }
      page.dropping = false;
      if (audioNext < audio.currentTime + 0.005) { audioNext = audio.currentTime + 0.02; page.audioGaps++; }
      return Math.max(0, Math.min(8192, Math.round((audio.currentTime + kLead - audioNext) * 44100)));
    },
    audioQueue(pcm, frames) {
      if (page.dropping || frames <= 0) return;
      const buffer = audio.createBuffer(2, frames, 44100);
      const left = buffer.getChannelData(0), right = buffer.getChannelData(1);
      let peak = 0;
      for (let i = 0; i < frames; i++) {
        left[i] = pcm[2 * i] / 32768;
        right[i] = pcm[2 * i + 1] / 32768;
        peak = Math.max(peak, Math.abs(pcm[2 * i]));
      }
      page.soundPeak = Math.max(page.soundPeak, peak);
      const source = audio.createBufferSource();
      source.buffer = buffer;
      source.connect(effectsGain);
      source.start(audioNext);
      audioNext += frames / 44100;
    },
    audioGaps: 0,
    soundPeak: 0,
    // A song is fetched when it first plays: the first start fetches the title's alone.
    musicLoad(id, name) { slots[id] = name; },
    musicPlay(id) {
      wantedSong = slots[id] || null;
      if (playingSong !== wantedSong) stopMusic();
      // A song played again starts again from its beginning, as the game's player does.
      else if (wantedSong) { stopMusic(); }
      startMusic();
    },
    musicStop() { wantedSong = null; stopMusic(); },
    musicVolume(percent) { musicGain.gain.value = Math.max(0, Math.min(100, percent)) / 100; },
    playingSong: () => playingSong,
    text(text, width) {
      const lines = width > 0 ? wrap(text, width) : [text];
      words.font = kFont;
      const w = Math.ceil(Math.max(1, ...lines.map(l => words.measureText(l).width)));
      const h = lines.length * kLine;
      if (words.canvas.width < w || words.canvas.height < h) {
        words.canvas.width = Math.max(words.canvas.width, w);
        words.canvas.height = Math.max(words.canvas.height, h);
      }
      words.clearRect(0, 0, w, h);
      words.font = kFont;
      words.fillStyle = '#fff';
      words.textBaseline = 'top';
      lines.forEach((line, i) => words.fillText(line, 0, i * kLine + 1));
      const rgba = words.getImageData(0, 0, w, h).data;
      const alpha = new Uint8Array(w * h);
      for (let i = 0; i < alpha.length; i++) alpha[i] = rgba[4 * i + 3];
      return { w, h, alpha };
    },
    textWidth(text) { words.font = kFont; return Math.ceil(words.measureText(text).width); },
    messageBox(text, caption, buttons) {
      document.getElementById('box-caption').textContent = caption;
      document.getElementById('box-text').textContent = text;
      const row = document.getElementById('box-buttons');
      row.textContent = '';
      box.buttons = ([[1], [1, 2], [6, 7]][buttons] || [1]).map(answer => {
        const b = document.createElement('button');
        b.type = 'button';
        b.textContent = boxLabels[answer];
        b.dataset.answer = answer;
        b.addEventListener('click', () => closeBox(answer));
        row.appendChild(b);
        return b;
      });
      box.open = true;
      box.answer = 0;
      document.getElementById('box').hidden = false;
      box.buttons[0].focus();
      console.log('nimbulon box: ' + caption + ': ' + text.replace(/\n/g, ' '));
    },
    messageAnswer() {
      const a = box.answer;
      box.answer = 0;
      return a;
    },
    boxOpen: () => box.open,
    formOpen: () => formOpen,
    // The game's log, for the player and for tests.
    log: () => (game ? game.FS.readFile('/log/log.txt', { encoding: 'utf8' }) : ''),
    // The game's work between two of the browser's turns, the last 4096 (tools/bench reads them).
    workMs: [],
    work(ms) {
      if (page.workMs.length >= 4096) page.workMs.shift();
      page.workMs.push(ms);
    },
    saveFlushes: () => (game && game.nwSave ? game.nwSave.flushes : 0),
    saving: () => !!(game && game.nwSave && (game.nwSave.busy || game.nwSave.dirty)),
    readSave: path => game.FS.readFile(path),
  };
  window.nimbulon = page;

  // Touch alone cannot play: say so.
  if ((navigator.maxTouchPoints > 0 || 'ontouchstart' in window) && !matchMedia('(any-pointer: fine)').matches)
    document.getElementById('touch-note').hidden = false;

  soundRuns();
  fit();
  canvas.focus();
  const started = performance.now();
  NimbulonGame({
    page,
    locateFile: file => file + '?v=' + version,
    print: text => console.log(text),
    printErr: text => console.warn(text),
  }).then(instance => {
    game = instance;
    page.startedMs = performance.now() - started;
  }, error => say('The game could not start: ' + error, 'ゲームを開始できませんでした: ' + error));
})();
