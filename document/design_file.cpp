// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/design_file.h"

#include "document/fields.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <map>
#include <new>
#include <set>
#include <string_view>

namespace document {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* kFormat = "padscreen-design";
// Root, controls, one control, its picture or list: a design needs no deeper.
constexpr int kMaxDepth = 4;
// Far past anything a drag or a picture can reach, yet well inside a float.
constexpr double kMaxTwips = 1e6;
// Pictures wider or taller than this cannot be decoded within the picture budget.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 20;

struct Refused {
    Refusal refusal;
};

[[noreturn]] void refuse(std::string reason, int line = 0, int column = 0) {
    throw Refused{{std::move(reason), line, column}};
}

// Line and column (from 1) of the byte at offset.
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

// The shortest decimal that reads back to exactly this float, as the double JSON holds.
double exact_double(float value) {
    const std::string text = float_text(value);
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    const auto back = static_cast<float>(d);
    return std::memcmp(&back, &value, sizeof value) == 0 ? d : static_cast<double>(value);
}

std::string quoted(const std::string& key) { return "\"" + key + "\""; }

// Reading and writing each kind of value a design holds; `where` names the
// value in a refusal.
class Codec {
public:
    Codec(std::string folder, platform::PictureLoader* loader, tk::PictureBudget* budget)
        : folder_(std::move(folder)), loader_(loader), budget_(budget) {}

    std::vector<MissingPicture> missing;
    int slot = 0; // of the picture being read, for the missing list

    json put(float v) const { return exact_double(v); }
    json put(bool v) const { return v; }
    json put(std::int16_t v) const { return v; }
    json put(tk::Color v) const { return v; }
    json put(std::size_t v) const { return v == std::string::npos ? json(nullptr) : json(v); }
    json put(const std::string& v) const { return v; }
    json put(const std::vector<std::string>& v) const { return v; }
    template <class T, std::size_t N> json put(const std::array<T, N>& v) const {
        json out = json::array();
        for (const T& e : v) {
            out.push_back(put(e));
        }
        return out;
    }
    json put(const Variant& v) const {
        if (v.is_integer()) {
            return static_cast<std::int16_t>(*v.number());
        }
        if (v.is_float()) {
            return exact_double(static_cast<float>(*v.number()));
        }
        if (v.is_text()) {
            return v.text();
        }
        return nullptr;
    }
    json put(const tk::PicturePtr& v) const {
        if (!v) {
            return nullptr;
        }
        return {{"path", relative_path(v->path)}, {"width", v->width}, {"height", v->height}};
    }

