#include "output/atomic_file.h"

#include "common/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tambrel {

namespace {

std::string FolderOf(const std::string &path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

TambrelError OutputError(int err, const std::string &what, const std::string &path) {
    TambrelError e = ErrorFromErrno(err, what, path);
    if (err == ENOENT) {
        e.Number = kErrPathNotFound;
    }
    return e;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
    if (target_.empty()) {
        throw TambrelError(kErrBadFileName, "Bad file name: the output name is empty");
    }
    // The temporary lives in the target's folder so the final rename stays on one file system.
    std::string pattern = FolderOf(target_) + "/.tambrel-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        throw OutputError(errno, "Cannot create", target_);
    }
    temp_ = name.data();
    // mkostemp makes a private file; give it the usual permissions of a new file.
    ::fchmod(fd_, 0666 & ~CurrentUmask());
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!committed_ && !temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

void AtomicFile::Write(const void *data, std::size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    while (size > 0) {
        const ssize_t done = ::write(fd_, bytes, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            throw OutputError(done < 0 ? errno : ENOSPC, "Cannot write", target_);
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
}

void AtomicFile::WritePieces(const struct iovec *pieces, std::size_t count) {
    std::vector<iovec> rest(pieces, pieces + count);
    std::size_t first = 0;
    while (first < rest.size()) {
        const int batch = static_cast<int>(std::min<std::size_t>(rest.size() - first, IOV_MAX));
        ssize_t done = ::writev(fd_, rest.data() + first, batch);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            throw OutputError(done < 0 ? errno : ENOSPC, "Cannot write", target_);
        }
        // Skip what was written, possibly ending inside a piece.
        while (done > 0 && first < rest.size()) {
            const auto take =
                std::min<std::size_t>(static_cast<std::size_t>(done), rest[first].iov_len);
            rest[first].iov_base = static_cast<char *>(rest[first].iov_base) + take;
            rest[first].iov_len -= take;
            done -= static_cast<ssize_t>(take);
            if (rest[first].iov_len == 0) {
                ++first;
            }
        }
    }
}

void AtomicFile::FlushAndClose() {
    if (fd_ < 0) {
        return;
    }
    const int fd = fd_;
    fd_ = -1;
    // Delayed write errors (a full disk on some file systems) show up here.
    if (::close(fd) != 0) {
        throw OutputError(errno, "Cannot write", target_);
    }
}

void AtomicFile::Commit() {
    FlushAndClose();
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        throw OutputError(EISDIR, "Cannot replace", target_);
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        throw OutputError(errno, "Cannot replace", target_);
    }
    committed_ = true;
}

bool AtomicFile::CommitIfAbsent() {
    FlushAndClose();
    // A hard link never replaces an existing name, so two converters writing
    // into one folder cannot overwrite each other's files.
    if (::link(temp_.c_str(), target_.c_str()) == 0) {
        ::unlink(temp_.c_str());
        committed_ = true;
        return true;
    }
    const int err = errno;
    if (err == EEXIST) {
        return false;
    }
    if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP || err == EMLINK) {
        // File systems without hard links: check, then rename.
        struct stat st {};
        if (::lstat(target_.c_str(), &st) == 0) {
            return false;
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            throw OutputError(errno, "Cannot create", target_);
        }
        committed_ = true;
        return true;
    }
    throw OutputError(err, "Cannot create", target_);
}

} // namespace tambrel
