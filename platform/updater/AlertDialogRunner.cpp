#include "updater/AlertDialogRunner.hpp"

#include "core/Cancellable.hpp"
#include "core/MainQueue.hpp"
#include "core/NotificationCenter.hpp"
#include "ui/Alert.hpp"
#include "ui/Button.hpp"
#include "ui/Screen.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>

namespace updater {

namespace {

constexpr const char* kButtonAction = "updateDialogButton:";

class AlertShownDialog : public ShownDialog, public std::enable_shared_from_this<AlertShownDialog> {
public:
    AlertShownDialog(std::shared_ptr<ui::Alert> alert, DialogRunner::Answer answer)
        : alert_(std::move(alert)), answer_(std::move(answer)), target_(std::make_shared<ui::Object>()) {}

    ~AlertShownDialog() override { close(); }

    void attach() {
        const auto weak = weak_from_this();
        target_->setActionHandler(kButtonAction, [weak](const std::shared_ptr<ui::Object>& sender) {
            if (auto self = weak.lock()) {
                const auto& buttons = self->alert_->buttons();
                const auto found = std::find(buttons.begin(), buttons.end(), sender);
                if (found != buttons.end()) {
                    self->choose(static_cast<std::size_t>(found - buttons.begin()));
                }
            }
        });
        for (const auto& button : alert_->buttons()) {
            button->setTarget(target_);
            button->setAction(kButtonAction);
        }
        const auto window = alert_->window();
        // Closed by the window manager or the close button: the last button (Cancel, Later, OK) answers.
        closing_ = core::NotificationCenter::defaultCenter().addObserver(
            ui::windowWillCloseNotification, window.get(), [weak](const core::Notification&) {
                if (auto self = weak.lock(); self && !self->closingOurselves_) {
                    const std::size_t count = self->alert_->buttons().size();
                    self->choose(count > 0 ? count - 1 : 0);
                }
            });
    }

    void close() override {
        answer_ = nullptr;
        if (!finished_) {
            finished_ = true;
            closing_.cancel();
            closingOurselves_ = true;
            alert_->window()->close();
        }
    }

    void raise() override {
        if (!finished_) {
            alert_->window()->makeKeyAndOrderFront();
        }
    }

private:
    // Answers once, after the click (or close) that chose has finished: the answer may end the session that
    // holds this dialog, and with it the window whose button is still being clicked.
    void choose(std::size_t button) {
        if (finished_) {
            return;
        }
        finished_ = true;
        core::mainAsync([self = shared_from_this(), button] {
            self->closing_.cancel();
            self->closingOurselves_ = true;
            self->alert_->window()->close();
            if (auto answer = std::move(self->answer_)) {
                self->answer_ = nullptr;
                answer(button);
            }
        });
    }

    std::shared_ptr<ui::Alert> alert_;
    DialogRunner::Answer answer_;
    std::shared_ptr<ui::Object> target_;
    core::Cancellable closing_;
    bool finished_ = false;
    bool closingOurselves_ = false;
};

ui::Alert::Style styleFor(UpdateDialog::Kind kind) {
    return kind == UpdateDialog::Kind::error ? ui::Alert::Style::critical : ui::Alert::Style::informational;
}

} // namespace

std::shared_ptr<ShownDialog> AlertDialogRunner::show(const UpdateDialog& dialog, Answer answer) {
    auto alert = ui::Alert::make();
    alert->setMessageText(dialog.title);
    alert->setInformativeText(dialog.message);
    alert->setAlertStyle(styleFor(dialog.kind));
    for (const auto& title : dialog.buttons) {
        alert->addButton(title);
    }
    auto shown = std::make_shared<AlertShownDialog>(alert, std::move(answer));
    shown->attach();
    const auto window = alert->window();
    window->ensureBackend();
    if (auto screen = window->screen()) {
        const auto visible = screen->visibleFrame();
        const auto frame = window->frame();
        window->setFrameOrigin(
            {std::round(visible.midX() - frame.size.width / 2),
             std::round(visible.minY() + (visible.size.height - frame.size.height) * 2 / 3)});
    }
    window->makeKeyAndOrderFront();
    return shown;
}

} // namespace updater
