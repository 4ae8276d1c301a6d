#include "analysis/surfaces/Surfaces.h"

#include <cmath>
#include <cstdlib>

namespace halvane {
namespace {

// A surface while its arrivals are gathered: the energy-weighted sums of
// their normals and distances.
struct Gathering {
    Point3 normalSum{};
    double distanceSum = 0;
    double energy = 0;
    std::vector<std::size_t> arrivals;

    Plane Mean() const { return {Scaled(normalSum, 1 / Length(normalSum)), distanceSum / energy}; }
    void Add(std::size_t row, const Plane& plane, double energy)
    {
        normalSum = Sum(normalSum, Scaled(plane.normal, energy));
        distanceSum += plane.distanceM * energy;
        this->energy += energy;
        arrivals.push_back(row);
    }
};

double DirectDistanceM(const SurfaceGeometry& geometry)
{
    return geometry.room ? ModelDirectDistanceM(*geometry.room) : geometry.directDistanceM;
}

double EnergyOf(const Arrival& arrival) { return std::pow(10.0, arrival.levelDb / 10); }

Direction DirectionOf(const Point3& v) { return DirectionOfIntensity(v[0], v[1], v[2]); }

bool Agree(const Plane& a, const Plane& b, double angleDeg, double distanceM)
{
    return AngleBetweenDeg(DirectionOf(a.normal), DirectionOf(b.normal)) <= angleDeg &&
           std::fabs(a.distanceM - b.distanceM) <= distanceM;
}

// Whether the ray from the microphone along u meets one of the surfaces
// clearly before the plane `own`: its plane, within the surface's own
// distance of the point nearest the microphone (a surface is taken to reach
// that far around it, no farther: a small reflector near the microphone
// hides nothing behind its plane's far reaches).
bool LiesBeyond(const Plane& own, const Point3& u, const std::vector<Gathering>& surfaces)
{
    const double ownM = own.distanceM / Dot(own.normal, u);
    for (const Gathering& surface : surfaces) {
        const Plane plane = surface.Mean();
        const double towards = Dot(plane.normal, u);
        if (!(towards > 0)) continue;
        const double crossingM = plane.distanceM / towards;
        const Point3 aside = Difference(Scaled(u, crossingM), Scaled(plane.normal, plane.distanceM));
        if (crossingM < ownM - kSamePlaneM && Length(aside) <= plane.distanceM) return true;
    }
    return false;
}

// Each arrival's reflector and, with a room model, its order and path.
void Describe(const std::vector<Arrival>& arrivals, const SurfaceGeometry& geometry, SurfaceFindings& findings)
{
    const double d0 = DirectDistanceM(geometry);
    const double c = geometry.speedOfSoundMPerS;
    const bool usable = std::isfinite(d0) && d0 > 0 && std::isfinite(c) && c > 0;
    const Direction direct{arrivals.front().azDeg, arrivals.front().elDeg};
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        ArrivalSurface& row = findings.arrivals[i];
        if (geometry.room && i == 0) {
            row.order = 0;
            row.path = "direct";
        }
        if (i == 0 || !usable) continue;
        const Direction arrival{arrivals[i].azDeg, arrivals[i].elDeg};
        const double delayMs = arrivals[i].timeMs - arrivals.front().timeMs;
        row.reflector = ReflectorOfArrival(direct, d0, arrival, delayMs, c);
        if (!geometry.room) continue;
        if (const auto image = MatchModelImage(*geometry.room, ImageSourceOf(arrival, d0, delayMs, c))) {
            row.order = image->order;
            row.path = image->path;
        }
    }
}

// Whether the image source lies where the source mirrored in one surface
// and then another would: a second order by way of surfaces already found.
bool SecondOrderOf(const Point3& image, const Point3& source, const std::vector<Gathering>& surfaces)
{
    for (std::size_t a = 0; a < surfaces.size(); ++a) {
        const Point3 once = Mirrored(source, surfaces[a].Mean());
        for (std::size_t b = 0; b < surfaces.size(); ++b) {
            if (b == a) continue;
            const Point3 twice = Mirrored(once, surfaces[b].Mean());
            if (AngleBetweenDeg(DirectionOf(twice), DirectionOf(image)) <= kSamePlaneDeg &&
                std::fabs(Length(twice) - Length(image)) <= 2 * kSamePlaneM)
                return true;
        }
    }
    return false;
}

// Gathers the arrivals into surfaces, nearest first.
std::vector<Gathering> Gather(const std::vector<Arrival>& arrivals, const Point3& source, double speedOfSoundMPerS,
                              SurfaceFindings& findings)
{
    std::vector<Gathering> surfaces;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        ArrivalSurface& row = findings.arrivals[i];
        if (!row.reflector || (row.order && *row.order > 1)) continue;
        const Plane own = PlaneOf(*row.reflector);
        std::optional<std::size_t> joined;
        for (std::size_t s = 0; s < surfaces.size() && !joined; ++s) {
            if (Agree(own, surfaces[s].Mean(), kSamePlaneDeg, kSamePlaneM)) joined = s;
        }
        if (!joined) {
            const Direction direction{arrivals[i].azDeg, arrivals[i].elDeg};
            const Point3 image = ImageSourceOf(direction, Length(source), arrivals[i].timeMs - arrivals.front().timeMs,
                                               speedOfSoundMPerS);
            if (LiesBeyond(own, UnitVectorOf(direction), surfaces) || SecondOrderOf(image, source, surfaces)) continue;
            surfaces.emplace_back();
            joined = surfaces.size() - 1;
        }
        surfaces[*joined].Add(i, own, EnergyOf(arrivals[i]));
        row.surface = joined;
    }
    return surfaces;
}

}  // namespace

