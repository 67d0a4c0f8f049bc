// The player page: fetches the entry's replay, re-simulates it with the game's own simulation
// (nimbulon-web.wasm) and shows every frame on the canvas at 60 frames a second, times the speed.
//
// For the exactness test, ?test=1&at=N,N,N runs the play at full speed to its end, keeps the
// play's event lines, the canvas pictures after the given steps and the loudest sample of the
// effects, and writes them as JSON
// into #test-result (the page title becomes "done" or "failed").
'use strict';

const WIDTH = 480, HEIGHT = 600;
// The mixer's rate and what one frame of play sounds for.
const RATE = 44100, SOUND_PER_FRAME = RATE / 60, MAX_SOUND = RATE;

// The simulation module with the page's calls over it.
class Simulation {
  constructor(module) {
    this.m = module;
  }

  // 0 ready; 1 not a replay file; 2 made for another version of its mode.
  load(bytes, keepEvents) {
    const ptr = this.m._malloc(Math.max(1, bytes.length));
    this.m.HEAPU8.set(bytes, ptr);
    const rc = this.m._nw_load(ptr, bytes.length, keepEvents ? 1 : 0);
    this.m._free(ptr);
    return rc;
  }

  // Runs up to n frames; true once the play has ended.
  step(n) { return this.m._nw_step(n) === 1; }

  result() {
    const p = this.m._nw_result() >> 2;
    const v = this.m.HEAP32.subarray(p, p + 5);
    return { ended: v[0] === 1, score: v[1], stage: v[2], lives: v[3], frames: v[4] };
  }

  // Copies the last frame's playfield into an ImageData.
  picture(image) {
    const p = this.m._nw_pixels();
    image.data.set(this.m.HEAPU8.subarray(p, p + WIDTH * HEIGHT * 4));
  }

  // The effects of the last n frames: calls back with each piece as interleaved 16-bit stereo.
  drainSound(n, use) {
    for (let left = n * SOUND_PER_FRAME; left > 0;) {
      const k = Math.min(left, MAX_SOUND);
      const p = this.m._nw_sound(k) >> 1;
      if (use) use(this.m.HEAP16.subarray(p, p + 2 * k), k);
      left -= k;
    }
  }

  // Event lines since the last call.
  takeEvents() {
    const text = this.m.UTF8ToString(this.m._nw_events());
    this.m._nw_clear_events();
    return text;
  }
}

const $ = (id) => document.getElementById(id);

// The build's files are cached for a year under their version (see the server's WatchPage).
function startModule() {
  const meta = document.querySelector('meta[name="nimbulon-version"]');
  const version = meta ? meta.content : '';
  return NimbulonWeb({ locateFile: (file) => file + (version ? '?v=' + version : '') });
}

// The play's figures as the game shows them: the score as its item counter "x%04d".
function showFigures(r, steps) {
  $('score').textContent = 'x' + String(r.score).padStart(4, '0');
  $('lives').textContent = String(r.lives);
  $('stage-number').textContent = String(r.stage);
  $('frame').textContent = String(steps);
}

function say(text, isError) {
  $('message').textContent = text;
  $('message').className = isError ? 'error' : '';
}

function sayResult(r) {
  say('Final result: score ' + r.score + ', stage ' + r.stage + ', lives ' + r.lives + '.');
}

const LOAD_ERRORS = {
  1: 'This entry is not a replay file.',
  2: 'This replay was made for another version of the game.',
};

async function fetchReplay(id) {
  const reply = await fetch('/replay?id=' + id, { cache: 'no-store' });
  if (reply.status === 404) throw new Error('There is no entry ' + id + '.');
  if (!reply.ok) throw new Error('The replay could not be fetched (HTTP ' + reply.status + ').');
  return new Uint8Array(await reply.arrayBuffer());
}

// Web Audio for the effects, once the viewer switches them on (browsers start sound only on a
// click): each frame's sound is queued right after the last.
class EffectsOut {
  constructor() {
    this.ctx = null;
    this.on = false;
    this.at = 0;
  }

  toggle() {
    if (!this.ctx) this.ctx = new AudioContext({ sampleRate: RATE });
    this.on = !this.on;
    if (this.on) this.ctx.resume();
    return this.on;
  }

