// SPDX-License-Identifier: GPL-2.0-or-later
#include "decode.h"
#include "header_size.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <emf2svg.h>
#include <fontconfig/fontconfig.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <uemf_safe.h>

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace picture_decode {
namespace {

DecodeResult failure(std::string why, Refusal refusal = Refusal::unreadable) {
    DecodeResult result;
    result.error = std::move(why);
    result.refusal = refusal;
    return result;
}

// A size refused: too large when it has one, unreadable when it is empty or unknown.
DecodeResult size_failure(double width, double height, std::string why) {
    return failure(std::move(why),
                   width >= 1 && height >= 1 ? Refusal::too_large : Refusal::unreadable);
}

// The decode under way: its size limit, and where its pixels go once their size is known.
struct Job {
    std::size_t max_bytes = 0;
    bool measuring = false;   // the size is all that is wanted
    bool header_only = false; // measuring, and nothing may be decoded for it
    const PixelSink* sink = nullptr;
    std::uint32_t* out = nullptr;
    int width = 0;
    int height = 0;
};
// Decoding runs one file at a time on one thread.
Job* active_job = nullptr;
// prepare_decoders(false) was called: nothing may be drawn.
bool without_fonts = false;

// Doubles, so that a metafile's frame is checked before anything is rounded or allocated.
bool size_allowed(double width, double height) {
    return width >= 1 && height >= 1 && width * height * 4 <= double(active_job->max_bytes);
}

// The job's buffer for a picture of this size: asked of the sink once.
std::uint32_t* pixels_for(int width, int height) {
    Job& job = *active_job;
    if (!job.out) {
        job.out = (*job.sink)(width, height);
        job.width = width;
        job.height = height;
    }
    return job.width == width && job.height == height ? job.out : nullptr;
}

// A measured picture: its size, once the checks its header allows have passed.
DecodeResult measured(int width, int height) {
    active_job->width = width;
    active_job->height = height;
    DecodeResult result;
    result.picture.width = width;
    result.picture.height = height;
    result.ok = true;
    return result;
}

// Rows in strips small enough that Qt converts each on this thread, without its pool.
bool convert_into(const QImage& image, std::uint32_t* out) {
    const auto width = static_cast<std::size_t>(image.width());
    const int strip = std::max(1, (1 << 16) / image.width());
    for (int y = 0; y < image.height(); y += strip) {
        const int rows = std::min(strip, image.height() - y);
        const QImage part =
            image.copy(0, y, image.width(), rows).convertToFormat(QImage::Format_ARGB32);
        if (part.isNull())
            return false;
        for (int row = 0; row < rows; ++row)
            std::memcpy(out + width * static_cast<std::size_t>(y + row), part.constScanLine(row),
                        width * 4);
    }
    return true;
}

DecodeResult from_image(const QImage& image) {
    if (image.isNull() || !size_allowed(image.width(), image.height()))
        return size_failure(image.width(), image.height(), "decoded picture is empty or too large");
    if (active_job->measuring)
        return measured(image.width(), image.height());
    std::uint32_t* out = pixels_for(image.width(), image.height());
    if (!out)
        return failure("no room for the picture", Refusal::too_large);
    const auto width = static_cast<std::size_t>(image.width());
    if (image.constBits() == reinterpret_cast<const uchar*>(out)) {
        // Read in place.
    } else if (image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32) {
        // Both hold each pixel as a native 0xAARRGGBB word (RGB32 with alpha 0xFF).
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(out + width * static_cast<std::size_t>(y), image.constScanLine(y),
                        width * 4);
    } else if (!convert_into(image, out)) {
        return failure("out of memory converting the picture", Refusal::out_of_memory);
    }
    DecodeResult result;
    result.picture.width = image.width();
    result.picture.height = image.height();
    result.ok = true;
    return result;
}

// ---- Pictures Qt reads --------------------------------------------------------------

bool is_icon_directory(const std::byte* data, std::size_t size) {
    if (size < 6 || u16_at(data) != 0 || u16_at(data + 4) == 0)
        return false;
    const std::uint16_t type = u16_at(data + 2);
    return type == 1 || type == 2;
}

std::uint16_t be16_at(const std::byte* p) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) << 8 |
                                      std::to_integer<unsigned>(p[1]));
}

// Qt hands back whatever part of a cut-off BMP, GIF or JPEG it could read, padded out.
// A partly downloaded file should fail instead of turning into a half-grey picture.

