// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/design_file.h"

#include "slots/decode/decode_limits.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <limits>
#include <map>
#include <set>

namespace document {

namespace {

using nlohmann::json;
using ordered = nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr const char* kFormat = "padscreen-design";
// A design needs three levels; members of newer versions may need a few more.
constexpr int kMaxDepth = 8;
// Pointer positions reach this far past the window at most (a screen's width in twips).
constexpr double kFarTwips = 1e6;
// A title of a file: longer ones no file system holds.
constexpr std::size_t kMaxText = 255;
// "None" and one entry per picture: the enable list never holds more.
constexpr std::size_t kMaxListEntries = Form1::kSlots + 1;
constexpr std::int64_t kMaxPixels =
    static_cast<std::int64_t>(picture_decode::max_pixel_bytes / sizeof(std::uint32_t));

struct Refused {
    Refusal refusal;
};

[[noreturn]] void refuse(std::string reason, int line = 0, int column = 0) {
    throw Refused{{std::move(reason), line, column}};
}

std::pair<int, int> line_column(const std::string& bytes, std::size_t offset) {
    offset = std::min(offset, bytes.size());
    int line = 1;
    std::size_t start = 0;
    for (std::size_t k = 0; k < offset; ++k) {
        if (bytes[k] == '\n') {
            ++line;
            start = k + 1;
        }
    }
    return {line, static_cast<int>(offset - start) + 1};
}

std::string quoted(const std::string& key) { return "\"" + key + "\""; }

// Whole twips as integers, others as the shortest decimal that reads back to the float.
ordered twips(float value) {
    if (value == std::trunc(value) && std::fabs(value) < 1e9F && !std::signbit(value)) {
        return static_cast<std::int64_t>(value);
    }
    const std::string text = float_text(value);
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    const auto back = static_cast<float>(d);
    return std::bit_cast<std::uint32_t>(back) == std::bit_cast<std::uint32_t>(value)
               ? d
               : static_cast<double>(value);
}

// The image's size in twips for a picture of this natural size, as a load leaves it.
std::pair<float, float> image_size(int width, int height) {
    tk::PictureBox box("size");
    auto p = std::make_shared<tk::Picture>();
    p->width = width;
    p->height = height;
    box.set_picture(p);
    return {box.width * 2, box.height * 2};
}

// ---- what the program can reach ----

struct Range {
    double low, high;
    bool holds(double v) const { return v >= low && v <= high; }
};
// Only the right and bottom edges of a hotspot are held to the canvas; a band may
// start off it, as far as a pointer goes.
constexpr Range kHotspotLeft{-kFarTwips, Form1::kClientWidth};
constexpr Range kHotspotTop{-kFarTwips, Form1::kClientHeight};
constexpr Range kHotspotSize{0, kFarTwips};

struct Places {
    Range left, top;
};
// A drop keeps a picture on the canvas; one wider than it ends with its far edge there.
Places places_of(int width, int height) {
    const auto [w, h] = image_size(width, height);
    return {{std::min(0.0, double{Form1::kCanvasRight} - w), Form1::kCanvasRight},
            {std::min(0.0, double{Form1::kCanvasBottom} - h), Form1::kCanvasBottom}};
}

// ---- reading, with every value checked against what the program can reach ----

const json& member(const json& in, const char* key, const std::string& where) {
    const auto it = in.find(key);
    if (it == in.end()) {
        refuse(where + ": missing " + quoted(key));
    }
    return *it;
}

void expect(bool ok, const std::string& where, const std::string& what) {
    if (!ok) {
        refuse(where + ": not " + what);
    }
}

double number(const json& in, const std::string& where, double low, double high) {
    expect(in.is_number(), where, "a number");
    const double d = in.get<double>();
    if (!std::isfinite(d) || d < low || d > high) {
        refuse(where + ": out of range");
    }
    return d;
}

std::int64_t whole(const json& in, const std::string& where, std::int64_t low, std::int64_t high) {
    expect(in.is_number_integer(), where, "a whole number");
    if (in.is_number_unsigned() ? in.get<std::uint64_t>() > static_cast<std::uint64_t>(high) ||
                                      static_cast<std::int64_t>(in.get<std::uint64_t>()) < low
                                : in.get<std::int64_t>() < low || in.get<std::int64_t>() > high) {
        refuse(where + ": out of range");
    }
    return in.get<std::int64_t>();
}

// One line of text, no control characters: it goes into code lines and captions.
std::string line_text(const json& in, const std::string& where) {
    expect(in.is_string(), where, "a text");
    std::string s = in.get<std::string>();
    if (s.size() > kMaxText) {
        refuse(where + ": longer than " + std::to_string(kMaxText) + " bytes");
    }
    if (std::any_of(s.begin(), s.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        refuse(where + ": holds a control character");
    }
    return s;
}

std::optional<std::int16_t> code(const json& in, const std::string& where, int high) {
    if (in.is_null()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(whole(in, where, 0, high));
}

void only(const json& in, std::initializer_list<const char*> keys, const std::string& where) {
    for (const auto& item : in.items()) {
        const std::string& key = item.key();
        if (std::none_of(keys.begin(), keys.end(), [&key](const char* k) { return key == k; })) {
            refuse(where + ": unknown member " + quoted(key));
        }
    }
}

PictureEntry read_picture(const json& in, const std::string& where) {
    expect(in.is_object(), where, "a picture");
    only(in, {"slot", "path", "left", "top", "width", "height", "tag", "name", "status", "mode"},
         where);
    PictureEntry p;
    p.slot = static_cast<int>(whole(member(in, "slot", where), where + ".slot", 1, Form1::kSlots));
    const std::string at = "picture in slot " + std::to_string(p.slot);
    expect(member(in, "path", at).is_string(), at + ".path", "a text");
    p.path = in["path"].get<std::string>();
    if (p.path.empty() || p.path.find('\0') != std::string::npos) {
        refuse(at + ".path: not a file's path");
    }
    p.width = static_cast<int>(whole(member(in, "width", at), at + ".width", 1, kMaxPixels));
    p.height = static_cast<int>(whole(member(in, "height", at), at + ".height", 1, kMaxPixels));
    if (static_cast<std::int64_t>(p.width) * p.height > kMaxPixels) {
        refuse(at + ": larger than a picture may be");
    }
    const Places places = places_of(p.width, p.height);
    p.left = static_cast<float>(
        number(member(in, "left", at), at + ".left", places.left.low, places.left.high));
    p.top = static_cast<float>(
        number(member(in, "top", at), at + ".top", places.top.low, places.top.high));
    p.tag = in.contains("tag") ? line_text(in["tag"], at + ".tag") : std::string();
    p.name = in.contains("name") ? line_text(in["name"], at + ".name") : std::string();
    p.status = code(member(in, "status", at), at + ".status", 1);
    p.mode = code(member(in, "mode", at), at + ".mode", 3);
    return p;
}

HotspotEntry read_hotspot(const json& in, const std::string& where) {
    expect(in.is_object(), where, "a hotspot");
    only(in, {"number", "left", "top", "width", "height"}, where);
    HotspotEntry h;
    h.number = static_cast<int>(
        whole(member(in, "number", where), where + ".number", 1, Form1::kHotspots));
    const std::string at = "hotspot " + std::to_string(h.number);
    h.left = static_cast<float>(
        number(member(in, "left", at), at + ".left", kHotspotLeft.low, kHotspotLeft.high));
    h.top = static_cast<float>(
        number(member(in, "top", at), at + ".top", kHotspotTop.low, kHotspotTop.high));
    h.width = static_cast<float>(
        number(member(in, "width", at), at + ".width", kHotspotSize.low, kHotspotSize.high));
    h.height = static_cast<float>(
        number(member(in, "height", at), at + ".height", kHotspotSize.low, kHotspotSize.high));
    return h;
}

// Counts how far the parser has read, so that a key it rejects has a place.
class CountingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(const char* at, const char* begin, std::size_t* read)
        : at_(at), begin_(begin), read_(read) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        *read_ = std::max(*read_, static_cast<std::size_t>(at_ - begin_));
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator old = *this;
        ++*this;
        return old;
    }
    friend bool operator==(const CountingIterator& a, const CountingIterator& b) {
        return a.at_ == b.at_;
    }

private:
    const char* at_ = nullptr;
    const char* begin_ = nullptr;
    std::size_t* read_ = nullptr;
};

// JSON with no duplicate key and no deeper nesting than a design could use.
json parse_json(const std::string& bytes) {
    std::size_t read = 0;
    std::vector<std::set<std::string>> open;
    const auto place = [&] { return line_column(bytes, read); };
    const json::parser_callback_t guard = [&](int /*depth*/, json::parse_event_t event,
                                              json& parsed) {
        switch (event) {
        case json::parse_event_t::object_start:
        case json::parse_event_t::array_start:
            if (open.size() >= kMaxDepth) {
                const auto [line, column] = place();
                refuse("nested deeper than a design", line, column);
            }
            open.emplace_back();
            break;
        case json::parse_event_t::object_end:
        case json::parse_event_t::array_end:
            open.pop_back();
            break;
        case json::parse_event_t::key:
            if (!open.back().insert(parsed.get<std::string>()).second) {
                const auto [line, column] = place();
                refuse("duplicate key " + quoted(parsed.get<std::string>()), line, column);
            }
            break;
        case json::parse_event_t::value:
            break;
        }
        return true;
    };
    const char* begin = bytes.data();
    try {
        return json::parse(CountingIterator(begin, begin, &read),
                           CountingIterator(begin + bytes.size(), begin, &read), guard);
    } catch (const json::parse_error& e) {
        const auto [line, column] = line_column(bytes, e.byte == 0 ? 0 : e.byte - 1);
        refuse("not JSON", line, column);
    } catch (const json::exception&) {
        // A number no double holds, among others.
        const auto [line, column] = place();
        refuse("a value out of range", line, column);
    }
}

// ---- version 1: a dump of the window; only its design is taken ----

// A v1 variable as a v2 code: whole numbers stay, empty is "no answer yet",
// anything else is left for the checks to refuse.
json v1_code(const json& v) { return v.is_null() ? json(nullptr) : v; }

std::string v1_text(const json& v) {
    if (v.is_string()) {
        return v.get<std::string>();
    }
    if (v.is_number_integer()) {
        return std::to_string(v.get<std::int64_t>());
    }
    return v.is_number() ? float_text(v.get<float>()) : std::string();
}

const json* find(const json& in, const char* key) {
    if (!in.is_object()) {
        return nullptr;
    }
    const auto it = in.find(key);
    return it == in.end() ? nullptr : &*it;
}

json migrate_v1(const json& root) {
    static const json kNone;
    const json* controls = find(root, "controls");
    const json* variables = find(root, "variables");
    const auto control = [&](const std::string& name) -> const json& {
        const json* c = controls != nullptr ? find(*controls, name.c_str()) : nullptr;
        return c != nullptr ? *c : kNone;
    };
    const auto variable = [&](const char* name, int index) -> json {
        const json* v = variables != nullptr ? find(*variables, name) : nullptr;
        if (v == nullptr) {
            return nullptr;
        }
        if (index < 0) {
            return *v;
        }
        return v->is_array() && static_cast<std::size_t>(index) < v->size() ? (*v)[index] : json();
    };
    const auto get = [](const json& in, const char* key, const json& fallback) {
        const json* v = find(in, key);
        return v != nullptr ? *v : fallback;
    };
    json out = {{"format", kFormat}, {"version", 2}};
    if (const json* program = find(root, "program")) {
        out["program"] = *program;
    }
    json pictures = json::array();
    int disabled = 0;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        const json& image = control("Image" + std::to_string(n));
        if (disabled == 0 && get(image, "enabled", true) == false) {
            disabled = n;
        }
        const json* picture = find(image, "picture");
        if (picture == nullptr || !picture->is_object()) {
            continue;
        }
        const int k = n - 1;
        pictures.push_back({{"slot", n},
                            {"path", get(*picture, "path", "")},
                            {"left", get(image, "left", 0)},
                            {"top", get(image, "top", 0)},
                            {"width", get(*picture, "width", 0)},
                            {"height", get(*picture, "height", 0)},
                            {"tag", get(image, "tag", "")},
                            {"name", v1_text(variable("file_names", k))},
                            {"status", v1_code(n == Form1::kSlots ? variable("status_10", -1)
                                                                  : variable("status_1_to_9", k))},
                            {"mode", v1_code(n == Form1::kSlots ? variable("mode_10", -1)
                                                                : variable("mode_1_to_9", k))}});
    }
    json hotspots = json::array();
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        const json& label = control("lbl" + std::to_string(k));
        if (get(label, "visible", false) == true) {
            hotspots.push_back({{"number", k},
                                {"left", get(label, "left", 0)},
                                {"top", get(label, "top", 0)},
                                {"width", get(label, "width", 0)},
                                {"height", get(label, "height", 0)}});
        }
    }
    out["pictures"] = std::move(pictures);
    out["hotspots"] = std::move(hotspots);
    out["enable"] = {{"list", get(control("cboDisable"), "items", json::array({"None"}))},
                     {"disabled", disabled}};
    return out;
}

