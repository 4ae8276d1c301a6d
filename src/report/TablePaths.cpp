#include "report/TablePaths.h"

namespace halvane {
namespace {

// The path without its last `count` UTF-8 characters (empty when shorter).
std::string DropLastCharacters(const std::string& path, int count)
{
    std::size_t end = path.size();
    for (int i = 0; i < count && end > 0; ++i) {
        --end;
        // Step back over continuation bytes (10xxxxxx) to the character's lead byte.
        while (end > 0 && (static_cast<unsigned char>(path[end]) & 0xC0u) == 0x80u) --end;
    }
    return path.substr(0, end);
}

}  // namespace

std::string IntensityTableName(const std::string& irFileName) { return DropLastCharacters(irFileName, 3) + "csv"; }

std::string ReferenceTableName(const std::string& irFileName) { return DropLastCharacters(irFileName, 4) + "_ref.csv"; }

std::string BandFileName(const std::string& irFileName, int nominalHz)
{
    const std::string reference = ReferenceTableName(irFileName);
    const std::string stem = reference.substr(0, reference.size() - std::string("_ref.csv").size());
    return stem + "_" + std::to_string(nominalHz) + "Hz" + irFileName.substr(stem.size());
}

}  // namespace halvane
