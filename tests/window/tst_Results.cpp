// The results window: opened with Ctrl+R, from the map's context menu and
// from the command line; the demo room's arrivals and room parameters in its
// tables; refusals shown in the window; the analysis on its own thread
// (the main window responsive, a progress bar when it takes a while, a stop
// when the window closes); the exported files against the batch command's;
// the energy map: its readout, the ring of the arrival selected and the row
// of the ring pressed, the range chosen from the list, the fields or the curve.
#include <QtTest>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include "FakeDialogs.h"
#include "TestWavFile.h"
#include "WindowRig.h"
#include "app/ArrivalsPane.h"
#include "app/CommandLine.h"
#include "app/ExportPane.h"
#include "app/Halvane.h"
#include "app/MapPane.h"
#include "app/ResultsWindow.h"
#include "app/RoomPane.h"
#include "display/DrawingSurface.h"
#include "display/maps/ArrivalRings.h"
#include "display/results/CsvTableModel.h"
#include "display/results/EnergyMapView.h"
#include "display/results/EnergyTimeView.h"
#include "display/results/MapPointer.h"

using namespace halvane;
using namespace halvane::test;

namespace {

// The demo room's analyses take some tens of milliseconds; a loaded machine
// is allowed for.
constexpr int kAnalysisTimeoutMs = 20000;

// A copy of a file of the examples in a folder of its own.
class ExampleCopy {
public:
    explicit ExampleCopy(const char* name) : m_path(m_dir.filePath(QString::fromLatin1(name)))
    {
        QFile::copy(QStringLiteral(HALVANE_EXAMPLES_DIR "/") + QString::fromLatin1(name), m_path);
    }
    QString Path() const { return m_path; }
    QString Folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Ctrl+R in the main window; returns once the analysis has ended.
ResultsWindow* OpenResultsAndWait(Halvane& window)
{
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return nullptr;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier);
    ResultsWindow* results = window.Results();
    if (results == nullptr) return nullptr;
    if (results->AnalysisUnderWay()) {
        QSignalSpy ended(results, &ResultsWindow::AnalysisEnded);
        if (!ended.wait(kAnalysisTimeoutMs)) return nullptr;
    }
    return results;
}

template <typename T> T* Find(QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QString::fromLatin1(name));
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a command (poppler's PDF readers) prints; empty when it fails.
QByteArray ToolOutput(const QString& command)
{
    QProcess tool;
    QStringList words = QProcess::splitCommand(command);
    tool.start(words.takeFirst(), words);
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0) return QByteArray();
    return tool.readAllStandardOutput();
}

// A minute of quiet noise after a plane wave: an analysis of a second or two.
QByteArray LongFile()
{
    std::vector<Frame4> frames(48000 * 60);
    std::uint64_t state = 11;
    for (std::size_t n = 0; n < frames.size(); ++n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double noise = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
        frames[n] = PlaneWave(n == 2400 ? 0.9 : 0.01 * noise, 40, 10);
    }
    return MakeBFormatWav(48000, 32, frames);
}

// The map shows the map asked for last: waits for it when it is being computed.
bool MapSettled(MapPane& pane)
{
    return QTest::qWaitFor([&pane] { return !pane.ComputingMap(); }, kAnalysisTimeoutMs);
}

// The pixels of one colour in an image, as points.
std::vector<QPoint> PixelsOf(const QImage& image, QColor colour)
{
    std::vector<QPoint> found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffffu) == (colour.rgb() & 0xffffffu)) found.emplace_back(x, y);
        }
    }
    return found;
}

int DifferentPixels(const QImage& a, const QImage& b)
{
    int different = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) different += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return different;
}

// The widget position of the middle of a drawing area's pixel.
QPointF WidgetPos(QPoint areaPx)
{
    return QPointF(areaPx) + QPointF(DrawingSurface::BorderPx + 0.5, DrawingSurface::BorderPx + 0.5);
}

// The demo room's results in a window of their own, the map shown.
struct DemoResults {
    ExampleCopy demo{"demo-room.wav"};
    FakeDialogs dialogs;
    Halvane window{&dialogs};
    ResultsWindow* results = nullptr;
    MapPane* map = nullptr;

