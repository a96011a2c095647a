#include "Vimbra/ViewExtensions.hpp"

#include "ui/Control.hpp"
#include "ui/Cursor.hpp"
#include "ui/StringDrawing.hpp"
#include "ui/Text.hpp"
#include "ui/Window.hpp"

namespace vimbra {

void drawVerticallyCentered(const std::string& text, const graphics::Rect& rect,
                            const graphics::TextAttributes& attributes) {
    const graphics::AttributedString string(text, attributes);
    const auto measured = string.boundingSize(rect.size);
    string.draw(
        {rect.minX(), rect.minY() + (rect.height() - measured.height) * 0.5, rect.width(), rect.height()});
}

void refreshByRotating(const std::shared_ptr<ui::View>& view) {
    if (view) {
        view->setNeedsDisplay(true);
    }
}

double onePixel(const ui::View& view) {
    const auto window = view.window();
    return 1.0 / (window ? window->backingScaleFactor() : 1.0);
}

namespace {

void collect(const ui::View& view, const std::function<bool(const ui::View&)>& predicate,
             std::vector<std::shared_ptr<ui::View>>& found) {
    for (const auto& subview : view.subviews()) {
        if (predicate(*subview)) {
            found.push_back(subview);
        }
    }
    for (const auto& subview : view.subviews()) {
        collect(*subview, predicate, found);
    }
}

} // namespace

std::vector<std::shared_ptr<ui::View>> descendants(const ui::View& view,
                                                   const std::function<bool(const ui::View&)>& predicate) {
    std::vector<std::shared_ptr<ui::View>> found;
    collect(view, predicate, found);
    return found;
}

std::shared_ptr<ui::View> firstDescendant(const ui::View& view,
                                          const std::function<bool(const ui::View&)>& predicate) {
    auto found = descendants(view, predicate);
    return found.empty() ? nullptr : found.front();
}

std::shared_ptr<ui::View> ancestor(const ui::View& view,
                                   const std::function<bool(const ui::View&)>& predicate) {
    for (auto candidate = view.superview(); candidate; candidate = candidate->superview()) {
        if (predicate(*candidate)) {
            return candidate;
        }
    }
    return nullptr;
}

std::shared_ptr<ui::Box> makeSeparator() {
    auto box = std::make_shared<ui::Box>(graphics::Rect(0, 0, 50, 1));
    box->setBoxType(ui::BoxType::separator);
    return box;
}

std::shared_ptr<ui::View> makeFlexibleSpace() {
    using Orientation = ui::LayoutConstraintOrientation;
    auto view = std::make_shared<ui::View>();
    view->setContentHuggingPriority(50, Orientation::vertical);
    view->setContentHuggingPriority(50, Orientation::horizontal);
    view->setContentCompressionResistancePriority(50, Orientation::vertical);
    view->setContentCompressionResistancePriority(50, Orientation::horizontal);
    return view;
}

bool isFirstResponder(const ui::View& view) {
    const auto window = view.window();
    if (!window) {
        return false;
    }
    const auto responder = window->firstResponder();
    if (!responder) {
        return false;
    }
    if (responder.get() == &view) {
        return true;
    }
    // A text field being edited has handed the role to its window's field editor.
    const auto* control = dynamic_cast<const ui::Control*>(&view);
    const auto editor = control ? control->currentEditor() : nullptr;
    return editor && editor.get() == responder.get();
}

void chainKeyViews(const std::vector<std::shared_ptr<ui::View>>& views) {
    for (std::size_t index = 0; index < views.size(); ++index) {
        views[index]->setNextKeyView(views[(index + 1) % views.size()]);
    }
}

graphics::ImageRef snapshotImage(ui::View& view) {
    const auto bounds = view.bounds();
    auto rep = view.bitmapImageRepForCachingDisplay(bounds);
    if (!rep) {
        return nullptr;
    }
    view.cacheDisplay(bounds, *rep);
    auto image = graphics::Image::make(bounds.size);
    image->addRepresentation(std::move(rep));
    return image;
}

std::shared_ptr<ui::ImageView> snapshotImageView(ui::View& view) {
    auto image = snapshotImage(view);
    if (!image) {
        return nullptr;
    }
    auto imageView = std::make_shared<ui::ImageView>(view.frame());
    imageView->setImage(std::move(image));
    return imageView;
}

void removeAllSubviews(ui::View& view) {
    const auto subviews = view.subviews(); // a copy: removal changes the list
    for (const auto& subview : subviews) {
        subview->removeFromSuperview();
    }
}

void replaceBoundsTrackingArea(ui::View& view, std::shared_ptr<ui::TrackingArea>& area) {
    if (area) {
        view.removeTrackingArea(area);
    }
    area = ui::TrackingArea::make(
        view.bounds(), ui::TrackingAreaOptions::mouseEnteredAndExited | ui::TrackingAreaOptions::activeAlways,
        view.sharedAs<ui::Responder>());
    view.addTrackingArea(area);
}

} // namespace vimbra
