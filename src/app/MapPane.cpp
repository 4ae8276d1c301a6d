#include "app/MapPane.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include "analysis/room/OctaveBands.h"
#include "display/PictureBoxes.h"
#include "display/maps/MapColours.h"
#include "display/results/EnergyMapView.h"
#include "display/results/EnergyTimeView.h"
#include "display/results/MapPointer.h"

namespace halvane {
namespace {

// The range chooser's entries: the named ranges of the maps, then a custom one.
enum RangeEntry { kDirect, kEarly, kLate, kCustom };
constexpr int kLeastRangeDb = 20;
constexpr int kMostRangeDb = 60;
constexpr double kLongestMs = 1e6;
constexpr QSize kColourBarPx{64, 481};

QLabel* Caption(const char* text, QWidget* parent) { return new QLabel(QString::fromLatin1(text), parent); }

QDoubleSpinBox* MsField(const char* name, QWidget* parent)
{
    auto* field = new QDoubleSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(0, kLongestMs);
    field->setDecimals(1);
    field->setSuffix(QStringLiteral(" ms"));
    field->setKeyboardTracking(false);  // a range once typed, not at every digit
    return field;
}

}  // namespace

MapPane::MapPane(QWidget* parent) : QWidget(parent)
{
    BuildControls();
    m_map = new EnergyMapView(this);
    m_map->setObjectName(QStringLiteral("EnergyMap"));
    m_colourBar = new QLabel(this);
    m_colourBar->setObjectName(QStringLiteral("MapColourBar"));
    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("MapReadout"));
    m_readout->setMinimumWidth(260);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("MapStatus"));
    m_status->setWordWrap(true);
    m_curve = new EnergyTimeView(this);
    m_curve->setObjectName(QStringLiteral("EnergyTimeCurve"));

    auto* controls = new QHBoxLayout;
    for (QWidget* widget : std::initializer_list<QWidget*>{
             Caption("Range:", this), m_range, Caption("from", this), m_fromMs, Caption("to", this), m_toMs,
             Caption("Estimator:", this), m_estimator, Caption("Dynamic range:", this), m_dynamicRange,
             Caption("Band:", this), m_band}) {
        controls->addWidget(widget);
    }
    controls->addStretch(1);
    auto* mapRow = new QHBoxLayout;
    mapRow->addWidget(m_map);
    mapRow->addWidget(m_colourBar, 0, Qt::AlignTop);
    mapRow->addStretch(1);
    auto* readoutRow = new QHBoxLayout;
    readoutRow->addWidget(m_readout);
    readoutRow->addWidget(m_status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addLayout(mapRow);
    layout->addLayout(readoutRow);
    layout->addWidget(m_curve, 0, Qt::AlignLeft);
    layout->addStretch(1);

    connect(m_map, &EnergyMapView::PointerMoved, this, &MapPane::PointerMoved);
    connect(m_map, &EnergyMapView::PointerLeft, m_readout, &QLabel::clear);
    connect(m_map, &EnergyMapView::ArrivalPressed, this, &MapPane::ArrivalPressed);
    connect(m_curve, &EnergyTimeView::RangeDragged, this, &MapPane::ChooseRange);
    SetResults(nullptr, QImage());
}

MapPane::~MapPane()
{
    if (m_thread == nullptr) return;
    m_thread->wait();
    delete m_thread;
}

void MapPane::BuildControls()
{
    m_range = new QComboBox(this);
    m_range->setObjectName(QStringLiteral("MapRange"));
    m_range->addItems({QStringLiteral("direct (0-5 ms)"), QStringLiteral("early (5-80 ms)"),
                       QStringLiteral("late (80 ms to the decay's end)"), QStringLiteral("custom")});
    m_fromMs = MsField("MapFromMs", this);
    m_toMs = MsField("MapToMs", this);
    m_estimator = new QComboBox(this);
    m_estimator->setObjectName(QStringLiteral("MapEstimator"));
    m_estimator->addItem(QStringLiteral("beam (max-rE)"), static_cast<int>(MapEstimator::Beam));
    m_estimator->addItem(QStringLiteral("histogram (intensity)"), static_cast<int>(MapEstimator::Histogram));
    m_dynamicRange = new QSpinBox(this);
    m_dynamicRange->setObjectName(QStringLiteral("MapDynamicRange"));
    m_dynamicRange->setRange(kLeastRangeDb, kMostRangeDb);
    m_dynamicRange->setSingleStep(5);
    m_dynamicRange->setValue(static_cast<int>(kDefaultMapRangeDb));  // the batch's pictures' own
    m_dynamicRange->setSuffix(QStringLiteral(" dB"));
    m_band = new QComboBox(this);
    m_band->setObjectName(QStringLiteral("MapBand"));
    m_band->addItem(QStringLiteral("all (unfiltered)"), kBroadband);
    for (const int hz : kOctaveBandsHz) m_band->addItem(QStringLiteral("%1 Hz").arg(hz), hz);

    connect(m_range, &QComboBox::currentIndexChanged, this, &MapPane::RangeChosen);
    connect(m_fromMs, &QDoubleSpinBox::valueChanged, this, &MapPane::FieldsEdited);
    connect(m_toMs, &QDoubleSpinBox::valueChanged, this, &MapPane::FieldsEdited);
    connect(m_estimator, &QComboBox::currentIndexChanged, this, &MapPane::RequestMap);
    connect(m_band, &QComboBox::currentIndexChanged, this, &MapPane::RequestMap);
    connect(m_dynamicRange, &QSpinBox::valueChanged, this, [this](int rangeDb) {
        m_map->ShowMap(m_map->Map(), rangeDb);
        m_colourBar->setPixmap(QPixmap::fromImage(MapColourBar(rangeDb, kColourBarPx, PictureTextFont())));
    });
}

