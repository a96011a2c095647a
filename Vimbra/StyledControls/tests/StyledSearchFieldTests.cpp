// The styled search field and its declarative wrapper, driven by real events on the headless back end
// and checked through their geometry and what they draw.
#include "Vimbra/StyledControls/StyledSearchField.hpp"
#include "Vimbra/StyledControls/StyledSearchFieldWrapper.hpp"
#include "Vimbra/Styles.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "declarative/Hosting.hpp"
#include "ui/Text.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::RecordedOp;
using graphics::Rect;

namespace {

// A cell whose buttons sit where a test wants them: the search button ending at x 26, the cancel
// button starting at x 180 (or none).
class PlacedButtonsCell : public StyledSearchFieldCell {
public:
    Rect searchButtonRectForBounds(const Rect& b) const override { return Rect(6, b.minY() + 3, 20, 16); }
    Rect cancelButtonRectForBounds(const Rect& b) const override {
        return cancelButtonCell() ? Rect(180, b.minY() + 3, 16, 16) : Rect();
    }
};

struct SearchScene : vimbratest::Scene {
    std::shared_ptr<StyledSearchField> field = std::make_shared<StyledSearchField>(Rect(20, 60, 200, 22));
    std::shared_ptr<vimbratest::Receiver> receiver =
        std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"search:"});
    std::vector<std::string> strings;

    SearchScene() : Scene(Rect(200, 300, 260, 140)) {
        add(field);
        receiver->setActionHandler("search:", [this](const std::shared_ptr<ui::Object>&) {
            strings.push_back(field->stringValue());
        });
        field->setTarget(receiver);
        field->setAction("search:");
    }
    std::vector<RecordedOp> redraw() {
        backend->recorder()->clear();
        window->contentView()->setNeedsDisplay();
        backend->displayIfNeeded();
        return backend->recorder()->ops();
    }
    graphics::Point at(double x, double y) const { return field->convertPointToView({x, y}, nullptr); }
    graphics::Point cancelCentre() const {
        const Rect r = field->styledCell()->cancelButtonRectForBounds(field->bounds());
        return at(r.midX(), r.midY());
    }
    void type(const std::string& keys) {
        for (char c : keys) {
            backend->typeKey(std::string(1, c));
        }
    }
};

std::vector<RecordedOp> ofKind(const std::vector<RecordedOp>& ops, DrawOpKind kind) {
    std::vector<RecordedOp> found;
    for (const auto& op : ops) {
        if (op.kind == kind) {
            found.push_back(op);
        }
    }
    return found;
}

bool sameColour(const std::optional<graphics::Color>& a, const graphics::ColorRef& b) {
    return a && b && std::abs(a->red() - b->red()) < 0.01 && std::abs(a->green() - b->green()) < 0.01 &&
           std::abs(a->blue() - b->blue()) < 0.01;
}

} // namespace

TEST(StyledSearchField, TheTextRectRunsFromTheSearchButtonIntoTheCancelButton) {
    auto field = std::make_shared<StyledSearchField>(Rect(0, 0, 200, 22));
    auto cell = std::make_shared<PlacedButtonsCell>();
    field->setCell(cell);
    cell->setVerticallyCenter(false);
    const Rect bounds(0, 0, 200, 22);
    // With the icon the text starts 10 points before the search button's end; without it at 4.
    EXPECT_EQ(cell->searchTextRectForBounds(bounds), Rect(16, 3, 166, 16));
    cell->setShowsSearchIcon(false);
    EXPECT_EQ(cell->searchTextRectForBounds(bounds).minX(), 4);
    // No cancel button: the inherited width.
    cell->setShowsSearchIcon(true);
    cell->setCancelButtonCell(nullptr);
    EXPECT_EQ(cell->searchTextRectForBounds(bounds).width(),
              cell->ui::SearchFieldCell::searchTextRectForBounds(bounds).width());

    // Centred: half the line height above the middle, at the full height.
    cell->resetCancelButtonCell();
    cell->setVerticallyCenter(true);
    field->setStringValue("fox");
    const double h = cell->attributedString("fox", nullptr).size().height;
    const Rect centred = cell->searchTextRectForBounds(bounds);
    EXPECT_EQ(centred.minY(), std::floor(11 - h / 2));
    EXPECT_GE(centred.height(), 16); // the inherited height in whole points, rounded outwards
    EXPECT_LE(centred.height(), 17);

    // The field's own flag reaches the cell and redraws; foreign cells are refused.
    field->setNeedsDisplay(false);
    field->setVerticallyCenter(false);
    EXPECT_FALSE(cell->verticallyCenter());
    EXPECT_TRUE(field->needsDisplay());
    EXPECT_DEATH(field->setCell(std::make_shared<ui::SearchFieldCell>()), "styled search field cell");
}

