#include "display/results/ResultsExport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>

#include <sstream>

#include "analysis/arrivals/Arrivals.h"
#include "analysis/maps/EnergyMaps.h"
#include "display/report/ReportPage.h"
#include "display/summary/SummaryPicture.h"
#include "display/summary/TitleBlock.h"
#include "files/ReplacingFile.h"
#include "report/ArrivalTable.h"
#include "report/RoomParameterTable.h"

namespace halvane {

ExportPlan PlanExport(const QString& folder, const QString& inputPath)
{
    const QString stem = QDir(folder).filePath(QFileInfo(inputPath).completeBaseName());
    return {stem + QStringLiteral("_arrivals.csv"), stem + QStringLiteral("_room.csv"),
            stem + QStringLiteral("_summary.png"), stem + QStringLiteral("_report.pdf")};
}

QString ShellWord(const QString& word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./=+:,@%-]+$"));
    if (plain.match(word).hasMatch()) return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString BatchCommandOf(const ExportPlan& plan, const ResultsSettings& settings, const QString& inputPath,
                       const QString& backgroundPath)
{
    QStringList words{QStringLiteral("halvane-batch"),
                      QStringLiteral("--skip"),
                      QString::fromStdString(settings.skipMs),
                      QStringLiteral("--display"),
                      QString::fromStdString(settings.displayMs),
                      QStringLiteral("--window"),
                      QString::fromStdString(settings.windowMs),
                      QStringLiteral("--reflections"),
                      plan.arrivalList,
                      QStringLiteral("--room-parameters"),
                      plan.roomParameters,
                      QStringLiteral("--png"),
                      plan.summaryPicture,
                      QStringLiteral("--report"),
                      plan.report};
    if (!backgroundPath.isEmpty()) words << QStringLiteral("--background") << backgroundPath;
    words << inputPath;
    QStringList quoted;
    for (const QString& word : words) quoted << ShellWord(word);
    return quoted.join(QLatin1Char(' '));
}

std::string ArrivalListBytes(const ResponseResults& response)
{
    std::ostringstream list;
    WriteArrivalTable(list, response.findings.arrivals, SpeedOfSoundMPerS(std::nullopt), std::nullopt);
    return list.str();
}

std::string RoomParameterBytes(const ResponseResults& response)
{
    std::ostringstream table;
    WriteRoomParameterTable(table, response.results.roomParameters);
    return table.str();
}

namespace {

// What halvane-batch hands its picture program for --png and --report: the
// results with the energy maps of the default ranges, the date and version.
SummaryInput PictureInput(const ResponseResults& response, const QImage& background)
{
    SummaryInput input;
    input.results = response.results;
    input.background = background;
    if (response.signal) {
        auto maps = ComputeEnergyMaps(*response.signal, EnergyMapOptions{}, response.results.roomParameters);
        if (maps) input.results.energyMaps = std::move(*maps);
    }
    input.date = DrawingDate();
    input.version = QStringLiteral(HALVANE_VERSION);
    return input;
}

}  // namespace

Result<std::string> ReportBytes(const ResponseResults& response, const QImage& background)
{
    const SummaryInput input = PictureInput(response, background);
    return ReportPdfBytes(ReportInput{input.results, input.background, input.mapRangeDb, input.date, input.version});
}

Result<std::string> SummaryPictureBytes(const ResponseResults& response, const QImage& background)
{
    const SummaryInput input = PictureInput(response, background);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(RenderSummary(input))) {
        return Failure{"the picture cannot be encoded: " + writer.errorString().toStdString()};
    }
    return png.toStdString();
}

Result<> WriteExportFile(const QString& path, const std::string& bytes)
{
    const std::string name = QFile::encodeName(path).toStdString();
    if (const auto written = WriteReplacing(name, bytes); !written) {
        return Failure{path.toStdString() + " cannot be written: " + written.Message()};
    }
    return {};
}

}  // namespace halvane
