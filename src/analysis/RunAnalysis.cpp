#include "analysis/RunAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/DirectionQuantities.h"
#include "analysis/FrameAccumulator.h"
#include "analysis/NumberReading.h"
#include "bformat/WavHeader.h"
#include "report/IntensityTable.h"
#include "report/NumberFormat.h"
#include "report/ReferenceTable.h"
#include "report/TablePaths.h"

namespace halvane {
namespace {

struct Prompt {
    const char* text;
    const char* title;
    double SharedState::*parameter;
};

constexpr Prompt kPrompts[] = {
    {"Number of ms to skip:", "Initial Delay Removal", &SharedState::SkipMs},
    {"Displayed window in ms:", "Window Length", &SharedState::DisplayWindowMs},
    {"Averaging window in ms:", "Window Length", &SharedState::AveragingWindowMs},
    {"Pause after each line in ms:", "Pause Length", &SharedState::PauseMs},
};

// Window counts and indices are 32-bit signed in the tables' logic; a value
// outside that range cannot describe a real file.
constexpr double kInt32Min = -2147483648.0;
constexpr double kInt32Max = 2147483647.0;

bool FitsInt32(double v) { return v >= kInt32Min && v <= kInt32Max; }

// The parameter checks made right after the prompts, before any file is
// opened. Returns the warning to show, or nothing when the run may go on.
std::optional<std::string> CheckParameters(const SharedState& s)
{
    if (!(std::isfinite(s.AveragingWindowMs) && s.AveragingWindowMs > 0)) {
        return std::string("Sorry, the averaging window must be a number of ms above 0!");
    }
    if (!(std::isfinite(s.DisplayWindowMs) && s.DisplayWindowMs > 0)) {
        return std::string("Sorry, the displayed window must be a number of ms above 0!");
    }
    if (!std::isfinite(s.SkipMs) || !FitsInt32(s.SkipMs / s.AveragingWindowMs)) {
        return std::string("Sorry, the number of ms to skip is out of range!");
    }
    if (!std::isfinite(s.PauseMs)) return std::string("Sorry, the pause must be a finite number of ms!");
    return std::nullopt;
}

// A header can claim far more data than the file holds (a DataSize of 2 GB on
// a file of 200 bytes), and a sample rate of 1 or a skip far below 0 can
// multiply the windows of a pass to billions. Each such window reads only
// zeros, but still costs a table row and a step of the display, so the run
// would write gigabytes of zero rows for hours. A real file never needs more
// windows than it has frames (a window holds at least one), so a pass may
// have as many windows as the file has frames present, and
// kWindowsAlwaysAllowed more, so that small files keep sub-sample windows and
// negative skips.
constexpr double kWindowsAlwaysAllowed = 4096.0;

// The windows firstWindow, firstWindow + 1, ... up to lastWindow of a pass
// over a file image of imageBytes. Returns the warning, or nothing.
std::optional<std::string> CheckPassLength(double firstWindow, double lastWindow, const WavHeader& header,
                                           std::size_t imageBytes)
{
    if (!(lastWindow >= firstWindow)) return std::nullopt;
    const double windows = std::floor(lastWindow - firstWindow) + 1.0;
    const double framesPresent = static_cast<double>(FramesPresent(header, static_cast<std::int64_t>(imageBytes)));
    if (windows <= framesPresent + kWindowsAlwaysAllowed) return std::nullopt;
    return "Sorry, this run would need " + std::to_string(static_cast<std::int64_t>(windows)) +
           " averaging windows for a file of " + std::to_string(imageBytes) +
           " bytes; check the averaging window, the number of ms to skip and the file's data size!";
}

// What the two readings of the header must give beyond the two tested fields
// before any division by them. Returns the warning, or nothing.
std::optional<std::string> CheckFrameLayout(const WavHeader& header)
{
    if (header.BlockAlign <= 0) return std::string("Sorry, this .WAV file gives no valid frame size (BlockAlign)!");
    // Frames narrower than their four samples would overlap: each sample
    // would be read again as part of the next frame.
    const int sampleBytes = 4 * (header.BitsPerSample / 8);
    if (header.BlockAlign < sampleBytes) {
        return "Sorry, this .WAV file's frames (BlockAlign " + std::to_string(header.BlockAlign) +
               " bytes) are narrower than its four samples (" + std::to_string(sampleBytes) + " bytes)!";
    }
    if (header.SampleRate <= 0) return std::string("Sorry, this .WAV file gives no valid sample rate!");
    return std::nullopt;
}

// The sums of the direction pass's windows, a batch ahead: consecutive
// windows are summed side by side (FrameAccumulator::Windows, bit for bit the
// sums of one window at a time), while the pass still steps, draws and waits
// window by window. A jump to a window outside the batch starts a new batch
// there.
class SumsAhead {
public:
    SumsAhead(const FrameAccumulator& frames, double lastWindow) : m_frames(frames), m_last(lastWindow) { }

