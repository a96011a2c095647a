// The styled pop-up, tool pop-up and pull-down buttons: geometry, state looks and labelled titles as
// drawn, and choosing with real mouse and keyboard events on the headless back end.
#include "Vimbra/StyledControls/StyledPopDownButton.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "display/HeadlessMenuPresenter.hpp"
#include "ui/MenuTracking.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::Rect;
using graphics::Size;

namespace {

struct PopUpScene : vimbratest::Scene {
    std::shared_ptr<vimbratest::Receiver> receiver = std::make_shared<vimbratest::Receiver>(
        std::initializer_list<const char*>{"chosen:", "pressed:", "copy:"});

    template <class Control> std::shared_ptr<Control> place(std::shared_ptr<Control> control) {
        control->setTarget(receiver);
        add(control);
        return control;
    }
    std::vector<graphics::RecordedOp> redraw() {
        backend->recorder()->clear();
        window->contentView()->setNeedsDisplay();
        backend->displayIfNeeded();
        return backend->recorder()->ops();
    }
    // The bezel images drawn, by name, with their strengths.
    std::vector<std::pair<std::string, double>> bezels() {
        std::vector<std::pair<std::string, double>> drawn;
        for (const auto& op : redraw()) {
            if (op.kind == DrawOpKind::image && !op.imageName.empty()) {
                drawn.emplace_back(op.imageName, op.fraction);
            }
        }
        return drawn;
    }
    std::vector<std::string> texts() {
        std::vector<std::string> drawn;
        for (const auto& op : redraw()) {
            if (op.kind == DrawOpKind::text) {
                drawn.push_back(op.text);
            }
        }
        return drawn;
    }
    std::shared_ptr<display::HeadlessMenuPresenter> presenter() const {
        return std::static_pointer_cast<display::HeadlessMenuPresenter>(backend->menuPresenter());
    }
    // The middle of a row of the open menu, in its level window's coordinates.
    graphics::Point row(int index) const {
        const auto& level = window->menuTracking()->levels()[0];
        const Rect f = level.layout.rows[static_cast<std::size_t>(index)].frame;
        return {f.midX(), level.frame.height() - f.midY()};
    }
    void chooseRow(int index) { presenter()->levelBackend(0)->click(row(index)); }
};

std::shared_ptr<StyledPopUpButton> colours(PopUpScene& s, bool pullsDown = false) {
    auto popUp = s.place(std::make_shared<StyledPopUpButton>(Rect(20, 20, 140, 22), pullsDown, std::nullopt));
    popUp->addItems({"Red", "Green", "Blue"});
    popUp->setAction("chosen:");
    return popUp;
}

using Bezels = std::vector<std::pair<std::string, double>>;

} // namespace

TEST(StyledPopUpButtonCell, TitleRectStateAndInsets) {
    StyledPopUpButtonCell cell("Rate");
    EXPECT_EQ(cell.highlightsBy(), 0);
    EXPECT_EQ(cell.titleRectForBounds(Rect(0, 0, 100, 22)), Rect(10, 4, 76, 14));
    EXPECT_EQ(cell.titleRectForBounds(Rect(30, 0, 100, 22)), Rect(10, 4, 76, 14)); // x is fixed
    cell.setImagePosition(ui::ImagePosition::imageOnly);
    EXPECT_EQ(cell.titleRectForBounds(Rect(0, 0, 100, 22)), Rect());
    StyledPopUpButtonCell empty;
    empty.setLabel("Label");
    EXPECT_EQ(empty.titleRectForBounds(Rect(0, 0, 100, 22)), Rect());

    using S = StyledControlState;
    EXPECT_EQ(cell.controlState(), S::default_);
    cell.setHighlighted(true);
    EXPECT_EQ(cell.controlState(), S::default_ | S::highlighted);
    cell.setEnabled(false);
    EXPECT_EQ(cell.controlState(), S::default_ | S::disabled);
    cell.setEnabled(true);
    cell.setHighlighted(false);
    cell.setState(ui::StateValue::on);
    EXPECT_EQ(cell.controlState(), S::default_); // the state counts only while the cell shows it
    cell.setShowsStateBy(ui::CellStyleMask::contents);
    EXPECT_EQ(cell.controlState(), S::default_ | S::on);

    const StyledPopUpButton popUp(Rect(0, 0, 100, 22), false, std::nullopt);
    const ToolPopUpButton tool(Rect(0, 0, 40, 20), false, std::nullopt);
    EXPECT_EQ(popUp.alignmentRectInsets(), (graphics::EdgeInsets{3, 2, 3, 2}));
    EXPECT_EQ(tool.alignmentRectInsets(), graphics::EdgeInsets{});
    EXPECT_NE(ToolPopUpButtonCell().style(), StyledPopUpButtonCell().style());
    EXPECT_EQ(popUp.font()->pointSize(), 11);
}

