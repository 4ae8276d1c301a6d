// Tables written over tables that are already there, and input files opened
// twice, on the real file system: each name must end up holding exactly its
// new bytes, an old table anyone could still see must stay as it was, and a
// second opening must show the file as it is then.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "files/InputSource.h"
#include "report/TableStorage.h"
#include "support/RunCommand.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

namespace fs = std::filesystem;

ino_t InodeOf(const fs::path& path)
{
    struct stat info { };
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_ino;
}

std::vector<std::string> NamesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool WriteTable(DiskTables& tables, const fs::path& path, const std::string& bytes)
{
    auto table = tables.CreateTable(path.string());
    if (!table) return false;
    table->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return tables.CloseTable(std::move(table));
}

// Tables of different lengths written in pairs over older ones, as a batch
// run over a data set writes them: every name holds its own new bytes
// whether the file it went into was longer or shorter, the old files are
// written into rather than new ones made, and nothing hidden is left behind.
TEST(DiskTables, TablesWrittenOverOldOnesEachHoldTheirOwnBytesAndLeaveNothingBehind)
{
    const halvane::testing::ScratchFolder scratch("recycled-tables");
    const fs::path dir = scratch.Path();
    const std::vector<std::string> names = {"a.csv", "a_ref.csv", "b.csv", "b_ref.csv", "c.csv", "c_ref.csv"};
    std::vector<ino_t> oldInodes;
    for (std::size_t i = 0; i < names.size(); ++i) {
        test::WriteFile((dir / names[i]).string(), std::string(100 + 300 * (i % 2), 'o'));
        oldInodes.push_back(InodeOf(dir / names[i]));
    }
    std::vector<std::string> written;
    {
        DiskTables tables;
        for (std::size_t i = 0; i < names.size(); ++i) {
            // Lengths that make each taken file grow or shrink.
            written.push_back(std::string(50 + 37 * i + 500 * ((i / 2) % 2), static_cast<char>('A' + i)) + "\r\n");
            ASSERT_TRUE(WriteTable(tables, dir / names[i], written.back())) << names[i];
        }
        // The third and later tables went into the files replaced two tables before.
        EXPECT_EQ(InodeOf(dir / "b.csv"), oldInodes[0]);
        EXPECT_EQ(InodeOf(dir / "b_ref.csv"), oldInodes[1]);
        EXPECT_EQ(InodeOf(dir / "c.csv"), oldInodes[2]);
    }
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(test::ReadFile((dir / names[i]).string()), written[i]);
    EXPECT_EQ(NamesIn(dir), names);
}

// An old table is written into only when nobody could tell. Each row sets
// up the first table so that its old file must be left alone; the tables
// written after it would otherwise take that file.
TEST(DiskTables, AnOldTableSomebodyCouldStillSeeIsLeftAsItWas)
{
    const std::string old = "old table\r\n";
    struct Row {
        const char* name;
        // Prepares dir/first.csv; returns a check of what must still hold.
        std::function<std::function<void()>(const fs::path&)> prepare;
    };
    const Row rows[] = {
        {"a reader has it open",
         [&](const fs::path& dir) {
             test::WriteFile((dir / "first.csv").string(), old);
             const int fd = ::open((dir / "first.csv").c_str(), O_RDONLY);
             return std::function<void()>([fd, old] {
                 std::string seen(old.size() + 10, '\0');
                 seen.resize(static_cast<std::size_t>(::pread(fd, seen.data(), seen.size(), 0)));
                 EXPECT_EQ(seen, old);
                 ::close(fd);
             });
         }},
        {"a reader has it mapped, its file closed",
         [&](const fs::path& dir) {
             test::WriteFile((dir / "first.csv").string(), old);
             const int fd = ::open((dir / "first.csv").c_str(), O_RDONLY);
             void* map = mmap(nullptr, old.size(), PROT_READ, MAP_SHARED, fd, 0);
             ::close(fd);
             return std::function<void()>([map, old] {
                 EXPECT_EQ(std::string(static_cast<const char*>(map), old.size()), old);
                 munmap(map, old.size());
             });
         }},
        {"it has a second name",
         [&](const fs::path& dir) {
             test::WriteFile((dir / "first.csv").string(), old);
             fs::create_hard_link(dir / "first.csv", dir / "kept.txt");
             return std::function<void()>([dir, old] { EXPECT_EQ(test::ReadFile((dir / "kept.txt").string()), old); });
         }},
        {"it is a link to another file",
         [&](const fs::path& dir) {
             test::WriteFile((dir / "kept.txt").string(), old);
             fs::create_symlink("kept.txt", dir / "first.csv");
             return std::function<void()>([dir, old] { EXPECT_EQ(test::ReadFile((dir / "kept.txt").string()), old); });
         }},
        {"its permissions are not those of a new file",
         [&](const fs::path& dir) {
             test::WriteFile((dir / "first.csv").string(), old);
             ::chmod((dir / "first.csv").c_str(), 0604);
             return std::function<void()>([dir] {
                 struct stat fresh { };
                 struct stat taken { };
                 ::stat((dir / "first_ref.csv").c_str(), &fresh);
                 ::stat((dir / "second.csv").c_str(), &taken);
                 EXPECT_EQ(taken.st_mode, fresh.st_mode);
             });
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const halvane::testing::ScratchFolder scratch("recycled-unseen");
        const fs::path dir = scratch.Path();
        const std::function<void()> check = row.prepare(dir);
        for (const char* name : {"first_ref.csv", "second.csv", "second_ref.csv"})
            test::WriteFile((dir / name).string(), old);
        {
            DiskTables tables;
            for (const char* name : {"first.csv", "first_ref.csv", "second.csv", "second_ref.csv"}) {
                ASSERT_TRUE(WriteTable(tables, dir / name, std::string("new ") + name));
            }
        }
        check();
        for (const char* name : {"first.csv", "first_ref.csv", "second.csv", "second_ref.csv"}) {
            EXPECT_EQ(test::ReadFile((dir / name).string()), std::string("new ") + name);
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / name))) << name;
        }
        for (const std::string& name : NamesIn(dir)) EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
    }
}

