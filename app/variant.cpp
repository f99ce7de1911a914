// SPDX-License-Identifier: GPL-2.0-or-later
#include "variant.h"

#include <array>
#include <charconv>
#include <cmath>

std::string float_text(float value) {
    std::array<char, 48> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::optional<double> parse_number(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const auto last = text.find_last_not_of(' ');
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') {
        ++begin;
    }
    double value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> Variant::number() const {
    if (empty()) {
        return 0.0;
    }
    if (const auto* i = std::get_if<std::int16_t>(&value_)) {
        return *i;
    }
    if (const auto* f = std::get_if<float>(&value_)) {
        return *f;
    }
    return parse_number(std::get<std::string>(value_));
}

std::string Variant::text() const {
    if (empty()) {
        return {};
    }
    if (const auto* i = std::get_if<std::int16_t>(&value_)) {
        return std::to_string(*i);
    }
    if (const auto* f = std::get_if<float>(&value_)) {
        return float_text(*f);
    }
    return std::get<std::string>(value_);
}

bool Variant::is(int n) const {
    if (empty()) {
        return false; // empty reads as 0, but never names a slot
    }
    const auto value = number();
    return value && *value == n;
}
