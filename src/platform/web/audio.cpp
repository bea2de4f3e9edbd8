// The browser sound output (the desktop one is platform/alsa/audio.cpp): Web Audio.
// Browsers refuse sound before the player has pressed a key or clicked, so the audio context
// is made at the first such gesture; the same synthesizer renders the samples on the page's
// thread, and an AudioWorklet plays them (web/sound-worklet.js).
#include <emscripten.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/audio.hpp"

namespace pyrelle {
namespace {

// What the page's audio callback renders from. The callback is plain JavaScript calling an
// exported C function, which can carry no pointer of ours: this is the one it reaches.
struct WebSound {
    std::shared_ptr<SharedSynth> shared;
    std::vector<float> scratch;
};
WebSound* g_sound = nullptr;

// clang-format off
EM_JS(bool, web_audio_exists, (), {
    return typeof AudioContext !== 'undefined' || typeof webkitAudioContext !== 'undefined';
});
// clang-format on

// At the first key press, click or touch: the context, then what plays the samples (the same
// mono sample on every channel), and a console line if the browser says no. The page names the
// worklet's file (Module.soundWorklet): there the samples play on the audio thread from a
// queue this thread keeps about 200 ms ahead, topped up each time the worklet says what it
// played; where the browser has no AudioWorklet, or the file cannot be loaded, a
// ScriptProcessorNode asks this thread for each buffer instead. Module.audioFrames counts the
// samples played, Module.audioUnderruns the worklet's render quanta that found its queue dry.
// clang-format off
EM_JS(void, start_on_first_gesture, (), {
    const LEAD_SECONDS = 0.2;
    const gestures = [ 'keydown', 'mousedown', 'pointerdown', 'touchstart' ];
    const connect = (context, node) => {
        node.connect(context.destination);
        Module.audioNode = node;
    };
    const start_processor = (context) => {
        const node = context.createScriptProcessor(2048, 0, 2);
        node.onaudioprocess = (event) => {
            const out = event.outputBuffer;
            const at = Module._pyrelle_audio_fill(out.length) >> 2;
            for (let c = 0; c < out.numberOfChannels; ++c) {
                const channel = out.getChannelData(c);
                if (at) channel.set(HEAPF32.subarray(at, at + out.length));
                else channel.fill(0);
            }
            Module.audioFrames += out.length;
        };
        connect(context, node);
    };
    const start_worklet = async (context) => {
        await context.audioWorklet.addModule(Module.soundWorklet);
        const lead = Math.round(context.sampleRate * LEAD_SECONDS);
        const node = new AudioWorkletNode(context, 'pyrelle-son', {
            numberOfInputs : 0,
            outputChannelCount : [2],
            processorOptions : {start : lead},
        });
        let sent = 0;
        const top_up = () => {
            const wanted = lead - (sent - Module.audioFrames);
            if (wanted <= 0) return;
            const at = Module._pyrelle_audio_fill(wanted) >> 2;
            const chunk = at ? HEAPF32.slice(at, at + wanted) : new Float32Array(wanted);
            node.port.postMessage(chunk, [chunk.buffer]);
            sent += wanted;
        };
        node.port.onmessage = (event) => {
            Module.audioFrames = event.data.played;
            Module.audioUnderruns = event.data.underruns;
            top_up();
        };
        top_up();
        connect(context, node);
    };
    const start = () => {
        gestures.forEach((g) => window.removeEventListener(g, start, true));
        try {
            const Context = window.AudioContext || window.webkitAudioContext;
            const context = new Context();
            Module._pyrelle_audio_started(context.sampleRate);
            Module.audioFrames = 0;
            Module.audioUnderruns = 0;
            context.resume();
            Module.audioContext = context;
            if (!Module.soundWorklet || !context.audioWorklet ||
                typeof AudioWorkletNode === 'undefined') {
                start_processor(context);
                return;
            }
            start_worklet(context).catch((e) => {
                console.warn('son sans AudioWorklet : ' + e.message);
                start_processor(context);
            });
        } catch (e) {
            console.warn('son désactivé : ' + e.message);
        }
    };
    gestures.forEach((g) => window.addEventListener(g, start, true));
});
// clang-format on

// clang-format off
EM_JS(void, stop_web_audio, (), {
    if (Module.audioNode) Module.audioNode.disconnect();
    if (Module.audioContext) Module.audioContext.close();
});
// clang-format on

// Keeps the sound going; stopping it closes the context.
class WebStream final : public AudioStream {
  public:
    explicit WebStream(std::unique_ptr<WebSound> sound) : sound_(std::move(sound)) {
        g_sound = sound_.get();
    }
    WebStream(const WebStream&) = delete;
    WebStream& operator=(const WebStream&) = delete;
    ~WebStream() override {
        stop_web_audio();
        g_sound = nullptr;
    }

  private:
    std::unique_ptr<WebSound> sound_;
};

}  // namespace

extern "C" {

// The context is running at `rate`. Notes queued while nothing could be heard are dropped:
// they would all sound at once.
EMSCRIPTEN_KEEPALIVE void pyrelle_audio_started(double rate) {
    if (!g_sound) return;
    std::lock_guard lock(g_sound->shared->mutex);
    g_sound->shared->state.set_sample_rate(static_cast<float>(rate));
    g_sound->shared->state.voices.clear();
}

// Renders `frames` mono samples; where they are in the module's memory.
EMSCRIPTEN_KEEPALIVE float* pyrelle_audio_fill(int frames) {
    if (!g_sound || frames <= 0) return nullptr;
    std::vector<float>& scratch = g_sound->scratch;
    if (scratch.size() < static_cast<std::size_t>(frames)) scratch.resize(frames);
    render_shared(*g_sound->shared, scratch.data(), static_cast<std::size_t>(frames));
    return scratch.data();
}

}  // extern "C"

Synth start_audio() {
    if (!web_audio_exists()) {
        std::fprintf(stderr, "son désactivé : Web Audio absent de ce navigateur\n");
        return Synth{};
    }
    auto sound = std::make_unique<WebSound>();
    sound->shared = std::make_shared<SharedSynth>();
    // The browser's rate is known once the context exists; the state follows it then.
    sound->shared->state = SynthState::create(48000.0f);
    Synth synth;
    synth.shared = sound->shared;
    synth.stream = std::make_unique<WebStream>(std::move(sound));
    start_on_first_gesture();
    return synth;
}

}  // namespace pyrelle
