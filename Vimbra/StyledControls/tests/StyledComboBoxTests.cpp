// The styled combo box: numbers chosen from its list reach the box and its action, the arrow follows the
// list, and its geometry and focus ring keep to the field part.
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledComboBox.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "core/NotificationCenter.hpp"
#include "ui/ComboBoxList.hpp"

#include <any>
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::Point;
using graphics::Rect;

namespace {

struct BoxScene {
    BoxScene() {
        box->addItemsWithObjectValues({12.5, std::string("twelve"), 3});
        box->setTarget(receiver);
        box->setAction("choose:");
        scene.add(box);
    }

    Point arrowPoint() const {
        const Rect r =
            box->convertRectToView(box->comboBoxCell()->buttonRectForBounds(box->bounds()), nullptr);
        return {r.midX(), r.midY()};
    }
    std::shared_ptr<display::HeadlessBackend> listBackend() const {
        auto list = box->listWindow();
        return list ? std::dynamic_pointer_cast<display::HeadlessBackend>(list->backend()) : nullptr;
    }
    Point rowPoint(long index) const {
        auto view = box->listView();
        const Rect r = view->convertRectToView(view->rectOfIndex(index), nullptr);
        return {r.midX(), r.midY()};
    }
    std::shared_ptr<StyledComboBoxCell> cell() const {
        return std::dynamic_pointer_cast<StyledComboBoxCell>(box->cell());
    }

    vimbratest::Scene scene;
    std::shared_ptr<StyledComboBox> box = std::make_shared<StyledComboBox>(Rect(20, 120, 140, 26));
    std::shared_ptr<vimbratest::Receiver> receiver =
        std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"choose:"});
};

} // namespace

TEST(StyledComboBox, ChoosingANumberWritesItAndSendsTheActionOnceWhileTextSendsNothing) {
    BoxScene s;
    s.scene.backend->click(s.arrowPoint());
    ASSERT_TRUE(s.box->isListShown());
    ASSERT_NE(s.listBackend(), nullptr);
    s.listBackend()->click(s.rowPoint(0));
    EXPECT_FALSE(s.box->isListShown());
    EXPECT_EQ(s.box->doubleValue(), 12.5);
    EXPECT_EQ(s.receiver->log, std::vector<std::string>{"choose:"});
    EXPECT_EQ(s.receiver->senders.front(), s.box);

    // A text item is shown but neither written as a number nor sent.
    s.scene.backend->click(s.arrowPoint());
    ASSERT_TRUE(s.box->isListShown());
    s.listBackend()->click(s.rowPoint(1));
    EXPECT_EQ(s.box->stringValue(), "twelve");
    EXPECT_EQ(s.receiver->log.size(), 1u);

    // An integer item counts as a number; selecting from code goes the same way.
    s.box->selectItemAtIndex(2);
    EXPECT_EQ(s.box->doubleValue(), 3);
    EXPECT_EQ(s.receiver->log.size(), 2u);

    // So does every other integer and floating type, as chosen and as the list shows it; bool and the
    // character types do not.
    const std::vector<std::any> numbers = {std::size_t{7},  short{-4},       static_cast<unsigned short>(5),
                                           std::int8_t{-8}, std::uint8_t{9}, 2.5L};
    s.box->removeAllItems();
    s.box->addItemsWithObjectValues(numbers);
    s.box->addItemsWithObjectValues({true, 'x', U'y'});
    std::vector<std::string> shown;
    for (long i = 0; i < s.box->numberOfItems(); ++i) {
        s.box->selectItemAtIndex(i);
        shown.push_back(ui::ComboBoxCell::stringForItem(s.box->itemObjectValueAtIndex(i)));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"7", "-4", "5", "-8", "9", "2.5", "1", "", ""}));
    EXPECT_EQ(s.receiver->log.size(), 2u + numbers.size());
}

TEST(StyledComboBox, ASelectionChangeToNothingSelectedWritesAndSendsNothing) {
    BoxScene s;
    s.box->selectItemAtIndex(0);
    ASSERT_EQ(s.receiver->log.size(), 1u);
    int changes = 0;
    auto observer = core::NotificationCenter::defaultCenter().addObserver(
        ui::ComboBox::selectionDidChangeNotification, s.box.get(),
        [&](const core::Notification&) { ++changes; });
    s.box->deselectItemAtIndex(0); // announces a change to index -1
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(s.box->indexOfSelectedItem(), -1);
    EXPECT_EQ(s.box->doubleValue(), 12.5);
    EXPECT_EQ(s.receiver->log.size(), 1u);
    // Announced by someone else with nothing selected: the same.
    core::NotificationCenter::defaultCenter().post(ui::ComboBox::selectionDidChangeNotification, s.box.get());
    EXPECT_EQ(s.receiver->log.size(), 1u);
}

