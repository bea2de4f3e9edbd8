// The browser sound output (the desktop one is platform/alsa/audio.cpp): Web Audio.
// Browsers refuse sound before the player has pressed a key or clicked, so the audio context
// is made at the first such gesture; a ScriptProcessorNode then asks for each buffer of
// samples, rendered by the same synthesizer.
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

// At the first key press, click or touch: the context, a node that asks the game for samples
// (the same mono sample on every channel), and a console line if the browser says no.
// clang-format off
EM_JS(void, start_on_first_gesture, (), {
    const gestures = [ 'keydown', 'mousedown', 'pointerdown', 'touchstart' ];
    const start = () => {
        gestures.forEach((g) => window.removeEventListener(g, start, true));
        try {
            const Context = window.AudioContext || window.webkitAudioContext;
            const context = new Context();
            const node = context.createScriptProcessor(2048, 0, 2);
            Module._pyrelle_audio_started(context.sampleRate);
            Module.audioFrames = 0;
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
            node.connect(context.destination);
            context.resume();
            Module.audioContext = context;
            Module.audioNode = node;
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
