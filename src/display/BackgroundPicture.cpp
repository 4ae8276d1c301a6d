#include "display/BackgroundPicture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <span>

namespace halvane {

namespace {

// A panorama is 960 x 480, but a picture is decoded whole (4 bytes a pixel
// for a colour JPEG) before the map shows its top-left part. Beyond this many
// pixels it is refused from its header, before any decoding, so that a huge
// or lying picture can neither exhaust the memory nor hold the window for
// seconds. This is the one limit: the toolkit's own allocation limit (128 MB
// by default, a 32-megapixel colour picture) is raised for each picture to
// what its decoding takes, so everything within this limit is shown.
constexpr qint64 MaxPicturePixels = 64LL * 1024 * 1024;

// The toolkit's allocation limit (process-wide) set for one decoding and put
// back afterwards. A picture whose size or format the header does not give
// is allowed what a colour picture of MaxPicturePixels takes.
class AllocationAllowance {
public:
    AllocationAllowance(QSize size, QImage::Format format) : m_previousMb(QImageReader::allocationLimit())
    {
        const qint64 pixels = size.isValid() ? static_cast<qint64>(size.width()) * size.height() : MaxPicturePixels;
        // A reader that could not parse the header (no valid size) may give
        // any number as the format.
        const bool known = size.isValid() && format > QImage::Format_Invalid && format < QImage::NImageFormats;
        const int bitsPerPixel = known ? QImage::toPixelFormat(format).bitsPerPixel() : 32;
        const qint64 bytes = pixels * std::max(bitsPerPixel, 32) / 8;
        const qint64 megabytes = (bytes >> 20) + 1;  // rounded up
        QImageReader::setAllocationLimit(static_cast<int>(std::max<qint64>(megabytes, m_previousMb)));
    }
    ~AllocationAllowance() { QImageReader::setAllocationLimit(m_previousMb); }
    AllocationAllowance(const AllocationAllowance&) = delete;
    AllocationAllowance& operator=(const AllocationAllowance&) = delete;

private:
    int m_previousMb;
};

// True when the JPEG data reach their end-of-image marker. Segments are
// skipped by their lengths (a thumbnail inside one has its own end marker);
// in the entropy-coded data every 0xFF is followed by a stuffed 0x00 or a
// restart marker, so the next other marker ends the scan. Bytes after the
// end marker (a video appended by a phone) do not matter.
bool JpegReachesItsEnd(std::span<const uchar> bytes)
{
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        return false;
    }
    std::size_t position = 2;
    while (position + 1 < bytes.size()) {
        if (bytes[position] != 0xFF) {
            ++position;  // entropy-coded data
            continue;
        }
        const uchar marker = bytes[position + 1];
        if (marker == 0xD9) {
            return true;
        }
        const bool standalone =
            marker == 0xFF || marker == 0x00 || marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7);
        if (standalone) {
            position += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (position + 3 >= bytes.size()) {
            return false;
        }
        const std::size_t length = (static_cast<std::size_t>(bytes[position + 2]) << 8) | bytes[position + 3];
        if (length < 2) {
            return false;
        }
        position += 2 + length;
    }
    return false;
}

// A JPEG cut short (an interrupted copy or download) still decodes, the
// missing rows filled with grey, and the toolkit only warns on the console:
// the grey part would pass for the picture. Such a file is refused.
bool JpegFileIsComplete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    if (const uchar* mapped = file.map(0, file.size())) {
        return JpegReachesItsEnd({mapped, static_cast<std::size_t>(file.size())});
    }
    const QByteArray bytes = file.readAll();
    return JpegReachesItsEnd(
        {reinterpret_cast<const uchar*>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
}

}  // namespace

LoadedPicture LoadBackgroundPicture(const QString& path)
{
    // Only a regular file is opened: a pipe would hold the reading (and the
    // window) until something writes to it, a device could feed it forever.
    const QFileInfo info(path);
    if (!info.exists()) {
        return {QImage(), QStringLiteral("The file %1 could not be read as a picture (it does not exist).").arg(path)};
    }
    if (!info.isFile()) {
        return {QImage(),
                QStringLiteral("The file %1 could not be read as a picture (it is not a regular file).").arg(path)};
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && static_cast<qint64>(size.width()) * size.height() > MaxPicturePixels) {
        return {QImage(), QStringLiteral("The picture %1 is %2 x %3 pixels, too large to be shown "
                                         "(at most 64 megapixels; the map shows 960 x 480).")
                              .arg(path)
                              .arg(size.width())
                              .arg(size.height())};
    }
    if (reader.format() == "jpeg" && !JpegFileIsComplete(path)) {
        return {QImage(), QStringLiteral("The picture %1 is incomplete: its data end before the end of the "
                                         "picture (it may have been cut short while being copied).")
                              .arg(path)};
    }
    QImage picture;
    {
        const AllocationAllowance allowance(size, reader.imageFormat());
        picture = reader.read();
    }
    if (picture.isNull()) {
        return {QImage(),
                QStringLiteral("The file %1 could not be read as a picture (%2).").arg(path, reader.errorString())};
    }
    return {picture, QString()};
}

bool BackgroundFitsMap(QSize pictureSize)
{
    // How far a 2:1 picture's sides may be off and still fit the map.
    constexpr double kPanoramaTolerance = 0.01;
    if (pictureSize.height() <= 0 || pictureSize.width() <= 0) return false;
    const double ratio = static_cast<double>(pictureSize.width()) / pictureSize.height();
    return std::abs(ratio / 2 - 1) <= kPanoramaTolerance;
}

std::optional<QString> BackgroundWarning(QSize pictureSize)
{
    if (pictureSize.isEmpty() || BackgroundFitsMap(pictureSize)) return std::nullopt;
    return QStringLiteral("Warning: the background picture is %1 x %2 pixels, not a 2:1 panorama; it is drawn "
                          "scaled to the map, so the marks do not lie on the directions of its picture.")
        .arg(pictureSize.width())
        .arg(pictureSize.height());
}

QImage MapBackground(const QImage& picture)
{
    const QSize map(kMapPictureWidthPx, kMapPictureHeightPx);
    if (picture.isNull() || picture.size() == map || !BackgroundFitsMap(picture.size())) return picture;
    return picture.scaled(map, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace halvane