    bool Open()
    {
        window.show();
        window.ChooseFile(demo.Path());
        results = OpenResultsAndWait(window);
        if (results == nullptr || results->Results() == nullptr) return false;
        map = results->findChild<MapPane*>();
        return map != nullptr && MapSettled(*map) && map->Shown() != nullptr;
    }
    const std::vector<Arrival>& Arrivals() const { return results->Results()->findings.arrivals; }
};

}  // namespace

class ResultsTest : public QObject {
    Q_OBJECT

private slots:
    void theDemoRoomShowsItsSevenArrivals();
    void sortingKeepsTheListsOrderApart();
    void theRoomTabShowsEveryBandAndTheDecayCurves();
    void refusalsAreShownInTheWindow_data();
    void refusalsAreShownInTheWindow();
    void theSameFileIsNotAnalysedAgain();
    void theMainWindowStaysResponsiveAndClosingStops();
    void theMapsContextMenuOpensTheResults();
    void exportWritesTheBatchCommandsFiles();
    void exportUsesTheLastRunsParameters();
    void resultsOnTheCommandLine_data();
    void resultsOnTheCommandLine();
    void csvRowsAsTheWritersWriteThem();
    void theReadoutUnderTheDirectSoundIsZeroDb();
    void selectingARowHighlightsItsRing();
    void pressingARingSelectsItsRow();
    void changingTheRangeChangesTheMap();
    void draggingOnTheCurveChoosesARange();
    void theDynamicRangeRedrawsWithoutComputing();
    void mapReadouts_data();
    void mapReadouts();
    void ringsUnderThePointer_data();
    void ringsUnderThePointer();
};

void ResultsTest::theDemoRoomShowsItsSevenArrivals()
{
    ExampleCopy demo("demo-room.wav");
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.ChooseFile(demo.Path());
    ResultsWindow* results = OpenResultsAndWait(window);
    QVERIFY(results != nullptr);
    QVERIFY(results->isVisible());
    QVERIFY(results->Results() != nullptr);
    auto* table = Find<QTableView>(*results, "ArrivalTable");
    QCOMPARE(table->model()->rowCount(), 7);
    const QStringList header{"time (ms)", "delay (ms)", "extra path (m)", "level (dB)",
                             "Az",        "El",         "I/D (dB)",       "diffuseness"};
    QCOMPARE(table->model()->columnCount(), header.size());
    for (int column = 0; column < header.size(); ++column) {
        QCOMPARE(table->model()->headerData(column, Qt::Horizontal).toString(), header[column]);
    }
    // The direct sound first, with the digits of the batch's list.
    QCOMPARE(table->model()->index(0, 0).data().toString(), QStringLiteral("9.334"));
    QCOMPARE(table->model()->index(0, 3).data().toString(), QStringLiteral("0.00"));
    QCOMPARE(table->model()->index(6, 4).data().toString(), QStringLiteral("1.99"));
    QVERIFY(results->StatusText().startsWith(demo.Path()));
    QVERIFY(dialogs.warnings.empty());
    // Nothing was written beside the file: the window's tables are Process's.
    QCOMPARE(QDir(demo.Folder()).entryList(QDir::Files), QStringList{"demo-room.wav"});
}

void ResultsTest::sortingKeepsTheListsOrderApart()
{
    ExampleCopy demo("demo-room.wav");
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.ChooseFile(demo.Path());
    ResultsWindow* results = OpenResultsAndWait(window);
    QVERIFY(results != nullptr);
    ArrivalsPane* arrivals = results->findChild<ArrivalsPane*>();
    QTableView* table = arrivals->Table();
    QSignalSpy selected(arrivals, &ArrivalsPane::ArrivalSelected);

    // Azimuth descending: 177.71 (the 6th arrival) first, -79.15 (the 4th) last.
    table->sortByColumn(4, Qt::DescendingOrder);
    QCOMPARE(table->model()->index(0, 4).data().toString(), QStringLiteral("177.71"));
    QCOMPARE(table->model()->index(6, 4).data().toString(), QStringLiteral("-79.15"));
    table->selectRow(0);
    QCOMPARE(arrivals->SelectedArrival(), 5);
    QCOMPARE(selected.last().at(0).toInt(), 5);
    // Sorting again keeps the arrival selected, wherever its row goes.
    table->sortByColumn(0, Qt::AscendingOrder);
    QCOMPARE(arrivals->SelectedArrival(), 5);
    QCOMPARE(table->selectionModel()->selectedRows().front().row(), 5);
    arrivals->SelectArrival(3);
    QCOMPARE(table->selectionModel()->selectedRows().front().row(), 3);
    QCOMPARE(selected.last().at(0).toInt(), 3);
    arrivals->SelectArrival(-1);
    QCOMPARE(arrivals->SelectedArrival(), -1);
    QCOMPARE(selected.last().at(0).toInt(), -1);
}

