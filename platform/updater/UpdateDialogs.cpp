#include "updater/UpdateDialogs.hpp"

#include "core/Log.hpp"

#include <algorithm>

namespace updater {

namespace {

class HeadlessShownDialog : public ShownDialog {
public:
    explicit HeadlessShownDialog(std::weak_ptr<HeadlessDialogRunner::Entry> entry)
        : entry_(std::move(entry)) {}
    void close() override {
        if (auto entry = entry_.lock()) {
            entry->open = false;
        }
    }
    void raise() override {
        if (auto entry = entry_.lock()) {
            ++entry->raised;
        }
    }

private:
    std::weak_ptr<HeadlessDialogRunner::Entry> entry_;
};

} // namespace

std::shared_ptr<ShownDialog> HeadlessDialogRunner::show(const UpdateDialog& dialog, Answer answer) {
    core::log("%s%s%s", dialog.title.c_str(), dialog.message.empty() ? "" : " ", dialog.message.c_str());
    auto entry = std::make_shared<Entry>();
    entry->dialog = dialog;
    entry->answer = std::move(answer);
    entries_.push_back(entry);
    return std::make_shared<HeadlessShownDialog>(entry);
}

std::shared_ptr<HeadlessDialogRunner::Entry> HeadlessDialogRunner::openDialog() const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if ((*it)->open) {
            return *it;
        }
    }
    return nullptr;
}

bool HeadlessDialogRunner::answer(const std::string& buttonTitle) {
    auto entry = openDialog();
    if (!entry) {
        return false;
    }
    const auto& buttons = entry->dialog.buttons;
    const auto found = std::find(buttons.begin(), buttons.end(), buttonTitle);
    if (found == buttons.end()) {
        return false;
    }
    entry->open = false;
    // The answer may show the next dialog, which must not disturb this entry's callback while it runs.
    auto answerCallback = std::move(entry->answer);
    entry->answer = nullptr;
    if (answerCallback) {
        answerCallback(static_cast<std::size_t>(found - buttons.begin()));
    }
    return true;
}

} // namespace updater
