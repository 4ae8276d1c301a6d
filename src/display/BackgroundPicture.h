#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace halvane {

// A picture file read for the map's background.
struct LoadedPicture {
    QImage picture;  // null when the file could not be read
    QString whyNot;  // what went wrong, for the message box; empty on success
};

// Reads a picture file (JPEG, or any format the toolkit reads when a name
// was typed) at its natural size. A missing, unreadable, damaged or empty
// file gives a null picture and a message naming the file; it never throws.
// A picture above 64 megapixels (the limit the message states) and a JPEG
// that ends before its end-of-image marker are refused from their bytes,
// before decoding; every picture within the limit is decoded, whatever the
// toolkit's own allocation limit (it is raised for the decoding, and put back).
LoadedPicture LoadBackgroundPicture(const QString& path);

// True for a picture of 2:1 sides (within 1 %), an equirectangular panorama
// whose directions are the map's once scaled to it, whatever its size.
bool BackgroundFitsMap(QSize pictureSize);

// The warning line for a background that does not fit: its size and that it
// is drawn scaled, so the marks are not on the directions of its picture.
// Nothing for one that fits or for no picture.
std::optional<QString> BackgroundWarning(QSize pictureSize);

// The map's size for a background picture, in pixels: the 960 x 480 of a
// panorama at one pixel per 0.375 degree, which the map shows from its
// top-left corner (its 957 x 477 drawing area).
inline constexpr int kMapPictureWidthPx = 960;
inline constexpr int kMapPictureHeightPx = 480;

// A picture as the window's map shows it: a 2:1 panorama of any other size
// scaled (smoothly) to 960 x 480, so that its directions are the map's; a
// 960 x 480 picture, or one that is not 2:1, as it is.
QImage MapBackground(const QImage& picture);

}  // namespace halvane
