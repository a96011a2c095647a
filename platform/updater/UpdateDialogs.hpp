// The updater's own small dialogs and the runner that shows them (real windows, or answered by tests).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace updater {

struct UpdateDialog {
    enum class Kind { checking, upToDate, updateAvailable, error };

    Kind kind = Kind::checking;
    std::string title;
    std::string message;
    // Left to right; the first is the default button.
    std::vector<std::string> buttons;
};

// A dialog on screen, as the runner hands it back.
class ShownDialog {
public:
    virtual ~ShownDialog() = default;
    // Takes the dialog away without an answer (the check it stood for has finished or was dropped).
    virtual void close() = 0;
    // Brings the dialog in front of the user's other windows.
    virtual void raise() = 0;
};

// Shows dialogs on the main thread. A shown dialog answers at most once, on the main thread and never
// inside show(), with the index of the button that was chosen; a dialog closed by its owner never answers.
class DialogRunner {
public:
    using Answer = std::function<void(std::size_t button)>;

    virtual ~DialogRunner() = default;
    virtual std::shared_ptr<ShownDialog> show(const UpdateDialog& dialog, Answer answer) = 0;
};

// Keeps the dialogs in a list for whoever answers them: tests, and the program before it has a screen.
// Each dialog shown also goes to the log.
class HeadlessDialogRunner : public DialogRunner {
public:
    struct Entry {
        UpdateDialog dialog;
        Answer answer;
        bool open = true;
        int raised = 0;
    };

    std::shared_ptr<ShownDialog> show(const UpdateDialog& dialog, Answer answer) override;

    // Every dialog shown, oldest first.
    const std::vector<std::shared_ptr<Entry>>& entries() const { return entries_; }
    // The newest dialog that is still open, or null.
    std::shared_ptr<Entry> openDialog() const;
    // Chooses a button of the newest open dialog, by title; false when no open dialog has that button.
    bool answer(const std::string& buttonTitle);

private:
    std::vector<std::shared_ptr<Entry>> entries_;
};

} // namespace updater