    void get(const json& in, float& v, const std::string& where) {
        v = static_cast<float>(number(in, where, kMaxTwips));
    }
    void get(const json& in, bool& v, const std::string& where) {
        expect(in.is_boolean(), where, "true or false");
        v = in.get<bool>();
    }
    void get(const json& in, std::int16_t& v, const std::string& where) {
        v = static_cast<std::int16_t>(integer(in, where, std::numeric_limits<std::int16_t>::min(),
                                              std::numeric_limits<std::int16_t>::max()));
    }
    void get(const json& in, int& v, const std::string& where) {
        v = static_cast<int>(integer(in, where, 0, kMaxPicturePixels));
    }
    void get(const json& in, tk::Color& v, const std::string& where) {
        v = static_cast<tk::Color>(integer(in, where, 0, 0xFFFFFF));
    }
    void get(const json& in, std::size_t& v, const std::string& where) {
        v = in.is_null() ? std::string::npos
                         : static_cast<std::size_t>(integer(in, where, 0, kMaxDesignFileBytes));
    }
    void get(const json& in, std::string& v, const std::string& where) {
        expect(in.is_string(), where, "a text");
        v = in.get<std::string>();
    }
    void get(const json& in, std::vector<std::string>& v, const std::string& where) {
        expect(in.is_array(), where, "a list");
        v.clear();
        for (const json& e : in) {
            get(e, v.emplace_back(), where);
        }
    }
    template <class T, std::size_t N>
    void get(const json& in, std::array<T, N>& v, const std::string& where) {
        expect(in.is_array() && in.size() == N, where, "a list of " + std::to_string(N));
        for (std::size_t k = 0; k < N; ++k) {
            get(in[k], v[k], where);
        }
    }
    void get(const json& in, Variant& v, const std::string& where) {
        if (in.is_null()) {
            v.clear();
        } else if (in.is_number_integer()) {
            std::int16_t n = 0;
            get(in, n, where);
            v = n;
        } else if (in.is_number_float()) {
            v = static_cast<float>(number(in, where, kMaxTwips));
        } else if (in.is_string()) {
            v = in.get<std::string>();
        } else {
            expect(false, where, "a number, a text or null");
        }
    }
    void get(const json& in, tk::PicturePtr& v, const std::string& where) {
        if (in.is_null()) {
            v.reset();
            return;
        }
        expect(in.is_object(), where, "a picture or null");
        std::string path;
        int width = 0;
        int height = 0;
        get(member(in, "path", where), path, where + ".path");
        get(member(in, "width", where), width, where + ".width");
        get(member(in, "height", where), height, where + ".height");
        only_keys(in, 3, where);
        if (width < 1 || height < 1) {
            refuse(where + ": a picture of no size");
        }
        v = read_picture(resolve(path), width, height);
    }

    // A member that must be there.
    static const json& member(const json& in, const std::string& key, const std::string& where) {
        const auto it = in.find(key);
        if (it == in.end()) {
            refuse(where + ": missing key " + quoted(key));
        }
        return *it;
    }
    // All expected members were found: any more is one not known.
    static void only_keys(const json& in, std::size_t expected, const std::string& where,
                          const std::set<std::string>& known = {}) {
        if (in.size() == expected) {
            return;
        }
        for (const auto& [key, value] : in.items()) {
            if (known.count(key) == 0) {
                refuse(where + ": unknown key " + quoted(key));
            }
        }
        refuse(where + ": unknown key");
    }
    static void expect(bool ok, const std::string& where, const std::string& what) {
        if (!ok) {
            refuse(where + ": not " + what);
        }
    }

public:
    // Puts the pictures read in place of their stand-ins; those that cannot be read
    // stay stand-ins and are listed as missing.
    void read_pictures(DesignState& design) {
        std::vector<std::string> paths;
        for (const Wanted& w : wanted_) {
            if (std::find(paths.begin(), paths.end(), w.stand_in->path) == paths.end()) {
                paths.push_back(w.stand_in->path);
            }
        }
        const std::vector<tk::PicturePtr> pictures = loader_->load_all(paths, *budget_);
        std::map<const tk::Picture*, tk::PicturePtr> found;
        for (const Wanted& w : wanted_) {
            const auto at = std::find(paths.begin(), paths.end(), w.stand_in->path) - paths.begin();
            const tk::PicturePtr& picture = pictures.at(static_cast<std::size_t>(at));
            if (picture) {
                found[w.stand_in.get()] = picture;
                continue;
            }
            std::error_code error;
            missing.push_back({w.slot, w.stand_in->path,
                               fs::exists(w.stand_in->path, error) ? "cannot be read as a picture"
                                                                   : "does not exist"});
        }
        for (tk::ControlState& c : design.controls) {
            if (auto* image = std::get_if<tk::ImageState>(&c.own); image && image->picture) {
                if (const auto it = found.find(image->picture.get()); it != found.end()) {
                    image->picture = it->second;
                }
            }
        }
    }


private:
    static double number(const json& in, const std::string& where, double bound) {
        expect(in.is_number(), where, "a number");
        const double d = in.get<double>();
        if (!std::isfinite(d) || std::fabs(d) > bound) {
            refuse(where + ": out of range");
        }
        return d;
    }
    static std::int64_t integer(const json& in, const std::string& where, std::int64_t low,
                                std::uint64_t high) {
        expect(in.is_number_integer(), where, "a whole number");
        if (in.is_number_unsigned()
                ? in.get<std::uint64_t>() > high
                : in.get<std::int64_t>() < low ||
                      in.get<std::int64_t>() > static_cast<std::int64_t>(high)) {
            refuse(where + ": out of range");
        }
        return in.is_number_unsigned() ? static_cast<std::int64_t>(in.get<std::uint64_t>())
                                       : in.get<std::int64_t>();
    }

