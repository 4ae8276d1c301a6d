#include "files/FileIdentity.h"

#include <sys/stat.h>

namespace halvane {

std::optional<FileIdentity> IdentityOfName(const std::string& path)
{
    struct stat status { };
    if (lstat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

std::optional<FileIdentity> IdentityOfFile(const std::string& path)
{
    struct stat status { };
    if (stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

}  // namespace halvane
