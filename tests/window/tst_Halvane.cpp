// The main window: every control's place, caption and kind, the focus
// order, the symbols, file selection, the background picture, the run
// controls' window index, and a screenshot for a person to look at.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include "FakeDialogs.h"
#include "app/Halvane.h"
#include "app/PickFileOrCancel.h"
#include "app/RunControls.h"
#include "app/SymbolImage.h"
#include "display/DrawingSurface.h"
#include "display/PictureBoxes.h"
#include "display/PlaceholderPicture.h"
#include "display/StaticDiagrams.h"

using namespace halvane;
using halvane::test::FakeDialogs;

namespace {

QWidget* Control(Halvane& window, const char* name) { return window.findChild<QWidget*>(QString::fromLatin1(name)); }

}  // namespace

class HalvaneWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlGeometry_data();
    void controlGeometry();
    void labelCaptionsAndAlignment_data();
    void labelCaptionsAndAlignment();
    void windowCaptionSizeAndFrame();
    void initialContents();
    void meters();
    void focusOrder();
    void symbolPictures_data();
    void symbolPictures();

    void filterListsInTheToolkitsForm_data();
    void filterListsInTheToolkitsForm();
    void cancelledFileChoiceChangesNothing();
    void chosenFileSetsCaptionAndTextBox();
    void backgroundPictureLoadsAndSurvivesClearing();
    void unreadableBackgroundKeepsThePreviousOne();
    void cancelledBackgroundKeepsTheMapAsItIs();
    void otherClicksDoNothing();
    void polarDiagramPresentAfterTheFirstActivation();

    void jumpIndexAtThePointer_data();
    void jumpIndexAtThePointer();
    void runControlsOnlySetTheSharedState();

    void screenshot();
};

void HalvaneWindowTest::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    const struct {
        const char* name;
        QRect geometry;
    } places[] = {
        {"TextBox1", {8, 8, 457, 25}},       {"Command1", {472, 8, 41, 25}},   {"Command2", {536, 8, 89, 25}},
        {"ProgressBar1", {648, 8, 417, 25}}, {"Image1", {1072, 0, 36, 36}},    {"Image3", {1120, 0, 36, 36}},
        {"Image4", {1168, 0, 36, 36}},       {"Picture2", {8, 40, 961, 481}},  {"Picture3", {976, 40, 228, 230}},
        {"Picture1", {8, 528, 961, 185}},    {"PgX", {976, 296, 33, 233}},     {"PgY", {1032, 296, 33, 233}},
        {"PgZ", {1088, 296, 33, 233}},       {"IDc", {1144, 296, 33, 233}},    {"Shape1", {1040, 576, 33, 17}},
        {"Shape2", {1040, 640, 33, 17}},     {"Line1", {1040, 583, 32, 3}},    {"Line2", {1040, 647, 32, 3}},
        {"Label1", {968, 272, 41, 17}},      {"Label2", {1032, 272, 41, 17}},  {"Label3", {1096, 272, 41, 17}},
        {"Label18", {1144, 272, 73, 17}},    {"Label4", {1016, 296, 25, 17}},  {"Label6", {1016, 408, 25, 17}},
        {"Label5", {1016, 512, 25, 17}},     {"Label7", {1072, 296, 41, 17}},  {"Label9", {1072, 408, 65, 25}},
        {"Label8", {1072, 512, 33, 17}},     {"Label10", {1128, 296, 33, 17}}, {"Label12", {1128, 408, 17, 25}},
        {"Label11", {1128, 512, 25, 17}},    {"Label15", {1184, 296, 65, 17}}, {"Label13", {1184, 408, 65, 25}},
        {"Label14", {1176, 512, 65, 17}},    {"Label17", {976, 528, 49, 25}},  {"Label19", {976, 584, 49, 17}},
        {"Label24", {976, 644, 49, 17}},     {"Label20", {976, 704, 49, 17}},  {"Label21", {1080, 576, 105, 17}},
        {"Label22", {1080, 640, 105, 17}},
    };
    for (const auto& place : places) {
        QTest::newRow(place.name) << QString::fromLatin1(place.name) << place.geometry;
    }
}

void HalvaneWindowTest::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    auto* control = window.findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    QCOMPARE(control->parentWidget(), static_cast<QWidget*>(&window));
    QCOMPARE(control->geometry(), geometry);
}