bool bmp_is_complete(const std::byte* data, std::size_t size) {
    if (size < 30 || u32_at(data + 14) < 40)
        return true; // old or odd headers: left to Qt
    const std::uint32_t compression = size >= 34 ? u32_at(data + 30) : 0;
    if (compression != 0 && compression != 3)
        return true; // run-length data has no fixed size
    // Doubles: the header's fields are untrusted and their product may not fit 64 bits.
    const double width = std::abs(double(s32_at(data + 18)));
    const double height = std::abs(double(s32_at(data + 22)));
    const double stride = std::floor((width * u16_at(data + 28) + 31) / 32) * 4;
    return double(u32_at(data + 10)) + stride * height <= double(size);
}

// Skips GIF data sub-blocks starting at pos; false when the file ends inside them.
bool skip_gif_blocks(const std::byte* data, std::size_t size, std::size_t& pos) {
    while (pos < size) {
        const std::size_t length = std::to_integer<std::size_t>(data[pos]);
        pos += 1 + length;
        if (length == 0)
            return true;
    }
    return false;
}

// Complete when the first image's data ends inside the file.
bool gif_is_complete(const std::byte* data, std::size_t size) {
    auto table_size = [](std::byte flags) {
        return (flags & std::byte{0x80}) != std::byte{0}
                   ? std::size_t{3} << (std::to_integer<int>(flags & std::byte{7}) + 1)
                   : std::size_t{0};
    };
    if (size < 13)
        return false;
    std::size_t pos = 13 + table_size(data[10]);
    while (pos < size) {
        const std::byte block = data[pos];
        if (block == std::byte{0x21}) {
            pos += 2;
            if (!skip_gif_blocks(data, size, pos))
                return false;
        } else if (block == std::byte{0x2C}) {
            if (pos + 10 > size)
                return false;
            pos += 10 + table_size(data[pos + 9]) + 1; // descriptor, colour table, code size
            return skip_gif_blocks(data, size, pos);
        } else {
            return false;
        }
    }
    return false;
}

// Complete when an end-of-image marker follows the first scan. Inside scan data 0xFF is
// always followed by 0x00 or a restart marker, so the first 0xFFD9 there is the real end.
bool jpeg_is_complete(const std::byte* data, std::size_t size) {
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != std::byte{0xFF})
            return false;
        const std::byte marker = data[pos + 1];
        if (marker == std::byte{0xFF} || marker == std::byte{0x01} ||
            (marker >= std::byte{0xD0} && marker <= std::byte{0xD7})) {
            pos += marker == std::byte{0xFF} ? 1 : 2;
            continue;
        }
        const std::size_t segment_end = pos + 2 + be16_at(data + pos + 2);
        if (marker == std::byte{0xDA}) {
            for (std::size_t i = segment_end; i + 1 < size; ++i)
                if (data[i] == std::byte{0xFF} && data[i + 1] == std::byte{0xD9})
                    return true;
            return false;
        }
        pos = segment_end;
    }
    return false;
}

bool starts_with(const std::byte* data, std::size_t size, std::string_view magic) {
    return size >= magic.size() && std::memcmp(data, magic.data(), magic.size()) == 0;
}

bool looks_complete(const std::byte* data, std::size_t size) {
    if (starts_with(data, size, "BM"))
        return bmp_is_complete(data, size);
    if (starts_with(data, size, "GIF87a") || starts_with(data, size, "GIF89a"))
        return gif_is_complete(data, size);
    if (starts_with(data, size, "\xFF\xD8\xFF"))
        return jpeg_is_complete(data, size);
    return true;
}

// Icons carry several images: the 32x32 one is what a pad screen wants, else the largest.
bool choose_icon_image(QImageReader& reader) {
    int best = -1;
    long long best_area = -1;
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i))
            continue;
        const QSize size = reader.size();
        if (size == QSize(32, 32))
            return true;
        const long long area = static_cast<long long>(size.width()) * size.height();
        if (size.isValid() && area > best_area) {
            best = i;
            best_area = area;
        }
    }
    return best >= 0 && reader.jumpToImage(best);
}

// The formats Qt may read for us, told apart by their first bytes. Qt would guess many more
// (TIFF, WebP, SVG, XPM, PBM...) from content alone; each is code a hostile file could reach.
QByteArray qt_format_of(const std::byte* data, std::size_t size) {
    if (starts_with(data, size, "BM"))
        return "bmp"; // .bmp and .dib alike
    if (starts_with(data, size, "GIF87a") || starts_with(data, size, "GIF89a"))
        return "gif";
    if (starts_with(data, size, "\xFF\xD8\xFF"))
        return "jpeg";
    if (starts_with(data, size, "\x89PNG\r\n\x1A\n"))
        return "png";
    if (is_icon_directory(data, size))
        return "ico"; // icons and cursors
    return {};
}

