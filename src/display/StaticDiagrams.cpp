#include "display/StaticDiagrams.h"

#include <QColor>
#include <QString>

#include "display/DrawingSurface.h"
#include "report/NumberFormat.h"

namespace halvane {

void DrawPolarDiagram(DrawingSurface& polar)
{
    polar.Circle(0.0f, 0.0f, 1.0f);
    polar.Circle(0.0f, 0.0f, 0.75f);
    polar.Circle(0.0f, 0.0f, 0.5f);
    polar.Circle(0.0f, 0.0f, 0.25f);

    // y points to the left.
    polar.Line(-0.1f, 0.0f, 0.05f, 0.0f);
    polar.Line(-0.1f, 0.0f, -0.07f, 0.02f);
    polar.Line(-0.1f, 0.0f, -0.07f, -0.02f);
    polar.SetCurrentPosition(-0.1f, -0.01f);
    polar.Print(QStringLiteral("y"));

    // x points up, to the front.
    polar.Line(0.0f, -0.05f, 0.0f, 0.1f);
    polar.Line(0.0f, 0.1f, -0.02f, 0.07f);
    polar.Line(0.0f, 0.1f, 0.02f, 0.07f);
    polar.SetCurrentPosition(-0.06f, 0.15f);
    polar.Print(QStringLiteral("x"));
}

std::array<std::string, 5> MapScaleLabels(double start, double length, char decimalSeparator)
{
    const double values[5] = {start, start + length / 4, start + length / 2, start + (length * 3) / 4, start + length};
    std::array<std::string, 5> labels;
    for (int i = 0; i < 5; ++i) {
        labels[i] = FormatGeneral(values[i], decimalSeparator);
    }
    return labels;
}

void DrawMapScale(DrawingSurface& map, double start, double length, char decimalSeparator)
{
    const QColor white(255, 255, 255);
    for (const float x : {-180.0f, -90.0f, 0.0f, 90.0f, 180.0f}) {
        map.Line(x, -90.0f, x, -85.0f, white);
    }

    // Box corners and text position of each label; with x growing to the
    // left, the text position is the box's upper-left corner on the screen.
    struct LabelPlace {
        float x1, x2, textX;
    };
    constexpr LabelPlace places[5] = {
        {180.0f, 168.0f, 180.0f}, {96.0f, 84.0f, 96.0f},       {-6.0f, 6.0f, 6.0f},
        {-84.0f, -96.0f, -84.0f}, {-168.0f, -180.0f, -168.0f},
    };
    const auto labels = MapScaleLabels(start, length, decimalSeparator);
    for (int i = 0; i < 5; ++i) {
        map.Box(places[i].x1, -85.0f, places[i].x2, -80.0f, white);
        map.SetCurrentPosition(places[i].textX, -80.0f);
        map.Print(QString::fromStdString(labels[i]));
    }
}

void DrawArrivalMark(DrawingSurface& map, double azDeg, double elDeg, double radiusDeg, const QColor& outline)
{
    const QColor red(255, 0, 0);
    const auto az = static_cast<float>(azDeg);
    const auto el = static_cast<float>(elDeg);
    const auto radius = static_cast<float>(radiusDeg);
    map.Circle(az, el, radius, outline);
    map.Line(static_cast<float>(azDeg - 5), el, static_cast<float>(azDeg + 5), el, red);
    map.Line(az, static_cast<float>(elDeg - 5), az, static_cast<float>(elDeg + 5), red);
    if (azDeg > 180 - radiusDeg) {
        // The part beyond the left edge continues at the right edge.
        map.Circle(static_cast<float>(azDeg - 360), el, radius, outline);
    }
}

}  // namespace halvane