TEST(StyledComboBox, TheArrowImageFollowsTheListsNotifications) {
    BoxScene s;
    auto cell = s.cell();
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(cell->isPopupOpen());
    EXPECT_EQ(cell->rightImage()->name(), "qel-combobox-up");
    EXPECT_EQ(cell->fieldImage()->name(), "qel-combobox");
    EXPECT_FALSE(cell->rightImage()->isTemplate()); // tinted for drawing

    auto arrowDrawn = [&] {
        s.box->setNeedsDisplay();
        s.scene.backend->recorder()->clear();
        s.scene.backend->displayIfNeeded();
        std::string name;
        for (const auto& op : s.scene.backend->recorder()->ops(DrawOpKind::image)) {
            name = op.imageName; // the arrow is drawn after the field
        }
        return name;
    };
    EXPECT_EQ(arrowDrawn(), "qel-combobox-up");
    s.scene.backend->click(s.arrowPoint());
    EXPECT_TRUE(cell->isPopupOpen());
    EXPECT_EQ(arrowDrawn(), "qel-combobox");
    s.scene.backend->click({5, 5}); // outside: the list closes
    EXPECT_FALSE(cell->isPopupOpen());
    EXPECT_EQ(arrowDrawn(), "qel-combobox-up");

    // Posted by anyone about this box, the notifications move the flag; about another box they do not.
    auto& centre = core::NotificationCenter::defaultCenter();
    centre.post(ui::ComboBox::willPopUpNotification, s.box.get());
    EXPECT_TRUE(cell->isPopupOpen());
    auto other = std::make_shared<StyledComboBox>(Rect(0, 0, 80, 26));
    centre.post(ui::ComboBox::willDismissNotification, other.get());
    EXPECT_TRUE(cell->isPopupOpen());
    centre.post(ui::ComboBox::willDismissNotification, s.box.get());
    EXPECT_FALSE(cell->isPopupOpen());

    // A box that is gone hears nothing more.
    const void* gone = other.get();
    other.reset();
    centre.post(ui::ComboBox::willPopUpNotification, gone);
    centre.post(ui::ComboBox::selectionDidChangeNotification, gone);
}

TEST(StyledComboBox, GeometryKeepsToTheFieldAndTheArrow) {
    BoxScene s;
    auto cell = s.cell();
    const double arrowWidth = cell->rightImage()->size().width;
    const double fieldHeight = cell->fieldImage()->size().height;

    // A narrow box still asks for 47 less its alignment insets, 26 high less them.
    auto narrow = std::make_shared<StyledComboBox>(Rect(0, 0, 20, 26));
    EXPECT_EQ(narrow->alignmentRectInsets(), (graphics::EdgeInsets{3, 2, 3, 2}));
    EXPECT_EQ(narrow->intrinsicContentSize(), graphics::Size(43, 20));
    // They are the styled pop-up buttons' own: a change to that shared style reaches the box.
    {
        const auto popUpStyle = StyledPopUpButtonCell::sharedStyle();
        const auto saved = popUpStyle->alignmentRectInsets;
        popUpStyle->alignmentRectInsets = graphics::EdgeInsets{1, 4, 1, 4};
        const auto insets = narrow->alignmentRectInsets();
        popUpStyle->alignmentRectInsets = saved;
        EXPECT_EQ(insets, (graphics::EdgeInsets{1, 4, 1, 4}));
    }

    EXPECT_EQ(cell->fieldRect(Rect(0, 0, 140, 26)), Rect(0, 0, 140 - arrowWidth, fieldHeight));
    EXPECT_EQ(s.box->focusRingMaskBounds(), Rect(0, 0, 140 - arrowWidth, fieldHeight));
    EXPECT_EQ(cell->buttonRectForBounds(s.box->bounds()), Rect(140 - arrowWidth, 0, arrowWidth, 26));

    // The title: the toolkit's rect inset by (3, 7, 2, 0) and centred on the bounds.
    const Rect bounds(0, 0, 140, 26);
    const Rect base = cell->ui::ComboBoxCell::titleRectForBounds(bounds);
    const Rect title = cell->titleRectForBounds(bounds);
    EXPECT_EQ(title.x(), base.x() + 7);
    EXPECT_EQ(title.width(), base.width() - 7);
    EXPECT_EQ(title.height(), base.height() - 5);
    EXPECT_EQ(title.y(), std::round(13 - title.height() * 0.5));

    // The text and the field editor: one line in the interior (inset by the title insets), clear of the
    // arrow, centred vertically.
    s.box->setStringValue("12.5");
    s.box->setNeedsDisplay();
    s.scene.backend->recorder()->clear();
    s.scene.backend->displayIfNeeded();
    const auto texts = s.scene.backend->recorder()->ops(DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    const Rect interior = vimbra::insetRect(bounds, cell->style()->titleEdgeInsets);
    EXPECT_EQ(texts[0].rect.x(), 7);
    EXPECT_EQ(texts[0].rect.maxX(), 140 - arrowWidth);
    EXPECT_NEAR(texts[0].rect.midY(), interior.midY(), 0.5);
    EXPECT_GE(texts[0].rect.height(), s.box->font()->lineHeight());
    s.scene.window->makeFirstResponder(s.box);
    ASSERT_NE(s.box->currentEditor(), nullptr);
    EXPECT_EQ(s.box->currentEditor()->frame(), texts[0].rect);
}

TEST(StyledComboBox, TheFocusRingSurroundsTheFieldOnlyWhileTheBoxHasFocusInTheKeyWindow) {
    BoxScene s;
    auto ringStrokes = [&] {
        s.box->setNeedsDisplay();
        s.scene.backend->recorder()->clear();
        s.scene.backend->displayIfNeeded();
        std::vector<graphics::RecordedOp> rings;
        for (const auto& op : s.scene.backend->recorder()->ops(DrawOpKind::strokePath)) {
            if (op.lineWidth == 2 && op.lineCap == graphics::LineCap::round) {
                rings.push_back(op);
            }
        }
        return rings;
    };
    EXPECT_TRUE(ringStrokes().empty());
    s.scene.window->makeFirstResponder(s.box);
    auto rings = ringStrokes();
    ASSERT_EQ(rings.size(), 1u);
    // In the box's own coordinates.
    EXPECT_EQ(rings[0].rect, s.box->focusRingMaskBounds().insetBy(1, 1));
    const Rect arrow = s.box->comboBoxCell()->buttonRectForBounds(s.box->bounds());
    EXPECT_LE(rings[0].rect.maxX(), arrow.minX());
    s.scene.backend->focusOut();
    EXPECT_TRUE(ringStrokes().empty());
}
