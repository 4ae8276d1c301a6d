#include "files/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <streambuf>

namespace halvane {
namespace {

constexpr std::size_t kBufferBytes = 1 << 16;

std::atomic<unsigned> g_serial{0};

// The folder part of path, with its separator ("" for a bare name).
std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Why(int error) { return std::strerror(error); }

// True when no other process has the file open (nor mapped): a write lease
// is granted only then. Where leases are not available the answer is no.
bool OpenNowhereElse(int fd)
{
    if (fcntl(fd, F_SETLEASE, F_WRLCK) != 0) return false;
    fcntl(fd, F_SETLEASE, F_UNLCK);
    return true;
}

}  // namespace

// Bytes go out to the file descriptor in blocks of kBufferBytes; a larger
// write goes out directly.
class ReplacingFile::Buffer final : public std::streambuf {
public:
    explicit Buffer(int fd) : m_fd(fd), m_bytes(new char[kBufferBytes]) { ResetBlock(); }

    int Error() const { return m_error; }
    // One past the furthest byte written.
    off_t End() const { return m_end; }

protected:
    int_type overflow(int_type c) override
    {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* bytes, std::streamsize count) override
    {
        if (count <= epptr() - pptr()) {
            std::memcpy(pptr(), bytes, static_cast<std::size_t>(count));
            pbump(static_cast<int>(count));
            return count;
        }
        if (!Drain()) return 0;
        if (count < static_cast<std::streamsize>(kBufferBytes)) {
            std::memcpy(pptr(), bytes, static_cast<std::size_t>(count));
            pbump(static_cast<int>(count));
            return count;
        }
        return WriteAll(bytes, static_cast<std::size_t>(count)) ? count : 0;
    }

