#pragma once

// What a simulated response is made of: the image sources the listener hears
// (the source itself among them) and, in a room, the reverberation beyond them.

#include <optional>
#include <vector>

#include "simulation/ShoeboxRoom.h"

namespace halvane::simulation {

// Isotropic reverberation: rising linearly from onsetMs (when the first
// image source left out would arrive) over the time since the direct sound,
// then decaying 60 dB over the reverberation time, at the level Sabine's
// reverberant-to-direct energy ratio 16 pi r^2 / A gives at the listener.
struct ReverberantTail {
    double reverberationTimeS = 0;
    double onsetMs = 0;
    double reverberantToDirect = 0;  // energy ratio
};

struct Scene {
    RoomPoint source;
    RoomPoint listener;
    std::vector<ImageSource> images;  // any order; the one of order 0 is the direct sound
    std::optional<ReverberantTail> tail;
};

// The room's image sources up to maxOrder, and its tail (none when nothing
// absorbs).
Scene ShoeboxScene(const ShoeboxRoom& room, int maxOrder, double speedOfSoundMPerS);

// Outdoors: a ground (z = 0) under the source and the listener, and a few
// distant reflectors given as image sources of their own; no reverberation.
struct OpenSite {
    RoomPoint source{10.0, 0.0, 1.2};
    RoomPoint listener{0.0, 0.0, 1.2};  // both above the ground
    double groundFactor = 0.8;          // amplitude reflection factor
    std::vector<ImageSource> distant;   // order 1, Surface::Distant
};
Scene OpenSiteScene(const OpenSite& site);

// A distant reflector seen from the listener: an image source extraPathM
// farther than the source, from the given direction.
ImageSource DistantImage(const OpenSite& site, const Direction& direction, double extraPathM, double factor);

}  // namespace halvane::simulation
