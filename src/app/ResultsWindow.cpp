#include "app/ResultsWindow.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ArrivalsPane.h"
#include "app/ExportPane.h"
#include "app/MapPane.h"
#include "app/RoomPane.h"
#include "display/BackgroundPicture.h"
#include "files/InputSource.h"

namespace halvane {

namespace {

// An analysis that ends sooner than this shows no progress bar.
constexpr int kMomentMs = 300;
constexpr int kProgressPollMs = 100;

// What the file looks like on disk: its length and last change, to tell an
// unchanged file from one written again since.
QString FileLook(const QString& path)
{
    const QFileInfo file(path);
    return file.exists()
               ? QString::number(file.size()) + QLatin1Char('@') + file.lastModified().toString(Qt::ISODateWithMs)
               : QString();
}

}  // namespace

// One analysis: what it was asked, its progress and stop, and what it found.
// Shared by the window and the analysing thread; the result is written by
// the thread before it finishes and read by the window after.
struct ResultsWindow::Job {
    std::string path;
    ResultsSettings settings;
    Cancellation stop;
    ResultsProgress progress;
    std::optional<Result<ResponseResults>> result;
};

ResultsWindow::ResultsWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Results"));
    setWindowTitle(QStringLiteral("Halvane results"));
    resize(1060, 900);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("ResultsStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ResultsProgress"));
    m_progress->setRange(0, 100);
    m_progress->hide();

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("ResultsMessage"));
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setMargin(24);

    m_map = new MapPane(this);
    m_arrivals = new ArrivalsPane(this);
    m_room = new RoomPane(this);
    m_export = new ExportPane(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("ResultsTabs"));
    m_tabs->addTab(m_map, QStringLiteral("Map"));
    m_tabs->addTab(m_arrivals, QStringLiteral("Arrivals"));
    m_tabs->addTab(m_room, QStringLiteral("Room"));
    m_tabs->addTab(m_export, QStringLiteral("Export"));

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("ResultsPages"));
    m_pages->addWidget(m_message);
    m_pages->addWidget(m_tabs);

    // A row selected is its ring on the map; a ring pressed is its row.
    connect(m_arrivals, &ArrivalsPane::ArrivalSelected, m_map, &MapPane::SelectArrival);
    connect(m_map, &MapPane::ArrivalPressed, m_arrivals, &ArrivalsPane::SelectArrival);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(m_pages, 1);

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressPollMs);
    connect(m_progressTimer, &QTimer::timeout, this, &ResultsWindow::ShowProgress);

    ShowRefusal(QStringLiteral("No impulse response is chosen yet."));
}

ResultsWindow::~ResultsWindow()
{
    StopAnalysis();
    for (auto& [thread, job] : m_threads) {
        job->stop.Request();
        thread->wait();
        delete thread;
    }
}

void ResultsWindow::ShowResultsOf(const QString& path, const ResultsSettings& settings, const QString& backgroundPath)
{
    const bool same = path == m_path && settings.skipMs == m_settings.skipMs &&
                      settings.displayMs == m_settings.displayMs && settings.windowMs == m_settings.windowMs &&
                      backgroundPath == m_backgroundPath && FileLook(path) == m_fileLook;
    if (same && (m_job || m_results)) return;
    m_path = path;
    m_settings = settings;
    m_backgroundPath = backgroundPath;
    m_fileLook = FileLook(path);
    StartAnalysis();
}

bool ResultsWindow::AnalysisUnderWay() const { return m_job != nullptr; }

QString ResultsWindow::StatusText() const { return m_status->text(); }

void ResultsWindow::StartAnalysis()
{
    StopAnalysis();
    m_results.reset();
    m_map->SetResults(nullptr, QImage());
    m_arrivals->SetResults(nullptr);
    m_room->SetResults(nullptr);
    m_export->SetResults(nullptr, m_path, m_settings, m_backgroundPath);
    if (m_path.isEmpty()) {
        ShowRefusal(QStringLiteral("No impulse response is chosen yet: choose one in the main window with its "
                                   "\"...\" button (Ctrl+O), then ask for its results again (Ctrl+R)."));
        emit AnalysisEnded();
        return;
    }
    setWindowTitle(QStringLiteral("Halvane results - ") + m_path);
    auto job = std::make_shared<Job>();
    job->path = QFile::encodeName(m_path).toStdString();
    job->settings = m_settings;
    m_job = job;
    QThread* thread = QThread::create([job] {
        DiskInput input;
        job->result = AnalyseResponse(job->path, input, job->settings, job->progress, job->stop);
    });
    m_threads.emplace_back(thread, job);
    connect(thread, &QThread::finished, this, [this, thread, job] {
        std::erase_if(m_threads, [thread](const auto& running) { return running.first == thread; });
        thread->deleteLater();
        if (job == m_job) AnalysisFinished(job);
    });
    m_status->setText(QStringLiteral("Analysing %1 ...").arg(m_path));
    m_message->setText(QString());
    m_pages->setCurrentWidget(m_message);
    m_sinceStart.start();
    m_progress->setValue(0);
    m_progressTimer->start();
    thread->start();
}

void ResultsWindow::ShowProgress()
{
    if (!m_job || m_sinceStart.elapsed() < kMomentMs) return;
    m_progress->setValue(m_job->progress.Percent());
    m_progress->show();
    m_status->setText(QStringLiteral("Analysing %1: %2 ...")
                          .arg(m_path, QString::fromStdString(ResultsStepWords(m_job->progress.Step()))));
}

void ResultsWindow::AnalysisFinished(const std::shared_ptr<Job>& job)
{
    m_job.reset();
    m_progressTimer->stop();
    m_progress->hide();
    if (!job->result || !*job->result) {
        const QString why = job->result ? QString::fromStdString(job->result->Message()) : QString();
        ShowRefusal(QStringLiteral("The results of %1 cannot be shown.\n\n%2").arg(m_path, why));
    } else {
        m_results = std::make_unique<ResponseResults>(std::move(**job->result));
        ShowResults();
    }
    emit AnalysisEnded();
}

void ResultsWindow::ShowRefusal(const QString& why)
{
    m_status->setText(why.section(QLatin1Char('\n'), 0, 0));
    m_message->setText(why);
    m_pages->setCurrentWidget(m_message);
}

void ResultsWindow::ShowResults()
{
    QStringList lines{m_path};
    for (const std::string& note : m_results->notes) lines << QString::fromStdString(note);
    m_status->setText(lines.join(QLatin1Char('\n')));
    // The main window showed the picture already: one it could not read is none here.
    const QImage background = m_backgroundPath.isEmpty() ? QImage() : LoadBackgroundPicture(m_backgroundPath).picture;
    m_map->SetResults(m_results.get(), background);
    m_arrivals->SetResults(m_results.get());
    m_room->SetResults(m_results.get());
    m_export->SetResults(m_results.get(), m_path, m_settings, m_backgroundPath);
    m_pages->setCurrentWidget(m_tabs);
}

void ResultsWindow::StopAnalysis()
{
    if (!m_job) return;
    m_job->stop.Request();
    m_job.reset();
    m_progressTimer->stop();
    m_progress->hide();
}

void ResultsWindow::closeEvent(QCloseEvent* event)
{
    // Stopped, not finished: the next request for results starts it again.
    if (m_job) {
        StopAnalysis();
        m_path.clear();
        ShowRefusal(QStringLiteral("The analysis was stopped when the window closed."));
    }
    event->accept();
}

}  // namespace halvane
