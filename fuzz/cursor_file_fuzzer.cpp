// libFuzzer target for the .CUR loader.
//
// The hand cursor is read from beside the executable, where anything may have been put. Whatever
// the bytes, parseCursorFile must return without a stray read; a picture it accepts must be a
// real one of at most 256 by 256 pixels with the hotspot inside it, and a refusal must say why.
#include "common/CursorFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace larkspan;

namespace {

void check(bool holds, const char *property)
{
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", property);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const CursorLoad load =
        parseCursorFile(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!load.ok) {
        check(!load.error.isEmpty(), "a refused file says why");
        check(load.image.isNull(), "a refused file gives no picture");
        return 0;
    }
    check(load.error.isEmpty(), "an accepted file has no error");
    check(!load.image.isNull(), "an accepted file gives a picture");
    check(load.image.format() == QImage::Format_ARGB32, "the picture is ARGB32");
    check(load.image.width() >= 1 && load.image.width() <= 256 && load.image.height() >= 1 &&
              load.image.height() <= 256,
          "the picture is at most 256 by 256 pixels");
    check(load.image.rect().contains(load.hotspot), "the hotspot lies inside the picture");
    // Read every pixel, so that a picture shorter than its size claims shows up under ASan.
    quint32 mix = 0;
    for (int y = 0; y < load.image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(load.image.constScanLine(y));
        for (int x = 0; x < load.image.width(); ++x)
            mix ^= line[x];
    }
    volatile quint32 sink = mix;
    (void)sink;
    return 0;
}
