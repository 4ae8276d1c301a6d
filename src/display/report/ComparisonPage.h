#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

#include <string>

#include "values/ComparisonQuantities.h"
#include "values/EnergyMapQuantities.h"
#include "values/Result.h"

class QPainter;

namespace halvane {

// The comparison of two responses A and B (analysis/compare/Comparison.h)
// drawn for a person: halvane-batch --compare A.wav B.wav --png or --report.
struct ComparisonInput {
    std::string fileA, fileB;  // as the command line named them
    Comparison comparison;
    QString date;     // when it was drawn, as printed in the title
    QString version;  // the program's
};

// The map differences as energy maps for the painter in its difference mode
// (display/maps/EnergyMapPainter.h, EnergyMapStyle::difference): each
// range's cells B's level less A's in dB, not-a-number where both lie below
// the floor; the ranges' ends as given (an open end: the decay's, unknown
// here, so that every arrival of the range counts).
EnergyMapSet DifferenceMaps(const std::vector<MapDifference>& maps);

// The lines of the comparison's title: both names, how B was aligned to A
// (its lag, its turn when turned) and re what the levels are.
std::vector<QString> ComparisonTitleLines(const ComparisonInput& input);

// The page, top to bottom in page: the title; the difference of the energy
// maps per range, two a row, with the difference colour bar and its legend;
// with tables, the room parameters of both with their differences and flags
// (every parameter of the whole response's band, and of the octave bands
// those beyond their just noticeable difference), and the arrivals matched
// one to one, every field as the comparison tables write them
// (report/ComparisonTables.h). A part with nothing to show says so. Returns
// the height used. The painter's font sets every size.
double PaintComparisonPage(QPainter& painter, const QRectF& page, const ComparisonInput& input, bool tables);

// The comparison picture (--png): the title and the map differences, all
// ranges in one row, kComparisonPictureWidthPx wide and as tall as they
// need. Needs a QGuiApplication; an offscreen platform is enough.
inline constexpr int kComparisonPictureWidthPx = 1015;
QImage RenderComparisonPicture(const ComparisonInput& input);

// The comparison report (--report) as the bytes of a one-page A4 PDF,
// titled with both names. Fails, saying why, when the PDF cannot be made.
Result<std::string> ComparisonPdfBytes(const ComparisonInput& input);

}  // namespace halvane
