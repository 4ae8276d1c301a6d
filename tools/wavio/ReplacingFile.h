#pragma once

// Writing a file so that its name only ever holds a complete file: the bytes go to a new file
// beside it, which is renamed over the name when everything was written and synced. A failure
// at any step leaves whatever held the name before untouched. A symbolic link at the name is
// replaced by the new file (its target is left alone); a folder, FIFO, socket or device at
// the name is refused.

#include <sys/types.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

namespace halvane::wavio {

/// The device and inode of a file: the same for every name of it (hard links, "..", links in
/// the folders above), unlike its spelling.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// The identity of what holds the name itself (a symbolic link's own, not its target's);
/// std::nullopt when nothing does or it cannot be inspected.
std::optional<FileIdentity> IdentityOfName(const std::filesystem::path& path);

/// An output stream over a file descriptor it owns, buffered, able to seek (for patching a
/// header). Closing reports whether every byte reached the file.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd);
    ~DescriptorBuffer() override;
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    /// Writes what is buffered, syncs the file to its device and closes it; an empty string on
    /// success, otherwise the reason.
    std::string SyncAndClose();

protected:
    int_type overflow(int_type ch) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    bool Drain();

    int m_fd;
    int m_errno = 0;  // the first write error
    std::array<char, 1 << 16> m_buffer{};
};

/// One file being written in place of path.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();  // removes the temporary file unless Commit put it in place
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    /// Creates the temporary file beside path: path + ".partial", or ".partial1", ".partial2"...
    /// when that is taken (it is created exclusively, so nothing existing is ever truncated).
    /// Returns an empty string, or the reason nothing was created ("cannot be created: ...",
    /// "is a folder, FIFO or device, not a regular file").
    std::string Open(const std::filesystem::path& path);

    /// The stream to write to, after a successful Open.
    std::ostream& Stream() { return *m_stream; }
    const std::filesystem::path& TemporaryPath() const { return m_temporary; }

    /// Flushes, syncs and closes the temporary file and renames it over the name. Returns an
    /// empty string on success, otherwise the reason (the temporary file is then removed).
    std::string Commit();

private:
    void Discard();

    std::filesystem::path m_path;
    std::filesystem::path m_temporary;
    std::unique_ptr<DescriptorBuffer> m_buffer;
    std::unique_ptr<std::ostream> m_stream;
    bool m_open = false;
};

/// Writes path through writer in a ReplacingFile. writer returns an empty string on success,
/// otherwise the reason it failed; the function returns that reason, or why the file could
/// not be created or put in place, or an empty string.
std::string WriteFileReplacing(const std::filesystem::path& path,
                               const std::function<std::string(std::ostream&)>& writer);

}  // namespace halvane::wavio
