#pragma once
// Output files are written to a file without a name (or, where the file system
// has none, a hidden temporary beside the target) and given the target's name
// only once complete, so a failed or interrupted write leaves no partial file,
// no temporary and the old file untouched.
#include "output/alpha_rule.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/uio.h>

namespace tambrel {

// What an output may replace.
struct OutputRules {
    // The file being converted: an output whose file is this one (same device
    // and inode) is refused.
    std::string sourcePath;
    // Replace a target that has no write permission (the windows ask first).
    bool replaceReadOnly = false;
    // What a PNG written to the file makes transparent.
    AlphaRule alpha = AlphaRule::Auto;
};

class AtomicFile {
  public:
    // Creates the unnamed or temporary file in the target's folder. Throws TambrelError.
    explicit AtomicFile(std::string target, OutputRules rules = {});
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void Write(const void *data, std::size_t size); // throws TambrelError
    // Writes several pieces in order, as few system calls as possible.
    void WritePieces(const struct iovec *pieces, std::size_t count);
    // Makes the file `size` bytes long (the new bytes read as zero) and writes
    // `size` bytes at `offset` of it, for a writer that fills a file of known
    // size out of order. Both throw TambrelError.
    void Resize(std::uint64_t size);
    void WriteAt(std::uint64_t offset, const void *data, std::size_t size);
    // Moves the finished file over the target, replacing it; the new file
    // takes the replaced file's mode (and owner and group where allowed).
    // Throws TambrelError, also for a read-only target or the source file.
    void Commit();
    // Moves the finished file to the target only when no file or folder of
    // that name exists; returns false (and keeps the file) when one does.
    bool CommitIfAbsent();
    // Gives the finished file another target name, for a later commit.
    void Retarget(std::string target) { target_ = std::move(target); }
    const std::string &Target() const { return target_; }

  private:
    void FlushAndClose();
    bool LinkAs(const std::string &name, int &err);
    std::string target_;
    OutputRules rules_;
    std::string temp_; // the temporary's name; empty for an unnamed file
    int fd_ = -1;
    int slot_ = -1; // the temporary's place in the cleanup list, or -1
    bool unnamed_ = false;
    bool committed_ = false;
};

// For a program that writes outputs, before its first: a file-size limit
// (ulimit -f) then fails the write with EFBIG, reported like any write error,
// instead of ending the program by SIGXFSZ; and INT, TERM and HUP remove any
// named temporary before ending it.
void PrepareOutputSignals();

// True when `path` is an existing file without write permission for this
// process (or without any write bit, which binds even an administrator).
bool IsReadOnlyFile(const std::string &path);

} // namespace tambrel
