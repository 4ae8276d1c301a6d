// The reflector of each arrival, the surfaces they group into and the shoebox
// model that names them: on planes placed by hand and on an image-source room.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/arrivals/Arrivals.h"
#include "analysis/surfaces/Reflectors.h"
#include "analysis/surfaces/ShoeboxModel.h"
#include "analysis/surfaces/Surfaces.h"
#include "report/ArrivalTable.h"
#include "report/SurfaceTable.h"
#include "simulation/RoomSimulator.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

constexpr double kSpeedMPerS = 343;
// The room's six walls must come out within these of their true planes.
constexpr double kWallDistanceToleranceM = 0.05;
constexpr double kWallAngleToleranceDeg = 3;
// Exact geometry: only rounding separates the recovered plane from the true one.
constexpr double kExactM = 1e-9;
constexpr double kExactDeg = 1e-6;

Direction DirectionOf(const Point3& v) { return DirectionOfIntensity(v[0], v[1], v[2]); }

// The arrival a plane gives for a source at sourceM: its direction and delay.
Arrival ArrivalFromPlane(const Point3& sourceM, const Plane& plane, double levelDb)
{
    const Point3 image = Mirrored(sourceM, plane);
    const Direction d = DirectionOf(image);
    return {(Length(image) - Length(sourceM)) / kSpeedMPerS * 1000, levelDb, d.azDeg, d.elDeg, -3, 0};
}

Arrival DirectFrom(const Point3& sourceM)
{
    const Direction d = DirectionOf(sourceM);
    return {0, 0, d.azDeg, d.elDeg, -3, 0};
}

TEST(Reflectors, ThePlaneBisectingSourceAndImageSourceIsTheReflector)
{
    struct Row {
        const char* name;
        Point3 sourceM;
        Point3 normal;  // unit, from the microphone towards the plane
        double distanceM;
    };
    const double s = std::sqrt(0.5);
    const std::vector<Row> rows = {
        {"floor under a source ahead", {3, 0, 0}, {0, 0, -1}, 1.2},
        {"ceiling over a source to the left", {1, 2, 0.5}, {0, 0, 1}, 2.5},
        {"side wall behind the source", {4, 1, 0}, {0, -1, 0}, 0.8},
        {"back wall, source in front", {2, -1, 0.2}, {-1, 0, 0}, 3},
        {"sloping roof over the back", {-2, 1, 1}, {-s, 0, s}, 4},
        {"wall close to the microphone", {5, 0, 0}, {0, 1, 0}, 0.05},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Plane plane{row.normal, row.distanceM};
        const Arrival a = ArrivalFromPlane(row.sourceM, plane, -6);
        const auto reflector = ReflectorOfArrival(DirectionOf(row.sourceM), Length(row.sourceM), {a.azDeg, a.elDeg},
                                                  a.timeMs, kSpeedMPerS);
        ASSERT_TRUE(reflector);
        EXPECT_NEAR(reflector->distanceM, row.distanceM, kExactM);
        EXPECT_NEAR(AngleBetweenDeg({reflector->normalAzDeg, reflector->normalElDeg}, DirectionOf(row.normal)), 0,
                    kExactDeg);
    }
}

TEST(Reflectors, NoDelayOrNoNumberGivesNoReflector)
{
    EXPECT_FALSE(ReflectorOfArrival({10, 5}, 3, {10, 5}, 0, kSpeedMPerS)) << "the direct sound itself";
    EXPECT_FALSE(ReflectorOfArrival({10, 5}, 3, {10, 5}, 0.001, kSpeedMPerS)) << "0.3 mm behind it";
    EXPECT_FALSE(ReflectorOfArrival({10, 5}, NAN, {40, 5}, 2, kSpeedMPerS));
    EXPECT_FALSE(ReflectorOfArrival({10, 5}, 3, {NAN, 5}, 2, kSpeedMPerS));
    // The same direction with a delay: a plane square to it, behind the source.
    const auto behind = ReflectorOfArrival({0, 0}, 3, {0, 0}, 2 / kSpeedMPerS * 1000, kSpeedMPerS);
    ASSERT_TRUE(behind);
    EXPECT_NEAR(behind->distanceM, 4, kExactM);
    EXPECT_NEAR(behind->normalAzDeg, 0, kExactDeg);
}

