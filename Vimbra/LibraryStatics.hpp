#pragma once

// The default values of the library's controls, styles and declarative components, made where the owners
// ask for them: each maker returns a fresh value, or the shared object it stands for. Owners that belong
// to the styled controls and text fields use these as their initial field values.

#include "Vimbra/FieldsAndComponents/SettingsLayout.hpp"
#include "Vimbra/FieldsAndComponents/MessagePopover.hpp"
#include "core/Cancellable.hpp"
#include "core/Publisher.hpp"
#include "declarative/Declarative.hpp"
#include "graphics/Color.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/Image.hpp"
#include "ui/Button.hpp"
#include "ui/Cursor.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ui {
class TextField;
}

namespace vimbra {

// The value an event subject carries when the event has nothing to say.
struct Void {
    friend constexpr bool operator==(Void, Void) { return true; }
};

// The cycle cursor image "cursor-cycle": the application's own copy when its main bundle has one,
// else the library's. Missing from both stops the process: it is part of the product.
graphics::ImageRef cycleImage();

// A reading of the declarative environment, as a component declares it and its body evaluates it.
template <class T> using EnvironmentReading = std::function<T(const declarative::Environment&)>;

struct LibraryDefaults {
    // The sigil that constant names start with.
    static std::string constantNamePrefix() { return "$"; }
    template <class T> static std::optional<T> none() { return std::nullopt; }
    static graphics::Rect zeroRect() { return {}; }
    static graphics::EdgeInsets zeroInsets() { return {}; }

    // Cursors.
    static graphics::ImageRef cycleImage() { return vimbra::cycleImage(); }
    static graphics::Point cursorHotSpot() { return {3.0, 4.0}; }
    static std::shared_ptr<ui::Cursor> arrowCursor() { return ui::Cursor::arrowCursor(); }
    // The tracking slider's cursor, "cursor-trackingslider" with its hot spot (3, 4): a new cursor each
    // call. A missing image stops the process.
    static std::shared_ptr<ui::Cursor> trackingSliderCursor();

    // Control insets (top, left, bottom, right) and scalars.
    static graphics::EdgeInsets titleEdgeInsets() { return {4.0, 0.0, 6.0, 0.0}; }
    static graphics::EdgeInsets controlEdgeInsets() { return {3.0, 4.0, 5.0, 4.0}; }
    static graphics::EdgeInsets segmentPadding() { return {0.0, 21.0, 0.0, 21.0}; }
    static graphics::EdgeInsets textPadding() { return {2.0, 6.0, 2.0, 6.0}; }
    static graphics::Size windowPadding() { return {10.0, 6.0}; }
    static double negativeOutset() { return -2.0; }
    static double sliderIncrement() { return 0.01; }
    static double sliderMaximumValue() { return 1.0; }
    static double minimumPanVelocity() { return 5.0; }
    static double selectionHorizontalInset() { return 8.0; }
    static double popoverMargin() { return 12.0; }
    static int integerDefault() { return 5; }

    // Event subjects: a new one each call. The clickable image view's `clicked` starts as one of these.
    static std::shared_ptr<core::PassthroughSubject<Void>> clickedSubject() {
        return std::make_shared<core::PassthroughSubject<Void>>();
    }
    using FirstResponderEvent = std::pair<std::shared_ptr<ui::TextField>, bool>;
    static std::shared_ptr<core::PassthroughSubject<FirstResponderEvent>> firstResponderSubject() {
        return std::make_shared<core::PassthroughSubject<FirstResponderEvent>>();
    }
    template <class Value> static std::map<std::int64_t, Value> emptyIntDictionary() { return {}; }
    static core::CancellableSet emptyCancellables() { return {}; }

    // The actionable table header's add-item and option buttons (see ActionableTableHeaderView): image-only,
    // momentary change, regular square bezel, not bordered, unscaled, with their "-down" images as the
    // alternate images. A new button each call.
    static std::shared_ptr<ui::Button> addHeaderButton();
    static std::shared_ptr<ui::Button> overflowHeaderButton();

    // The keys whose release sends a KeyboardActionTableView's action at first: Return and Enter.
    static std::vector<char32_t> keyboardActionTriggers();

    static graphics::ColorRef controlBackgroundColor() { return graphics::Color::controlBackgroundColor(); }

    // A new message popover controller each call (the validating text field's and the validating
    // properties field's).
    static std::shared_ptr<SimpleTextViewPopoverController> textFieldPopoverController() {
        return std::make_shared<SimpleTextViewPopoverController>();
    }
    static std::shared_ptr<SimpleTextViewPopoverController> propertiesFieldPopoverController() {
        return std::make_shared<SimpleTextViewPopoverController>();
    }

    static std::string appearanceName();
    // The palette's shared colours.
    static graphics::ColorRef backgroundNormalColor();
    static graphics::ColorRef highlightSystemColor();
    static graphics::ColorRef grey85Color();
    static graphics::ResizingMode bezelImageResizingMode() { return graphics::ResizingMode::stretch; }

    // Environment readings: whether controls are enabled, and the settings form's configuration placed
    // in the environment by the settings form.
    static EnvironmentReading<bool> isEnabledReading() {
        return [](const declarative::Environment& environment) { return environment.isEnabled; };
    }
    template <class Config = SornSettingsConfig>
    static EnvironmentReading<std::shared_ptr<Config>> settingsConfigReading() {
        return [](const declarative::Environment& environment) { return environment.object<Config>(); };
    }
};

} // namespace vimbra
