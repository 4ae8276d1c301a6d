#include "wavio/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace halvane::wavio {
namespace {

constexpr int kMostTemporaryNames = 1000;

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace

std::optional<FileIdentity> IdentityOfName(const std::filesystem::path& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

DescriptorBuffer::DescriptorBuffer(int fd) : m_fd(fd)
{
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

DescriptorBuffer::~DescriptorBuffer()
{
    if (m_fd >= 0) ::close(m_fd);
}

bool DescriptorBuffer::Drain()
{
    const char* next = pbase();
    const char* end = pptr();
    while (next < end && m_errno == 0) {
        const ssize_t written = ::write(m_fd, next, static_cast<std::size_t>(end - next));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            m_errno = written < 0 ? errno : EIO;
            break;
        }
        next += written;
    }
    // What could not be written is dropped; the error stays and fails every later call.
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return m_errno == 0;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type ch)
{
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
    return ch;
}

int DescriptorBuffer::sync()
{
    return Drain() ? 0 : -1;
}

DescriptorBuffer::pos_type DescriptorBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                     std::ios_base::openmode which)
{
    const pos_type failed(off_type(-1));
    if (!(which & std::ios_base::out) || !Drain()) return failed;
    const int whence = direction == std::ios_base::beg   ? SEEK_SET
                       : direction == std::ios_base::cur ? SEEK_CUR
                                                         : SEEK_END;
    const off_t at = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    return at < 0 ? failed : pos_type(static_cast<off_type>(at));
}

DescriptorBuffer::pos_type DescriptorBuffer::seekpos(pos_type position, std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}

std::string DescriptorBuffer::SyncAndClose()
{
    bool written = Drain();
    if (written && ::fsync(m_fd) != 0) {
        m_errno = errno;
        written = false;
    }
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (written && closed != 0) m_errno = errno;
    return m_errno == 0 ? std::string() : "writing failed: " + ErrorText(m_errno);
}

ReplacingFile::~ReplacingFile()
{
    Discard();
}

void ReplacingFile::Discard()
{
    if (!m_open) return;
    m_stream.reset();
    m_buffer.reset();  // closes the descriptor
    ::unlink(m_temporary.c_str());
    m_open = false;
}

std::string ReplacingFile::Open(const std::filesystem::path& path)
{
    Discard();
    m_path = path;
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        return "is a folder, FIFO or device, not a regular file";

    int fd = -1;
    for (int attempt = 0; attempt <= kMostTemporaryNames && fd < 0; ++attempt) {
        m_temporary = path;
        m_temporary += attempt == 0 ? std::string(".partial") : ".partial" + std::to_string(attempt);
        fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return "cannot be created: " + ErrorText(errno);
    }
    if (fd < 0) return "cannot be created: no free temporary name beside it";
    m_buffer = std::make_unique<DescriptorBuffer>(fd);
    m_stream = std::make_unique<std::ostream>(m_buffer.get());
    m_open = true;
    return {};
}

std::string ReplacingFile::Commit()
{
    if (!m_open) return "cannot be written: it was never opened";
    m_stream->flush();
    const bool streamIntact = !m_stream->fail();
    std::string failure = m_buffer->SyncAndClose();
    if (failure.empty() && !streamIntact) failure = "writing failed";
    if (failure.empty() && ::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        failure = "cannot be put in place: " + ErrorText(errno);
    if (failure.empty()) {
        m_open = false;
        m_stream.reset();
        m_buffer.reset();
        return {};
    }
    Discard();
    return failure;
}

std::string WriteFileReplacing(const std::filesystem::path& path,
                               const std::function<std::string(std::ostream&)>& writer)
{
    ReplacingFile file;
    if (std::string failure = file.Open(path); !failure.empty()) return failure;
    if (std::string failure = writer(file.Stream()); !failure.empty()) return failure;
    return file.Commit();
}

}  // namespace halvane::wavio