void ResultsTest::theRoomTabShowsEveryBandAndTheDecayCurves()
{
    ExampleCopy demo("demo-room.wav");
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.ChooseFile(demo.Path());
    ResultsWindow* results = OpenResultsAndWait(window);
    QVERIFY(results != nullptr);
    RoomPane* room = results->findChild<RoomPane*>();
    QAbstractItemModel* model = room->Table()->model();
    QCOMPARE(model->rowCount(), 7);
    QCOMPARE(model->columnCount(), 10);
    QStringList bands;
    for (int row = 0; row < model->rowCount(); ++row) bands << model->index(row, 0).data().toString();
    QCOMPARE(bands, (QStringList{"125", "250", "500", "1000", "2000", "4000", "all"}));
    QCOMPARE(model->index(6, 2).data().toString(), QStringLiteral("0.574"));  // T20 of "all"
    QCOMPARE(model->index(0, 3).data().toString(), QString());                // no T30 at 125 Hz
    // Sorted by T30, the bands without one come last.
    room->Table()->sortByColumn(3, Qt::AscendingOrder);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("250"));
    QCOMPARE(model->index(6, 0).data().toString(), QStringLiteral("all"));
    // The curves are drawn: the broadband curve is black, somewhere on the plot.
    const QImage& curves = room->DecayCurves().Image();
    int black = 0;
    for (int y = 0; y < curves.height(); ++y) {
        for (int x = 0; x < curves.width(); ++x) black += (curves.pixel(x, y) & 0xffffffu) == 0 ? 1 : 0;
    }
    QVERIFY2(black > 200, qPrintable(QString::number(black)));
}

void ResultsTest::refusalsAreShownInTheWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");  // empty: the file does not exist
    QTest::addColumn<QString>("said");
    QTest::newRow("no file chosen") << QString() << QByteArray() << "No impulse response is chosen yet";
    QTest::newRow("missing file") << "gone.wav" << QByteArray() << "cannot be opened";
    QTest::newRow("not a sound file") << "notes.wav" << QByteArray("these are notes\n") << "notes.wav";
    QTest::newRow("two channels") << "stereo.wav"
                                  << QByteArray::fromStdString(
                                         RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 2, 48000, 4, 16)) +
                                                  Chunk("data", std::string(400, '\1'))))
                                  << "stereo.wav";
}

void ResultsTest::refusalsAreShownInTheWindow()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    QTemporaryDir dir;
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    if (!name.isEmpty()) {
        const QString path = dir.filePath(name);
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        window.ChooseFile(path);
    }
    ResultsWindow* results = OpenResultsAndWait(window);
    QVERIFY(results != nullptr);
    QVERIFY(results->Results() == nullptr);
    auto* message = Find<QLabel>(*results, "ResultsMessage");
    QVERIFY2(message->text().contains(said), qPrintable(message->text()));
    QCOMPARE(Find<QStackedWidget>(*results, "ResultsPages")->currentWidget(), static_cast<QWidget*>(message));
    QVERIFY(results->StatusText().contains(name.isEmpty() ? said : name));
    // No message box, in either window.
    QVERIFY(dialogs.warnings.empty());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    for (const char* button : {"ExportArrivals", "ExportAll"}) {
        QVERIFY(!Find<QPushButton>(*results, button)->isEnabled());
    }
}

void ResultsTest::theSameFileIsNotAnalysedAgain()
{
    ExampleCopy demo("demo-room.wav");
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.ChooseFile(demo.Path());
    ResultsWindow* results = OpenResultsAndWait(window);
    QVERIFY(results != nullptr);
    const ResponseResults* first = results->Results();
    QVERIFY(first != nullptr);
    window.OpenResults();
    QVERIFY(!results->AnalysisUnderWay());
    QCOMPARE(results->Results(), first);
    // Written again on disk (a new recording under the same name): analysed again.
    QTest::qWait(20);
    QFile file(demo.Path());
    QVERIFY(file.open(QIODevice::Append));
    file.write(QByteArray(8, '\0'));
    file.close();
    window.OpenResults();
    QVERIFY(results->AnalysisUnderWay());
    QSignalSpy ended(results, &ResultsWindow::AnalysisEnded);
    QVERIFY(ended.wait(kAnalysisTimeoutMs));
    QVERIFY(results->Results() != nullptr);
}

