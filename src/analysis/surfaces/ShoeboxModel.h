#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/surfaces/Reflectors.h"
#include "values/Result.h"

namespace halvane {

// A shoebox room around the microphone, as a user measures it with a tape:
// its length along the microphone's front (x), its width along its left (y)
// and its height (z), in metres, and the source and the microphone (the
// receiver) in room coordinates: x from the back wall (0) to the front wall,
// y from the right wall (0) to the left wall, z from the floor (0) up. The
// microphone faces the front wall, upright: its frame is the room's, moved to
// the receiver.
struct ShoeboxModel {
    double lengthM = 0;
    double widthM = 0;
    double heightM = 0;
    Point3 sourceM{};
    Point3 receiverM{};
};

// A wall of the model as a plane in the microphone's frame, with its name:
// "floor", "ceiling", "front", "back", "left", "right".
struct ModelWall {
    std::string name;
    Plane plane;
};

// The walls in that order. For a model that CheckShoebox accepts.
std::vector<ModelWall> ShoeboxWalls(const ShoeboxModel& model);

// The source in the microphone's frame, and its distance from the microphone.
Point3 ModelSource(const ShoeboxModel& model);
double ModelDirectDistanceM(const ShoeboxModel& model);

// Fails, saying why, unless every size is above 0 and at most 1000 m and the
// source and the receiver lie inside the room (on a wall counts as inside)
// at least a centimetre apart.
Result<> CheckShoebox(const ShoeboxModel& model);

// The image source of the model that gives an arrival at imageM (the
// microphone's frame): the least order (up to kModelOrders) whose image lies
// within kModelAngleDeg of imageM's direction and kModelPathM of its distance,
// the nearest of that order. Nothing when none does.
struct ModelImage {
    int order = 0;
    std::string path;  // the walls on the way, from the source: "floor, left"
    Point3 imageM{};
};
inline constexpr int kModelOrders = 3;
std::optional<ModelImage> MatchModelImage(const ShoeboxModel& model, const Point3& imageM);

}  // namespace halvane
