#include "app/Halvane.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>

#include "analysis/convention/InputConvention.h"
#include "analysis/results/ResponseAnalysis.h"
#include "app/ConverterHintDialogs.h"
#include "app/DroppedFile.h"
#include "app/NoticeBar.h"
#include "app/PickFileOrCancel.h"
#include "app/QtDialogService.h"
#include "app/QtRunHost.h"
#include "app/ResultsWindow.h"
#include "app/RunControls.h"
#include "app/RunTitle.h"
#include "app/SymbolImage.h"
#include "display/BackgroundPicture.h"
#include "display/DrawingSurface.h"
#include "display/LiveDisplay.h"
#include "display/PictureBoxes.h"

namespace halvane {

namespace {

// Window geometry in pixels (15 twips to the pixel).
constexpr int ClientWidthPx = 1209;
constexpr int ClientHeightPx = 716;
constexpr int OpeningLeftPx = 61;
constexpr int OpeningTopPx = 27;

struct LabelPlace {
    const char* name;
    const char* caption;
    int left, top, width, height;
    bool centred;
};

// Headings over the meters, their scale marks, the strip's dB scale and the
// legend texts. Mind the blanks: they are part of the captions.
constexpr LabelPlace Labels[] = {
    {"Label1", "X", 968, 272, 41, 17, true},
    {"Label2", "Y", 1032, 272, 41, 17, true},
    {"Label3", "Z", 1096, 272, 41, 17, true},
    {"Label18", "Li - Ld", 1144, 272, 73, 17, true},
    {"Label4", "+ 1", 1016, 296, 25, 17, false},
    {"Label6", "0", 1016, 408, 25, 17, false},
    {"Label5", "- 1", 1016, 512, 25, 17, false},
    {"Label7", "+ 1", 1072, 296, 41, 17, false},
    {"Label9", "0", 1072, 408, 65, 25, false},
    {"Label8", "- 1", 1072, 512, 33, 17, false},
    {"Label10", "+ 1", 1128, 296, 33, 17, false},
    {"Label12", "0", 1128, 408, 17, 25, false},
    {"Label11", "- 1", 1128, 512, 25, 17, false},
    {"Label15", "0 dB", 1184, 296, 65, 17, false},
    {"Label13", "-5 dB", 1184, 408, 65, 25, false},
    {"Label14", "-10 dB", 1176, 512, 65, 17, false},
    {"Label17", "0 dB", 976, 528, 49, 25, false},
    {"Label19", "- 20 dB", 976, 584, 49, 17, false},
    {"Label24", "- 40 dB", 976, 644, 49, 17, false},
    {"Label20", "- 60 dB", 976, 704, 49, 17, false},
    {"Label21", "Energy Density ", 1080, 576, 105, 17, false},
    {"Label22", "Sound Intensity", 1080, 640, 105, 17, false},
};

// The dialog font of every control: a plain sans-serif about 11 px high,
// narrowed so that the scale marks stay clear of the next meter ("+ 1" from
// x 1016 before PgY at 1032) and inside the client area ("-10 dB" from 1176).
QFont DialogFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(75);
    return font;
}

char RegionalDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point.front().unicode() < 128) {
        return static_cast<char>(point.front().unicode());
    }
    return '.';
}

