#pragma once

// Sound files made and read in tests with libsndfile itself, in any format it writes.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace halvane::testing {

// Writes interleaved samples (full scale +-1) as format (SF_FORMAT_* major | sub-type);
// markBFormat sets the Ambisonic B-format sub-format of an extensible WAV (.amb). Float
// formats take the values as they are; integer formats take them at 32-bit resolution
// (x 2^31, rounded half to even, clipped), and libsndfile drops the low bits a narrower
// format has no room for, so x = k / 2^(bits - 1) is stored exactly. (Its own scaling of
// doubles to integers uses 2^(bits - 1) - 1, which would not.) Returns an empty string or
// libsndfile's reason.
inline std::string WriteSoundFile(const std::filesystem::path& path, int format, int channels, int rateHz,
                                  const std::vector<double>& interleaved, bool markBFormat = false)
{
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rateHz;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return sf_strerror(nullptr);
    if (markBFormat &&
        sf_command(file, SFC_WAVEX_SET_AMBISONIC, nullptr, SF_AMBISONIC_B_FORMAT) != SF_AMBISONIC_B_FORMAT) {
        sf_close(file);
        return "cannot mark the file as B-format";
    }
    const auto frames = static_cast<sf_count_t>(interleaved.size() / static_cast<std::size_t>(channels));
    const int subtype = format & SF_FORMAT_SUBMASK;
    sf_count_t written = 0;
    if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) {
        written = sf_writef_double(file, interleaved.data(), frames);
    } else {
        std::vector<int> full;
        for (double x : interleaved)
            full.push_back(static_cast<int>(std::clamp(std::nearbyint(x * 2147483648.0), -2147483648.0, 2147483647.0)));
        written = sf_writef_int(file, full.data(), frames);
    }
    std::string failure = written == frames ? "" : sf_strerror(file);
    if (sf_close(file) != 0 && failure.empty()) failure = "closing failed";
    return failure;
}

struct SoundRead {
    std::string failure;  // empty when read
    SF_INFO info{};
    std::vector<float> samples;  // interleaved, as sf_readf_float gives them
};

namespace detail {

struct MemoryFile {
    const std::string* bytes;
    sf_count_t at = 0;
};

inline sf_count_t Length(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes->size()); }
inline sf_count_t Seek(sf_count_t offset, int whence, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t size = Length(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->at : size;
    f->at = std::clamp<sf_count_t>(base + offset, 0, size);
    return f->at;
}
inline sf_count_t Read(void* to, sf_count_t count, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::min(count, Length(user) - f->at);
    std::memcpy(to, f->bytes->data() + f->at, static_cast<std::size_t>(n));
    f->at += n;
    return n;
}
inline sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
inline sf_count_t Tell(void* user) { return static_cast<MemoryFile*>(user)->at; }

inline SoundRead ReadAll(SNDFILE* file, const SF_INFO& info)
{
    SoundRead read;
    read.info = info;
    read.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    if (sf_readf_float(file, read.samples.data(), info.frames) != info.frames) read.failure = "short read";
    sf_close(file);
    return read;
}

}  // namespace detail

// Reads a whole file through libsndfile.
inline SoundRead ReadSoundFile(const std::filesystem::path& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {sf_strerror(nullptr), {}, {}};
    return detail::ReadAll(file, info);
}

// Reads a whole file held in memory through libsndfile.
inline SoundRead ReadSoundBytes(const std::string& bytes)
{
    SF_VIRTUAL_IO io{detail::Length, detail::Seek, detail::Read, detail::Write, detail::Tell};
    detail::MemoryFile memory{&bytes};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (file == nullptr) return {sf_strerror(nullptr), {}, {}};
    return detail::ReadAll(file, info);
}

}  // namespace halvane::testing
