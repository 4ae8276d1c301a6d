#include "display/summary/DecayPlot.h"

#include <algorithm>
#include <cmath>

#include "display/DrawingSurface.h"
#include "report/NumberFormat.h"

namespace halvane {
namespace {

const QColor kGridColour(222, 222, 222);
constexpr double kT30EndDb = -60;  // where T30 is read off its line
constexpr double kLowestLevelDb = -120;
constexpr int kCurveWidthPx = 2;
constexpr int kDashPx = 7;
constexpr int kDashGapPx = 5;
constexpr int kLegendRowPx = 16;

// Where a band's T30 line reaches -60 dB, in s; nothing without a falling line.
std::optional<double> T30LineEndS(const BandParameters& band)
{
    if (!band.t30Fit) return std::nullopt;
    const DecayFit& fit = *band.t30Fit;
    if (!(fit.slopeDbPerS < 0) || !std::isfinite(fit.slopeDbPerS) || !std::isfinite(fit.interceptDb)) {
        return std::nullopt;
    }
    const double endS = (kT30EndDb - fit.interceptDb) / fit.slopeDbPerS;
    if (!(endS > 0) || !std::isfinite(endS)) return std::nullopt;
    return endS;
}

}  // namespace

QColor BandColour(int nominalHz)
{
    // A palette that stays distinct for colour-blind readers, without its yellow.
    switch (nominalHz) {
    case 125:
        return QColor(213, 94, 0);
    case 250:
        return QColor(230, 159, 0);
    case 500:
        return QColor(0, 158, 115);
    case 1000:
        return QColor(86, 180, 233);
    case 2000:
        return QColor(0, 114, 178);
    case 4000:
        return QColor(204, 121, 167);
    case kBroadband:
        return QColor(0, 0, 0);
    default:
        return QColor(128, 128, 128);
    }
}

AxisTicks DecayTimeAxis(const std::vector<BandParameters>& bands)
{
    double endS = 0;
    for (const BandParameters& band : bands) {
        for (const double t : band.decay.timeS) {
            if (std::isfinite(t)) endS = std::max(endS, t);
        }
        if (const auto lineEnd = T30LineEndS(band)) endS = std::max(endS, *lineEnd);
    }
    if (!(endS > 0)) endS = 1;
    return NiceTicks(0, endS, 5);
}

AxisTicks DecayLevelAxis(const std::vector<BandParameters>& bands)
{
    double lowDb = kT30EndDb;
    for (const BandParameters& band : bands) {
        for (const double level : band.decay.levelDb) {
            if (std::isfinite(level)) lowDb = std::min(lowDb, level);
        }
    }
    return NiceTicks(std::max(lowDb, kLowestLevelDb), 0, 4);
}

void DrawDecayPlot(DrawingSurface& surface, const std::vector<BandParameters>& bands, char decimalSeparator)
{
    PlotFrame frame(surface, kDecayPlotMarginsPx, DecayTimeAxis(bands), DecayLevelAxis(bands));
    frame.DrawGrid(kGridColour);
    frame.DrawAxes(QStringLiteral("Schroeder decay of W per octave band"), QStringLiteral("level (dB)"),
                   QStringLiteral("time from the start of the response (s)"), decimalSeparator);

    // The unfiltered response last, on top of the bands.
    std::vector<const BandParameters*> order;
    for (const BandParameters& band : bands) {
        if (band.nominalHz != kBroadband) order.push_back(&band);
    }
    for (const BandParameters& band : bands) {
        if (band.nominalHz == kBroadband) order.push_back(&band);
    }
    for (const BandParameters* band : order) {
        const QColor colour = BandColour(band->nominalHz);
        if (const auto endS = T30LineEndS(*band)) {
            surface.SetLineWidth(kCurveWidthPx);
            const DecayFit& fit = *band->t30Fit;
            frame.DashedLine(0, fit.interceptDb, *endS, kT30EndDb, colour, kDashPx, kDashGapPx);
        }
    }
    surface.SetLineWidth(kCurveWidthPx);
    for (const BandParameters* band : order) {
        const QColor colour = BandColour(band->nominalHz);
        const auto& t = band->decay.timeS;
        const auto& level = band->decay.levelDb;
        const std::size_t points = std::min(t.size(), level.size());
        for (std::size_t i = 1; i < points; ++i) frame.ClippedLine(t[i - 1], level[i - 1], t[i], level[i], colour);
        if (points == 1) frame.ClippedLine(t[0], level[0], t[0], level[0], colour);
    }

    // The legend, one row a band in the order given, then the dashed line's meaning.
    surface.SetLineWidth(1);
    surface.SetForeColour(Qt::black);
    const QRect box = frame.BoxPx();
    const int left = box.right() + 16;
    int rowTop = box.top();
    for (const BandParameters& band : bands) {
        const int middle = rowTop + kLegendRowPx / 2;
        FillPx(surface, QRect(left, middle - 1, 20, kCurveWidthPx), BandColour(band.nominalHz));
        const QString name = band.nominalHz == kBroadband ? QStringLiteral("all")
                                                          : QString::fromStdString(band.band) + QStringLiteral(" Hz");
        PrintAtPx(surface, left + 26, middle, name, TextAnchor::MiddleLeft);
        const QString t30 = band.t30S ? QStringLiteral("T30 ") +
                                            QString::fromStdString(FormatFixed2(*band.t30S, decimalSeparator)) +
                                            QStringLiteral(" s")
                                      : QStringLiteral("no T30");
        PrintAtPx(surface, left + 86, middle, t30, TextAnchor::MiddleLeft);
        rowTop += kLegendRowPx;
    }
    const int middle = rowTop + kLegendRowPx / 2 + 6;
    for (int x = 0; x < 20; x += kDashPx + kDashGapPx) {
        FillPx(surface, QRect(left + x, middle - 1, std::min(kDashPx, 20 - x), kCurveWidthPx), Qt::black);
    }
    PrintAtPx(surface, left + 26, middle, QStringLiteral("T30 line, to -60 dB"), TextAnchor::MiddleLeft);
}

std::vector<BandParameters> DecayBandsShown(const std::vector<BandParameters>& bands, int bandHz)
{
    if (bandHz == kBroadband) return bands;
    std::vector<BandParameters> shown;
    for (const BandParameters& band : bands) {
        if (band.nominalHz == bandHz) shown.push_back(band);
    }
    return shown.empty() ? bands : shown;
}

}  // namespace halvane
