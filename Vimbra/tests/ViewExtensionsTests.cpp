#include "Vimbra/ViewExtensions.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/Bundle.hpp"
#include "ui/Button.hpp"
#include "ui/TextField.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using graphics::Rect;
using namespace vimbra;

namespace {

class Tagged : public ui::View {
public:
    using View::View;
};

std::vector<std::string> identifiers(const std::vector<std::shared_ptr<ui::View>>& views) {
    std::vector<std::string> result;
    for (const auto& view : views) {
        result.push_back(view->identifier());
    }
    return result;
}

// A flipped view that draws a text centred vertically in its bounds, on white.
class CentredText : public ui::View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
    void draw(const Rect&) override {
        graphics::GraphicsContext::current()->fillRect(bounds(), graphics::Color::whiteColor());
        graphics::TextAttributes attributes;
        attributes.font = graphics::Font::systemFont(13);
        attributes.foregroundColor = graphics::Color::black();
        drawVerticallyCentered("Centred Hg", bounds(), attributes);
    }
};

} // namespace

namespace uitest_fill {

// A view that fills its bounds with a colour.
class Filled : public ui::View {
public:
    Filled(const Rect& frame, graphics::ColorRef color) : View(frame), color_(std::move(color)) {}
    void draw(const Rect&) override { graphics::GraphicsContext::current()->fillRect(bounds(), color_); }

private:
    graphics::ColorRef color_;
};

} // namespace uitest_fill

TEST(BundleInfo, StringsOnlyWhenTheValueIsAString) {
    const auto dir = std::filesystem::temp_directory_path() / ("vimbra-info-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Info.json") << R"({"CFBundleDisplayName": 3, "CFBundleName": "Tessaray",
        "CFBundleShortVersionString": "1.2", "CFBundleVersion": "34", "TeamIdentifierPrefix": "K3STR0VA."})";
    auto bundle = core::Bundle::atPath(dir);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->displayName(), std::nullopt);
    EXPECT_EQ(bundle->bundleName(), "Tessaray");
    EXPECT_EQ(bundle->shortVersionString(), "1.2");
    EXPECT_EQ(bundle->bundleVersionString(), "34");
    EXPECT_EQ(bundle->teamIdentifierPrefix(), "K3STR0VA.");
    EXPECT_EQ(bundle->infoString("Missing"), std::nullopt);
    std::filesystem::remove_all(dir);
}

TEST(ViewTree, DescendantsChildrenFirstAncestorsNearestFirst) {
    auto root = makeView("root", Rect(0, 0, 100, 100));
    auto a = makeView<Tagged>("a");
    auto b = makeView("b");
    auto a1 = makeView<Tagged>("a1");
    auto b1 = makeView<Tagged>("b1");
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(a1);
    b->addSubview(b1);
    const auto isTagged = [](const ui::View& v) { return dynamic_cast<const Tagged*>(&v) != nullptr; };
    EXPECT_EQ(identifiers(descendants(*root, isTagged)), (std::vector<std::string>{"a", "a1", "b1"}));
    EXPECT_EQ(identifiers(descendants(*root, [](const ui::View&) { return true; })),
              (std::vector<std::string>{"a", "b", "a1", "b1"}));
    EXPECT_EQ(firstDescendant(*b, isTagged), b1);
    EXPECT_EQ(firstDescendant(*a1, isTagged), nullptr);
    EXPECT_EQ(ancestor<Tagged>(*a1), a);
    EXPECT_EQ(ancestor<Tagged>(*b1), nullptr);
    EXPECT_EQ(ancestor(*b1, [](const ui::View& v) { return v.identifier() == "root"; }), root);
    EXPECT_EQ(a->frame(), Rect());

    removeAllSubviews(*root);
    EXPECT_TRUE(root->subviews().empty());
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_EQ(a1->superview(), a); // only the direct subviews leave
}

TEST(ViewLayout, PinningSeparatorsFlexibleSpacesAndPixels) {
    vimbratest::Scene scene({0, 0, 200, 100}, 2.0);
    auto content = scene.window->contentView();
    auto child = std::make_shared<ui::View>(Rect(5, 5, 10, 10));
    content->addSubview(child);
    pinEdges(child, nullptr, {1, 2, 3, 4});
    EXPECT_TRUE(child->translatesAutoresizingMaskIntoConstraints());
    EXPECT_TRUE(content->constraints().empty());
    anchorToAllSidesOf(child, content, {10, 20, 30, 40}); // top, left, bottom, right
    EXPECT_FALSE(child->translatesAutoresizingMaskIntoConstraints());
    content->layoutSubtreeIfNeeded();
    EXPECT_EQ(child->frame(), Rect(20, 30, 140, 60));

    EXPECT_EQ(onePixel(*child), 0.5);
    EXPECT_EQ(onePixel(ui::View()), 1.0);

    auto separator = makeSeparator();
    EXPECT_EQ(separator->frame(), Rect(0, 0, 50, 1));
    EXPECT_EQ(separator->boxType(), ui::BoxType::separator);
    using O = ui::LayoutConstraintOrientation;
    auto space = makeFlexibleSpace();
    EXPECT_EQ(space->frame(), Rect());
    for (auto o : {O::horizontal, O::vertical}) {
        EXPECT_EQ(space->contentHuggingPriority(o), 50);
        EXPECT_EQ(space->contentCompressionResistancePriority(o), 50);
        EXPECT_EQ(ui::View().contentHuggingPriority(o), 250);
    }
}

