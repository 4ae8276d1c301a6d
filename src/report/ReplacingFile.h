#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "bformat/Result.h"

namespace halvane {

// A file written under a temporary name in the folder of its final name and
// put under that name only when it is complete. Until Commit, the final name
// keeps whatever it held; destroying an uncommitted file removes the
// temporary one. Used for every file the programs write: tables, lists,
// pictures, converted responses.
class ReplacingFile : public std::ofstream {
public:
    // Creates the temporary file. Fails, saying why, when the final name is
    // held by something other than a regular file or a link, or the folder
    // does not take a new file.
    static Result<std::unique_ptr<ReplacingFile>> Create(const std::string& path);
    ~ReplacingFile() override;

    // Flushes, makes sure the bytes reached the disk and renames the file
    // over the final name. On failure the temporary file is removed and the
    // final name keeps what it held.
    Result<> Commit();

    const std::string& FinalPath() const { return m_finalPath; }

private:
    ReplacingFile(std::string finalPath, std::string temporaryPath);

    std::unique_ptr<char[]> m_buffer;  // rows go out in large blocks
    std::string m_finalPath;
    std::string m_temporaryPath;
    bool m_done = false;
};

// Writes bytes to path through a ReplacingFile; the failure says why.
Result<> WriteReplacing(const std::string& path, const std::string& bytes);

}  // namespace halvane