DecodeResult read_with_qt(const std::byte* data, std::size_t size) {
    const QByteArray format = qt_format_of(data, size);
    if (format.isEmpty())
        return failure("not a picture format the program reads", Refusal::not_a_picture);
    // Static, and it also bounds the readers Qt opens internally (a PNG inside an icon).
    QImageReader::setAllocationLimit(int(active_job->max_bytes >> 20) + 1);
    QBuffer buffer;
    buffer.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!buffer.open(QIODevice::ReadOnly))
        return failure("cannot open buffer");
    const bool icon = format == "ico";
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    // The format's own reader only: others would be tried, and their plugins opened, first.
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(false); // the file's own pixel grid; EXIF orientation is ignored
    if (icon && !choose_icon_image(reader))
        return failure("no readable image in the icon");
    const QSize announced = reader.size();
    if (!announced.isValid() || !size_allowed(announced.width(), announced.height()))
        return size_failure(announced.width(), announced.height(),
                            "picture size unknown, empty or too large");
    // The decoder holds to the announced size (pixels_for), so it is the picture's size; the
    // rest of the file, the program may not even have sent. An icon's directory may not tell
    // the size of a PNG inside: an icon is decoded.
    if (!icon && active_job->measuring)
        return measured(announced.width(), announced.height());
    if (active_job->header_only)
        return failure("the icon's size takes decoding", Refusal::takes_decoding);
    if (!looks_complete(data, size))
        return failure("file is cut short");
    QImage image;
    const QImage::Format layout = reader.imageFormat();
    // The buffer is asked for before any pixel is decoded: one that cannot be had (no
    // room, or only the size was wanted) costs no decoding.
    std::uint32_t* out = icon ? nullptr : pixels_for(announced.width(), announced.height());
    if (!icon && !out)
        return failure("no room for the picture", Refusal::too_large);
    if (!icon && (layout == QImage::Format_RGB32 || layout == QImage::Format_ARGB32)) {
        // Already the wanted layout: the reader decodes straight into the final buffer.
        image = QImage(reinterpret_cast<uchar*>(out), announced.width(), announced.height(),
                       qsizetype(announced.width()) * 4, layout);
    }
    if (!reader.read(&image))
        return failure("cannot read picture: " + reader.errorString().toStdString());
    return from_image(image);
}

// ---- Metafiles ----------------------------------------------------------------------

// Qt's painter slows down sharply on very long sides (text drawn into a frame 500000 pixels
// tall takes minutes), so a metafile's frame is also held to a longest side.
constexpr double max_metafile_side = 16384;

bool metafile_size_allowed(double width, double height) {
    return size_allowed(width, height) && width <= max_metafile_side && height <= max_metafile_side;
}

// Metafiles have no background of their own: what they do not paint stays transparent.
DecodeResult render_svg(const QByteArray& svg, int width, int height) {
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return failure("metafile produced no drawable content");
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return failure("out of memory for the metafile", Refusal::out_of_memory);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, width, height));
    }
    return from_image(image);
}

constexpr std::uint32_t emr_header = 1;
constexpr std::uint32_t emr_eof = 14;
constexpr std::uint32_t emr_last_type = 122;
constexpr std::size_t emr_eof_size = 20;
// libemf2svg reads a little past the fields it decodes; that slack is zeros, not our heap.
constexpr std::size_t emf_slack = std::size_t{64} << 10;

// True when count items of unit bytes from offset lie inside [begin, end); none always do.
bool inside(std::uint64_t offset, std::uint64_t count, std::uint64_t unit, std::uint64_t begin,
            std::uint64_t end) {
    return count == 0 || (offset >= begin && offset <= end && count <= (end - offset) / unit);
}

