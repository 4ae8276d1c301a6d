#include "display/BackgroundPicture.h"

#include <QImageReader>

namespace halvane {

namespace {

// A panorama is 960 x 480; anything beyond this many pixels is refused
// before decoding rather than risking memory on a hostile header.
constexpr qint64 MaxPicturePixels = 64LL * 1024 * 1024;

}  // namespace

LoadedPicture LoadBackgroundPicture(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && static_cast<qint64>(size.width()) * size.height() > MaxPicturePixels) {
        return {QImage(), QStringLiteral("The picture %1 is too large to be shown.").arg(path)};
    }
    QImage picture = reader.read();
    if (picture.isNull()) {
        return {QImage(), QStringLiteral("The file %1 could not be read as a picture (%2).")
                              .arg(path, reader.errorString())};
    }
    return {picture, QString()};
}

}  // namespace halvane
