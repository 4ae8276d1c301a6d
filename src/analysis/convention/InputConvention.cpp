#include "analysis/convention/InputConvention.h"

#include <algorithm>
#include <vector>

#include "analysis/convention/ConventionCheck.h"
#include "analysis/convention/ConventionReport.h"
#include "bformat/BFormatFrames.h"
#include "bformat/ConverterAdvice.h"

namespace halvane {

std::optional<std::string> ConventionNotice(const InputImage& input, const std::string& inputPath,
                                            const Cancellation& cancellation)
{
    const auto frames = BFormatFrames::Open(input.Bytes());
    if (!frames) return std::nullopt;
    ConventionCheck check(frames->SampleRateHz());
    // The window's reader gives W, Y, Z, X; the check takes the file's own order, which is
    // the same four values in the same places.
    constexpr std::size_t kBlockFrames = 4096;
    std::vector<float> samples(4 * kBlockFrames);
    for (std::size_t first = 0; first < frames->Count(); first += kBlockFrames) {
        if (cancellation.Requested()) return std::nullopt;
        const std::size_t count = std::min(frames->Count() - first, kBlockFrames);
        frames->Read(first, count, samples);
        check.AddFrames(std::span<const float>(samples).first(4 * count));
        input.ReleaseBefore(frames->Offset(first + count));
    }
    check.Finish();
    const auto verdict = JudgeConvention(check, std::nullopt, std::nullopt);
    if (!verdict || verdict->Used().convention == kAmbixSn3d) return std::nullopt;
    const auto asRead = check.Read(kAmbixSn3d);
    if (!asRead) return std::nullopt;
    return "its direct sound reads as " + DescribeReading(verdict->Used()) + " in " +
           ShortName(verdict->Used().convention) + ", but as " + DescribeReading(*asRead) + " in " +
           ShortName(kAmbixSn3d) + " as read here: " + ConvertCommandLine(inputPath) + " converts it";
}

}  // namespace halvane
