// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

// clang-format off
// Xlib comes before the toolkit's headers on purpose: they must not collide with its macros.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "InputTree.hpp"
#include "XSendEvents.hpp"
#include "X11TestFixture.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Clipboard.hpp"
#include "display/X11Display.hpp"
#include "ui/OutlineView.hpp"
#include "ui/ScrollView.hpp"
#include "ui/StringDrawing.hpp"
#include "ui/TableView.hpp"
#include "ui/Text.hpp"
#include "ui/TextEditing.hpp"
#include "ui/TextField.hpp"
#include "ui/ToolTip.hpp"
// clang-format on

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <unistd.h>

using graphics::Rect;

namespace {

using displaytest::pumpUntil;
using displaytest::sendClick;
using displaytest::sendKey;

// Text fields on a display of ours on an X server of their own.
class X11TextField : public displaytest::X11TestFixture {};

} // namespace

TEST_F(X11TextField, ClickTypeTabAndReturnMoveThroughTheFields) {
    openDisplay();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }

    auto window = ui::Window::make(Rect(0, 0, 200, 100));
    auto first = std::make_shared<ui::TextField>(Rect(10, 60, 180, 22));
    auto second = std::make_shared<ui::TextField>(Rect(10, 20, 180, 22));
    window->contentView()->addSubview(first);
    window->contentView()->addSubview(second);
    auto target = std::make_shared<ui::Responder>();
    std::vector<std::string> actions;
    target->setActionHandler("commit:", [&](const std::shared_ptr<ui::Object>& sender) {
        actions.push_back(std::dynamic_pointer_cast<ui::TextField>(sender)->stringValue());
    });
    for (auto& field : {first, second}) {
        field->setTarget(target);
        field->setAction("commit:");
    }
    std::shared_ptr<display::X11WindowBackend> backend;
    showWindow(window, backend);
    if (HasFatalFailure()) {
        return;
    }
    ::Display* dpy = display->xdisplay();

    // The first field's middle, in X's y-down pixels: y = 100 - (60 + 11).
    sendClick(dpy, backend->xid(), 40, 29);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil([&] { return first->currentEditor() != nullptr; }));
    EXPECT_EQ(window->firstResponder(), first->currentEditor());
    for (KeySym key : {XK_h, XK_i}) {
        sendKey(dpy, backend->xid(), key);
    }
    sendKey(dpy, backend->xid(), XK_Tab);
    sendKey(dpy, backend->xid(), XK_o);
    sendKey(dpy, backend->xid(), XK_k);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil([&] { return second->stringValue() == "ok"; }));
    EXPECT_EQ(first->stringValue(), "hi");
    EXPECT_EQ(first->currentEditor(), nullptr);
    EXPECT_EQ(window->firstResponder(), second->currentEditor());

    sendKey(dpy, backend->xid(), XK_Return);
    sendKey(dpy, backend->xid(), XK_ISO_Left_Tab, ShiftMask);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil([&] { return first->currentEditor() != nullptr; }));
    EXPECT_EQ(actions, (std::vector<std::string>{"hi", "ok", "ok"}));
    // What the screen shows: the first field's bezel region was drawn again with the editor in it.
    EXPECT_GT(backend->presentedFrames(), 1);
}

