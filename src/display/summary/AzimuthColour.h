#pragma once

#include <QColor>

namespace halvane {

// The colour of a direction of arrival on the summary's plots: a circular
// colour map, so that azimuths on either side of +-180 degrees look alike,
// of one lightness (CIELAB L* 55) all round, so that every direction stands
// out equally on white and none fades. Front (0) is red, left (90) green,
// back (180) teal, right (-90) blue-violet; azDeg in degrees, any value
// (taken modulo 360); a value that is not finite gives mid grey.
QColor AzimuthColour(double azDeg);

}  // namespace halvane
