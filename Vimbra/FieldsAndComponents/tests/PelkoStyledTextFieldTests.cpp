// The declarative styled text field: the binding both ways while the user types, the environment's text
// settings on the field, the line limit as drawn and the tool tip that shows cut text whole, all through
// real events on the headless back end.
#include "Vimbra/FieldsAndComponents/PelkoStyledTextField.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "declarative/Hosting.hpp"
#include "ui/Text.hpp"
#include "ui/ToolTip.hpp"

#include <chrono>
#include <gtest/gtest.h>

using namespace vimbra;
using graphics::Rect;

namespace {

const std::string longText = "The quick brown fox jumps over the lazy dog and keeps on running";

struct Model {
    core::Observed<std::string> first{std::string()};
    core::Observed<std::string> second{std::string()};
    core::Observed<bool> useSecond{false};
    core::Observed<bool> disabled{false};
    core::Observed<std::optional<int>> lineLimit{std::optional<int>()};
    int writes = 0;
    std::vector<bool> editing;
};

// The field bound to one of two strings, in the model's environment. It reads the bound string, as the
// owner of a text shows it, so a change of the text evaluates it again.
struct Root {
    std::shared_ptr<Model> model;
    declarative::View body(declarative::Context&) const {
        auto m = model;
        auto& target = m->useSecond.get() ? m->second : m->first;
        (void)target.get();
        declarative::Binding<std::string> binding([&target] { return target.get(); },
                                                  [&target, m](std::string v) {
                                                      ++m->writes;
                                                      target.set(std::move(v));
                                                  });
        return declarative::View(PelkoStyledTextField("Name", binding, nullptr,
                                                      [m](bool editing) { m->editing.push_back(editing); }))
            .lineLimit(m->lineLimit.get())
            .multilineTextAlignment(declarative::TextAlignment::center)
            .truncationMode(declarative::TruncationMode::middle)
            .allowsTightening(true)
            .disabled(m->disabled.get())
            .frame(200, 22);
    }
};

struct FieldScene : vimbratest::HostedScene {
    std::shared_ptr<Model> model = std::make_shared<Model>();

    FieldScene() : HostedScene(Rect(200, 300, 240, 60)) { show(Root{model}, Rect(0, 0, 240, 60)); }
    std::shared_ptr<StyledTextField> field() const { return hosted<StyledTextField>(); }
};

} // namespace

