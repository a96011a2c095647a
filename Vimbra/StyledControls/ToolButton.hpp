#pragma once

// The library's image-only tool button: a toggle drawn on the tool bezel, optionally with the "more"
// marker, that can carry a second action, sent on a press held longer than the double-click interval,
// on a right mouse-down and on a Control-click. Main thread only.

#include "Vimbra/StyledControls/StyledButton.hpp"

namespace vimbra {

class ToolButtonCell : public StyledButtonCell {
public:
    explicit ToolButtonCell(std::string title = {});
    explicit ToolButtonCell(graphics::ImageRef image);

    static std::shared_ptr<ToolButtonCellStyle> sharedToolStyle();
    std::shared_ptr<ButtonCellStyle> style() const override { return sharedToolStyle(); }

    // Whether the bezel carries the "more" marker; takes effect at the next redraw.
    bool showMoreIcon() const { return showMoreIcon_; }
    void setShowMoreIcon(bool show) { showMoreIcon_ = show; }

    // The styled bezel, then the marker, tinted, laid out over the whole frame.
    void drawBezelWithFrame(const graphics::Rect& frame, ui::View& controlView) override;

private:
    bool showMoreIcon_ = false;
};

class ToolButton : public StyledButton {
public:
    explicit ToolButton(const graphics::Rect& frame = {});

    bool showMoreIcon() const { return showMoreIcon_; }
    // Also sets the cell's and redraws.
    void setShowMoreIcon(bool show);

    // The second action, sent to the target (held weakly; null travels the responder chain). Empty: none.
    std::shared_ptr<ui::Object> secondaryTarget() const { return secondaryTarget_.lock(); }
    void setSecondaryTarget(const std::shared_ptr<ui::Object>& target) { secondaryTarget_ = target; }
    const ui::Selector& secondaryAction() const { return secondaryAction_; }
    void setSecondaryAction(ui::Selector action) { secondaryAction_ = std::move(action); }

    // A right mouse-down, or a left one with Control held, flashes the highlight around sending the
    // second action (if any) and answers true; any other event answers false and does nothing.
    bool handleSecondaryClick(const ui::Event& event);

    // Bordered with a bezel for the state: at least the bezel's width and its height.
    graphics::Size intrinsicContentSize() const override;

    // Highlights, then with a second action, a window, a single click and the press inside, waits for
    // the release: one within the double-click interval runs the secondary-click test or the normal
    // tracking; none sends the second action and ends the press. Otherwise goes straight on. A disabled
    // button ignores presses, right-clicks included.
    void mouseDown(const ui::Event& event) override;
    void rightMouseDown(const ui::Event& event) override;
    void mouseTrackingCancelled() override;
    // None: right- and Control-clicks are the second action's, so no context menu ever opens.
    std::shared_ptr<ui::Menu> menuForEvent(const ui::Event& event) override;

protected:
    void setupButton() override;

private:
    void pressReleased(const ui::Event& event);
    void sendSecondaryAction();

    bool showMoreIcon_ = false;
    std::weak_ptr<ui::Object> secondaryTarget_;
    ui::Selector secondaryAction_;
};

} // namespace vimbra
