#pragma once

// Reading an audio file of any format libsndfile knows (WAV, also extensible and RF64, W64,
// FLAC, AIFF, CAF, ...) in blocks of frames, as doubles at full scale +-1: integer samples
// divided by 2^(bits - 1), float samples as stored. Every 8, 16, 24 and 32-bit integer and
// 32-bit float sample is exact in a double, so nothing is rounded on the way in.

#include "files/FileIdentity.h"
#include "values/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

struct sf_private_tag;

namespace halvane::convert {

struct SoundFileInfo {
    int channelCount = 0;
    std::uint32_t sampleRateHz = 0;
    std::int64_t frameCount = 0;  // as libsndfile gives it: at most what the file holds; -1 unknown
    // The frames the header declares, when it says: more than frameCount for an uncompressed
    // file cut short (libsndfile counts only what is there), the header's own count for a
    // compressed one. -1 when the header does not say.
    std::int64_t declaredFrameCount = -1;
    // The sample rate as the header stores it, where libsndfile's integer hides it: an AIFF's
    // 0 (libsndfile says 1 Hz), infinity or fraction. Otherwise sampleRateHz.
    double headerRateHz = 0;
    std::string formatName;        // e.g. "WAV (Microsoft), Signed 24 bit PCM"
    bool markedAsBFormat = false;  // the Ambisonic B-format sub-format of .amb files
    // Bytes of the file beyond what its header and its frames take, for an
    // uncompressed format (0 for a compressed one): a header whose size
    // field is short of the data present (an RF64 ds64 chunk, say) leaves
    // megabytes here that would never be converted.
    std::int64_t unexplainedBytes = 0;
};

class SoundFileReader {
public:
    SoundFileReader() = default;
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    // Opens path. Only a regular file is read: it is opened without blocking and inspected
    // before anything is read, so a FIFO or a device is refused at once instead of waiting
    // for a writer. Fails with the reason in words that follow the file's
    // name ("does not exist", "is not a regular file (a folder, FIFO or device)", "is empty
    // (0 bytes): it holds no frames", "cannot be read as audio: ...").
    Result<> Open(const std::filesystem::path& path);

    const SoundFileInfo& Info() const { return m_info; }
    // The identity of the file that was opened (not of whatever holds its name now).
    const FileIdentity& Identity() const { return m_identity; }

    // Reads the next frames into interleaved (whole frames of Info().channelCount samples);
    // returns the number of frames read, 0 at the end. A read error also gives 0 and sets
    // Error().
    std::size_t ReadFrames(std::span<double> interleaved);
    // Goes back to the first frame for another pass; fails with the reason.
    Result<> Rewind();
    // Why the last read failed; empty when it did not.
    const std::string& Error() const { return m_error; }

private:
    sf_private_tag* m_file = nullptr;
    SoundFileInfo m_info;
    FileIdentity m_identity;
    std::string m_error;
};

}  // namespace halvane::convert
