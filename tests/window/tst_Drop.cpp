// Files dropped on the window: what ReadDrop takes and refuses, and drag
// events delivered as the toolkit delivers them (enter, move, drop, to the
// widget under the pointer): a WAV file anywhere is chosen as the dialog
// chooses it, a JPEG on the map becomes its background, and nothing is taken
// while a run is under way.
#include <QtTest>

#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "FakeDialogs.h"
#include "TestPictureFiles.h"
#include "TestWavFile.h"
#include "app/DroppedFile.h"
#include "app/Halvane.h"
#include "display/DrawingSurface.h"

using namespace halvane;
using halvane::test::FakeDialogs;
using halvane::test::PlainPanoramaJpeg;
using halvane::test::WriteTestFile;

namespace {

// 300 ms of a plane wave at 48 kHz: 60 windows of 5 ms.
constexpr int SampleRate = 48000;
constexpr int FrameCount = 14400;

QByteArray PlaneWaveFile()
{
    return test::MakeBFormatWav(SampleRate, 32, test::PlaneWaveFrames(FrameCount, 30, 10, 0.5));
}

// The files a drop may carry, in one folder.
struct DropFolder {
    DropFolder()
    {
        wav = WriteTestFile(dir.filePath(QStringLiteral("hall.wav")), PlaneWaveFile());
        upperWav = WriteTestFile(dir.filePath(QStringLiteral("HALL 2.WAV")), PlaneWaveFile());
        jpg = WriteTestFile(dir.filePath(QStringLiteral("pano.jpg")), PlainPanoramaJpeg(qRgb(200, 40, 40)));
        jpeg = WriteTestFile(dir.filePath(QStringLiteral("pano 2.JPEG")), PlainPanoramaJpeg(qRgb(40, 40, 200)));
        text = WriteTestFile(dir.filePath(QStringLiteral("notes.txt")), "notes\n");
        QDir(dir.path()).mkdir(QStringLiteral("takes.wav"));
        folder = dir.filePath(QStringLiteral("takes.wav"));
        missing = dir.filePath(QStringLiteral("gone.wav"));
    }
    QTemporaryDir dir;
    QString wav, upperWav, jpg, jpeg, text, folder, missing;
};

std::unique_ptr<QMimeData> UrlsData(const QList<QUrl>& urls)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

std::unique_ptr<QMimeData> FileData(const QString& path) { return UrlsData({QUrl::fromLocalFile(path)}); }

struct DragResult {
    bool entered = false;  // the window took the drag when it entered
    bool dropped = false;  // the window took the drop
};

// A drag entering target at pos (target's coordinates), moving there and
// dropped, sent to target as the toolkit sends them; events a widget does not
// take travel to the window.
DragResult DragAndDrop(QWidget* target, QPoint pos, const QMimeData* data)
{
    DragResult result;
    QDragEnterEvent enter(pos, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    result.entered = enter.isAccepted();
    if (!result.entered) {
        return result;
    }
    QDragMoveEvent move(pos, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted()) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(target, &leave);
        return result;
    }
    QDropEvent drop(QPointF(pos), Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    result.dropped = drop.isAccepted();
    return result;
}

// Counts the drop events that reach a widget, taken or not.
class DropCounter : public QObject {
public:
    int drops = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Drop) {
            ++drops;
        }
        return QObject::eventFilter(watched, event);
    }
};

QWidget* Control(Halvane& window, const char* name) { return window.findChild<QWidget*>(QString::fromLatin1(name)); }

QString TextBox(Halvane& window) { return window.findChild<QLineEdit*>(QStringLiteral("TextBox1"))->text(); }

// The window, its title, text box, input path and map as the dialogs leave them.
struct Snapshot {
    explicit Snapshot(Halvane& window)
        : irFileName(window.State().IrFileName), title(window.windowTitle()), textBox(TextBox(window)),
          map(window.DirectionMap().Image())
    {
    }
    bool operator==(const Snapshot&) const = default;

