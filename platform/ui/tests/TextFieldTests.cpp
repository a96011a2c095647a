#include "Helpers.hpp"
#include "core/MainQueue.hpp"
#include "core/NotificationCenter.hpp"
#include "core/Text.hpp"
#include "graphics/Image.hpp"
#include "ui/Button.hpp"
#include "ui/StringDrawing.hpp"
#include "ui/TextField.hpp"

#include <algorithm>
#include <functional>
#include <glib.h>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <utility>

using graphics::Point;
using graphics::Rect;
using ui::EventType;

namespace {

// A key window with two text fields, a button between them and a counting action target.
struct FormScene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 240, 120));
    std::shared_ptr<ui::TextField> first = std::make_shared<ui::TextField>(Rect(10, 80, 200, 22));
    std::shared_ptr<ui::Button> button = ui::Button::make("OK", nullptr, "");
    std::shared_ptr<ui::TextField> second = std::make_shared<ui::TextField>(Rect(10, 20, 200, 22));
    std::shared_ptr<ui::Responder> target = std::make_shared<ui::Responder>();
    std::vector<std::string> actions;

    FormScene() {
        for (auto& v : std::vector<std::shared_ptr<ui::View>>{first, button, second}) {
            window->contentView()->addSubview(v);
        }
        button->setFrame(Rect(10, 50, 60, 22));
        target->setActionHandler("commit:", [this](const std::shared_ptr<ui::Object>& sender) {
            auto field = std::dynamic_pointer_cast<ui::TextField>(sender);
            actions.push_back(field ? field->stringValue() : "?");
        });
        for (auto& f : {first, second}) {
            f->setTarget(target);
            f->setAction("commit:");
        }
        window->makeKeyWindow();
    }
    void type(const std::string& text, ui::ModifierFlags flags = 0) {
        window->sendEvent(ui::Event::keyEvent(EventType::keyDown, text, text, flags, 0, 0, window));
    }
    void click(const std::shared_ptr<ui::View>& view, double x = 5) {
        const Point p = view->convertPointToView({x, view->bounds().midY()}, nullptr);
        window->sendEvent(uitest::mouse(EventType::leftMouseDown, p.x, p.y, window));
        window->sendEvent(uitest::mouse(EventType::leftMouseUp, p.x, p.y, window));
    }
};

} // namespace

TEST(FieldEditor, EditingSessionsFromClickToReturnAndTab) {
    FormScene s;
    int changes = 0;
    auto observer = core::NotificationCenter::defaultCenter().addObserver(
        "NSControlTextDidChangeNotification", s.first.get(), [&](const core::Notification&) { ++changes; });
    EXPECT_EQ(s.first->currentEditor(), nullptr);

    s.click(s.first);
    auto editor = s.first->currentEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isFieldEditor());
    EXPECT_EQ(editor, s.window->fieldEditor(false, nullptr));
    EXPECT_EQ(s.window->firstResponder(), editor);
    EXPECT_EQ(editor->delegate(), s.first);
    EXPECT_TRUE(s.first->textFieldCell()->showsFirstResponder());

    s.type("h");
    s.type("é");
    s.type("y");
    s.type(ui::utf8(ui::SpecialKey::leftArrow));
    s.type(ui::utf8(ui::SpecialKey::backspace)); // removes the two-byte character whole
    EXPECT_EQ(s.first->stringValue(), "hy");     // the value follows the editor while editing
    EXPECT_EQ(changes, 4);
    EXPECT_TRUE(s.actions.empty());

    // Return sends the action once and leaves the field editing again, its text selected.
    s.type(ui::utf8(ui::SpecialKey::carriageReturn));
    EXPECT_EQ(s.actions, (std::vector<std::string>{"hy"}));
    EXPECT_EQ(s.window->firstResponder(), editor);
    EXPECT_EQ(s.first->currentEditor(), editor);
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{0, 2}));
    s.type("z");
    EXPECT_EQ(s.first->stringValue(), "z");
    // A click on the field's margin, beside its editor, keeps the session going.
    s.click(s.first, 1);
    EXPECT_EQ(s.first->currentEditor(), editor);
    EXPECT_EQ(s.actions.size(), 1u);

    // Tab ends the session (sending the action), passes the button (it does not take focus by click
    // order here, it is skipped only if it refuses) and reaches the next field.
    s.button->cell()->setRefusesFirstResponder(true);
    s.type(ui::utf8(ui::SpecialKey::tab));
    EXPECT_EQ(s.actions, (std::vector<std::string>{"hy", "z"}));
    EXPECT_EQ(s.first->currentEditor(), nullptr);
    EXPECT_FALSE(s.first->textFieldCell()->showsFirstResponder());
    EXPECT_EQ(s.second->currentEditor(), editor);
    EXPECT_EQ(editor->superview(), s.second);
    EXPECT_EQ(s.window->firstResponder(), editor);
    s.type("2");
    s.type(ui::utf8(ui::SpecialKey::backTab));
    EXPECT_EQ(s.second->stringValue(), "2");
    EXPECT_EQ(s.first->currentEditor(), editor);

    // Escape travels up as the cancel command and leaves the session alone; taking the field out of
    // the window ends the session quietly.
    s.type(ui::utf8(ui::SpecialKey::escape));
    EXPECT_EQ(s.first->currentEditor(), editor);
    const auto sent = s.actions.size();
    s.first->removeFromSuperview();
    EXPECT_EQ(s.first->currentEditor(), nullptr);
    EXPECT_EQ(editor->superview(), nullptr);
    EXPECT_EQ(s.window->firstResponder(), s.window);
    EXPECT_EQ(s.actions.size(), sent);
}

