#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace tk {

// A decoded picture: its natural size in pixels and its pixels, one 0xAARRGGBB
// word each (non-premultiplied), row by row from the top-left corner.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

using PicturePtr = std::shared_ptr<const Picture>;

} // namespace tk
