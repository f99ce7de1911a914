// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/code_check.h"

#include "assist/lcd.h"
#include "form1.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

namespace assist {

namespace {

// Visual Basic's reserved words, in lower case: none of them can name a control.
constexpr std::array<std::string_view, 127> kReserved = {
    "addressof",  "alias",    "and",        "any",     "as",       "boolean",    "byref",
    "byte",       "byval",    "call",       "case",    "cbool",    "cbyte",      "ccur",
    "cdate",      "cdbl",     "cdec",       "cint",    "clng",     "close",      "const",
    "csng",       "cstr",     "currency",   "cvar",    "cverr",    "date",       "decimal",
    "declare",    "defbool",  "defbyte",    "defcur",  "defdate",  "defdbl",     "defdec",
    "defint",     "deflng",   "defobj",     "defsng",  "defstr",   "defvar",     "dim",
    "do",         "double",   "each",       "else",    "elseif",   "empty",      "end",
    "enum",       "eqv",      "erase",      "error",   "event",    "exit",       "false",
    "for",        "friend",   "function",   "get",     "global",   "gosub",      "goto",
    "if",         "imp",      "implements", "in",      "input",    "integer",    "is",
    "let",        "lib",      "like",       "line",    "lock",     "long",       "loop",
    "lset",       "me",       "mod",        "new",     "next",     "not",        "nothing",
    "null",       "object",   "on",         "open",    "option",   "optional",   "or",
    "paramarray", "preserve", "print",      "private", "property", "public",     "put",
    "raiseevent", "redim",    "rem",        "resume",  "return",   "rset",       "seek",
    "select",     "set",      "single",     "static",  "step",     "stop",       "string",
    "sub",        "then",     "to",         "true",    "type",     "typeof",     "unlock",
    "until",      "variant",  "wend",       "while",   "with",     "withevents", "write",
    "xor"};

bool letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool digit(char c) { return c >= '0' && c <= '9'; }

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return out;
}

std::string join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        out += (out.empty() ? "" : ", ") + p;
    }
    return out;
}

} // namespace

bool is_vb_identifier(std::string_view name) { return name_problem(name).empty(); }

std::string name_problem(std::string_view name) {
    if (name.empty()) {
        return "a NAME cannot be empty";
    }
    if (name.size() > 255) {
        return "longer than 255 characters";
    }
    if (!letter(name.front())) {
        return "must begin with a letter";
    }
    const auto bad = std::find_if(name.begin(), name.end(),
                                  [](char c) { return !letter(c) && !digit(c) && c != '_'; });
    if (bad != name.end()) {
        if (*bad == ' ') {
            return "no spaces: letters, digits and _ only";
        }
        // A byte of a longer character is no character to show.
        const bool ascii = static_cast<unsigned char>(*bad) < 0x80;
        return (ascii ? "\"" + std::string(1, *bad) + "\"" : std::string("a non-ASCII letter")) +
               " is not allowed: letters, digits and _ only";
    }
    if (std::find(kReserved.begin(), kReserved.end(), lower(name)) != kReserved.end()) {
        return "\"" + std::string(name) + "\" is a word of Visual Basic";
    }
    return {};
}

int hotspot_code_number(const Form1& form, int j) {
    int n = 0;
    for (int k = 1; k < j; ++k) {
        n += codegen::has_hotspot_line(form.lbl(k)) ? 1 : 0;
    }
    return n;
}

std::vector<CodeProblem> code_problems(const Form1& form) {
    std::vector<CodeProblem> problems;
    // Visual Basic does not tell case apart in names.
    std::map<std::string, std::vector<int>> by_name;
    std::vector<int> order;
    std::vector<std::string> past;
    for (int k = 1; k <= Form1::kSlots; ++k) {
        const tk::Image& image = form.Image(k);
        if (!image.has_picture()) {
            continue;
        }
        const std::string name = form.strFileName(k).text();
        if (!is_vb_identifier(name)) {
            problems.push_back(
                {"Not a valid NAME: " + (name.empty() ? std::string("(empty)") : name), {k}});
        }
        by_name[lower(name)].push_back(k);
        if (overhang(line_numbers(image)).any()) {
            past.push_back(name.empty() ? image.tag : name);
        }
    }
    for (int k = 1; k <= Form1::kSlots; ++k) {
        if (!form.Image(k).has_picture()) {
            continue;
        }
        const auto same = by_name.find(lower(form.strFileName(k).text()));
        if (same->second.size() > 1 && same->second.front() == k) {
            problems.push_back({"Same NAME twice: " + form.strFileName(k).text(), same->second});
        }
    }
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        const tk::Label& label = form.lbl(j);
        if (label.visible && overhang(line_numbers(label)).any()) {
            past.push_back("hotspot " + std::to_string(hotspot_code_number(form, j)));
        }
    }
    if (!past.empty()) {
        problems.push_back({"Past the LCD: " + join(past), {}});
    }
    return problems;
}

} // namespace assist