TEST(FieldEditor, TypingPasteAndInsertKeepWellFormedTextWithoutControlCharacters) {
    FormScene s;
    s.click(s.first);
    auto editor = s.first->currentEditor();
    ASSERT_NE(editor, nullptr);
    std::optional<std::string> board = std::string("abc\0hidden\xFF\xFE", 12);
    editor->setClipboardAccess({[&] { return board; }, {}});
    s.type("v", ui::Modifier::control);
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(s.first->stringValue(), "abchidden" + fffd + fffd);
    s.type("\x80"); // a stray continuation byte typed after the text
    s.type("b");
    editor->insertText("\t\x7f\x1b\r\n\xC3");
    EXPECT_EQ(s.first->stringValue(), "abchidden" + fffd + fffd + fffd + "b  " + fffd);
    // Well formed, so Pango lays it out as it is: the caret moves over every character.
    const std::string value = s.first->stringValue();
    EXPECT_EQ(core::validUTF8(value, value.size()), value);
    for (std::size_t i = 0; i < value.size(); i = ui::nextCharacterBoundary(value, i)) {
        EXPECT_LT(editor->caretOffset(i), editor->caretOffset(ui::nextCharacterBoundary(value, i))) << i;
    }
    // The program's own value is stored as given.
    s.first->setStringValue(std::string("a\0\xFF", 3));
    EXPECT_EQ(s.first->stringValue(), std::string("a\0\xFF", 3));
}

TEST(FieldEditor, LineAndParagraphSeparatorsBecomeSpacesInTypedPastedAndInsertedText) {
    FormScene s;
    s.click(s.first);
    auto editor = s.first->currentEditor();
    ASSERT_NE(editor, nullptr);
    std::optional<std::string> board = std::string("abcdef\u2028ghijkl");
    editor->setClipboardAccess({[&] { return board; }, {}});
    s.type("v", ui::Modifier::control);
    s.type("\u2029");
    editor->insertText("\xC2\x85z");
    EXPECT_EQ(s.first->stringValue(), "abcdef ghijkl  z");
    // One line: the caret moves right over every character.
    const std::string value = s.first->stringValue();
    for (std::size_t i = 0; i < value.size(); ++i) {
        EXPECT_LT(editor->caretOffset(i), editor->caretOffset(i + 1)) << i;
    }
    // The program's own value is stored as given.
    s.first->setStringValue("a\u2028b\u2029c\xC2\x85");
    EXPECT_EQ(s.first->stringValue(), "a\u2028b\u2029c\xC2\x85");
}