void HalvaneWindowTest::labelCaptionsAndAlignment_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("centred");
    const struct {
        const char* name;
        const char* caption;
        bool centred;
    } labels[] = {
        {"Label1", "X", true},
        {"Label2", "Y", true},
        {"Label3", "Z", true},
        {"Label18", "Li - Ld", true},
        {"Label4", "+ 1", false},
        {"Label6", "0", false},
        {"Label5", "- 1", false},
        {"Label7", "+ 1", false},
        {"Label9", "0", false},
        {"Label8", "- 1", false},
        {"Label10", "+ 1", false},
        {"Label12", "0", false},
        {"Label11", "- 1", false},
        {"Label15", "0 dB", false},
        {"Label13", "-5 dB", false},
        {"Label14", "-10 dB", false},
        {"Label17", "0 dB", false},
        {"Label19", "- 20 dB", false},
        {"Label24", "- 40 dB", false},
        {"Label20", "- 60 dB", false},
        {"Label21", "Energy Density ", false},
        {"Label22", "Sound Intensity", false},
    };
    for (const auto& label : labels) {
        QTest::newRow(label.name) << QString::fromLatin1(label.name) << QString::fromLatin1(label.caption)
                                  << label.centred;
    }
}

void HalvaneWindowTest::labelCaptionsAndAlignment()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, centred);
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    auto* label = window.findChild<QLabel*>(name);
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), caption);
    QCOMPARE(bool(label->alignment() & Qt::AlignHCenter), centred);
    QVERIFY(label->alignment() & Qt::AlignTop);
    // Only the text has to be seen: it fits inside the client area.
    const int textRight = label->x() + (centred ? (label->width() + label->fontMetrics().horizontalAdvance(caption)) / 2
                                                : label->fontMetrics().horizontalAdvance(caption));
    QVERIFY2(textRight <= 1209, qPrintable(QString::number(textRight)));
    // A mark beside the meters may reach under the next meter; its text may not.
    if (label->y() >= 296 && label->y() <= 512) {
        for (const char* meterName : {"PgX", "PgY", "PgZ", "IDc"}) {
            const QWidget* meter = Control(window, meterName);
            if (meter->x() > label->x()) {
                QVERIFY2(textRight <= meter->x(), meterName);
            }
        }
    }
}

void HalvaneWindowTest::windowCaptionSizeAndFrame()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane AMBIX version"));
    QCOMPARE(window.geometry(), QRect(61, 27, 1209, 716));
    QCOMPARE(window.minimumSize(), QSize(1209, 716));
    QCOMPARE(window.maximumSize(), QSize(1209, 716));
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
}

void HalvaneWindowTest::initialContents()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    QCOMPARE(qobject_cast<QLineEdit*>(Control(window, "TextBox1"))->text(),
             QStringLiteral("Click this button to load IR =>"));
    QCOMPARE(qobject_cast<QPushButton*>(Control(window, "Command1"))->text(), QStringLiteral("..."));
    QCOMPARE(qobject_cast<QPushButton*>(Control(window, "Command2"))->text(), QStringLiteral("Process"));
    auto* progress = qobject_cast<QProgressBar*>(Control(window, "ProgressBar1"));
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 100);
    QCOMPARE(progress->value(), 0);
    QCOMPARE(progress->orientation(), Qt::Horizontal);
    // The pictures before any run: the placeholder's top-left on the map,
    // white strip; the shared state at its initial values.
    QCOMPARE(window.DirectionMap().Image(),
             MakePlaceholderPicture().copy(0, 0, 957, 477).convertToFormat(window.DirectionMap().Image().format()));
    QCOMPARE(window.TimeStrip().Image().pixel(400, 90), 0xffffffffu);
    QCOMPARE(window.State().IrFileName, std::string());
    QCOMPARE(window.State().AveragingWindowMs, 0.0);
}

