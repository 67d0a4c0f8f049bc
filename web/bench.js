// The player's benchmark (tools/bench/web_bench.sh opens it in headless Chromium): the replay
// given in the address's fragment (base64) is stepped frame by frame with drawing, timed in
// blocks of 60 frames. Prints to the console and the page: the whole play's frames per second,
// the slowest stretch of 300 frames (the busiest, in a final boss play its great grid) and the
// cost of copying one frame to the canvas.
'use strict';

const BLOCK = 60, WINDOW_BLOCKS = 5;

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
  const rc = m._nw_load(ptr, bytes.length, 0);
  m._free(ptr);
  if (rc !== 0) throw new Error('the replay cannot be played (' + rc + ')');

  const blocks = [];
  let ended = false, frames = 0;
  const start = performance.now();
  while (!ended) {
    const t0 = performance.now();
    let n = 0;
    for (; n < BLOCK && !ended; ++n) ended = m._nw_step(1) === 1;
    blocks.push({ from: frames, frames: n, ms: performance.now() - t0 });
    frames += n;
  }
  const total = performance.now() - start;

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