namespace {
// The byte offsets where characters start in text, and its end, as GLib reads UTF-8: a well-formed
// sequence is one character, every other byte one of its own.
std::vector<std::size_t> characterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        const gunichar c = g_utf8_get_char_validated(text.data() + i, static_cast<gssize>(text.size() - i));
        i += c < 0x110000 ? static_cast<std::size_t>(g_utf8_skip[static_cast<unsigned char>(text[i])]) : 1;
    }
    starts.push_back(text.size());
    return starts;
}
} // namespace

TEST(FieldEditor, StoredIllFormedBytesAreCharactersOfTheirOwnAndTypedTextLandsInOrder) {
    FormScene s;
    s.first->setStringValue("\xAF");
    ASSERT_TRUE(s.window->makeFirstResponder(s.first));
    auto editor = s.first->currentEditor();
    ASSERT_NE(editor, nullptr);
    s.type(ui::utf8(ui::SpecialKey::home));
    s.type("a");
    s.type("b");
    EXPECT_EQ(s.first->stringValue(), "ab\xAF");

    // Random editing of stored text holding stray continuation bytes, truncated leads, overlong forms,
    // surrogates and bytes past the code space: the caret and the selection stay on characters, the
    // arrows and deletion take one character, typing lands at the caret, and each character is hit
    // where the caret before it is drawn.
    const std::vector<std::string> fragments = {"a",
                                                " ",
                                                "\u00E9",
                                                "\u20AC",
                                                "\U0001F600",
                                                "\x80",
                                                "\xBF",
                                                "\xC3",
                                                "\xE2\x82",
                                                "\xF0\x9F\x98",
                                                "\xC0\xAF",
                                                "\xE0\x80\xAF",
                                                "\xED\xA0\x80",
                                                "\xF4\x90\x80\x80",
                                                "\xF8\x88\x80\x80\x80",
                                                "\xFE",
                                                "\xFF"};
    std::mt19937 random(2024);
    const auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int round = 0; round < 20; ++round) {
        std::string stored;
        for (int i = 0; i < 10; ++i) {
            stored += fragments[pick(fragments.size())];
        }
        s.first->setStringValue(stored);
        const auto storedStarts = characterStarts(stored);
        for (const std::size_t b : storedStarts) {
            EXPECT_EQ(editor->characterIndexForX(editor->caretOffset(b)), b) << round;
        }
        for (int step = 0; step < 40; ++step) {
            const std::string before = editor->string();
            const auto starts = characterStarts(before);
            const auto [lo, hi] = editor->selectedRange();
            const auto at = std::find(starts.begin(), starts.end(), lo);
            ASSERT_NE(at, starts.end());
            const std::size_t previous = at == starts.begin() ? 0 : *(at - 1);
            const std::size_t next = lo == before.size() ? lo : *(at + 1);
            const bool empty = lo == hi;
            std::string expected = before;
            switch (pick(7)) {
            case 0:
                s.type(ui::utf8(ui::SpecialKey::leftArrow));
                EXPECT_EQ(editor->selectedRange().first, empty ? previous : lo);
                break;
            case 1:
                s.type(ui::utf8(ui::SpecialKey::rightArrow));
                EXPECT_EQ(editor->selectedRange().second, empty ? next : hi);
                break;
            case 2:
                s.type(ui::utf8(pick(2) ? ui::SpecialKey::leftArrow : ui::SpecialKey::rightArrow),
                       ui::Modifier::shift);
                break;
            case 3:
                s.type(ui::utf8(ui::SpecialKey::backspace));
                expected.erase(empty ? previous : lo, empty ? lo - previous : hi - lo);
                break;
            case 4:
                s.type(ui::utf8(ui::SpecialKey::deleteForward));
                expected.erase(lo, empty ? next - lo : hi - lo);
                break;
            case 5: {
                const std::string typed = pick(2) ? "x" : "\u00E9";
                s.type(typed);
                expected.replace(lo, hi - lo, typed);
                EXPECT_EQ(editor->selectedRange().first, lo + typed.size());
                break;
            }
            default:
                s.click(editor,
                        static_cast<double>(pick(static_cast<std::size_t>(editor->bounds().width()))));
                break;
            }
            ASSERT_EQ(editor->string(), expected) << round << " " << step;
            const auto now = characterStarts(expected);
            for (const std::size_t offset : {editor->model().anchor(), editor->model().caret()}) {
                EXPECT_NE(std::find(now.begin(), now.end(), offset), now.end()) << round << " " << step;
            }
        }
    }
}