void HalvaneWindowTest::meters()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    for (const char* name : {"PgX", "PgY", "PgZ"}) {
        auto* meter = qobject_cast<QSlider*>(Control(window, name));
        QCOMPARE(meter->orientation(), Qt::Vertical);
        QCOMPARE(meter->minimum(), -100);
        QCOMPARE(meter->maximum(), 100);
        QCOMPARE(meter->tickInterval(), 20);
        QCOMPARE(meter->tickPosition(), QSlider::TicksRight);
        QVERIFY(meter->invertedAppearance());  // minimum at the top end
        QCOMPARE(meter->value(), 0);
        QVERIFY(!meter->isHidden());
    }
    auto* idc = qobject_cast<QSlider*>(Control(window, "IDc"));
    QCOMPARE(idc->minimum(), 0);
    QCOMPARE(idc->maximum(), 100);
    QCOMPARE(idc->tickInterval(), 10);
    QVERIFY(idc->invertedAppearance());
    QCOMPARE(idc->value(), 100);

    // -100 puts the thumb at the top end, 100 at the bottom end: the rows
    // that change against the middle position lie above or below the middle.
    window.show();
    auto* pgX = qobject_cast<QSlider*>(Control(window, "PgX"));
    auto meanChangedRow = [pgX](int value) {
        pgX->setValue(0);
        const QImage middle = pgX->grab().toImage();
        pgX->setValue(value);
        const QImage moved = pgX->grab().toImage();
        double sum = 0;
        int count = 0;
        for (int y = 0; y < middle.height(); ++y) {
            for (int x = 0; x < middle.width(); ++x) {
                if (middle.pixel(x, y) != moved.pixel(x, y)) {
                    sum += y;
                    ++count;
                }
            }
        }
        return count > 0 ? sum / count : -1.0;
    };
    const double top = meanChangedRow(-100);
    const double bottom = meanChangedRow(100);
    QVERIFY2(top >= 0 && top < 233 / 2.0, qPrintable(QString::number(top)));
    QVERIFY2(bottom > 233 / 2.0, qPrintable(QString::number(bottom)));
}

void HalvaneWindowTest::focusOrder()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), Control(window, "TextBox1"));
    QStringList order;
    QWidget* widget = Control(window, "TextBox1");
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&window) && widget != &window) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != Control(window, "TextBox1"));
    QCOMPARE(order, (QStringList{"TextBox1", "Command1", "Command2", "Picture2", "Picture1", "Picture3", "PgX", "PgY",
                                 "PgZ", "IDc"}));
    for (const char* name : {"ProgressBar1", "Image1", "Image3", "Image4", "Label1", "Shape1"}) {
        QCOMPARE(Control(window, name)->focusPolicy(), Qt::NoFocus);
    }
}

void HalvaneWindowTest::symbolPictures_data()
{
    QTest::addColumn<int>("symbol");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("black");
    const int pause = static_cast<int>(Symbol::Pause);
    const int play = static_cast<int>(Symbol::Play);
    const int stop = static_cast<int>(Symbol::Stop);
    QTest::newRow("pause: left bar top-left") << pause << QPoint(2, 1) << true;
    QTest::newRow("pause: left bar bottom-right") << pause << QPoint(15, 30) << true;
    QTest::newRow("pause: gap") << pause << QPoint(16, 15) << false;
    QTest::newRow("pause: gap right") << pause << QPoint(17, 15) << false;
    QTest::newRow("pause: right bar") << pause << QPoint(18, 15) << true;
    QTest::newRow("pause: right bar end") << pause << QPoint(30, 30) << true;
    QTest::newRow("pause: above the bars") << pause << QPoint(2, 0) << false;
    QTest::newRow("pause: below the bars") << pause << QPoint(30, 31) << false;
    QTest::newRow("pause: right margin") << pause << QPoint(31, 15) << false;
    QTest::newRow("play: top of the left side") << play << QPoint(4, 3) << true;
    QTest::newRow("play: bottom of the left side") << play << QPoint(4, 29) << true;
    QTest::newRow("play: apex") << play << QPoint(28, 16) << true;
    QTest::newRow("play: beside the apex") << play << QPoint(28, 15) << false;
    QTest::newRow("play: beyond the apex") << play << QPoint(29, 16) << false;
    QTest::newRow("play: left of the side") << play << QPoint(3, 16) << false;
    QTest::newRow("play: above the side") << play << QPoint(4, 2) << false;
    QTest::newRow("play: inside") << play << QPoint(16, 16) << true;
    QTest::newRow("stop: corner") << stop << QPoint(2, 2) << true;
    QTest::newRow("stop: opposite corner") << stop << QPoint(29, 29) << true;
    QTest::newRow("stop: left margin") << stop << QPoint(1, 10) << false;
    QTest::newRow("stop: right margin") << stop << QPoint(30, 10) << false;
}

