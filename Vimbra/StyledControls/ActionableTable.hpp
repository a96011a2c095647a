#pragma once

// Two specialised table pieces: a table header with an add-item and an options button at its right end,
// kept at the right edge of the part of the header that shows while the table scrolls sideways; and a
// table that sends an action when the user releases Return or Enter (or other chosen keys). Clients wire
// the buttons' and the table's targets and actions. Main thread only.

#include "Vimbra/StyledControls/StyledTableView.hpp"
#include "core/Cancellable.hpp"
#include "ui/Button.hpp"
#include "ui/ScrollView.hpp"
#include "ui/TableView.hpp"

#include <memory>
#include <optional>
#include <vector>

namespace vimbra {

class ActionableTableHeaderView : public StyledTableHeaderView {
protected:
    // Only make() (and a subclass's own make) can name it: a header is never left without its buttons.
    struct MakeToken {
        explicit MakeToken() = default;
    };

public:
    // A header with its buttons in place and watching its table's clip view.
    static std::shared_ptr<ActionableTableHeaderView> make(const graphics::Rect& frame = {});
    // The first half of make(), which finishes with setupButtons().
    ActionableTableHeaderView(MakeToken, const graphics::Rect& frame);

    const std::shared_ptr<ui::Button>& addItemButton() const { return addItemButton_; }
    const std::shared_ptr<ui::Button>& optionButton() const { return optionButton_; }

    // There is no operation to show them again; clients may unhide the buttons themselves.
    virtual void hideAddItemButton();
    virtual void hideOptionButton();

    // Adds both buttons, sizes them to fit with required hugging and compression resistance, and starts
    // watching the clip view. make() runs it.
    virtual void setupButtons();
    // Lays the header out again whenever the clip view that shows its table changes frame or bounds.
    // Changes of other clip views are no concern of the header's and leave its layout as it is.
    virtual void observeClipViewChanges();

    // In the header's coordinates. The option button sits 2 points left of the visible right edge, the
    // add button directly left of it; a hidden button takes no room.
    virtual graphics::Rect addItemButtonFrame();
    virtual graphics::Rect optionButtonFrame();
    // How far (a non-positive number) the header's right end lies beyond the right edge of what the
    // table's clip view shows; 0 without a table in a scroll view.
    virtual double visibleTrailingOffset() const;

    // Switches on the frame and bounds notifications of the table's clip view.
    void setTableView(const std::shared_ptr<ui::TableView>& tableView) override;
    // The table may go into its scroll view after the header was given to it: the header follows it
    // there, and switches the notifications on then.
    void viewDidMoveToSuperview() override;
    void layout() override;

private:
    std::shared_ptr<ui::ClipView> tableClipView() const;
    void watchTableClipView();

    std::shared_ptr<ui::Button> addItemButton_;
    std::shared_ptr<ui::Button> optionButton_;
    core::CancellableSet cancellables_;
};

class KeyboardActionTableView : public ui::TableView {
public:
    explicit KeyboardActionTableView(const graphics::Rect& frame = {});

    // The keys (SpecialKey characters) whose release sends the action: Return and Enter at first.
    const std::vector<char32_t>& keyboardActionTriggers() const { return keyboardActionTriggers_; }
    void setKeyboardActionTriggers(std::vector<char32_t> keys) { keyboardActionTriggers_ = std::move(keys); }
    virtual std::optional<ui::Selector> keyboardAction() const { return keyboardAction_; }
    virtual void setKeyboardAction(std::optional<ui::Selector> action) {
        keyboardAction_ = std::move(action);
    }

    // After the inherited handling, the release of a trigger key sends the keyboard action to the
    // table's target. Presses keep the table's own behaviour.
    void keyUp(const ui::Event& event) override;

private:
    std::vector<char32_t> keyboardActionTriggers_;
    std::optional<ui::Selector> keyboardAction_;
};

} // namespace vimbra