TEST(FieldEditor, AHugePasteIsLaidOutAsAFreshLayoutOnceTheRunLoopRunsDry) {
    FormScene s;
    auto backend = std::make_shared<uitest::FakeBackend>(s.window->frame().size, 1.0);
    s.window->setBackend(backend);
    s.click(s.first);
    auto editor = s.first->currentEditor();
    ASSERT_NE(editor, nullptr);
    std::function<void(std::optional<std::string>)> answer;
    editor->setClipboardAccess({{}, {}, [&](std::function<void(std::optional<std::string>)> handler) {
                                    answer = std::move(handler);
                                }});
    std::mt19937 random(7);
    for (const std::size_t length : {std::size_t{3000}, std::size_t{128} << 10}) {
        std::string text;
        while (text.size() < length) {
            // Words of 1 to 10 letters, now and then one of 300, longer than a piece of a measured line.
            const int letters = random() % 64 == 0 ? 300 : std::uniform_int_distribution<int>(1, 10)(random);
            for (int i = letters; i > 0; --i) {
                text += static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(random));
            }
            text += random() % 8 == 0 ? "\u00E9 " : " ";
        }
        s.first->setStringValue("");
        s.type("v", ui::Modifier::control);
        ASSERT_TRUE(answer);
        answer(text);
        // Shown at once: the end of the text with the caret after it.
        const double end = editor->caretOffset(text.size());
        EXPECT_GE(end, editor->bounds().minX());
        EXPECT_LE(end, editor->bounds().maxX());
        backend->recorder()->clear();
        s.window->display();
        bool drawn = false;
        for (const auto& op : backend->recorder()->ops(graphics::DrawOpKind::text)) {
            drawn = drawn || (op.text.size() >= 20 && op.text.size() < 8192 &&
                              text.ends_with(op.text.substr(op.text.size() - 20)));
        }
        EXPECT_TRUE(drawn) << length;
        // Edits at once, at the end, in the middle, across much of the text and near the start.
        s.type("x");
        editor->setSelectedRange(text.size() / 2, 0);
        s.type("y");
        editor->setSelectedRange(text.size() / 3, text.size() / 2);
        s.type(ui::utf8(ui::SpecialKey::backspace));
        editor->setSelectedRange(100, 3);
        s.type("z");
        core::MainQueue::shared().drain();

        const std::string value = editor->string();
        auto fresh = std::make_shared<ui::Text>(editor->frame());
        fresh->setFont(editor->font());
        fresh->setString(value);
        fresh->caretOffset(0);
        core::MainQueue::shared().drain();
        const double origin = editor->caretOffset(0);
        const double freshOrigin = fresh->caretOffset(0);
        const std::size_t step = length < 4096 ? 1 : 97;
        int differing = 0;
        for (std::size_t i = 0; i <= value.size(); i += step) {
            std::size_t b = i;
            while (b < value.size() && (static_cast<unsigned char>(value[b]) & 0xC0) == 0x80) {
                ++b;
            }
            differing += editor->caretOffset(b) - origin != fresh->caretOffset(b) - freshOrigin;
        }
        EXPECT_EQ(differing, 0) << length;
        // The caret after the last edit is in view.
        const double caretX = editor->caretOffset(editor->model().caret());
        EXPECT_GE(caretX, editor->bounds().minX());
        EXPECT_LE(caretX, editor->bounds().maxX());
    }
}