    const WindowSums& Sums(double windowIndex)
    {
        if (m_next >= m_indices.size() || m_indices[m_next] != windowIndex) {
            m_indices.clear();
            for (double w = windowIndex; w <= m_last && m_indices.size() < kBatch; w += 1) m_indices.push_back(w);
            if (m_indices.empty()) m_indices.push_back(windowIndex);
            m_sums.resize(m_indices.size());
            m_frames.Windows(m_indices, m_sums);
            m_next = 0;
        }
        return m_sums[m_next++];
    }

private:
    static constexpr std::size_t kBatch = 64;
    const FrameAccumulator& m_frames;
    double m_last;
    std::vector<double> m_indices;
    std::vector<WindowSums> m_sums;
    std::size_t m_next = 0;
};

class Run {
public:
    Run(SharedState& state, RunDialogue& dialogue, InputSource& input, TableStorage& tables, RunDisplay& display,
        RunObserver& observer)
        : m_s(state), m_dialogue(dialogue), m_inputSource(input), m_tables(tables), m_display(display),
          m_observer(observer)
    {
    }

    RunReport Execute();

private:
    // The steps before each pass; a report when the run ends there.
    std::optional<RunReport> Prepare();
    std::optional<RunReport> StartIntensityPass(const std::string& intensityPath, const std::string& referencePath);
    std::optional<RunReport> StartDirectionPass(const std::string& referencePath);
    bool AskParameters();
    bool IntensityPass();
    bool DirectionPass();
    void DirectionWindow(double windowIndex, const WindowSums& sums, DirectionQuantities& q);
    bool WindowWait(double timeMs);
    RunReport Refuse(const std::string& message);
    RunReport End(RunOutcome outcome);
    // Yields to the message loop; false once the window is being closed.
    bool YieldOnce()
    {
        m_dialogue.Yield();
        return !m_dialogue.ShouldQuit();
    }
    bool OpenInput();
    // The input's memory before window windowIndex's frames is given back:
    // the passes go forward, and a jump back reads the file again.
    void ReleaseBefore(double windowIndex) const
    {
        const std::int64_t start = WindowStartFrame(windowIndex, m_samplesPerWindow);
        m_input->ReleaseBefore(FramePosition(m_header, start, 1) - 1);
    }
    bool CreateTable(const std::string& path);
    bool CloseTable();