TEST_F(X11TextField, AHoverOverCutTextShowsItWholeInAToolTipThatNeverTakesTheFocus) {
    openDisplay();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }

    const std::string text = "The quick brown fox jumps over the lazy dog";
    auto window = ui::Window::make(Rect(40, 200, 200, 100));
    auto field = ui::TextField::labelWithString(text);
    field->setFrame(Rect(10, 40, 100, 22));
    field->setLineBreakMode(graphics::LineBreakMode::truncatingTail);
    field->setAllowsExpansionToolTips(true);
    window->contentView()->addSubview(field);
    // The hover delay runs on a clock the test moves.
    auto clock = std::make_shared<core::ManualClock>();
    core::MainQueue queue;
    core::RunLoop loop(queue, clock);
    window->setAnimationRunLoop(&loop);
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil([&] { return backend->isMapped() && window->isKeyWindow(); }));

    // Onto the field (y down: 100 - (40 + 11)); the tip waits for the delay.
    const auto [rootX, rootY] = input.rootPosition(backend->xid(), 50, 49);
    input.moveTo(rootX, rootY);
    const bool early = displaytest::pumpUntil(
        *display,
        [&] {
            loop.fireDueTimers();
            return field->expansionToolTipWindow() != nullptr;
        },
        std::chrono::milliseconds(300));
    EXPECT_FALSE(early);
    clock->advance(std::chrono::milliseconds(1100));
    ASSERT_TRUE(pumpUntil([&] {
        loop.fireDueTimers();
        return field->expansionToolTipWindow() != nullptr;
    }));
    auto tip = field->expansionToolTipWindow();
    auto tipBackend = std::dynamic_pointer_cast<display::X11WindowBackend>(tip->backend());
    ASSERT_NE(tipBackend, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return tipBackend->isMapped(); }));
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display->xdisplay(), tipBackend->xid(), &attributes), 0);
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(std::dynamic_pointer_cast<ui::ToolTipView>(tip->contentView())->text().string(), text);
    display->pump();
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_FALSE(tip->isKeyWindow());
    EXPECT_TRUE(backend->hasFocus());

    // Off the field: the tip goes.
    const auto [outX, outY] = input.rootPosition(backend->xid(), 180, 10);
    input.moveTo(outX, outY);
    ASSERT_TRUE(pumpUntil([&] { return tip->isClosed(); }));
    window->setAnimationRunLoop(nullptr);
}

namespace {

// A window with one text field, shown and key on a display of ours, the field being edited.
struct EditedField {
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 200, 60));
    std::shared_ptr<ui::TextField> field = std::make_shared<ui::TextField>(Rect(10, 20, 180, 22));
    std::shared_ptr<display::X11WindowBackend> backend;

    bool open(display::X11Display& display) {
        window->contentView()->addSubview(field);
        backend = display.createWindow(window);
        if (!backend) {
            return false;
        }
        window->makeKeyAndOrderFront();
        if (!pumpUntil(display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; })) {
            return false;
        }
        // The field's middle, y down: 60 - (20 + 11).
        sendClick(display.xdisplay(), backend->xid(), 40, 29);
        return pumpUntil(display, [&] { return field->currentEditor() != nullptr; });
    }
    std::string editedText() const {
        auto editor = std::dynamic_pointer_cast<ui::Text>(field->currentEditor());
        return editor ? editor->string() : std::string();
    }
};

// Another client on its own connection and thread that owns the CLIPBOARD and answers requests for it
// with a text, until it is stopped (or a bounded time has passed). Joined when it goes out of scope. A
// silent one holds the latest request unanswered until told to answer.
class ForeignOwner {
public:
    ForeignOwner(const std::string& server, std::string text, bool answering = true)
        : answering_(answering), thread_([this, server, text = std::move(text)] { run(server, text); }) {}
    ~ForeignOwner() {
        stop_ = true;
        thread_.join();
    }
    // Whether the client owns the selection (waits up to a generous limit).
    bool waitUntilOwning() const {
        for (int i = 0; i < 2000 && !owning_ && !failed_; ++i) {
            usleep(5000);
        }
        return owning_;
    }
    int answered() const { return answered_; }
    int requests() const { return requests_; }
    void setAnswering(bool answering) { answering_ = answering; }

private:
    void run(const std::string& server, const std::string& text) {
        ::Display* dpy = XOpenDisplay(server.c_str());
        if (!dpy) {
            failed_ = true;
            return;
        }
        const ::Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
        const Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
        const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
        XSetSelectionOwner(dpy, clipboard, window, CurrentTime);
        owning_ = XGetSelectionOwner(dpy, clipboard) == window;
        // About 30 s at most, whatever the test does.
        std::optional<XSelectionRequestEvent> held;
        for (int i = 0; i < 15000 && !stop_; ++i) {
            XEvent e;
            if (XCheckTypedWindowEvent(dpy, window, SelectionRequest, &e)) {
                held = e.xselectionrequest;
                ++requests_;
            }
            if (held && answering_) {
                const auto r = *held;
                held.reset();
                XEvent reply{};
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = r.requestor;
                reply.xselection.selection = r.selection;
                reply.xselection.target = r.target;
                reply.xselection.time = r.time;
                reply.xselection.property = None;
                if (r.target == utf8) {
                    XChangeProperty(dpy, r.requestor, r.property, utf8, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(text.data()),
                                    static_cast<int>(text.size()));
                    reply.xselection.property = r.property;
                }
                XSendEvent(dpy, r.requestor, False, NoEventMask, &reply);
                XFlush(dpy);
                ++answered_;
            }
            usleep(2000);
        }
        XCloseDisplay(dpy);
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> owning_{false};
    std::atomic<bool> failed_{false};
    std::atomic<int> answered_{0};
    std::atomic<int> requests_{0};
    std::atomic<bool> answering_;
    std::thread thread_;
};

} // namespace