namespace {
// Counts the ends of editing it hears and throws at the next one when told to.
struct ThrowingDelegate : ui::Object, ui::TextFieldDelegate {
    int ends = 0;
    bool throwNext = false;
    void controlTextDidEndEditing(ui::TextField&) override {
        ++ends;
        if (std::exchange(throwNext, false)) {
            throw std::runtime_error("delegate");
        }
    }
};
} // namespace

TEST(FieldEditor, ASessionEndsWholeWhenTheDelegateThrowsAtItsEnd) {
    FormScene s;
    auto delegate = std::make_shared<ThrowingDelegate>();
    s.first->setDelegate(delegate);
    ASSERT_TRUE(s.window->makeFirstResponder(s.first));
    delegate->throwNext = true;
    EXPECT_THROW(s.window->makeFirstResponder(s.second), std::runtime_error);
    s.window->makeFirstResponder(s.second);
    ASSERT_NE(s.second->currentEditor(), nullptr);
    // The editor still ends each session: one field at a time reports it.
    ASSERT_TRUE(s.window->makeFirstResponder(s.first));
    EXPECT_EQ(s.second->currentEditor(), nullptr);
    EXPECT_EQ(s.first->currentEditor(), s.window->fieldEditor(false, nullptr));
    int ends = delegate->ends;
    ASSERT_TRUE(s.window->makeFirstResponder(s.second));
    EXPECT_EQ(delegate->ends, ends + 1);

    // The same when a session is abandoned.
    ASSERT_TRUE(s.window->makeFirstResponder(s.first));
    delegate->throwNext = true;
    EXPECT_THROW(s.first->abortEditing(), std::runtime_error);
    ASSERT_TRUE(s.window->makeFirstResponder(s.second));
    ASSERT_TRUE(s.window->makeFirstResponder(s.first));
    EXPECT_EQ(s.second->currentEditor(), nullptr);
    ends = delegate->ends;
    ASSERT_TRUE(s.window->makeFirstResponder(s.second));
    EXPECT_EQ(delegate->ends, ends + 1);
}

TEST(FieldEditor, LabelsPassClicksOnAndFieldsRefuseFocusWhenDisabled) {
    FormScene s;
    auto label = ui::TextField::labelWithString("Name");
    label->setFrameOrigin({100, 50});
    s.window->contentView()->addSubview(label);
    EXPECT_FALSE(label->acceptsFirstResponder());
    s.click(label);
    EXPECT_EQ(s.window->firstResponder(), s.window);
    s.second->setEnabled(false);
    EXPECT_FALSE(s.window->makeFirstResponder(s.second));
    EXPECT_EQ(s.second->currentEditor(), nullptr);
    // A value set while editing replaces the editor's text.
    ASSERT_TRUE(s.window->makeFirstResponder(s.first));
    s.first->setStringValue("new");
    EXPECT_EQ(s.first->currentEditor()->string(), "new");
}

TEST(KeyViewLoop, TabAndShiftTabSkipViewsThatCannotTakeFocus) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 200, 200));
    std::vector<std::shared_ptr<uitest::ProbeView>> views;
    for (int i = 0; i < 4; ++i) {
        views.push_back(std::make_shared<uitest::ProbeView>(Rect(10, 160 - 40 * i, 50, 20)));
        views.back()->accepts = true;
        views.back()->handlesKeys = false;
        window->contentView()->addSubview(views.back());
    }
    window->makeKeyWindow();
    auto tab = [&](ui::ModifierFlags flags = 0) {
        window->sendEvent(ui::Event::keyEvent(EventType::keyDown, "\t", "\t", flags, 0, 0, window));
    };
    // No loop set: one is made from the positions, top to bottom; Tab from nothing starts at the top.
    tab();
    EXPECT_EQ(window->firstResponder(), views[0]);
    tab();
    EXPECT_EQ(window->firstResponder(), views[1]);
    EXPECT_EQ(views[3]->nextKeyView(), views[0]);

    // An explicit loop 0 -> 2 -> 1 -> 3 with 2 refusing focus and 1 hidden.
    views[0]->setNextKeyView(views[2]);
    views[2]->setNextKeyView(views[1]);
    views[1]->setNextKeyView(views[3]);
    views[3]->setNextKeyView(views[0]);
    EXPECT_EQ(views[1]->previousKeyView(), views[2]);
    views[2]->accepts = false;
    views[1]->setHidden(true);
    window->makeFirstResponder(views[0]);
    tab();
    EXPECT_EQ(window->firstResponder(), views[3]);
    tab();
    EXPECT_EQ(window->firstResponder(), views[0]);
    tab(ui::Modifier::shift);
    EXPECT_EQ(window->firstResponder(), views[3]);
    window->sendEvent(
        ui::Event::keyEvent(EventType::keyDown, ui::utf8(ui::SpecialKey::backTab), {}, 0, 0, 0, window));
    EXPECT_EQ(window->firstResponder(), views[0]);
    // Alone in its loop, a view keeps focus; a loop that never returns ends.
    views[2]->setNextKeyView(nullptr);
    views[3]->accepts = false;
    tab();
    EXPECT_EQ(window->firstResponder(), views[0]);
}