TEST(StyledPopUpButtonCell, LabelledTitlesTakeTheirRunsFontsAndColours) {
    StyledPopUpButtonCell cell;
    const auto text = graphics::Color::rgba(1, 0, 0);
    const auto secondary = graphics::Color::secondaryLabelColor();

    auto plain = cell.labelledTitle("Sine", text, std::nullopt, secondary);
    ASSERT_EQ(plain.runs().size(), 1u);
    EXPECT_EQ(plain.string(), "Sine");
    EXPECT_EQ(plain.runs()[0].attributes.font->weight(), graphics::FontWeight::regular);
    EXPECT_EQ(plain.runs()[0].attributes.font->pointSize(), 10);
    EXPECT_EQ(plain.runs()[0].attributes.foregroundColor, text);
    EXPECT_EQ(plain.paragraphStyle().alignment, graphics::TextAlignment::left);
    EXPECT_EQ(plain.paragraphStyle().lineBreakMode, graphics::LineBreakMode::truncatingTail);
    // No colour: the style's; no label colour: no label either.
    EXPECT_EQ(cell.labelledTitle("Sine", nullptr, "Shape", nullptr).string(), "Sine");
    EXPECT_EQ(cell.labelledTitle("Sine", nullptr, std::nullopt, nullptr).runs()[0].attributes.foregroundColor,
              cell.style()->textColor);

    auto labelled = cell.labelledTitle("Sine", text, "Shape", secondary);
    EXPECT_EQ(labelled.string(), "Shape Sine");
    EXPECT_EQ(labelled.attributesAt(0).foregroundColor, secondary);
    EXPECT_EQ(labelled.attributesAt(0).font->weight(), graphics::FontWeight::regular);
    EXPECT_EQ(labelled.attributesAt(6).foregroundColor, text);
    EXPECT_EQ(labelled.attributesAt(6).font->weight(), graphics::FontWeight::medium);
    auto emptyLabel = cell.labelledTitle("Sine", text, "", secondary);
    EXPECT_EQ(emptyLabel.string(), " Sine");
    EXPECT_EQ(emptyLabel.attributesAt(1).font->weight(), graphics::FontWeight::medium);
}