void ResultsTest::theMainWindowStaysResponsiveAndClosingStops()
{
    auto rig = std::make_unique<WindowRig>(LongFile());
    rig->window.OpenResults();
    ResultsWindow* results = rig->window.Results();
    QVERIFY(results->AnalysisUnderWay());
    // The main window's event loop keeps turning: a 10 ms timer ticks
    // about as often as it should while the analysis goes on.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(600);
    const double elapsedMs = static_cast<double>(clock.elapsed());
    QVERIFY2(results->AnalysisUnderWay(), "the long file is analysed in more than 600 ms");
    QVERIFY2(ticks > elapsedMs / 10 / 4, qPrintable(QString::number(ticks)));
    // After a moment, the progress shows.
    auto* progress = Find<QProgressBar>(*results, "ResultsProgress");
    QVERIFY(progress->isVisible());
    QVERIFY(results->StatusText().contains(QStringLiteral("Analysing")));
    // Closing the results window stops the analysis.
    results->close();
    QVERIFY(!results->AnalysisUnderWay());
    QVERIFY(results->Results() == nullptr);
    QVERIFY(!progress->isVisible());
    // Its thread ends within some tens of milliseconds: the windows can go
    // (the results window waits for it).
    clock.restart();
    rig.reset();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
}

void ResultsTest::theMapsContextMenuOpensTheResults()
{
    ExampleCopy demo("demo-room.wav");
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.ChooseFile(demo.Path());
    QStringList entries;
    QTimer::singleShot(100, &window, [&entries] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        for (QAction* action : menu->actions()) entries << action->text();
        menu->actions().front()->trigger();
        menu->close();
    });
    DrawingSurface& map = window.DirectionMap();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 200), map.mapToGlobal(QPoint(300, 200)));
    QApplication::sendEvent(&map, &event);
    QCOMPARE(entries, (QStringList{"Results of this file...", "Background picture..."}));
    QVERIFY(window.Results() != nullptr);
    QVERIFY(window.Results()->isVisible());
    // A right press loads no background; the left click still does (its own test).
    QTest::mousePress(&map, Qt::RightButton, {}, QPoint(300, 200));
    QTest::mouseRelease(&map, Qt::RightButton, {}, QPoint(300, 200));
    QVERIFY(dialogs.fileRequests.empty());
}

void ResultsTest::exportWritesTheBatchCommandsFiles()
{
    ExampleCopy demo("demo-room.wav");
    QTemporaryDir exported;
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.ChooseFile(demo.Path());
    window.LoadBackgroundFrom(QStringLiteral(HALVANE_EXAMPLES_DIR "/demo-panorama.jpg"));
    ResultsWindow* results = OpenResultsAndWait(window);
    QVERIFY(results != nullptr);
    ExportPane* pane = results->findChild<ExportPane*>();
    QCOMPARE(pane->Plan().arrivalList, demo.Folder() + QStringLiteral("/demo-room_arrivals.csv"));
    pane->SetFolder(exported.path());
    QTest::mouseClick(Find<QPushButton>(*results, "ExportAll"), Qt::LeftButton);
    const ExportPlan plan = pane->Plan();
    for (const QString& path : {plan.arrivalList, plan.roomParameters, plan.summaryPicture, plan.report}) {
        QVERIFY2(pane->Log().contains(QStringLiteral("written: ") + path), qPrintable(pane->Log()));
    }

    // The command shown, run as it is: the same bytes.
    const QString command = pane->BatchCommand();
    QCOMPARE(command, QStringLiteral("halvane-batch --skip 0 --display 1000 --window 5 --reflections %1 "
                                     "--room-parameters %2 --png %3 --report %4 --background %5 %6")
                          .arg(plan.arrivalList, plan.roomParameters, plan.summaryPicture, plan.report,
                               QStringLiteral(HALVANE_EXAMPLES_DIR "/demo-panorama.jpg"), demo.Path()));
    QTemporaryDir batchFolder;
    const ExportPlan batchPlan = PlanExport(batchFolder.path(), demo.Path());
    QProcess batch;
    QStringList arguments = QProcess::splitCommand(BatchCommandOf(batchPlan, SettingsOfRun(SharedState{}), demo.Path(),
                                                                  HALVANE_EXAMPLES_DIR "/demo-panorama.jpg"));
    arguments.removeFirst();
    batch.start(QStringLiteral(HALVANE_BATCH_PATH), arguments);
    QVERIFY(batch.waitForFinished(60000));
    QVERIFY2(batch.exitCode() == 0, batch.readAllStandardError().constData());
    for (const auto& [ours, theirs] :
         {std::pair{plan.arrivalList, batchPlan.arrivalList}, std::pair{plan.roomParameters, batchPlan.roomParameters},
          std::pair{plan.summaryPicture, batchPlan.summaryPicture}}) {
        const QByteArray bytes = FileBytes(ours);
        QVERIFY2(!bytes.isEmpty(), qPrintable(ours));
        QVERIFY2(bytes == FileBytes(theirs), qPrintable(ours));
    }
    // The report: the same text and the same page, drawn.
    for (const char* reader : {"pdftotext -layout %1 -", "pdftoppm -r 30 -gray %1"}) {
        const QByteArray ours = ToolOutput(QString::fromLatin1(reader).arg(plan.report));
        QVERIFY2(ours.size() > 1000, reader);
        QVERIFY2(ours == ToolOutput(QString::fromLatin1(reader).arg(batchPlan.report)), reader);
    }
}

