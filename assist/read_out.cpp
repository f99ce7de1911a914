// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/read_out.h"

#include "assist/code_check.h"
#include "assist/lcd.h"
#include "assist/nudge.h"
#include "convert.h"
#include "form1.h"
#include "hotspots/create_delete.h"

#include <algorithm>
#include <numeric>

namespace assist {

namespace {

float coord(const Variant& v) { return static_cast<float>(v.number().value_or(0)); }

std::string numbers_text(const LcdNumbers& n) {
    return "x " + std::to_string(n.x) + "  y " + std::to_string(n.y) + "  w " +
           std::to_string(n.w) + "  h " + std::to_string(n.h);
}

int next_group(const std::vector<ReadOutLine>& lines) {
    return lines.empty() ? 0 : lines.back().group + 1;
}

// One line that goes alone.
void add_line(std::vector<ReadOutLine>& lines, std::string text, int rank) {
    const int group = next_group(lines);
    lines.push_back({std::move(text), rank, group});
}

void add_rectangle(std::vector<ReadOutLine>& lines, const std::string& title, const LcdNumbers& n,
                   int rank) {
    const int group = next_group(lines);
    lines.push_back({title, rank, group});
    lines.push_back({numbers_text(n), rank, group});
    const Overhang o = overhang(n);
    if (!o.any()) {
        return;
    }
    std::string off = "Past LCD:";
    if (o.right > 0) {
        off += " " + std::to_string(o.right) + " right";
    }
    if (o.bottom > 0) {
        off += std::string(o.right > 0 ? "," : "") + " " + std::to_string(o.bottom) + " down";
    }
    lines.push_back({off, rank, group});
}

// The band's title: the number its line will carry once made.
std::string band_title(const Form1& form) {
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        if (!form.lbl(k).visible) {
            return "New hotspot " + std::to_string(hotspot_code_number(form, k)) + " in the code";
        }
    }
    return "New hotspot: ten already";
}

} // namespace

std::vector<ReadOutLine> read_out(const Form1& form, std::optional<std::pair<float, float>> pointer,
                                  const std::string& notice) {
    std::vector<ReadOutLine> lines;
    if (form.lin(1).visible) {
        // A band is being drawn: its free corner follows the pointer,
        // unclamped, as the release point will be.
        const tk::Rect r = hotspot_handlers::hotspot_rect(coord(form.cX), coord(form.cY),
                                                          form.lin(1).x2, form.lin(2).y2);
        add_rectangle(lines, band_title(form), hotspot_numbers(r), kRankPointer);
    } else if (form.lin(5).visible) {
        // Released: what "C&reate Hotspot" would make of it.
        const tk::Rect r = hotspot_handlers::hotspot_rect(coord(form.cX), coord(form.cY),
                                                          coord(form.ccX), coord(form.ccY));
        add_rectangle(lines, band_title(form), hotspot_numbers(r), kRankPointer);
    } else if (pointer && pointer->first >= 0 && pointer->second >= 0 &&
               pointer->first < Form1::kCanvasRight && pointer->second < Form1::kCanvasBottom) {
        add_line(lines,
                 "Pointer  x " +
                     std::to_string(ConvertNumbers(twips_to_int16(pointer->first), true)) + "  y " +
                     std::to_string(ConvertNumbers(twips_to_int16(pointer->second), false)),
                 kRankPointer);
    }
    if (const auto n = selected_picture(form)) {
        const tk::Image& image = form.Image(*n);
        add_rectangle(lines, "Picture " + std::to_string(*n) + ": " + image.tag,
                      line_numbers(image), kRankSelection);
    }
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        const tk::Label& label = form.lbl(j);
        if (label.visible && label.back_color == tk::kBlue) {
            add_rectangle(
                lines, "Hotspot " + std::to_string(hotspot_code_number(form, j)) + " in the code",
                line_numbers(label), kRankSelection);
            add_line(lines, "Left out of the code while selected", kRankWarning);
            break;
        }
    }
    for (CodeProblem& problem : code_problems(form)) {
        add_line(lines, std::move(problem.text), kRankWarning);
    }
    if (!notice.empty()) {
        add_line(lines, notice, kRankNotice);
    }
    return lines;
}

Fitted fit(const std::vector<ReadOutLine>& lines, const std::vector<int>& rows, int room) {
    Fitted fitted;
    int total = std::accumulate(rows.begin(), rows.end(), 0);
    std::vector<bool> keep(lines.size(), true);
    if (total > room) {
        // One row goes to saying how many lines gave way.
        std::vector<std::size_t> order(lines.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&lines](std::size_t a, std::size_t b) {
            return lines[a].rank < lines[b].rank;
        });
        for (const std::size_t first : order) {
            if (total <= room - 1) {
                break;
            }
            // The whole group of this line goes.
            for (std::size_t k = 0; k < lines.size(); ++k) {
                if (keep[k] && lines[k].group == lines[first].group) {
                    keep[k] = false;
                    total -= rows[k];
                    ++fitted.hidden;
                }
            }
        }
    }
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (keep[k]) {
            fitted.shown.push_back(k);
        }
    }
    return fitted;
}

std::string more_line(std::size_t hidden) { return "+" + std::to_string(hidden) + " more"; }

} // namespace assist