// libemf2svg trusts every size in the file and walks off the end of its buffer when one
// lies. It only gets files whose records chain up exactly: each at least 8 bytes and a
// multiple of 4, one header first, the last an EOF ending where the header says the file
// ends, as many as the header counts (or one more), and the header's own parts inside the
// header.
// Returns the metafile's length (bytes after it are ignored), or 0 when it does not hold.
std::size_t emf_checked_length(const std::byte* data, std::size_t size) {
    const std::uint32_t header_size = u32_at(data + 4);
    const std::uint32_t total = u32_at(data + 48);
    const std::uint32_t records = u32_at(data + 52);
    if (header_size < emf_header_size || header_size % 4 != 0 || total % 4 != 0 || total > size ||
        header_size > total)
        return 0;
    // The description is read from its offset even when its length is 0.
    const std::uint32_t description_at = u32_at(data + 64);
    if ((description_at != 0 || u32_at(data + 60) != 0) &&
        !inside(description_at, std::max(u32_at(data + 60), 1u), 2, emf_header_size, header_size))
        return 0;
    if (header_size >= 100 &&
        !inside(u32_at(data + 92), u32_at(data + 88), 1, emf_header_size, header_size))
        return 0;
    std::uint64_t count = 1;
    for (std::size_t pos = header_size; total - pos >= 8; ++count) {
        const std::uint32_t type = u32_at(data + pos);
        const std::uint32_t length = u32_at(data + pos + 4);
        if (type <= emr_header || type > emr_last_type || length < 8 || length % 4 != 0 ||
            length > total - pos)
            return 0;
        // The library's own check of a record's fixed part, counts and offsets against its
        // size, which its converter does not call.
        if (!U_emf_record_safe(reinterpret_cast<const char*>(data + pos)))
            return 0;
        if (type == emr_eof)
            // LibreOffice counts one record fewer than it writes.
            return length >= emr_eof_size && pos + length == total &&
                           (count + 1 == records || count == records) &&
                           inside(u32_at(data + pos + 12), u32_at(data + pos + 8), 4, 8, length)
                       ? total
                       : 0;
        pos += length;
    }
    return 0;
}

DecodeResult decode_emf(const std::byte* data, std::size_t size) {
    // Measuring reads the header alone: the records matter only to the converter.
    const std::size_t length = active_job->measuring ? size : emf_checked_length(data, size);
    if (length == 0)
        return failure("EMF records do not hold together");
    const auto [width, height] = emf_frame(data);
    if (!metafile_size_allowed(width, height))
        return size_failure(width, height, "metafile frame is empty or too large");
    if (active_job->measuring)
        return measured(int(width), int(height));
    if (without_fonts)
        return failure("drawing an EMF file needs fonts", Refusal::needs_fonts);

    generatorOptions options{};
    char no_namespace[] = "";
    options.nameSpace = no_namespace;
    options.verbose = false; // verbose mode prints every record to stdout
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = width;
    options.imgHeight = height;
    std::vector<char> contents(length + emf_slack, '\0');
    std::memcpy(contents.data(), data, length);
    char* svg = nullptr;
    std::size_t svg_size = 0;
    const int converted = emf2svg(contents.data(), length, &svg, &svg_size, &options);
    const std::unique_ptr<char, decltype(&std::free)> svg_owner(svg, &std::free);
    if (!converted || !svg || svg_size == 0)
        return failure("cannot convert the EMF file");
    return render_svg(QByteArray(svg, qsizetype(svg_size)), int(width), int(height));
}

// ---- Fonts for metafile text --------------------------------------------------------

// The families metafile text is drawn in, each under the PostScript names libwmf asks for in
// its four styles (regular, italic, bold, bold italic). Liberation has the widths of Arial,
// Times New Roman and Courier New. libwmf's SVG names only the families of these PostScript
// names, so Tahoma and Verdana, which no Debian face matches, are drawn as Arial.
struct TextFamily {
    const char* family;
    std::array<const char*, 4> ps;
};
constexpr TextFamily text_families[] = {
    {"Liberation Sans",
     {"Helvetica", "Helvetica-Oblique", "Helvetica-Bold", "Helvetica-BoldOblique"}},
    {"Liberation Serif", {"Times-Roman", "Times-Italic", "Times-Bold", "Times-BoldItalic"}},
    {"Liberation Mono", {"Courier", "Courier-Oblique", "Courier-Bold", "Courier-BoldOblique"}},
    {"Standard Symbols PS", {"Symbol", "Symbol-Italic", "Symbol-Bold", "Symbol-BoldItalic"}},
};

// The faces Windows programs write, and the family (index above) each is drawn in.
struct WindowsFace {
    const char* name;
    std::size_t family;
};
constexpr WindowsFace windows_faces[] = {
    {"Arial", 0},           {"Helvetica", 0}, {"MS Sans Serif", 0}, {"Microsoft Sans Serif", 0},
    {"Times New Roman", 1}, {"Times", 1},     {"Courier New", 2},   {"Courier", 2},
    {"Tahoma", 0},          {"Verdana", 0},   {"Symbol", 3},
};

