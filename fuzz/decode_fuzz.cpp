// libFuzzer entry for the picture decoder: every format behind decode_bytes.

#include "decode/decode.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

namespace {
void drop_messages(QtMsgType, const QMessageLogContext&, const QString&) {}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(drop_messages);
    static int qt_argc = 1;
    static QGuiApplication app(qt_argc, *argv); // SVG text needs the font database
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    picture_decode::decode_bytes(reinterpret_cast<const std::byte*>(data), size);
    return 0;
}