TEST(PelkoStyledTextField, MakesTheFieldFromTheEnvironmentWithoutItsString) {
    declarative::Environment environment;
    environment.lineLimit = 3;
    environment.multilineTextAlignment = declarative::TextAlignment::trailing;
    environment.truncationMode = declarative::TruncationMode::head;
    environment.allowsTightening = true;
    environment.isEnabled = false;
    const PelkoStyledTextField value("Name", declarative::Binding<std::string>::constant("Warm pad"));
    auto coordinator = value.makeCoordinator();
    auto field = value.makeView({environment, coordinator});
    EXPECT_EQ(field->stringValue(), "");
    EXPECT_EQ(field->placeholderString(), "Name");
    EXPECT_TRUE(field->allowsExpansionToolTips());
    EXPECT_FALSE(field->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(field->delegate(), coordinator);
    EXPECT_EQ(field->maximumNumberOfLines(), 3);
    EXPECT_EQ(field->alignment(), graphics::TextAlignment::right);
    EXPECT_EQ(field->lineBreakMode(), graphics::LineBreakMode::truncatingHead);
    EXPECT_TRUE(field->allowsDefaultTighteningForTruncation());
    EXPECT_FALSE(field->isEnabled());
    // The style given is kept; none gives a new one.
    EXPECT_NE(value.style(), nullptr);
}

TEST(PelkoStyledTextField, TheEnvironmentReachesTheFieldAtEachUpdate) {
    FieldScene s;
    auto field = s.field();
    ASSERT_NE(field, nullptr);
    // As wide as the tree makes it (the field has no width of its own).
    EXPECT_EQ(field->frame().width(), 200);
    EXPECT_EQ(field->maximumNumberOfLines(), 0); // no limit
    EXPECT_EQ(field->alignment(), graphics::TextAlignment::center);
    EXPECT_EQ(field->lineBreakMode(), graphics::LineBreakMode::truncatingMiddle);
    EXPECT_TRUE(field->isEnabled());
    s.model->lineLimit = std::optional<int>(2);
    s.model->disabled = true;
    s.settle();
    EXPECT_EQ(s.field(), field);
    EXPECT_EQ(field->maximumNumberOfLines(), 2);
    EXPECT_FALSE(field->isEnabled());
}

TEST(PelkoStyledTextField, TypingWritesTheBindingOnceAKeyAndKeepsTheCaret) {
    FieldScene s;
    auto field = s.field();
    ASSERT_NE(field, nullptr);
    s.model->first = std::string("owl");
    s.settle();
    EXPECT_EQ(field->stringValue(), "owl");
    s.model->writes = 0;

    s.backend->click(vimbratest::centre(*field));
    auto editor = field->currentEditor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    s.type("a");
    EXPECT_EQ(s.model->writes, 1);
    EXPECT_EQ(s.model->editing, (std::vector<bool>{true}));
    s.type("b");
    s.type("c");
    s.type(ui::utf8(ui::SpecialKey::leftArrow));
    s.type("d");
    s.type("e");
    EXPECT_EQ(s.model->first.get(), "abdec");
    EXPECT_EQ(editor->string(), "abdec");

    // Ending editing reports false and writes nothing.
    const int writes = s.model->writes;
    s.window->makeFirstResponder(nullptr);
    s.settle();
    EXPECT_EQ(s.model->editing.back(), false);
    EXPECT_EQ(s.model->writes, writes);
}

TEST(PelkoStyledTextField, EditsGoThroughTheCurrentBinding) {
    FieldScene s;
    auto field = s.field();
    ASSERT_NE(field, nullptr);
    s.model->useSecond = true;
    s.settle();
    EXPECT_EQ(s.field(), field);
    s.backend->click(vimbratest::centre(*field));
    s.type("x");
    EXPECT_EQ(s.model->second.get(), "x");
    EXPECT_EQ(s.model->first.get(), "");
}

namespace {

// The rows of a field's drawing in its window that hold bright ink (the text), device pixels.
std::pair<int, int> textRows(vimbratest::Scene& scene, const ui::View& field) {
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();
    const Rect r = field.convertRectToView(field.bounds(), nullptr);
    const double height = scene.window->contentView()->bounds().height();
    int top = -1;
    int bottom = -1;
    for (int y = static_cast<int>(height - r.maxY()) + 3; y < static_cast<int>(height - r.minY()) - 3; ++y) {
        for (int x = static_cast<int>(r.minX()) + 4; x < static_cast<int>(r.maxX()) - 4; ++x) {
            const auto p = scene.backend->pixel(x, y);
            if (p.r > 150 && p.g > 150 && p.b > 150) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
        }
    }
    return {top, bottom};
}

} // namespace

TEST(PelkoStyledTextField, TheLineLimitIsDrawnWrappedAndTruncated) {
    vimbratest::Scene scene(Rect(200, 300, 220, 80));
    declarative::Environment environment;
    const PelkoStyledTextField value(std::nullopt, declarative::Binding<std::string>::constant(longText));
    auto coordinator = value.makeCoordinator();
    auto field = value.makeView({environment, coordinator});
    value.updateView(*field, {environment, coordinator});
    field->setFrame(Rect(10, 10, 180, 60));
    scene.add(field);
    const double line = field->styledCell()->attributedString("x", nullptr).size().height;
    const auto one = textRows(scene, *field);
    ASSERT_GE(one.first, 0);
    EXPECT_LT(one.second - one.first, line + 1);

    environment.lineLimit = 2;
    value.updateView(*field, {environment, coordinator});
    const auto two = textRows(scene, *field);
    EXPECT_GT(two.second - two.first, line);
    EXPECT_LT(two.second - two.first, 2 * line + 1);
    const std::string shown =
        field->styledCell()
            ->attributedString(longText, nullptr)
            .displayedText(field->styledCell()->titleRectForBounds(field->bounds()).width());
    EXPECT_EQ(shown.rfind("\u2026"), shown.size() - 3) << shown;
}

TEST(PelkoStyledTextField, CutTextShowsWholeInATipAfterTheHoverDelay) {
    FieldScene s;
    auto clock = std::make_shared<core::ManualClock>();
    core::MainQueue queue;
    core::RunLoop loop(queue, clock);
    s.window->setAnimationRunLoop(&loop);
    auto wait = [&](double seconds) {
        clock->advance(
            std::chrono::duration_cast<core::Clock::Duration>(std::chrono::duration<double>(seconds)));
        loop.fireDueTimers();
    };
    auto field = s.field();
    ASSERT_NE(field, nullptr);
    s.model->first = longText;
    s.settle();

    s.backend->mouseMoved(vimbratest::centre(*field));
    wait(0.5);
    EXPECT_EQ(field->expansionToolTipWindow(), nullptr);
    wait(0.6);
    auto tip = field->expansionToolTipWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->isPopUp());
    EXPECT_FALSE(tip->isKeyWindow());
    auto view = std::dynamic_pointer_cast<ui::ToolTipView>(tip->contentView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->text().string(), longText);
    s.backend->mouseMoved({230, 55});
    EXPECT_TRUE(tip->isClosed());
    // A field that leaves its window takes its tip along.
    s.backend->mouseMoved(vimbratest::centre(*field));
    wait(1.1);
    tip = field->expansionToolTipWindow();
    ASSERT_NE(tip, nullptr);
    field->removeFromSuperview();
    EXPECT_TRUE(tip->isClosed());
    s.host->addSubview(field);

    // Text that fits shows none.
    s.model->first = std::string("owl");
    s.settle();
    s.backend->mouseMoved(vimbratest::centre(*field));
    wait(3);
    EXPECT_EQ(field->expansionToolTipWindow(), nullptr);
    s.window->setAnimationRunLoop(nullptr);
}