TEST(ViewFocus, OnlyTheWindowsFirstResponderIsFirstResponder) {
    vimbratest::Scene scene;
    auto button = ui::Button::make("One", nullptr, {});
    auto other = ui::Button::make("Two", nullptr, {});
    scene.add(button);
    scene.add(other);
    EXPECT_FALSE(isFirstResponder(*button));
    ASSERT_TRUE(scene.window->makeFirstResponder(button));
    EXPECT_TRUE(isFirstResponder(*button));
    EXPECT_FALSE(isFirstResponder(*other));
    EXPECT_FALSE(isFirstResponder(ui::View()));
}

TEST(StringDrawing, TextSitsInTheMiddleOfItsRectAt1xAnd2x) {
    for (double scale : {1.0, 2.0}) {
        vimbratest::Scene scene({0, 0, 240, 60}, scale);
        auto view = std::make_shared<CentredText>(Rect(0, 0, 240, 60));
        scene.add(view);
        scene.backend->displayIfNeeded();
        const int height = static_cast<int>(60 * scale);
        int top = -1;
        int bottom = -1;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < static_cast<int>(240 * scale); ++x) {
                if (scene.backend->pixel(x, y).r < 128) {
                    top = top < 0 ? y : top;
                    bottom = y;
                    break;
                }
            }
        }
        ASSERT_GE(top, 0) << scale;
        // Ink spans the cap height to the descender: its middle lies within a few points of the centre.
        EXPECT_NEAR((top + bottom) / 2.0 / scale, 30.0, 3.0) << scale;
        EXPECT_TRUE(scene.backend->writePNG(std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                                            (scale == 1 ? "centred-text-1x.png" : "centred-text-2x.png")));
    }
}

TEST(KeyViews, AChainedLoopCarriesTabRoundAndAnEditedFieldCountsAsFirstResponder) {
    vimbratest::Scene scene;
    std::vector<std::shared_ptr<ui::View>> fields;
    std::vector<std::shared_ptr<ui::TextField>> typed;
    for (int i = 0; i < 3; ++i) {
        auto field = std::make_shared<ui::TextField>(Rect(20, 20 + 40.0 * i, 120, 22));
        field->setEditable(true);
        scene.add(field);
        fields.push_back(field);
        typed.push_back(field);
    }
    chainKeyViews({fields[0], fields[2], fields[1]}); // a loop in another order than on screen
    EXPECT_EQ(fields[1]->nextKeyView(), fields[0]);
    chainKeyViews({});
    EXPECT_EQ(fields[1]->nextKeyView(), fields[0]);

    ASSERT_TRUE(scene.window->makeFirstResponder(fields[0]));
    // Editing hands the window's first responder to the field editor; the field still counts.
    EXPECT_NE(scene.window->firstResponder(), fields[0]);
    EXPECT_TRUE(isFirstResponder(*fields[0]));
    EXPECT_FALSE(isFirstResponder(*fields[2]));
    scene.backend->typeKey(ui::utf8(ui::SpecialKey::tab));
    EXPECT_TRUE(isFirstResponder(*fields[2]));
    scene.backend->typeKey(ui::utf8(ui::SpecialKey::tab));
    EXPECT_TRUE(isFirstResponder(*fields[1]));
    scene.backend->typeKey(ui::utf8(ui::SpecialKey::tab));
    EXPECT_TRUE(isFirstResponder(*fields[0]));

    auto alone = std::make_shared<ui::View>();
    chainKeyViews({alone});
    EXPECT_EQ(alone->nextKeyView(), alone);
}

TEST(Snapshots, TheViewAndItsSubviewsAtTheWindowsScaleWithTheViewsFrame) {
    vimbratest::Scene scene({0, 0, 200, 100}, 2.0);
    auto view = std::make_shared<uitest_fill::Filled>(Rect(10, 10, 60, 40), graphics::Color::rgba(0, 0, 1));
    auto inner = std::make_shared<uitest_fill::Filled>(Rect(0, 0, 20, 40), graphics::Color::rgba(1, 0, 0));
    view->addSubview(inner);
    scene.add(view);

    auto image = snapshotImage(*view);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (graphics::Size{60, 40}));
    ASSERT_EQ(image->representations().size(), 1u);
    const auto& rep = image->representations()[0];
    EXPECT_EQ(rep->pixelsWide(), 120);
    EXPECT_EQ(rep->pixel(10, 40), (graphics::ImageRep::RGBA{255, 0, 0, 255})); // the subview, on the left
    EXPECT_EQ(rep->pixel(100, 40), (graphics::ImageRep::RGBA{0, 0, 255, 255}));

    auto imageView = snapshotImageView(*view);
    ASSERT_TRUE(imageView);
    EXPECT_EQ(imageView->frame(), view->frame());
    EXPECT_EQ(imageView->image()->size(), image->size());
}
