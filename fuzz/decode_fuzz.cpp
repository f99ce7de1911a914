// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer entry for the picture decoder, built once per format family (FUZZ_FAMILY_QT,
// _WMF, _EMF) so that each run spends its time inside one reader.

#include "decode/decode.h"
#include "decode/header_size.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Inputs and pictures far below the program's limits (256 MiB files, 512 MiB of pixels): a
// fault in reading a large picture shows in a small one too, and time spent zeroing and
// painting hundreds of megabytes is time the parsers are not explored.
constexpr std::size_t max_input_bytes = std::size_t{64} << 10;
constexpr std::size_t max_picture_bytes = std::size_t{4} << 20;

void drop_messages(QtMsgType, const QMessageLogContext&, const QString&) {}

std::uint32_t u32_at(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

[[maybe_unused]] bool is_emf(const std::uint8_t* data, std::size_t size) {
    return size >= 44 && u32_at(data) == 1 && std::memcmp(data + 40, " EMF", 4) == 0;
}

// Placeable (its key) or standard (type 1 or 2, header of 9 words).
[[maybe_unused]] bool is_wmf(const std::uint8_t* data, std::size_t size) {
    return (size >= 4 && u32_at(data) == 0x9AC6CDD7) ||
           (size >= 4 && (data[0] == 1 || data[0] == 2) && data[1] == 0 && data[2] == 9 &&
            data[3] == 0);
}

bool in_family(const std::uint8_t* data, std::size_t size) {
#if defined(FUZZ_FAMILY_EMF)
    return is_emf(data, size);
#elif defined(FUZZ_FAMILY_WMF)
    return is_wmf(data, size);
#else
    return !is_emf(data, size) && !is_wmf(data, size);
#endif
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(drop_messages);
    static int qt_argc = 1;
    static QGuiApplication app(qt_argc, *argv); // SVG text needs the font database
    picture_decode::prepare_decoders();         // as the helper does before it locks down
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Inputs of another family are kept out of this entry's corpus.
    if (size > max_input_bytes || !in_family(data, size))
        return -1;
    // One buffer for every input, as the helper has one memory file: no allocation per input.
    static std::vector<std::uint32_t> pixels(max_picture_bytes / 4);
    picture_decode::decode_into(reinterpret_cast<const std::byte*>(data), size, max_picture_bytes,
                                [](int width, int height) {
                                    return std::size_t(width) * std::size_t(height) <= pixels.size()
                                               ? pixels.data()
                                               : nullptr;
                                });
    // Measuring takes its own way through each format, on a header alone.
    picture_decode::measure(reinterpret_cast<const std::byte*>(data), size, max_picture_bytes);
    // padscreen-measure's own header reading never disagrees with it.
    const auto* bytes = reinterpret_cast<const std::byte*>(data);
    if (const auto slim = picture_decode::header_size(bytes, size, max_picture_bytes)) {
        const picture_decode::Decoded full =
            picture_decode::measure(bytes, size, max_picture_bytes, true);
        if (!full.ok || full.width != slim->width || full.height != slim->height)
            __builtin_trap();
    }
    return 0;
}