QWidget* MakeLegendLine(QWidget* parent, const char* name, int top, QColor colour)
{
    // A 3 px line from x 1039.5 to 1071.5 centred on the given row.
    auto* line = new QWidget(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setGeometry(1040, top - 1, 32, 3);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

QFrame* MakeLegendBox(QWidget* parent, const char* name, int top)
{
    auto* box = new QFrame(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(1040, top, 33, 17);
    box->setFrameStyle(QFrame::Box | QFrame::Plain);
    box->setLineWidth(1);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
    return box;
}

}  // namespace

Halvane::Halvane(DialogService* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Halvane"));
    if (dialogs == nullptr) {
        m_ownDialogs = std::make_unique<QtDialogService>(this);
        dialogs = m_ownDialogs.get();
    }
    m_dialogs = dialogs;

    setFont(DialogFont());
    setWindowTitle(QStringLiteral("Halvane AMBIX version"));
    setGeometry(OpeningLeftPx, OpeningTopPx, ClientWidthPx, ClientHeightPx);
    setFixedSize(ClientWidthPx, ClientHeightPx);

    // Labels, symbols and the legend lie on the window's own surface, below
    // every other control: they are created first.
    BuildLabelsAndLegend();
    BuildControls();
    SetFocusOrder();

    m_display = std::make_unique<LiveDisplay>(*m_strip, *m_map, *m_polar,
                                              DisplayControls{m_textBox, m_pgX, m_pgY, m_pgZ, m_idc, m_progress},
                                              RegionalDecimalSeparator());
    m_runDialogs = std::make_unique<ConverterHintDialogs>(*m_dialogs);
    m_host = std::make_unique<QtRunHost>(*m_runDialogs, *this);
    m_runTitle = std::make_unique<RunTitle>(*this);
    BuildKeyboard();

    connect(m_chooseButton, &QPushButton::clicked, this, &Halvane::ChooseImpulseResponse);
    connect(m_processButton, &QPushButton::clicked, this, &Halvane::Process);
    connect(m_pauseImage, &SymbolImage::Clicked, this, [this] { PauseRun(m_state); });
    connect(m_playImage, &SymbolImage::Clicked, this, [this] { ResumeRun(m_state); });
    connect(m_stopImage, &SymbolImage::Clicked, this, [this] { StopRun(m_state); });
    connect(m_strip, &DrawingSurface::Pressed, this, [this](float x, float) { PressOnStrip(m_state, x); });
    connect(m_map, &DrawingSurface::Clicked, this, &Halvane::LoadBackground);
    m_map->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_map, &QWidget::customContextMenuRequested, this, &Halvane::ShowMapMenu);

    // The text box would take a dropped file's name as typed text; the window
    // takes the file itself, wherever it is dropped.
    m_textBox->setAcceptDrops(false);
    setAcceptDrops(true);
}

Halvane::~Halvane() = default;

void Halvane::BuildLabelsAndLegend()
{
    for (const LabelPlace& place : Labels) {
        auto* label = new QLabel(QString::fromLatin1(place.caption), this);
        label->setObjectName(QString::fromLatin1(place.name));
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(place.left, place.top, place.width, place.height);
        label->setAlignment((place.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    }
    MakeLegendBox(this, "Shape1", 576);
    MakeLegendBox(this, "Shape2", 640);
    MakeLegendLine(this, "Line1", 584, Qt::black);
    MakeLegendLine(this, "Line2", 648, QColor(0, 0, 255));

    m_pauseImage = new SymbolImage(Symbol::Pause, this);
    m_pauseImage->setObjectName(QStringLiteral("Image1"));
    m_pauseImage->move(1072, 0);
    m_playImage = new SymbolImage(Symbol::Play, this);
    m_playImage->setObjectName(QStringLiteral("Image3"));
    m_playImage->move(1120, 0);
    m_stopImage = new SymbolImage(Symbol::Stop, this);
    m_stopImage->setObjectName(QStringLiteral("Image4"));
    m_stopImage->move(1168, 0);
}

QSlider* Halvane::MakeMeter(const char* name, int x, int minimum, int maximum, int tick, int value)
{
    auto* meter = new QSlider(Qt::Vertical, this);
    meter->setObjectName(QString::fromLatin1(name));
    meter->setGeometry(x, 296, 33, 233);
    // The minimum at the top end, ticks on the right towards the marks.
    meter->setInvertedAppearance(true);
    meter->setRange(minimum, maximum);
    meter->setTickPosition(QSlider::TicksRight);
    meter->setTickInterval(tick);
    meter->setValue(value);
    meter->setFocusPolicy(Qt::StrongFocus);
    return meter;
}

void Halvane::BuildControls()
{
    m_textBox = new QLineEdit(QStringLiteral("Click this button to load IR =>"), this);
    m_textBox->setObjectName(QStringLiteral("TextBox1"));
    m_textBox->setGeometry(8, 8, 457, 25);

    m_chooseButton = new QPushButton(QStringLiteral("..."), this);
    m_chooseButton->setObjectName(QStringLiteral("Command1"));
    m_chooseButton->setGeometry(472, 8, 41, 25);

    m_processButton = new QPushButton(QStringLiteral("Process"), this);
    m_processButton->setObjectName(QStringLiteral("Command2"));
    m_processButton->setGeometry(536, 8, 89, 25);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setGeometry(648, 8, 417, 25);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFocusPolicy(Qt::NoFocus);

    m_map = CreateDirectionMap(this);
    m_map->setObjectName(QStringLiteral("Picture2"));
    m_map->move(8, 40);
    m_polar = CreatePolarView(this);
    m_polar->setObjectName(QStringLiteral("Picture3"));
    m_polar->move(976, 40);
    m_strip = CreateTimeStrip(this);
    m_strip->setObjectName(QStringLiteral("Picture1"));
    m_strip->move(8, 528);

    // Over the map's bottom rows, above everything else there.
    m_notice = new NoticeBar(this);
    m_notice->setObjectName(QStringLiteral("ConventionNotice"));
    m_notice->setGeometry(8, 481, 961, 40);

    m_pgX = MakeMeter("PgX", 976, -100, 100, 20, 0);
    m_pgY = MakeMeter("PgY", 1032, -100, 100, 20, 0);
    m_pgZ = MakeMeter("PgZ", 1088, -100, 100, 20, 0);
    m_idc = MakeMeter("IDc", 1144, 0, 100, 10, 100);
}

void Halvane::SetFocusOrder()
{
    QWidget* const order[] = {m_textBox, m_chooseButton, m_processButton, m_map, m_strip,
                              m_polar,   m_pgX,          m_pgY,           m_pgZ, m_idc};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    m_textBox->setFocus();
}

void Halvane::BuildKeyboard()
{
    m_pauseImage->setToolTip(QStringLiteral("Pause the run (Space)"));
    m_playImage->setToolTip(QStringLiteral("Go on with the paused run (Space)"));
    m_stopImage->setToolTip(QStringLiteral("Stop the run (Esc)"));
    m_chooseButton->setToolTip(QStringLiteral("Choose the impulse response, a B-format WAV file (Ctrl+O)"));

    m_spaceKey = new QShortcut(QKeySequence(Qt::Key_Space), this);
    m_spaceKey->setObjectName(QStringLiteral("PauseKey"));
    m_spaceKey->setEnabled(false);
    connect(m_spaceKey, &QShortcut::activated, this, &Halvane::PauseOrResume);
    auto* escapeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escapeKey->setObjectName(QStringLiteral("StopKey"));
    connect(escapeKey, &QShortcut::activated, this, [this] { StopRun(m_state); });
    auto* openKey = new QShortcut(QKeySequence::Open, this);
    openKey->setObjectName(QStringLiteral("OpenKey"));
    connect(openKey, &QShortcut::activated, m_chooseButton, &QPushButton::click);
    auto* resultsKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    resultsKey->setObjectName(QStringLiteral("ResultsKey"));
    connect(resultsKey, &QShortcut::activated, this, &Halvane::OpenResults);
    // The text box would type Space as a blank before any shortcut saw it.
    m_textBox->installEventFilter(this);
}

void Halvane::PauseOrResume()
{
    if (m_state.Paused) {
        ResumeRun(m_state);
    } else {
        PauseRun(m_state);
    }
}

bool Halvane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_textBox && event->type() == QEvent::ShortcutOverride && m_runUnderWay) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            // Not taken by the text box: the shortcut gets it.
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Halvane::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && m_display) {
        m_display->DrawPolarDiagramOnActivation();
    }
    return QWidget::event(event);
}