void HalvaneWindowTest::symbolPictures()
{
    QFETCH(int, symbol);
    QFETCH(QPoint, pixel);
    QFETCH(bool, black);
    const QImage picture = MakeSymbolPicture(static_cast<Symbol>(symbol));
    QCOMPARE(picture.size(), QSize(32, 32));
    QCOMPARE(picture.pixel(pixel) | 0xff000000u, black ? 0xff000000u : 0xffffffffu);
}

void HalvaneWindowTest::filterListsInTheToolkitsForm_data()
{
    QTest::addColumn<QString>("filterList");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<bool>("valid");
    QTest::newRow("impulse responses") << "Impulse Resp.Files (*.wav)|*.wav"
                                       << QStringList{"Impulse Resp.Files (*.wav)"} << true;
    QTest::newRow("pictures") << "Picture (*.jpg)|*.jpg" << QStringList{"Picture (*.jpg)"} << true;
    QTest::newRow("pattern not in the description") << "Text|*.txt" << QStringList{"Text (*.txt)"} << true;
    QTest::newRow("two pairs") << "A|*.a|B (*.b)|*.b" << QStringList{"A (*.a)", "B (*.b)"} << true;
    QTest::newRow("empty") << "" << QStringList{} << false;
    QTest::newRow("description without pattern") << "Pictures" << QStringList{} << false;
    QTest::newRow("empty pattern") << "Pictures|" << QStringList{} << false;
}

void HalvaneWindowTest::filterListsInTheToolkitsForm()
{
    QFETCH(QString, filterList);
    QFETCH(QStringList, filters);
    QFETCH(bool, valid);
    const auto got = NameFiltersFrom(filterList);
    QCOMPARE(got.has_value(), valid);
    if (valid) {
        QCOMPARE(*got, filters);
    }
}

void HalvaneWindowTest::cancelledFileChoiceChangesNothing()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.ChooseImpulseResponse();
    QCOMPARE(dialogs.fileRequests.size(), std::size_t{1});
    QCOMPARE(dialogs.fileRequests[0].title, QStringLiteral("Load an Impulse Response File"));
    QCOMPARE(dialogs.fileRequests[0].nameFilters, QStringList{"Impulse Resp.Files (*.wav)"});
    QCOMPARE(dialogs.fileRequests[0].initialName, QStringLiteral("*.wav"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane AMBIX version"));
    QCOMPARE(qobject_cast<QLineEdit*>(Control(window, "TextBox1"))->text(),
             QStringLiteral("Click this button to load IR =>"));
    QVERIFY(window.State().IrFileName.empty());
    QVERIFY(dialogs.warnings.empty());

    // After a choice, a cancelled second choice keeps the first.
    dialogs.fileAnswers.push_back(QStringLiteral("/data/ir/room1.wav"));
    window.ChooseImpulseResponse();
    window.ChooseImpulseResponse();
    QCOMPARE(window.State().IrFileName, std::string("/data/ir/room1.wav"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane-Ambix - /data/ir/room1.wav"));
}

void HalvaneWindowTest::chosenFileSetsCaptionAndTextBox()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    // A name typed for a file that does not exist is stored all the same.
    dialogs.fileAnswers.push_back(QStringLiteral("/no/such/dir/room 1 (ö).wav"));
    QTest::mouseClick(qobject_cast<QPushButton*>(Control(window, "Command1")), Qt::LeftButton);
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane-Ambix - /no/such/dir/room 1 (ö).wav"));
    QCOMPARE(qobject_cast<QLineEdit*>(Control(window, "TextBox1"))->text(),
             QStringLiteral("/no/such/dir/room 1 (ö).wav"));
    QCOMPARE(QString::fromStdString(window.State().IrFileName), QStringLiteral("/no/such/dir/room 1 (ö).wav"));
}

void HalvaneWindowTest::backgroundPictureLoadsAndSurvivesClearing()
{
    QTemporaryDir dir;
    QImage panorama(960, 480, QImage::Format_RGB32);
    panorama.fill(qRgb(200, 40, 40));
    const QString path = dir.filePath(QStringLiteral("room.jpg"));
    QVERIFY(panorama.save(path, "JPG", 95));

    FakeDialogs dialogs;
    Halvane window(&dialogs);
    DrawingSurface& map = window.DirectionMap();
    map.Box(0, 0, 20, 20, Qt::white);
    dialogs.fileAnswers.push_back(path);
    QTest::mouseClick(&map, Qt::LeftButton, {}, QPoint(100, 100));
    QCOMPARE(dialogs.fileRequests.size(), std::size_t{1});
    QCOMPARE(dialogs.fileRequests[0].title, QStringLiteral("Load a background image (960x480)"));
    QCOMPARE(dialogs.fileRequests[0].nameFilters, QStringList{"Picture (*.jpg)"});
    QCOMPARE(dialogs.fileRequests[0].initialName, QStringLiteral("*.jpg"));
    // The drawing is gone and the picture fills the map.
    for (const QPoint p : {QPoint(0, 0), QPoint(478, 238), QPoint(956, 476)}) {
        const QRgb pixel = map.Image().pixel(p);
        QVERIFY(std::abs(qRed(pixel) - 200) < 8 && std::abs(qGreen(pixel) - 40) < 8);
    }
    const QImage loaded = map.Image();
    map.Circle(0, 0, 30, Qt::white);
    map.Clear();
    QCOMPARE(map.Image(), loaded);
}

void HalvaneWindowTest::unreadableBackgroundKeepsThePreviousOne()
{
    QTemporaryDir dir;
    const QString fake = dir.filePath(QStringLiteral("notes.jpg"));
    {
        QFile file(fake);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is text, not a picture\n");
    }
    const QString truncated = dir.filePath(QStringLiteral("cut.jpg"));
    {
        QImage panorama(960, 480, QImage::Format_RGB32);
        panorama.fill(qRgb(10, 200, 10));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        panorama.save(&buffer, "JPG");
        QFile file(truncated);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes.left(20));
    }

    FakeDialogs dialogs;
    Halvane window(&dialogs);
    DrawingSurface& map = window.DirectionMap();
    const QImage placeholder = map.Image();
    for (const QString& path : {fake, truncated, dir.filePath(QStringLiteral("missing.jpg"))}) {
        map.Box(0, 0, 20, 20, Qt::white);
        dialogs.fileAnswers.push_back(path);
        window.LoadBackground();
        QCOMPARE(map.Image(), placeholder);  // cleared, previous picture still behind
    }
    QCOMPARE(dialogs.warnings.size(), std::size_t{3});
    QVERIFY(dialogs.warnings[0].contains(fake));
}

void HalvaneWindowTest::cancelledBackgroundKeepsTheMapAsItIs()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    DrawingSurface& map = window.DirectionMap();
    map.Box(0, 0, 20, 20, Qt::white);
    const QImage drawn = map.Image();
    window.LoadBackground();
    QCOMPARE(map.Image(), drawn);
    QVERIFY(dialogs.warnings.empty());
}