TEST(Snapshot, CachedDisplayHasTheWindowsPixels) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 120, 90));
    auto backend = std::make_shared<uitest::FakeBackend>(window->frame().size, 2.0);
    window->setBackend(backend);
    auto panel = std::make_shared<uitest::ProbeView>(Rect(10, 15, 80, 60));
    panel->fill = graphics::Color::rgba(0.1, 0.3, 0.8);
    auto flipped = std::make_shared<uitest::ProbeView>(Rect(5, 5, 30, 20), true);
    flipped->fill = graphics::Color::rgba(0.9, 0.6, 0.1);
    auto label = ui::TextField::labelWithString("Snap");
    label->setFrameOrigin({40, 30});
    panel->addSubview(flipped);
    panel->addSubview(label);
    window->contentView()->addSubview(panel);
    window->display();

    auto rep = panel->bitmapImageRepForCachingDisplay(panel->bounds());
    ASSERT_NE(rep, nullptr);
    EXPECT_EQ(rep->pixelsWide(), 160);
    EXPECT_EQ(rep->pixelsHigh(), 120);
    panel->cacheDisplay(panel->bounds(), *rep);
    auto shown = graphics::Image::fromSurface(backend->surface(), 2.0)->bestRepresentation(2.0);
    // The panel's frame in device pixels of the window (y down): x 20..180, y (90-75)*2..(90-15)*2.
    int differing = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            differing += !(rep->pixel(x, y) == shown->pixel(20 + x, 30 + y));
        }
    }
    EXPECT_EQ(differing, 0);
    // A part of a view: only that rect, and outside a window at scale 1.
    panel->removeFromSuperview();
    auto part = panel->bitmapImageRepForCachingDisplay(Rect(5, 5, 30, 20));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->pixelsWide(), 30);
    panel->cacheDisplay(Rect(5, 5, 30, 20), *part);
    const auto orange = part->pixel(15, 10);
    EXPECT_NEAR(orange.r, 0.9 * 255, 1);
    EXPECT_NEAR(orange.g, 0.6 * 255, 1);
    EXPECT_NEAR(orange.b, 0.1 * 255, 1);
    EXPECT_EQ(part->pixel(0, 0).a, 255);
}