void Halvane::showEvent(QShowEvent* event)
{
    // Not every window system activates a window when it is first shown;
    // the diagram must be there from the start all the same.
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_display->DrawPolarDiagramOnActivation();
    }
    QWidget::showEvent(event);
}

void Halvane::closeEvent(QCloseEvent* event)
{
    // A run under way stops at its next step and closes its tables; the
    // program ends once the run has returned.
    m_host->RequestQuit();
    event->accept();
    // A dialog still open over the window (a prompt, a message box, a file
    // dialog) would hold the run, and the program, until someone answered it
    // with the window already gone: it is dismissed as if cancelled, and the
    // run ends as soon as the dialog returns.
    for (QDialog* dialog : findChildren<QDialog*>()) {
        if (dialog->isVisible()) {
            dialog->reject();
        }
    }
    if (!m_runUnderWay) {
        QCoreApplication::quit();
    }
}

void Halvane::ChooseImpulseResponse()
{
    const auto path = PickFileOrCancel(*m_dialogs, QStringLiteral("Load an Impulse Response File"),
                                       QStringLiteral("Impulse Resp.Files (*.wav)|*.wav"), QStringLiteral("*.wav"));
    if (!path) {
        return;
    }
    ChooseFile(*path);
}

void Halvane::ChooseFile(const QString& path)
{
    m_state.IrFileName = QFile::encodeName(path).toStdString();
    m_runTitle->SetFileTitle(QStringLiteral("Halvane-Ambix - ") + path);
    m_textBox->setText(path);
    m_notice->ShowNotice(QString());
}

QString Halvane::Notice() const { return m_notice->Text(); }

