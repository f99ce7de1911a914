// SPDX-License-Identifier: GPL-2.0-or-later
#include "toolkit/picture.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <new>

namespace tk {
namespace {

// The one count of picture memory; pictures are made and dropped on the UI thread, the
// atomic only keeps a stray decoder thread in a test honest.
std::atomic<std::size_t> bytes_held{0};

void release_heap(void* data, std::size_t) { delete[] static_cast<std::uint32_t*>(data); }

std::size_t bytes_of(std::size_t count) {
    if (count > kPictureBudgetBytes / sizeof(std::uint32_t))
        throw std::bad_alloc();
    return count * sizeof(std::uint32_t);
}

} // namespace

Pixels::Pixels(std::size_t count, std::uint32_t value) {
    if (count == 0)
        return;
    const std::size_t bytes = bytes_of(count);
    if (!fits_budget(bytes))
        throw std::bad_alloc();
    data_ = new std::uint32_t[count];
    std::fill_n(data_, count, value);
    count_ = count;
    release_ = release_heap;
    bytes_held += bytes;
}

Pixels::Pixels(std::initializer_list<std::uint32_t> words) : Pixels(words.size()) {
    std::copy(words.begin(), words.end(), data_);
}

Pixels Pixels::adopt(std::uint32_t* data, std::size_t count, Release release) {
    Pixels pixels;
    pixels.data_ = data;
    pixels.count_ = count;
    pixels.release_ = release;
    bytes_held += count * sizeof(std::uint32_t);
    return pixels;
}

void Pixels::resize(std::size_t count) {
    Pixels resized(count);
    std::copy_n(data_, std::min(count, count_), resized.data_);
    *this = std::move(resized);
}

Pixels::Pixels(const Pixels& other) : Pixels(other.count_) {
    std::copy(other.begin(), other.end(), data_);
}

Pixels& Pixels::operator=(const Pixels& other) {
    if (this != &other)
        *this = Pixels(other);
    return *this;
}

Pixels::Pixels(Pixels&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)),
      release_(std::exchange(other.release_, nullptr)) {}

Pixels& Pixels::operator=(Pixels&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        count_ = std::exchange(other.count_, 0);
        release_ = std::exchange(other.release_, nullptr);
    }
    return *this;
}

Pixels::~Pixels() { release(); }

void Pixels::release() {
    if (!data_)
        return;
    bytes_held -= count_ * sizeof(std::uint32_t);
    if (release_)
        release_(data_, count_ * sizeof(std::uint32_t));
    data_ = nullptr;
    count_ = 0;
    release_ = nullptr;
}

std::size_t Pixels::bytes_in_use() { return bytes_held; }

bool Pixels::fits_budget(std::size_t bytes) {
    const std::size_t held = bytes_held;
    return held <= kPictureBudgetBytes && bytes <= kPictureBudgetBytes - held;
}

} // namespace tk
