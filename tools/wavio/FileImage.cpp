#include "wavio/FileImage.h"

#include <fstream>
#include <new>
#include <system_error>

namespace halvane::wavio {

FileImage ReadFileImage(const std::filesystem::path& path)
{
    FileImage image;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        image.message = std::filesystem::exists(path, error) ? "is not a regular file" : "does not exist";
        return image;
    }
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        image.message = "its size cannot be read: " + error.message();
        return image;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        image.message = "cannot be opened for reading";
        return image;
    }
    try {
        image.bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        image.message = "is too large to read into memory";
        return image;
    }
    in.read(reinterpret_cast<char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        image.bytes.clear();
        image.message = "could not be read to its end";
        return image;
    }
    image.ok = true;
    return image;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error)) {
        const bool same = std::filesystem::equivalent(a, b, error);
        if (!error) return same;
    }
    const auto normalA = std::filesystem::weakly_canonical(std::filesystem::absolute(a, error), error);
    const auto normalB = std::filesystem::weakly_canonical(std::filesystem::absolute(b, error), error);
    return normalA == normalB;
}

std::string WriteFileReplacing(const std::filesystem::path& path,
                               const std::function<std::string(std::ostream&)>& writer)
{
    // A name that is not taken, so the temporary file never truncates an existing one
    // (the input itself could be called OUT.partial).
    std::error_code error;
    std::filesystem::path partial = path;
    partial += ".partial";
    for (int attempt = 1; std::filesystem::exists(std::filesystem::symlink_status(partial, error)); ++attempt) {
        if (attempt > 1000) return "cannot be created: no free temporary name beside it";
        partial = path;
        partial += ".partial" + std::to_string(attempt);
    }
    std::string failure;
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot be created";
        failure = writer(out);
        out.close();
        if (failure.empty() && !out) failure = "writing failed (disk full?)";
    }
    if (failure.empty()) {
        std::filesystem::rename(partial, path, error);
        if (error) failure = "cannot be put in place: " + error.message();
    }
    if (!failure.empty()) std::filesystem::remove(partial, error);
    return failure;
}

}  // namespace halvane::wavio