    std::string relative_path(const std::string& path) const {
        const fs::path p(path);
        if (folder_.empty() || !p.is_absolute()) {
            return p.generic_string();
        }
        const fs::path rel =
            p.lexically_normal().lexically_relative(fs::path(folder_).lexically_normal());
        return rel.empty() ? p.generic_string() : rel.generic_string();
    }
    std::string resolve(const std::string& path) const {
        const fs::path p(path);
        if (p.is_absolute() || folder_.empty()) {
            return p.lexically_normal().string();
        }
        return (fs::path(folder_) / p).lexically_normal().string();
    }

    // A stand-in for now: every picture of the file is read once the whole file has
    // passed its checks, side by side (read_pictures).
    tk::PicturePtr read_picture(const std::string& path, int width, int height) {
        auto stand_in = std::make_shared<tk::Picture>();
        stand_in->width = width;
        stand_in->height = height;
        stand_in->path = path;
        wanted_.push_back({slot, stand_in});
        return stand_in;
    }

    std::string folder_;
    platform::PictureLoader* loader_;
    tk::PictureBudget* budget_;
    struct Wanted {
        int slot = 0;
        std::shared_ptr<tk::Picture> stand_in;
    };
    std::vector<Wanted> wanted_;
};

template <class T> void put_fields(const Codec& codec, const T& value, json& out) {
    std::apply([&](const auto&... f) { ((out[f.key] = codec.put(value.*(f.member))), ...); },
               fields_of<T>());
}

template <class T>
void get_fields(Codec& codec, const json& in, T& value, const std::string& where) {
    std::apply(
        [&](const auto&... f) {
            (codec.get(Codec::member(in, f.key, where), value.*(f.member), where + "." + f.key),
             ...);
        },
        fields_of<T>());
}

template <class T> std::set<std::string> keys_of() {
    return std::apply([](const auto&... f) { return std::set<std::string>{f.key...}; },
                      fields_of<T>());
}

std::vector<const tk::Control*> design_controls(const Form1& form) {
    std::vector<const tk::Control*> out;
    for (const auto& c : form.controls()) {
        if (form.part_of(*c) == StatePart::Design) {
            out.push_back(c.get());
        }
    }
    return out;
}

// "Image11" or "lbl12": a member of a family past its end.
std::string unknown_control(const std::string& name) {
    for (const auto& [family, what] : {std::pair{"Image", "slot"}, std::pair{"lbl", "hotspot"}}) {
        const std::string_view f(family);
        if (name.size() > f.size() && name.compare(0, f.size(), f) == 0 &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(f.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            return std::string(what) + " " + name.substr(f.size()) + " is outside 1 to 10";
        }
    }
    return "unknown control " + quoted(name);
}

// A selection names a slot or hotspot 1 to 10; 0 or empty names none.
void check_selection(const Variant& v, const char* what) {
    const auto n = v.number();
    if (!v.empty() && n && (*n < 0 || *n > DesignVariables::kSlots)) {
        refuse(std::string(what) + " " + v.text() + " is outside 1 to 10");
    }
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

json parse(const std::string& bytes) {
    std::size_t read = 0;
    std::vector<std::set<std::string>> open; // keys of each open object or array
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
    }
}

DesignState read_state(const json& root, Codec& codec) {
    Codec::expect(root.is_object(), "the file", "a design");
    const auto format = root.find("format");
    if (format == root.end() || !format->is_string() || format->get<std::string>() != kFormat) {
        refuse("not a padscreen design");
    }
    std::int16_t version = 0;
    codec.get(Codec::member(root, "version", "the file"), version, "version");
    if (version > kFormatVersion) {
        refuse("made by a newer padscreen (version " + std::to_string(version) + ")");
    }
    if (version < 1) {
        refuse("unknown version " + std::to_string(version));
    }
    std::string program;
    codec.get(Codec::member(root, "program", "the file"), program, "program");

    Form1 fresh;
    fresh.start_up();
    DesignState design = fresh.design();
    const auto names = design_controls(fresh);
    const json& controls = Codec::member(root, "controls", "the file");
    Codec::expect(controls.is_object(), "controls", "an object");
    std::set<std::string> known;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string& name = names[k]->name();
        known.insert(name);
        const json& entry = Codec::member(controls, name, "controls");
        Codec::expect(entry.is_object(), name, "an object");
        tk::ControlState& state = design.controls[k];
        get_fields(codec, entry, state.place, name);
        std::visit(
            [&](auto& own) {
                using Own = std::decay_t<decltype(own)>;
                codec.slot = names[k]->kind() == tk::Kind::Image
                                 ? static_cast<int>(std::stoi(name.substr(5)))
                                 : 0;
                get_fields(codec, entry, own, name);
                std::set<std::string> keys = keys_of<tk::Placement>();
                keys.merge(keys_of<Own>());
                Codec::only_keys(entry, keys.size(), name, keys);
            },
            state.own);
    }
    if (controls.size() != names.size()) {
        for (const auto& [name, value] : controls.items()) {
            if (known.count(name) == 0) {
                refuse(unknown_control(name));
            }
        }
    }
    const json& variables = Codec::member(root, "variables", "the file");
    Codec::expect(variables.is_object(), "variables", "an object");
    get_fields(codec, variables, design.variables, "variables");
    Codec::only_keys(variables, keys_of<DesignVariables>().size(), "variables",
                     keys_of<DesignVariables>());
    check_selection(design.variables.intPic, "slot");
    check_selection(design.variables.hsi, "hotspot");
    Codec::only_keys(root, 5, "the file",
                     {"controls", "format", "program", "variables", "version"});
    return design;
}

} // namespace

