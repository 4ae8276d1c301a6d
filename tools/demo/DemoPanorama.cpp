#include "demo/DemoPanorama.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>

#include "values/SoundField.h"

namespace halvane::demo {
namespace {

constexpr double kPanelM = 2.0;  // wall panels and floor boards drawn every 2 m
constexpr double kGridStepDeg = 30.0;

QColor BaseColour(Surface surface)
{
    switch (surface) {
    case Surface::FrontWall:
        return QColor(214, 196, 160);
    case Surface::BackWall:
        return QColor(170, 186, 204);
    case Surface::LeftWall:
        return QColor(182, 204, 172);
    case Surface::RightWall:
        return QColor(214, 176, 170);
    case Surface::Floor:
        return QColor(150, 110, 72);
    case Surface::Ceiling:
        return QColor(226, 226, 220);
    case Surface::None:
    case Surface::Distant:
        break;
    }
    return QColor(0, 0, 0);
}

// The two in-plane coordinates of a point on a surface, for its panel lines.
std::array<double, 2> InPlane(Surface surface, double x, double y, double z)
{
    switch (surface) {
    case Surface::FrontWall:
    case Surface::BackWall:
        return {y, z};
    case Surface::LeftWall:
    case Surface::RightWall:
        return {x, z};
    default:
        return {x, y};
    }
}

struct PixelHit {
    Surface surface = Surface::None;
    int panelU = 0;
    int panelV = 0;
    double distanceM = 0;
};

double AzimuthAtPx(double xPx) { return 180.0 - xPx / kPanoramaWidthPx * 360.0; }
double ElevationAtPx(double yPx) { return 90.0 - yPx / kPanoramaHeightPx * 180.0; }

void DrawCentredText(QPainter& painter, double xPx, double yPx, const QString& text, const QColor& colour)
{
    // Keep labels near the left and right edges whole rather than cut by the border.
    constexpr double kMarginPx = 30;
    xPx = std::clamp(xPx, kMarginPx, kPanoramaWidthPx - kMarginPx);
    const QRectF box(xPx - 100, yPx - 10, 200, 20);
    painter.setPen(QColor(0, 0, 0, 170));
    painter.drawText(box.translated(1, 1), Qt::AlignCenter, text);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, text);
}

// One ray per pixel centre: the surface it meets, how far, and which panel.
std::vector<PixelHit> CastRays(const DemoRoom& room)
{
    std::vector<PixelHit> hits(static_cast<std::size_t>(kPanoramaWidthPx) * kPanoramaHeightPx);
    for (int yPx = 0; yPx < kPanoramaHeightPx; ++yPx) {
        const double elDeg = ElevationAtPx(yPx + 0.5);
        for (int xPx = 0; xPx < kPanoramaWidthPx; ++xPx) {
            const double azDeg = AzimuthAtPx(xPx + 0.5);
            PixelHit& hit = hits[static_cast<std::size_t>(yPx) * kPanoramaWidthPx + xPx];
            hit.surface = simulation::SurfaceInDirection(room.hall, {azDeg, elDeg}, &hit.distanceM);
            const double az = RadiansFromDegrees(azDeg);
            const double el = RadiansFromDegrees(elDeg);
            const double x = room.hall.listener.xM + hit.distanceM * std::cos(el) * std::cos(az);
            const double y = room.hall.listener.yM + hit.distanceM * std::cos(el) * std::sin(az);
            const double z = room.hall.listener.zM + hit.distanceM * std::sin(el);
            const auto uv = InPlane(hit.surface, x, y, z);
            hit.panelU = static_cast<int>(std::floor(uv[0] / kPanelM));
            hit.panelV = static_cast<int>(std::floor(uv[1] / kPanelM));
        }
    }
    return hits;
}

// Each pixel in its surface's colour, nearer surfaces a little brighter;
// edges and panel joints are where neighbours differ.
void ShadeSurfaces(QImage& image, const std::vector<PixelHit>& hits)
{
    for (int yPx = 0; yPx < kPanoramaHeightPx; ++yPx) {
        for (int xPx = 0; xPx < kPanoramaWidthPx; ++xPx) {
            const PixelHit& hit = hits[static_cast<std::size_t>(yPx) * kPanoramaWidthPx + xPx];
            const PixelHit& right =
                hits[static_cast<std::size_t>(yPx) * kPanoramaWidthPx + (xPx + 1) % kPanoramaWidthPx];
            const PixelHit& below =
                hits[static_cast<std::size_t>(std::min(yPx + 1, kPanoramaHeightPx - 1)) * kPanoramaWidthPx + xPx];
            QColor colour = BaseColour(hit.surface);
            // Nearer surfaces a little brighter, so depth reads at a glance.
            const double shade = std::clamp(1.15 - hit.distanceM / 60.0, 0.65, 1.1);
            colour = QColor(std::min(255, static_cast<int>(colour.red() * shade)),
                            std::min(255, static_cast<int>(colour.green() * shade)),
                            std::min(255, static_cast<int>(colour.blue() * shade)));
            if (hit.surface != right.surface || hit.surface != below.surface) {
                colour = QColor(40, 40, 40);
            } else if (hit.panelU != right.panelU || hit.panelV != right.panelV || hit.panelU != below.panelU ||
                       hit.panelV != below.panelV) {
                colour = colour.darker(118);
            }
            image.setPixelColor(xPx, yPx, colour);
        }
    }
}

// Grid every 30 degrees, with the azimuth written along the top and the elevation at the left.
void DrawGrid(QPainter& painter)
{
    painter.setPen(QPen(QColor(255, 255, 255, 110), 1));
    for (double azDeg = 180.0; azDeg >= -180.0; azDeg -= kGridStepDeg) {
        const double xPx = std::min(PanoramaXPx(azDeg), kPanoramaWidthPx - 0.5);
        painter.drawLine(QPointF(xPx, 0), QPointF(xPx, kPanoramaHeightPx));
    }
    for (double elDeg = 90.0; elDeg >= -90.0; elDeg -= kGridStepDeg) {
        const double yPx = std::min(PanoramaYPx(elDeg), kPanoramaHeightPx - 0.5);
        painter.drawLine(QPointF(0, yPx), QPointF(kPanoramaWidthPx, yPx));
    }
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1, Qt::DashLine));
    painter.drawLine(QPointF(0, PanoramaYPx(0)), QPointF(kPanoramaWidthPx, PanoramaYPx(0)));
    for (double azDeg = 150.0; azDeg >= -150.0; azDeg -= kGridStepDeg)
        DrawCentredText(painter, PanoramaXPx(azDeg), 12, QString::number(azDeg, 'f', 0), Qt::white);
    for (double elDeg = 60.0; elDeg >= -60.0; elDeg -= kGridStepDeg)
        DrawCentredText(painter, 16, PanoramaYPx(elDeg) - 9, QString::number(elDeg, 'f', 0), Qt::white);
}