TEST(Surfaces, ArrivalsOfOnePlaneAreOneSurfaceAndThoseBeyondItAreHigherOrders)
{
    const Point3 source{3, 0.5, 0};
    const Plane floor{{0, 0, -1}, 1.5};
    const Plane wall{{0, 1, 0}, 2};
    std::vector<Arrival> arrivals = {DirectFrom(source), ArrivalFromPlane(source, floor, -4)};
    // A smeared floor reflection: a second row 40 us later from nearly where the first came from.
    Arrival fragment = arrivals[1];
    fragment.timeMs += 0.04;
    fragment.azDeg += 0.5;
    fragment.levelDb = -10;
    arrivals.push_back(fragment);
    arrivals.push_back(ArrivalFromPlane(source, wall, -7));
    // Floor, then wall: its plane lies beyond both.
    Arrival second = ArrivalFromPlane(Mirrored(source, floor), wall, -12);
    second.timeMs = (Length(Mirrored(Mirrored(source, floor), wall)) - Length(source)) / kSpeedMPerS * 1000;
    arrivals.push_back(second);

    const SurfaceFindings found = FindSurfaces(arrivals, {Length(source), kSpeedMPerS, std::nullopt});
    ASSERT_EQ(found.surfaces.size(), 2u);
    EXPECT_EQ(found.surfaces[0].arrivals, (std::vector<std::size_t>{1, 2}));
    EXPECT_NEAR(found.surfaces[0].energyDb, 10 * std::log10(std::pow(10, -0.4) + std::pow(10, -1.0)), 1e-9);
    EXPECT_NEAR(found.surfaces[0].distanceM, 1.5, 0.02);
    EXPECT_NEAR(found.surfaces[0].normalElDeg, -90, 0.5);
    EXPECT_EQ(found.surfaces[1].arrivals, (std::vector<std::size_t>{3}));
    EXPECT_NEAR(found.surfaces[1].normalAzDeg, 90, kExactDeg);
    EXPECT_FALSE(found.arrivals[0].reflector) << "the direct sound";
    EXPECT_TRUE(found.arrivals[4].reflector);
    EXPECT_FALSE(found.arrivals[4].surface) << "the second order";
    EXPECT_FALSE(found.arrivals[0].order) << "no room model, no orders";

    EXPECT_TRUE(FindSurfaces({}, {3, kSpeedMPerS, std::nullopt}).surfaces.empty());
    const SurfaceFindings noDistance = FindSurfaces(arrivals, {0, kSpeedMPerS, std::nullopt});
    EXPECT_TRUE(noDistance.surfaces.empty());
    EXPECT_EQ(noDistance.arrivals.size(), arrivals.size());
}

TEST(Surfaces, ASmallReflectorNearTheMicrophoneHidesNoSurfaceBehindItsPlane)
{
    // A measured church: 1.3 ms after the direct sound a reflection from
    // nearly its direction (a plane 1.8 m off, down to the right), 4.2 ms
    // after it the floor's from 18 degrees down. The floor's ray meets the
    // first plane 5.5 m aside of where that reflector is: no reason to take
    // the floor for a second order.
    const std::vector<Arrival> arrivals = {{37.901, 0, 7.32, 5.08, -4, 0.2},
                                           {39.176, -6.4, -4.79, -1.76, -3.7, 0.15},
                                           {42.085, -1.66, 0.11, -17.99, -6.5, 0.5}};
    const SurfaceFindings found = FindSurfaces(arrivals, {13, kSpeedMPerS, std::nullopt});
    ASSERT_EQ(found.surfaces.size(), 2u);
    EXPECT_EQ(found.arrivals[2].surface, 1u);
    EXPECT_LT(found.surfaces[1].normalElDeg, -60) << "a floor";
}