    std::string irFileName;
    QString title;
    QString textBox;
    QImage map;
};

Snapshot AfterDialogs(const QString& irFile, const QString& picture)
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    if (!irFile.isEmpty()) {
        dialogs.fileAnswers.push_back(irFile);
        window.ChooseImpulseResponse();
    }
    if (!picture.isEmpty()) {
        dialogs.fileAnswers.push_back(picture);
        window.LoadBackground();
    }
    return Snapshot(window);
}

}  // namespace

class DropTest : public QObject {
    Q_OBJECT

private slots:
    void readDrop_data();
    void readDrop();

    void wavDroppedAnywhereIsChosen_data();
    void wavDroppedAnywhereIsChosen();
    void pictureDroppedOnTheMapBecomesItsBackground();
    void pictureDroppedBesideTheMapIsRefused();
    void unreadablePictureGetsTheWindowsWarning();
    void refusedDropsChangeNothing_data();
    void refusedDropsChangeNothing();
    void dropsDuringARunAreRefused();
};

void DropTest::readDrop_data()
{
    QTest::addColumn<QString>("what");  // a key into the folder's files, below
    QTest::addColumn<bool>("onMap");
    QTest::addColumn<bool>("runUnderWay");
    QTest::addColumn<int>("use");

    const auto refused = static_cast<int>(DropUse::Refused);
    const auto choose = static_cast<int>(DropUse::ChooseImpulseResponse);
    const auto load = static_cast<int>(DropUse::LoadBackground);
    QTest::newRow("wav beside the map") << "wav" << false << false << choose;
    QTest::newRow("wav on the map") << "wav" << true << false << choose;
    QTest::newRow("WAV in capitals") << "upperWav" << false << false << choose;
    QTest::newRow("jpg on the map") << "jpg" << true << false << load;
    QTest::newRow("JPEG on the map") << "jpeg" << true << false << load;
    QTest::newRow("jpg beside the map") << "jpg" << false << false << refused;
    QTest::newRow("wav during a run") << "wav" << false << true << refused;
    QTest::newRow("jpg on the map during a run") << "jpg" << true << true << refused;
    QTest::newRow("text file") << "text" << true << false << refused;
    QTest::newRow("folder named .wav") << "folder" << false << false << refused;
    QTest::newRow("missing file") << "missing" << false << false << refused;
    QTest::newRow("two files") << "two" << false << false << refused;
    QTest::newRow("wav on a web server") << "remote" << false << false << refused;
    QTest::newRow("no URL, only text") << "plainText" << false << false << refused;
    QTest::newRow("no data") << "none" << true << false << refused;
}

void DropTest::readDrop()
{
    QFETCH(QString, what);
    QFETCH(bool, onMap);
    QFETCH(bool, runUnderWay);
    QFETCH(int, use);
    DropFolder folder;
    const QMap<QString, QString> files = {
        {"wav", folder.wav},   {"upperWav", folder.upperWav}, {"jpg", folder.jpg},        {"jpeg", folder.jpeg},
        {"text", folder.text}, {"folder", folder.folder},     {"missing", folder.missing}};
    std::unique_ptr<QMimeData> data;
    if (files.contains(what)) {
        data = FileData(files[what]);
    } else if (what == QLatin1String("two")) {
        data = UrlsData({QUrl::fromLocalFile(folder.wav), QUrl::fromLocalFile(folder.upperWav)});
    } else if (what == QLatin1String("remote")) {
        data = UrlsData({QUrl(QStringLiteral("https://example.org/hall.wav"))});
    } else if (what == QLatin1String("plainText")) {
        data = std::make_unique<QMimeData>();
        data->setText(folder.wav);
    }
    const DroppedFile dropped = ReadDrop(data.get(), onMap, runUnderWay);
    QCOMPARE(static_cast<int>(dropped.use), use);
    QCOMPARE(dropped.path, dropped.use == DropUse::Refused ? QString() : files.value(what));
}

