#include "output/atomic_file.h"

#include "common/errors.h"
#include "common/text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <random>
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

// ---- Temporary names removed when the program is interrupted.
//
// A named temporary exists only where the file system cannot hold an unnamed
// file, and for the instant between naming a finished file and moving it over
// the target. INT, TERM and HUP remove every listed name and then end the
// program with the same signal. The list is fixed in size so the signal
// handler reads it without locks.

constexpr int kCleanupSlots = 64;

struct CleanupSlot {
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 holds a name
    char name[PATH_MAX];
};

CleanupSlot g_cleanup[kCleanupSlots];

extern "C" void RemoveTemporariesAndEnd(int sig) {
    for (CleanupSlot &slot : g_cleanup) {
        if (slot.state.load() == 2) {
            ::unlink(slot.name);
        }
    }
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    ::sigaction(sig, &plain, nullptr);
    ::raise(sig);
}

// Installs the handler for the signals nobody else has taken.
void InstallCleanupHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL ||
                (old.sa_flags & SA_SIGINFO) != 0) {
                continue;
            }
            struct sigaction act {};
            act.sa_handler = RemoveTemporariesAndEnd;
            sigemptyset(&act.sa_mask);
            ::sigaction(sig, &act, nullptr);
        }
    });
}

// Lists a name for removal on a signal; -1 when the list is full or the name too long.
int ListTemporary(const std::string &name) {
    InstallCleanupHandlers();
    if (name.size() >= PATH_MAX) {
        return -1;
    }
    for (int i = 0; i < kCleanupSlots; ++i) {
        int expected = 0;
        if (g_cleanup[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_cleanup[i].name, name.c_str(), name.size() + 1);
            g_cleanup[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void UnlistTemporary(int &slot) {
    if (slot >= 0) {
        g_cleanup[slot].state.store(0);
        slot = -1;
    }
}

std::string RandomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine{std::random_device{}() ^
                                        static_cast<std::uint64_t>(::getpid())};
    std::string text(6, 'X');
    for (char &c : text) {
        c = kLetters[engine() % (sizeof(kLetters) - 1)];
    }
    return text;
}

} // namespace

void PrepareOutputSignals() {
    std::signal(SIGXFSZ, SIG_IGN);
    InstallCleanupHandlers();
}

bool IsReadOnlyFile(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

AtomicFile::AtomicFile(std::string target, OutputRules rules)
    : target_(std::move(target)), rules_(std::move(rules)) {
    if (target_.empty()) {
        throw TambrelError(kErrBadFileName, "Bad file name: the output name is empty");
    }
    // Everything stays in the target's folder so the final rename stays on one file system.
    const std::string folder = FolderOf(target_);
    // An unnamed file vanishes with the process, whatever ends it; naming it
    // later goes through /proc/self/fd.
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        unnamed_ = fd_ >= 0;
    }
    if (unnamed_) {
        return;
    }
    InstallCleanupHandlers();
    std::string pattern = folder + "/.tambrel-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // The signals that remove temporaries wait until the new one is listed.
    sigset_t cleanup{}, before{};
    sigemptyset(&cleanup);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&cleanup, sig);
    }
    ::pthread_sigmask(SIG_BLOCK, &cleanup, &before);
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    const int err = errno;
    if (fd_ >= 0) {
        temp_ = name.data();
        slot_ = ListTemporary(temp_);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (fd_ < 0) {
        throw OutputError(err, "Cannot create", target_);
    }
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
    UnlistTemporary(slot_);
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

void AtomicFile::Resize(std::uint64_t size) {
    int err = 0;
    while ((err = ::ftruncate(fd_, static_cast<off_t>(size))) != 0 && errno == EINTR) {
    }
    if (err != 0) {
        throw OutputError(errno, "Cannot write", target_);
    }
}

void AtomicFile::WriteAt(std::uint64_t offset, const void *data, std::size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    while (size > 0) {
        const ssize_t done = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            throw OutputError(done < 0 ? errno : ENOSPC, "Cannot write", target_);
        }
        bytes += done;
        offset += static_cast<std::uint64_t>(done);
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

// Gives the unnamed file the name `name`; false with `err` set when that fails.
bool AtomicFile::LinkAs(const std::string &name, int &err) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    err = errno;
    return false;
}

void AtomicFile::Commit() {
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            throw OutputError(EISDIR, "Cannot replace", target_);
        }
        struct stat source {};
        if (!rules_.sourcePath.empty() && ::stat(rules_.sourcePath.c_str(), &source) == 0 &&
            source.st_dev == st.st_dev && source.st_ino == st.st_ino) {
            throw TambrelError(kErrPathFileAccess, "Cannot replace " + QuotedName(target_) +
                                                       ": it is the file being converted");
        }
        if (!rules_.replaceReadOnly && IsReadOnlyFile(target_)) {
            throw TambrelError(kErrPermissionDenied,
                               "Cannot replace " + QuotedName(target_) + ": the file is read-only");
        }
        if (S_ISREG(st.st_mode)) {
            // The new file takes the old one's place with its permissions;
            // owner and group only where this process may give them.
            if (::fchown(fd_, st.st_uid, st.st_gid) != 0 && ::fchown(fd_, -1, st.st_gid) != 0) {
                // Neither could be set: the file keeps this process's owner and group.
            }
            ::fchmod(fd_, st.st_mode & 07777); // after the owner, whose change clears set-id bits
        }
    }
    if (unnamed_) {
        // Name the finished file beside the target, then move that name over it.
        const std::string folder = FolderOf(target_);
        int err = EEXIST;
        for (int tries = 0; tries < 100 && err == EEXIST; ++tries) {
            const std::string name = folder + "/.tambrel-" + RandomSuffix();
            slot_ = ListTemporary(name);
            if (LinkAs(name, err)) {
                temp_ = name;
                break;
            }
            UnlistTemporary(slot_);
        }
        if (temp_.empty()) {
            throw OutputError(err, "Cannot replace", target_);
        }
    }
    FlushAndClose();
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        throw OutputError(errno, "Cannot replace", target_);
    }
    committed_ = true;
    UnlistTemporary(slot_);
}

bool AtomicFile::CommitIfAbsent() {
    if (unnamed_) {
        // Naming the unnamed file never replaces an existing name.
        int err = 0;
        if (!LinkAs(target_, err)) {
            if (err == EEXIST) {
                return false;
            }
            throw OutputError(err, "Cannot create", target_);
        }
        committed_ = true;
        try {
            FlushAndClose();
        } catch (...) {
            ::unlink(target_.c_str());
            throw;
        }
        return true;
    }
    FlushAndClose();
    // A hard link never replaces an existing name, so two converters writing
    // into one folder cannot overwrite each other's files.
    if (::link(temp_.c_str(), target_.c_str()) == 0) {
        ::unlink(temp_.c_str());
        committed_ = true;
        UnlistTemporary(slot_);
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
        UnlistTemporary(slot_);
        return true;
    }
    throw OutputError(err, "Cannot create", target_);
}

} // namespace tambrel
