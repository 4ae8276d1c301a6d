#include "display/PlaceholderPicture.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace halvane {

namespace {

constexpr int PictureWidthPx = 1200;
constexpr int PictureHeightPx = 600;
// What of the picture the map's drawing area shows; the text must stay inside.
constexpr int SeenWidthPx = 957;
constexpr int SeenHeightPx = 477;
constexpr int TextCapHeightPx = 60;
constexpr int SeenMarginPx = 8;

const char* const TextLines[] = {"Click here to load", "background image"};

// The largest plain sans-serif font, up to letters TextCapHeightPx high, in
// which both lines fit the seen part when centred on the picture's centre.
QFont PlaceholderFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    for (int pixelSize = TextCapHeightPx * 4 / 3; pixelSize > 8; --pixelSize) {
        font.setPixelSize(pixelSize);
        const QFontMetrics metrics(font);
        if (metrics.capHeight() > TextCapHeightPx) {
            continue;
        }
        int widest = 0;
        for (const char* line : TextLines) {
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(line)));
        }
        const bool fitsAcross = PictureWidthPx / 2 + widest / 2 <= SeenWidthPx - SeenMarginPx;
        const bool fitsDown = PictureHeightPx / 2 + metrics.height() <= SeenHeightPx - SeenMarginPx;
        if (fitsAcross && fitsDown) {
            return font;
        }
    }
    return font;
}

}  // namespace

QImage MakePlaceholderPicture()
{
    QImage picture(PictureWidthPx, PictureHeightPx, QImage::Format_RGB32);
    picture.fill(PlaceholderFieldRgb);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor::fromRgb(PlaceholderGridRgb));
    for (int x = 0; x < PictureWidthPx; x += PlaceholderGridStepPx) {
        painter.drawLine(x, 0, x, PictureHeightPx - 1);
    }
    for (int y = 0; y < PictureHeightPx; y += PlaceholderGridStepPx) {
        painter.drawLine(0, y, PictureWidthPx - 1, y);
    }

    const QFont font = PlaceholderFont();
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(PlaceholderTextRgb));
    // One line above the centre, one below, each centred horizontally.
    const int lineHeight = metrics.height();
    const QRect upper(0, PictureHeightPx / 2 - lineHeight, PictureWidthPx, lineHeight);
    const QRect lower(0, PictureHeightPx / 2, PictureWidthPx, lineHeight);
    painter.drawText(upper, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromLatin1(TextLines[0]));
    painter.drawText(lower, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromLatin1(TextLines[1]));
    return picture;
}

}  // namespace halvane