// ---- version 2 ----

// A list of pictures or hotspots, each number once, in the order of their numbers.
template <class Entry>
std::vector<Entry> read_list(const json& value, const std::string& key,
                             Entry (*read)(const json&, const std::string&), int Entry::*number,
                             const std::string& twice) {
    expect(value.is_array(), key, "a list");
    std::vector<Entry> out;
    std::set<int> seen;
    for (std::size_t k = 0; k < value.size(); ++k) {
        Entry e = read(value[k], key + "[" + std::to_string(k) + "]");
        if (!seen.insert(e.*number).second) {
            refuse(twice + std::to_string(e.*number));
        }
        out.push_back(std::move(e));
    }
    std::sort(out.begin(), out.end(),
              [number](const Entry& a, const Entry& b) { return a.*number < b.*number; });
    return out;
}

Parsed read_v2(const json& root) {
    Parsed parsed;
    for (const auto& [key, value] : root.items()) {
        if (key == "format" || key == "version" || key == "program") {
            continue;
        }
        if (key == "pictures") {
            parsed.design.pictures =
                read_list(value, key, read_picture, &PictureEntry::slot, "two pictures in slot ");
        } else if (key == "hotspots") {
            parsed.design.hotspots = read_list(value, key, read_hotspot, &HotspotEntry::number,
                                               "two hotspots numbered ");
        } else if (key == "enable") {
            expect(value.is_object(), "enable", "an object");
            only(value, {"list", "disabled"}, "enable");
            if (const json* list = find(value, "list")) {
                expect(list->is_array() && list->size() <= kMaxListEntries, "enable.list",
                       "a list of at most " + std::to_string(kMaxListEntries));
                parsed.design.enable_list.clear();
                for (const json& e : *list) {
                    parsed.design.enable_list.push_back(line_text(e, "enable.list"));
                }
            }
            if (const json* d = find(value, "disabled")) {
                parsed.design.disabled =
                    static_cast<int>(whole(*d, "enable.disabled", 0, Form1::kSlots));
            }
        } else if (key == "recovery") {
            expect(value.is_object(), "recovery", "an object");
            only(value, {"file", "kind", "modified"}, "recovery");
            Belonging b;
            if (const json* f = find(value, "file")) {
                expect(f->is_string(), "recovery.file", "a text");
                b.file = f->get<std::string>();
            }
            if (const json* k = find(value, "kind")) {
                expect(k->is_string() && (*k == "none" || *k == "design" || *k == "code"),
                       "recovery.kind", "none, design or code");
                b.kind = k->get<std::string>();
            }
            if (const json* m = find(value, "modified")) {
                expect(m->is_boolean(), "recovery.modified", "true or false");
                b.modified = m->get<bool>();
            }
            parsed.belonging = b;
        } else {
            parsed.unknown[key] = value.dump();
        }
    }
    const auto pending = std::count_if(parsed.design.pictures.begin(), parsed.design.pictures.end(),
                                       [](const PictureEntry& p) { return !p.status || !p.mode; });
    if (pending > 1) {
        refuse("more than one picture waits for its display status");
    }
    return parsed;
}

