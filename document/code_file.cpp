// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/code_file.h"
#include "document/design_file.h"

#include "assist/lcd.h"
#include "codegen/lcd_numbers.h"
#include "convert.h"
#include "hotspots/create_delete.h"
#include "slots/load.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

namespace document {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "Penvane1.";
constexpr std::string_view kBitmap = "Penvane1.LCDWriteBitmap ";
constexpr std::string_view kHotspot = "Penvane1.KeyPadAddHotSpot ";
constexpr std::string_view kHandle = ".Picture.Handle";
constexpr std::string_view kSeparator = ", ";

// Windows-1252 to UTF-8; 0x80 to 0x9F as the code page has them.
std::string from_windows_1252(std::string_view bytes) {
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const unsigned u = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> split_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = text.find(kSeparator); at != std::string_view::npos;
         at = text.find(kSeparator, start)) {
        parts.emplace_back(text.substr(start, at - start));
        start = at + kSeparator.size();
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

// A number as the generator writes it: digits, a leading "-" for a negative one.
std::optional<int> whole(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty() || text[0] == '+') {
        return std::nullopt;
    }
    return value;
}

// The first twip from 0 that converts to this position, if any does.
std::optional<float> position_twip(int position) {
    const int t = assist::first_twip(position);
    if (t > std::numeric_limits<std::int16_t>::max() ||
        ConvertNumbers(static_cast<std::int16_t>(t), true) != position) {
        return std::nullopt;
    }
    return static_cast<float>(t);
}

// The first twip size from 0 that converts to this size, if any does.
std::optional<float> size_twip(int size) {
    if (size < 0) {
        return std::nullopt;
    }
    for (int t = static_cast<int>(size * 30.9) - 31; t <= std::numeric_limits<std::int16_t>::max();
         ++t) {
        const auto s = static_cast<std::int16_t>(std::max(t, 0));
        const int converted = ConvertNumbersSize(s, true);
        if (converted == size) {
            return static_cast<float>(s);
        }
        if (converted > size) {
            break;
        }
    }
    return std::nullopt;
}

class Rebuilder {
public:
    Rebuilder(const std::string& folder, platform::PictureLoader& loader, tk::PictureBudget& budget)
        : folder_(folder), loader_(loader), budget_(budget) {
        form_.start_up();
    }

    // The NAMEs of all bitmap lines, so that the folder is listed once for them all.
    void want(const std::string& text) {
        if (text.compare(0, kBitmap.size(), kBitmap) == 0) {
            if (const auto parsed = parse_bitmap(std::string_view(text).substr(kBitmap.size()))) {
                wanted_.insert(parsed->second);
            }
        }
    }

    void line(int number, const std::string& text) {
        number_ = number;
        if (text.find_first_not_of(" \t") == std::string::npos) {
            return;
        }
        if (text.compare(0, kBitmap.size(), kBitmap) == 0) {
            bitmap(std::string_view(text).substr(kBitmap.size()));
        } else if (text.compare(0, kHotspot.size(), kHotspot) == 0) {
            hotspot(std::string_view(text).substr(kHotspot.size()));
        } else {
            problem("not a line the generator writes");
        }
    }

    Rebuilt result() { return {form_.design(), std::move(problems_), rebuilt_, {}}; }

private:
    void problem(std::string reason) { problems_.push_back({number_, std::move(reason)}); }

    // S, M, x, y, w, h, NAME.Picture.Handle; the name may hold ", " itself.
    static std::optional<std::pair<std::vector<std::string>, std::string>>
    parse_bitmap(std::string_view rest) {
        if (rest.size() < kHandle.size() || rest.substr(rest.size() - kHandle.size()) != kHandle) {
            return std::nullopt;
        }
        std::vector<std::string> parts = split(rest.substr(0, rest.size() - kHandle.size()));
        if (parts.size() < 7) {
            return std::nullopt;
        }
        std::string name = parts[6];
        for (std::size_t k = 7; k < parts.size(); ++k) {
            name += std::string(kSeparator) + parts[k];
        }
        return std::pair{std::move(parts), std::move(name)};
    }

    void bitmap(std::string_view rest) {
        const auto parsed = parse_bitmap(rest);
        if (!parsed) {
            problem("not a line the generator writes");
            return;
        }
        const auto& [parts, name] = *parsed;
        const auto numbers = four(parts, 2);
        if (!numbers) {
            problem("not a line the generator writes");
            return;
        }
        if (slot_ > Form1::kSlots) {
            problem("more than ten pictures");
            return;
        }
        // Only the display status dialog's answers: a design holds nothing else.
        const auto status = whole(parts[0]);
        const auto mode = whole(parts[1]);
        if (!status || !mode || *status < 0 || *status > 1 || *mode < 0 || *mode > 3) {
            problem("status and mode are not codes the status dialog gives");
            return;
        }
        const auto left = position_twip(numbers->x);
        const auto top = position_twip(numbers->y);
        if (!left || !top) {
            problem("no position gives " + parts[2] + ", " + parts[3]);
            return;
        }
        if (!place_picture(name, *numbers, *left, *top)) {
            return;
        }
        // As the display status dialog's OK leaves them.
        ++rebuilt_;
        const int n = slot_++;
        form_.set_intIDS(n, static_cast<std::int16_t>(*status));
        form_.set_intMode(n, static_cast<std::int16_t>(*mode));
    }

