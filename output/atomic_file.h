#pragma once
// Output files are written to a temporary file beside the target and moved
// into place only once complete, so a failed write leaves no partial file and
// the old file untouched.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/uio.h>

namespace tambrel {

class AtomicFile {
  public:
    // Creates the temporary file in the target's folder. Throws TambrelError.
    explicit AtomicFile(std::string target);
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void Write(const void *data, std::size_t size); // throws TambrelError
    // Writes several pieces in order, as few system calls as possible.
    void WritePieces(const struct iovec *pieces, std::size_t count);
    // Moves the finished file over the target, replacing it. Throws TambrelError.
    void Commit();
    // Moves the finished file to the target only when no file or folder of
    // that name exists; returns false (and keeps the temporary) when one does.
    bool CommitIfAbsent();
    // Gives the finished file another target name, for a later commit.
    void Retarget(std::string target) { target_ = std::move(target); }
    const std::string &Target() const { return target_; }

  private:
    void FlushAndClose();
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace tambrel
