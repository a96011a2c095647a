#include "graphics/AttributedString.hpp"
#include "graphics/DrawRecorder.hpp"
#include "graphics/Font.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace graphics;

namespace {

AttributedString text(const std::string& s, FontRef font, LineBreakMode mode = LineBreakMode::wordWrap,
                      TextAlignment alignment = TextAlignment::natural) {
    return AttributedString(s, {std::move(font), Color::whiteColor(), nullptr, {alignment, mode}});
}

// Rows and columns of a canvas that hold any ink.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
};

Ink inkOf(BitmapCanvas& canvas, int width, int height) {
    Ink ink;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (canvas.pixel(x, y).a > 64) {
                if (ink.top < 0)
                    ink.top = y;
                ink.bottom = y;
                ink.left = ink.left < 0 ? x : std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
            }
    return ink;
}

} // namespace

TEST(Font, SystemFontsResolveWithMetrics) {
    EXPECT_TRUE(Font::familyExists(Font::systemFamily));
    EXPECT_TRUE(Font::familyExists("dejavu sans")); // case-insensitive
    EXPECT_EQ(Font::named("No Such Family Anywhere", 12), nullptr);
    ASSERT_TRUE(Font::named("DejaVu Sans Mono", 12));

    FontRef font = Font::systemFont(20);
    EXPECT_GT(font->ascender(), 10);
    EXPECT_LT(font->descender(), 0);
    EXPECT_GE(font->lineHeight(), font->ascender() - font->descender() - 1);
    EXPECT_GT(font->capHeight(), 10);
    EXPECT_LT(font->capHeight(), font->ascender());
    EXPECT_NEAR(Font::systemFont(40)->capHeight(), 2 * font->capHeight(), 1.0); // 1 pt = 1 px, scales

    EXPECT_EQ(*Font::systemFont(10), *Font::systemFont(10));
    EXPECT_FALSE(*Font::systemFont(10) == *Font::monospacedDigitSystemFont(10));

    EXPECT_FALSE(Font::registerFontFile("/nonexistent/font.ttf"));
    auto notAFont =
        std::filesystem::temp_directory_path() / ("gfx-not-a-font-" + std::to_string(::getpid()) + ".ttf");
    std::ofstream(notAFont) << "plain text";
    EXPECT_FALSE(Font::registerFontFile(notAFont));
    std::filesystem::remove(notAFont);
}

TEST(Text, MeasurementFollowsFontAndDigits) {
    FontRef regular = Font::systemFont(12);
    Size hello = text("Hello", regular).size();
    EXPECT_GT(hello.width, 20);
    EXPECT_NEAR(hello.height, regular->lineHeight(), 0.5);
    EXPECT_NEAR(text("Hello", Font::systemFont(24)).size().width, 2 * hello.width, 1.0);
    EXPECT_GT(text("Hello", Font::boldSystemFont(12)).size().width, hello.width);

    // An empty string still has the height of one line, so layouts do not collapse.
    Size empty = text("", regular).size();
    EXPECT_EQ(empty.width, 0);
    EXPECT_NEAR(empty.height, regular->lineHeight(), 0.5);

    FontRef digits = Font::monospacedDigitSystemFont(12);
    EXPECT_DOUBLE_EQ(text("1111", digits).size().width, text("8888", digits).size().width);

    // Runs keep their own fonts.
    AttributedString mixed = text("ab", regular);
    mixed.append(text("cd", Font::systemFont(30)));
    EXPECT_EQ(mixed.string(), "abcd");
    EXPECT_EQ(mixed.attributesAt(3).font->pointSize(), 30);
    EXPECT_GT(mixed.size().height, Font::systemFont(30)->lineHeight() - 1);
}

