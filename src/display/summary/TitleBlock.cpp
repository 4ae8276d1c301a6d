#include "display/summary/TitleBlock.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "display/summary/PlotFrame.h"

namespace halvane {

TitleFacts TitleFactsOf(const AnalysisResults& results, const QString& date, const QString& version,
                        char decimalSeparator)
{
    TitleFacts facts;
    facts.fileName = QString::fromStdString(results.irFileName);
    facts.lines << (results.bandHz == kBroadband ? QStringLiteral("Band: broadband (unfiltered)")
                                                 : QStringLiteral("Band: %1 Hz octave").arg(results.bandHz));
    facts.lines << QStringLiteral("Skip %1 ms, display %2 ms, averaging window %3 ms")
                       .arg(PlotNumber(results.skipMs, decimalSeparator),
                            PlotNumber(results.displayWindowMs, decimalSeparator),
                            PlotNumber(results.averagingWindowMs, decimalSeparator));
    QString read = QStringLiteral("Read as AmbiX/SN3D (W, Y, Z, X)");
    if (!results.conventionNotice.empty()) {
        read += QStringLiteral("; warning: ") + QString::fromStdString(results.conventionNotice);
    }
    facts.lines << read;
    if (!date.isEmpty() || !version.isEmpty()) {
        QString drawn = QStringLiteral("Drawn");
        if (!date.isEmpty()) drawn += QStringLiteral(" ") + date;
        if (!version.isEmpty()) drawn += QStringLiteral(" by Halvane ") + version;
        facts.lines << drawn;
    }
    return facts;
}

QString DrawingDate()
{
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch != nullptr && *epoch != '\0') {
        long long seconds = 0;
        const char* end = epoch + std::strlen(epoch);
        const auto read = std::from_chars(epoch, end, seconds);
        if (read.ec == std::errc() && read.ptr == end) {
            return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).date().toString(Qt::ISODate);
        }
    }
    return QDateTime::currentDateTimeUtc().date().toString(Qt::ISODate);
}

double PaintTitleBlock(QPainter& painter, const QRectF& rect, const TitleFacts& facts)
{
    painter.save();
    painter.setClipRect(rect);
    painter.setPen(Qt::black);
    const QFont base = painter.font();
    QFont title = base;
    title.setBold(true);
    if (base.pointSizeF() > 0) {
        title.setPointSizeF(base.pointSizeF() * 1.4);
    } else {
        title.setPixelSize(static_cast<int>(base.pixelSize() * 1.4));
    }
    painter.setFont(title);
    const QFontMetricsF titleMetrics(title);
    double y = rect.top();
    QRectF used;
    painter.drawText(QRectF(rect.left(), y, rect.width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignTop,
                     facts.fileName);
    y += 1.15 * titleMetrics.height();
    painter.setFont(base);
    for (const QString& line : facts.lines) {
        const QRectF box(rect.left(), y, rect.width(), rect.bottom() - y);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, line, &used);
        y += used.height();
    }
    y += QFontMetricsF(base).height() * 0.3;
    painter.setPen(QPen(QColor(120, 120, 120), QFontMetricsF(base).height() / 14));
    painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
    painter.restore();
    return std::min(y - rect.top() + QFontMetricsF(base).height() * 0.3, rect.height());
}

}  // namespace halvane
