// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

// A dynamically typed window-level value: empty until first written, then a
// 16-bit integer, a single-precision float or a text, as its writer chooses.
class Variant {
public:
    Variant() = default;
    Variant(std::int16_t value) : value_(value) {}           // NOLINT(google-explicit-constructor)
    Variant(float value) : value_(value) {}                  // NOLINT(google-explicit-constructor)
    Variant(std::string value) : value_(std::move(value)) {} // NOLINT(google-explicit-constructor)
    Variant(const char* value)
        : value_(std::string(value)) {} // NOLINT(google-explicit-constructor)

    bool empty() const { return std::holds_alternative<std::monostate>(value_); }
    bool is_integer() const { return std::holds_alternative<std::int16_t>(value_); }
    bool is_float() const { return std::holds_alternative<float>(value_); }
    bool is_text() const { return std::holds_alternative<std::string>(value_); }

    // The number the value stands for: empty reads as 0, a text as the number
    // it spells; std::nullopt for a text that spells none.
    std::optional<double> number() const;
    // The value as text: empty reads as "", numbers in plain decimal that read
    // back to the same value.
    std::string text() const;
    // True when the value is the whole number n (slot and hotspot tests).
    bool is(int n) const;

    void clear() { value_ = std::monostate{}; }

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    std::variant<std::monostate, std::int16_t, float, std::string> value_;
};

// Decimal text of a single-precision value, shortest form that reads back the same.
std::string float_text(float value);
// Reads a decimal number; std::nullopt unless the whole text (blanks aside) is one.
std::optional<double> parse_number(const std::string& text);
