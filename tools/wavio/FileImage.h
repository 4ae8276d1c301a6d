#pragma once

// Whole-file reads and safe whole-file writes for the command-line tools.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace halvane::wavio {

struct FileImage {
    bool ok = false;
    std::string message;        // why the file could not be read, when !ok
    std::vector<std::byte> bytes;
};

/// Reads the whole of a regular file. A missing file, a folder or a read error give !ok.
FileImage ReadFileImage(const std::filesystem::path& path);

/// True when a and b name the same file: the same path once made absolute and normalised,
/// or, when both exist, the same file reached through another name (links, "..").
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

/// Writes a file through writer into a temporary file beside path (a name not yet taken) and renames it into place
/// only when writer reports success and the stream is intact, so a failure never leaves a
/// half-written file under the final name (nor removes a file that was there before).
/// writer returns an empty string on success, otherwise the reason it failed.
std::string WriteFileReplacing(const std::filesystem::path& path,
                               const std::function<std::string(std::ostream&)>& writer);

}  // namespace halvane::wavio
