#include "display/report/ComparisonPage.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <limits>

#include "display/maps/EnergyMapPainter.h"
#include "display/report/ReportPage.h"
#include "report/ArrivalTable.h"
#include "report/ComparisonTables.h"

namespace halvane {
namespace {

constexpr double kMapsShare = 0.42;  // of the page's height, at most
constexpr int kReportMapColumns = 2;
constexpr std::size_t kArrivalRows = 24;  // more would run off the page
const QColor kFlagColour(170, 0, 0);

double PaintTitle(QPainter& painter, const QRectF& area, const ComparisonInput& input)
{
    painter.save();
    QFont big = painter.font();
    big.setBold(true);
    if (big.pointSizeF() > 0) big.setPointSizeF(1.6 * big.pointSizeF());
    if (big.pixelSize() > 0) big.setPixelSize(static_cast<int>(std::lround(1.6 * big.pixelSize())));
    painter.setFont(big);
    const double titleHeight = QFontMetricsF(big).height();
    painter.drawText(QRectF(area.left(), area.top(), area.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Comparison of two responses"));
    painter.restore();
    const double line = QFontMetricsF(painter.font()).height();
    double top = area.top() + 1.2 * titleHeight;
    for (const QString& text : ComparisonTitleLines(input)) {
        painter.drawText(QRectF(area.left(), top, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, text);
        top += line;
    }
    painter.setPen(QPen(QColor(120, 120, 120), line / 14));
    painter.drawLine(QPointF(area.left(), top + line / 4), QPointF(area.right(), top + line / 4));
    painter.setPen(Qt::black);
    return top + line / 2 - area.top();
}

// The whole response's parameters, then the octave bands' beyond their JND.
std::vector<std::vector<std::string>> ParameterRows(const std::vector<ParameterDifference>& parameters,
                                                    std::size_t& flagged)
{
    std::vector<std::vector<std::string>> rows;
    flagged = 0;
    for (const ParameterDifference& p : parameters) {
        flagged += p.beyondJnd ? 1 : 0;
        if (p.band == "all") rows.push_back(ParameterComparisonFields(p));
    }
    for (const ParameterDifference& p : parameters) {
        if (p.band != "all" && p.beyondJnd) rows.push_back(ParameterComparisonFields(p));
    }
    return rows;
}

double PaintNote(QPainter& painter, double left, double top, double width, const QString& text)
{
    const double line = QFontMetricsF(painter.font()).height();
    painter.drawText(QRectF(left, top, width, line), Qt::AlignLeft | Qt::AlignVCenter, text);
    return line;
}

double PaintTables(QPainter& painter, const QRectF& area, const Comparison& c)
{
    const double gap = QFontMetricsF(painter.font()).height();
    double top = area.top();
    top +=
        PaintHeading(painter, area.left(), top, area.width(),
                     QStringLiteral("Room parameters (ISO 3382-1), B less A, beyond the just noticeable difference"));
    std::size_t flagged = 0;
    const auto rows = ParameterRows(c.parameters, flagged);
    if (rows.empty()) {
        top += PaintNote(painter, area.left(), top, area.width(), QStringLiteral("No room parameters to compare."));
    } else {
        top += PaintTable(painter, QRectF(area.left(), top, area.width(), 0), ParameterComparisonColumns(), rows);
        painter.save();
        if (flagged > 0) painter.setPen(kFlagColour);
        top += PaintNote(painter, area.left(), top, area.width(),
                         flagged == 0 ? QStringLiteral("No parameter of any band is beyond its just noticeable "
                                                       "difference.")
                                      : QStringLiteral("%1 beyond their just noticeable difference in all bands, "
                                                       "the octave bands shown only there (every value: "
                                                       "--compare-room).")
                                            .arg(flagged));
        painter.restore();
    }
    top += gap;
    top += PaintHeading(painter, area.left(), top, area.width(),
                        QStringLiteral("Arrivals matched one to one (within 0.5 ms and 10\u00B0), B's time in A's"));
    std::vector<std::vector<std::string>> arrivals;
    for (const ArrivalPair& pair : c.arrivals) {
        if (arrivals.size() < kArrivalRows) arrivals.push_back(ArrivalComparisonFields(pair));
    }
    if (arrivals.empty()) {
        top += PaintNote(painter, area.left(), top, area.width(), QStringLiteral("No arrivals in either."));
    } else {
        top += PaintTable(painter, QRectF(area.left(), top, area.width(), 0), ArrivalComparisonColumns(), arrivals);
        if (c.arrivals.size() > arrivals.size())
            top += PaintNote(painter, area.left(), top, area.width(),
                             QStringLiteral("... and %1 more (every one: --compare-arrivals).")
                                 .arg(c.arrivals.size() - arrivals.size()));
    }
    return top - area.top();
}

}  // namespace

EnergyMapSet DifferenceMaps(const std::vector<MapDifference>& maps)
{
    EnergyMapSet set;
    set.estimator = MapEstimator::Histogram;
    for (const MapDifference& difference : maps) {
        EnergyMap map;
        map.range = difference.range;
        map.toMs = difference.range.toMs.value_or(std::numeric_limits<double>::infinity());
        for (const std::optional<double>& db : difference.differenceDb)
            map.levelDb.push_back(db.value_or(std::numeric_limits<double>::quiet_NaN()));
        set.maps.push_back(std::move(map));
    }
    return set;
}

std::vector<QString> ComparisonTitleLines(const ComparisonInput& input)
{
    const Comparison& c = input.comparison;
    QString aligned = QStringLiteral("B aligned to A on the direct sound (B's came %1 ms later)")
                          .arg(QString::fromStdString(FormatArrivalNumber(c.lagMs, 3)));
    if (c.rotationDeg)
        aligned +=
            QStringLiteral(", turned by %1\u00B0").arg(QString::fromStdString(FormatArrivalNumber(*c.rotationDeg, 2)));
    aligned +=
        c.calibrated ? QStringLiteral("; levels as measured") : QStringLiteral("; levels each re its own direct sound");
    std::vector<QString> lines = {QStringLiteral("A: ") + QString::fromStdString(input.fileA),
                                  QStringLiteral("B: ") + QString::fromStdString(input.fileB), aligned};
    if (!input.date.isEmpty() || !input.version.isEmpty())
        lines.push_back(QStringLiteral("Drawn %1 by Halvane %2").arg(input.date, input.version));
    return lines;
}

double PaintComparisonPage(QPainter& painter, const QRectF& page, const ComparisonInput& input, bool tables)
{
    const QFontMetricsF metrics(painter.font());
    const double gap = metrics.height();
    double top = page.top() + PaintTitle(painter, page, input) + gap / 2;
    top += PaintHeading(painter, page.left(), top, page.width(),
                        QStringLiteral("Difference of the energy maps, B less A"));
    const EnergyMapSet set = DifferenceMaps(input.comparison.maps);
    if (set.maps.empty()) {
        top += PaintNote(painter, page.left(), top, page.width(), QStringLiteral("No map differences were made."));
    } else {
        EnergyMapStyle style;
        style.difference = true;
        const EnergyMapRow row{&set, {}, style, tables ? kReportMapColumns : 0};
        const double height = tables ? kMapsShare * page.height() : page.bottom() - top;
        top += PaintEnergyMapRow(painter, QRectF(page.left(), top, page.width(), height), row);
    }
    if (tables) {
        top += gap;
        top += PaintTables(painter, QRectF(page.left(), top, page.width(), page.bottom() - top), input.comparison);
    }
    return top - page.top();
}

QImage RenderComparisonPicture(const ComparisonInput& input)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    // Drawn once on a tall picture to learn the height, then cut to it.
    QImage picture(kComparisonPictureWidthPx, 2000, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setFont(font);
    const double margin = 10;
    const double used =
        PaintComparisonPage(painter, QRectF(margin, margin, kComparisonPictureWidthPx - 2 * margin, 520), input, false);
    painter.end();
    return picture.copy(0, 0, kComparisonPictureWidthPx, static_cast<int>(std::ceil(used + 2 * margin)));
}

Result<std::string> ComparisonPdfBytes(const ComparisonInput& input)
{
    return OnePagePdf(QString::fromStdString(input.fileA + " and " + input.fileB), input.version,
                      [&](QPainter& painter, const QRectF& page) { PaintComparisonPage(painter, page, input, true); });
}

}  // namespace halvane
