#pragma once

#include <QImage>
#include <QWidget>

namespace halvane {

enum class Symbol { Pause, Play, Stop };

// The 32 x 32 black-on-white picture of a run-control symbol:
// pause: two bars, x 2-15 and 18-30, y 1-30;
// play: a triangle with its left side at x 4 from y 3 to 29 and its apex at (28, 16);
// stop: a square, x 2-29, y 2-29.
QImage MakeSymbolPicture(Symbol symbol);

// An image control: the symbol's picture in a 2 px sunken frame (36 x 36 px)
// that reports left-button clicks. Takes no keyboard focus.
class SymbolImage : public QWidget {
    Q_OBJECT

public:
    SymbolImage(Symbol symbol, QWidget* parent = nullptr);

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    bool m_pressed = false;
};

}  // namespace halvane