TEST(StyledSearchField, DrawsTheBezelTextPlaceholderAndCancelButtonByState) {
    SearchScene s;
    s.field->setPlaceholderString("Search");
    auto ops = s.redraw();
    auto images = ofKind(ops, DrawOpKind::image);
    ASSERT_FALSE(images.empty());
    EXPECT_EQ(images.front().imageName, "qel-searchfield");
    auto texts = ofKind(ops, DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Search");
    EXPECT_TRUE(sameColour(texts[0].textColor, Styles::textInputPlaceholderTextColor()));
    // Nothing at the cancel button while empty.
    const Rect cancelInWindow = s.field->convertRectToView(
        s.field->styledCell()->cancelButtonRectForBounds(s.field->bounds()), nullptr);
    auto inCancel = [&](const std::vector<RecordedOp>& drawn) {
        int n = 0;
        for (const auto& op : ofKind(drawn, DrawOpKind::fillPath)) {
            n += cancelInWindow.contains({op.deviceRect.midX(), 140 - op.deviceRect.midY()}) ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(inCancel(ops), 0);

    s.field->setStringValue("fox");
    ops = s.redraw();
    texts = ofKind(ops, DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "fox");
    EXPECT_TRUE(sameColour(texts[0].textColor, s.field->styledCell()->style()->textColor));
    EXPECT_GT(inCancel(ops), 0);

    // Without the icon the plain text-field bezel; without a placeholder and text, no text at all.
    s.field->styledCell()->setShowsSearchIcon(false);
    s.field->setStringValue("");
    auto plain = std::make_shared<StyledSearchField>(Rect(20, 20, 200, 22));
    s.add(plain);
    ops = s.redraw();
    images = ofKind(ops, DrawOpKind::image);
    ASSERT_GE(images.size(), 2u);
    EXPECT_EQ(images[0].imageName, "qel-textfield");
    EXPECT_EQ(images[1].imageName, "qel-searchfield");
    texts = ofKind(ops, DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u); // the first field's placeholder only

    // Setting none clears the placeholder and keeps the last attributed one; a string sets both.
    auto cell = s.field->styledCell();
    cell->setPlaceholder(std::nullopt);
    EXPECT_EQ(cell->placeholder(), std::nullopt);
    EXPECT_EQ(cell->placeholderString(), "");
    ASSERT_TRUE(cell->placeholderAttributedString());
    EXPECT_EQ(cell->placeholderAttributedString()->string(), "Search");
    EXPECT_TRUE(ofKind(s.redraw(), DrawOpKind::text).empty());
    cell->setPlaceholder("Find");
    EXPECT_EQ(cell->placeholder(), std::optional<std::string>("Find"));
    EXPECT_EQ(cell->placeholderString(), "Find");
    EXPECT_EQ(cell->placeholderAttributedString()->string(), "Find");
}

TEST(StyledSearchField, TypingSendsEachEditAndTheCancelButtonClearsIt) {
    SearchScene s;
    s.backend->click(s.at(60, 11));
    auto editor = s.field->currentEditor();
    ASSERT_NE(editor, nullptr);
    // The editor is the style's: no background, the style's text and caret colours.
    EXPECT_FALSE(editor->drawsBackground());
    EXPECT_EQ(editor->textColor(), s.field->styledCell()->style()->textColor);
    EXPECT_EQ(editor->insertionPointColor(), s.field->styledCell()->style()->textColor);
    EXPECT_EQ(editor->selectedTextAttributes().backgroundColor,
              s.field->styledCell()->style()->selectedBackgroundColor);
    // While editing the cell draws no text; the field draws its ring.
    s.type("ab");
    auto ops = s.redraw();
    int drawn = 0;
    for (const auto& op : ofKind(ops, DrawOpKind::text)) {
        drawn += op.text == "ab" ? 1 : 0;
    }
    EXPECT_EQ(drawn, 1) << "the cell drew the text under the editor";
    EXPECT_EQ(s.strings, (std::vector<std::string>{"a", "ab"}));

    s.backend->click(s.cancelCentre());
    EXPECT_EQ(s.field->stringValue(), "");
    EXPECT_EQ(editor->string(), "");
    EXPECT_EQ(s.strings, (std::vector<std::string>{"a", "ab", ""}));
}

TEST(StyledSearchField, TheTextStaysPutWhenTheFieldTakesFocusByClickOrTab) {
    SearchScene s;
    auto other = std::make_shared<ui::TextField>(Rect(20, 20, 200, 22));
    s.add(other);
    s.field->setStringValue("fox");
    // The top-left corner of the drawn text in device pixels (text is laid out from there).
    auto corner = [&] {
        const auto drawn = ofKind(s.redraw(), DrawOpKind::text);
        return drawn.size() == 1 && drawn[0].text == "fox" ? drawn[0].deviceRect.origin
                                                           : graphics::Point(-1, -1);
    };
    const auto unfocused = corner();
    ASSERT_NE(unfocused, graphics::Point(-1, -1));
    s.backend->click(s.at(60, 11));
    ASSERT_NE(s.field->currentEditor(), nullptr);
    EXPECT_EQ(corner(), unfocused) << "focused by a click";
    s.backend->click(other->convertPointToView({10, 11}, nullptr));
    ASSERT_EQ(s.field->currentEditor(), nullptr);
    EXPECT_EQ(corner(), unfocused);
    s.backend->typeKey(ui::utf8(ui::SpecialKey::tab));
    ASSERT_NE(s.field->currentEditor(), nullptr);
    EXPECT_EQ(corner(), unfocused) << "focused by Tab";
}

TEST(StyledSearchField, SizesToItsBezelLessTheAlignmentInsets) {
    auto field = std::make_shared<StyledSearchField>(Rect(0, 0, 200, 22));
    const auto insets = StyledSearchFieldCell::sharedStyle()->alignmentRectInsets;
    EXPECT_EQ(field->alignmentRectInsets(), insets);
    const auto image = field->styledCell()->currentBezelImage();
    ASSERT_NE(image, nullptr);
    // No width of its own (the search field has none), the height at least the bezel's.
    EXPECT_EQ(field->intrinsicContentSize(),
              graphics::Size(ui::View::noIntrinsicMetric,
                             std::max(22.0, image->size().height) - (insets.top + insets.bottom)));
}

// MARK: - The declarative wrapper

namespace {

struct Texts {
    core::Observed<std::string> first{std::string()};
    core::Observed<std::string> second{std::string()};
    core::Observed<bool> useSecond{false};
    core::Observed<std::string> placeholder{std::string("Filter")};
};

// A wrapper bound to one of two strings, by the model's choice. It reads the bound string, as the owner
// of a text shows it, so a change of the text evaluates it again.
struct Root {
    std::shared_ptr<Texts> texts;
    declarative::View body(declarative::Context&) const {
        auto t = texts;
        auto& target = t->useSecond.get() ? t->second : t->first;
        (void)target.get();
        return declarative::View(StyledSearchFieldWrapper(declarative::Binding<std::string>::to(target),
                                                          t->placeholder.get()))
            .frame(200, 22);
    }
};

struct WrapperScene : vimbratest::HostedScene {
    std::shared_ptr<Texts> texts = std::make_shared<Texts>();

    WrapperScene() : HostedScene(Rect(200, 300, 240, 60)) { show(Root{texts}, Rect(0, 0, 240, 60)); }
    std::shared_ptr<StyledSearchField> field() const { return hosted<StyledSearchField>(); }
};

} // namespace

TEST(StyledSearchFieldWrapper, MakesASmallDarkFieldWithAFixedPlaceholder) {
    WrapperScene s;
    auto field = s.field();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->controlSize(), ui::ControlSize::small);
    EXPECT_EQ(field->font()->pointSize(), 11);
    EXPECT_EQ(field->styledCell()->placeholder(), std::optional<std::string>("Filter"));
    EXPECT_EQ(field->appearanceName(), appearanceNameDarkAqua);
    EXPECT_FALSE(field->verticallyCenter());
    EXPECT_FALSE(field->styledCell()->verticallyCenter());
    // A new placeholder for the same identity does not reach the field.
    s.texts->placeholder = std::string("Other");
    s.settle();
    EXPECT_EQ(s.field(), field);
    EXPECT_EQ(field->styledCell()->placeholder(), std::optional<std::string>("Filter"));
}

TEST(StyledSearchFieldWrapper, TheBindingFollowsTypingAndTheFieldFollowsTheBinding) {
    WrapperScene s;
    auto field = s.field();
    ASSERT_NE(field, nullptr);
    s.texts->first = std::string("owl");
    s.settle();
    EXPECT_EQ(field->stringValue(), "owl");

    s.backend->click(vimbratest::centre(*field));
    auto editor = field->currentEditor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    s.type("a");
    s.type("b");
    s.type("c");
    EXPECT_EQ(s.texts->first.get(), "abc");
    // The caret stays where the user put it while the updates come back.
    s.type(ui::utf8(ui::SpecialKey::leftArrow));
    s.type("d");
    EXPECT_EQ(s.texts->first.get(), "abdc");
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{3, 3}));
    s.type("e");
    EXPECT_EQ(s.texts->first.get(), "abdec");
    EXPECT_EQ(editor->string(), "abdec");

    // The cancel button empties the binding.
    const Rect cancel = field->styledCell()->cancelButtonRectForBounds(field->bounds());
    s.backend->click(field->convertPointToView({cancel.midX(), cancel.midY()}, nullptr));
    s.settle();
    EXPECT_EQ(s.texts->first.get(), "");
}

TEST(StyledSearchFieldWrapper, EditsGoThroughTheCurrentBinding) {
    WrapperScene s;
    auto field = s.field();
    ASSERT_NE(field, nullptr);
    s.texts->useSecond = true;
    s.settle();
    EXPECT_EQ(s.field(), field);
    s.backend->click(vimbratest::centre(*field));
    s.type("x");
    EXPECT_EQ(s.texts->second.get(), "x");
    EXPECT_EQ(s.texts->first.get(), "");
}