std::string relative_path(const std::string& path, const std::string& folder) {
    const fs::path p(path);
    if (folder.empty() || !p.is_absolute()) {
        return p.generic_string();
    }
    const fs::path rel =
        p.lexically_normal().lexically_relative(fs::path(folder).lexically_normal());
    return rel.empty() ? p.generic_string() : rel.generic_string();
}

} // namespace

bool reachable(const PictureEntry& picture) {
    const Places places = places_of(picture.width, picture.height);
    return places.left.holds(picture.left) && places.top.holds(picture.top);
}

bool reachable(const HotspotEntry& h) {
    return kHotspotLeft.holds(h.left) && kHotspotTop.holds(h.top) && kHotspotSize.holds(h.width) &&
           kHotspotSize.holds(h.height);
}

std::string resolve_path(const std::string& path, const std::string& folder) {
    fs::path p(path);
    if (p.is_relative()) {
        p = fs::path(folder.empty() ? "." : folder) / p;
    }
    std::error_code error;
    const fs::path absolute = fs::absolute(p, error);
    return (error ? p : absolute).lexically_normal().string();
}

FileDesign design_of(const Form1& form, int pending_slot) {
    FileDesign d;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        const tk::Image& image = form.Image(n);
        if (!image.enabled && d.disabled == 0) {
            d.disabled = n;
        }
        if (!image.picture) {
            continue;
        }
        PictureEntry p{n,           image.picture->path,        image.left,
                       image.top,   image.picture->width,       image.picture->height,
                       image.tag,   form.strFileName(n).text(), std::nullopt,
                       std::nullopt};
        const auto status = form.intIDS(n).number();
        const auto mode = form.intMode(n).number();
        // Only the dialog's answers are codes; anything else asks again.
        if (n != pending_slot && status && mode && form.intIDS(n).is_integer() &&
            form.intMode(n).is_integer() && *status >= 0 && *status <= 1 && *mode >= 0 &&
            *mode <= 3) {
            p.status = static_cast<std::int16_t>(*status);
            p.mode = static_cast<std::int16_t>(*mode);
        }
        d.pictures.push_back(std::move(p));
    }
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        const tk::Label& label = form.lbl(k);
        if (label.visible) {
            d.hotspots.push_back({k, label.left, label.top, label.width, label.height});
        }
    }
    d.enable_list = form.cboDisable.items;
    return d;
}