TEST(StringDrawing, BoundingRectWrapsOrTruncatesPerLineAndDrawingStaysInside) {
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(12);
    const std::string text = "one two three four five six seven";
    const double line = graphics::AttributedString("X", attributes).size().height;
    const double unwrapped = graphics::AttributedString(text, attributes).size().width;

    const Rect wrapped =
        ui::boundingRect(text, {60, 0}, ui::StringDrawingOptions::usesLineFragmentOrigin, attributes);
    EXPECT_EQ(wrapped.origin, Point(0, 0));
    EXPECT_LE(wrapped.width(), 60);
    EXPECT_GE(wrapped.height(), 3 * line - 0.5);
    // Without the option: one line, however narrow the size.
    const Rect single = ui::boundingRect(text, {60, 0}, 0, attributes);
    EXPECT_NEAR(single.height(), line, 0.5);
    EXPECT_NEAR(single.width(), unwrapped, 0.5);
    // Truncating modes keep one line per paragraph.
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    const Rect cut = ui::boundingRect(text + "\nsecond paragraph", {60, 0},
                                      ui::StringDrawingOptions::usesLineFragmentOrigin, attributes);
    EXPECT_NEAR(cut.height(), 2 * line, 0.5);
    EXPECT_LE(cut.width(), 60);

    // Drawn into its bounding rect, wrapped text leaves ink in the last line and none below it.
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::wordWrap;
    attributes.foregroundColor = graphics::Color::black();
    auto image = graphics::Image::draw(
        {80, 100}, 1.0,
        [&](graphics::GraphicsContext&) {
            ui::drawWithRect(text, Rect(0, 0, 60, 100), ui::StringDrawingOptions::usesLineFragmentOrigin,
                             attributes);
        },
        true);
    auto rep = image->bestRepresentation(1.0);
    auto inkInRows = [&](int from, int to) {
        for (int y = from; y < to; ++y) {
            for (int x = 0; x < 80; ++x) {
                if (rep->pixel(x, y).a > 0) {
                    return true;
                }
            }
        }
        return false;
    };
    const int bottom = static_cast<int>(std::ceil(wrapped.height()));
    EXPECT_TRUE(inkInRows(bottom - static_cast<int>(line), bottom));
    EXPECT_FALSE(inkInRows(bottom + 1, 100));
}

TEST(TextEditingModel, KeysMoveExtendDeleteAndUseTheClipboardOnCharacterBoundaries) {
    ui::TextEditingModel model("añb");
    std::optional<std::string> board;
    ui::TextClipboardAccess clipboard{[&] { return board; }, [&](const std::string& text) { board = text; }};
    auto key = [&](char32_t special, ui::ModifierFlags flags = 0) {
        return model.handleKey(ui::utf8(special), special, flags, clipboard);
    };
    auto chars = [&](const std::string& text, ui::ModifierFlags flags = 0) {
        return model.handleKey(text, std::nullopt, flags, clipboard);
    };
    EXPECT_EQ(model.caret(), 4u); // after the text: "ñ" is two bytes
    EXPECT_EQ(key(ui::SpecialKey::leftArrow), ui::TextKeyResult::moved);
    EXPECT_EQ(key(ui::SpecialKey::leftArrow, ui::Modifier::shift), ui::TextKeyResult::moved);
    EXPECT_EQ(model.selectedRange(), (std::pair<std::size_t, std::size_t>{1, 3}));
    // A selection collapses to its near end on a plain arrow.
    key(ui::SpecialKey::rightArrow);
    EXPECT_EQ(model.selectedRange(), (std::pair<std::size_t, std::size_t>{3, 3}));
    EXPECT_EQ(key(ui::SpecialKey::backspace), ui::TextKeyResult::edited);
    EXPECT_EQ(model.text(), "ab");
    // A selection set inside a character moves out to its start.
    model.setText("añb");
    model.setSelection(2, 2);
    EXPECT_EQ(model.caret(), 1u);

    chars("a", ui::Modifier::command);
    EXPECT_EQ(model.selectedRange(), (std::pair<std::size_t, std::size_t>{0, 4}));
    EXPECT_EQ(chars("x", ui::Modifier::command), ui::TextKeyResult::edited);
    EXPECT_EQ(board, "añb");
    EXPECT_EQ(model.text(), "");
    board = "two\nlines";
    chars("v", ui::Modifier::control);
    EXPECT_EQ(model.text(), "two lines"); // one line only
    // Control characters are not text; Return and Tab are left to the caller.
    EXPECT_EQ(chars("\x01"), ui::TextKeyResult::ignored);
    EXPECT_EQ(key(ui::SpecialKey::enter), ui::TextKeyResult::submit);
    EXPECT_EQ(key(ui::SpecialKey::tab, ui::Modifier::shift), ui::TextKeyResult::backTab);
    EXPECT_EQ(model.text(), "two lines");
}
