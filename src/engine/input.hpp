#pragma once

namespace pyrelle {

// The seven game keys as held during one simulation step.
struct Keys {
    bool up = false;
    bool down = false;
    bool left = false;
    bool right = false;
    bool action = false;
    bool escape = false;
    bool mute = false;
};

// The keys of this step and of the previous one: a key is pressed when it is
// down now and was not down at the previous step.
struct Input {
    Keys now;
    Keys prev;

    bool pressed(bool Keys::*key) const { return now.*key && !(prev.*key); }
    bool held(bool Keys::*key) const { return now.*key; }
};

}  // namespace pyrelle
