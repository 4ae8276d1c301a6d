#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace halvane {

// The plain values of the reflecting surfaces of a response's arrivals
// (analysis/surfaces/Surfaces.h finds them, report/SurfaceTable.h and
// report/ArrivalTable.h write them). Positions are in the microphone's frame:
// x straight ahead, y to the left, z upwards, the microphone at the origin;
// directions as everywhere in Halvane (azimuth positive to the left,
// elevation positive upwards, degrees). This header includes nothing of the
// program's own.

// The plane that would reflect an arrival once: the plane bisecting the
// source and the arrival's image source. Its normal points from the
// microphone towards the plane, so the normal's direction is where the
// plane's nearest point lies, and distanceM (> 0) how far away that is.
struct Reflector {
    double distanceM = 0;
    double normalAzDeg = 0;
    double normalElDeg = 0;
};

// One surface: arrivals whose reflectors agree, as one plane.
struct ReflectingSurface {
    double distanceM = 0;  // energy-weighted mean of its arrivals' reflectors
    double normalAzDeg = 0;
    double normalElDeg = 0;
    std::vector<std::size_t> arrivals;  // rows of the arrival list (0 is the direct sound), in time order
    double energyDb = 0;                // 10 log10 of the sum of its arrivals' energies re the direct sound's
    std::string name;                   // the room model's wall it lies on ("floor"), or empty
};

// What the surfaces say of one arrival of the list.
struct ArrivalSurface {
    std::optional<Reflector> reflector;  // none for the direct sound or an arrival with no delay
    std::optional<std::size_t> surface;  // the surface it belongs to (an index of SurfaceFindings::surfaces)
    // With a room model: its order (0 for the direct sound) and the walls on
    // its way ("floor, left wall"), when one of the model's image sources
    // gives it; without a room model, or when none does, empty.
    std::optional<int> order;
    std::string path;
};

struct SurfaceFindings {
    std::vector<ArrivalSurface> arrivals;  // one per row of the arrival list, in its order
    std::vector<ReflectingSurface> surfaces;
    // The arrivals with a reflector that fit no surface (higher orders), in
    // time order, and their summed energy re the direct sound's in dB.
    std::vector<std::size_t> unplaced;
    double unplacedEnergyDb = 0;
    bool roomModel = false;  // the surfaces were named and the orders given by a shoebox model
};

}  // namespace halvane