TEST(StyledPopUpButton, DrawsTheBezelForItsStateAndTheLabelledTitle) {
    PopUpScene s;
    auto popUp = colours(s);
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popup", 1.0}}));
    EXPECT_EQ(s.texts(), std::vector<std::string>{"Red"});
    popUp->setHighlighted(true);
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popup-down", 1.0}}));
    popUp->setEnabled(false);
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popup", 0.5}})); // highlighted but disabled: the default image
    popUp->setHighlighted(false);
    popUp->setEnabled(true);

    // An item image shows unless a non-empty label stands in front of the title.
    popUp->itemAt(0)->setImage(graphics::Image::draw({12, 12}, 1.0, [](graphics::GraphicsContext& c) {
        c.fillRect(Rect(0, 0, 12, 12), graphics::Color::white(1));
    }));
    const auto itemImages = [&] {
        int count = 0;
        for (const auto& op : s.redraw()) {
            count += op.kind == DrawOpKind::image && op.imageName.empty() ? 1 : 0;
        }
        return count;
    };
    EXPECT_EQ(itemImages(), 1);
    popUp->setLabel("");
    EXPECT_EQ(itemImages(), 1);
    EXPECT_EQ(s.texts(), std::vector<std::string>{" Red"});
    popUp->setLabel("Colour");
    EXPECT_EQ(itemImages(), 0);
    EXPECT_EQ(s.texts(), std::vector<std::string>{"Colour Red"});
    // Only the control's setter keeps the two labels in step.
    std::static_pointer_cast<StyledPopUpButtonCell>(popUp->cell())->setLabel("Cell");
    EXPECT_EQ(popUp->label(), "Colour");
    EXPECT_EQ(s.texts(), std::vector<std::string>{"Cell Red"});

    auto tool = s.place(std::make_shared<ToolPopUpButton>(Rect(200, 20, 40, 20), false, std::nullopt));
    tool->addItem("T");
    tool->setHighlighted(true);
    const auto drawn = s.bezels();
    EXPECT_NE(
        std::find(drawn.begin(), drawn.end(), std::pair<std::string, double>{"qel-popup-tool-down", 1.0}),
        drawn.end());
}

TEST(StyledPopUpButton, IntrinsicSizesFollowTheBezelLessTheAlignmentInsets) {
    // The pop-up bezel is 32 x 22, the tool bezel 28 x 20.
    StyledPopUpButton wide(Rect(), false, 120.0);
    EXPECT_EQ(wide.intrinsicContentSize(), Size(116, 16));
    StyledPopUpButton narrow(Rect(), false, 20.0);
    EXPECT_EQ(narrow.intrinsicContentSize(), Size(28, 16));
    StyledPopUpButton plain(Rect(), false, 70.0);
    plain.setBordered(false);
    const double toolkitHeight = plain.ui::PopUpButton::intrinsicContentSize().height;
    EXPECT_EQ(plain.intrinsicContentSize(), Size(70, toolkitHeight));

    ToolPopUpButton toolWide(Rect(), false, 60.0);
    EXPECT_EQ(toolWide.intrinsicContentSize(), Size(60, 20));
    ToolPopUpButton toolNarrow(Rect(), false, 20.0);
    EXPECT_EQ(toolNarrow.intrinsicContentSize(), Size(28, 20));

    StyledPopDownButton popDown;
    popDown.addItem("A very long item title indeed");
    const double width = popDown.ui::PopUpButton::intrinsicContentSize().width;
    EXPECT_EQ(popDown.intrinsicContentSize(), Size(std::max(width, 32.0) - 4, 16));
    EXPECT_EQ(popDown.alignmentRectInsets(), (graphics::EdgeInsets{3, 2, 3, 2}));
}