void ResultsTest::exportUsesTheLastRunsParameters()
{
    WindowRig rig(PlaneWaveFile());
    rig.Process({"20", "250", "2.5", "0"});
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    ResultsWindow* results = OpenResultsAndWait(rig.window);
    QVERIFY(results != nullptr);
    QVERIFY(results->Results() != nullptr);
    QCOMPARE(results->Results()->results.skipMs, 20.0);
    QCOMPARE(results->Results()->results.displayWindowMs, 250.0);
    QCOMPARE(results->Results()->results.averagingWindowMs, 2.5);
    QVERIFY(results->findChild<ExportPane*>()->BatchCommand().startsWith(
        QStringLiteral("halvane-batch --skip 20 --display 250 --window 2.5 ")));
}

void ResultsTest::resultsOnTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("usageError");
    QTest::addColumn<bool>("openResults");
    QTest::newRow("file and --results") << QStringList{"halvane", "hall.wav", "--results"} << false << true;
    QTest::newRow("--results first") << QStringList{"halvane", "--results", "hall.wav"} << false << true;
    QTest::newRow("file alone") << QStringList{"halvane", "hall.wav"} << false << false;
    QTest::newRow("--results without a file") << QStringList{"halvane", "--results"} << true << false;
}

void ResultsTest::resultsOnTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, usageError);
    QFETCH(bool, openResults);
    const CommandLine commandLine = ParseCommandLine(arguments);
    QCOMPARE(commandLine.action == StartAction::UsageError, usageError);
    QCOMPARE(commandLine.openResults, openResults);
    if (usageError) QVERIFY(commandLine.text.contains(QStringLiteral("--results needs the FILE")));
    QVERIFY(HalvaneUsage().contains(QStringLiteral("--results")));
}

void ResultsTest::csvRowsAsTheWritersWriteThem()
{
    const std::vector<QStringList> rows = ReadCsvRows("\"band (Hz)\",\"T30 (s)\"\r\n125,,\r\nall,0.574\nlast,1");
    QCOMPARE(rows.size(), std::size_t{4});
    QCOMPARE(rows[0], (QStringList{"band (Hz)", "T30 (s)"}));
    QCOMPARE(rows[1], (QStringList{"125", "", ""}));
    QCOMPARE(rows[2], (QStringList{"all", "0.574"}));
    QCOMPARE(rows[3], (QStringList{"last", "1"}));
    QVERIFY(ReadCsvRows("").empty());
}

// The level of a readout, "... -3.2 dB".
std::optional<double> ReadoutDb(const QString& readout)
{
    static const QRegularExpression level(QStringLiteral("  (-?[0-9]+\\.[0-9]) dB"));
    const QRegularExpressionMatch match = level.match(readout);
    return match.hasMatch() ? std::optional<double>(match.captured(1).toDouble()) : std::nullopt;
}

