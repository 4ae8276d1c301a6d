#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "values/AnalysisResults.h"
#include "values/Result.h"

class QPainter;

namespace halvane {

// The one-page report of an analysed response (halvane-batch --report): an
// A4 page, portrait, drawn through the same painters as the summary picture
// so that its text is text in the PDF (selectable, searchable) and its
// figures are vectors, the energy maps' cells and the decay plot excepted.
struct ReportInput {
    AnalysisResults results;
    QImage background;  // under the maps; null: none
    double mapRangeDb = 35;
    QString date;     // when it was drawn, as printed in the title block
    QString version;  // the program's
};

// The strongest reflections of an arrival list (every arrival but the
// first, the direct sound), loudest first (the earlier of equals first), at
// most count of them. Arrivals whose level is not a number are left out.
std::vector<Arrival> StrongestReflections(const std::vector<Arrival>& arrivals, std::size_t count);

// The page's parts, top to bottom, in page: the title block
// (display/summary/TitleBlock.h); the energy map of each range over the
// photo, two a row, with the colour bar and legend
// (display/maps/EnergyMapPainter.h); the ten strongest reflections (time,
// delay, level re the direct sound, Az, El, diffuseness, each as the arrival
// list writes it) with the decay curves of the run's band (of every band for
// a broadband run) beside them; and the room parameters per band, each field
// as the room-parameter table writes it (report/RoomParameterTable.h). A
// part with nothing to show says so in one line. page is in the painter's logical units; the painter's font sets
// every size.
void PaintReportPage(QPainter& painter, const QRectF& page, const ReportInput& input);

// The report as the bytes of a one-page A4 PDF file (QPdfWriter, 300 dpi,
// 15 mm margins, titled with the file name). Needs a QGuiApplication; an
// offscreen platform is enough. Fails, saying why, when the PDF cannot be made.
Result<std::string> ReportPdfBytes(const ReportInput& input);

// The parts the report pages share. A heading in bold at (left, top), with
// the gap after it: returns the height used.
double PaintHeading(QPainter& painter, double left, double top, double width, const QString& text);
// A table of text cells: the header row in bold over a rule, then the rows,
// every column right-aligned and as wide as its widest text (with a gap),
// squeezed to the area's width when wider. Returns its height.
double PaintTable(QPainter& painter, const QRectF& area, const std::vector<std::string>& header,
                  const std::vector<std::vector<std::string>>& rows);
// One A4 page (portrait, 300 dpi, 15 mm margins, 8-point DejaVu Sans) as the
// bytes of a PDF file, drawn by paint into the page's rectangle. Fails,
// saying why, when the PDF cannot be made.
Result<std::string> OnePagePdf(const QString& title, const QString& version,
                               const std::function<void(QPainter&, const QRectF&)>& paint);

}  // namespace halvane
