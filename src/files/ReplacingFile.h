#pragma once

#include <sys/stat.h>

#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "values/Result.h"

namespace halvane {

class FileRecycler;

// A file written under a temporary name in the folder of its final name and
// put under that name only when it is complete. Until Commit, the final name
// keeps whatever it held; destroying an uncommitted file removes the
// temporary one. Used for every file the programs write: tables, lists,
// pictures, converted responses. Seeking works (a WAV header is completed
// last).
class ReplacingFile : public std::ostream {
public:
    // Creates the temporary file, or takes the recycler's spare file when it
    // has a fitting one (its old bytes stand until written over, so a writer
    // given a recycler must leave no gaps: tables are written straight
    // through). Fails, saying why, when the final name is held by
    // something other than a regular file or a link, or the folder does not
    // take a new file.
    static Result<std::unique_ptr<ReplacingFile>> Create(const std::string& path, FileRecycler* recycler = nullptr);
    // Whether Create could begin a file for path now, without making one: the
    // name's checks, and a folder that exists and takes new files. Fails with
    // Create's words, so that every output of a command can be checked before
    // any work starts.
    static Result<> CanCreate(const std::string& path);
    ~ReplacingFile() override;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Writes out what is buffered, starts the bytes on their way to the disk
    // and puts the file under the final name. On failure the temporary file
    // is removed and the final name keeps what it held.
    Result<> Commit();

    const std::string& FinalPath() const { return m_finalPath; }

private:
    class Buffer;
    ReplacingFile(std::string finalPath, std::string temporaryPath, int fd, off_t oldLength, bool replaces,
                  FileRecycler* recycler);

    std::unique_ptr<Buffer> m_buffer;
    std::string m_finalPath;
    std::string m_temporaryPath;
    int m_fd;
    off_t m_oldLength;  // of an old file written over, which may need cutting; 0 for a new file
    bool m_replaces;    // the final name held something when the file was begun
    FileRecycler* m_recycler;
    bool m_done = false;
};

// Keeps the file that a replaced table leaves behind and writes the next
// table of the same folder into it, instead of making a new file and
// deleting the old one each time. Making and deleting files is most of what
// writing a table costs on many file systems (one without a journal scans
// its recently freed entries on every new file), so a data set of hundreds
// of responses goes several times faster this way.
//
// Nothing a plain replacement keeps is given up: the old file is taken only
// when nobody could see it change. It must be a regular file with no other
// name, open in no process (a reader keeps the table it opened), with the
// owner, group and permissions a new file in that folder gets. Anything else
// is deleted, as the replacement would have deleted it.
//
// Tables come in pairs of different lengths (intensity, then reference), so
// the file taken is the one replaced two tables before: it usually has the
// right length already, and no blocks need to be freed or added. The spares
// live under hidden temporary names and are deleted with the recycler.
class FileRecycler {
public:
    FileRecycler() = default;
    ~FileRecycler();
    FileRecycler(const FileRecycler&) = delete;
    FileRecycler& operator=(const FileRecycler&) = delete;

private:
    friend class ReplacingFile;

    // The oldest spare renamed to temporaryPath and opened for writing (its
    // length in length), or -1 when there is no spare of that folder to take
    // (a spare of another folder, or one that may not be taken, is deleted).
    int Take(const std::string& temporaryPath, off_t& length);
    // What a new file in folder looks like: the file just made there.
    void NoteNewFile(const std::string& folder, int fd);
    // The file that was under a final name, now at path (info from lstat,
    // nullptr when that failed): kept as a spare or deleted.
    void Keep(const std::string& path, const struct stat* info);

    struct NewFileLook {
        std::string folder;
        dev_t device = 0;
        uid_t owner = 0;
        gid_t group = 0;
        mode_t permissions = 0;
    };
    bool LooksNew(const struct stat& info, const std::string& folder) const;

    static constexpr std::size_t kSpares = 2;
    std::optional<NewFileLook> m_newFile;
    std::deque<std::string> m_spares;  // paths, oldest first
};

// Writes bytes to path through a ReplacingFile; the failure says why.
Result<> WriteReplacing(const std::string& path, const std::string& bytes);

}  // namespace halvane
