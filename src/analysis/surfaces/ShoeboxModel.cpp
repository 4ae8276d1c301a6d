#include "analysis/surfaces/ShoeboxModel.h"

#include <cmath>

namespace halvane {
namespace {

// A tape-measured room and a real microphone's directions: an arrival is the
// model's image source when it comes from within this angle of it and its
// path is this close to the image's (0.3 m is under a millisecond).
constexpr double kModelAngleDeg = 10;
constexpr double kModelPathM = 0.3;
constexpr double kLargestRoomM = 1000;
constexpr double kLeastSeparationM = 0.01;

struct Candidate {
    double offM = 0;
    bool found = false;
    ModelImage image;
};

// Every image of `image` mirrored once more in each wall other than the last,
// down to `ordersLeft` more reflections, keeping the best match of each order.
void Search(const std::vector<ModelWall>& walls, const Point3& target, const Point3& image, int last, int order,
            const std::string& path, std::vector<Candidate>& best)
{
    if (order > 0) {
        const double distanceM = Length(target);
        const Direction targetDirection = DirectionOfIntensity(target[0], target[1], target[2]);
        const Direction imageDirection = DirectionOfIntensity(image[0], image[1], image[2]);
        const double offM = std::fabs(Length(image) - distanceM);
        Candidate& slot = best[static_cast<std::size_t>(order)];
        if (offM <= kModelPathM && AngleBetweenDeg(targetDirection, imageDirection) <= kModelAngleDeg &&
            (!slot.found || offM < slot.offM))
            slot = {offM, true, {order, path, image}};
    }
    if (order == kModelOrders) return;
    for (std::size_t w = 0; w < walls.size(); ++w) {
        if (static_cast<int>(w) == last) continue;
        Search(walls, target, Mirrored(image, walls[w].plane), static_cast<int>(w), order + 1,
               path.empty() ? walls[w].name : path + ", " + walls[w].name, best);
    }
}

}  // namespace

std::vector<ModelWall> ShoeboxWalls(const ShoeboxModel& model)
{
    const Point3& r = model.receiverM;
    return {
        {"floor", {{0, 0, -1}, r[2]}},
        {"ceiling", {{0, 0, 1}, model.heightM - r[2]}},
        {"front", {{1, 0, 0}, model.lengthM - r[0]}},
        {"back", {{-1, 0, 0}, r[0]}},
        {"left", {{0, 1, 0}, model.widthM - r[1]}},
        {"right", {{0, -1, 0}, r[1]}},
    };
}

Point3 ModelSource(const ShoeboxModel& model) { return Difference(model.sourceM, model.receiverM); }
double ModelDirectDistanceM(const ShoeboxModel& model) { return Length(ModelSource(model)); }

Result<> CheckShoebox(const ShoeboxModel& model)
{
    const double sizes[] = {model.lengthM, model.widthM, model.heightM};
    for (const double size : sizes) {
        if (!(size > 0 && size <= kLargestRoomM))
            return Failure{"the room's length, width and height must lie above 0 and at most 1000 m"};
    }
    for (const Point3* point : {&model.sourceM, &model.receiverM}) {
        for (int axis = 0; axis < 3; ++axis) {
            if (!((*point)[axis] >= 0 && (*point)[axis] <= sizes[axis]))
                return Failure{std::string(point == &model.sourceM ? "the source" : "the receiver") +
                               " must lie inside the room (x from 0 to its length, y to its width, z to its height)"};
        }
    }
    if (!(ModelDirectDistanceM(model) >= kLeastSeparationM))
        return Failure{"the source and the receiver must lie at least 1 cm apart"};
    return {};
}

std::optional<ModelImage> MatchModelImage(const ShoeboxModel& model, const Point3& imageM)
{
    std::vector<Candidate> best(kModelOrders + 1);
    Search(ShoeboxWalls(model), imageM, ModelSource(model), -1, 0, "", best);
    for (const Candidate& candidate : best) {
        if (candidate.found) return candidate.image;
    }
    return std::nullopt;
}

}  // namespace halvane
