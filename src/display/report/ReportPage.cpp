#include "display/report/ReportPage.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <memory>

#include "display/DrawingSurface.h"
#include "display/maps/EnergyMapPainter.h"
#include "display/summary/DecayPlot.h"
#include "display/summary/TitleBlock.h"
#include "report/ArrivalTable.h"
#include "report/RoomParameterTable.h"

namespace halvane {
namespace {

constexpr int kPdfDpi = 300;
constexpr double kMarginMm = 15;
constexpr double kFontPoints = 8;
constexpr std::size_t kReflectionRows = 10;
// The decay plot is drawn on the summary's surface at its own pixel size and
// scaled to the page's width.
constexpr int kDecayWidthPx = 620;
constexpr int kDecayHeightPx = 380;
// The maps, two a row, take at most this share of the page's height, the
// decay plot beside the reflections at most this.
constexpr double kMapsShare = 0.42;
constexpr int kMapColumns = 2;
constexpr double kDecayShare = 0.25;
constexpr double kReflectionsShare = 0.56;  // of the width, the rest the decay plot's

}  // namespace

double PaintHeading(QPainter& painter, double left, double top, double width, const QString& text)
{
    painter.save();
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    const double height = QFontMetricsF(bold).height();
    painter.drawText(QRectF(left, top, width, height), Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.restore();
    return 1.25 * height;
}

double PaintTable(QPainter& painter, const QRectF& area, const std::vector<std::string>& header,
                  const std::vector<std::vector<std::string>>& rows)
{
    painter.save();
    const QFont plain = painter.font();
    QFont bold = plain;
    bold.setBold(true);
    const QFontMetricsF metrics(plain);
    const QFontMetricsF boldMetrics(bold);
    const double rowHeight = 1.25 * metrics.height();
    const double gap = 2 * metrics.averageCharWidth();
    std::vector<double> widths(header.size());
    for (std::size_t c = 0; c < header.size(); ++c) {
        widths[c] = boldMetrics.horizontalAdvance(QString::fromStdString(header[c]));
        for (const auto& row : rows) {
            if (c < row.size())
                widths[c] = std::max(widths[c], metrics.horizontalAdvance(QString::fromStdString(row[c])));
        }
        widths[c] += gap;
    }
    double total = 0;
    for (const double w : widths) total += w;
    const double scale = total > area.width() ? area.width() / total : 1;
    auto paintRow = [&](const std::vector<std::string>& cells, double top) {
        double left = area.left();
        for (std::size_t c = 0; c < cells.size() && c < header.size(); ++c) {
            const QRectF cell(left, top, widths[c] * scale, rowHeight);
            painter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(cells[c]));
            left += widths[c] * scale;
        }
    };
    painter.setFont(bold);
    paintRow(header, area.top());
    painter.setFont(plain);
    painter.setPen(QPen(QColor(120, 120, 120), metrics.height() / 14));
    painter.drawLine(QPointF(area.left(), area.top() + rowHeight),
                     QPointF(area.left() + total * scale, area.top() + rowHeight));
    painter.setPen(Qt::black);
    double top = area.top() + rowHeight * 1.1;
    for (const auto& row : rows) {
        paintRow(row, top);
        top += rowHeight;
    }
    painter.restore();
    return top - area.top();
}

namespace {

std::vector<std::vector<std::string>> ReflectionRows(const AnalysisResults& r)
{
    std::vector<std::vector<std::string>> rows;
    if (r.arrivals.empty()) return rows;
    const double directMs = r.arrivals.front().timeMs;
    for (const Arrival& a : StrongestReflections(r.arrivals, kReflectionRows)) {
        rows.push_back({FormatArrivalNumber(a.timeMs, 3), FormatArrivalNumber(a.timeMs - directMs, 3),
                        FormatArrivalNumber(a.levelDb, 2), FormatArrivalNumber(a.azDeg, 2),
                        FormatArrivalNumber(a.elDeg, 2), FormatArrivalNumber(a.diffuseness, 3)});
    }
    return rows;
}

// The decay plot of the bands shown, as the summary draws it.
QImage DecayPicture(const std::vector<BandParameters>& bands, const QFont& font)
{
    DrawingSurface surface(
        QSize(kDecayWidthPx + 2 * DrawingSurface::BorderPx, kDecayHeightPx + 2 * DrawingSurface::BorderPx), Qt::white);
    surface.setFont(font);
    DrawDecayPlot(surface, bands, '.');
    return surface.Image();
}

// The font the summary's surfaces print in, at the surface's pixel size.
QFont SurfaceFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

double PaintDecay(QPainter& painter, const QRectF& area, const AnalysisResults& r)
{
    double used = PaintHeading(painter, area.left(), area.top(), area.width(), QStringLiteral("Decay curves (W)"));
    const std::vector<BandParameters> bands = DecayBandsShown(r.roomParameters, r.bandHz);
    if (bands.empty()) {
        painter.drawText(QRectF(area.left(), area.top() + used, area.width(), area.height() - used),
                         Qt::AlignLeft | Qt::AlignTop, QStringLiteral("No room parameters were computed."));
        return used + QFontMetricsF(painter.font()).height();
    }
    const QImage picture = DecayPicture(bands, SurfaceFont());
    const double height = std::min(area.height() - used, area.width() * picture.height() / picture.width());
    const double width = height * picture.width() / picture.height();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(area.left(), area.top() + used, width, height), picture);
    painter.restore();
    return used + height;
}

}  // namespace

