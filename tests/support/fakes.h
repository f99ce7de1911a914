// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "platform.h"

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Stand-ins for the platform services: they answer from scripts the test
// sets up and record what the handlers asked of them.
namespace fakes {

class FileDialog : public platform::FileDialog {
public:
    std::deque<std::optional<platform::FileChoice>> answers; // nullopt: Cancel
    std::vector<platform::FileDialogOptions> open_requests;
    std::vector<platform::FileDialogOptions> save_requests;

    void choose(const std::string& path) {
        const auto slash = path.find_last_of('/');
        answers.emplace_back(
            platform::FileChoice{path, slash == std::string::npos ? path : path.substr(slash + 1)});
    }
    void cancel() { answers.emplace_back(std::nullopt); }

    std::optional<platform::FileChoice> show_open(const platform::FileDialogOptions& o) override {
        open_requests.push_back(o);
        return next();
    }
    std::optional<platform::FileChoice> show_save(const platform::FileDialogOptions& o) override {
        save_requests.push_back(o);
        return next();
    }

private:
    std::optional<platform::FileChoice> next() {
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class MessageBox : public platform::MessageBox {
public:
    std::vector<std::pair<std::string, std::string>> shown; // text, title
    void show(const std::string& text, const std::string& title) override {
        shown.emplace_back(text, title);
    }
};

// Pictures by path; an unknown path fails to load, as a file that is not a picture,
// unless refusals gives it another reason.
class PictureLoader : public platform::PictureLoader {
public:
    std::map<std::string, tk::PicturePtr> pictures;
    std::map<std::string, std::string> refusals;
    std::vector<std::string> loads;
    std::string failure; // of the last load

    void add(const std::string& path, int width, int height) {
        auto p = std::make_shared<tk::Picture>();
        p->width = width;
        p->height = height;
        p->argb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                       0xFF808080U);
        p->path = path;
        pictures[path] = std::move(p);
    }
    // Paths whose pictures are too large for the memory pictures may take: allocating their
    // pixels at load time fails as a real allocation does, with std::bad_alloc.
    std::set<std::string> too_large;
    // Paths decoded anew at every load, their pixels counted against the budget as the
    // real loader counts them: nullptr when they do not fit, once what can give way has.
    std::map<std::string, std::pair<int, int>> decoded;

    std::string last_failure() const override { return failure; }

    tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override {
        loads.push_back(path);
        failure.clear();
        if (too_large.count(path) != 0) {
            auto p = std::make_shared<tk::Picture>();
            p->argb = tk::Pixels(tk::kPictureBudgetBytes / 4 + 1, 0, &budget);
            return p;
        }
        if (const auto d = decoded.find(path); d != decoded.end()) {
            const auto count = static_cast<std::size_t>(d->second.first) *
                               static_cast<std::size_t>(d->second.second);
            if (!budget.make_room(count * 4)) {
                failure = platform::load_failure::kOverBudget;
                return nullptr;
            }
            auto p = std::make_shared<tk::Picture>();
            p->width = d->second.first;
            p->height = d->second.second;
            p->argb = tk::Pixels(count, 0xFF808080U, &budget);
            p->path = path;
            return p;
        }
        const auto it = pictures.find(path);
        if (it == pictures.end()) {
            const auto refusal = refusals.find(path);
            failure =
                refusal == refusals.end() ? platform::load_failure::kNotAPicture : refusal->second;
            return nullptr;
        }
        return it->second;
    }
};

class TextFileWriter : public platform::TextFileWriter {
public:
    std::map<std::string, std::string> files;
    std::optional<std::string> failure; // when set, every write fails with it
    std::optional<std::string> write(const std::string& path, const std::string& bytes) override {
        if (failure) {
            return failure;
        }
        files[path] = bytes;
        return std::nullopt;
    }
};

class Application : public platform::Application {
public:
    int quits = 0;
    void quit() override { ++quits; }
};

// All of them together, as the program takes them.
struct Platform {
    FileDialog files;
    MessageBox messages;
    PictureLoader pictures;
    TextFileWriter writer;
    Application app;
    platform::Services services{files, messages, pictures, writer, app};
};

} // namespace fakes