    int sync() override { return Drain() ? 0 : -1; }

    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override
    {
        const pos_type failed(off_type(-1));
        if ((which & std::ios_base::out) == 0) return failed;
        if (direction == std::ios_base::cur && offset == 0) return pos_type(m_position + (pptr() - pbase()));
        if (!Drain()) return failed;
        const int whence = direction == std::ios_base::beg   ? SEEK_SET
                           : direction == std::ios_base::cur ? SEEK_CUR
                                                             : SEEK_END;
        const off_t to = lseek(m_fd, offset, whence);
        if (to < 0) {
            m_error = errno;
            return failed;
        }
        m_position = to;
        return pos_type(to);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override
    {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }

private:
    void ResetBlock() { setp(m_bytes.get(), m_bytes.get() + kBufferBytes); }

    bool Drain()
    {
        const auto count = static_cast<std::size_t>(pptr() - pbase());
        ResetBlock();
        return count == 0 || WriteAll(m_bytes.get(), count);
    }

    bool WriteAll(const char* bytes, std::size_t count)
    {
        while (count > 0) {
            const ssize_t written = ::write(m_fd, bytes, count);
            if (written < 0) {
                if (errno == EINTR) continue;
                m_error = errno;
                return false;
            }
            bytes += written;
            count -= static_cast<std::size_t>(written);
            m_position += written;
            m_end = std::max(m_end, m_position);
        }
        return true;
    }

    int m_fd;
    std::unique_ptr<char[]> m_bytes;
    off_t m_position = 0;  // file offset of the block's first byte
    off_t m_end = 0;
    int m_error = 0;
};

namespace {

// The checks of the final name alone; whether it holds something in *replaces.
Result<> CheckFinalName(const std::string& path, bool* replaces)
{
    if (path.empty() || path.back() == '/') return Failure{"it names a folder"};
    struct stat info { };
    *replaces = lstat(path.c_str(), &info) == 0;
    if (*replaces && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        return Failure{S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file"};
    }
    return {};
}

}  // namespace

Result<> ReplacingFile::CanCreate(const std::string& path)
{
    bool replaces = false;
    if (auto checked = CheckFinalName(path, &replaces); !checked) return checked;
    const std::string folder = FolderOf(path).empty() ? std::string(".") : FolderOf(path);
    struct stat info { };
    if (stat(folder.c_str(), &info) != 0) return Failure{Why(errno)};
    if (!S_ISDIR(info.st_mode)) return Failure{Why(ENOTDIR)};
    if (access(folder.c_str(), W_OK | X_OK) != 0) return Failure{Why(errno)};
    return {};
}

Result<std::unique_ptr<ReplacingFile>> ReplacingFile::Create(const std::string& path, FileRecycler* recycler)
{
    bool replaces = false;
    if (auto checked = CheckFinalName(path, &replaces); !checked) return Failure{checked.Message()};
    // A unique name in the same folder, so that the rename stays within one
    // file system. Created exclusively: nothing already there is written through.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = FolderOf(path) + "." + NameOf(path) + ".part-" + std::to_string(getpid()) + "-" +
                                      std::to_string(g_serial.fetch_add(1));
        if (recycler != nullptr) {
            off_t length = 0;
            const int fd = recycler->Take(temporary, length);
            if (fd >= 0) {
                return std::unique_ptr<ReplacingFile>(
                    new ReplacingFile(path, temporary, fd, length, replaces, recycler));
            }
        }
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Failure{Why(errno)};
        }
        if (recycler != nullptr) recycler->NoteNewFile(FolderOf(path), fd);
        return std::unique_ptr<ReplacingFile>(new ReplacingFile(path, temporary, fd, 0, replaces, recycler));
    }
    return Failure{"no new file can be made beside it"};
}

ReplacingFile::ReplacingFile(std::string finalPath, std::string temporaryPath, int fd, off_t oldLength, bool replaces,
                             FileRecycler* recycler)
    : std::ostream(nullptr), m_buffer(std::make_unique<Buffer>(fd)), m_finalPath(std::move(finalPath)),
      m_temporaryPath(std::move(temporaryPath)), m_fd(fd), m_oldLength(oldLength), m_replaces(replaces),
      m_recycler(recycler)
{
    rdbuf(m_buffer.get());
}

ReplacingFile::~ReplacingFile()
{
    if (m_done) return;
    ::close(m_fd);
    std::remove(m_temporaryPath.c_str());
}

Result<> ReplacingFile::Commit()
{
    if (m_done) return Failure{"it was already closed"};
    m_done = true;
    flush();
    bool written = !fail();
    int error = m_buffer->Error();
    // A file written over may have been longer than its new contents.
    if (written && m_buffer->End() < m_oldLength && ftruncate(m_fd, m_buffer->End()) != 0) {
        written = false;
        error = errno;
    }
    // The bytes are started towards the disk before the names are
    // exchanged, as file systems do themselves when a file is renamed over
    // another: after a power cut the name should not show stale blocks. A
    // name that was free has nothing to lose.
    if (written && m_recycler != nullptr && (m_replaces || m_oldLength > 0)) {
        sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    if (::close(m_fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(m_temporaryPath.c_str());
        return Failure{error != 0 ? Why(error) : "its bytes could not all be written"};
    }
    // Exchanging the names leaves the old file under the temporary name for
    // the recycler; there is nothing to exchange with when the name is free.
    if (m_recycler != nullptr &&
        renameat2(AT_FDCWD, m_temporaryPath.c_str(), AT_FDCWD, m_finalPath.c_str(), RENAME_EXCHANGE) == 0) {
        struct stat old { };
        const bool known = lstat(m_temporaryPath.c_str(), &old) == 0;
        if (known && S_ISDIR(old.st_mode)) {
            // A folder took the name while the file was written: it goes
            // back (and only then is the file under the temporary name ours).
            if (renameat2(AT_FDCWD, m_temporaryPath.c_str(), AT_FDCWD, m_finalPath.c_str(), RENAME_EXCHANGE) == 0) {
                std::remove(m_temporaryPath.c_str());
            }
            return Failure{"it is a folder"};
        }
        m_recycler->Keep(m_temporaryPath, known ? &old : nullptr);
        return {};
    }
    if (std::rename(m_temporaryPath.c_str(), m_finalPath.c_str()) != 0) {
        const int renameError = errno;
        std::remove(m_temporaryPath.c_str());
        return Failure{Why(renameError)};
    }
    return {};
}

FileRecycler::~FileRecycler()
{
    for (const std::string& spare : m_spares) ::unlink(spare.c_str());
}

bool FileRecycler::LooksNew(const struct stat& info, const std::string& folder) const
{
    return m_newFile && m_newFile->folder == folder && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
           info.st_dev == m_newFile->device && info.st_uid == m_newFile->owner && info.st_gid == m_newFile->group &&
           (info.st_mode & 07777) == m_newFile->permissions;
}

int FileRecycler::Take(const std::string& temporaryPath, off_t& length)
{
    const std::string folder = FolderOf(temporaryPath);
    while (!m_spares.empty() && FolderOf(m_spares.front()) != folder) {
        ::unlink(m_spares.front().c_str());
        m_spares.pop_front();
    }
    if (m_spares.size() < kSpares) return -1;
    const std::string spare = std::move(m_spares.front());
    m_spares.pop_front();
    if (renameat2(AT_FDCWD, spare.c_str(), AT_FDCWD, temporaryPath.c_str(), RENAME_NOREPLACE) != 0) {
        ::unlink(spare.c_str());
        return -1;
    }
    const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ::unlink(temporaryPath.c_str());
        return -1;
    }
    struct stat info { };
    if (fstat(fd, &info) != 0 || !LooksNew(info, folder) || !OpenNowhereElse(fd)) {
        ::close(fd);
        ::unlink(temporaryPath.c_str());
        return -1;
    }
    length = info.st_size;
    return fd;
}

void FileRecycler::NoteNewFile(const std::string& folder, int fd)
{
    struct stat info { };
    if (fstat(fd, &info) != 0) {
        m_newFile.reset();
        return;
    }
    m_newFile = NewFileLook{folder, info.st_dev, info.st_uid, info.st_gid, static_cast<mode_t>(info.st_mode & 07777)};
}

void FileRecycler::Keep(const std::string& path, const struct stat* info)
{
    if (info == nullptr || !LooksNew(*info, FolderOf(path))) {
        ::unlink(path.c_str());
        return;
    }
    m_spares.push_back(path);
    if (m_spares.size() > kSpares) {
        ::unlink(m_spares.front().c_str());
        m_spares.pop_front();
    }
}

Result<> WriteReplacing(const std::string& path, const std::string& bytes)
{
    auto file = ReplacingFile::Create(path);
    if (!file) return Failure{file.Message()};
    (*file)->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return (*file)->Commit();
}

}  // namespace halvane
