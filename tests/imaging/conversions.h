#pragma once

// What the codecs make of a file, to compare with what a conversion through another path wrote.

#include "image_model.h"
#include "test_images.h"

namespace testimages {

// Empty when the file does not load.
inline Bytes rlOf(const Bytes& bmp) {
    imaging::ImageModel model;
    return imaging::decodeBitmap(bmp, model) ? imaging::encodeCompressed(model).value() : Bytes{};
}
inline Bytes bmpOf(const Bytes& rl) {
    imaging::ImageModel model;
    return imaging::decodeCompressed(rl, model) ? imaging::encodeBitmap(model).value() : Bytes{};
}

}  // namespace testimages
