// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "form1.h"
#include "platform.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Design files (NAME.padscreen): the design, and only the design, as JSON. The
// format is published as packaging/padscreen-design.schema.json.
namespace document {

inline constexpr int kFormatVersion = 2;
inline constexpr std::size_t kMaxDesignFileBytes = std::size_t{1} << 20;

// Why a file cannot be used at all; line and column (from 1) where known, else 0.
struct Refusal {
    std::string reason;
    int line = 0;
    int column = 0;
    bool stopped = false; // the user stopped the pictures' loading: nothing to say
};

// One picture of the design: its slot, file and place, and the slot's variables.
struct PictureEntry {
    int slot = 0;
    std::string path; // absolute in memory; relative to the design file's folder in it
    float left = 0;   // twips
    float top = 0;
    int width = 0; // natural size in pixels, kept for a picture that goes missing
    int height = 0;
    std::string tag;  // the file title the enable list knows it by
    std::string name; // the code name
    // nullopt: the display status dialog never got its OK for this picture.
    std::optional<std::int16_t> status;
    std::optional<std::int16_t> mode;
    friend bool operator==(const PictureEntry&, const PictureEntry&) = default;
};

struct HotspotEntry {
    int number = 0; // 1 to 10, its label
    float left = 0; // twips
    float top = 0;
    float width = 0;
    float height = 0;
    friend bool operator==(const HotspotEntry&, const HotspotEntry&) = default;
};

// The design as a file holds it: no window, no pixels, nothing selected.
struct FileDesign {
    std::vector<PictureEntry> pictures;   // by slot
    std::vector<HotspotEntry> hotspots;   // by number
    std::vector<std::string> enable_list; // the enable list's entries, "None" first
    int disabled = 0; // the slot whose picture the enable list disabled; 0: none
    friend bool operator==(const FileDesign&, const FileDesign&) = default;
};

// What a recovery copy adds: the file the design belonged to.
struct Belonging {
    std::string file;          // empty: none
    std::string kind = "none"; // "none", "design" or "code"
    bool modified = true;
    friend bool operator==(const Belonging&, const Belonging&) = default;
};

// Members a newer version wrote that this one does not know: kept as JSON text
// and written back unchanged.
using Unknown = std::map<std::string, std::string>;

struct Parsed {
    FileDesign design; // picture paths as the file has them
    Unknown unknown;
    std::optional<Belonging> belonging;
    int version = 0; // as found in the file, before migration
};

// The design of a form, nothing selected. pending_slot: a slot whose status
// dialog is open, written without status and mode.
FileDesign design_of(const Form1& form, int pending_slot = 0);

// The form's design state for a file's design: pictures[k] is the picture of
// design.pictures[k] (a stand-in without pixels when it is missing).
DesignState state_of(const FileDesign& design, const std::vector<tk::PicturePtr>& pictures);

// A design file's bytes. folder: picture paths are written relative to it with
// '/' separators; empty: as they are.
std::string write_design(const FileDesign& design, const std::string& folder,
                         const std::string& program_version, const Unknown& unknown = {},
                         const std::optional<Belonging>& belonging = std::nullopt);
std::string write_design(const Form1& form, const std::string& folder,
                         const std::string& program_version);

// Checks a file's bytes and migrates older versions; touches nothing.
std::variant<Parsed, Refusal> parse_design(const std::string& bytes);

// A picture that could not be read again: it keeps its slot as a picture
// without pixels (its recorded size and path).
struct MissingPicture {
    int slot = 0;
    std::string path;
    std::string reason;
};

struct Opened {
    DesignState design; // for Form1::set_design
    FileDesign file;    // paths resolved
    std::vector<MissingPicture> missing;
    Unknown unknown;
    std::optional<Belonging> belonging;
};

// Parses a design file and reads its pictures again through loader, under budget,
// their paths resolved against folder (made absolute).
std::variant<Opened, Refusal> read_design(const std::string& bytes, const std::string& folder,
                                          platform::PictureLoader& loader,
                                          tk::PictureBudget& budget);

// Whether the program can reach this place (a picture of this natural size, or
// a hotspot's rectangle): what it makes it can always write and read back.
bool reachable(const PictureEntry& picture);
bool reachable(const HotspotEntry& hotspot);

// A file's path made absolute against folder, normalised.
std::string resolve_path(const std::string& path, const std::string& folder);

// The v1 file's JSON as a v2 file's: its design, nothing of the window. Exposed
// for the migration tests.
std::string migrate_1_to_2(const std::string& bytes);

} // namespace document
