#include "report/TableStorage.h"

#include <sys/stat.h>

namespace halvane {

bool TableStorage::CloseTable(std::unique_ptr<std::ostream> table)
{
    if (!table) return true;
    table->flush();
    return !table->fail();
}

std::unique_ptr<std::ostream> DiskTables::CreateTable(const std::string& path)
{
    auto file = ReplacingFile::Create(path, &m_recycler);
    if (!file) return nullptr;
    return std::move(*file);
}

bool DiskTables::CloseTable(std::unique_ptr<std::ostream> table)
{
    auto* file = dynamic_cast<ReplacingFile*>(table.get());
    if (file == nullptr) return TableStorage::CloseTable(std::move(table));
    return static_cast<bool>(file->Commit());
}

bool DiskTables::SameFile(const std::string& a, const std::string& b)
{
    struct stat first { };
    struct stat second { };
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace halvane
