#include "bformat/InputSource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace halvane {
namespace {

// A RIFF file cannot be longer than its 32-bit size field describes (4 GiB
// and the 8 bytes before it). A longer file is no .WAV file.
constexpr std::uint64_t kLargestWavBytes = 0x100000008;

// A read-only private mapping of a whole file.
class MappedImage final : public InputImage {
public:
    MappedImage(void* address, std::size_t size) : m_address(address), m_size(size) { }
    ~MappedImage() override
    {
        if (m_address != nullptr) munmap(m_address, m_size);
    }
    MappedImage(const MappedImage&) = delete;
    MappedImage& operator=(const MappedImage&) = delete;

    std::span<const std::byte> Bytes() const override
    {
        return {static_cast<const std::byte*>(m_address), m_address != nullptr ? m_size : 0};
    }

    // Pages are given back in steps of kReleaseStepBytes: often enough to
    // keep memory small, seldom enough to cost nothing measurable.
    void ReleaseBefore(std::int64_t offset) const override
    {
        if (m_address == nullptr) return;
        static const auto kPageBytes = static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
        const std::int64_t end = std::min<std::int64_t>(offset, static_cast<std::int64_t>(m_size));
        const std::int64_t pages = end / kPageBytes * kPageBytes;
        if (pages < m_released) {
            m_released = pages;  // a jump back: the pages after it are read again
            return;
        }
        if (pages - m_released < kReleaseStepBytes) return;
        madvise(m_address, static_cast<std::size_t>(pages), MADV_DONTNEED);
        m_released = pages;
    }

private:
    static constexpr std::int64_t kReleaseStepBytes = 4 << 20;
    void* m_address;
    std::size_t m_size;
    mutable std::int64_t m_released = 0;  // bytes from the start already given back
};

}  // namespace

Result<std::unique_ptr<InputImage>> DiskInput::Open(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Failure{"it does not exist"};
        if (errno == EISDIR) return Failure{"it is not a regular file"};
        return Failure{"it cannot be opened for reading"};
    }
    struct stat info { };
    const char* problem = nullptr;
    if (fstat(fd, &info) != 0)
        problem = "it cannot be read";
    else if (!S_ISREG(info.st_mode))
        problem = "it is not a regular file";
    else if (static_cast<std::uint64_t>(info.st_size) > kLargestWavBytes) {
        problem = "it is larger than a .WAV file can be (4 GB)";
    }
    void* address = nullptr;
    const auto size = problem == nullptr ? static_cast<std::size_t>(info.st_size) : 0;
    if (problem == nullptr && size > 0) {
        address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (address == MAP_FAILED) {
            address = nullptr;
            problem = errno == ENOMEM ? "there is not enough memory to read it" : "it cannot be read";
        }
    }
    close(fd);
    if (problem != nullptr) return Failure{problem};
    if (address != nullptr) madvise(address, size, MADV_SEQUENTIAL);
    return std::unique_ptr<InputImage>(std::make_unique<MappedImage>(address, size));
}

}  // namespace halvane