// Surface names, placed where each surface is plainly in view, in a bold
// version of font.
void DrawSurfaceNames(QPainter& painter, const QFont& font)
{
    struct Label {
        Surface surface;
        double azDeg;
        double elDeg;
    };
    const Label labels[] = {{Surface::FrontWall, -10, 12},  {Surface::BackWall, 150, 12}, {Surface::LeftWall, 115, 12},
                            {Surface::RightWall, -115, 12}, {Surface::Floor, -90, -50},   {Surface::Ceiling, -90, 50}};
    QFont nameFont = font;
    nameFont.setPixelSize(15);
    nameFont.setBold(true);
    painter.setFont(nameFont);
    for (const Label& label : labels) {
        QString name = QString::fromStdString(simulation::SurfaceName(label.surface));
        name[0] = name[0].toUpper();
        DrawCentredText(painter, PanoramaXPx(label.azDeg), PanoramaYPx(label.elDeg), name, QColor(255, 250, 220));
    }
}

// Where each reflection comes from, with its arrival time; the source on top.
void DrawArrivalPoints(QPainter& painter, const std::vector<Arrival>& arrivals)
{
    for (const Arrival& arrival : arrivals) {
        const QPointF at(PanoramaXPx(arrival.azDeg), PanoramaYPx(arrival.elDeg));
        const QString when = QString::number(arrival.timeMs, 'f', 1) + " ms";
        if (arrival.surface == Surface::None) {
            painter.setPen(QPen(Qt::white, 2));
            painter.setBrush(QColor(220, 30, 30));
            painter.drawEllipse(at, 9, 9);
            painter.setBrush(Qt::NoBrush);
            DrawCentredText(painter, at.x(), at.y() - 20, "Source, " + when, Qt::white);
        } else {
            painter.setPen(QPen(QColor(255, 230, 0), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at, 6, 6);
            DrawCentredText(painter, at.x(), at.y() + 16, when, QColor(255, 240, 120));
        }
    }
}

}  // namespace

double PanoramaXPx(double azDeg) { return (180.0 - azDeg) / 360.0 * kPanoramaWidthPx; }
double PanoramaYPx(double elDeg) { return (90.0 - elDeg) / 180.0 * kPanoramaHeightPx; }

QImage PaintDemoPanorama(const DemoRoom& room, const std::vector<Arrival>& arrivals)
{
    QImage image(kPanoramaWidthPx, kPanoramaHeightPx, QImage::Format_RGB32);
    ShadeSurfaces(image, CastRays(room));

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    painter.setFont(font);
    DrawGrid(painter);
    DrawSurfaceNames(painter, font);
    painter.setFont(font);
    DrawArrivalPoints(painter, arrivals);
    painter.end();
    return image;
}

}  // namespace halvane::demo
