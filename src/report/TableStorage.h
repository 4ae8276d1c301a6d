#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace halvane {

// Where a run writes its tables. The disk version is the one users get;
// tests and the fuzzer keep everything in memory.
class TableStorage {
public:
    virtual ~TableStorage() = default;

    // Creates the table, or empties an existing file of that name. Returns
    // nullptr when it cannot be created. The stream is binary: the writers
    // put CR LF themselves.
    virtual std::unique_ptr<std::ostream> CreateTable(const std::string& path) = 0;
    // True when both paths name the same existing file (so writing the
    // second would destroy the first).
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;
};

// The file system.
class DiskTables final : public TableStorage {
public:
    std::unique_ptr<std::ostream> CreateTable(const std::string& path) override;
    bool SameFile(const std::string& a, const std::string& b) override;
};

}  // namespace halvane