TEST(StyledPopUpButton, ChoosesWithTheMouseAndTheKeyboard) {
    PopUpScene s;
    auto popUp = colours(s);
    popUp->setLabel("Colour");

    // A click opens the menu over the button, pressed; a click on an item chooses it.
    s.backend->mouseDown(vimbratest::centre(*popUp));
    ASSERT_TRUE(popUp->isMenuShown());
    EXPECT_TRUE(popUp->isHighlighted());
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popup-down", 1.0}}));
    s.backend->mouseUp(vimbratest::centre(*popUp));
    ASSERT_TRUE(popUp->isMenuShown());
    s.chooseRow(2);
    EXPECT_FALSE(popUp->isMenuShown());
    EXPECT_FALSE(popUp->isHighlighted());
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Blue");
    EXPECT_EQ(s.receiver->log, std::vector<std::string>{"chosen:"});
    EXPECT_EQ(s.receiver->senders[0], popUp);
    EXPECT_EQ(s.texts(), std::vector<std::string>{"Colour Blue"});

    // Space opens it, arrows move, Return chooses; Escape chooses nothing.
    ASSERT_TRUE(s.window->makeFirstResponder(popUp));
    s.backend->typeKey(" ");
    ASSERT_TRUE(popUp->isMenuShown());
    s.backend->typeKey(ui::utf8(ui::SpecialKey::upArrow));
    s.backend->typeKey("\r");
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Green");
    s.backend->typeKey(ui::utf8(ui::SpecialKey::downArrow));
    ASSERT_TRUE(popUp->isMenuShown());
    s.backend->typeKey("\x1b");
    EXPECT_FALSE(popUp->isMenuShown());
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Green");
    EXPECT_EQ(s.receiver->log.size(), 2u);

    // Disabled: neither opens it.
    popUp->setEnabled(false);
    s.backend->click(vimbratest::centre(*popUp));
    s.backend->typeKey(" ");
    EXPECT_FALSE(popUp->isMenuShown());
}

TEST(StyledPopUpButton, APullDownShowsItsFirstItemAsTheTitleAndListsTheRest) {
    PopUpScene s;
    auto popUp = s.place(std::make_shared<StyledPopUpButton>(Rect(20, 20, 140, 22), true, std::nullopt));
    popUp->addItems({"Edit", "Copy", "Paste"});
    popUp->itemAt(1)->setAction("copy:");
    popUp->itemAt(1)->setTarget(s.receiver);
    popUp->setAction("chosen:");
    EXPECT_EQ(s.texts(), std::vector<std::string>{"Edit"});

    s.backend->click(vimbratest::centre(*popUp));
    ASSERT_TRUE(popUp->isMenuShown());
    EXPECT_EQ(s.presenter()->history().back().rowTitles, (std::vector<std::string>{"Copy", "Paste"}));
    s.chooseRow(0);
    EXPECT_EQ(s.receiver->log, std::vector<std::string>{"copy:"});
    s.backend->click(vimbratest::centre(*popUp));
    s.chooseRow(1);
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>{"copy:", "chosen:"}));
    EXPECT_EQ(popUp->popUpCell()->title(), "Edit");
    EXPECT_EQ(s.texts(), std::vector<std::string>{"Edit"});
}

TEST(StyledPopUpButton, ARightClickOpensTheToolPopUpsMenu) {
    PopUpScene s;
    auto tool = s.place(std::make_shared<ToolPopUpButton>(Rect(20, 20, 60, 20), false, std::nullopt));
    tool->addItems({"Pen", "Brush", "Eraser"});
    tool->setAction("chosen:");
    s.backend->rightMouseDown(vimbratest::centre(*tool));
    ASSERT_TRUE(tool->isMenuShown());
    EXPECT_EQ(s.bezels().front().first, "qel-popup-tool-down");
    s.backend->rightMouseUp(vimbratest::centre(*tool));
    ASSERT_TRUE(tool->isMenuShown());
    s.chooseRow(1);
    EXPECT_EQ(tool->titleOfSelectedItem(), "Brush");
    EXPECT_EQ(s.receiver->log, std::vector<std::string>{"chosen:"});
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popup-tool", 1.0}}));
}

