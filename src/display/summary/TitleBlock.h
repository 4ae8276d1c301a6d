#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>

#include "values/AnalysisResults.h"

class QPainter;

namespace halvane {

// The title block of the summary picture and of the report: what was
// analysed and how, so that a picture passed on says it itself.
struct TitleFacts {
    QString fileName;  // the input as the command named it
    // The lines under it: the band; the skip, display and averaging window
    // lengths; the convention the file was read in; when and by what it was drawn.
    QStringList lines;
};

// The facts of results: "Band: broadband (unfiltered)" or "Band: 500 Hz
// octave"; "Skip 0 ms, display 1000 ms, averaging window 5 ms" (the numbers
// in the general form, decimalSeparator); "Read as AmbiX/SN3D (W, Y, Z, X)",
// with the convention check's sentence after it when another convention is
// likelier; "Drawn DATE by Halvane VERSION" when date or version is given.
TitleFacts TitleFactsOf(const AnalysisResults& results, const QString& date, const QString& version,
                        char decimalSeparator);

// The date a picture is drawn on, for its title block: that of
// SOURCE_DATE_EPOCH (seconds since 1970, for pictures that come out the same
// byte for byte) when it is set and a whole number, else today's, in UTC,
// as YYYY-MM-DD.
QString DrawingDate();

// The block in rect: the file name in bold at 1.4 times the painter's font,
// then each line in the painter's font, long lines wrapped at words, a thin
// rule under it all. Returns the height used (at most rect's; what does not
// fit is cut). Leaves the painter's state as it was.
double PaintTitleBlock(QPainter& painter, const QRectF& rect, const TitleFacts& facts);

}  // namespace halvane