void ResultsTest::theReadoutUnderTheDirectSoundIsZeroDb()
{
    DemoResults demo;
    QVERIFY(demo.Open());
    QCOMPARE(demo.map->Shown()->Map().range.label, std::string("direct"));
    const Arrival& direct = demo.Arrivals().front();
    EnergyMapView& map = demo.map->Map();
    const QPointF pos = WidgetPos(map.PixelOf(direct.azDeg, direct.elDeg));
    QMouseEvent move(QEvent::MouseMove, pos, map.mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&map, &move);
    const QString readout = demo.map->Readout();
    // The direct sound's own map peaks at 0 dB; its direction lies within a
    // cell of the peak of a beam some 55 degrees wide.
    const std::optional<double> levelDb = ReadoutDb(readout);
    QVERIFY2(levelDb && std::abs(*levelDb) <= 1, qPrintable(readout));
    QVERIFY2(readout.startsWith(QStringLiteral("Az 18.")), qPrintable(readout));
    // Straight behind it, the map is well down.
    const QPointF behind = WidgetPos(map.PixelOf(direct.azDeg - 180, -direct.elDeg));
    QMouseEvent away(QEvent::MouseMove, behind, map.mapToGlobal(behind), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&map, &away);
    const std::optional<double> behindDb = ReadoutDb(demo.map->Readout());
    QVERIFY2(!behindDb || *behindDb < -10, qPrintable(demo.map->Readout()));
}

void ResultsTest::selectingARowHighlightsItsRing()
{
    DemoResults demo;
    QVERIFY(demo.Open());
    EnergyMapView& map = demo.map->Map();
    QVERIFY(PixelsOf(map.Image(), kSelectedArrivalColour).empty());
    const double floorDb = demo.results->Results()->results.arrivalFloorDb;
    for (const int arrival : {0, 3, 4}) {
        // The table sorted by level: the row is not the list's place.
        QTableView* table = demo.results->findChild<ArrivalsPane*>()->Table();
        table->sortByColumn(3, Qt::AscendingOrder);
        table->selectRow(demo.results->findChild<ArrivalsPane*>()->Model().ViewRow(arrival));
        QCOMPARE(map.SelectedArrival(), arrival);
        const Arrival& a = demo.Arrivals()[static_cast<std::size_t>(arrival)];
        const QPoint centre = map.PixelOf(a.azDeg, a.elDeg);
        const std::vector<QPoint> ring = PixelsOf(map.Image(), kSelectedArrivalColour);
        QVERIFY2(ring.size() > 100, qPrintable(QString::number(ring.size())));
        // One ring about the arrival's direction: every pixel of it at about
        // its radius, and its middle at the arrival's pixel.
        const double radiusPx = (ArrivalMarkRadiusDeg(a.levelDb, floorDb) + 2.5) * map.Scale().PixelsPerUnitX();
        QPointF sum;
        for (const QPoint& p : ring) {
            const double distancePx = std::hypot(p.x() - centre.x(), p.y() - centre.y());
            QVERIFY2(distancePx <= radiusPx + 1.5 && distancePx >= radiusPx - 4.5,
                     qPrintable(QStringLiteral("arrival %1: (%2, %3) %4 px out")
                                    .arg(arrival)
                                    .arg(p.x())
                                    .arg(p.y())
                                    .arg(distancePx)));
            sum += QPointF(p);
        }
        const QPointF middle = sum / static_cast<double>(ring.size());
        QVERIFY(std::abs(middle.x() - centre.x()) < 1.5 && std::abs(middle.y() - centre.y()) < 1.5);
        // Its time on the curve: a line in the same colour at that column.
        EnergyTimeView& curve = demo.map->Curve();
        const int column = curve.ColumnOfMs(a.timeMs - demo.map->Shown()->set.onsetMs);
        const std::vector<QPoint> line = PixelsOf(curve.Image(), kSelectedArrivalColour);
        QVERIFY(line.size() > 50);
        for (const QPoint& p : line) QVERIFY(std::abs(p.x() - column) <= 1);
    }
    demo.results->findChild<ArrivalsPane*>()->SelectArrival(-1);
    QVERIFY(PixelsOf(map.Image(), kSelectedArrivalColour).empty());
    QVERIFY(PixelsOf(demo.map->Curve().Image(), kSelectedArrivalColour).empty());
}

