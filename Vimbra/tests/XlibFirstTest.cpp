// Every public header of the drawing and window layers and of the control library compiles after Xlib's
// headers, whose macros (None, Bool, Status, WindingRule, ...) would otherwise clash with our names.
// clang-format off
// GoogleTest itself cannot follow Xlib (None), so it comes first.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <complex>

#include "platform/core/Bundle.hpp"
#include "platform/core/Cancellable.hpp"
#include "platform/core/Clock.hpp"
#include "platform/core/CollectionDifference.hpp"
#include "platform/core/FileManager.hpp"
#include "platform/core/Formatter.hpp"
#include "platform/core/HostTime.hpp"
#include "platform/core/IndexSet.hpp"
#include "platform/core/Log.hpp"
#include "platform/core/MainQueue.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Publisher.hpp"
#include "platform/core/RecentDocuments.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/Text.hpp"
#include "platform/core/URL.hpp"
#include "platform/core/Unicode.hpp"
#include "platform/core/WorkQueue.hpp"
#include "platform/core/Workspace.hpp"
#include "platform/graphics/AttributedString.hpp"
#include "platform/graphics/BezierPath.hpp"
#include "platform/graphics/CairoSupport.hpp"
#include "platform/graphics/Color.hpp"
#include "platform/graphics/DrawRecorder.hpp"
#include "platform/graphics/Font.hpp"
#include "platform/graphics/Geometry.hpp"
#include "platform/graphics/GraphicsContext.hpp"
#include "platform/graphics/Image.hpp"
#include "platform/graphics/PangoSupport.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Animation.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Box.hpp"
#include "platform/ui/Cell.hpp"
#include "platform/ui/Control.hpp"
#include "platform/ui/DraggingInfo.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/LayoutConstraint.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/Popover.hpp"
#include "platform/ui/Responder.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/Slider.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/ViewController.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/WindowBackend.hpp"
#include "platform/ui/WindowController.hpp"
#include "platform/declarative/HostingController.hpp"
#include "platform/display/HeadlessBackend.hpp"
#include "platform/display/X11Display.hpp"
#include "Vimbra/Alerts.hpp"
#include "Vimbra/AssetCatalog.hpp"
#include "Vimbra/Assets.hpp"
#include "Vimbra/CollectionOperations.hpp"
#include "Vimbra/ControlActions.hpp"
#include "Vimbra/ControlState.hpp"
#include "Vimbra/DragAndDrop.hpp"
#include "Vimbra/FieldsAndComponents/FirstResponderAwareTextField.hpp"
#include "Vimbra/FieldsAndComponents/MessagePopover.hpp"
#include "Vimbra/FieldsAndComponents/StyledLabels.hpp"
#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingPropertiesField.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"
#include "Vimbra/Formatters.hpp"
#include "Vimbra/Geometry.hpp"
#include "Vimbra/ImageOps.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/MainThreadDelivery.hpp"
#include "Vimbra/MenuModel.hpp"
#include "Vimbra/OutlineViewExtensions.hpp"
#include "Vimbra/PopUpExtensions.hpp"
#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "Vimbra/Styles.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/ClickableImageView.hpp"
#include "Vimbra/StyledControls/ContainerViews.hpp"
#include "Vimbra/StyledControls/CursorButtons.hpp"
#include "Vimbra/StyledControls/NavigationButtons.hpp"
#include "Vimbra/StyledControls/PelkoPushButton.hpp"
#include "Vimbra/StyledControls/Selection.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledCheckBox.hpp"
#include "Vimbra/StyledControls/StyledSlider.hpp"
#include "Vimbra/StyledControls/ToolButton.hpp"
#include "Vimbra/StyledControls/TrackingSlider.hpp"
#include "Vimbra/Units.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "Vimbra/Windows.hpp"
// clang-format on

TEST(XlibFirst, PublicHeadersCompileAfterXlib) {
    EXPECT_EQ(static_cast<int>(graphics::FillRule::evenOdd), 1);
    // Operators of the control library leave other types alone.
    EXPECT_EQ((std::chrono::duration<double>(3.0) / 2.0).count(), 1.5);
    EXPECT_EQ((std::complex<double>(3.0, 1.0) / 2.0).real(), 1.5);
    using namespace vimbra;
    EXPECT_EQ((std::chrono::duration<double>(3.0) / 2.0).count(), 1.5);
    EXPECT_EQ((graphics::Size{4.0, 2.0} / 2.0).width, 2.0);
}
