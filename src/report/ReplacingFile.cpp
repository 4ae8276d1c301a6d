#include "report/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

}  // namespace

Result<std::unique_ptr<ReplacingFile>> ReplacingFile::Create(const std::string& path)
{
    if (path.empty() || path.back() == '/') return Failure{"it names a folder"};
    struct stat info { };
    if (lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        return Failure{S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file"};
    }
    // A unique name in the same folder, so that the rename stays within one
    // file system. Created exclusively: nothing already there is written through.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = FolderOf(path) + "." + NameOf(path) + ".part-" + std::to_string(getpid()) + "-" +
                                      std::to_string(g_serial.fetch_add(1));
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Failure{Why(errno)};
        }
        ::close(fd);
        std::unique_ptr<ReplacingFile> file(new ReplacingFile(path, temporary));
        if (!file->is_open()) return Failure{"it cannot be opened for writing"};
        return file;
    }
    return Failure{"no new file can be made beside it"};
}

ReplacingFile::ReplacingFile(std::string finalPath, std::string temporaryPath)
    : m_buffer(new char[kBufferBytes]), m_finalPath(std::move(finalPath)), m_temporaryPath(std::move(temporaryPath))
{
    rdbuf()->pubsetbuf(m_buffer.get(), kBufferBytes);
    open(m_temporaryPath, std::ios::binary | std::ios::trunc);
}

ReplacingFile::~ReplacingFile()
{
    if (m_done) return;
    close();
    std::remove(m_temporaryPath.c_str());
}

Result<> ReplacingFile::Commit()
{
    if (m_done) return Failure{"it was already closed"};
    m_done = true;
    errno = 0;
    flush();
    const int writeError = errno;
    const bool written = !fail();
    close();
    if (!written || fail()) {
        std::remove(m_temporaryPath.c_str());
        return Failure{writeError != 0 ? Why(writeError) : "its bytes could not all be written"};
    }
    if (std::rename(m_temporaryPath.c_str(), m_finalPath.c_str()) != 0) {
        const int error = errno;
        std::remove(m_temporaryPath.c_str());
        return Failure{Why(error)};
    }
    return {};
}

Result<> WriteReplacing(const std::string& path, const std::string& bytes)
{
    auto file = ReplacingFile::Create(path);
    if (!file) return Failure{file.Message()};
    (*file)->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return (*file)->Commit();
}

}  // namespace halvane
