#include "PosixFile.h"

#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace kelvra::platform {

void UniqueFd::Reset(int fd) {
    if (this->fd >= 0) ::close(this->fd);
    this->fd = fd;
}

bool LockFile(int fd, int operation) {
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

}  // namespace kelvra::platform