// The font file of one family in one style, or "" when fontconfig has no such family (its
// nearest match in another family would not have the widths the text was laid out with).
std::string font_file_of(const char* family, bool italic, bool bold) {
    FcPattern* pattern = FcPatternBuild(
        nullptr, FC_FAMILY, FcTypeString, family, FC_SLANT, FcTypeInteger,
        italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN, FC_WEIGHT, FcTypeInteger,
        bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR, FC_SCALABLE, FcTypeBool, FcTrue, nullptr);
    if (!pattern)
        return {};
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string file;
    FcChar8* name = nullptr;
    for (int i = 0; match && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0) {
            FcChar8* path = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
                file = reinterpret_cast<const char*>(path);
            break;
        }
    if (match)
        FcPatternDestroy(match);
    return file;
}

// libwmf's maps: Windows face to PostScript names, PostScript name to font file.
struct WmfFontMaps {
    std::deque<std::string> strings; // the files the map points to; a deque never moves them
    std::vector<wmfFontMap> faces;
    std::vector<wmfMapping> files;
};

// Looked up once, while the helper may still ask fontconfig. libwmf gives up on text when
// two PostScript names share one file (a family without an italic, say), so each file is
// listed once and its other styles use the name it is listed under.
const WmfFontMaps& wmf_font_maps() {
    static const WmfFontMaps maps = [] {
        WmfFontMaps m;
        std::vector<std::array<const char*, 4>> names(std::size(text_families));
        for (std::size_t f = 0; f < std::size(text_families); ++f) {
            const TextFamily& family = text_families[f];
            std::array<std::string, 4> files;
            for (std::size_t style = 0; style < 4; ++style)
                files[style] = font_file_of(family.family, style % 2 == 1, style >= 2);
            for (std::size_t style = 0; style < 4; ++style) {
                if (files[style].empty())
                    continue;
                std::size_t first = 0;
                while (files[first] != files[style])
                    ++first;
                names[f][style] = family.ps[first];
                if (first == style) {
                    m.strings.push_back(files[style]);
                    m.files.push_back({const_cast<char*>(family.ps[style]), m.strings.back().data(),
                                       FT_ENCODING_NONE});
                }
            }
        }
        for (const WindowsFace& face : windows_faces) {
            const auto& ps = names[face.family];
            if (ps[0])
                m.faces.push_back({const_cast<char*>(face.name), const_cast<char*>(ps[0]),
                                   const_cast<char*>(ps[1] ? ps[1] : ps[0]),
                                   const_cast<char*>(ps[2] ? ps[2] : ps[0]),
                                   const_cast<char*>(ps[3] ? ps[3] : ps[0])});
        }
        m.faces.push_back({nullptr, nullptr, nullptr, nullptr, nullptr});
        m.files.push_back({nullptr, nullptr, FT_ENCODING_NONE});
        return m;
    }();
    return maps;
}

