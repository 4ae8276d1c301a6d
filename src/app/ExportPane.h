#pragma once

#include <QString>
#include <QWidget>

#include "analysis/results/ResponseAnalysis.h"
#include "display/results/ResultsExport.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace halvane {

// The results window's export: into a folder (the input's own at first),
// the arrival list and the room-parameter table (CSV), the summary picture
// (PNG) and the one-page report (PDF), each what halvane-batch writes from
// the same analyses (display/results/ResultsExport.h), one button each and
// one for all, with
// the batch command that writes the same files shown for copying. What was
// written, or why not, is listed in the pane: no message box.
class ExportPane : public QWidget {
    Q_OBJECT

public:
    explicit ExportPane(QWidget* parent = nullptr);

    // What is exported: response (nullptr: nothing, the buttons are off),
    // analysed from inputPath with settings, and the picture file behind the
    // summary's map (empty: none).
    void SetResults(const ResponseResults* response, const QString& inputPath, const ResultsSettings& settings,
                    const QString& backgroundPath);
    void SetFolder(const QString& folder);

    // The files of the export where they go now, and the command.
    ExportPlan Plan() const;
    QString BatchCommand() const;
    // The pane's list of what was written and what was not, one line each.
    QString Log() const;

public slots:
    void WriteArrivalList();
    void WriteRoomParameters();
    void WriteSummaryPicture();
    void WriteReport();
    void WriteAll();
    // The folder dialog, for the folder's "..." button.
    void ChooseFolder();

private:
    void Refresh();
    void Write(const QString& what, const QString& path, const Result<std::string>& bytes);
    // The picture behind the maps (null: none), or why it cannot be read.
    Result<QImage> Background() const;

    const ResponseResults* m_response = nullptr;
    QString m_inputPath;
    ResultsSettings m_settings;
    QString m_backgroundPath;

    QLineEdit* m_folder = nullptr;
    QLabel* m_names = nullptr;
    QLineEdit* m_command = nullptr;
    QPlainTextEdit* m_log = nullptr;
    std::vector<QPushButton*> m_buttons;
};

}  // namespace halvane
