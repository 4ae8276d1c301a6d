#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace halvane {

// The device and inode of a file: the same for every name of it (hard links,
// "..", links in the folders above), unlike its spelling.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of what holds the name itself (a symbolic link's own, not its
// target's); nothing when nothing does or it cannot be looked at.
std::optional<FileIdentity> IdentityOfName(const std::string& path);

// The identity of the file the name leads to (links followed); nothing when
// there is none.
std::optional<FileIdentity> IdentityOfFile(const std::string& path);

}  // namespace halvane
