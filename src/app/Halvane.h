#pragma once

#include <QWidget>

#include <memory>

#include "analysis/RunAnalysis.h"
#include "analysis/SharedState.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QShortcut;
class QSlider;

namespace halvane {

class ConverterHintDialogs;
class DialogService;
class DrawingSurface;
class LiveDisplay;
class NoticeBar;
class QtRunHost;
class ResultsWindow;
class RunTitle;
class SymbolImage;

// The program's only window: every control at its fixed place, the shared
// state, and one handler per handled event, each forwarding to the named
// operation (file choice, the run, the run controls, the background picture,
// the polar diagram at activation, a file dropped on it). Closing it ends the
// program, also in the middle of a run. Controls carry their layout names as
// object names.
//
// The keyboard: Space pauses a run and lets it go on (during a run only, so
// that outside one Space still presses the focused button or types a blank),
// Escape stops it (the pause and stop symbols' operations), Ctrl+O is the
// "..." button, Ctrl+R opens the results window (also from the map's
// context menu, on the right button; the left click still loads a
// background). During the direction pass the title also names the time of
// the window shown, as the reference table writes it; the title is the
// file's again once the run ends.
class Halvane : public QWidget {
    Q_OBJECT

public:
    // dialogs: the dialogs to use (tests pass a fake); nullptr for the toolkit's own.
    explicit Halvane(DialogService* dialogs = nullptr, QWidget* parent = nullptr);
    ~Halvane() override;

    SharedState& State() { return m_state; }
    // How the last run ended, and what it wrote.
    const RunReport& LastRunReport() const { return m_lastReport; }
    bool RunUnderWay() const { return m_runUnderWay; }

    DrawingSurface& DirectionMap() { return *m_map; }
    DrawingSurface& PolarView() { return *m_polar; }
    DrawingSurface& TimeStrip() { return *m_strip; }
    // The notice over the map's bottom: empty while it is hidden.
    QString Notice() const;

    // The file chosen as the "..." dialog chooses it: the shared state's input
    // path (encoded as the system names files), the window title and the text
    // box; a notice about the previous file goes. The path is taken as it is; whether the file exists and can be read
    // is the run's to find out.
    void ChooseFile(const QString& path);
    // The map's background from a picture file, as after the map's dialog:
    // the map is cleared and shows the picture behind its drawing. A picture
    // that cannot be read gets a warning naming the file and why, and the map
    // keeps its previous background.
    void LoadBackgroundFrom(const QString& path);
    // What the command line asks for once the window shows (main calls it from
    // the event loop): irFile, when not empty, is chosen as ChooseFile does,
    // but only when it is an existing file; otherwise nothing is chosen and a
    // warning names it, at once rather than at the first Process, when the
    // mistyped name is still in mind. picturePath, when not empty, goes
    // through LoadBackgroundFrom. Both are expected absolute.
    void OpenAtStart(const QString& irFile, const QString& picturePath);

    // The results window, opened (created at the first call) over the
    // results of the file chosen now, analysed with the parameters of the
    // last run, over the map's background picture. Ctrl+R.
    void OpenResults();
    // The results window; nullptr until it is first opened.
    ResultsWindow* Results() const { return m_results.get(); }

public slots:
    // Command1: choose the impulse response.
    void ChooseImpulseResponse();
    // Command2: one whole analysis, inside the click. A click while a run is
    // under way is ignored. First the convention check halvane-convert makes:
    // a file that reads better in another common convention than AmbiX/SN3D
    // gets a notice over the map's bottom that names the command converting
    // it, and the run goes on all the same.
    void Process();
    // A click on the map: a new background picture.
    void LoadBackground();
    // The map's context menu at pos (the map's coordinates): the results
    // window, a new background picture.
    void ShowMapMenu(const QPoint& pos);

protected:
    bool event(QEvent* event) override;
    // Space during a run is the pause key, also in the text box.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A file dragged over the window: taken or refused as ReadDrop says.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLabelsAndLegend();
    void BuildControls();
    void SetFocusOrder();
    void BuildKeyboard();
    // Space: the pause symbol while the run goes on, the play symbol while it is paused.
    void PauseOrResume();
    QSlider* MakeMeter(const char* name, int x, int minimum, int maximum, int tick, int value);
    // Whether a drag at pos (window coordinates) is over the map.
    bool OnMap(const QPointF& pos) const;

    SharedState m_state;
    std::unique_ptr<DialogService> m_ownDialogs;
    DialogService* m_dialogs = nullptr;
    // The dialogs runs talk through (m_dialogs with the converter hint).
    std::unique_ptr<ConverterHintDialogs> m_runDialogs;

    QLineEdit* m_textBox = nullptr;
    QPushButton* m_chooseButton = nullptr;
    QPushButton* m_processButton = nullptr;
    QProgressBar* m_progress = nullptr;
    SymbolImage* m_pauseImage = nullptr;
    SymbolImage* m_playImage = nullptr;
    SymbolImage* m_stopImage = nullptr;
    DrawingSurface* m_map = nullptr;
    DrawingSurface* m_polar = nullptr;
    DrawingSurface* m_strip = nullptr;
    NoticeBar* m_notice = nullptr;
    QSlider* m_pgX = nullptr;
    QSlider* m_pgY = nullptr;
    QSlider* m_pgZ = nullptr;
    QSlider* m_idc = nullptr;

    std::unique_ptr<LiveDisplay> m_display;
    std::unique_ptr<QtRunHost> m_host;
    std::unique_ptr<RunTitle> m_runTitle;
    QShortcut* m_spaceKey = nullptr;
    std::unique_ptr<ResultsWindow> m_results;
    QString m_backgroundPath;  // the picture file behind the map; empty: the placeholder
    RunReport m_lastReport;
    bool m_runUnderWay = false;
    bool m_shownOnce = false;
};

}  // namespace halvane
