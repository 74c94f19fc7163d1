#pragma once
// The benchmark pictures, built with the project's ILBM writer. Their contents
// mix flat areas, gradients and noise so ByteRun1 sees both runs and literals.
#include "tests/support/ilbm_writer.h"

namespace tambrel::bench {

inline constexpr int kLargeSide = 4096; // 4096 x 4096, 8 planes, ByteRun1
inline constexpr int kHamWidth = 1920;  // 1920 x 1080, HAM8, ByteRun1
inline constexpr int kHamHeight = 1080;
inline constexpr int kSmallWidth = 320; // the folder: 320 x 256, 5 planes, ByteRun1
inline constexpr int kSmallHeight = 256;
inline constexpr int kFolderPictures = 200;

tambrel::test::Bytes LargePicture();
// 4096 x 4096 too: a deep 24-plane ILBM and a FORM PBM, both ByteRun1.
tambrel::test::Bytes DeepPicture();
tambrel::test::Bytes PbmPicture();
tambrel::test::Bytes Ham8Picture();
tambrel::test::Bytes SmallPicture(int index);

// The folder picture's file name: p000.iff .. p199.iff.
std::string SmallPictureName(int index);

} // namespace tambrel::bench