std::vector<Arrival> StrongestReflections(const std::vector<Arrival>& arrivals, std::size_t count)
{
    std::vector<Arrival> reflections;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        if (!std::isnan(arrivals[i].levelDb)) reflections.push_back(arrivals[i]);
    }
    std::stable_sort(reflections.begin(), reflections.end(),
                     [](const Arrival& a, const Arrival& b) { return a.levelDb > b.levelDb; });
    if (reflections.size() > count) reflections.resize(count);
    return reflections;
}

void PaintReportPage(QPainter& painter, const QRectF& page, const ReportInput& input)
{
    const AnalysisResults& r = input.results;
    const QFontMetricsF metrics(painter.font());
    const double gap = metrics.height();
    double top = page.top();
    top += PaintTitleBlock(painter, QRectF(page.left(), top, page.width(), 8 * metrics.height()),
                           TitleFactsOf(r, input.date, input.version, '.')) +
           gap / 2;

    top += PaintHeading(painter, page.left(), top, page.width(), QStringLiteral("Where the energy comes from"));
    if (r.energyMaps) {
        const EnergyMapRow row{&*r.energyMaps,
                               r.arrivals,
                               {input.mapRangeDb, input.background, r.arrivalFloorDb},
                               kMapColumns,
                               r.arrivalSurfaceNames};
        top += PaintEnergyMapRow(painter, QRectF(page.left(), top, page.width(), kMapsShare * page.height()), row);
    } else {
        painter.drawText(QRectF(page.left(), top, page.width(), metrics.height()), Qt::AlignLeft,
                         QStringLiteral("No energy maps could be made of this response."));
        top += metrics.height();
    }
    top += gap;

    // The strongest reflections at the left, the decay curves beside them.
    const double half = kReflectionsShare * (page.width() - gap);
    double left = PaintHeading(painter, page.left(), top, half,
                               QStringLiteral("Strongest reflections (levels re the direct sound)"));
    const auto reflections = ReflectionRows(r);
    left += PaintTable(painter, QRectF(page.left(), top + left, half, 0),
                       {"time (ms)", "delay (ms)", "level (dB)", "Az", "El", "diffuseness"}, reflections);
    if (reflections.empty()) {
        painter.drawText(QRectF(page.left(), top + left, half, metrics.height()), Qt::AlignLeft,
                         QStringLiteral("No reflections were found above the floor."));
        left += metrics.height();
    }
    const double right = PaintDecay(
        painter, QRectF(page.left() + half + gap, top, page.width() - half - gap, kDecayShare * page.height()), r);
    top += std::max(left, right) + gap;

    top += PaintHeading(painter, page.left(), top, page.width(), QStringLiteral("Room parameters (ISO 3382-1)"));
    std::vector<std::vector<std::string>> rooms;
    for (const BandParameters& band : r.roomParameters) rooms.push_back(RoomParameterFields(band));
    PaintTable(painter, QRectF(page.left(), top, page.width(), 0), RoomParameterColumns(), rooms);
}

Result<std::string> OnePagePdf(const QString& title, const QString& version,
                               const std::function<void(QPainter&, const QRectF&)>& paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return Failure{"the report cannot be made in memory"};
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfDpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                         QPageLayout::Millimeter));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Halvane ") + version);
        QPainter painter;
        if (!painter.begin(&writer)) return Failure{"the report's page cannot be drawn"};
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setStyleHint(QFont::SansSerif);
        // No ligatures: "fi" stays two letters, so that the text reads and searches as written.
        font.setStyleStrategy(QFont::PreferNoShaping);
        font.setPointSizeF(kFontPoints);
        painter.setFont(font);
        const QRect page = writer.pageLayout().paintRectPixels(kPdfDpi);
        paint(painter, QRectF(0, 0, page.width(), page.height()));
        painter.end();
    }
    return bytes.toStdString();
}

Result<std::string> ReportPdfBytes(const ReportInput& input)
{
    return OnePagePdf(QString::fromStdString(input.results.irFileName), input.version,
                      [&](QPainter& painter, const QRectF& page) { PaintReportPage(painter, page, input); });
}

}  // namespace halvane
