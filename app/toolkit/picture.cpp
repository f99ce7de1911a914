// SPDX-License-Identifier: GPL-2.0-or-later
#include "toolkit/picture.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <new>

namespace tk {
namespace {

void release_heap(void* data, std::size_t) { delete[] static_cast<std::uint32_t*>(data); }

std::size_t bytes_of(std::size_t count) {
    if (count > kPictureBudgetBytes / sizeof(std::uint32_t))
        throw std::bad_alloc();
    return count * sizeof(std::uint32_t);
}

const PictureBudget::Account& account_of(const PictureBudget* budget) {
    static const PictureBudget::Account none;
    return budget != nullptr ? budget->account() : none;
}

} // namespace

bool PictureBudget::Count::fits(std::size_t bytes) const {
    const std::size_t now = held;
    return now <= limit && bytes <= limit - now;
}

PictureBudget::PictureBudget(std::size_t limit) : account_(std::make_shared<Count>()) {
    account_->limit = std::min(limit, kPictureBudgetBytes);
}

std::size_t PictureBudget::bytes_in_use() const { return account_->held; }

bool PictureBudget::fits(std::size_t bytes) const { return account_->fits(bytes); }

std::size_t PictureBudget::room(std::size_t cap) const {
    const std::size_t now = account_->held;
    const std::size_t back = reclaimer_.reclaimable ? std::min(reclaimer_.reclaimable(), now) : 0;
    const std::size_t kept = now - back;
    return std::min(cap, kept < account_->limit ? account_->limit - kept : 0);
}

bool PictureBudget::make_room(std::size_t bytes) {
    if (!fits(bytes) && reclaimer_.reclaim) {
        reclaimer_.reclaim(bytes);
    }
    return fits(bytes);
}

Pixels::Pixels(std::size_t count, std::uint32_t value, const PictureBudget* budget)
    : Pixels(count, value, account_of(budget)) {}

Pixels::Pixels(std::size_t count, std::uint32_t value, PictureBudget::Account account) {
    if (count == 0)
        return;
    const std::size_t bytes = bytes_of(count);
    if (account && !account->fits(bytes))
        throw std::bad_alloc();
    data_ = new std::uint32_t[count];
    std::fill_n(data_, count, value);
    count_ = count;
    release_ = release_heap;
    account_ = std::move(account);
    if (account_)
        account_->held += bytes;
}

Pixels::Pixels(std::initializer_list<std::uint32_t> words) : Pixels(words.size()) {
    std::copy(words.begin(), words.end(), data_);
}

Pixels Pixels::adopt(std::uint32_t* data, std::size_t count, Release release,
                     const PictureBudget* budget) {
    Pixels pixels;
    pixels.data_ = data;
    pixels.count_ = count;
    pixels.release_ = release;
    pixels.account_ = account_of(budget);
    if (pixels.account_)
        pixels.account_->held += count * sizeof(std::uint32_t);
    return pixels;
}

void Pixels::resize(std::size_t count) {
    Pixels resized(count, 0, account_);
    std::copy_n(data_, std::min(count, count_), resized.data_);
    *this = std::move(resized);
}

Pixels::Pixels(const Pixels& other) : Pixels(other.count_, 0, other.account_) {
    std::copy(other.begin(), other.end(), data_);
}

Pixels& Pixels::operator=(const Pixels& other) {
    if (this != &other)
        *this = Pixels(other);
    return *this;
}

Pixels::Pixels(Pixels&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)),
      release_(std::exchange(other.release_, nullptr)), account_(std::move(other.account_)) {}

Pixels& Pixels::operator=(Pixels&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        count_ = std::exchange(other.count_, 0);
        release_ = std::exchange(other.release_, nullptr);
        account_ = std::move(other.account_);
    }
    return *this;
}

Pixels::~Pixels() { release(); }

void Pixels::release() {
    if (!data_)
        return;
    if (account_)
        account_->held -= count_ * sizeof(std::uint32_t);
    if (release_)
        release_(data_, count_ * sizeof(std::uint32_t));
    data_ = nullptr;
    count_ = 0;
    release_ = nullptr;
    account_.reset();
}

} // namespace tk