  play(samples, frames) {
    const buffer = this.ctx.createBuffer(2, frames, RATE);
    const l = buffer.getChannelData(0), r = buffer.getChannelData(1);
    for (let i = 0; i < frames; ++i) {
      l[i] = samples[2 * i] / 32768;
      r[i] = samples[2 * i + 1] / 32768;
    }
    const source = this.ctx.createBufferSource();
    source.buffer = buffer;
    source.connect(this.ctx.destination);
    // A little ahead of the clock; after a stall, start again from now.
    this.at = Math.max(this.at, this.ctx.currentTime + 0.05);
    if (this.at > this.ctx.currentTime + 0.25) this.at = this.ctx.currentTime + 0.05;
    source.start(this.at);
    this.at += frames / RATE;
  }
}

// What the ranking says of the play (its JSON): who, the mode, the comment and the ranked result.
async function fetchEntry(id) {
  try {
    const reply = await fetch('/api/play/' + id);
    return reply.ok ? await reply.json() : null;
  } catch (e) {
    return null;
  }
}

const MODE_TITLES = { 2: '1st lap [old]', 3: '2nd lap [old]', 4: '1st lap', 5: '2nd lap' };

function showEntry(entry) {
  if (!entry) return;
  const who = $('who');
  who.textContent = '';
  const name = document.createElement('strong');
  name.textContent = entry.username;
  name.dir = 'auto';
  who.append(name, ', ' + (MODE_TITLES[entry.mode] || 'mode ' + entry.mode) + ', ranked score ' + entry.score +
    (entry.rank ? ' (rank ' + entry.rank + ')' : entry.superseded_by ? ' (superseded by #' + entry.superseded_by + ')' : ''));
  if (entry.comment) {
    const comment = document.createElement('q');
    comment.textContent = entry.comment;
    comment.dir = 'auto';
    who.append(' ', comment);
  }
}

// The seek bar's marks: where each stage ends, as the ranking's chart says.
function showMarks(entry, frames) {
  const marks = $('marks');
  marks.textContent = '';
  if (!entry || !entry.chart || !frames) return;
  entry.chart.stages.slice(0, -1).forEach((s) => {
    const mark = document.createElement('span');
    mark.style.left = (100 * s.end_frame / frames) + '%';
    mark.textContent = String(s.stage + 1);
    mark.title = 'stage ' + (s.stage + 1);
    marks.append(mark);
  });
}

// The page's own result beside the ranked one, marked when they agree.
function sayEnd(r, entry) {
  if (!entry) return sayResult(r);
  const agree = r.score === entry.score && r.stage === entry.stage;
  say('Final result here: score ' + r.score + ', stage ' + r.stage + ', lives ' + r.lives + '. Ranked: score ' +
    entry.score + ', stage ' + entry.stage + (agree ? '. \u2713 They agree.' : '. \u2717 They differ.'), !agree);
  if (agree) $('message').className = 'agree';
}

// Watching: 60 steps a second times the speed, drawn once per display frame. Seeking plays the
// replay again from its start at full speed, without sound, to the frame asked for.
function watch(sim, bytes, context, image, entry) {
  let speed = 1, paused = false, ended = false, steps = 0, owed = 0, last = null;
  const frames = entry ? entry.frames : 0;
  const position = $('position');
  position.max = String(frames);
  showMarks(entry, frames);
  const effects = new EffectsOut();
  const soundButton = $('sound');
  soundButton.addEventListener('click', () => {
    const on = effects.toggle();
    soundButton.textContent = on ? 'Effects on' : 'Effects off';
    soundButton.setAttribute('aria-pressed', String(on));
  });
  const pauseButton = $('pause');
  const draw = () => {
    sim.picture(image);
    context.putImageData(image, 0, 0);
    const r = sim.result();
    showFigures(r, steps);
    position.value = String(steps);
    if (ended) {
      sayEnd(r, entry);
      pauseButton.disabled = true;
    }
  };
  const togglePause = () => {
    if (ended) return;
    paused = !paused;
    pauseButton.textContent = paused ? 'Play' : 'Pause';
    last = null;
  };
  const setSpeed = (value) => {
    speed = value;
    for (const b of document.querySelectorAll('button.speed')) b.setAttribute('aria-pressed', String(Number(b.dataset.speed) === value));
  };
  const seek = (frame) => {
    const target = Math.max(0, Math.min(frame, frames || frame));
    if (target < steps || ended) {
      sim.load(bytes, false);
      steps = 0;
      ended = false;
      pauseButton.disabled = false;
    }
    for (; steps < target && !ended; ++steps) ended = sim.step(1);
    sim.drainSound(0, null);
    owed = 0;
    last = null;
    if (!ended) say(paused ? 'Paused.' : 'Playing.');
    draw();
  };
  pauseButton.addEventListener('click', togglePause);
  for (const button of document.querySelectorAll('button.speed'))
    button.addEventListener('click', () => setSpeed(Number(button.dataset.speed)));
  $('restart').addEventListener('click', () => { seek(0); if (!paused) requestAnimationFrame(tick); });
  $('full').addEventListener('click', () => {
    const view = $('view');
    if (document.fullscreenElement) document.exitFullscreen();
    else if (view.requestFullscreen) view.requestFullscreen();
  });
  position.addEventListener('input', () => { const was = ended; seek(Number(position.value)); if (was && !ended) requestAnimationFrame(tick); });
  document.addEventListener('keydown', (e) => {
    if (e.target && e.target.tagName === 'INPUT' && e.key !== ' ') return;
    const was = ended;
    if (e.key === ' ') togglePause();
    else if (['1', '2', '4', '8'].includes(e.key)) setSpeed(Number(e.key));
    else if (e.key === 'ArrowLeft') seek(steps - 600);
    else if (e.key === 'ArrowRight') seek(steps + 600);
    else if (e.key === 'r' || e.key === 'R') seek(0);
    else return;
    e.preventDefault();
    if (was && !ended) requestAnimationFrame(tick);
  });
  say('Playing.');
  const tick = (now) => {
    if (!paused && !ended) {
      if (last !== null) owed += Math.min(now - last, 250) * 60 * speed / 1000;
      last = now;
      const n = Math.floor(owed);
      if (n > 0) {
        owed -= n;
        let ran = 0;
        for (; ran < n && !ended; ++ran, ++steps) ended = sim.step(1);
        // Sped up, the effects would only clatter: they are heard at normal speed.
        sim.drainSound(ran, effects.on && speed === 1 ? (s, k) => effects.play(s, k) : null);
        draw();
      }
    }
    if (!ended) requestAnimationFrame(tick);
  };
  requestAnimationFrame(tick);
}