DesignState state_of(const FileDesign& design, const std::vector<tk::PicturePtr>& pictures) {
    Form1 form;
    form.start_up();
    for (std::size_t k = 0; k < design.pictures.size(); ++k) {
        const PictureEntry& p = design.pictures[k];
        tk::Image& image = form.Image(p.slot);
        // Sized as a load sizes it, then placed.
        form.picHold.set_picture(pictures.at(k));
        image.height = form.picHold.height * 2;
        image.width = form.picHold.width * 2;
        form.picHold.clear_picture();
        image.picture = pictures[k];
        image.left = p.left;
        image.top = p.top;
        image.tag = p.tag;
        image.drag_mode = tk::Image::kAutomatic;
        image.visible = true;
        form.strFileName(p.slot) = p.name;
        if (p.status) {
            form.set_intIDS(p.slot, *p.status);
        }
        if (p.mode) {
            form.set_intMode(p.slot, *p.mode);
        }
    }
    for (const HotspotEntry& h : design.hotspots) {
        tk::Label& label = form.lbl(h.number);
        label.left = h.left;
        label.top = h.top;
        label.width = h.width;
        label.height = h.height;
        label.visible = true;
    }
    form.cboDisable.items = design.enable_list;
    if (design.disabled != 0) {
        form.Image(design.disabled).enabled = false;
    }
    form.cmdDelete.enabled = !design.pictures.empty();
    form.cmdDeleteHS.enabled = !design.hotspots.empty();
    return form.design();
}

