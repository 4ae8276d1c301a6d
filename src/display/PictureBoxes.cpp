#include "display/PictureBoxes.h"

#include <QGuiApplication>
#include <QPalette>

#include "display/DrawingSurface.h"
#include "display/PlaceholderPicture.h"

namespace halvane {

DrawingSurface* CreateDirectionMap(QWidget* parent) {
    auto* map = new DrawingSurface(QSize(961, 481), QGuiApplication::palette().color(QPalette::Button), parent);
    map->SetScale(180, 90, -360, -180);
    map->SetBackgroundPicture(MakePlaceholderPicture());
    map->Clear();
    return map;
}

DrawingSurface* CreatePolarView(QWidget* parent) {
    auto* polar = new DrawingSurface(QSize(228, 230), Qt::white, parent);
    polar->SetScale(-1, 1, 2, -2);
    return polar;
}

DrawingSurface* CreateTimeStrip(QWidget* parent) {
    auto* strip = new DrawingSurface(QSize(961, 185), Qt::white, parent);
    // Until a run sets the horizontal part, a stretch of 1000 ms from 0.
    strip->SetScale(0, 100, 1000, -60);
    return strip;
}

}  // namespace halvane