void HalvaneWindowTest::otherClicksDoNothing()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    const QImage polar = window.PolarView().Image();
    QTest::mouseClick(Control(window, "Picture3"), Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseClick(Control(window, "Label21"), Qt::LeftButton);
    QTest::mouseClick(Control(window, "ProgressBar1"), Qt::LeftButton);
    QTest::mouseClick(Control(window, "Picture1"), Qt::LeftButton, {}, QPoint(50, 50));  // not paused
    QVERIFY(dialogs.fileRequests.empty());
    QCOMPARE(window.PolarView().Image(), polar);
    QCOMPARE(window.State().JumpIndex, 0);
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane AMBIX version"));
}

void HalvaneWindowTest::polarDiagramPresentAfterTheFirstActivation()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    QCOMPARE(window.PolarView().Image().pixel(0, 113), 0xffffffffu);  // nothing before the window shows
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    std::unique_ptr<DrawingSurface> expected(CreatePolarView(nullptr));
    expected->setFont(window.PolarView().font());
    DrawPolarDiagram(*expected);
    QCOMPARE(window.PolarView().Image(), expected->Image());
}

void HalvaneWindowTest::jumpIndexAtThePointer_data()
{
    QTest::addColumn<float>("xMs");
    QTest::addColumn<double>("averagingWindowMs");
    QTest::addColumn<int>("expected");  // -1: press ignored
    QTest::newRow("1234 ms, 5 ms windows: 246.8 - 0.49999") << 1234.0f << 5.0 << 246;
    QTest::newRow("9.99996 ms: fraction above 0.99999 counts as the next window") << 9.99996f << 5.0 << 2;
    QTest::newRow("9.9999 ms: fraction below stays") << 9.9999f << 5.0 << 1;
    QTest::newRow("inside the first window") << 3.0f << 5.0 << 0;
    QTest::newRow("window starting at 400 ms") << 401.0f << 5.0 << 80;
    QTest::newRow("negative position") << -12.0f << 5.0 << -3;
    QTest::newRow("averaging window 0 before the first run") << 100.0f << 0.0 << -1;
    QTest::newRow("0 over 0") << 0.0f << 0.0 << -1;
    QTest::newRow("index beyond 32 bits") << 3.0e9f << 1.0 << -1;
    QTest::newRow("tiny averaging window") << 1000.0f << 1e-300 << -1;
}