std::string write_design(const FileDesign& design, const std::string& folder,
                         const std::string& program_version, const Unknown& unknown,
                         const std::optional<Belonging>& belonging) {
    ordered pictures = ordered::array();
    for (const PictureEntry& p : design.pictures) {
        const auto code_or_null = [](const std::optional<std::int16_t>& c) {
            return c ? ordered(*c) : ordered(nullptr);
        };
        pictures.push_back({{"slot", p.slot},
                            {"path", relative_path(p.path, folder)},
                            {"left", twips(p.left)},
                            {"top", twips(p.top)},
                            {"width", p.width},
                            {"height", p.height},
                            {"tag", p.tag},
                            {"name", p.name},
                            {"status", code_or_null(p.status)},
                            {"mode", code_or_null(p.mode)}});
    }
    ordered hotspots = ordered::array();
    for (const HotspotEntry& h : design.hotspots) {
        hotspots.push_back({{"number", h.number},
                            {"left", twips(h.left)},
                            {"top", twips(h.top)},
                            {"width", twips(h.width)},
                            {"height", twips(h.height)}});
    }
    // format and version first: the content type is told from the first bytes.
    ordered root = {{"format", kFormat}, {"version", kFormatVersion}, {"program", program_version}};
    root["pictures"] = std::move(pictures);
    root["hotspots"] = std::move(hotspots);
    root["enable"] = {{"list", design.enable_list}, {"disabled", design.disabled}};
    if (belonging) {
        root["recovery"] = {{"file", belonging->file},
                            {"kind", belonging->kind},
                            {"modified", belonging->modified}};
    }
    for (const auto& [key, text] : unknown) {
        root[key] = ordered::parse(text);
    }
    // Paths from the file system that are not UTF-8 cannot be held by JSON.
    return root.dump(2, ' ', false, ordered::error_handler_t::replace) + "\n";
}

