#include "simulation/ShoeboxRoom.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace halvane::simulation {

std::vector<ImageSource> ImageSources(const ShoeboxRoom& room, int minOrder, int maxOrder)
{
    std::vector<ImageSource> images;
    const int reach = maxOrder / 2 + 1;
    const std::array<double, 3> extent{room.lengthM, room.widthM, room.heightM};
    const std::array<double, 3> source{room.source.xM, room.source.yM, room.source.zM};
    const std::array<double, 3> lowFactor{room.backWall, room.rightWall, room.floor};
    const std::array<double, 3> highFactor{room.frontWall, room.leftWall, room.ceiling};
    const std::array<Surface, 3> lowSurface{Surface::BackWall, Surface::RightWall, Surface::Floor};
    const std::array<Surface, 3> highSurface{Surface::FrontWall, Surface::LeftWall, Surface::Ceiling};
    for (int px = 0; px <= 1; ++px)
        for (int py = 0; py <= 1; ++py)
            for (int pz = 0; pz <= 1; ++pz)
                for (int nx = -reach; nx <= reach; ++nx)
                    for (int ny = -reach; ny <= reach; ++ny)
                        for (int nz = -reach; nz <= reach; ++nz) {
                            const std::array<int, 3> p{px, py, pz}, n{nx, ny, nz};
                            ImageSource image;
                            std::array<double, 3> at{};
                            for (std::size_t axis = 0; axis < 3; ++axis) {
                                const int low = std::abs(n[axis] - p[axis]), high = std::abs(n[axis]);
                                image.order += low + high;
                                image.factor *= std::pow(lowFactor[axis], low) * std::pow(highFactor[axis], high);
                                image.bounces[static_cast<std::size_t>(lowSurface[axis])] = low;
                                image.bounces[static_cast<std::size_t>(highSurface[axis])] = high;
                                at[axis] = (1 - 2 * p[axis]) * source[axis] + 2.0 * n[axis] * extent[axis];
                            }
                            if (image.order < minOrder || image.order > maxOrder) continue;
                            image.position = {at[0], at[1], at[2]};
                            images.push_back(image);
                        }
    return images;
}

double ReverberationTimeS(const ShoeboxRoom& room)
{
    const double l = room.lengthM, w = room.widthM, h = room.heightM;
    auto absorption = [](double factor) { return 1.0 - factor * factor; };
    const double area = w * h * (absorption(room.backWall) + absorption(room.frontWall)) +
                        l * h * (absorption(room.rightWall) + absorption(room.leftWall)) +
                        l * w * (absorption(room.floor) + absorption(room.ceiling));
    return area > 0 ? 0.161 * l * w * h / area : std::numeric_limits<double>::infinity();
}

double Distance(const RoomPoint& a, const RoomPoint& b)
{
    return std::sqrt((a.xM - b.xM) * (a.xM - b.xM) + (a.yM - b.yM) * (a.yM - b.yM) + (a.zM - b.zM) * (a.zM - b.zM));
}

ImageArrival ArrivalFrom(const ImageSource& image, const RoomPoint& listener, double directPathM,
                         double speedOfSoundMPerS)
{
    ImageArrival arrival;
    arrival.pathM = Distance(image.position, listener);
    arrival.timeMs = arrival.pathM / speedOfSoundMPerS * 1000.0;
    arrival.direction = DirectionOf(
        {image.position.xM - listener.xM, image.position.yM - listener.yM, image.position.zM - listener.zM});
    arrival.amplitude = image.factor * (directPathM / arrival.pathM);
    arrival.levelDb = 20.0 * std::log10(arrival.amplitude);
    return arrival;
}

Surface SurfaceInDirection(const ShoeboxRoom& room, const Direction& direction, double* distanceM)
{
    const Vector3 d = UnitVector(direction);
    const double origin[3] = {room.listener.xM, room.listener.yM, room.listener.zM};
    const double extent[3] = {room.lengthM, room.widthM, room.heightM};
    const Surface towardsHigh[3] = {Surface::FrontWall, Surface::LeftWall, Surface::Ceiling};
    const Surface towardsLow[3] = {Surface::BackWall, Surface::RightWall, Surface::Floor};

    Surface nearest = Surface::None;
    double nearestM = std::numeric_limits<double>::infinity();
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (d[axis] == 0.0) continue;
        const double planeM = d[axis] > 0 ? extent[axis] : 0.0;
        const double t = (planeM - origin[axis]) / d[axis];
        if (t >= 0 && t < nearestM) {
            nearestM = t;
            nearest = d[axis] > 0 ? towardsHigh[axis] : towardsLow[axis];
        }
    }
    if (distanceM) *distanceM = nearestM;
    return nearest;
}

std::string SurfaceName(Surface surface)
{
    switch (surface) {
    case Surface::FrontWall:
        return "front wall";
    case Surface::BackWall:
        return "back wall";
    case Surface::LeftWall:
        return "left wall";
    case Surface::RightWall:
        return "right wall";
    case Surface::Floor:
        return "floor";
    case Surface::Ceiling:
        return "ceiling";
    case Surface::Distant:
        return "distant reflector";
    case Surface::None:
        break;
    }
    return "";
}

std::string PathName(const std::array<int, kSurfaceCount>& bounces)
{
    std::string name;
    for (std::size_t s = 0; s < kSurfaceCount; ++s) {
        if (bounces[s] == 0) continue;
        if (!name.empty()) name += ", ";
        name += SurfaceName(static_cast<Surface>(s));
        if (bounces[s] > 1) name += " x" + std::to_string(bounces[s]);
    }
    return name.empty() ? "direct" : name;
}

}  // namespace halvane::simulation