TEST(Text, LineBreakModesWrapClipAndTruncate) {
    FontRef font = Font::systemFont(12);
    const std::string sentence = "The quick brown fox jumps over the lazy dog";
    const double width = 80;
    const double line = text("x", font).size().height;

    Size natural = text(sentence, font).size();
    ASSERT_GT(natural.width, width);

    Size wrapped = text(sentence, font, LineBreakMode::wordWrap).boundingSize({width, 0});
    EXPECT_LE(wrapped.width, width);
    EXPECT_GT(wrapped.height, 2 * line - 0.5);

    Size clipped = text(sentence, font, LineBreakMode::clipping).boundingSize({width, 0});
    EXPECT_NEAR(clipped.height, line, 0.5);
    EXPECT_EQ(clipped.width, width);

    std::string tail = text(sentence, font, LineBreakMode::truncatingTail).displayedText(width);
    EXPECT_LT(tail.size(), sentence.size());
    EXPECT_EQ(tail.rfind("\u2026"), tail.size() - 3) << tail;
    EXPECT_EQ(tail.rfind("The", 0), 0u);
    EXPECT_NEAR(text(sentence, font, LineBreakMode::truncatingTail).boundingSize({width, 0}).height, line,
                0.5);

    std::string head = text(sentence, font, LineBreakMode::truncatingHead).displayedText(width);
    EXPECT_EQ(head.rfind("\u2026", 0), 0u) << head;
    EXPECT_EQ(head.substr(head.size() - 3), "dog");

    std::string middle = text(sentence, font, LineBreakMode::truncatingMiddle).displayedText(width);
    auto at = middle.find("\u2026");
    ASSERT_NE(at, std::string::npos) << middle;
    EXPECT_GT(at, 0u);
    EXPECT_LT(at, middle.size() - 3);

    // Text that fits is shown whole.
    EXPECT_EQ(text("fox", font, LineBreakMode::truncatingTail).displayedText(width), "fox");
}

TEST(Text, ALineLimitWrapsTruncatingTextAndCutsWrappedText) {
    FontRef font = Font::systemFont(12);
    const std::string sentence = "The quick brown fox jumps over the lazy dog and runs on and on";
    const double width = 80;
    const double line = text("x", font).size().height;
    auto limited = [&](LineBreakMode mode, int lines) {
        AttributedString s = text(sentence, font, mode);
        TextAttributes attributes = s.attributesAt(0);
        attributes.paragraphStyle.maximumNumberOfLines = lines;
        return AttributedString(sentence, attributes);
    };

    // Truncating text on two lines: wrapped at words, the second line ends in an ellipsis.
    AttributedString two = limited(LineBreakMode::truncatingTail, 2);
    EXPECT_NEAR(two.boundingSize({width, 0}).height, 2 * line, 1.0);
    std::string shown = two.displayedText(width);
    EXPECT_EQ(shown.rfind("…"), shown.size() - 3) << shown;
    EXPECT_EQ(shown.rfind("The quick", 0), 0u) << shown;
    // One line, or no limit, truncates to a single line as before.
    EXPECT_NEAR(limited(LineBreakMode::truncatingTail, 1).boundingSize({width, 0}).height, line, 0.5);
    EXPECT_NEAR(limited(LineBreakMode::truncatingTail, 0).boundingSize({width, 0}).height, line, 0.5);

    // Wrapped text keeps its first three lines, without an ellipsis.
    AttributedString three = limited(LineBreakMode::wordWrap, 3);
    EXPECT_NEAR(three.boundingSize({width, 0}).height, 3 * line, 1.0);
    EXPECT_GT(text(sentence, font).boundingSize({width, 0}).height, 3 * line + 1);
    std::string cut = three.displayedText(width);
    EXPECT_EQ(cut.find("…"), std::string::npos) << cut;
    EXPECT_LT(cut.size(), sentence.size());
    // A limit that the text does not reach changes nothing.
    EXPECT_EQ(limited(LineBreakMode::wordWrap, 20).boundingSize({width, 0}),
              text(sentence, font).boundingSize({width, 0}));
}

TEST(Text, DrawingIsRecordedAndUprightInBothOrientations) {
    AttributedString hello = text("Hello", Font::systemFont(20));

    BitmapCanvas up({100, 40}, 1, false, true);
    up.context().drawText(hello, Rect{0, 0, 100, 40});
    auto ops = up.recorder()->ops(DrawOpKind::text);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].text, "Hello");
    EXPECT_EQ(ops[0].fontSize, 20);
    EXPECT_TRUE(ops[0].textColor->sameComponents(*Color::whiteColor()));
    EXPECT_EQ(ops[0].deviceRect, Rect(0, 0, 100, 40));

    // The first line starts at the rect's top in both orientations, and looks the same.
    BitmapCanvas down({100, 40}, 1, true);
    down.context().drawText(hello, Rect{0, 0, 100, 40});
    Ink a = inkOf(up, 100, 40);
    ASSERT_GE(a.top, 0);
    EXPECT_LT(a.bottom, 30);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(up.pixel(x, y), down.pixel(x, y)) << x << "," << y;

    // Centred text has its ink in the middle; nothing is drawn outside the rect.
    BitmapCanvas centred({200, 40});
    centred.context().drawText(
        text("Hi", Font::systemFont(20), LineBreakMode::clipping, TextAlignment::center),
        Rect{0, 0, 200, 40});
    Ink c = inkOf(centred, 200, 40);
    EXPECT_NEAR((c.left + c.right) / 2.0, 100, 4);

    BitmapCanvas clipped({100, 40});
    clipped.context().drawText(hello, Rect{0, 30, 100, 10}); // a rect at the top, too short for the line
    Ink d = inkOf(clipped, 100, 40);
    EXPECT_GE(d.top, 0);
    EXPECT_LT(d.bottom, 10);
}

