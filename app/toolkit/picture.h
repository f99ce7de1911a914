// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

namespace tk {

// Decoded pixels of all live pictures of one program together (those in slots, in undo
// history, anywhere) may not pass this: a design of ten huge pictures must fail to load,
// not exhaust memory. One buffer may not pass it either.
inline constexpr std::size_t kPictureBudgetBytes = std::size_t{1} << 30;

// The bytes the pictures of one program may hold together. The program owns it and hands
// it to whoever makes pictures; each buffer counts against the budget it was made under
// until it goes, also when it outlives the budget's owner.
class PictureBudget {
public:
    explicit PictureBudget(std::size_t limit = kPictureBudgetBytes);
    std::size_t limit() const { return account_->limit; }
    // Bytes held by every live buffer made under this budget.
    std::size_t bytes_in_use() const;
    // Whether bytes more would still fit.
    bool fits(std::size_t bytes) const;
    // What the next buffer may take: at most `cap`, and what is left once memory
    // that can give way has done so.
    std::size_t room(std::size_t cap) const;
    // Lets memory give way (pictures held only by undo) until bytes more fit; true
    // when they do.
    bool make_room(std::size_t bytes);
    // Who can give memory back: how much it could, and giving way until bytes fit.
    struct Reclaimer {
        std::function<std::size_t()> reclaimable;
        std::function<void(std::size_t bytes)> reclaim;
    };
    void set_reclaimer(Reclaimer reclaimer) { reclaimer_ = std::move(reclaimer); }

    // The running count that buffers share; pictures are made and dropped on the UI
    // thread, the atomic only keeps a stray decoder thread in a test honest.
    struct Count {
        std::atomic<std::size_t> held{0};
        std::size_t limit = kPictureBudgetBytes;
        bool fits(std::size_t bytes) const;
    };
    using Account = std::shared_ptr<Count>;
    const Account& account() const { return account_; }

private:
    Account account_;
    Reclaimer reclaimer_;
};

// A picture's pixel words, in one buffer that the model and the view share: on the heap,
// or memory handed over by whoever filled it (a mapping), given back by its own function.
// A buffer made under a budget counts against it (a copy too); one made without counts
// against nothing but the one-buffer limit.
class Pixels {
public:
    using Release = void (*)(void* data, std::size_t bytes);

    Pixels() = default;
    // count words of value; std::bad_alloc when the budget or the heap cannot hold them.
    explicit Pixels(std::size_t count, std::uint32_t value = 0,
                    const PictureBudget* budget = nullptr);
    Pixels(std::initializer_list<std::uint32_t> words);
    // Takes over count words at data, already filled; counted from now on.
    static Pixels adopt(std::uint32_t* data, std::size_t count, Release release,
                        const PictureBudget* budget = nullptr);

    Pixels(const Pixels& other);
    Pixels& operator=(const Pixels& other);
    Pixels(Pixels&& other) noexcept;
    Pixels& operator=(Pixels&& other) noexcept;
    ~Pixels();

    void assign(std::size_t count, std::uint32_t value) { *this = Pixels(count, value); }
    // count words: those there were kept, new ones 0.
    void resize(std::size_t count);

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    std::uint32_t* data() { return data_; }
    const std::uint32_t* data() const { return data_; }
    std::uint32_t& operator[](std::size_t i) { return data_[i]; }
    std::uint32_t operator[](std::size_t i) const { return data_[i]; }
    std::uint32_t back() const { return data_[count_ - 1]; }
    std::uint32_t* begin() { return data_; }
    std::uint32_t* end() { return data_ + count_; }
    const std::uint32_t* begin() const { return data_; }
    const std::uint32_t* end() const { return data_ + count_; }

private:
    Pixels(std::size_t count, std::uint32_t value, PictureBudget::Account account);
    void release();

    std::uint32_t* data_ = nullptr;
    std::size_t count_ = 0;
    Release release_ = nullptr;
    PictureBudget::Account account_;
};

// A decoded picture: its natural size in pixels and its pixels, one 0xAARRGGBB
// word each (non-premultiplied), row by row from the top-left corner.
// A picture whose file could not be read again (a design opened after it went) has its
// recorded size and path but no pixels.
struct Picture {
    int width = 0;
    int height = 0;
    Pixels argb;
    std::string path; // the file it was read from, as the user chose it
    bool missing() const { return argb.empty(); }
};

using PicturePtr = std::shared_ptr<const Picture>;

} // namespace tk
