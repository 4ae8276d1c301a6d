#include "report/TableStorage.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace halvane {

bool DiskStorage::ReadInput(const std::string& path, std::vector<std::byte>& image, std::string& whyNot)
{
    image.clear();
    std::error_code error;
    // Only a regular file is read: a folder cannot be, and a device could
    // hand out bytes without end.
    if (!std::filesystem::is_regular_file(path, error)) {
        whyNot = std::filesystem::exists(path, error) ? "it is not a regular file" : "it does not exist";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        whyNot = "it cannot be opened for reading";
        return false;
    }
    // Read what is there, in blocks, rather than trusting a size taken
    // beforehand: the file may change between the two.
    constexpr std::size_t kBlock = 1 << 20;
    const auto expected = std::filesystem::file_size(path, error);
    if (!error) image.reserve(static_cast<std::size_t>(expected) + kBlock);
    std::size_t used = 0;
    for (;;) {
        image.resize(used + kBlock);
        const std::size_t got = std::fread(image.data() + used, 1, kBlock, file);
        used += got;
        if (got < kBlock) break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    image.resize(used);
    if (failed) {
        whyNot = "it cannot be read";
        image.clear();
        return false;
    }
    return true;
}

std::unique_ptr<std::ostream> DiskStorage::CreateTable(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return nullptr;
    auto table = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!table->is_open()) return nullptr;
    return table;
}

bool DiskStorage::SameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace halvane
