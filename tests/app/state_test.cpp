// SPDX-License-Identifier: GPL-2.0-or-later
// Every control kind's state and every design variable go round through the one
// state value: taken, everything changed, given back, equal again. The fields are
// reached generically, so a field added to an aggregate is covered without a word here.
#include "form1.h"
#include "toolkit/aggregate.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// The fields of an aggregate as references, in declaration order.
template <class T> auto fields(T& t) {
    constexpr std::size_t n = tk::field_count<T>();
    static_assert(n <= 9, "extend fields() for larger aggregates");
    if constexpr (n == 1) {
        auto& [a] = t;
        return std::tie(a);
    } else if constexpr (n == 2) {
        auto& [a, b] = t;
        return std::tie(a, b);
    } else if constexpr (n == 3) {
        auto& [a, b, c] = t;
        return std::tie(a, b, c);
    } else if constexpr (n == 4) {
        auto& [a, b, c, d] = t;
        return std::tie(a, b, c, d);
    } else if constexpr (n == 5) {
        auto& [a, b, c, d, e] = t;
        return std::tie(a, b, c, d, e);
    } else if constexpr (n == 6) {
        auto& [a, b, c, d, e, f] = t;
        return std::tie(a, b, c, d, e, f);
    } else if constexpr (n == 7) {
        auto& [a, b, c, d, e, f, g] = t;
        return std::tie(a, b, c, d, e, f, g);
    } else if constexpr (n == 8) {
        auto& [a, b, c, d, e, f, g, h] = t;
        return std::tie(a, b, c, d, e, f, g, h);
    } else {
        auto& [a, b, c, d, e, f, g, h, i] = t;
        return std::tie(a, b, c, d, e, f, g, h, i);
    }
}

// Gives every field a value it did not have.
void change(float& v) { v += 7.25F; }
void change(bool& v) { v = !v; }
void change(std::int16_t& v) { v = static_cast<std::int16_t>(v + 3); }
void change(std::uint32_t& v) { v ^= 0x00A5A5A5U; }
void change(std::size_t& v) { v = v == 5 ? 6 : 5; }
void change(std::string& v) { v += "~changed"; }
void change(std::vector<std::string>& v) { v.emplace_back("added"); }
void change(tk::PicturePtr& v) { v = std::make_shared<tk::Picture>(); }
void change(Variant& v) { v = v.text() + "x"; }
template <class T, std::size_t N> void change(std::array<T, N>& v) {
    for (T& item : v) {
        change(item);
    }
}
template <class T>
    requires std::is_aggregate_v<T>
void change(T& aggregate) {
    std::apply([](auto&... field) { (change(field), ...); }, fields(aggregate));
}
void change(tk::KindState& v) {
    std::visit([](auto& own) { change(own); }, v);
}
void change(tk::ControlState& v) {
    change(v.place);
    change(v.own);
}

TEST(State, EveryFieldOfEveryKindAndVariableGoesRoundThroughTheStateValue) {
    Form1 form;
    form.start_up();
    // A second window for the kinds Form1 lacks.
    tk::Window other("other", "", 100, 100);
    other.add<tk::Frame>("frame");
    other.add<tk::OptionButton>("option");

    std::vector<bool> kinds(9);
    for (tk::Window* w : {static_cast<tk::Window*>(&form), &other}) {
        for (const auto& c : w->controls()) {
            const tk::ControlState before = c->state();
            tk::ControlState changed = before;
            change(changed);
            ASSERT_NE(changed.place, before.place) << c->name();
            ASSERT_NE(changed.own, before.own) << c->name();
            c->set_state(changed);
            EXPECT_EQ(c->state(), changed) << c->name();
            c->set_state(before);
            EXPECT_EQ(c->state(), before) << c->name();
            kinds[static_cast<std::size_t>(c->kind())] = true;
        }
    }
    EXPECT_EQ(kinds, std::vector<bool>(9, true)) << "every kind was tried";

    // The form as a whole: design and gesture, variables and typed text included.
    const FormState before = form.state();
    FormState changed = before;
    for (auto* part : {&changed.design.controls, &changed.gesture.controls}) {
        for (tk::ControlState& c : *part) {
            change(c);
        }
    }
    change(changed.design.variables);
    change(changed.gesture.variables);
    for (std::string& typed : changed.gesture.typed) {
        change(typed);
    }
    ASSERT_NE(changed.design.variables, before.design.variables);
    ASSERT_NE(changed.gesture.variables, before.gesture.variables);
    ASSERT_FALSE(changed.gesture.typed.empty());
    form.set_state(changed);
    EXPECT_EQ(form.state(), changed);
    form.set_state(before);
    EXPECT_EQ(form.state(), before);
}

} // namespace
