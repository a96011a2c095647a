// Shows the updater's dialogs as alert windows of the toolkit, one window per dialog, none of them modal.
#pragma once

#include "updater/UpdateDialogs.hpp"

namespace updater {

// Main thread only. A button closes its dialog and answers on the next turn of the main queue, after the
// click that chose it has finished; closing the window any other way answers with the last button
// ("Cancel", "Later" or "OK").
class AlertDialogRunner : public DialogRunner {
public:
    std::shared_ptr<ShownDialog> show(const UpdateDialog& dialog, Answer answer) override;
};

} // namespace updater
