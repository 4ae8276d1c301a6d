#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/surfaces/ShoeboxModel.h"
#include "values/Arrival.h"
#include "values/SurfaceQuantities.h"

namespace halvane {

// The surfaces that sent a response's arrivals back to the microphone.
//
// Each arrival after the direct sound has a reflector (Reflectors.h): the
// plane that would reflect the source's sound to the microphone along the
// arrival's direction with the arrival's delay, from the source-microphone
// distance, the direct sound's direction and the speed of sound. A
// first-order reflection's reflector is its surface; a higher order's is a
// plane where no surface is.
//
// Surfaces are made in time order, nearest first. An arrival whose reflector
// agrees with a surface's plane (normals within kSamePlaneDeg, distances
// within kSamePlaneM; the surface's plane is the energy-weighted mean of its
// arrivals') joins that surface. One that has come by way of surfaces
// already found belongs to no surface, as a higher order: its image source
// is the source mirrored in two of them (its direction within
// kSamePlaneDeg, its distance within 2 kSamePlaneM), or its reflector lies
// beyond one of them (the ray from the microphone along the arrival meets
// that surface more than kSamePlaneM nearer than its own reflector, within
// the surface's own distance of its point nearest the microphone: a surface
// is taken to reach that far around it, so that a small reflector near the
// microphone hides nothing behind the far reaches of its plane). Any other
// begins a surface of its own.
//
// With a room model, the model gives the distance, each arrival's order and
// path (the least-order image source matching it, ShoeboxModel.h), and each
// surface the name of the wall it lies on (normals within kWallAngleDeg,
// distances within kWallDistanceM); an arrival the model gives as a higher
// order belongs to no surface.
//
// Edges: an empty list gives no surfaces; a distance or a speed that is not
// above 0 and finite gives no reflectors and no surfaces (each arrival still
// has its row).

inline constexpr double kSamePlaneDeg = 5;
inline constexpr double kSamePlaneM = 0.1;
inline constexpr double kWallAngleDeg = 15;
inline constexpr double kWallDistanceM = 0.5;

struct SurfaceGeometry {
    double directDistanceM = 0;  // ignored with a room model: the model's source-receiver distance is used
    double speedOfSoundMPerS = 343;
    std::optional<ShoeboxModel> room;  // one CheckShoebox accepts
};

SurfaceFindings FindSurfaces(const std::vector<Arrival>& arrivals, const SurfaceGeometry& geometry);

// The name a picture gives each arrival's mark, with a room model: a first
// order's wall ("floor": its surface's name, else the wall the model's image
// source lies behind), a higher order's order ("2nd", "3rd"), empty for the
// direct sound and for an arrival the model neither names nor orders. One
// per row of the arrival list; none at all without a room model.
std::vector<std::string> ArrivalSurfaceNames(const SurfaceFindings& findings);

// An order as a picture says it: "1st", "2nd", "3rd", "4th", ..., "11th".
std::string OrdinalName(int order);

}  // namespace halvane
