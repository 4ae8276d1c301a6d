#pragma once

// A shoebox room and the image sources of its walls, floor and ceiling.
//
// Room coordinates in metres: x from the back wall (0) to the front wall, y
// from the right wall (0) to the left wall, z from the floor (0) to the
// ceiling. The listener faces +x, so azimuth is measured from +x, positive to
// the left (towards +y), elevation positive upwards (simulation/Direction.h).

#include <array>
#include <string>
#include <vector>

#include "simulation/Direction.h"

namespace halvane::simulation {

struct RoomPoint {
    double xM = 0;
    double yM = 0;
    double zM = 0;
};

// The surfaces a sound path can meet; Distant is an obstacle outdoors (a tree
// line, a building), None the direct path.
enum class Surface { None, FrontWall, BackWall, LeftWall, RightWall, Floor, Ceiling, Distant };
inline constexpr std::size_t kSurfaceCount = 8;

struct ShoeboxRoom {
    double lengthM = 6.0;  // along x
    double widthM = 4.5;   // along y
    double heightM = 3.0;  // along z
    RoomPoint source{4.3, 1.9, 1.4};
    RoomPoint listener{1.7, 2.6, 1.2};  // distinct from the source, both inside the room
    // Amplitude reflection factors, 0..1 (energy absorption 1 - factor^2).
    double backWall = 0.8;   // x = 0
    double frontWall = 0.8;  // x = lengthM
    double rightWall = 0.8;  // y = 0
    double leftWall = 0.8;   // y = widthM
    double floor = 0.8;      // z = 0
    double ceiling = 0.8;    // z = heightM
};

// A mirror image of the source: where it lies, the product of the reflection
// factors on its path, and how often the path meets each surface.
struct ImageSource {
    RoomPoint position;
    double factor = 1;
    int order = 0;                             // reflections on the way; 0 for the source itself
    std::array<int, kSurfaceCount> bounces{};  // indexed by Surface
};

// Every image source of order minOrder..maxOrder: along each axis the source
// mirrored p times and shifted by n room lengths, x = (1 - 2p) xs + 2 n L,
// which meets the wall at 0 |n - p| times and the wall at L |n| times.
std::vector<ImageSource> ImageSources(const ShoeboxRoom& room, int minOrder, int maxOrder);

// Sabine: 0.161 V / sum of S (1 - factor^2), in seconds (infinite when
// nothing absorbs).
double ReverberationTimeS(const ShoeboxRoom& room);

double Distance(const RoomPoint& a, const RoomPoint& b);

// The arrival an image source gives at the listener.
struct ImageArrival {
    double pathM = 0;
    double timeMs = 0;  // path / speed of sound, from the source's emission
    Direction direction;
    double amplitude = 1;  // re the direct sound: factor x (direct path / path)
    double levelDb = 0;    // 20 log10 amplitude
};
ImageArrival ArrivalFrom(const ImageSource& image, const RoomPoint& listener, double directPathM,
                         double speedOfSoundMPerS);

// The surface a ray from the listener in the given direction meets first, and
// how far away (a ray from inside the room always meets one).
Surface SurfaceInDirection(const ShoeboxRoom& room, const Direction& direction, double* distanceM = nullptr);

// "front wall", "floor", "distant reflector", ...; "" for Surface::None.
std::string SurfaceName(Surface surface);

// The surfaces a path meets, in the order of the Surface enumeration, each
// with its count when more than one: "direct", "floor", "floor, left wall x2".
std::string PathName(const std::array<int, kSurfaceCount>& bounces);

}  // namespace halvane::simulation
