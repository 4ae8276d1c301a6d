#include "convert/SoundFileReader.h"

#include "convert/HeaderClaims.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace halvane::convert {
namespace {

std::string FormatName(int format)
{
    std::string name;
    for (const int part : {format & SF_FORMAT_TYPEMASK, format & SF_FORMAT_SUBMASK}) {
        SF_FORMAT_INFO info{};
        info.format = part;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) continue;
        if (!name.empty()) name += ", ";
        name += info.name;
    }
    return name.empty() ? "unknown format" : name;
}

// Bytes a sample takes in an uncompressed sub-format; 0 for a compressed or unknown one.
int UncompressedSampleBytes(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

}  // namespace

SoundFileReader::~SoundFileReader()
{
    if (m_file != nullptr) sf_close(m_file);
}

Result<> SoundFileReader::Open(const std::filesystem::path& path)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, and some
    // devices wait for a carrier. The flag is cleared again before any read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return Failure{"does not exist"};
        return Failure{std::string("cannot be opened: ") + std::strerror(errno)};
    }
    struct stat status { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Failure{"is not a regular file (a folder, FIFO or device)"};
    }
    m_identity = {status.st_dev, status.st_ino};
    // libsndfile calls any empty file "Format not recognised"; an empty file is no format.
    if (status.st_size == 0) {
        ::close(fd);
        return Failure{"is empty (0 bytes): it holds no frames"};
    }
    const HeaderClaims claims = ReadHeaderClaims(fd, static_cast<std::uint64_t>(status.st_size));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return Failure{std::string("cannot be opened: ") + std::strerror(errno)};
    }

    SF_INFO info{};
    m_file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);  // closes fd, also on failure
    if (m_file == nullptr) return Failure{std::string("cannot be read as audio: ") + sf_strerror(nullptr)};
    m_info.channelCount = info.channels;
    m_info.sampleRateHz = info.samplerate > 0 ? static_cast<std::uint32_t>(info.samplerate) : 0;
    // A FLAC stream that does not know its length (its total of 0 samples) comes as the
    // largest count there is.
    m_info.frameCount = info.frames == SF_COUNT_MAX || info.frames < 0 ? -1 : info.frames;
    m_info.declaredFrameCount = m_info.frameCount;
    m_info.headerRateHz = claims.aiffRateHz.value_or(static_cast<double>(info.samplerate));
    m_info.formatName = FormatName(info.format);
    m_info.markedAsBFormat = sf_command(m_file, SFC_WAVEX_GET_AMBISONIC, nullptr, 0) == SF_AMBISONIC_B_FORMAT;
    if (const int sampleBytes = UncompressedSampleBytes(info.format); sampleBytes > 0 && info.channels > 0) {
        // A count of frames whose bytes no file could hold (a stream of unknown
        // length) explains every byte.
        const std::int64_t bytesPerFrame = static_cast<std::int64_t>(info.channels) * sampleBytes;
        const bool counted =
            info.frames >= 0 && info.frames <= std::numeric_limits<std::int64_t>::max() / bytesPerFrame;
        const std::int64_t dataBytes =
            counted ? static_cast<std::int64_t>(info.frames) * bytesPerFrame : std::numeric_limits<std::int64_t>::max();
        m_info.unexplainedBytes = std::max<std::int64_t>(0, static_cast<std::int64_t>(status.st_size) - dataBytes);
        if (claims.dataBytes) {
            const auto frameBytes = static_cast<std::uint64_t>(info.channels) * static_cast<std::uint64_t>(sampleBytes);
            m_info.declaredFrameCount = static_cast<std::int64_t>(
                std::min<std::uint64_t>(*claims.dataBytes / frameBytes, std::numeric_limits<std::int64_t>::max()));
        }
    }
    return {};
}

std::size_t SoundFileReader::ReadFrames(std::span<double> interleaved)
{
    m_error.clear();
    if (m_file == nullptr || m_info.channelCount <= 0) return 0;
    const auto frames = static_cast<sf_count_t>(interleaved.size() / static_cast<std::size_t>(m_info.channelCount));
    const sf_count_t read = sf_readf_double(m_file, interleaved.data(), frames);
    if (read < frames && sf_error(m_file) != SF_ERR_NO_ERROR) m_error = sf_strerror(m_file);
    return read > 0 ? static_cast<std::size_t>(read) : 0;
}

Result<> SoundFileReader::Rewind()
{
    if (m_file == nullptr) return Failure{"is not open"};
    if (sf_seek(m_file, 0, SEEK_SET) != 0)
        return Failure{std::string("cannot be read again from its start: ") + sf_strerror(m_file)};
    return {};
}

}  // namespace halvane::convert
