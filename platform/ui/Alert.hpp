#pragma once

// Alerts: a message, an informative text and buttons in a small window of their own, run modally
// (Application::runModal) or as a sheet over another window. The first button answers Return, a
// button titled "Cancel" answers Escape; button n answers alertFirstButtonReturn + n.

#include "ui/Window.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class Button;

inline constexpr ModalResponse alertFirstButtonReturn = 1000;
inline constexpr ModalResponse alertSecondButtonReturn = 1001;
inline constexpr ModalResponse alertThirdButtonReturn = 1002;

class Alert : public Object {
public:
    enum class Style { warning = 0, informational = 1, critical = 2 };

    static std::shared_ptr<Alert> make() { return std::make_shared<Alert>(); }
    Alert();
    ~Alert() override;

    const std::string& messageText() const { return messageText_; }
    void setMessageText(std::string text);
    const std::string& informativeText() const { return informativeText_; }
    void setInformativeText(std::string text);
    Style alertStyle() const { return style_; }
    void setAlertStyle(Style style);

    // Adds a button after the others (shown right to left: the first button is rightmost).
    std::shared_ptr<Button> addButton(const std::string& title);
    const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }

    // The alert's window, laid out for the current texts and buttons. An alert without buttons gets
    // an "OK" button when it is shown.
    std::shared_ptr<Window> window();
    void layout();

    // Runs the alert in its own modal window and returns the chosen button's response.
    ModalResponse runModal();
    // Shows the alert as a sheet over parent; the completion receives the chosen button's response.
    void beginSheetModal(const std::shared_ptr<Window>& parent,
                         std::function<void(ModalResponse)> completion);

    // Width of the alert's window in points.
    static constexpr double width = 420;

private:
    void buttonPressed(const std::shared_ptr<Object>& sender);
    void ensureButton();

    std::string messageText_;
    std::string informativeText_;
    Style style_ = Style::warning;
    std::vector<std::shared_ptr<Button>> buttons_;
    std::shared_ptr<Window> window_;
    std::shared_ptr<View> textView_;
};

} // namespace ui