TEST_F(X11TextField, CopyAndPasteGoThroughTheClipboardOtherClientsSee) {
    openDisplay();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    EditedField edited;
    ASSERT_TRUE(edited.open(*display));
    ::Display* dpy = display->xdisplay();
    const unsigned long xid = edited.backend->xid();

    // Typed, selected and copied: another client reads it, served while our display is pumped.
    for (KeySym key : {XK_c, XK_o, XK_p, XK_y}) {
        sendKey(dpy, xid, key);
    }
    sendKey(dpy, xid, XK_a, ControlMask);
    sendKey(dpy, xid, XK_c, ControlMask);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil([&] { return edited.editedText() == "copy"; }));
    display->pump();

    ::Display* reader = XOpenDisplay(server.name().c_str());
    ASSERT_NE(reader, nullptr);
    const ::Window readerWindow = XCreateSimpleWindow(reader, DefaultRootWindow(reader), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(reader, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(reader, "UTF8_STRING", False);
    const Atom property = XInternAtom(reader, "READER_PROPERTY", False);
    XConvertSelection(reader, clipboard, utf8, property, readerWindow, CurrentTime);
    XFlush(reader);
    XEvent event{};
    bool answered = false;
    pumpUntil([&] {
        answered = answered || XCheckTypedWindowEvent(reader, readerWindow, SelectionNotify, &event);
        return answered;
    });
    std::string copied;
    if (answered && event.xselection.property == property) {
        Atom type;
        int format;
        unsigned long count, remaining;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(reader, readerWindow, property, 0, 1024, True, AnyPropertyType, &type, &format,
                               &count, &remaining, &data) == Success &&
            data) {
            copied.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
        }
    }
    XCloseDisplay(reader);
    ASSERT_TRUE(answered);
    EXPECT_EQ(copied, "copy");

    // Another client takes the clipboard: Control-V replaces the selection with its text, which our
    // display waits for while that client answers from its own thread.
    ForeignOwner owner(server.name(), "pasted");
    ASSERT_TRUE(owner.waitUntilOwning());
    sendKey(dpy, xid, XK_v, ControlMask);
    XFlush(dpy);
    EXPECT_TRUE(pumpUntil([&] { return edited.editedText() == "pasted"; }));
    EXPECT_GE(owner.answered(), 1);
}

