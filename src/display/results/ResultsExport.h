#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <string>

#include "analysis/results/ResponseAnalysis.h"
#include "values/Result.h"

namespace halvane {

// The files the results window exports, each made by the code that makes
// halvane-batch's output of the same kind from the same analyses, so that
// the bytes are the batch command's (BatchCommandOf gives the command).

// Where an export puts its files: in one folder, the input's name without
// its extension and a suffix each (hall.wav: hall_arrivals.csv,
// hall_room.csv, hall_summary.png, hall_report.pdf), beside the window's own two tables
// (hall.csv, hall_ref.csv) without touching them.
struct ExportPlan {
    QString arrivalList;     // halvane-batch --reflections
    QString roomParameters;  // --room-parameters
    QString summaryPicture;  // --png, with --room-parameters (its decay curves)
    QString report;          // --report
};
ExportPlan PlanExport(const QString& folder, const QString& inputPath);

// The halvane-batch command writing every file of plan from inputPath with
// settings (and backgroundPath behind the picture's map unless empty), each
// argument quoted for a POSIX shell where it needs to be. The command also
// writes the window's two tables beside the input, as every batch run does.
QString BatchCommandOf(const ExportPlan& plan, const ResultsSettings& settings, const QString& inputPath,
                       const QString& backgroundPath);

// One argument for a POSIX shell: as it is when it holds only letters,
// digits and "-_./=+:,@%", else in single quotes (a quote inside as '\'').
QString ShellWord(const QString& word);

// The arrival list (report/ArrivalTable.h) with the batch's defaults: the
// speed of sound at 343 m/s, no source distance.
std::string ArrivalListBytes(const ResponseResults& response);
// The room-parameter table (report/RoomParameterTable.h).
std::string RoomParameterBytes(const ResponseResults& response);
// The summary picture (display/summary/SummaryPicture.h) of the results with
// their room parameters, background behind its map (null: none), as a PNG
// file's bytes. Needs a QApplication.
Result<std::string> SummaryPictureBytes(const ResponseResults& response, const QImage& background);
// The one-page report (display/report/ReportPage.h) of the same results and
// picture, as a PDF file's bytes. Its contents are the batch command's; the
// bytes differ where every PDF writer's do (the creation time, the
// document's identifier, the order and tags of the embedded fonts). Needs a
// QGuiApplication.
Result<std::string> ReportBytes(const ResponseResults& response, const QImage& background);

// Writes bytes under path, replacing what was there only once every byte is
// written (files/ReplacingFile.h); the failure names the file and says why.
Result<> WriteExportFile(const QString& path, const std::string& bytes);

}  // namespace halvane