// At one pixel per point the point of "1.0" in the kit's light face stands on its own: its ink reaches at
// least half the digits' peak, with a faint column between it and each digit, wherever the text starts.
TEST(Text, APointBetweenDigitsStaysVisibleAtOnePixelPerPoint) {
    ASSERT_TRUE(Font::familyExists("Dosis"));
    const auto font = std::make_shared<const Font>("Dosis", 13, FontWeight::light, false);
    for (int tenth = 0; tenth < 10; ++tenth) {
        SCOPED_TRACE("starting " + std::to_string(tenth) + "/10 of a pixel to the right");
        BitmapCanvas canvas({30, 20});
        canvas.context().drawText(text("1.0", font, LineBreakMode::clipping),
                                  Rect{2 + tenth / 10.0, 0, 28, 20});
        const Ink ink = inkOf(canvas, 30, 20);
        ASSERT_GE(ink.top, 0);
        // The digits are the columns with ink in the upper half of the line; the point lies between them.
        std::vector<int> column(30, 0), upper(30, 0);
        for (int x = 0; x < 30; ++x)
            for (int y = 0; y < 20; ++y) {
                column[x] = std::max<int>(column[x], canvas.pixel(x, y).a);
                if (y < (ink.top + ink.bottom) / 2)
                    upper[x] = std::max<int>(upper[x], canvas.pixel(x, y).a);
            }
        int oneEnds = 0;
        while (oneEnds < 30 && upper[oneEnds] < 64)
            ++oneEnds;
        while (oneEnds < 30 && upper[oneEnds] >= 64)
            ++oneEnds;
        int zeroStarts = oneEnds;
        while (zeroStarts < 30 && upper[zeroStarts] < 64)
            ++zeroStarts;
        ASSERT_LT(zeroStarts, 30);
        const int peak = *std::max_element(column.begin(), column.end());
        const auto point = std::max_element(column.begin() + oneEnds, column.begin() + zeroStarts);
        EXPECT_GE(*point * 2, peak) << "the point's ink against the digits' peak";
        EXPECT_LT(*std::min_element(column.begin() + oneEnds, point), 64) << "a gap after the 1";
        EXPECT_LT(*std::min_element(point + 1, column.begin() + zeroStarts), 64) << "a gap before the 0";
    }
}

// Attribute ranges are byte ranges, but a run never starts or ends inside a multi-byte character.
TEST(Text, AttributeRangesNeverSplitAUtf8Sequence) {
    AttributedString text("h\xC3\xA9llo \xE2\x82\xAC!"); // "héllo €!"
    TextAttributes red;
    red.foregroundColor = Color::rgba(1, 0, 0);
    text.setAttributes(red, 2, 1); // inside é
    text.setAttributes(red, 8, 2); // from inside € to inside it
    for (const TextRun& run : text.runs()) {
        for (const std::size_t edge : {run.start, run.start + run.length}) {
            ASSERT_TRUE(edge >= text.string().size() ||
                        (static_cast<unsigned char>(text.string()[edge]) & 0xC0) != 0x80)
                << "a run edge at byte " << edge;
        }
    }
    EXPECT_EQ(text.attributesAt(1).foregroundColor, red.foregroundColor) << "é as a whole took the attribute";
    EXPECT_EQ(text.attributesAt(7).foregroundColor, red.foregroundColor) << "€ as a whole took the attribute";
    EXPECT_GT(text.size().width, 0);
    // A byte that is not part of a well-formed sequence is a character of its own.
    AttributedString bytes("a\xAF\xE2\x82z");
    bytes.setAttributes(red, 1, 1);
    bytes.setAttributes(red, 3, 1);
    EXPECT_NE(bytes.attributesAt(0).foregroundColor, red.foregroundColor);
    EXPECT_EQ(bytes.attributesAt(1).foregroundColor, red.foregroundColor);
    EXPECT_NE(bytes.attributesAt(2).foregroundColor, red.foregroundColor);
    EXPECT_EQ(bytes.attributesAt(3).foregroundColor, red.foregroundColor);
    EXPECT_NE(bytes.attributesAt(4).foregroundColor, red.foregroundColor);
}