void DropTest::wavDroppedAnywhereIsChosen_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QPoint>("pos");
    // The text box would take a file's name as typed text: it leaves the drop to the window.
    QTest::newRow("text box") << "TextBox1" << QPoint(20, 10);
    QTest::newRow("map") << "Picture2" << QPoint(480, 240);
    QTest::newRow("a meter") << "PgX" << QPoint(10, 100);
    QTest::newRow("the window itself") << "Halvane" << QPoint(1190, 700);
}

void DropTest::wavDroppedAnywhereIsChosen()
{
    QFETCH(QString, control);
    QFETCH(QPoint, pos);
    DropFolder folder;
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    QWidget* target = control == QLatin1String("Halvane") ? &window : Control(window, qPrintable(control));
    QVERIFY(target != nullptr);
    const auto data = FileData(folder.upperWav);
    const DragResult result = DragAndDrop(target, pos, data.get());
    QVERIFY(result.entered);
    QVERIFY(result.dropped);
    QVERIFY(Snapshot(window) == AfterDialogs(folder.upperWav, QString()));
    QCOMPARE(TextBox(window), folder.upperWav);
    QVERIFY(dialogs.fileRequests.empty());
    QVERIFY(dialogs.warnings.empty());
}

void DropTest::pictureDroppedOnTheMapBecomesItsBackground()
{
    DropFolder folder;
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    DrawingSurface& map = window.DirectionMap();
    map.Box(0, 0, 20, 20, Qt::white);  // the drawing goes, as after the dialog
    for (const QString& picture : {folder.jpg, folder.jpeg}) {
        const auto data = FileData(picture);
        const DragResult result = DragAndDrop(&map, QPoint(300, 200), data.get());
        QVERIFY(result.dropped);
        QCOMPARE(map.Image(), AfterDialogs(QString(), picture).map);
    }
    QCOMPARE(window.State().IrFileName, std::string());
    QVERIFY(dialogs.warnings.empty());
}

void DropTest::pictureDroppedBesideTheMapIsRefused()
{
    DropFolder folder;
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    const Snapshot before(window);
    const auto data = FileData(folder.jpg);
    for (const char* name : {"Picture3", "Picture1", "TextBox1"}) {
        // Entering is allowed (the map may come under the pointer); the move
        // and the drop here are refused.
        const DragResult result = DragAndDrop(Control(window, name), QPoint(5, 5), data.get());
        QVERIFY2(result.entered && !result.dropped, name);
    }
    QVERIFY(Snapshot(window) == before);
}

void DropTest::unreadablePictureGetsTheWindowsWarning()
{
    QTemporaryDir dir;
    const QString cut =
        WriteTestFile(dir.filePath(QStringLiteral("cut.jpg")), PlainPanoramaJpeg(qRgb(0, 0, 200)).left(400));
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    const QImage placeholder = window.DirectionMap().Image();
    const auto data = FileData(cut);
    QVERIFY(DragAndDrop(&window.DirectionMap(), QPoint(300, 200), data.get()).dropped);

    FakeDialogs clickDialogs;
    Halvane clicked(&clickDialogs);
    clickDialogs.fileAnswers.push_back(cut);
    clicked.LoadBackground();
    QCOMPARE(dialogs.warnings, clickDialogs.warnings);
    QCOMPARE(dialogs.warnings.size(), std::size_t{1});
    QCOMPARE(window.DirectionMap().Image(), placeholder);
}

void DropTest::refusedDropsChangeNothing_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("two WAV files") << "two";
    QTest::newRow("a WAV file on a web server") << "remote";
}

