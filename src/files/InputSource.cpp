#include "files/InputSource.h"

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

}  // namespace

// A read-only private mapping of a whole file, and what identifies the file.
struct DiskInput::Mapping {
    Mapping(void* address, std::size_t size, dev_t device, ino_t inode)
        : address(address), size(size), device(device), inode(inode)
    {
    }
    ~Mapping()
    {
        if (address != nullptr) munmap(address, size);
    }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    void* address;
    std::size_t size;
    dev_t device;
    ino_t inode;
};

namespace {

// One pass's view of a mapping.
class MappedImage final : public InputImage {
public:
    explicit MappedImage(std::shared_ptr<const DiskInput::Mapping> mapping) : m_mapping(std::move(mapping)) { }

    std::span<const std::byte> Bytes() const override
    {
        return {static_cast<const std::byte*>(m_mapping->address), m_mapping->address != nullptr ? m_mapping->size : 0};
    }

    // Pages are given back in steps of kReleaseStepBytes: often enough to
    // keep memory small, seldom enough to cost nothing measurable.
    void ReleaseBefore(std::int64_t offset) const override
    {
        if (m_mapping->address == nullptr) return;
        static const auto kPageBytes = static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
        const std::int64_t end = std::min<std::int64_t>(offset, static_cast<std::int64_t>(m_mapping->size));
        const std::int64_t pages = end / kPageBytes * kPageBytes;
        if (pages < m_released) {
            m_released = pages;  // a jump back: the pages after it are read again
            return;
        }
        if (pages - m_released < kReleaseStepBytes) return;
        madvise(m_mapping->address, static_cast<std::size_t>(pages), MADV_DONTNEED);
        m_released = pages;
    }

    void ReleaseRange(std::int64_t offset, std::int64_t end) const override
    {
        if (m_mapping->address == nullptr) return;
        static const auto kPageBytes = static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
        // Only the whole pages inside the range: the pages at its edges may
        // still be needed by the bytes beside it.
        const std::int64_t first = (std::max<std::int64_t>(offset, 0) + kPageBytes - 1) / kPageBytes * kPageBytes;
        const std::int64_t last =
            std::min<std::int64_t>(end, static_cast<std::int64_t>(m_mapping->size)) / kPageBytes * kPageBytes;
        if (last <= first) return;
        madvise(static_cast<char*>(m_mapping->address) + first, static_cast<std::size_t>(last - first), MADV_DONTNEED);
    }

private:
    static constexpr std::int64_t kReleaseStepBytes = 4 << 20;
    std::shared_ptr<const DiskInput::Mapping> m_mapping;
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
    if (problem != nullptr) {
        close(fd);
        return Failure{problem};
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (!(m_last && m_last->device == info.st_dev && m_last->inode == info.st_ino && m_last->size == size)) {
        m_last.reset();
        void* address = nullptr;
        if (size > 0) {
            address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (address == MAP_FAILED) {
                const int error = errno;
                close(fd);
                return Failure{error == ENOMEM ? "there is not enough memory to read it" : "it cannot be read"};
            }
            madvise(address, size, MADV_SEQUENTIAL);
        }
        m_last = std::make_shared<const Mapping>(address, size, info.st_dev, info.st_ino);
    }
    close(fd);
    return std::unique_ptr<InputImage>(std::make_unique<MappedImage>(m_last));
}

}  // namespace halvane
