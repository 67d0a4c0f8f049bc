// The player's benchmark (tools/bench/web_bench.sh opens it in headless Chromium): the replay
// given in the address's fragment (base64) is stepped frame by frame with drawing and its
// effects mixed, timed in blocks of 60 frames, three times over (each block's best time counts).
// Prints to the console and the page: the whole play's frames per second, the slowest stretch of
// 300 frames (the busiest, in a final boss play its great grid) and the cost of copying one
// frame to the canvas.
'use strict';

const BLOCK = 60, WINDOW_BLOCKS = 5, ROUNDS = 3;

function report(text) {
  document.getElementById('bench-result').textContent = text;
  console.log('BENCH ' + text);
}

async function bench() {
  const bin = atob(decodeURIComponent(location.hash.slice(1)));
  const bytes = Uint8Array.from(bin, (c) => c.charCodeAt(0));
  const m = await NimbulonWeb({ locateFile: (file) => file });
  const ptr = m._malloc(bytes.length);
  m.HEAPU8.set(bytes, ptr);

  // Each block's time is the least of several rounds: on a shared machine a block is slowed by
  // whatever else runs, never sped up.
  let blocks = null, frames = 0, total = Infinity;
  for (let round = 0; round < ROUNDS; ++round) {
    const rc = m._nw_load(ptr, bytes.length, 0);
    if (rc !== 0) throw new Error('the replay cannot be played (' + rc + ')');
    const times = [];
    let ended = false;
    frames = 0;
    const start = performance.now();
    while (!ended) {
      const t0 = performance.now();
      let n = 0;
      for (; n < BLOCK && !ended; ++n) {
        ended = m._nw_step(1) === 1;
        m._nw_sound(735);  // the effects are mixed as the page mixes them
      }
      times.push({ from: frames, frames: n, ms: performance.now() - t0 });
      frames += n;
    }
    total = Math.min(total, performance.now() - start);
    blocks = blocks ? blocks.map((b, i) => ({ ...b, ms: Math.min(b.ms, times[i].ms) })) : times;
  }
  m._free(ptr);

  let worst = null;
  for (let i = 0; i + WINDOW_BLOCKS <= blocks.length; ++i) {
    const w = blocks.slice(i, i + WINDOW_BLOCKS);
    const f = w.reduce((s, b) => s + b.frames, 0), ms = w.reduce((s, b) => s + b.ms, 0);
    if (!worst || f / ms < worst.frames / worst.ms) worst = { from: w[0].from, frames: f, ms };
  }

  // The page's share of a shown frame: the playfield copied out and put on the canvas.
  const context = document.getElementById('screen').getContext('2d', { alpha: false });
  const image = context.createImageData(480, 600);
  const t1 = performance.now();
  for (let i = 0; i < 200; ++i) {
    const p = m._nw_pixels();
    image.data.set(m.HEAPU8.subarray(p, p + 480 * 600 * 4));
    context.putImageData(image, 0, 0);
  }
  const showMs = (performance.now() - t1) / 200;

  const r = m.HEAP32.subarray(m._nw_result() >> 2, (m._nw_result() >> 2) + 5);
  report(JSON.stringify({
    frames, seconds: +(total / 1000).toFixed(3), fps: Math.round(frames * 1000 / total),
    busiest: worst && { from: worst.from, frames: worst.frames, fps: Math.round(worst.frames * 1000 / worst.ms) },
    showMs: +showMs.toFixed(3), score: r[1], stage: r[2], lives: r[3],
  }));
}

bench().catch((e) => report(JSON.stringify({ error: String(e.message || e) })));
