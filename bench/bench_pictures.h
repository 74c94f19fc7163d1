#pragma once
// The benchmark pictures, built with the project's ILBM writer. Their contents
// mix flat areas, gradients and noise so ByteRun1 sees both runs and literals.
#include "tests/support/form_writer.h"
#include "tests/support/ilbm_writer.h"

#include <string>
#include <utility>
#include <vector>

namespace tambrel::bench {

inline constexpr int kLargeSide = 4096; // 4096 x 4096, 8 planes, ByteRun1
inline constexpr int kHamWidth = 1920;  // 1920 x 1080, HAM8, ByteRun1
inline constexpr int kHamHeight = 1080;
inline constexpr int kSmallWidth = 320; // the folder: 320 x 256, 5 planes, ByteRun1
inline constexpr int kSmallHeight = 256;
inline constexpr int kFolderPictures = 200;

tambrel::test::Bytes LargePicture();
// The same with the chunk `id` between the CAMG and the BODY.
tambrel::test::Bytes LargePictureWith(const std::string &id, const tambrel::test::Bytes &data);
// Red, green and blue tile patterns (the deep picture's colours), 0x00RRGGBB.
tambrel::test::DeepImage TrueColourPattern(int width, int height);
// 4096 x 4096 too: a deep 24-plane ILBM and a FORM PBM, both ByteRun1.
tambrel::test::Bytes DeepPicture();
tambrel::test::Bytes PbmPicture();
tambrel::test::Bytes Ham8Picture();
tambrel::test::Bytes SmallPicture(int index);
// 4096 x 4096 pictures of the other kinds, with their file names: RGFX (plain
// and zlib), DEEP (plain and ByteRun1), RGB8, RGBN, a 48-plane ILBM and the
// 8-plane picture with a Huffman-packed PCHG.
std::vector<std::pair<std::string, tambrel::test::Bytes>> NewKindPictures();

// The folder picture's file name: p000.iff .. p199.iff.
std::string SmallPictureName(int index);

} // namespace tambrel::bench
