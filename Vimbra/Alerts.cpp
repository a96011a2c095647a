#include "Vimbra/Alerts.hpp"

namespace vimbra {

void showAlert(const std::string& message, const std::string& informativeText,
               const std::string& buttonTitle) {
    auto alert = makeAlert(message, informativeText);
    alert->addButton(buttonTitle);
    (void)alert->runModal();
}

void confirmAlert(const std::string& message, const std::string& informativeText,
                  const std::string& buttonTitle, const std::function<void()>& onConfirm) {
    auto alert = makeAlert(message, informativeText);
    alert->addButton(buttonTitle);
    alert->addButton("Cancel");
    if (alert->runModal() == ui::alertFirstButtonReturn && onConfirm) {
        onConfirm();
    }
}

} // namespace vimbra