    // The picture of NAME that gives the line's size, loaded into the slot as
    // "&Load Image" leaves it, then placed; with no picture of NAME that can be
    // read, a picture without pixels of that size.
    bool place_picture(const std::string& name, const codegen::LcdNumbers& numbers, float left,
                       float top) {
        tk::Image& image = form_.Image(slot_);
        const tk::ControlState before = image.state();
        const std::vector<fs::directory_entry> named = pictures_named(name);
        bool read_any = false;
        for (const fs::directory_entry& entry : named) {
            const tk::PicturePtr picture = load(entry.path().string());
            if (!picture) {
                continue;
            }
            read_any = true;
            if (gives(picture, numbers)) {
                if (!on_canvas(*picture, left, top, numbers)) {
                    image.set_state(before);
                    return false;
                }
                put(picture, entry.path().filename().string(), left, top);
                return true;
            }
        }
        image.set_state(before); // the measuring leaves no trace
        if (read_any) {
            problem("no picture named \"" + name + "\" has a size that gives " +
                    std::to_string(numbers.w) + ", " + std::to_string(numbers.h));
            return false;
        }
        const std::string gone =
            named.empty() ? "no picture file in the folder gives the name \"" + name + "\""
                          : "no file in the folder that gives the name \"" + name +
                                "\" is a picture this program reads";
        auto stand_in = std::make_shared<tk::Picture>();
        // No file title gives a NAME with a ".".
        if (picture_slots::ClipName(name) != name || !stand_in_size(*stand_in, numbers)) {
            image.set_state(before);
            problem(gone);
            return false;
        }
        stand_in->path = (fs::path(folder_) / name).string();
        if (!on_canvas(*stand_in, left, top, numbers)) {
            image.set_state(before);
            return false;
        }
        put(std::move(stand_in), name, left, top);
        problem(gone + ", kept as a placeholder");
        return true;
    }

    // Only where a drop can put it: the design must be one the program can save.
    bool on_canvas(const tk::Picture& picture, float left, float top,
                   const codegen::LcdNumbers& numbers) {
        PictureEntry entry;
        entry.left = left;
        entry.top = top;
        entry.width = picture.width;
        entry.height = picture.height;
        if (reachable(entry)) {
            return true;
        }
        problem("no place on the canvas gives " + std::to_string(numbers.x) + ", " +
                std::to_string(numbers.y));
        return false;
    }

    bool gives(const tk::PicturePtr& picture, const codegen::LcdNumbers& numbers) {
        tk::Image& image = form_.Image(slot_);
        picture_slots::size_to_picture(form_, image, picture);
        const codegen::LcdNumbers got = codegen::line_numbers(image);
        return got.w == numbers.w && got.h == numbers.h;
    }

    // The smallest natural size that gives the line's size: sizes grow with it.
    bool stand_in_size(tk::Picture& stand_in, const codegen::LcdNumbers& numbers) {
        tk::Image& image = form_.Image(slot_);
        auto probe = std::make_shared<tk::Picture>();
        std::optional<int> width;
        std::optional<int> height;
        for (int n = 0; !(width && height); ++n) {
            probe->width = n;
            probe->height = n;
            picture_slots::size_to_picture(form_, image, probe);
            const codegen::LcdNumbers got = codegen::line_numbers(image);
            if (!width && got.w == numbers.w) {
                width = n;
            }
            if (!height && got.h == numbers.h) {
                height = n;
            }
            if ((width || got.w > numbers.w) && (height || got.h > numbers.h)) {
                break;
            }
            if (image.width > std::numeric_limits<std::int16_t>::max()) {
                break; // the line's numbers stop growing
            }
        }
        if (!width || !height) {
            return false;
        }
        stand_in.width = *width;
        stand_in.height = *height;
        return true;
    }

    void put(tk::PicturePtr picture, const std::string& title, float left, float top) {
        picture_slots::put_loaded_picture(form_, slot_, std::move(picture), title);
        form_.Image(slot_).left = left;
        form_.Image(slot_).top = top;
    }

    // Each file is read once: lines of the same NAME, or of the same size, share it.
    tk::PicturePtr load(const std::string& path) {
        const auto [at, fresh] = loaded_.try_emplace(path);
        if (fresh) {
            try {
                at->second = loader_.load(path, budget_);
            } catch (const std::bad_alloc&) {
            }
        }
        return at->second;
    }