void ResultsTest::pressingARingSelectsItsRow()
{
    DemoResults demo;
    QVERIFY(demo.Open());
    ArrivalsPane* arrivals = demo.results->findChild<ArrivalsPane*>();
    EnergyMapView& map = demo.map->Map();
    for (const int arrival : {4, 0, 5}) {
        const Arrival& a = demo.Arrivals()[static_cast<std::size_t>(arrival)];
        // Beside the centre, inside the ring.
        QTest::mouseClick(&map, Qt::LeftButton, {}, WidgetPos(map.PixelOf(a.azDeg - 2, a.elDeg + 1)).toPoint());
        QCOMPARE(arrivals->SelectedArrival(), arrival);
        QCOMPARE(map.SelectedArrival(), arrival);
    }
    // Far from every ring: the selection stays.
    QTest::mouseClick(&map, Qt::LeftButton, {}, WidgetPos(map.PixelOf(-150, -45)).toPoint());
    QCOMPARE(arrivals->SelectedArrival(), 5);
}

void ResultsTest::changingTheRangeChangesTheMap()
{
    DemoResults demo;
    QVERIFY(demo.Open());
    const QImage direct = demo.map->Map().Image().copy();
    const ShownMap* first = demo.map->Shown();
    const double directPeakDb = demo.map->Shown()->Map().peakDb;
    auto* range = Find<QComboBox>(*demo.results, "MapRange");
    range->setCurrentIndex(2);
    QVERIFY(MapSettled(*demo.map));
    const ShownMap& late = *demo.map->Shown();
    QCOMPARE(late.Map().range.label, std::string("late"));
    QCOMPARE(late.request.bandHz, kBroadband);
    QCOMPARE(Find<QDoubleSpinBox>(*demo.results, "MapFromMs")->value(), 80.0);
    QCOMPARE(Find<QDoubleSpinBox>(*demo.results, "MapToMs")->value(), std::round(late.set.decayEndMs * 10) / 10);
    // The late reflections are far softer than the direct sound, from elsewhere.
    QVERIFY(late.Map().peakDb < directPeakDb - 10);
    QVERIFY2(DifferentPixels(direct, demo.map->Map().Image()) > 10000,
             qPrintable(QString::number(DifferentPixels(direct, demo.map->Map().Image()))));
    // A band and the other estimator: each its own map.
    Find<QComboBox>(*demo.results, "MapBand")->setCurrentIndex(4);  // 1000 Hz
    QVERIFY(MapSettled(*demo.map));
    QCOMPARE(demo.map->Shown()->request.bandHz, 1000);
    Find<QComboBox>(*demo.results, "MapEstimator")->setCurrentIndex(1);
    QVERIFY(MapSettled(*demo.map));
    QCOMPARE(demo.map->Shown()->request.estimator, MapEstimator::Histogram);
    QCOMPARE(demo.map->Shown()->Map().range.label, std::string("late"));
    // Typed into the fields: a custom range.
    Find<QDoubleSpinBox>(*demo.results, "MapFromMs")->setValue(10);
    Find<QDoubleSpinBox>(*demo.results, "MapToMs")->setValue(30);
    QVERIFY(MapSettled(*demo.map));
    QCOMPARE(range->currentIndex(), 3);
    QCOMPARE(demo.map->Shown()->Map().range.fromMs, 10.0);
    QCOMPARE(demo.map->Shown()->Map().toMs, 30.0);
    // Back to the direct sound: the map first shown, without computing it again.
    Find<QComboBox>(*demo.results, "MapBand")->setCurrentIndex(0);
    Find<QComboBox>(*demo.results, "MapEstimator")->setCurrentIndex(0);
    range->setCurrentIndex(0);
    QCOMPARE(demo.map->Shown(), first);
    // A map asked for on the way there and computed since does not replace it.
    QVERIFY(MapSettled(*demo.map));
    QCOMPARE(demo.map->Shown(), first);
}

void ResultsTest::draggingOnTheCurveChoosesARange()
{
    DemoResults demo;
    QVERIFY(demo.Open());
    EnergyTimeView& curve = demo.map->Curve();
    const int y = curve.height() / 2;
    const int from = curve.ColumnOfMs(20), to = curve.ColumnOfMs(60);
    QTest::mousePress(&curve, Qt::LeftButton, {}, WidgetPos({from, y}).toPoint());
    QTest::mouseMove(&curve, WidgetPos({(from + to) / 2, y}).toPoint());
    QTest::mouseRelease(&curve, Qt::LeftButton, {}, WidgetPos({to, y}).toPoint());
    QVERIFY(MapSettled(*demo.map));
    const TimeRange& range = demo.map->Shown()->request.range;
    QCOMPARE(range.label, std::string());
    QVERIFY2(std::abs(range.fromMs - 20) < 1.5 && std::abs(*range.toMs - 60) < 1.5,
             qPrintable(QStringLiteral("%1 to %2").arg(range.fromMs).arg(*range.toMs)));
    QCOMPARE(Find<QComboBox>(*demo.results, "MapRange")->currentIndex(), 3);
    // A click without a drag chooses nothing.
    QTest::mouseClick(&curve, Qt::LeftButton, {}, WidgetPos({curve.ColumnOfMs(200), y}).toPoint());
    QVERIFY(!demo.map->ComputingMap());
    QCOMPARE(demo.map->Shown()->request.range.fromMs, range.fromMs);
}

