#include "common/errors.h"

#include "common/text.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

namespace tambrel {

TambrelError ErrorFromErrno(int err, const std::string &what, const std::string &path) {
    int number = kErrDeviceIO;
    std::string reason;
    switch (err) {
    case ENOENT:
        number = path.empty() ? kErrBadFileName : kErrFileNotFound;
        break;
    case ENOTDIR:
        number = kErrPathNotFound;
        break;
    case EACCES:
    case EPERM:
        number = kErrPermissionDenied;
        break;
    case EROFS:
    case EISDIR:
    case EEXIST:
        number = kErrPathFileAccess;
        break;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        number = kErrDiskFull;
        break;
    case ENOMEM:
        number = kErrOutOfMemory;
        break;
    case ENAMETOOLONG:
        number = kErrBadFileName;
        break;
    default:
        break;
    }
    return TambrelError(number, what + " " + QuotedName(path) + ": " + std::strerror(err));
}

std::string FailureText(int number) {
    switch (number) {
    case kErrOutOfMemory:
        return "Out of memory";
    case kErrBadFileName:
        return "Bad file name";
    case kErrFileNotFound:
        return "File not found";
    case kErrDeviceIO:
        return "Device I/O error";
    case kErrDiskFull:
        return "Disk full";
    case kErrPermissionDenied:
        return "Permission denied";
    case kErrPathFileAccess:
        return "Path/File access error";
    case kErrPathNotFound:
        return "Path not found";
    default:
        return "Error " + std::to_string(number);
    }
}

Failure CurrentFailure() {
    try {
        throw;
    } catch (const TambrelError &e) {
        return {e.Number, e.Description};
    } catch (const std::bad_alloc &) {
        return {kErrOutOfMemory, FailureText(kErrOutOfMemory)};
    } catch (const std::exception &e) {
        return {kErrDeviceIO, e.what()};
    } catch (...) {
        return {kErrDeviceIO, FailureText(kErrDeviceIO)};
    }
}

} // namespace tambrel