SurfaceFindings FindSurfaces(const std::vector<Arrival>& arrivals, const SurfaceGeometry& geometry)
{
    SurfaceFindings findings;
    findings.roomModel = geometry.room.has_value();
    findings.arrivals.resize(arrivals.size());
    if (arrivals.empty()) return findings;
    Describe(arrivals, geometry, findings);
    const Point3 source =
        Scaled(UnitVectorOf({arrivals.front().azDeg, arrivals.front().elDeg}), DirectDistanceM(geometry));
    const std::vector<ModelWall> walls = geometry.room ? ShoeboxWalls(*geometry.room) : std::vector<ModelWall>();
    for (const Gathering& gathering : Gather(arrivals, source, geometry.speedOfSoundMPerS, findings)) {
        const Plane plane = gathering.Mean();
        const Reflector mean = ReflectorOf(plane);
        ReflectingSurface surface{mean.distanceM,
                                  mean.normalAzDeg,
                                  mean.normalElDeg,
                                  gathering.arrivals,
                                  10 * std::log10(gathering.energy),
                                  ""};
        for (const ModelWall& wall : walls) {
            if (surface.name.empty() && Agree(plane, wall.plane, kWallAngleDeg, kWallDistanceM))
                surface.name = wall.name;
        }
        findings.surfaces.push_back(std::move(surface));
    }
    double unplacedEnergy = 0;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        if (!findings.arrivals[i].reflector || findings.arrivals[i].surface) continue;
        findings.unplaced.push_back(i);
        unplacedEnergy += EnergyOf(arrivals[i]);
    }
    findings.unplacedEnergyDb = 10 * std::log10(unplacedEnergy);
    return findings;
}

std::string OrdinalName(int order)
{
    const int lastTwo = std::abs(order) % 100;
    const int last = lastTwo % 10;
    const char* suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        if (last == 1) suffix = "st";
        if (last == 2) suffix = "nd";
        if (last == 3) suffix = "rd";
    }
    return std::to_string(order) + suffix;
}

std::vector<std::string> ArrivalSurfaceNames(const SurfaceFindings& findings)
{
    std::vector<std::string> names;
    if (!findings.roomModel) return names;
    for (const ArrivalSurface& row : findings.arrivals) {
        std::string name;
        if (row.surface && *row.surface < findings.surfaces.size()) name = findings.surfaces[*row.surface].name;
        if (row.order && *row.order > 1) name = OrdinalName(*row.order);
        if (row.order && *row.order == 1 && name.empty()) name = row.path;
        if (row.order && *row.order == 0) name.clear();
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace halvane
