// The game's sound on the browser's audio thread: plays the samples the page's main thread
// renders ahead and sends here (src/platform/web/audio.cpp), so that a busy or stalled main
// thread is not heard as long as what it queued lasts. Reports what it played and how often
// the queue ran dry.
'use strict';

// How often the main thread hears what was played (and tops the queue up): about 11 ms at
// 48 kHz, four render quanta.
const REPORT_SAMPLES = 512;

class PyrelleSound extends AudioWorkletProcessor {
  constructor(options) {
    super();
    // Silence until the queue first holds this much: the lead the main thread keeps.
    this.start = options.processorOptions.start;
    this.chunks = [];     // Float32Arrays of mono samples, oldest first
    this.offset = 0;      // samples of the first chunk already played
    this.queued = 0;      // samples in the chunks, less the offset
    this.playing = false;
    this.played = 0;      // samples taken from the queue since the start
    this.underruns = 0;   // render quanta the queue could not fill once playing
    this.unreported = 0;
    this.port.onmessage = (event) => {
      this.chunks.push(event.data);
      this.queued += event.data.length;
    };
  }

  // Copies up to `wanted` queued samples into `out` from `at`; returns how many.
  take(out, at, wanted) {
    let taken = 0;
    while (taken < wanted && this.chunks.length) {
      const chunk = this.chunks[0];
      const count = Math.min(wanted - taken, chunk.length - this.offset);
      out.set(chunk.subarray(this.offset, this.offset + count), at + taken);
      taken += count;
      this.offset += count;
      if (this.offset === chunk.length) {
        this.chunks.shift();
        this.offset = 0;
      }
    }
    this.queued -= taken;
    return taken;
  }

  process(inputs, outputs) {
    const channels = outputs[0];
    const first = channels[0];
    if (!this.playing && this.queued >= this.start) this.playing = true;
    if (!this.playing) return true;  // outputs come zeroed
    const taken = this.take(first, 0, first.length);
    if (taken < first.length) {
      first.fill(0, taken);
      this.underruns += 1;
    }
    for (let c = 1; c < channels.length; ++c) channels[c].set(first);
    this.played += taken;
    this.unreported += first.length;
    if (this.unreported >= REPORT_SAMPLES || taken < first.length) {
      this.unreported = 0;
      this.port.postMessage({played: this.played, underruns: this.underruns});
    }
    return true;
  }
}

registerProcessor('pyrelle-son', PyrelleSound);
