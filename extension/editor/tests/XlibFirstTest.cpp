// The public headers of the declarative layer, the control kit, the dial skins and the editor compile after
// Xlib's headers, whose macros (KeyPress, None, Bool, Status, ...) would otherwise clash with our names: the
// plug-in's X11 editor includes both.
// clang-format off
// GoogleTest itself cannot follow Xlib (None), so it comes first.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/declarative/Content.hpp"
#include "platform/declarative/Core.hpp"
#include "platform/declarative/Declarative.hpp"
#include "platform/declarative/Focus.hpp"
#include "platform/declarative/Gestures.hpp"
#include "platform/declarative/Hosting.hpp"
#include "platform/declarative/Layout.hpp"
#include "platform/declarative/Menu.hpp"
#include "platform/declarative/Modifier.hpp"
#include "platform/declarative/Node.hpp"
#include "platform/declarative/TextField.hpp"
#include "platform/ui/LayoutConstraint.hpp"
#include "Vimbra/DeclarativeSupport.hpp"
#include "ZeltoCore/AudioParameter.hpp"
#include "ZeltoCore/ButtonStyles.hpp"
#include "ZeltoCore/CorviAudioUnit.hpp"
#include "ZeltoCore/KitCatalog.hpp"
#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoCore/KitViews.hpp"
#include "ZeltoCore/ParameterButtons.hpp"
#include "ZeltoCore/ParameterSettings.hpp"
#include "ZeltoCore/PluginHeaderView.hpp"
#include "ZeltoCore/UpdateAvailableDetails.hpp"
#include "ZeltoDialsCore/DialCatalog.hpp"
#include "ZeltoDialsCore/DialLabel.hpp"
#include "ZeltoDialsCore/DialSkin.hpp"
#include "ZeltoDialsCore/KnobControl.hpp"
#include "ZeltoDialsCore/LabelFormatter.hpp"
#include "ZeltoDialsCore/ZeltoChaosDial/ChaosDial.hpp"
#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialBlue/LargeDialBlue.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialGrey/LargeDialGrey.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialOrange/LargeDialOrange.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialPurple/LargeDialPurple.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialRed/LargeDialRed.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialYellow/LargeDialYellow.hpp"
#include "ZeltoDialsCore/ZeltoMediumDial/MediumDial.hpp"
#include "ZeltoDialsCore/ZeltoTinyDial/TinyDial.hpp"
#include "extension/editor/AnalyzerGraphView.hpp"
#include "extension/editor/DialGroups.hpp"
#include "extension/editor/EditorAssets.hpp"
#include "extension/editor/EditorCatalog.hpp"
#include "extension/editor/HeaderViews.hpp"
#include "extension/editor/MainView.hpp"
#include "extension/editor/WaveformMorphPadView.hpp"
// clang-format on

TEST(XlibFirst, KitAndEditorHeadersCompileAfterXlib) {
    EXPECT_EQ(static_cast<int>(declarative::KeyResult::handled), 0);
}