std::string write_design(const Form1& form, const std::string& folder,
                         const std::string& program_version) {
    return write_design(design_of(form), folder, program_version);
}

std::string migrate_1_to_2(const std::string& bytes) {
    return migrate_v1(json::parse(bytes)).dump(2);
}

std::variant<Parsed, Refusal> parse_design(const std::string& bytes) {
    try {
        if (bytes.size() > kMaxDesignFileBytes) {
            refuse("over 1 MiB");
        }
        json root = parse_json(bytes);
        expect(root.is_object(), "the file", "a design");
        const json* format = find(root, "format");
        if (format == nullptr || *format != kFormat) {
            refuse("not a padscreen design");
        }
        const auto version = static_cast<int>(whole(member(root, "version", "the file"), "version",
                                                    1, std::numeric_limits<int>::max()));
        if (version > kFormatVersion) {
            refuse("made by a newer version of padscreen");
        }
        if (const json* program = find(root, "program"); program != nullptr) {
            expect(program->is_string(), "program", "a text");
        }
        // One step per version, in turn.
        if (version == 1) {
            root = migrate_v1(root);
        }
        Parsed parsed = read_v2(root);
        parsed.version = version;
        return parsed;
    } catch (const Refused& r) {
        return r.refusal;
    } catch (const json::exception& e) {
        return Refusal{std::string("cannot be read: ") + e.what()};
    }
}

std::variant<Opened, Refusal> read_design(const std::string& bytes, const std::string& folder,
                                          platform::PictureLoader& loader,
                                          tk::PictureBudget& budget) {
    auto parsed = parse_design(bytes);
    if (auto* refusal = std::get_if<Refusal>(&parsed)) {
        return *refusal;
    }
    Parsed& p = std::get<Parsed>(parsed);
    Opened opened;
    opened.file = std::move(p.design);
    opened.unknown = std::move(p.unknown);
    opened.belonging = std::move(p.belonging);
    // Every picture once, side by side, after the whole file passed its checks.
    std::vector<std::string> paths;
    for (PictureEntry& e : opened.file.pictures) {
        e.path = resolve_path(e.path, folder);
        if (std::find(paths.begin(), paths.end(), e.path) == paths.end()) {
            paths.push_back(e.path);
        }
    }
    const std::vector<tk::PicturePtr> loaded = loader.load_all(paths, budget, {});
    if (loaded.size() < paths.size()) {
        return Refusal{"stopped", 0, 0, true};
    }
    std::vector<tk::PicturePtr> pictures;
    for (const PictureEntry& e : opened.file.pictures) {
        const auto at =
            static_cast<std::size_t>(std::find(paths.begin(), paths.end(), e.path) - paths.begin());
        tk::PicturePtr picture = at < loaded.size() ? loaded[at] : nullptr;
        if (!picture) {
            auto stand_in = std::make_shared<tk::Picture>();
            stand_in->width = e.width;
            stand_in->height = e.height;
            stand_in->path = e.path;
            std::error_code error;
            opened.missing.push_back(
                {e.slot, e.path,
                 fs::exists(e.path, error) ? "cannot be read as a picture" : "does not exist"});
            picture = std::move(stand_in);
        }
        pictures.push_back(std::move(picture));
    }
    opened.design = state_of(opened.file, pictures);
    return opened;
}

} // namespace document