std::string write_design(const Form1& form, const std::string& folder,
                         const std::string& program_version) {
    const Codec codec(folder, nullptr, nullptr);
    json controls = json::object();
    for (const tk::Control* c : design_controls(form)) {
        const tk::ControlState state = c->state();
        json entry = json::object();
        put_fields(codec, state.place, entry);
        std::visit([&](const auto& own) { put_fields(codec, own, entry); }, state.own);
        controls[c->name()] = std::move(entry);
    }
    json variables = json::object();
    put_fields(codec, static_cast<const DesignVariables&>(form), variables);
    const json root = {{"format", kFormat},
                       {"version", kFormatVersion},
                       {"program", program_version},
                       {"controls", std::move(controls)},
                       {"variables", std::move(variables)}};
    // Paths from the file system that are not UTF-8 cannot be held by JSON.
    return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::variant<Opened, Refusal> read_design(const std::string& bytes, const std::string& folder,
                                          platform::PictureLoader& loader,
                                          tk::PictureBudget& budget) {
    try {
        if (bytes.size() > kMaxDesignFileBytes) {
            refuse("over 1 MiB");
        }
        const json root = parse(bytes);
        Codec codec(folder, &loader, &budget);
        DesignState design = read_state(root, codec);
        codec.read_pictures(design);
        return Opened{std::move(design), std::move(codec.missing)};
    } catch (const Refused& r) {
        return r.refusal;
    }
}

} // namespace document