TEST(StyledPopUpButtonDeathTest, EntryFromAnotherThreadStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto offMain = [](const std::function<void()>& body) { std::thread(body).join(); };
    constexpr const char* violation = "Expected same executor as MainActor";
    StyledPopUpButtonCell cell("Title");
    auto button = std::make_shared<StyledPopUpButton>(Rect(0, 0, 100, 22), false, std::nullopt);
    EXPECT_DEATH(offMain([] { StyledPopUpButtonCell("Title"); }), violation);
    EXPECT_DEATH(offMain([] { ToolPopUpButton(Rect(), false, std::nullopt); }), violation);
    EXPECT_DEATH(offMain([&] { cell.titleRectForBounds(Rect(0, 0, 100, 22)); }), violation);
    EXPECT_DEATH(offMain([&] { cell.setLabel("Size"); }), violation);
    EXPECT_DEATH(offMain([&] { button->intrinsicContentSize(); }), violation);
    EXPECT_DEATH(offMain([&] { button->draw(button->bounds()); }), violation);
    EXPECT_DEATH(offMain([&] { button->setLabel("Size"); }), violation);
    EXPECT_DEATH(offMain([&] { button->setTitle("Other"); }), violation);
}

TEST(StyledPopDownButton, PressesLikeAPushButtonUnderATitleOfItsOwn) {
    PopUpScene s;
    auto button = s.place(std::make_shared<StyledPopDownButton>(Rect(20, 20, 140, 22)));
    button->addItems({"One", "Two"});
    EXPECT_FALSE(button->pullsDown());
    // Until it has a title of its own it shows its first item, as a fresh pop-up does.
    EXPECT_EQ(button->title(), "One");
    button->setTitle("Format");
    EXPECT_EQ(button->title(), "Format");
    button->selectItemAt(1);
    button->removeItemAt(0);
    EXPECT_EQ(button->title(), "Format");
    button->setLabel("Export");
    EXPECT_EQ(s.texts(), std::vector<std::string>{"Export Format"});
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popdown", 1.0}}));

    // Without an action a click only flashes the highlight.
    const auto inside = vimbratest::centre(*button);
    s.backend->click(inside);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_TRUE(s.receiver->log.empty());

    button->setAction("pressed:");
    s.backend->mouseDown(inside);
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_FALSE(button->isMenuShown());
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popdown-down", 1.0}}));
    s.backend->mouseUp({inside.x + 200, inside.y}); // released outside
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_TRUE(s.receiver->log.empty());
    s.backend->click(inside);
    EXPECT_EQ(s.receiver->log, std::vector<std::string>{"pressed:"});
    EXPECT_EQ(s.receiver->senders[0], button);
    EXPECT_FALSE(button->isMenuShown());

    // A right press neither opens the menu nor presses the button.
    s.backend->rightMouseDown(inside);
    EXPECT_FALSE(button->isMenuShown());
    EXPECT_FALSE(button->isHighlighted());
    s.backend->rightMouseUp(inside);
    EXPECT_FALSE(button->isMenuShown());
    EXPECT_EQ(s.receiver->log.size(), 1u);

    // The keyboard clicks it too, and opens no menu.
    ASSERT_TRUE(s.window->makeFirstResponder(button));
    s.backend->typeKey(" ");
    EXPECT_FALSE(button->isMenuShown());
    EXPECT_EQ(s.receiver->log.size(), 2u);

    button->setEnabled(false);
    s.backend->click(inside);
    EXPECT_EQ(s.receiver->log.size(), 2u);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(s.bezels(), (Bezels{{"qel-popdown", 0.5}}));
}

TEST(StyledPopDownButtonCell, TitleRectIsCentredOnTheBounds) {
    StyledPopDownButtonCell cell("Title");
    for (const Rect bounds : {Rect(0, 0, 120, 21), Rect(0, 0, 120, 22), Rect(0, 3, 90, 30)}) {
        const Rect toolkit = cell.ui::PopUpButtonCell::titleRectForBounds(bounds);
        const Rect r = cell.titleRectForBounds(bounds);
        EXPECT_EQ(r.x(), std::round(toolkit.x()));
        EXPECT_EQ(r.height(), std::round(toolkit.height()));
        EXPECT_EQ(r.y(), std::round(bounds.midY() - toolkit.height() / 2)) << bounds.height();
    }
    EXPECT_EQ(cell.highlightsBy(), ui::ButtonCell().highlightsBy());
}