    // The regular files whose title gives name, by title; the folder is listed once,
    // for the NAMEs of all lines.
    std::vector<fs::directory_entry> pictures_named(const std::string& name) {
        if (!listed_ && !folder_.empty()) { // empty: no folder, never the current one
            std::error_code error;
            for (fs::directory_iterator it(fs::path(folder_), error), end; !error && it != end;
                 it.increment(error)) {
                const std::string title = it->path().filename().string();
                if (wanted_.count(picture_slots::ClipName(title)) != 0) {
                    entries_[picture_slots::ClipName(title)].push_back(*it);
                }
            }
        }
        listed_ = true;
        std::vector<fs::directory_entry> found;
        if (const auto at = entries_.find(name); at != entries_.end()) {
            for (const fs::directory_entry& entry : at->second) {
                std::error_code error;
                if (entry.is_regular_file(error)) {
                    found.push_back(entry);
                }
            }
        }
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            return a.path().filename().string() < b.path().filename().string();
        });
        return found;
    }

    // n, 1, x, y, w, h
    void hotspot(std::string_view rest) {
        const std::vector<std::string> parts = split(rest);
        const auto n = parts.size() == 6 ? whole(parts[0]) : std::nullopt;
        const auto numbers = parts.size() == 6 ? four(parts, 2) : std::nullopt;
        if (!n || parts[1] != "1" || !numbers) {
            problem("not a line the generator writes");
            return;
        }
        if (*n != hotspots_) {
            problem("hotspot " + parts[0] + " out of order: " + std::to_string(hotspots_) +
                    " comes next");
            return;
        }
        if (hotspots_ == Form1::kHotspots) {
            problem("more than ten hotspots");
            return;
        }
        const auto left = position_twip(numbers->x);
        const auto top = position_twip(numbers->y);
        const auto width = size_twip(numbers->w);
        const auto height = size_twip(numbers->h);
        if (!left || !top || !width || !height ||
            !reachable(HotspotEntry{1, *left, *top, *width, *height})) {
            problem("no rectangle gives " + parts[2] + ", " + parts[3] + ", " + parts[4] + ", " +
                    parts[5]);
            return;
        }
        // As a band from corner to corner and "C&reate Hotspot" leave it; a band
        // begun above or left of the canvas reaches further than the canvas limits
        // let one from (0, 0) reach, so the rectangle itself is set afterwards.
        form_.cX = *left;
        form_.cY = *top;
        form_.ccX = *left + *width;
        form_.ccY = *top + *height;
        hotspot_handlers::cmdHotspot_Click(form_);
        ++rebuilt_;
        tk::Label& label = form_.lbl(hotspots_ + 1);
        label.left = *left;
        label.top = *top;
        label.width = *width;
        label.height = *height;
        ++hotspots_;
    }

    static std::optional<codegen::LcdNumbers> four(const std::vector<std::string>& parts,
                                                   std::size_t from) {
        codegen::LcdNumbers r;
        std::int16_t* fields[] = {&r.x, &r.y, &r.w, &r.h};
        for (std::size_t k = 0; k < 4; ++k) {
            const auto v = whole(parts[from + k]);
            if (!v || *v < std::numeric_limits<std::int16_t>::min() ||
                *v > std::numeric_limits<std::int16_t>::max()) {
                return std::nullopt;
            }
            *fields[k] = static_cast<std::int16_t>(*v);
        }
        return r;
    }

    std::string folder_;
    platform::PictureLoader& loader_;
    tk::PictureBudget& budget_;
    Form1 form_;
    int slot_ = 1;
    int hotspots_ = 0;
    int number_ = 0;
    int rebuilt_ = 0;
    std::vector<LineProblem> problems_;
    std::set<std::string> wanted_;
    bool listed_ = false;
    std::map<std::string, std::vector<fs::directory_entry>> entries_;
    std::map<std::string, tk::PicturePtr> loaded_;
};

} // namespace

bool looks_like_code(const std::string& bytes) {
    for (const std::string& line : split_lines(bytes)) {
        const auto first = line.find_first_not_of(" \t");
        if (first != std::string::npos) {
            return line.compare(first, kPrefix.size(), kPrefix) == 0;
        }
    }
    return false;
}

Rebuilt rebuild_from_code(const std::string& bytes, const std::string& folder,
                          platform::PictureLoader& loader, tk::PictureBudget& budget) {
    Rebuilder rebuilder(folder, loader, budget);
    // A final line break starts no line.
    const auto breaks = std::count(bytes.begin(), bytes.end(), '\n');
    if (breaks + (bytes.empty() || bytes.back() == '\n' ? 0 : 1) > kMaxCodeLines) {
        Rebuilt refused = rebuilder.result();
        refused.refusal = "over " + std::to_string(kMaxCodeLines) +
                          " lines, more than the code of one screen has";
        return refused;
    }
    const std::vector<std::string> lines = split_lines(from_windows_1252(bytes));
    for (const std::string& line : lines) {
        rebuilder.want(line);
    }
    int number = 0;
    for (const std::string& line : lines) {
        rebuilder.line(++number, line);
    }
    return rebuilder.result();
}

} // namespace document