void put_u16(std::vector<unsigned char>& out, std::size_t at, int value) {
    out[at] = static_cast<unsigned char>(value & 0xFF);
    out[at + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

// Once saves nest, libwmf's RESTOREDC brings back neither the text's colour nor its
// alignment: text written after one (as LibreOffice writes every line) comes out black and
// hung from its top instead of standing on its baseline. Each RESTOREDC is followed by records
// that state both again, as saved. Records are walked only while their sizes hold; the rest is
// left as it is.
void restate_text_after_restores(std::vector<unsigned char>& contents, std::size_t header_at) {
    constexpr int save_dc = 0x001E;
    constexpr int restore_dc = 0x0127;
    constexpr int set_text_align = 0x012E;
    constexpr int set_text_color = 0x0209;
    struct TextState {
        int align = 0;
        std::uint32_t color = 0;
    };
    TextState state;
    std::vector<TextState> saved;
    std::vector<unsigned char> out(contents.begin(),
                                   contents.begin() + std::ptrdiff_t(header_at + 18));
    std::size_t pos = header_at + 18;
    const auto* bytes = reinterpret_cast<const std::byte*>(contents.data());
    while (contents.size() - pos >= 6) {
        const std::uint64_t length = std::uint64_t{u32_at(bytes + pos)} * 2;
        const int function = u16_at(bytes + pos + 4);
        if (length < 6 || length > contents.size() - pos)
            break;
        out.insert(out.end(), contents.begin() + std::ptrdiff_t(pos),
                   contents.begin() + std::ptrdiff_t(pos + length));
        if (function == set_text_align && length >= 8)
            state.align = u16_at(bytes + pos + 6);
        else if (function == set_text_color && length >= 10)
            state.color = u32_at(bytes + pos + 6);
        else if (function == save_dc)
            saved.push_back(state);
        else if (function == restore_dc && length >= 8) {
            // Negative: that many back from the last saved; positive: that saved instance.
            const int which = s16_at(bytes + pos + 6);
            const auto count = static_cast<std::ptrdiff_t>(saved.size());
            const std::ptrdiff_t index = which < 0 ? count + which : which - 1;
            if (index >= 0 && index < count) {
                state = saved[std::size_t(index)];
                saved.resize(std::size_t(index));
            }
            const std::size_t at = out.size();
            out.resize(at + 18);
            put_u16(out, at, 4);
            put_u16(out, at + 2, 0);
            put_u16(out, at + 4, set_text_align);
            put_u16(out, at + 6, state.align);
            put_u16(out, at + 8, 5);
            put_u16(out, at + 10, 0);
            put_u16(out, at + 12, set_text_color);
            put_u16(out, at + 14, int(state.color & 0xFFFF));
            put_u16(out, at + 16, int(state.color >> 16));
        }
        pos += std::size_t(length);
    }
    out.insert(out.end(), contents.begin() + std::ptrdiff_t(pos), contents.end());
    // The header's size of the whole metafile, in 16-bit words.
    const std::uint32_t words =
        u32_at(bytes + header_at + 6) + std::uint32_t((out.size() - contents.size()) / 2);
    for (int i = 0; i < 4; ++i)
        out[header_at + 6 + std::size_t(i)] = static_cast<unsigned char>(words >> (8 * i));
    contents = std::move(out);
}

// Plays a placeable metafile as Windows does into a rectangle: before the file's own
// records, an anisotropic mapping of the placeable box onto width x height device units,
// whose window the file's own window records may then replace. Without it libwmf maps a
// file that sets only its window onto a viewport of its own choosing.
void frame_placeable(std::vector<unsigned char>& contents, double width, double height) {
    const auto* box = reinterpret_cast<const std::byte*>(contents.data());
    const int left = s16_at(box + 6);
    const int top = s16_at(box + 8);
    const int right = s16_at(box + 10);
    const int bottom = s16_at(box + 12);
    const struct {
        int function;
        int y;
        int x;
    } setup[] = {
        {0x020B, top, left},                  // SETWINDOWORG
        {0x020C, bottom - top, right - left}, // SETWINDOWEXT
        {0x020D, 0, 0},                       // SETVIEWPORTORG
        {0x020E, int(height), int(width)},    // SETVIEWPORTEXT
    };
    std::vector<unsigned char> records;
    const auto record = [&records](int words, int function) {
        const std::size_t at = records.size();
        records.resize(at + 6);
        put_u16(records, at, words);
        put_u16(records, at + 2, 0);
        put_u16(records, at + 4, function);
    };
    record(4, 0x0103); // SETMAPMODE MM_ANISOTROPIC
    records.resize(records.size() + 2);
    put_u16(records, records.size() - 2, 8);
    for (const auto& r : setup) {
        record(5, r.function);
        records.resize(records.size() + 4);
        put_u16(records, records.size() - 4, r.y);
        put_u16(records, records.size() - 2, r.x);
    }
    const std::size_t header_end = wmf_placeable_size + 18;
    contents.insert(contents.begin() + std::ptrdiff_t(header_end), records.begin(), records.end());
    // The header's size of the whole metafile, in 16-bit words.
    const std::uint32_t words =
        u32_at(reinterpret_cast<const std::byte*>(contents.data()) + wmf_placeable_size + 6) +
        std::uint32_t(records.size() / 2);
    for (int i = 0; i < 4; ++i)
        contents[wmf_placeable_size + 6 + std::size_t(i)] =
            static_cast<unsigned char>(words >> (8 * i));
}

// libwmf places a bitmap twice over: by its x, y, width and height, and again by a transform
// that maps the bitmap's own pixels onto that box, which sends it off the picture. The box
// alone is right.
void drop_image_transforms(QByteArray& svg) {
    constexpr std::string_view attribute = "transform=\"";
    for (qsizetype at = svg.indexOf("<image"); at >= 0; at = svg.indexOf("<image", at + 1)) {
        const qsizetype end = svg.indexOf('>', at);
        if (end < 0)
            return;
        const qsizetype from = svg.indexOf(attribute.data(), at);
        const qsizetype to = from < 0 ? -1 : svg.indexOf('"', from + qsizetype(attribute.size()));
        if (from >= 0 && to >= 0 && to < end)
            svg.remove(from, to + 1 - from);
    }
}

DecodeResult decode_wmf(const std::byte* data, std::size_t size) {
    double width = 0;
    double height = 0;
    const bool placeable = is_placeable_wmf(data, size);
    if (placeable) {
        const std::optional<FrameSize> frame = placeable_frame(data);
        if (!frame)
            return failure("placeable WMF header gives no units per inch");
        width = frame->width;
        height = frame->height;
        if (!metafile_size_allowed(width, height))
            return size_failure(width, height, "metafile frame is empty or too large");
    }

    // libwmf allocates the largest record the header announces up front; no record can be
    // longer than the file.
    const std::byte* header = placeable ? data + wmf_placeable_size : data;
    if (placeable && !is_standard_wmf(header, size - wmf_placeable_size))
        return failure("placeable WMF without a metafile header");
    if (std::uint64_t{u32_at(header + 12)} * 2 > size)
        return failure("WMF header announces records larger than the file");
    if (placeable && active_job->measuring)
        return measured(int(width), int(height));
    // Else the size is the extent of what the records draw: all of them must be there.
    if (active_job->measuring && std::uint64_t{u32_at(header + 6)} * 2 > size)
        return failure("WMF file is cut short");
    // Drawing needs fonts, and so does that extent: text is part of it.
    if (without_fonts)
        return failure("reading this WMF file needs fonts", Refusal::needs_fonts);
    if (active_job->header_only)
        return failure("this WMF file's size takes drawing", Refusal::takes_decoding);

    const WmfFontMaps& fonts = wmf_font_maps();
    if (fonts.files.size() < 2)
        return failure("no font for the WMF reader");

    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    options.font.wmf = const_cast<wmfFontMap*>(fonts.faces.data());
    options.font.ps = const_cast<wmfMapping*>(fonts.files.data());
    wmfAPI* api = nullptr;
    if (wmf_api_create(&api,
                       WMF_OPT_FUNCTION | WMF_OPT_FONTMAP | WMF_OPT_IGNORE_NONFATAL |
                           WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG,
                       &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        return failure("cannot start the WMF reader");
    }
    const std::unique_ptr<wmfAPI, decltype(&wmf_api_destroy)> api_owner(api, &wmf_api_destroy);

    std::vector<unsigned char> contents(reinterpret_cast<const unsigned char*>(data),
                                        reinterpret_cast<const unsigned char*>(data) + size);
    restate_text_after_restores(contents, placeable ? wmf_placeable_size : 0);
    if (placeable)
        frame_placeable(contents, width, height);
    wmfD_Rect bbox{};
    if (wmf_mem_open(api, contents.data(), long(contents.size())) != wmf_E_None ||
        wmf_scan(api, 0, &bbox) != wmf_E_None)
        return failure("cannot read the WMF file");

    if (!placeable) {
        // Without a placeable header nothing states how large a logical unit is. libwmf's
        // size is the extent of what the file draws, in logical units; we count one unit
        // as one pixel at 96 dpi, as GDI's default mapping (MM_TEXT) plays it on a screen.
        float w = 0;
        float h = 0;
        if (wmf_size(api, &w, &h) != wmf_E_None)
            return failure("cannot size the WMF file");
        width = std::ceil(double(w));
        height = std::ceil(double(h));
        if (!metafile_size_allowed(width, height))
            return size_failure(width, height, "metafile frame is empty or too large");
        if (active_job->measuring)
            return measured(int(width), int(height));
    }

    wmf_svg_t* svg_device = WMF_SVG_GetData(api);
    svg_device->out = wmf_stream_create(api, nullptr);
    if (!svg_device->out)
        return failure("out of memory for the WMF file", Refusal::out_of_memory);
    svg_device->Description = nullptr;
    if (placeable) {
        // libwmf frames the drawing by what it draws; the placeable box is the frame the file
        // asks for, mapped onto the viewport set up above: one device unit a pixel.
        bbox.TL = {0, 0};
        bbox.BR = {float(width), float(height)};
    }
    svg_device->bbox = bbox;
    svg_device->width = static_cast<unsigned int>(width);
    svg_device->height = static_cast<unsigned int>(height);
    svg_device->flags |= WMF_SVG_INLINE_IMAGES; // never write side files
    const bool played = wmf_play(api, 0, &bbox) == wmf_E_None;
    char* svg = nullptr;
    unsigned long svg_size = 0;
    // The buffer belongs to libwmf's allocator and goes with wmf_api_destroy.
    wmf_stream_destroy(api, svg_device->out, &svg, &svg_size);
    svg_device->out = nullptr;
    if (!played || !svg || svg_size == 0)
        return failure("cannot draw the WMF file");
    // libwmf's SVG fills every shape at half opacity; GDI's brushes are opaque.
    QByteArray drawing(svg, qsizetype(svg_size));
    drawing.replace("fill-opacity:0.5;", "");
    drop_image_transforms(drawing);
    return render_svg(drawing, int(width), int(height));
}

DecodeResult decode_any(const std::byte* data, std::size_t size) {
    if (!data || size == 0)
        return failure("empty file");
    if (size > max_file_bytes)
        return failure("file too large", Refusal::too_large);
    if (is_emf(data, size))
        return decode_emf(data, size);
    if (is_placeable_wmf(data, size) || is_standard_wmf(data, size))
        return decode_wmf(data, size);
    return read_with_qt(data, size);
}

} // namespace

void prepare_decoders(bool with_fonts) {
    without_fonts = !with_fonts;
    // Load the image plugins now: a reader names its plugin, which is opened on first use.
    // Only those: a reader left to guess would open every plugin on the system.
    for (const char* format : {"bmp", "gif", "jpeg", "png", "ico"}) {
        QBuffer empty;
        empty.open(QIODevice::ReadOnly);
        QImageReader reader(&empty, format);
        reader.setAutoDetectImageFormat(false);
        reader.canRead();
    }
    if (without_fonts)
        return; // metafiles are measured from their headers, never converted or drawn
    wmf_font_maps();
    // Text in an SVG (every metafile becomes one) is drawn by Qt in the same families.
    for (const WindowsFace& face : windows_faces)
        QFont::insertSubstitution(face.name, text_families[face.family].family);
    // The EMF converter turns text from UTF-16 and UTF-32 through iconv, whose modules are
    // libraries loaded on first use: loaded now, and kept, while code may still be mapped.
    // Held from a global, so that they are not taken for leaks when statics go at exit.
    static auto* const conversions = new std::vector<iconv_t>;
    for (const char* from : {"UTF-16LE", "UTF-32LE", "LATIN1"})
        for (const auto& pair : {std::pair{"UTF-8", from}, std::pair{from, "UTF-8"}})
            if (const iconv_t cd = iconv_open(pair.first, pair.second);
                cd != iconv_t(-1)) // NOLINT(performance-no-int-to-ptr): iconv's failure
                conversions->push_back(cd);
    // Settle the font database and the default font, which metafile text needs.
    QImage page(8, 8, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&page);
    painter.drawText(0, 8, "A");
}

std::vector<std::string> readable_folders() {
    // Qt and libwmf open a font's file when text first needs it, well after set-up.
    std::vector<std::string> folders;
    if (FcStrList* dirs = FcConfigGetFontDirs(nullptr)) {
        while (const FcChar8* dir = FcStrListNext(dirs))
            folders.emplace_back(reinterpret_cast<const char*>(dir));
        FcStrListDone(dirs);
    }
    return folders;
}

namespace {

Decoded run(const std::byte* data, std::size_t size, std::size_t max_bytes, bool measuring,
            const PixelSink& sink, bool header_only = false) {
    Job job;
    job.max_bytes = std::min(max_bytes, max_pixel_bytes);
    job.measuring = measuring;
    job.header_only = header_only;
    job.sink = &sink;
    active_job = &job;
    const DecodeResult result = decode_any(data, size);
    active_job = nullptr;
    Decoded decoded;
    decoded.ok = result.ok && (job.out || (measuring && job.width > 0 && job.height > 0));
    decoded.error = decoded.ok || !result.error.empty() ? result.error : "no pixels";
    decoded.refusal = result.refusal;
    decoded.width = decoded.ok ? job.width : 0;
    decoded.height = decoded.ok ? job.height : 0;
    return decoded;
}

} // namespace

Decoded decode_into(const std::byte* data, std::size_t size, std::size_t max_bytes,
                    const PixelSink& sink) {
    return run(data, size, max_bytes, false, sink);
}

Decoded measure(const std::byte* data, std::size_t size, std::size_t max_bytes, bool header_only) {
    const PixelSink none = [](int, int) { return static_cast<std::uint32_t*>(nullptr); };
    return run(data, size, max_bytes, true, none, header_only);
}

DecodeResult decode_bytes(const std::byte* data, std::size_t size) {
    DecodeResult result;
    const Decoded decoded =
        decode_into(data, size, max_pixel_bytes, [&result](int width, int height) {
            try {
                result.picture.argb =
                    tk::Pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
            } catch (const std::bad_alloc&) {
                return static_cast<std::uint32_t*>(nullptr);
            }
            return result.picture.argb.data();
        });
    result.ok = decoded.ok;
    result.error = decoded.error;
    result.refusal = decoded.refusal;
    if (decoded.ok) {
        result.picture.width = decoded.width;
        result.picture.height = decoded.height;
    } else {
        result.picture = tk::Picture();
    }
    return result;
}

} // namespace picture_decode