    SharedState& m_s;
    RunDialogue& m_dialogue;
    InputSource& m_inputSource;
    TableStorage& m_tables;
    RunDisplay& m_display;
    RunObserver& m_observer;
    RunReport m_report;
    std::string m_irFileName;               // taken once, when the run starts
    std::unique_ptr<InputImage> m_input;    // file 1: the whole input
    std::unique_ptr<std::ostream> m_table;  // file 2: the table being written
    std::string m_tablePath;                // file 2's name
    WavHeader m_header;
    double m_samplesPerWindow = 0;
    double m_firstWindow = 0;
    std::int64_t m_windowCount = 0;
    std::int64_t m_displayWindowCount = 0;
};

RunReport Run::Execute()
{
    m_irFileName = m_s.IrFileName;
    if (auto ended = Prepare()) return *ended;
    const std::string intensityPath = IntensityTableName(m_irFileName);
    const std::string referencePath = ReferenceTableName(m_irFileName);
    if (auto ended = StartIntensityPass(intensityPath, referencePath)) return *ended;

    // 13. Intensity pass.
    if (!IntensityPass()) return End(RunOutcome::Closed);

    // 14. and 15. Both files closed, the strip's grid drawn.
    if (!CloseTable()) return Refuse("Sorry, the table " + intensityPath + " could not be written completely!");
    m_input.reset();
    m_display.DrawStripGrid(m_s.SkipMs, m_s.DisplayWindowMs);

    if (auto ended = StartDirectionPass(referencePath)) return *ended;

    // 20. and 21. Direction pass, then both files closed and the bar emptied.
    const bool stopped = DirectionPass();
    if (m_dialogue.ShouldQuit()) return End(RunOutcome::Closed);
    return End(stopped ? RunOutcome::Stopped : RunOutcome::Completed);
}

std::optional<RunReport> Run::Prepare()
{
    // 1. Defaults, only for parameters that are exactly 0.
    if (m_s.DisplayWindowMs == 0) m_s.DisplayWindowMs = 1000;
    if (m_s.AveragingWindowMs == 0) m_s.AveragingWindowMs = 5;
    if (m_s.PauseMs == 0) m_s.PauseMs = 1;
    // 2. The four prompts.
    if (!AskParameters()) return End(RunOutcome::Closed);
    if (auto problem = CheckParameters(m_s)) return Refuse(*problem);

    // 3. and 4. The display is prepared and the run-control flags cleared.
    m_display.PrepareDisplay(m_s.SkipMs, m_s.DisplayWindowMs);
    m_s.Paused = false;
    m_s.StopRequested = false;
    return std::nullopt;
}

std::optional<RunReport> Run::StartIntensityPass(const std::string& intensityPath, const std::string& referencePath)
{
    // 5. to 7. Input as file 1, the intensity table as file 2.
    if (!OpenInput()) return m_report;
    if (intensityPath == m_irFileName || m_tables.SameFile(intensityPath, m_irFileName) ||
        m_tables.SameFile(referencePath, m_irFileName)) {
        return Refuse("Sorry, the tables of this run would overwrite the input file " + m_irFileName + "!");
    }
    if (!CreateTable(intensityPath)) return Refuse("Sorry, the table " + intensityPath + " cannot be created!");
    m_report.intensityTablePath = intensityPath;

    // 8. to 12. Header, window counts, the table's header row.
    m_header = ReadWavHeader(m_input->Bytes());
    m_samplesPerWindow = (static_cast<double>(m_header.SampleRate) * m_s.AveragingWindowMs) / 1000.0;
    if (auto rejection = TestWavHeader(m_header)) return Refuse(*rejection);
    if (auto problem = CheckFrameLayout(m_header)) return Refuse(*problem);
    if (!std::isfinite(m_samplesPerWindow)) {
        return Refuse("Sorry, the averaging window is too long for this file's sample rate!");
    }
    if (!(m_samplesPerWindow > 0)) {
        return Refuse("Sorry, the averaging window is shorter than the file's resolution allows!");
    }
    const std::int64_t frameCount = FrameCount(m_header);
    if (!YieldOnce()) return End(RunOutcome::Closed);
    const double windowCount = std::nearbyint(static_cast<double>(frameCount) / m_samplesPerWindow);
    if (!FitsInt32(windowCount)) return Refuse("Sorry, this file holds more averaging windows than can be counted!");
    m_windowCount = static_cast<std::int64_t>(windowCount);
    if (auto problem =
            CheckPassLength(m_s.SkipMs / m_s.AveragingWindowMs, windowCount - 1, m_header, m_input->Bytes().size())) {
        return Refuse(*problem);
    }
    WriteIntensityHeader(*m_table);
    return std::nullopt;
}

std::optional<RunReport> Run::StartDirectionPass(const std::string& referencePath)
{
    // 16. Input again as file 1, the reference table as file 2 with its header row.
    if (!OpenInput()) return m_report;
    if (!CreateTable(referencePath)) return Refuse("Sorry, the table " + referencePath + " cannot be created!");
    m_report.referenceTablePath = referencePath;
    WriteReferenceHeader(*m_table);

    // 17. to 19. Header again (SamplesPerWindow stays), the direction pass's window count.
    m_header = ReadWavHeader(m_input->Bytes());
    if (auto rejection = TestWavHeader(m_header)) return Refuse(*rejection);
    if (auto problem = CheckFrameLayout(m_header)) return Refuse(*problem);
    const std::int64_t secondFrameCount = FrameCount(m_header);
    if (!YieldOnce()) return End(RunOutcome::Closed);
    const double displayedFrames =
        std::nearbyint((m_s.DisplayWindowMs + m_s.SkipMs) / 1000.0 * static_cast<double>(m_header.SampleRate));
    const double displayWindowCount =
        std::nearbyint(std::min(static_cast<double>(secondFrameCount), displayedFrames) / m_samplesPerWindow);
    if (!FitsInt32(displayWindowCount)) {
        return Refuse("Sorry, the displayed stretch holds more averaging windows than can be counted!");
    }
    m_displayWindowCount = static_cast<std::int64_t>(displayWindowCount);
    if (auto problem = CheckPassLength(m_s.SkipMs / m_s.AveragingWindowMs, displayWindowCount - 1, m_header,
                                       m_input->Bytes().size())) {
        return Refuse(*problem);
    }
    return std::nullopt;
}

bool Run::AskParameters()
{
    for (const Prompt& prompt : kPrompts) {
        const std::optional<std::string> answer =
            m_dialogue.AskText(prompt.text, prompt.title, FormatPromptDefault(m_s.*prompt.parameter));
        if (m_dialogue.ShouldQuit()) return false;
        m_s.*prompt.parameter = ReadTypedNumber(answer.value_or(std::string()));
    }
    return true;
}

bool Run::OpenInput()
{
    if (m_irFileName.empty()) {
        m_report = Refuse("Please choose an impulse response file first (button \"...\").");
        return false;
    }
    auto opened = m_inputSource.Open(m_irFileName);
    if (!opened) {
        m_report = Refuse("Sorry, the file " + m_irFileName + " cannot be opened: " + opened.Message() + "!");
        return false;
    }
    m_input = std::move(*opened);
    return true;
}

bool Run::CreateTable(const std::string& path)
{
    m_table = m_tables.CreateTable(path);
    m_tablePath = path;
    return m_table != nullptr;
}

// A table whose bytes did not all reach the file (a full disk, a medium
// removed during the run) must not pass for a complete one: the stream is
// flushed and its state looked at before it is let go.
bool Run::CloseTable()
{
    if (!m_table) return true;
    return m_tables.CloseTable(std::move(m_table));
}

bool Run::IntensityPass()
{
    m_firstWindow = m_s.SkipMs / m_s.AveragingWindowMs;
    const FrameAccumulator frames(m_input->Bytes(), m_header, m_samplesPerWindow);
    const double last = static_cast<double>(m_windowCount) - 1;
    // Windows are summed a batch ahead (independent of one another, so the
    // rows are the same); rows, bars, progress and yields stay per window.
    constexpr std::size_t kBatch = 64;
    std::vector<double> indices;
    std::vector<WindowSums> sums(kBatch);
    double windowIndex = m_firstWindow;
    while (windowIndex <= last) {
        indices.clear();
        for (double w = windowIndex; w <= last && indices.size() < kBatch; w += 1) indices.push_back(w);
        frames.Windows(indices, std::span(sums).first(indices.size()));
        for (std::size_t i = 0; i < indices.size(); ++i) {
            WriteIntensityRow(*m_table, sums[i]);
            ++m_report.intensityRows;
            m_observer.WindowSummed(indices[i], m_s.AveragingWindowMs * indices[i], sums[i]);
            const LevelPair levels = StripLevels(sums[i]);
            if (std::isfinite(levels.energy) && std::isfinite(levels.intensity)) {
                m_display.DrawLevelBars(indices[i], m_s.AveragingWindowMs, levels.energy, levels.intensity);
            }
            m_display.SetProgress(static_cast<float>(100.0 * (indices[i] / static_cast<double>(m_windowCount))));
            if (!YieldOnce()) return false;
        }
        windowIndex = indices.back() + 1;
        ReleaseBefore(windowIndex);
    }
    return true;
}

bool Run::DirectionPass()
{
    const FrameAccumulator frames(m_input->Bytes(), m_header, m_samplesPerWindow);
    const double last = static_cast<double>(m_displayWindowCount) - 1;
    SumsAhead ahead(frames, last);
    double windowIndex = m_firstWindow;
    while (windowIndex <= last) {
        DirectionQuantities q;
        DirectionWindow(windowIndex, ahead.Sums(windowIndex), q);
        if (!WindowWait(q.TimeMs)) return false;
        if (q.onMap) m_display.ClearDirection(q.view, m_s.SkipMs, m_s.DisplayWindowMs);
        m_display.WindowMarker(q.TimeMs, m_s.AveragingWindowMs);

        if (m_s.StopRequested) return true;
        if (m_s.JumpIndex != 0) windowIndex = static_cast<double>(m_s.JumpIndex) - 1;
        ReleaseBefore(windowIndex + 1);
        const double firstWindow = m_s.SkipMs / m_s.AveragingWindowMs;
        m_display.SetProgress(static_cast<float>((windowIndex - firstWindow) / (last - firstWindow) * 100.0));
        windowIndex += 1;
    }
    return false;
}

void Run::DirectionWindow(double windowIndex, const WindowSums& sums, DirectionQuantities& q)
{
    const double timeMs = m_s.AveragingWindowMs * windowIndex;
    q = ComputeDirection(sums, timeMs);
    ++m_report.directionWindows;
    m_observer.DirectionComputed(windowIndex, q);
    m_display.WindowMarker(timeMs, m_s.AveragingWindowMs);
    if (!q.hasDirection) return;
    m_display.ShowDirection(q.view);
    if (q.writesRow) {
        WriteReferenceRow(*m_table, q.TimeMs, q.view.Az, q.view.El, q.IDdB, q.Li);
        ++m_report.referenceRows;
    }
}

bool Run::WindowWait(double timeMs)
{
    m_s.JumpIndex = 0;
    if (timeMs > m_s.SkipMs || m_s.PauseMs > 0) {
        const double start = m_dialogue.ClockMs();
        if (!YieldOnce()) return false;
        for (;;) {
            if (!YieldOnce()) return false;
            if (m_s.JumpIndex != 0) break;
            const double elapsed = m_dialogue.ClockMs() - start;
            if (!(elapsed < m_s.PauseMs || m_s.Paused)) break;
            // Sleep in the message loop until something happens or the pause is over.
            m_dialogue.WaitForEvents(m_s.Paused ? -1.0 : m_s.PauseMs - elapsed);
            if (m_dialogue.ShouldQuit()) return false;
        }
    }
    return YieldOnce();
}

RunReport Run::Refuse(const std::string& message)
{
    // Both files are closed before the message is shown. The table under
    // way is dropped, so its name keeps the table a previous run left there
    // (a table already complete in this run stays).
    if (m_table) {
        m_tables.DiscardTable(std::move(m_table));
        if (m_report.referenceTablePath == m_tablePath) m_report.referenceTablePath.clear();
        if (m_report.intensityTablePath == m_tablePath) m_report.intensityTablePath.clear();
    }
    m_input.reset();
    m_dialogue.ResetPointer();
    m_dialogue.ShowWarning(message);
    m_report.outcome = RunOutcome::Rejected;
    m_report.message = message;
    return m_report;
}

RunReport Run::End(RunOutcome outcome)
{
    const bool written = CloseTable();
    m_input.reset();
    if (!written && outcome != RunOutcome::Closed) {
        return Refuse("Sorry, the table " + m_tablePath + " could not be written completely!");
    }
    m_report.outcome = outcome;
    if (outcome != RunOutcome::Closed) m_display.SetProgress(0.0f);
    return m_report;
}

}  // namespace

RunDisplay& RunDisplay::None()
{
    static RunDisplay none;
    return none;
}

RunObserver& RunObserver::None()
{
    static RunObserver none;
    return none;
}

RunReport RunAnalysis(SharedState& state, RunDialogue& dialogue, InputSource& input, TableStorage& tables,
                      RunDisplay& display, RunObserver& observer)
{
    Run run(state, dialogue, input, tables, display, observer);
    return run.Execute();
}

}  // namespace halvane