void MapPane::SetResults(const ResponseResults* response, const QImage& background)
{
    m_response = response;
    m_maps = response ? response->maps : nullptr;
    m_shown.reset();
    m_map->SetBackground(background);
    m_map->ShowMap(std::nullopt, m_dynamicRange->value());
    m_map->SetArrivals(response ? response->findings.arrivals : std::vector<Arrival>(),
                       response ? response->results.arrivalFloorDb : kArrivalFloorDb);
    m_colourBar->setPixmap(QPixmap::fromImage(MapColourBar(m_dynamicRange->value(), kColourBarPx, PictureTextFont())));
    m_curve->Show({}, 0, 0, std::nullopt);
    m_readout->clear();
    m_status->clear();
    if (m_maps) RequestMap();
}

void MapPane::SelectArrival(int arrival)
{
    m_map->SelectArrival(arrival);
    m_curve->SetMark(SelectedTimeMs());
}

void MapPane::ChooseRange(double fromMs, double toMs)
{
    ShowRangeFields(fromMs, toMs);
    FieldsEdited();
}

QString MapPane::Readout() const { return m_readout->text(); }

MapRequest MapPane::Wanted() const
{
    MapRequest request;
    const int entry = m_range->currentIndex();
    request.range = entry == kCustom ? TimeRange{"", m_fromMs->value(), m_toMs->value()}
                                     : DefaultTimeRanges()[static_cast<std::size_t>(entry)];
    request.estimator = static_cast<MapEstimator>(m_estimator->currentData().toInt());
    request.bandHz = m_band->currentData().toInt();
    return request;
}

void MapPane::RequestMap()
{
    if (!m_maps) return;
    const MapRequest request = Wanted();
    if (m_shown && m_shown->request == request) return;
    if (auto known = m_maps->Known(request)) {
        ShowMap(std::move(known));
        return;
    }
    m_status->setText(QStringLiteral("Computing the map ..."));
    if (m_thread == nullptr) StartComputing(request);
}

void MapPane::StartComputing(const MapRequest& request)
{
    auto result = std::make_shared<std::optional<Result<std::shared_ptr<const ShownMap>>>>();
    std::shared_ptr<ResponseMaps> maps = m_maps;
    m_thread = QThread::create([maps, request, result] { *result = maps->Compute(request); });
    connect(m_thread, &QThread::finished, this, [this, maps, request, result] {
        m_thread->deleteLater();
        m_thread = nullptr;
        if (maps != m_maps) return;  // the results changed meanwhile
        if (!(Wanted() == request)) {
            RequestMap();  // asked for another while this one was computed
        } else if (*result && **result) {
            ShowMap(***result);
        } else {
            ShowFailure(*result ? QString::fromStdString((*result)->Message()) : QString());
        }
    });
    m_thread->start();
}

void MapPane::ShowMap(std::shared_ptr<const ShownMap> shown)
{
    m_shown = std::move(shown);
    const EnergyMap& map = m_shown->Map();
    m_map->ShowMap(map, m_dynamicRange->value());
    m_curve->Show(m_shown->curve, map.range.fromMs, map.toMs, SelectedTimeMs());
    if (m_range->currentIndex() != kCustom) ShowRangeFields(map.range.fromMs, map.toMs);
    m_status->setText(QStringLiteral("%1 to %2 ms after the direct sound, peak %3 dB re the direct sound's")
                          .arg(map.range.fromMs, 0, 'f', 1)
                          .arg(map.toMs, 0, 'f', 1)
                          .arg(map.peakDb, 0, 'f', 1));
    emit MapShown();
}

void MapPane::ShowFailure(const QString& why)
{
    m_shown.reset();
    m_map->ShowMap(std::nullopt, m_dynamicRange->value());
    m_status->setText(QStringLiteral("No map: ") + why);
    emit MapShown();
}

void MapPane::ShowRangeFields(double fromMs, double toMs)
{
    m_settingFields = true;
    m_fromMs->setValue(fromMs);
    m_toMs->setValue(toMs);
    m_settingFields = false;
}

void MapPane::RangeChosen()
{
    if (m_range->currentIndex() != kCustom) {
        const TimeRange range = DefaultTimeRanges()[static_cast<std::size_t>(m_range->currentIndex())];
        if (range.toMs) ShowRangeFields(range.fromMs, *range.toMs);
    }
    RequestMap();
}

void MapPane::FieldsEdited()
{
    if (m_settingFields) return;
    if (m_range->currentIndex() != kCustom) {
        const QSignalBlocker quiet(m_range);
        m_range->setCurrentIndex(kCustom);
    }
    if (!(m_toMs->value() > m_fromMs->value())) {
        m_status->setText(QStringLiteral("The range must end after it begins."));
        return;
    }
    RequestMap();
}

void MapPane::PointerMoved(double azDeg, double elDeg)
{
    const std::optional<double> levelDb = m_shown ? MapLevelAt(m_shown->Map().levelDb, azDeg, elDeg) : std::nullopt;
    m_readout->setText(MapReadout(azDeg, elDeg, levelDb, m_dynamicRange->value()));
}

std::optional<double> MapPane::SelectedTimeMs() const
{
    const int arrival = m_map->SelectedArrival();
    if (arrival < 0 || !m_response || !m_shown) return std::nullopt;
    return m_response->findings.arrivals[static_cast<std::size_t>(arrival)].timeMs - m_shown->set.onsetMs;
}

}  // namespace halvane
