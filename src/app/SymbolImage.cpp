#include "app/SymbolImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace halvane {

namespace {

constexpr int PictureSizePx = 32;
constexpr int FramePx = 2;

bool IsBlack(Symbol symbol, int x, int y)
{
    switch (symbol) {
    case Symbol::Pause:
        return y >= 1 && y <= 30 && ((x >= 2 && x <= 15) || (x >= 18 && x <= 30));
    case Symbol::Play: {
        // The sides run from (4, 3) and (4, 29) to the apex (28, 16): 13 rows
        // over 24 columns, compared in whole numbers.
        if (x < 4 || x > 28) {
            return false;
        }
        const int run = 13 * (x - 4);
        return 24 * (y - 3) >= run && 24 * (29 - y) >= run;
    }
    case Symbol::Stop:
        return x >= 2 && x <= 29 && y >= 2 && y <= 29;
    }
    return false;
}

}  // namespace

QImage MakeSymbolPicture(Symbol symbol)
{
    QImage picture(PictureSizePx, PictureSizePx, QImage::Format_RGB32);
    for (int y = 0; y < PictureSizePx; ++y) {
        for (int x = 0; x < PictureSizePx; ++x) {
            picture.setPixel(x, y, IsBlack(symbol, x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return picture;
}

SymbolImage::SymbolImage(Symbol symbol, QWidget* parent) : QWidget(parent), m_picture(MakeSymbolPicture(symbol))
{
    setFixedSize(PictureSizePx + 2 * FramePx, PictureSizePx + 2 * FramePx);
    setFocusPolicy(Qt::NoFocus);
}

void SymbolImage::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), true);
    painter.drawImage(FramePx, FramePx, m_picture);
}

void SymbolImage::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void SymbolImage::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) {
        emit Clicked();
    }
}

}  // namespace halvane
