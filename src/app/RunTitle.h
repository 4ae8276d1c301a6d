#pragma once

#include <QString>

#include "analysis/RunObserver.h"

class QWidget;

namespace halvane {

// The main window's title: the chosen file's, and during the direction pass
// that title with the time of the window shown, as the reference table
// writes the window's time (15 significant digits, '.' as separator), so
// that a person can find the window's row:
//   "Halvane-Ambix - /data/room.wav - window at 120 ms"
class RunTitle final : public RunObserver {
public:
    // window must outlive this object; its title now is the file's title.
    explicit RunTitle(QWidget& window);

    // The title outside the direction pass (a file was chosen): shown at once.
    void SetFileTitle(const QString& title);
    const QString& FileTitle() const { return m_fileTitle; }

    // Each window of the direction pass: the file's title and the window's time.
    void DirectionComputed(double windowIndex, const DirectionQuantities& direction) override;
    // The run has ended, however it did: the file's title again.
    void RunEnded();

    static QString WithWindowTime(const QString& fileTitle, double timeMs);

private:
    QWidget& m_window;
    QString m_fileTitle;
};

}  // namespace halvane
