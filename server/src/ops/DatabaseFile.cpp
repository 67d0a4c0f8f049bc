#include "ops/DatabaseFile.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include "storage/Storage.h"

namespace databasefile {
bool exists(const std::string& where) { return isPostgresUrl(where) || access(where.c_str(), F_OK) == 0; }

void create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw StorageError("cannot make " + path + ": " + std::strerror(errno));
    // The mode is given whatever the umask, which could only have narrowed it.
    const bool ok = fchmod(fd, 0600) == 0;
    ::close(fd);
    if (!ok) throw StorageError("cannot make " + path + " readable by its owner alone");
}

std::string absolute(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}
}  // namespace databasefile
