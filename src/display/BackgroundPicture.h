#pragma once

#include <QImage>
#include <QString>

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

}  // namespace halvane
