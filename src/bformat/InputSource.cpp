#include "bformat/InputSource.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

namespace halvane {
namespace {

// A RIFF file cannot be longer than its 32-bit size field describes (4 GiB
// and the 8 bytes before it). A longer file is no .WAV file, and reading it
// whole could take all the memory there is.
constexpr std::uintmax_t kLargestWavBytes = 0x100000008;

}  // namespace

Result<std::unique_ptr<InputImage>> DiskInput::Open(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return Failure{std::filesystem::exists(path, error) ? "it is not a regular file" : "it does not exist"};
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return Failure{"it cannot be opened for reading"};
    // Read what is there, in blocks, rather than trusting a size taken
    // beforehand: the file may change between the two.
    constexpr std::size_t kBlock = 1 << 20;
    const auto expected = std::filesystem::file_size(path, error);
    const char* problem = nullptr;
    if (!error && expected > kLargestWavBytes) problem = "it is larger than a .WAV file can be (4 GB)";
    std::vector<std::byte> image;
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
    if (problem != nullptr) return Failure{problem};
    image.resize(used);
    return std::unique_ptr<InputImage>(std::make_unique<MemoryImage>(std::move(image)));
}

}  // namespace halvane
