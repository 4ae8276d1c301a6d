#include "exchange/ResultsExchange.h"

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace halvane {
namespace {

constexpr std::string_view kStart = "halvane results\n";
constexpr std::string_view kEnd = "end";

// Appends little-endian numbers, flags and texts to a byte string.
class Writer {
public:
    void U8(std::uint8_t v) { m_bytes.push_back(static_cast<char>(v)); }
    void U32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void U64(std::uint64_t v)
    {
        for (int i = 0; i < 8; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void I64(std::int64_t v) { U64(static_cast<std::uint64_t>(v)); }
    void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
    void F64(double v) { U64(std::bit_cast<std::uint64_t>(v)); }
    void Flag(bool v) { U8(v ? 1 : 0); }
    void Count(std::size_t n) { U64(n); }
    void Text(std::string_view text)
    {
        Count(text.size());
        m_bytes.append(text);
    }
    void OptionalF64(const std::optional<double>& v)
    {
        Flag(v.has_value());
        F64(v.value_or(0.0));
    }
    void F64s(const std::vector<double>& values)
    {
        Count(values.size());
        for (double v : values) F64(v);
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Reads what Writer wrote from one section's payload. A read past the end
// gives 0 and marks the reader failed, so a decoder reads on and is judged
// once at its end.
class Reader {
public:
    explicit Reader(std::span<const std::byte> bytes) : m_bytes(bytes) { }

    std::uint8_t U8()
    {
        if (m_at >= m_bytes.size()) {
            m_ok = false;
            return 0;
        }
        return std::to_integer<std::uint8_t>(m_bytes[m_at++]);
    }
    std::uint32_t U32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(U8()) << (8 * i);
        return v;
    }
    std::uint64_t U64()
    {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(U8()) << (8 * i);
        return v;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::int64_t I64() { return static_cast<std::int64_t>(U64()); }
    float F32() { return std::bit_cast<float>(U32()); }
    double F64() { return std::bit_cast<double>(U64()); }
    bool Flag()
    {
        const std::uint8_t v = U8();
        if (v > 1) m_ok = false;
        return v == 1;
    }
    // A count of items of at least bytesEach bytes: more than the bytes left
    // can hold is refused before anything is allocated for them.
    std::size_t Count(std::size_t bytesEach)
    {
        const std::uint64_t n = U64();
        if (n > Left() / bytesEach) {
            m_ok = false;
            return 0;
        }
        return static_cast<std::size_t>(n);
    }
    std::string Text()
    {
        const std::size_t n = Count(1);
        std::string text(n, '\0');
        for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char>(U8());
        return text;
    }
    std::optional<double> OptionalF64()
    {
        const bool present = Flag();
        const double v = F64();
        return present ? std::optional<double>(v) : std::nullopt;
    }
    std::vector<double> F64s()
    {
        std::vector<double> values(Count(8));
        for (double& v : values) v = F64();
        return values;
    }
    std::span<const std::byte> Take(std::size_t n)
    {
        if (n > Left()) {
            m_ok = false;
            return {};
        }
        const auto part = m_bytes.subspan(m_at, n);
        m_at += n;
        return part;
    }

    bool Ok() const { return m_ok; }
    // A value that no writer writes: the section is damaged.
    void Fail() { m_ok = false; }
    std::size_t Left() const { return m_bytes.size() - m_at; }

private:
    std::span<const std::byte> m_bytes;
    std::size_t m_at = 0;
    bool m_ok = true;
};

// The sections, one pair of functions each.

void EncodeResponse(Writer& w, const AnalysisResults& r)
{
    w.Text(r.irFileName);
    w.I32(r.bandHz);
}
void DecodeResponse(Reader& in, AnalysisResults& r)
{
    r.irFileName = in.Text();
    r.bandHz = in.I32();
}

void EncodeRun(Writer& w, const AnalysisResults& r)
{
    w.F64(r.skipMs);
    w.F64(r.displayWindowMs);
    w.F64(r.averagingWindowMs);
}
void DecodeRun(Reader& in, AnalysisResults& r)
{
    r.skipMs = in.F64();
    r.displayWindowMs = in.F64();
    r.averagingWindowMs = in.F64();
}

void EncodeIntensityWindows(Writer& w, const AnalysisResults& r)
{
    w.Count(r.intensityWindows.size());
    for (const SummedWindow& s : r.intensityWindows) {
        w.F64(s.windowIndex);
        w.F64(s.timeMs);
        w.Flag(s.sums.isFloat);
        for (std::int64_t v : {s.sums.De16, s.sums.Ix16, s.sums.Iy16, s.sums.Iz16}) w.I64(v);
        for (float v : {s.sums.De32, s.sums.Ix32, s.sums.Iy32, s.sums.Iz32}) w.F32(v);
    }
}
void DecodeIntensityWindows(Reader& in, AnalysisResults& r)
{
    constexpr std::size_t kBytesEach = 8 + 8 + 1 + 4 * 8 + 4 * 4;
    r.intensityWindows.resize(in.Count(kBytesEach));
    for (SummedWindow& s : r.intensityWindows) {
        s.windowIndex = in.F64();
        s.timeMs = in.F64();
        s.sums.isFloat = in.Flag();
        for (std::int64_t* v : {&s.sums.De16, &s.sums.Ix16, &s.sums.Iy16, &s.sums.Iz16}) *v = in.I64();
        for (float* v : {&s.sums.De32, &s.sums.Ix32, &s.sums.Iy32, &s.sums.Iz32}) *v = in.F32();
    }
}

// The ten doubles of a DirectionView, in the order they are declared.
std::array<double*, 10> ViewFields(DirectionView& v)
{
    return {&v.IntensityMagnitude, &v.De, &v.ShadeLevel, &v.Az, &v.El,
            &v.MapRadius,          &v.Dx, &v.Dy,         &v.Dz, &v.PolarRadius};
}

void EncodeDirectionWindows(Writer& w, const AnalysisResults& r)
{
    w.Count(r.directionWindows.size());
    for (DirectionQuantities q : r.directionWindows) {
        w.F64(q.TimeMs);
        w.Flag(q.hasDirection);
        w.Flag(q.onMap);
        w.Flag(q.writesRow);
        for (double* v : ViewFields(q.view)) w.F64(*v);
        w.F64(q.IDdB);
        w.F64(q.Li);
    }
}
void DecodeDirectionWindows(Reader& in, AnalysisResults& r)
{
    constexpr std::size_t kBytesEach = 8 + 3 + 10 * 8 + 2 * 8;
    r.directionWindows.resize(in.Count(kBytesEach));
    for (DirectionQuantities& q : r.directionWindows) {
        q.TimeMs = in.F64();
        q.hasDirection = in.Flag();
        q.onMap = in.Flag();
        q.writesRow = in.Flag();
        for (double* v : ViewFields(q.view)) *v = in.F64();
        q.IDdB = in.F64();
        q.Li = in.F64();
    }
}

void EncodeArrivals(Writer& w, const AnalysisResults& r)
{
    w.F64(r.arrivalFloorDb);
    w.F64(r.arrivalDirectionWindowMs);
    w.F64(r.arrivalMaxDiffuseness);
    w.Count(r.arrivals.size());
    for (const Arrival& a : r.arrivals) {
        for (double v : {a.timeMs, a.levelDb, a.azDeg, a.elDeg, a.idDb, a.diffuseness}) w.F64(v);
    }
}
void DecodeArrivals(Reader& in, AnalysisResults& r)
{
    r.arrivalFloorDb = in.F64();
    r.arrivalDirectionWindowMs = in.F64();
    r.arrivalMaxDiffuseness = in.F64();
    r.arrivals.resize(in.Count(6 * 8));
    for (Arrival& a : r.arrivals) {
        for (double* v : {&a.timeMs, &a.levelDb, &a.azDeg, &a.elDeg, &a.idDb, &a.diffuseness}) *v = in.F64();
    }
}

void EncodeSurfaceNames(Writer& w, const AnalysisResults& r)
{
    w.Count(r.arrivalSurfaceNames.size());
    for (const std::string& name : r.arrivalSurfaceNames) w.Text(name);
}
void DecodeSurfaceNames(Reader& in, AnalysisResults& r)
{
    r.arrivalSurfaceNames.resize(in.Count(8));
    for (std::string& name : r.arrivalSurfaceNames) name = in.Text();
}

// The nine values of a band, in the table's order, and its three fits.
std::array<std::optional<double>*, 9> BandValues(BandParameters& b)
{
    return {&b.edtS, &b.t20S, &b.t30S, &b.c50Db, &b.c80Db, &b.d50, &b.tsMs, &b.lf, &b.lfc};
}
std::array<std::optional<DecayFit>*, 3> BandFits(BandParameters& b) { return {&b.edtFit, &b.t20Fit, &b.t30Fit}; }

void EncodeRoomParameters(Writer& w, const AnalysisResults& r)
{
    w.Count(r.roomParameters.size());
    for (BandParameters b : r.roomParameters) {
        w.Text(b.band);
        w.I32(b.nominalHz);
        for (const std::optional<double>* v : BandValues(b)) w.OptionalF64(*v);
        w.F64(b.decay.startS);
        w.F64s(b.decay.timeS);
        w.F64s(b.decay.levelDb);
        w.F64(b.decay.crossingS);
        w.F64(b.decay.decayRangeDb);
        for (const std::optional<DecayFit>* fit : BandFits(b)) {
            w.Flag(fit->has_value());
            const DecayFit f = fit->value_or(DecayFit{});
            for (double v : {f.slopeDbPerS, f.interceptDb, f.fromS, f.toS}) w.F64(v);
        }
    }
}
void DecodeRoomParameters(Reader& in, AnalysisResults& r)
{
    constexpr std::size_t kBytesEach = 8 + 4 + 9 * 9 + 8 + 8 + 8 + 8 + 8 + 3 * (1 + 4 * 8);
    r.roomParameters.resize(in.Count(kBytesEach));
    for (BandParameters& b : r.roomParameters) {
        b.band = in.Text();
        b.nominalHz = in.I32();
        for (std::optional<double>* v : BandValues(b)) *v = in.OptionalF64();
        b.decay.startS = in.F64();
        b.decay.timeS = in.F64s();
        b.decay.levelDb = in.F64s();
        b.decay.crossingS = in.F64();
        b.decay.decayRangeDb = in.F64();
        for (std::optional<DecayFit>* fit : BandFits(b)) {
            const bool present = in.Flag();
            DecayFit f;
            for (double* v : {&f.slopeDbPerS, &f.interceptDb, &f.fromS, &f.toS}) *v = in.F64();
            *fit = present ? std::optional<DecayFit>(f) : std::nullopt;
        }
    }
}

void EncodeEnergyMaps(Writer& w, const AnalysisResults& r)
{
    const EnergyMapSet& set = *r.energyMaps;
    w.I32(set.estimator == MapEstimator::Histogram ? 1 : 0);
    w.F64(set.spotWidthDeg);
    w.I32(set.bandHz);
    w.U64(set.onsetFrame);
    for (double v : {set.onsetMs, set.decayEndMs, set.referenceEnergy}) w.F64(v);
    w.Count(set.maps.size());
    for (const EnergyMap& m : set.maps) {
        w.Text(m.range.label);
        w.F64(m.range.fromMs);
        w.OptionalF64(m.range.toMs);
        w.F64(m.toMs);
        w.U64(m.firstFrame);
        w.U64(m.endFrame);
        w.F64(m.energy);
        w.F64s(m.cellEnergy);
        w.F64s(m.levelDb);
        w.U64(m.peakCell);
        w.F64(m.peakDb);
    }
}
void DecodeEnergyMaps(Reader& in, AnalysisResults& r)
{
    EnergyMapSet set;
    const std::int32_t estimator = in.I32();
    if (estimator != 0 && estimator != 1) in.Fail();
    set.estimator = estimator == 1 ? MapEstimator::Histogram : MapEstimator::Beam;
    set.spotWidthDeg = in.F64();
    set.bandHz = in.I32();
    set.onsetFrame = static_cast<std::size_t>(in.U64());
    for (double* v : {&set.onsetMs, &set.decayEndMs, &set.referenceEnergy}) *v = in.F64();
    constexpr std::size_t kBytesEach = 8 + 8 + 9 + 8 + 8 + 8 + 8 + 8 + 8 + 8 + 8;
    set.maps.resize(in.Count(kBytesEach));
    for (EnergyMap& m : set.maps) {
        m.range.label = in.Text();
        m.range.fromMs = in.F64();
        m.range.toMs = in.OptionalF64();
        m.toMs = in.F64();
        m.firstFrame = static_cast<std::size_t>(in.U64());
        m.endFrame = static_cast<std::size_t>(in.U64());
        m.energy = in.F64();
        m.cellEnergy = in.F64s();
        m.levelDb = in.F64s();
        m.peakCell = static_cast<std::size_t>(in.U64());
        m.peakDb = in.F64();
    }
    r.energyMaps = std::move(set);
}

void EncodeConvention(Writer& w, const AnalysisResults& r) { w.Text(r.conventionNotice); }
void DecodeConvention(Reader& in, AnalysisResults& r) { r.conventionNotice = in.Text(); }

void EncodeOptionalArrival(Writer& w, const std::optional<Arrival>& a)
{
    w.Flag(a.has_value());
    const Arrival v = a.value_or(Arrival{});
    for (double x : {v.timeMs, v.levelDb, v.azDeg, v.elDeg, v.idDb, v.diffuseness}) w.F64(x);
}
std::optional<Arrival> DecodeOptionalArrival(Reader& in)
{
    const bool present = in.Flag();
    Arrival a;
    for (double* x : {&a.timeMs, &a.levelDb, &a.azDeg, &a.elDeg, &a.idDb, &a.diffuseness}) *x = in.F64();
    return present ? std::optional<Arrival>(a) : std::nullopt;
}

void EncodeComparison(Writer& w, const AnalysisResults& r)
{
    const Comparison& c = *r.comparison;
    w.Text(r.comparedFileName);
    w.F64(c.lagMs);
    w.OptionalF64(c.rotationDeg);
    w.Flag(c.calibrated);
    w.Count(c.maps.size());
    for (const MapDifference& m : c.maps) {
        w.Text(m.range.label);
        w.F64(m.range.fromMs);
        w.OptionalF64(m.range.toMs);
        w.Count(m.differenceDb.size());
        for (const std::optional<double>& v : m.differenceDb) w.OptionalF64(v);
    }
    w.Count(c.parameters.size());
    for (const ParameterDifference& p : c.parameters) {
        w.Text(p.band);
        w.Text(p.parameter);
        for (const std::optional<double>* v : {&p.a, &p.b, &p.difference}) w.OptionalF64(*v);
        w.F64(p.jnd);
        w.Flag(p.relativeJnd);
        w.Flag(p.beyondJnd);
        w.Text(p.notJudged);
    }
    w.Count(c.arrivals.size());
    for (const ArrivalPair& pair : c.arrivals) {
        w.I32(static_cast<std::int32_t>(pair.match));
        EncodeOptionalArrival(w, pair.a);
        EncodeOptionalArrival(w, pair.b);
        w.OptionalF64(pair.levelChangeDb);
    }
}
void DecodeComparison(Reader& in, AnalysisResults& r)
{
    Comparison c;
    r.comparedFileName = in.Text();
    c.lagMs = in.F64();
    c.rotationDeg = in.OptionalF64();
    c.calibrated = in.Flag();
    c.maps.resize(in.Count(8 + 8 + 9 + 8));
    for (MapDifference& m : c.maps) {
        m.range.label = in.Text();
        m.range.fromMs = in.F64();
        m.range.toMs = in.OptionalF64();
        m.differenceDb.resize(in.Count(9));
        for (std::optional<double>& v : m.differenceDb) v = in.OptionalF64();
    }
    c.parameters.resize(in.Count(8 + 8 + 3 * 9 + 8 + 2 + 8));
    for (ParameterDifference& p : c.parameters) {
        p.band = in.Text();
        p.parameter = in.Text();
        for (std::optional<double>* v : {&p.a, &p.b, &p.difference}) *v = in.OptionalF64();
        p.jnd = in.F64();
        p.relativeJnd = in.Flag();
        p.beyondJnd = in.Flag();
        p.notJudged = in.Text();
    }
    c.arrivals.resize(in.Count(4 + 2 * (1 + 6 * 8) + 9));
    for (ArrivalPair& pair : c.arrivals) {
        const std::int32_t match = in.I32();
        if (match < 0 || match > 2) in.Fail();
        pair.match = static_cast<ArrivalMatch>(match);
        pair.a = DecodeOptionalArrival(in);
        pair.b = DecodeOptionalArrival(in);
        pair.levelChangeDb = in.OptionalF64();
    }
    r.comparison = std::move(c);
}

bool Always(const AnalysisResults&) { return true; }
bool HasComparison(const AnalysisResults& r) { return r.comparison.has_value(); }
bool HasEnergyMaps(const AnalysisResults& r) { return r.energyMaps.has_value(); }
bool HasConventionNotice(const AnalysisResults& r) { return !r.conventionNotice.empty(); }
bool HasRoomParameters(const AnalysisResults& r) { return !r.roomParameters.empty(); }
bool HasSurfaceNames(const AnalysisResults& r) { return !r.arrivalSurfaceNames.empty(); }

// Every section: its name, whether it is written for these results and
// whether a reader needs it, and how it is written and read. A new kind of
// result is one more row here (and a field of AnalysisResults).
struct Section {
    std::string_view name;
    bool (*written)(const AnalysisResults&);
    bool required;
    void (*encode)(Writer&, const AnalysisResults&);
    void (*decode)(Reader&, AnalysisResults&);
};
constexpr Section kSections[] = {
    {"response", Always, true, EncodeResponse, DecodeResponse},
    {"run", Always, true, EncodeRun, DecodeRun},
    {"intensity-windows", Always, true, EncodeIntensityWindows, DecodeIntensityWindows},
    {"direction-windows", Always, true, EncodeDirectionWindows, DecodeDirectionWindows},
    {"arrivals", Always, true, EncodeArrivals, DecodeArrivals},
    {"surface-names", HasSurfaceNames, false, EncodeSurfaceNames, DecodeSurfaceNames},
    {"room-parameters", HasRoomParameters, false, EncodeRoomParameters, DecodeRoomParameters},
    {"energy-maps", HasEnergyMaps, false, EncodeEnergyMaps, DecodeEnergyMaps},
    {"convention", HasConventionNotice, false, EncodeConvention, DecodeConvention},
    {"comparison", HasComparison, false, EncodeComparison, DecodeComparison},
};
constexpr std::size_t kSectionCount = std::size(kSections);

void WriteSection(Writer& file, std::string_view name, const std::string& payload)
{
    file.U8(static_cast<std::uint8_t>(name.size()));
    for (char c : name) file.U8(static_cast<std::uint8_t>(c));
    file.U64(payload.size());
    for (char c : payload) file.U8(static_cast<std::uint8_t>(c));
}

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

}  // namespace

std::string EncodeResults(const AnalysisResults& results)
{
    Writer file;
    for (char c : kStart) file.U8(static_cast<std::uint8_t>(c));
    for (const Section& section : kSections) {
        if (!section.written(results)) continue;
        Writer payload;
        section.encode(payload, results);
        WriteSection(file, section.name, payload.Bytes());
    }
    WriteSection(file, kEnd, {});
    return file.Bytes();
}

Result<AnalysisResults> DecodeResults(std::span<const std::byte> bytes)
{
    Reader file(bytes);
    for (char c : kStart) {
        if (file.U8() != static_cast<std::uint8_t>(c)) return Failure{"these are no results of halvane-batch"};
    }
    AnalysisResults results;
    std::array<bool, kSectionCount> seen{};
    for (;;) {
        if (file.Left() == 0) return Failure{"the results end before their section \"end\""};
        const std::size_t nameLength = file.U8();
        const auto nameBytes = file.Take(nameLength);
        const std::string name(reinterpret_cast<const char*>(nameBytes.data()), nameBytes.size());
        const std::uint64_t length = file.U64();
        if (!file.Ok() || nameLength == 0 || length > file.Left()) {
            return Failure{"the results end inside the section " + Quoted(name)};
        }
        const auto payload = file.Take(static_cast<std::size_t>(length));
        if (name == kEnd) break;
        std::size_t k = 0;
        while (k < kSectionCount && kSections[k].name != name) ++k;
        if (k == kSectionCount) continue;  // a section of a later version
        if (seen[k]) return Failure{"the results hold the section " + Quoted(name) + " twice"};
        seen[k] = true;
        Reader in(payload);
        kSections[k].decode(in, results);
        if (!in.Ok()) return Failure{"the section " + Quoted(name) + " of the results is cut short or damaged"};
        if (in.Left() != 0)
            return Failure{"the section " + Quoted(name) + " of the results is longer than its contents"};
    }
    if (file.Left() != 0) return Failure{"the results go on after their section \"end\""};
    for (std::size_t k = 0; k < kSectionCount; ++k) {
        if (kSections[k].required && !seen[k]) {
            return Failure{"the results lack their section " + Quoted(kSections[k].name)};
        }
    }
    return results;
}

}  // namespace halvane
