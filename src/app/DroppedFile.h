#pragma once

#include <QString>

class QMimeData;

namespace halvane {

// What a file dropped on the window does.
enum class DropUse {
    Refused,                // nothing changes; the pointer showed that the drop is not taken
    ChooseImpulseResponse,  // the file becomes the next run's input, as picked with "..."
    LoadBackground,         // the picture becomes the map's background, as picked with a click on the map
};

struct DroppedFile {
    DropUse use = DropUse::Refused;
    QString path;  // the local file's absolute path; empty when refused
};

// What a drop of data at a place in the window would do. Exactly one URL
// naming an existing local file is taken: a .wav file (any case) anywhere on
// the window chooses the impulse response; a .jpg or .jpeg picture (any case)
// loads the map's background, but only when dropped on the map (onMap), the
// one surface that shows pictures. Refused: no data, no URL, several URLs
// (one file is the input, which of them would be a guess), a remote URL, a
// folder or a missing file, any other kind of file, and every drop while a
// run is under way (runUnderWay): the run took its input path at its start,
// and a new choice would put another file's name in the title over the
// running analysis, a new background would wipe the directions drawn so far.
DroppedFile ReadDrop(const QMimeData* data, bool onMap, bool runUnderWay);

}  // namespace halvane
