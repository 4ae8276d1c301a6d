#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

#include "analysis/results/ResponseAnalysis.h"

class QLabel;
class QProgressBar;
class QStackedWidget;
class QTabWidget;
class QThread;
class QTimer;

namespace halvane {

class ArrivalsPane;
class ExportPane;
class MapPane;
class RoomPane;

// The results window: a second top-level window beside the main one, showing
// what the analyses of the whole response know (the energy maps of any time
// range, the arrival list, the room parameters and their decay curves) and
// exporting the files halvane-batch
// would write from them.
//
// The analysis (analysis/results/ResponseAnalysis.h) runs on a thread of its
// own, so that both windows stay responsive; when it takes more than a
// moment a progress bar and the step under way show. Closing the window, or
// asking for another file's results, stops it within some tens of
// milliseconds. A file that cannot be analysed shows why in the window
// itself, never in a message box. Controls carry object names for tests.
class ResultsWindow : public QWidget {
    Q_OBJECT

public:
    explicit ResultsWindow(QWidget* parent = nullptr);
    // Stops an analysis under way and waits for its thread.
    ~ResultsWindow() override;

    // Shows the results of the file at path (as the file dialog gives it;
    // empty: none is chosen, and the window says so) analysed with settings,
    // backgroundPath the main window's background picture file (empty: none).
    // The same file with the same settings and background, unchanged on disk
    // since, keeps the results already shown (or under way); anything else
    // starts a new analysis and stops the one under way.
    void ShowResultsOf(const QString& path, const ResultsSettings& settings, const QString& backgroundPath);

    bool AnalysisUnderWay() const;
    // The results shown; nullptr while none are (before the first analysis
    // ends, during a new one, after a refusal).
    const ResponseResults* Results() const { return m_results.get(); }
    // What the window says over its tabs: the file and its notes, the step
    // under way, or why there are no results.
    QString StatusText() const;

signals:
    // An analysis has ended and its results or its refusal are shown.
    void AnalysisEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Job;

    void StartAnalysis();
    void ShowProgress();
    void AnalysisFinished(const std::shared_ptr<Job>& job);
    void ShowRefusal(const QString& why);
    void ShowResults();
    void StopAnalysis();

    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLabel* m_message = nullptr;
    QTabWidget* m_tabs = nullptr;
    MapPane* m_map = nullptr;
    ArrivalsPane* m_arrivals = nullptr;
    RoomPane* m_room = nullptr;
    ExportPane* m_export = nullptr;
    QTimer* m_progressTimer = nullptr;

    // What is shown, or asked for: the file, how, and the file's look when asked.
    QString m_path;
    ResultsSettings m_settings;
    QString m_backgroundPath;
    QString m_fileLook;

    std::shared_ptr<Job> m_job;  // the analysis under way; null when none is
    std::vector<std::pair<QThread*, std::shared_ptr<Job>>> m_threads;
    QElapsedTimer m_sinceStart;
    std::unique_ptr<ResponseResults> m_results;
};

}  // namespace halvane
