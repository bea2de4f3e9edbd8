#pragma once

namespace pyrelle {

// One light of a frame: where it is, how far it reaches, its colour and strength.
// Built by the game each frame; read by the simulation's light test and the light map.
struct LightSource {
    float x = 0.0f;
    float y = 0.0f;
    float radius = 0.0f;  // world pixels
    float r = 0.0f;       // colour, 0..1 per channel
    float g = 0.0f;
    float b = 0.0f;
    float intensity = 0.0f;
};

}  // namespace pyrelle
