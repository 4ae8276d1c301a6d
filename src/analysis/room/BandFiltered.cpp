#include "analysis/room/BandFiltered.h"

#include <algorithm>
#include <cmath>

#include "analysis/room/OctaveBands.h"
#include "bformat/BFormatFrames.h"
#include "bformat/WavWriter.h"

namespace halvane {

Result<std::vector<std::byte>> BandFilteredImage(const InputImage& input, int nominalHz,
                                                 const Cancellation& cancellation, std::int64_t* nonFiniteSamples)
{
    if (std::find(kOctaveBandsHz.begin(), kOctaveBandsHz.end(), nominalHz) == kOctaveBandsHz.end()) {
        return Failure{"Sorry, " + std::to_string(nominalHz) +
                       " Hz is no octave band here (125, 250, 500, 1000, 2000 or 4000)!"};
    }
    const auto frames = BFormatFrames::Open(input.Bytes());
    if (!frames) return Failure{frames.Message()};
    const std::optional<OctaveBandFilter> filter = OctaveBandFilter::Design(nominalHz, frames->SampleRateHz());
    if (!filter && frames->Count() > 0) {
        return Failure{"Sorry, the " + std::to_string(nominalHz) +
                       " Hz band lies too high for this file's sample rate!"};
    }
    const std::size_t count = filter ? frames->Count() : 0;
    auto image = FloatWavImage::Create(static_cast<std::uint32_t>(frames->SampleRateHz()), 4, count);
    if (!image) return Failure{"Sorry, the band-filtered response cannot be made: " + image.Message() + "!"};

    // The forward pass reads every frame once in order, the backward pass
    // again block by block from the end: the pages of each are given back
    // once read, and the non-finite samples counted on the first reading.
    std::size_t readUpTo = 0;
    std::int64_t nonFinite = 0;
    std::vector<float> samples;
    auto read = [&](std::size_t first, std::span<double> values) {
        const std::size_t n = values.size() / 4;
        samples.resize(values.size());
        frames->Read(first, n, samples);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const bool finite = std::isfinite(samples[i]);
            if (!finite && first + i / 4 >= readUpTo) ++nonFinite;
            values[i] = finite ? samples[i] : 0.0;
        }
        if (first + n > readUpTo) {
            readUpTo = first + n;
            input.ReleaseBefore(frames->Offset(first + n));
        } else {
            // Everything from this block to the end is done with. Not only
            // this block: the kernel may map a whole folio of page cache on a
            // fault, pages of the block after this one among them.
            input.ReleaseRange(frames->Offset(first), frames->Offset(frames->Count()));
        }
    };
    auto write = [&image](std::size_t first, std::span<const double> values) {
        for (std::size_t i = 0; i < values.size() / 4; ++i) {
            const std::array<float, 4> band = {static_cast<float>(values[4 * i]), static_cast<float>(values[4 * i + 1]),
                                               static_cast<float>(values[4 * i + 2]),
                                               static_cast<float>(values[4 * i + 3])};
            image->SetFrame(first + i, band);
        }
    };
    if (filter && !filter->FilterZeroPhaseInBlocks(count, 4, read, write, cancellation))
        return Failure{kCancelledMessage};
    if (nonFiniteSamples != nullptr) *nonFiniteSamples = nonFinite;
    return image->TakeBytes();
}

Result<std::vector<std::byte>> BandFilteredImage(std::span<const std::byte> image, int nominalHz)
{
    return BandFilteredImage(BorrowedImage(image), nominalHz);
}

}  // namespace halvane
