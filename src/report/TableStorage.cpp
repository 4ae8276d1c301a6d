#include "report/TableStorage.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>

namespace halvane {
namespace {

// A RIFF file cannot be longer than its 32-bit size field describes (4 GiB
// and the 8 bytes before it). A longer file is no .WAV file, and reading it
// whole could take all the memory there is.
constexpr std::uintmax_t kLargestWavBytes = 0x100000008;

}  // namespace

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
    const char* problem = nullptr;
    if (!error && expected > kLargestWavBytes) problem = "it is larger than a .WAV file can be (4 GB)";
    std::size_t used = 0;
    try {
        if (!error && problem == nullptr) image.reserve(static_cast<std::size_t>(expected) + kBlock);
        while (problem == nullptr) {
            image.resize(used + kBlock);
            const std::size_t got = std::fread(image.data() + used, 1, kBlock, file);
            used += got;
            if (got < kBlock) break;
            if (used > kLargestWavBytes) problem = "it is larger than a .WAV file can be (4 GB)";
        }
    } catch (const std::bad_alloc&) {
        problem = "there is not enough memory to read it";
    }
    if (problem == nullptr && std::ferror(file) != 0) problem = "it cannot be read";
    std::fclose(file);
    if (problem != nullptr) {
        whyNot = problem;
        image = {};
        return false;
    }
    image.resize(used);
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