void Halvane::Process()
{
    if (m_runUnderWay || m_host->ShouldQuit()) {
        return;
    }
    m_runUnderWay = true;
    m_spaceKey->setEnabled(true);
    const QString inputPath = QFile::decodeName(m_state.IrFileName.c_str());
    m_runDialogs->SetRunInput(inputPath);
    DiskInput input;
    std::optional<std::string> notice;
    if (!m_state.IrFileName.empty()) {
        if (const auto opened = input.Open(m_state.IrFileName)) {
            notice = ConventionNotice(**opened, inputPath.toStdString());
        }
    }
    m_notice->ShowNotice(notice ? QStringLiteral("This file may not be AmbiX/SN3D: ") +
                                      QString::fromStdString(*notice) + QLatin1Char('.')
                                : QString());
    DiskTables tables;
    m_lastReport = RunAnalysis(m_state, *m_host, input, tables, *m_display, *m_runTitle);
    m_runTitle->RunEnded();
    m_spaceKey->setEnabled(false);
    m_runUnderWay = false;
    if (m_host->ShouldQuit()) {
        QCoreApplication::quit();
    }
}

void Halvane::LoadBackground()
{
    const auto path = PickFileOrCancel(*m_dialogs, QStringLiteral("Load a background image (960x480)"),
                                       QStringLiteral("Picture (*.jpg)|*.jpg"), QStringLiteral("*.jpg"));
    if (!path) {
        return;
    }
    LoadBackgroundFrom(*path);
}

void Halvane::LoadBackgroundFrom(const QString& path)
{
    m_map->Clear();
    const LoadedPicture loaded = LoadBackgroundPicture(path);
    if (loaded.picture.isNull()) {
        m_dialogs->ShowWarning(loaded.whyNot);
        return;
    }
    m_map->SetBackgroundPicture(MapBackground(loaded.picture));
    m_map->Clear();
    m_backgroundPath = path;
}

void Halvane::OpenResults()
{
    if (!m_results) {
        m_results = std::make_unique<ResultsWindow>();
    }
    m_results->ShowResultsOf(QFile::decodeName(m_state.IrFileName.c_str()), SettingsOfRun(m_state), m_backgroundPath);
    m_results->show();
    m_results->raise();
    m_results->activateWindow();
}

void Halvane::ShowMapMenu(const QPoint& pos)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("MapMenu"));
    QAction* results = menu.addAction(QStringLiteral("Results of this file..."), this, &Halvane::OpenResults);
    results->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    menu.addAction(QStringLiteral("Background picture..."), this, &Halvane::LoadBackground);
    menu.exec(m_map->mapToGlobal(pos));
}

void Halvane::OpenAtStart(const QString& irFile, const QString& picturePath)
{
    if (!irFile.isEmpty()) {
        // The file dialog lets a new name through (the run then says it cannot
        // open it), but a name on the command line was meant to exist: a typo
        // found only at Process, with the name shown in the title as if all
        // were well, would be found too late.
        const QFileInfo file(irFile);
        if (file.isFile()) {
            ChooseFile(irFile);
        } else if (file.exists()) {
            m_dialogs->ShowWarning(
                QStringLiteral("Sorry, %1 is not a file: no impulse response is chosen.").arg(irFile));
        } else {
            m_dialogs->ShowWarning(
                QStringLiteral("Sorry, the file %1 does not exist: no impulse response is chosen.").arg(irFile));
        }
    }
    if (!picturePath.isEmpty()) {
        LoadBackgroundFrom(picturePath);
    }
}

bool Halvane::OnMap(const QPointF& pos) const { return m_map->geometry().contains(pos.toPoint()); }

void Halvane::dragEnterEvent(QDragEnterEvent* event)
{
    // Taken when some place of the window would take it; whether the place
    // under the pointer does (a picture only over the map) is for the moves.
    const DroppedFile anywhere = ReadDrop(event->mimeData(), true, m_runUnderWay);
    if (anywhere.use == DropUse::Refused) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void Halvane::dragMoveEvent(QDragMoveEvent* event)
{
    const DroppedFile here = ReadDrop(event->mimeData(), OnMap(event->position()), m_runUnderWay);
    if (here.use == DropUse::Refused) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void Halvane::dropEvent(QDropEvent* event)
{
    // Read again at the drop: a run may have started since the drag entered.
    const DroppedFile dropped = ReadDrop(event->mimeData(), OnMap(event->position()), m_runUnderWay);
    switch (dropped.use) {
    case DropUse::ChooseImpulseResponse:
        event->acceptProposedAction();
        ChooseFile(dropped.path);
        break;
    case DropUse::LoadBackground:
        event->acceptProposedAction();
        LoadBackgroundFrom(dropped.path);
        break;
    case DropUse::Refused:
        event->ignore();
        break;
    }
}

}  // namespace halvane