TEST(ShoeboxModel, RefusesRoomsAndPositionsThatCannotBe)
{
    struct Row {
        const char* name;
        ShoeboxModel model;
        bool accepted;
    };
    const std::vector<Row> rows = {
        {"a room", {5, 4, 3, {1, 1, 1}, {4, 3, 2}}, true},
        {"both on walls", {5, 4, 3, {0, 4, 3}, {5, 0, 0}}, true},
        {"no height", {5, 4, 0, {1, 1, 0}, {4, 3, 0}}, false},
        {"longer than any room", {1001, 4, 3, {1, 1, 1}, {4, 3, 2}}, false},
        {"not a number", {NAN, 4, 3, {1, 1, 1}, {4, 3, 2}}, false},
        {"source outside", {5, 4, 3, {1, 4.5, 1}, {4, 3, 2}}, false},
        {"receiver below the floor", {5, 4, 3, {1, 1, 1}, {4, 3, -0.1}}, false},
        {"both in one place", {5, 4, 3, {1, 1, 1}, {1, 1, 1.005}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CheckShoebox(row.model).Ok(), row.accepted) << CheckShoebox(row.model).Message();
    }
}

// ---- The tables -----------------------------------------------------------------

TEST(SurfaceTables, TheArrivalListsColumnsAndTheSurfaceTableByteForByte)
{
    const std::vector<Arrival> arrivals = {{5, 0, 10, 0, -3.01, 0},
                                           {8.25, -6, 30, -40, -3.01, 0.1},
                                           {9.6, -12, 80, 0, -3.2, 0.2},
                                           {14, -9, -100, 10, -3, 0.1}};
    SurfaceFindings found;
    found.arrivals = {{std::nullopt, std::nullopt, 0, "direct"},
                      {Reflector{1.2, 12.5, -89.99}, 0, 1, "floor"},
                      {Reflector{1.25, 13, -89.5}, 0, std::nullopt, ""},
                      {Reflector{4.5, -90, 0.004}, std::nullopt, 2, "floor, right"}};
    found.surfaces = {{1.24, 12.7, -89.8, {1, 2}, -5.0264, "floor"}};
    found.unplaced = {3};
    found.unplacedEnergyDb = -9;
    found.roomModel = true;

    std::ostringstream list;
    WriteArrivalTable(list, arrivals, 343, 3.0, &found);
    EXPECT_EQ(list.str(),
              "\"time (ms)\",\"delay (ms)\",\"extra path (m)\",\"level (dB)\",\"Az\",\"El\",\"I/D (dB)\","
              "\"diffuseness\",\"distance (m)\",\"reflector (m)\",\"normal Az\",\"normal El\",\"surface\",\"order\","
              "\"path\"\r\n"
              "5.000,0.000,0.000,0.00,10.00,0.00,-3.01,0.000,3.000,,,,,0,\"direct\"\r\n"
              "8.250,3.250,1.115,-6.00,30.00,-40.00,-3.01,0.100,4.115,1.200,12.50,-89.99,1,1,\"floor\"\r\n"
              "9.600,4.600,1.578,-12.00,80.00,0.00,-3.20,0.200,4.578,1.250,13.00,-89.50,1,,\r\n"
              "14.000,9.000,3.087,-9.00,-100.00,10.00,-3.00,0.100,6.087,4.500,-90.00,0.00,none,2,\"floor, right\"\r\n");

    std::ostringstream table;
    WriteSurfaceTable(table, arrivals, found);
    EXPECT_EQ(table.str(),
              "\"surface\",\"normal Az\",\"normal El\",\"distance (m)\",\"arrivals\",\"times (ms)\",\"energy (dB)\","
              "\"name\"\r\n"
              "1,12.70,-89.80,1.240,2,8.250 9.600,-5.03,floor\r\n"
              "none,,,,1,14.000,-9.00,\r\n");

    // Without a room model: neither order nor path nor name; without higher orders no "none" line.
    found.roomModel = false;
    found.unplaced.clear();
    std::ostringstream plain;
    WriteSurfaceTable(plain, arrivals, found);
    EXPECT_EQ(plain.str(),
              "\"surface\",\"normal Az\",\"normal El\",\"distance (m)\",\"arrivals\",\"times (ms)\",\"energy (dB)\""
              "\r\n1,12.70,-89.80,1.240,2,8.250 9.600,-5.03\r\n");
    std::ostringstream plainList;
    WriteArrivalTable(plainList, {arrivals[0]}, 343, 3.0, &found);
    EXPECT_TRUE(plainList.str().ends_with("\"surface\"\r\n5.000,0.000,0.000,0.00,10.00,0.00,-3.01,0.000,3.000,,,,\r\n"))
        << plainList.str();
}

// ---- An image-source shoebox ---------------------------------------------------

struct TrueWall {
    const char* name;
    Direction normal;
    double distanceM;
};

class ImageSourceShoebox : public ::testing::Test {
protected:
    // 5 x 4 x 3 m, the microphone and the source off every axis of symmetry so
    // that no two reflections arrive together.
    static simulation::ShoeboxRoom Room()
    {
        simulation::ShoeboxRoom room;
        room.lengthM = 5;
        room.widthM = 4;
        room.heightM = 3;
        room.source = {3.7, 1.3, 1.6};
        room.listener = {1.4, 2.3, 1.1};
        return room;
    }
    static ShoeboxModel Model()
    {
        const simulation::ShoeboxRoom room = Room();
        return {room.lengthM,
                room.widthM,
                room.heightM,
                {room.source.xM, room.source.yM, room.source.zM},
                {room.listener.xM, room.listener.yM, room.listener.zM}};
    }
    static std::vector<Arrival> Arrivals()
    {
        simulation::SimulationOptions options;
        options.durationS = 0.08;
        options.maxOrder = 2;
        options.diffuseTail = false;
        return FindArrivals(simulation::RoomSimulator(48000).Simulate(Room(), options).signal, {});
    }
    // The walls as the microphone at (1.4, 2.3, 1.1) sees them.
    static std::vector<TrueWall> Walls()
    {
        return {{"floor", {0, -90}, 1.1}, {"ceiling", {0, 90}, 1.9}, {"front", {0, 0}, 3.6},
                {"back", {180, 0}, 1.4},  {"left", {90, 0}, 1.7},    {"right", {-90, 0}, 2.3}};
    }

    static void ExpectWalls(const SurfaceFindings& found, bool named)
    {
        for (const TrueWall& wall : Walls()) {
            SCOPED_TRACE(wall.name);
            int matches = 0;
            for (const ReflectingSurface& s : found.surfaces) {
                const double offDeg = AngleBetweenDeg({s.normalAzDeg, s.normalElDeg}, wall.normal);
                if (offDeg > kWallAngleToleranceDeg ||
                    std::fabs(s.distanceM - wall.distanceM) > kWallDistanceToleranceM)
                    continue;
                ++matches;
                if (!named) continue;
                EXPECT_EQ(s.name, wall.name);
                for (const std::size_t row : s.arrivals) {
                    EXPECT_EQ(found.arrivals[row].order, 1);
                    EXPECT_EQ(found.arrivals[row].path, wall.name);
                }
            }
            EXPECT_EQ(matches, 1);
        }
    }
};

TEST_F(ImageSourceShoebox, GivesItsSixWallsFromTheDirectDistance)
{
    const std::vector<Arrival> arrivals = Arrivals();
    const SurfaceFindings found = FindSurfaces(arrivals, {ModelDirectDistanceM(Model()), kSpeedMPerS, std::nullopt});
    ExpectWalls(found, false);
    // The second orders lie beyond the walls: no plane of their own.
    EXPECT_EQ(found.surfaces.size(), 6u);
    for (const ReflectingSurface& s : found.surfaces) EXPECT_TRUE(s.name.empty());
    // Without a model the picture names no mark.
    EXPECT_TRUE(ArrivalSurfaceNames(found).empty());
}

TEST_F(ImageSourceShoebox, TheRoomModelNamesEachWallAndGivesEachArrivalItsOrder)
{
    const std::vector<Arrival> arrivals = Arrivals();
    const SurfaceFindings found = FindSurfaces(arrivals, {0, kSpeedMPerS, Model()});
    ExpectWalls(found, true);
    EXPECT_EQ(found.surfaces.size(), 6u);
    EXPECT_EQ(found.arrivals[0].order, 0);
    int secondOrders = 0;
    for (const ArrivalSurface& a : found.arrivals) {
        if (a.order != 2) continue;
        ++secondOrders;
        EXPECT_FALSE(a.surface) << a.path;
    }
    EXPECT_GE(secondOrders, 6) << "most of the room's 18 second orders are clear arrivals";

    // The marks' names: each first order's wall, each higher order's order, none for the direct sound.
    const std::vector<std::string> names = ArrivalSurfaceNames(found);
    ASSERT_EQ(names.size(), arrivals.size());
    EXPECT_EQ(names[0], "");
    for (std::size_t i = 1; i < names.size(); ++i) {
        SCOPED_TRACE("arrival " + std::to_string(i + 1) + " " + found.arrivals[i].path);
        const ArrivalSurface& a = found.arrivals[i];
        if (a.order == 1) {
            ASSERT_TRUE(a.surface);
            EXPECT_EQ(names[i], found.surfaces[*a.surface].name);
            EXPECT_EQ(names[i], a.path);
        } else if (a.order) {
            EXPECT_EQ(names[i], OrdinalName(*a.order));
        }
    }
}

TEST(Surfaces, AnOrderIsSaidAsAnOrdinal)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},     {11, "11th"},   {12, "12th"},
        {13, "13th"}, {21, "21st"}, {22, "22nd"}, {101, "101st"}, {111, "111th"}, {0, "0th"},
    };
    for (const auto& [order, name] : cases) EXPECT_EQ(OrdinalName(order), name) << order;
}

}  // namespace
}  // namespace halvane
