#pragma once

// Alerts in one call: a message with one button, and a question whose first button confirms.

#include "ui/Alert.hpp"

#include <functional>
#include <memory>
#include <string>

namespace vimbra {

// An alert of the class with both texts and no buttons yet.
template <class A = ui::Alert>
std::shared_ptr<A> makeAlert(const std::string& messageText, const std::string& informativeText) {
    auto alert = std::make_shared<A>();
    alert->setMessageText(messageText);
    alert->setInformativeText(informativeText);
    return alert;
}

// Shows the message with one button, modally; the answer does not matter.
void showAlert(const std::string& message, const std::string& informativeText,
               const std::string& buttonTitle);

// Shows the message with the button and "Cancel", modally; onConfirm runs only when the button (the
// first, 1000) was chosen.
void confirmAlert(const std::string& message, const std::string& informativeText,
                  const std::string& buttonTitle, const std::function<void()>& onConfirm);

} // namespace vimbra
