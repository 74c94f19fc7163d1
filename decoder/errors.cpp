#include "decoder/errors.h"

#include <cerrno>
#include <cstring>

namespace tambrel {

TambrelError ErrorFromErrno(int err, const std::string &what, const std::string &path) {
    int number = kErrDeviceIO;
    std::string reason;
    switch (err) {
    case ENOENT: number = path.empty() ? kErrBadFileName : kErrFileNotFound; break;
    case ENOTDIR: number = kErrPathNotFound; break;
    case EACCES:
    case EPERM: number = kErrPermissionDenied; break;
    case EROFS:
    case EISDIR:
    case EEXIST: number = kErrPathFileAccess; break;
    case ENOSPC:
    case EFBIG:
    case EDQUOT: number = kErrDiskFull; break;
    case ENOMEM: number = kErrOutOfMemory; break;
    case ENAMETOOLONG: number = kErrBadFileName; break;
    default: break;
    }
    return TambrelError(number, what + " " + path + ": " + std::strerror(err));
}

} // namespace tambrel
