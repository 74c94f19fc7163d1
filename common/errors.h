#pragma once
// Run-time failures raised to the command that traps them. Each carries a
// number and a description, which the window commands put into their message
// boxes ("Load Error: ", "Error: ", "Error Number: ") and the converter prints.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tambrel {

// Error numbers shared by the loader and the writers.
enum ErrorNumber : int {
    kErrOutOfMemory = 7,       // picture too large to hold
    kErrBadFileName = 52,      // empty or malformed name
    kErrFileNotFound = 53,     // missing input file
    kErrDiskFull = 61,         // no room left, or file size limit reached
    kErrPermissionDenied = 70, // no permission to read or write
    kErrPathFileAccess = 75,   // cannot create the file (read-only folder, a folder in its place)
    kErrPathNotFound = 76,     // the output folder does not exist
    kErrDeviceIO = 57,         // any other input/output failure
};

class TambrelError : public std::runtime_error {
  public:
    TambrelError(int number, const std::string &description)
        : std::runtime_error(description), Number(number), Description(description) {}
    int Number;
    std::string Description;
};

// Builds the error for a failed system call on a path from its errno value.
TambrelError ErrorFromErrno(int err, const std::string &what, const std::string &path);

// The standard text of a failure number ("Out of memory" for 7 ...), used
// where no more precise description is at hand.
std::string FailureText(int number);

// A failure as the messages show it: its number and description.
struct Failure {
    int Number;
    std::string Description;
};

// The failure being handled: call only inside a catch block. A TambrelError
// gives its own number and description, std::bad_alloc error 7, any other
// exception error 57 with its text.
Failure CurrentFailure();

// Largest pixel buffer accepted: (W8 + 1) x (Height + 1) pixels. A BMP of
// Width x Height is written only when 54 + 4 x Width x Height also fits 32 bits
// (a later header may give a size whose buffer was never allocated).
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 30;

// Highest number tried by the automatic renaming: name(1) .. name(2048).
inline constexpr int kMaxRenameNumber = 2048;

} // namespace tambrel
