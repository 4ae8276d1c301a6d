#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "files/ReplacingFile.h"

namespace halvane {

// Where a run writes its tables. The disk version is the one users get;
// tests and the fuzzer keep everything in memory.
class TableStorage {
public:
    virtual ~TableStorage() = default;

    // Begins the table at path. Returns nullptr when it cannot be created.
    // The stream is binary: the writers put CR LF themselves.
    virtual std::unique_ptr<std::ostream> CreateTable(const std::string& path) = 0;
    // Completes a table made by CreateTable: every byte written reaches it,
    // and it stands under its name. False when that failed (a full disk, a
    // removed medium): the table must not pass for a complete one.
    virtual bool CloseTable(std::unique_ptr<std::ostream> table);
    // Drops a table made by CreateTable without putting it under its name:
    // whatever the name held before stays as it was (a refused run leaves
    // the old table). By default the stream is only let go; the disk's
    // version removes the file it wrote.
    virtual void DiscardTable(std::unique_ptr<std::ostream> table) { table.reset(); }
    // True when both paths name the same existing file (so writing the
    // second would destroy the first).
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;
};

// The file system. A table is written to a new file beside its name
// (".NAME.part-PID-N", hidden) and renamed over the name when it is closed,
// so that the name never holds half a table: a link at the name is replaced
// and its target left alone, a failed write leaves the file that was there
// as it was, and of two runs writing the same table at once, one whole table
// remains. If the program dies during a run, the rows written so far stay in
// the hidden file and the previous table under the name. A name held by
// something other than a regular file or a link (a folder, a pipe, a
// device) is refused. The file a table replaces is written into by the
// next table of the same folder when nobody could notice (see
// FileRecycler), so one storage used for many runs makes few new files.
class DiskTables final : public TableStorage {
public:
    std::unique_ptr<std::ostream> CreateTable(const std::string& path) override;
    bool CloseTable(std::unique_ptr<std::ostream> table) override;
    bool SameFile(const std::string& a, const std::string& b) override;

private:
    FileRecycler m_recycler;
};

}  // namespace halvane
