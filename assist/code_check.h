// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

class Form1;

namespace assist {

// Whether a NAME can stand in a Visual Basic line: a letter first, then
// letters, digits or underscores, at most 255 characters, no reserved word.
bool is_vb_identifier(std::string_view name);
// Why NAME is not one, in a few words; empty when it is.
std::string name_problem(std::string_view name);

// Something in the design that gives code the pad application cannot use.
struct CodeProblem {
    std::string text;          // the warning line
    std::vector<int> pictures; // slots of the pictures it concerns, to be marked on the canvas
};
// NAMEs that are not identifiers, NAMEs that two pictures share, and lines that
// reach past the LCD, in that order.
std::vector<CodeProblem> code_problems(const Form1& form);

// The number the hotspot line of label j carries, or would carry were it not
// selected: the generator counts the written lines from 0 in label order.
int hotspot_code_number(const Form1& form, int j);

} // namespace assist
