#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "engine/app.hpp"

namespace {

// Stands in for the game until it exists: a glowing dot that the arrow keys move.
class Placeholder : public pyrelle::LoopClient {
  public:
    bool step(const pyrelle::Input& input, float dt) override {
        using pyrelle::Keys;
        if (input.pressed(&Keys::escape)) return false;
        x_ +=
            (static_cast<float>(input.now.right) - static_cast<float>(input.now.left)) * 60.0f * dt;
        y_ += (static_cast<float>(input.now.down) - static_cast<float>(input.now.up)) * 60.0f * dt;
        time_ += dt;
        return true;
    }
    void render(pyrelle::Canvas& canvas) override {
        canvas.fill_rect(0, 0, 320, 180, 0x0C0A12);
        canvas.glow(0xFFE178, x_, y_, 12.0f + 2.0f * std::sin(3.0f * time_), 1.0f);
    }

  private:
    float x_ = 160.0f;
    float y_ = 90.0f;
    float time_ = 0.0f;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const pyrelle::ParseResult parsed = pyrelle::parse_command_line(args);
    if (std::holds_alternative<pyrelle::HelpRequested>(parsed)) {
        std::printf("%.*s\n", static_cast<int>(pyrelle::kUsage.size()), pyrelle::kUsage.data());
        return 0;
    }
    if (const auto* error = std::get_if<pyrelle::CommandLineError>(&parsed)) {
        std::fprintf(stderr, "%s\n", error->message.c_str());
        return 2;
    }
    Placeholder game;
    if (auto error = pyrelle::App::run("Pyrelle", game)) {
        std::fprintf(stderr, "erreur : %s\n", error->c_str());
        return 1;
    }
    return 0;
}
