#include "report/TableStorage.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace halvane {

std::unique_ptr<std::ostream> DiskTables::CreateTable(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return nullptr;
    auto table = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!table->is_open()) return nullptr;
    return table;
}

bool DiskTables::SameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace halvane