// A folder made under a table's name while the table is written (where a
// table stood or where none did) is not the table's to replace: the table
// fails, and the folder stays under its name with all it holds.
TEST(DiskTables, AFolderThatTakesATablesNameWhileItIsWrittenIsLeftWhole)
{
    for (const bool oldTable : {false, true}) {
        SCOPED_TRACE(oldTable ? "an old table stood there" : "the name was free");
        const halvane::testing::ScratchFolder scratch("folder-takes-name");
        const fs::path table = scratch.Path() / "t.csv";
        if (oldTable) test::WriteFile(table.string(), "old table\r\n");
        DiskTables tables;
        auto stream = tables.CreateTable(table.string());
        ASSERT_TRUE(stream);
        *stream << "new table\r\n";
        fs::remove(table);
        fs::create_directory(table);
        test::WriteFile((table / "notes.txt").string(), "kept");
        EXPECT_FALSE(tables.CloseTable(std::move(stream)));
        EXPECT_EQ(test::ReadFile((table / "notes.txt").string()), "kept");
        EXPECT_EQ(NamesIn(scratch.Path()), std::vector<std::string>{"t.csv"});
    }
}

// A file opened a second time is served from the first opening's mapping
// only while it is the same file of the same length; either way the second
// opening shows the bytes the file holds then.
TEST(DiskInput, ASecondOpeningShowsTheFileAsItIsThen)
{
    const std::string first(5000, 'a');
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> change;
        std::string expected;
    };
    const Row rows[] = {
        {"unchanged", [](const fs::path&) {}, first},
        {"written over in place",
         [](const fs::path& path) {
             const int fd = ::open(path.c_str(), O_WRONLY);
             ASSERT_EQ(::pwrite(fd, "bb", 2, 4000), 2);
             ::close(fd);
         },
         first.substr(0, 4000) + "bb" + first.substr(4002)},
        {"replaced by another file of the same length",
         [](const fs::path& path) {
             test::WriteFile(path.string() + ".new", std::string(5000, 'c'));
             fs::rename(path.string() + ".new", path);
         },
         std::string(5000, 'c')},
        {"cut short", [](const fs::path& path) { fs::resize_file(path, 1000); }, first.substr(0, 1000)},
        {"grown", [&](const fs::path& path) { test::WriteFile(path.string(), first + "dd"); }, first + "dd"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const halvane::testing::ScratchFolder scratch("second-opening");
        const fs::path path = scratch.Path() / "room.wav";
        test::WriteFile(path.string(), first);
        DiskInput disk;
        auto once = disk.Open(path.string());
        ASSERT_TRUE(once);
        const auto bytes = (*once)->Bytes();
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), first);
        once->reset();
        row.change(path);
        auto again = disk.Open(path.string());
        ASSERT_TRUE(again);
        const auto now = (*again)->Bytes();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(now.data()), now.size()), row.expected);
    }
}

}  // namespace
}  // namespace halvane