void ResultsTest::theDynamicRangeRedrawsWithoutComputing()
{
    DemoResults demo;
    QVERIFY(demo.Open());
    const ShownMap* shown = demo.map->Shown();
    const QImage before = demo.map->Map().Image().copy();
    auto* rangeDb = Find<QSpinBox>(*demo.results, "MapDynamicRange");
    QCOMPARE(rangeDb->minimum(), 20);
    QCOMPARE(rangeDb->maximum(), 60);
    rangeDb->setValue(20);
    QVERIFY(!demo.map->ComputingMap());
    QCOMPARE(demo.map->Shown(), shown);
    // Fewer cells are drawn: more of the picture shows.
    QVERIFY(DifferentPixels(before, demo.map->Map().Image()) > 1000);
}

void ResultsTest::mapReadouts_data()
{
    QTest::addColumn<double>("azDeg");
    QTest::addColumn<double>("elDeg");
    QTest::addColumn<double>("levelDb");  // NaN: no level
    QTest::addColumn<QString>("readout");
    const double none = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("a level") << 12.34 << -4.56 << -6.15 << "Az 12.3°  El -4.6°  -6.2 dB";
    QTest::newRow("no map") << 179.0 << 89.0 << none << "Az 179.0°  El 89.0°";
    QTest::newRow("a negative zero") << -0.01 << 0.0 << -0.04 << "Az 0.0°  El 0.0°  0.0 dB";
    QTest::newRow("below the range") << 0.0 << 0.0 << -40.5 << "Az 0.0°  El 0.0°  -40.5 dB (below the range shown)";
    QTest::newRow("no energy") << 0.0 << 0.0 << kEnergyMapFloorDb << "Az 0.0°  El 0.0°  no energy";
    QTest::newRow("at the range") << 0.0 << 0.0 << -40.0 << "Az 0.0°  El 0.0°  -40.0 dB";
}

void ResultsTest::mapReadouts()
{
    QFETCH(double, azDeg);
    QFETCH(double, elDeg);
    QFETCH(double, levelDb);
    QFETCH(QString, readout);
    const std::optional<double> level = std::isnan(levelDb) ? std::nullopt : std::optional<double>(levelDb);
    QCOMPARE(MapReadout(azDeg, elDeg, level, 40), readout);
}

void ResultsTest::ringsUnderThePointer_data()
{
    QTest::addColumn<double>("azDeg");
    QTest::addColumn<double>("elDeg");
    QTest::addColumn<int>("arrival");
    // The direct sound (a 9 degree ring) at 0, 0; a soft one (3 degrees) at
    // 178, 0 across the seam; a louder one (6 degrees) overlapping the direct's.
    QTest::newRow("the direct sound's centre") << 0.0 << 0.0 << 0;
    QTest::newRow("just inside its ring") << -10.0 << 0.0 << 0;
    QTest::newRow("just outside it") << 0.0 << -11.0 << -1;
    QTest::newRow("across the seam") << -179.0 << 1.0 << 1;
    QTest::newRow("in both, nearer the second's centre") << 8.0 << 3.0 << 2;
    QTest::newRow("nowhere near") << -90.0 << 45.0 << -1;
}

void ResultsTest::ringsUnderThePointer()
{
    QFETCH(double, azDeg);
    QFETCH(double, elDeg);
    QFETCH(int, arrival);
    const std::vector<Arrival> arrivals{{10, 0, 0, 0, -3, 0}, {20, -40, 178, 0, -3, 0}, {30, -20, 14, 6, -3, 0}};
    QCOMPARE(ArrivalRingAt(arrivals, 40, azDeg, elDeg), arrival);
}

QTEST_MAIN(ResultsTest)
#include "tst_Results.moc"
