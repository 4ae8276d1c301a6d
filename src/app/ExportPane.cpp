#include "app/ExportPane.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "display/BackgroundPicture.h"

namespace halvane {

ExportPane::ExportPane(QWidget* parent) : QWidget(parent)
{
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("ExportFolder"));
    auto* chooseFolder = new QPushButton(QStringLiteral("..."), this);
    chooseFolder->setObjectName(QStringLiteral("ExportFolderButton"));
    chooseFolder->setToolTip(QStringLiteral("Choose the folder the files go to"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(chooseFolder);

    m_names = new QLabel(this);
    m_names->setObjectName(QStringLiteral("ExportNames"));
    m_names->setTextInteractionFlags(Qt::TextSelectableByMouse);

    const struct {
        const char* name;
        const char* caption;
        void (ExportPane::*write)();
    } buttons[] = {
        {"ExportArrivals", "Arrival list (CSV)", &ExportPane::WriteArrivalList},
        {"ExportRoom", "Room parameters (CSV)", &ExportPane::WriteRoomParameters},
        {"ExportPicture", "Summary picture (PNG)", &ExportPane::WriteSummaryPicture},
        {"ExportReport", "Report (PDF)", &ExportPane::WriteReport},
        {"ExportAll", "All of them", &ExportPane::WriteAll},
    };
    auto* buttonRow = new QHBoxLayout;
    for (const auto& button : buttons) {
        auto* push = new QPushButton(QString::fromLatin1(button.caption), this);
        push->setObjectName(QString::fromLatin1(button.name));
        connect(push, &QPushButton::clicked, this, button.write);
        buttonRow->addWidget(push);
        m_buttons.push_back(push);
    }
    buttonRow->addStretch(1);

    m_command = new QLineEdit(this);
    m_command->setObjectName(QStringLiteral("ExportCommand"));
    m_command->setReadOnly(true);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("ExportLog"));
    m_log->setReadOnly(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Folder:"), folderRow);
    form->addRow(QStringLiteral("Files:"), m_names);
    form->addRow(QStringLiteral("Write:"), buttonRow);
    form->addRow(QStringLiteral("The same files from halvane-batch:"), m_command);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_log, 1);

    connect(m_folder, &QLineEdit::textChanged, this, &ExportPane::Refresh);
    connect(chooseFolder, &QPushButton::clicked, this, &ExportPane::ChooseFolder);
    Refresh();
}

void ExportPane::SetResults(const ResponseResults* response, const QString& inputPath, const ResultsSettings& settings,
                            const QString& backgroundPath)
{
    const bool newInput = inputPath != m_inputPath;
    m_response = response;
    m_inputPath = inputPath;
    m_settings = settings;
    m_backgroundPath = backgroundPath;
    if (newInput || m_folder->text().isEmpty()) {
        m_folder->setText(inputPath.isEmpty() ? QString() : QFileInfo(inputPath).absolutePath());
    }
    Refresh();
}

void ExportPane::SetFolder(const QString& folder) { m_folder->setText(folder); }

ExportPlan ExportPane::Plan() const { return PlanExport(m_folder->text(), m_inputPath); }

QString ExportPane::BatchCommand() const { return m_command->text(); }

QString ExportPane::Log() const { return m_log->toPlainText(); }

void ExportPane::Refresh()
{
    const bool ready = m_response != nullptr && !m_folder->text().isEmpty();
    for (QPushButton* button : m_buttons) button->setEnabled(ready);
    if (m_inputPath.isEmpty()) {
        m_names->clear();
        m_command->clear();
        return;
    }
    const ExportPlan plan = Plan();
    m_names->setText(QStringList{QFileInfo(plan.arrivalList).fileName(), QFileInfo(plan.roomParameters).fileName(),
                                 QFileInfo(plan.summaryPicture).fileName(), QFileInfo(plan.report).fileName()}
                         .join(QStringLiteral(", ")));
    m_command->setText(BatchCommandOf(plan, m_settings, m_inputPath, m_backgroundPath));
    m_command->setCursorPosition(0);
}

void ExportPane::Write(const QString& what, const QString& path, const Result<std::string>& bytes)
{
    if (!bytes) {
        m_log->appendPlainText(what + QStringLiteral(" not written: ") + QString::fromStdString(bytes.Message()));
        return;
    }
    if (const auto written = WriteExportFile(path, *bytes); !written) {
        m_log->appendPlainText(what + QStringLiteral(" not written: ") + QString::fromStdString(written.Message()));
        return;
    }
    m_log->appendPlainText(what + QStringLiteral(" written: ") + path);
}

void ExportPane::WriteArrivalList()
{
    if (m_response) Write(QStringLiteral("Arrival list"), Plan().arrivalList, ArrivalListBytes(*m_response));
}

void ExportPane::WriteRoomParameters()
{
    if (m_response) Write(QStringLiteral("Room parameters"), Plan().roomParameters, RoomParameterBytes(*m_response));
}

Result<QImage> ExportPane::Background() const
{
    if (m_backgroundPath.isEmpty()) return QImage();
    const LoadedPicture loaded = LoadBackgroundPicture(m_backgroundPath);
    if (loaded.picture.isNull()) return Failure{loaded.whyNot.toStdString()};
    return loaded.picture;
}

void ExportPane::WriteSummaryPicture()
{
    if (!m_response) return;
    const Result<QImage> background = Background();
    if (!background) {
        Write(QStringLiteral("Summary picture"), QString(), Failure{background.Message()});
        return;
    }
    Write(QStringLiteral("Summary picture"), Plan().summaryPicture, SummaryPictureBytes(*m_response, *background));
}

void ExportPane::WriteReport()
{
    if (!m_response) return;
    const Result<QImage> background = Background();
    if (!background) {
        Write(QStringLiteral("Report"), QString(), Failure{background.Message()});
        return;
    }
    Write(QStringLiteral("Report"), Plan().report, ReportBytes(*m_response, *background));
}

void ExportPane::WriteAll()
{
    WriteArrivalList();
    WriteRoomParameters();
    WriteSummaryPicture();
    WriteReport();
}

void ExportPane::ChooseFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("The folder for the exported files"), m_folder->text());
    if (!folder.isEmpty()) m_folder->setText(folder);
}

}  // namespace halvane