void DropTest::refusedDropsChangeNothing()
{
    QFETCH(QString, what);
    DropFolder folder;
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    dialogs.fileAnswers.push_back(folder.wav);
    window.ChooseImpulseResponse();
    const Snapshot before(window);
    std::unique_ptr<QMimeData> data;
    if (what == QLatin1String("two")) {
        data = UrlsData({QUrl::fromLocalFile(folder.upperWav), QUrl::fromLocalFile(folder.wav)});
    } else {
        data = UrlsData({QUrl(QStringLiteral("https://example.org/hall.wav"))});
    }
    for (QWidget* target : {static_cast<QWidget*>(&window.DirectionMap()), Control(window, "TextBox1")}) {
        const DragResult result = DragAndDrop(target, QPoint(10, 10), data.get());
        QVERIFY(!result.entered && !result.dropped);
    }
    QVERIFY(Snapshot(window) == before);
    // Refused quietly: the pointer said so while dragging, no message box follows.
    QVERIFY(dialogs.warnings.empty());
}

void DropTest::dropsDuringARunAreRefused()
{
    DropFolder folder;
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    dialogs.fileAnswers.push_back(folder.wav);
    window.ChooseImpulseResponse();
    const std::string runInput = window.State().IrFileName;

    // A drag that entered before the run and is dropped during it; then new
    // drags in the direction pass's first yield, as a user's drop arrives.
    auto wav = FileData(folder.upperWav);
    auto jpg = FileData(folder.jpg);
    QDragEnterEvent early(QPoint(600, 600), Qt::CopyAction, wav.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &early);
    QVERIFY(early.isAccepted());
    DropCounter counter;
    window.installEventFilter(&counter);

    std::vector<DragResult> duringRun;
    bool done = false;
    auto* textBox = window.findChild<QLineEdit*>(QStringLiteral("TextBox1"));
    QObject::connect(textBox, &QLineEdit::textChanged, &window, [&](const QString& text) {
        if (done || !text.startsWith(QStringLiteral("Azimuth:"))) {
            return;
        }
        done = true;
        QTimer::singleShot(0, &window, [&] {
            QVERIFY(window.RunUnderWay());
            const Snapshot atDrop(window);
            QDropEvent late(QPointF(600, 600), Qt::CopyAction, wav.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&window, &late);
            QCOMPARE(counter.drops, 1);  // it reached the window, which refused it
            duringRun.push_back({true, late.isAccepted()});
            duringRun.push_back(DragAndDrop(&window, QPoint(600, 600), wav.get()));
            duringRun.push_back(DragAndDrop(&window.DirectionMap(), QPoint(300, 200), jpg.get()));
            QVERIFY(Snapshot(window) == atDrop);
        });
    });
    for (const char* answer : {"0", "300", "5", "0"}) {
        dialogs.textAnswers.push_back(QString::fromLatin1(answer));
    }
    QTest::mouseClick(Control(window, "Command2"), Qt::LeftButton);

    QVERIFY(done);
    QCOMPARE(duringRun.size(), std::size_t{3});
    for (const DragResult& result : duringRun) {
        QVERIFY(!result.dropped);
    }
    QVERIFY(!duringRun[1].entered && !duringRun[2].entered);
    QCOMPARE(window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(window.State().IrFileName, runInput);
    QVERIFY(dialogs.warnings.empty());
    // Behind the run's drawing the map still has its placeholder.
    FakeDialogs freshDialogs;
    Halvane fresh(&freshDialogs);
    fresh.DirectionMap().Clear();
    window.DirectionMap().Clear();
    QCOMPARE(window.DirectionMap().Image(), fresh.DirectionMap().Image());

    // Once the run has ended, the same drops are taken.
    QVERIFY(DragAndDrop(&window, QPoint(600, 600), wav.get()).dropped);
    QCOMPARE(window.State().IrFileName, QFile::encodeName(folder.upperWav).toStdString());
    QVERIFY(DragAndDrop(&window.DirectionMap(), QPoint(300, 200), jpg.get()).dropped);
    QCOMPARE(window.DirectionMap().Image(), AfterDialogs(QString(), folder.jpg).map);
}

QTEST_MAIN(DropTest)
#include "tst_Drop.moc"