TEST_F(X11TextField, APasteLandsWhenItsTextArrivesWithoutHoldingUpTheKeysTypedAfterIt) {
    openDisplay();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    // Clipboard timeouts run on a clock the test moves.
    struct ClockSwap {
        std::shared_ptr<core::Clock> saved = core::RunLoop::main().clock();
        std::shared_ptr<core::ManualClock> manual = std::make_shared<core::ManualClock>(saved->now());
        ClockSwap() { core::RunLoop::main().setClock(manual); }
        ~ClockSwap() { core::RunLoop::main().setClock(saved); }
    } clock;
    EditedField edited;
    ASSERT_TRUE(edited.open(*display));
    ::Display* dpy = display->xdisplay();
    const unsigned long xid = edited.backend->xid();

    // The owner stays silent: a key typed after Control-V is handled while the paste waits, and the
    // text goes in where the caret is when it arrives.
    ForeignOwner owner(server.name(), "pasted", false);
    ASSERT_TRUE(owner.waitUntilOwning());
    sendKey(dpy, xid, XK_v, ControlMask);
    const auto typed = std::chrono::steady_clock::now();
    sendKey(dpy, xid, XK_k);
    ASSERT_TRUE(pumpUntil([&] { return edited.editedText() == "k"; }));
    const auto latency = std::chrono::steady_clock::now() - typed;
    std::printf("[ figure ] key handled %.1f ms after a Control-V to a silent owner\n",
                std::chrono::duration<double, std::milli>(latency).count());
    ASSERT_TRUE(pumpUntil([&] { return owner.requests() == 1; }));
    owner.setAnswering(true);
    EXPECT_TRUE(pumpUntil([&] { return edited.editedText() == "kpasted"; }));

    // A paste still waiting when the field loses the focus is dropped.
    owner.setAnswering(false);
    sendKey(dpy, xid, XK_v, ControlMask);
    ASSERT_TRUE(pumpUntil([&] { return owner.requests() == 2; }));
    edited.window->makeFirstResponder(nullptr);
    EXPECT_EQ(edited.field->stringValue(), "kpasted");
    owner.setAnswering(true);
    ASSERT_TRUE(pumpUntil([&] { return owner.answered() == 2 && !display->clipboard()->isReading(); }));
    EXPECT_EQ(edited.field->stringValue(), "kpasted");
    EXPECT_EQ(edited.field->currentEditor(), nullptr);

    // So is one that gets no answer in time; a late answer then changes nothing.
    sendClick(dpy, xid, 40, 29);
    ASSERT_TRUE(pumpUntil([&] { return edited.field->currentEditor() != nullptr; }));
    owner.setAnswering(false);
    const std::string before = edited.editedText();
    sendKey(dpy, xid, XK_v, ControlMask);
    ASSERT_TRUE(pumpUntil([&] { return owner.requests() == 3; }));
    EXPECT_TRUE(display->clipboard()->isReading());
    clock.manual->advance(std::chrono::milliseconds(1001));
    ASSERT_TRUE(pumpUntil([&] { return !display->clipboard()->isReading(); }));
    owner.setAnswering(true);
    ASSERT_TRUE(pumpUntil([&] { return owner.answered() == 3; }));
    displaytest::pumpUntil(
        *display, [] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(edited.editedText(), before);
}

TEST_F(X11TextField, TheFieldEditorTakesTheDisplaysClipboardUnlessGivenAnother) {
    openDisplay();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }

    // An editor made before the window had a back end gets the display's clipboard with it.
    auto early = ui::Window::make(Rect(0, 0, 100, 40));
    auto earlyEditor = early->fieldEditor(true, nullptr);
    EXPECT_FALSE(earlyEditor->clipboardAccess().write);
    ASSERT_NE(display->createWindow(early), nullptr);
    ASSERT_TRUE(earlyEditor->clipboardAccess().write);
    earlyEditor->clipboardAccess().write("early");
    ASSERT_NE(display->clipboard(), nullptr);
    EXPECT_TRUE(display->clipboard()->ownsSelection());
    EXPECT_EQ(earlyEditor->clipboardAccess().read(), "early");

    // One given a clipboard of its own keeps it, made before the back end or after.
    std::string board;
    const ui::TextClipboardAccess own{[&] { return std::optional<std::string>(board); },
                                      [&](const std::string& text) { board = text; }};
    auto kept = ui::Window::make(Rect(0, 0, 100, 40));
    kept->fieldEditor(true, nullptr)->setClipboardAccess(own);
    ASSERT_NE(display->createWindow(kept), nullptr);
    kept->fieldEditor(false, nullptr)->clipboardAccess().write("own");
    EXPECT_EQ(board, "own");
    EXPECT_EQ(display->clipboard()->text(), "early");

    // The display closes: the windows' editors keep functions that now do nothing.
    display->detach();
    early->close();
    kept->close();
    display.reset();
    earlyEditor->clipboardAccess().write("gone");
    EXPECT_EQ(earlyEditor->clipboardAccess().read(), std::nullopt);
}
