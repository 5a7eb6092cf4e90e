#pragma once

// The damaged files every reader must refuse cleanly: one list of bitmaps, one of RL files.

#include <string>
#include <vector>

#include "hostile_support.h"

namespace hostile {

struct NamedBytes {
    std::string name;  // also the file's name, less ".bmp"
    Bytes bytes;
};

// Files signed "BM" (or too short to hold a signature) that no bitmap reader may accept.
std::vector<NamedBytes> badBitmaps();
// Files signed "RL" that no RL reader may accept.
std::vector<NamedBytes> badRlFiles();

}  // namespace hostile