void HalvaneWindowTest::jumpIndexAtThePointer()
{
    QFETCH(float, xMs);
    QFETCH(double, averagingWindowMs);
    QFETCH(int, expected);
    const auto index = JumpIndexAt(xMs, averagingWindowMs);
    QCOMPARE(index.has_value(), expected != -1);
    if (index) {
        QCOMPARE(*index, expected);
    }
}

void HalvaneWindowTest::runControlsOnlySetTheSharedState()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    SharedState& state = window.State();
    DrawingSurface& strip = window.TimeStrip();
    strip.SetHorizontalScale(0, 957);  // one ms per pixel
    state.AveragingWindowMs = 5;

    QTest::mouseClick(Control(window, "Image1"), Qt::LeftButton);
    QVERIFY(state.Paused);
    QTest::mouseClick(Control(window, "Image1"), Qt::LeftButton);
    QVERIFY(state.Paused);
    // Any button, any shift state; x is read in the strip's scale.
    QTest::mousePress(&strip, Qt::RightButton, Qt::ControlModifier, QPoint(2 + 401, 2 + 90));
    QCOMPARE(state.JumpIndex, 80);
    QTest::mouseRelease(&strip, Qt::RightButton, Qt::ControlModifier, QPoint(2 + 401, 2 + 90));
    QTest::mouseClick(Control(window, "Image3"), Qt::LeftButton);
    QVERIFY(!state.Paused);
    QTest::mousePress(&strip, Qt::LeftButton, {}, QPoint(2 + 700, 2 + 10));
    QCOMPARE(state.JumpIndex, 80);  // not paused: unchanged
    QVERIFY(!state.StopRequested);
    QTest::mouseClick(Control(window, "Image4"), Qt::LeftButton);
    QVERIFY(state.StopRequested);

    // Paused before any run: the press would divide by zero and is ignored.
    state.AveragingWindowMs = 0;
    state.Paused = true;
    QTest::mousePress(&strip, Qt::LeftButton, {}, QPoint(2 + 300, 2 + 10));
    QCOMPARE(state.JumpIndex, 80);
}

void HalvaneWindowTest::screenshot()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral(HALVANE_SCREENSHOT_DIR "/halvane-window.png");
    QVERIFY(shot.save(path));
    qInfo("window screenshot: %s", qPrintable(path));
    QCOMPARE(shot.size(), QSize(1209, 716));
    // Pause symbol: black bar inside the 2 px frame; white gap between bars.
    QCOMPARE(shot.pixel(1072 + 2 + 5, 0 + 2 + 10), 0xff000000u);
    QCOMPARE(shot.pixel(1072 + 2 + 16, 0 + 2 + 10), 0xffffffffu);
    // Stop symbol centre.
    QCOMPARE(shot.pixel(1168 + 2 + 16, 0 + 2 + 16), 0xff000000u);
    // Legend lines: black over Shape1, blue over Shape2; the boxes white around them.
    QCOMPARE(shot.pixel(1055, 584), 0xff000000u);
    QCOMPARE(shot.pixel(1055, 648), qRgb(0, 0, 255));
    QCOMPARE(shot.pixel(1055, 579), 0xffffffffu);
    // The placeholder on the map: grid line at x = 150 of the picture, field beside it.
    QCOMPARE(shot.pixel(8 + 2 + 150, 40 + 2 + 75), PlaceholderGridRgb);
    QCOMPARE(shot.pixel(8 + 2 + 75, 40 + 2 + 75), PlaceholderFieldRgb);
    // The polar diagram's outer circle touches the polar view's left edge.
    QCOMPARE(shot.pixel(976 + 2, 40 + 2 + 113), 0xff000000u);
}

QTEST_MAIN(HalvaneWindowTest)
#include "tst_Halvane.moc"