// The test run: full speed to the end, the pictures after the chosen steps, every event line.
async function testRun(sim, context, image, wanted) {
  const out = { pictures: {}, events: '', soundPeak: 0 };
  let steps = 0, ended = false;
  const targets = [...wanted].sort((a, b) => a - b);
  while (!ended) {
    const next = targets.find((t) => t > steps);
    const n = next === undefined ? 600 : Math.min(600, next - steps);
    let ran = 0;
    for (; ran < n && !ended; ++ran, ++steps) ended = sim.step(1);
    sim.drainSound(ran, (samples) => {
      for (const v of samples) if (Math.abs(v) > out.soundPeak) out.soundPeak = Math.abs(v);
    });
    if (wanted.has(steps)) {
      sim.picture(image);
      context.putImageData(image, 0, 0);
      // What the canvas holds, read back, not what was put into it.
      const shown = context.getImageData(0, 0, WIDTH, HEIGHT).data;
      let bin = '';
      for (let i = 0; i < shown.length; i += 0x8000) bin += String.fromCharCode.apply(null, shown.subarray(i, i + 0x8000));
      out.pictures[steps] = btoa(bin);
    }
    out.events += sim.takeEvents();
    await new Promise((resolve) => setTimeout(resolve, 0));
  }
  const r = sim.result();
  showFigures(r, steps);
  out.result = r;
  out.steps = steps;
  return out;
}

async function main() {
  const match = /^\/watch\/([0-9]{1,18})$/.exec(location.pathname);
  const params = new URLSearchParams(location.search);
  const testing = params.get('test') === '1';
  try {
    if (!match) throw new Error('No entry was given.');
    const id = match[1];
    $('entry').textContent = '#' + id;
    $('back').href = '/play/' + id;
    const [module, bytes, entry] = await Promise.all([startModule(), fetchReplay(id), testing ? null : fetchEntry(id)]);
    showEntry(entry);
    const sim = new Simulation(module);
    const rc = sim.load(bytes, testing);
    if (rc !== 0) throw new Error(LOAD_ERRORS[rc] || 'The replay could not be read.');
    const context = $('screen').getContext('2d', { alpha: false });
    const image = context.createImageData(WIDTH, HEIGHT);
    if (!testing) return watch(sim, bytes, context, image, entry);
    const wanted = new Set((params.get('at') || '').split(',').filter((s) => /^[0-9]+$/.test(s)).map(Number));
    say('Playing at full speed for the test.');
    const out = await testRun(sim, context, image, wanted);
    sayResult(out.result);
    $('test-result').textContent = JSON.stringify(out);
    document.title = 'done';
  } catch (e) {
    say(e.message || String(e), true);
    if (testing) {
      $('test-result').textContent = JSON.stringify({ error: e.message || String(e) });
      document.title = 'failed';
    }
  }
}

main();
