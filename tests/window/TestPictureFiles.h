#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

namespace halvane::test {

// Writes bytes to path (replacing the file) and gives the path back.
inline QString WriteTestFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

// A 960 x 480 panorama of one colour as JPEG bytes (quality 95: the colour
// comes back within a few steps).
inline QByteArray PlainPanoramaJpeg(QRgb colour)
{
    QImage panorama(960, 480, QImage::Format_RGB32);
    panorama.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    panorama.save(&buffer, "JPG", 95);
    return bytes;
}

}  // namespace halvane::test
