#include "display/PictureBoxes.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include "display/DrawingSurface.h"
#include "display/PlaceholderPicture.h"

namespace halvane {

// Pictures print without anti-aliasing (so the XOR pen and repeated
// printing act on whole pixels), and narrowed hinted digits lose their
// shape there (a 0 reads as a D).
QFont PictureTextFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(QFont::Unstretched);
    return font;
}

namespace {

DrawingSurface* MakeBox(QSize size, QColor backColour, QWidget* parent)
{
    auto* box = new DrawingSurface(size, backColour, parent);
    box->setFont(PictureTextFont());
    return box;
}

}  // namespace

DrawingSurface* CreateDirectionMap(QWidget* parent)
{
    auto* map = MakeBox(kDirectionMapBoxPx, QGuiApplication::palette().color(QPalette::Button), parent);
    map->SetScale(180, 90, -360, -180);
    map->SetBackgroundPicture(MakePlaceholderPicture());
    map->Clear();
    return map;
}

DrawingSurface* CreatePolarView(QWidget* parent)
{
    auto* polar = MakeBox(QSize(228, 230), Qt::white, parent);
    polar->SetScale(-1, 1, 2, -2);
    return polar;
}

DrawingSurface* CreateTimeStrip(QWidget* parent)
{
    auto* strip = MakeBox(QSize(961, 185), Qt::white, parent);
    // Until a run sets the horizontal part, a stretch of 1000 ms from 0.
    strip->SetScale(0, 100, 1000, -60);
    return strip;
}

}  // namespace halvane
