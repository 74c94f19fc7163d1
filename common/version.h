#pragma once
// The program's version, the one place it is written. The build reads
// kPackageVersion from this file for the package and `--version`.
namespace tambrel {

inline constexpr const char *kPackageVersion = "0.8";
// The form shown in the title bar and the about text.
inline constexpr const char *kProgramVersion = "V0.08b";

} // namespace tambrel
