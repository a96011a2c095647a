// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Xvfb.hpp"
#include "core/Log.hpp"
#include "core/RunLoop.hpp"
#include "display/Clipboard.hpp"
#include "display/X11Clipboard.hpp"
#include "display/X11Display.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <poll.h>
#include <string>
#include <string_view>
#include <thread>

namespace {

// Another client: a raw connection with a window of its own.
struct Client {
    explicit Client(const std::string& name) : dpy(XOpenDisplay(name.c_str())) {
        if (dpy) {
            window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
            clipboard = XInternAtom(dpy, "CLIPBOARD", False);
            utf8 = XInternAtom(dpy, "UTF8_STRING", False);
            property = XInternAtom(dpy, "CLIENT_PROPERTY", False);
        }
    }
    ~Client() {
        if (dpy) {
            XCloseDisplay(dpy);
        }
    }
    // Asks the clipboard's owner for a target, pumping our display while it answers; the property's
    // type and bytes, or nullopt without an answer.
    std::optional<std::pair<Atom, std::string>> convert(display::X11Display& display, Atom target) {
        XConvertSelection(dpy, clipboard, target, property, window, CurrentTime);
        XFlush(dpy);
        XEvent event{};
        bool answered = false;
        for (int i = 0; i < 400 && !answered; ++i) {
            display.pump();
            answered = XCheckTypedWindowEvent(dpy, window, SelectionNotify, &event);
            usleep(5000);
        }
        if (!answered || event.xselection.property != property) {
            return std::nullopt;
        }
        Atom type;
        int format;
        unsigned long count, remaining;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, window, property, 0, 1024, True, AnyPropertyType, &type, &format, &count,
                               &remaining, &data) != Success) {
            return std::nullopt;
        }
        std::pair<Atom, std::string> result{type, std::string(reinterpret_cast<char*>(data), count)};
        XFree(data);
        return result;
    }
    ::Display* dpy;
    ::Window window = 0;
    Atom clipboard = 0, utf8 = 0, property = 0;
};

// Another client that takes the CLIPBOARD on a thread and connection of its own and hands each request
// for it to `answer`, which may leave it unanswered. It closes its connection (letting the selection go)
// when it goes out of scope, or sooner when an answer calls quit().
class Owner {
public:
    using Answer = std::function<void(Owner&, const XSelectionRequestEvent&)>;

    Owner(const std::string& server, Answer answer)
        : answer_(std::move(answer)), thread_([this, server] { run(server); }) {}
    ~Owner() {
        stop_ = true;
        thread_.join();
    }
    bool waitUntilOwning() const {
        for (int i = 0; i < 2000 && !owning_ && !ended_; ++i) {
            usleep(5000);
        }
        return owning_;
    }
    int requests() const { return requests_; }

    // For answers, on the owner's thread.
    // Puts the bytes on the requestor's property as the type and tells it so.
    void reply(const XSelectionRequestEvent& r, Atom type, std::string_view bytes) {
        XChangeProperty(dpy, r.requestor, r.property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        notify(r, r.property);
    }
    // The same in pieces (ICCCM INCR): each once the requestor deleted the one before, then an empty
    // one. After `pieces` pieces the owner dies instead. True when the requestor deleted the empty piece.
    bool replyIncrementally(const XSelectionRequestEvent& r, Atom type, std::string_view bytes,
                            std::size_t pieceSize, std::size_t pieces = SIZE_MAX) {
        XSelectInput(dpy, r.requestor, PropertyChangeMask);
        const long size = static_cast<long>(bytes.size());
        XChangeProperty(dpy, r.requestor, r.property, incr, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&size), 1);
        notify(r, r.property);
        for (std::size_t at = 0, n = 0;; at += pieceSize, ++n) {
            if (!deleted(r)) {
                return false;
            }
            if (n == pieces) {
                quit();
                return false;
            }
            const std::string_view piece = bytes.substr(std::min(at, bytes.size()), pieceSize);
            XChangeProperty(dpy, r.requestor, r.property, type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(piece.data()),
                            static_cast<int>(piece.size()));
            XFlush(dpy);
            if (piece.empty()) {
                return deleted(r);
            }
        }
    }
    void notify(const XSelectionRequestEvent& r, Atom property) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.property = property;
        reply.xselection.time = r.time;
        XSendEvent(dpy, r.requestor, False, NoEventMask, &reply);
        XFlush(dpy);
    }
    void quit() { quit_ = true; }

    ::Display* dpy = nullptr;
    Atom utf8 = 0, incr = 0;

private:
    void run(const std::string& server) {
        dpy = XOpenDisplay(server.c_str());
        if (!dpy) {
            ended_ = true;
            return;
        }
        const ::Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
        const Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
        utf8 = XInternAtom(dpy, "UTF8_STRING", False);
        incr = XInternAtom(dpy, "INCR", False);
        XSetSelectionOwner(dpy, clipboard, window, CurrentTime);
        owning_ = XGetSelectionOwner(dpy, clipboard) == window;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stop_ && !quit_ && std::chrono::steady_clock::now() < deadline) {
            XEvent e;
            if (XCheckTypedWindowEvent(dpy, window, SelectionRequest, &e)) {
                ++requests_;
                answer_(*this, e.xselectionrequest);
                continue;
            }
            pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
            poll(&fd, 1, 2);
        }
        XCloseDisplay(dpy);
        ended_ = true;
    }
    // Waits for the requestor to delete its property.
    bool deleted(const XSelectionRequestEvent& r) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            XEvent e;
            while (XCheckTypedWindowEvent(dpy, r.requestor, PropertyNotify, &e)) {
                if (e.xproperty.atom == r.property && e.xproperty.state == PropertyDelete) {
                    return true;
                }
            }
            pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
            poll(&fd, 1, 2);
        }
        return false;
    }

    Answer answer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> quit_{false};
    std::atomic<bool> owning_{false};
    std::atomic<bool> ended_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// What a read gave, once it has given anything.
using ReadResult = std::optional<std::optional<std::string>>;
// A read that gave no text.
const ReadResult noText{std::in_place};

// Asks the clipboard for its text and pumps the display (waking as soon as X has something) until the
// handler has been called or `limit` has passed.
ReadResult readText(display::X11Display& display, display::Clipboard& clipboard,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    ReadResult result;
    clipboard.requestText([&](std::optional<std::string> text) { result = std::move(text); });
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!result && std::chrono::steady_clock::now() < deadline) {
        display.pump();
        pollfd fd{display.connectionFd(), POLLIN, 0};
        poll(&fd, 1, 2);
    }
    return result;
}

} // namespace

TEST(Clipboard, MemoryClipboardHoldsTextUntilReplaced) {
    display::MemoryClipboard clipboard;
    EXPECT_EQ(clipboard.text(), std::nullopt);
    clipboard.setText("one");
    clipboard.setText("two");
    EXPECT_EQ(clipboard.text(), "two");
    std::optional<std::string> requested;
    clipboard.requestText([&](std::optional<std::string> text) { requested = std::move(text); });
    EXPECT_EQ(requested, "two");
}

TEST(Clipboard, X11ClipboardServesOtherClientsAndReadsTheirs) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    auto clipboard = display::X11Clipboard::make(display, std::chrono::milliseconds(2000));
    ASSERT_NE(clipboard, nullptr);
    Client client(server.name());
    ASSERT_NE(client.dpy, nullptr);

    // Ours, served to another client as UTF-8 through the display's event loop, and as Latin-1 STRING
    // with '?' for what Latin-1 cannot hold.
    clipboard->setText("Grüße €5 naïve");
    EXPECT_TRUE(clipboard->ownsSelection());
    EXPECT_EQ(clipboard->text(), "Grüße €5 naïve");
    EXPECT_EQ(readText(*display, *clipboard), ReadResult("Grüße €5 naïve"));
    EXPECT_EQ(client.convert(*display, client.utf8),
              std::make_pair(client.utf8, std::string("Grüße €5 naïve")));
    const std::string latin1 = "Gr\xFC\xDF"
                               "e ?5 na\xEFve";
    EXPECT_EQ(client.convert(*display, XA_STRING), std::make_pair(Atom(XA_STRING), latin1));

    // Another client takes the clipboard: we lose ownership and read its text as its answer arrives,
    // STRING taken as Latin-1.
    XSetSelectionOwner(client.dpy, client.clipboard, client.window, CurrentTime);
    XFlush(client.dpy);
    for (int i = 0; i < 100 && clipboard->ownsSelection(); ++i) {
        display->pump();
        usleep(5000);
    }
    EXPECT_FALSE(clipboard->ownsSelection());
    EXPECT_EQ(clipboard->text(), std::nullopt);
    Owner utf8Owner(server.name(), [](Owner& owner, const XSelectionRequestEvent& r) {
        owner.reply(r, owner.utf8, "from elsewhere");
    });
    ASSERT_TRUE(utf8Owner.waitUntilOwning());
    EXPECT_EQ(readText(*display, *clipboard), ReadResult("from elsewhere"));
    Owner latin1Owner(server.name(), [&](Owner& owner, const XSelectionRequestEvent& r) {
        owner.reply(r, XA_STRING, latin1);
    });
    ASSERT_TRUE(latin1Owner.waitUntilOwning());
    EXPECT_EQ(readText(*display, *clipboard), ReadResult("Grüße ?5 naïve"));
}

TEST(Clipboard, X11ClipboardReadsNeverWaitAndSilentOrDeadOwnersAreDroppedAfterTheTimeout) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    // The timeouts run on a clock the test moves.
    auto clock = std::make_shared<core::ManualClock>();
    core::MainQueue queue;
    core::RunLoop loop(queue, clock);
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    display->attach(loop);
    auto clipboard = display::X11Clipboard::make(display, std::chrono::milliseconds(1000));
    ASSERT_NE(clipboard, nullptr);
    auto pumpFor = [&](std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            display->pump();
            usleep(2000);
        }
    };

    // An owner that never answers: requests return at once, a newer one replaces the one waiting, and
    // the one left gets nothing once the timeout has passed.
    {
        Owner silent(server.name(), [](Owner&, const XSelectionRequestEvent&) {});
        ASSERT_TRUE(silent.waitUntilOwning());
        int firstCalls = 0;
        ReadResult second;
        clipboard->requestText([&](std::optional<std::string>) { ++firstCalls; });
        clipboard->requestText([&](std::optional<std::string> text) { second = std::move(text); });
        pumpFor(std::chrono::milliseconds(100));
        EXPECT_EQ(silent.requests(), 2);
        EXPECT_TRUE(clipboard->isReading());
        EXPECT_FALSE(second);
        clock->advance(std::chrono::milliseconds(1001));
        display->pump();
        EXPECT_FALSE(clipboard->isReading());
        EXPECT_EQ(second, noText);
        EXPECT_EQ(firstCalls, 0);
    }

    // An owner that refuses the older of two requests late, once the newer has been sent, and answers
    // the newer: the newer read takes its text.
    {
        std::optional<XSelectionRequestEvent> older;
        Owner late(server.name(), [&](Owner& owner, const XSelectionRequestEvent& r) {
            if (!older) {
                older = r;
                return;
            }
            owner.notify(*older, None);
            owner.reply(r, owner.utf8, "newer");
        });
        ASSERT_TRUE(late.waitUntilOwning());
        int olderCalls = 0;
        ReadResult newer;
        clipboard->requestText([&](std::optional<std::string>) { ++olderCalls; });
        clipboard->requestText([&](std::optional<std::string> text) { newer = std::move(text); });
        for (int i = 0; i < 5000 && !newer; ++i) {
            display->pump();
            pollfd fd{display->connectionFd(), POLLIN, 0};
            poll(&fd, 1, 2);
        }
        EXPECT_EQ(newer, ReadResult("newer"));
        EXPECT_EQ(olderCalls, 0);
    }

    // An owner that dies halfway through an incremental transfer: dropped the same way, and the next
    // owner is read as usual.
    {
        Owner dying(server.name(), [](Owner& owner, const XSelectionRequestEvent& r) {
            owner.replyIncrementally(r, owner.utf8, std::string(4096, 'x'), 1024, 2);
        });
        ASSERT_TRUE(dying.waitUntilOwning());
        ReadResult result;
        clipboard->requestText([&](std::optional<std::string> text) { result = std::move(text); });
        pumpFor(std::chrono::milliseconds(200));
        EXPECT_TRUE(clipboard->isReading());
        clock->advance(std::chrono::milliseconds(1001));
        display->pump();
        EXPECT_EQ(result, noText);
    }
    Owner next(server.name(),
               [](Owner& owner, const XSelectionRequestEvent& r) { owner.reply(r, owner.utf8, "next"); });
    ASSERT_TRUE(next.waitUntilOwning());
    EXPECT_EQ(readText(*display, *clipboard), ReadResult("next"));
    display->detach();
}

TEST(Clipboard, X11ClipboardReadsIncrementalTransfersUpToItsCap) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    auto clipboard = display::X11Clipboard::make(display, std::chrono::milliseconds(5000));
    ASSERT_NE(clipboard, nullptr);

    // 1 MB in pieces of 64 KiB, as browsers and editors send large text.
    std::string megabyte;
    for (int i = 0; megabyte.size() < 1000 * 1000; ++i) {
        megabyte += "line " + std::to_string(i) + " ünïcödé\n";
    }
    {
        std::atomic<bool> complete{false};
        Owner owner(server.name(), [&](Owner& o, const XSelectionRequestEvent& r) {
            complete = o.replyIncrementally(r, o.utf8, megabyte, 64 * 1024);
        });
        ASSERT_TRUE(owner.waitUntilOwning());
        const auto start = std::chrono::steady_clock::now();
        const ReadResult result = readText(*display, *clipboard);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(result && *result);
        EXPECT_TRUE(**result == megabyte);
        std::printf("[ figure ] 1 MB INCR paste (64 KiB pieces): %.1f ms\n",
                    std::chrono::duration<double, std::milli>(elapsed).count());
        for (int i = 0; i < 1000 && !complete; ++i) {
            display->pump();
            usleep(2000);
        }
        EXPECT_TRUE(complete);
    }

    // Past the cap: the paste is cut at a character boundary and logged, and the rest is taken off the
    // server as it comes, so the owner finishes and nothing stays on our window. The same for text
    // that comes in one piece.
    std::string large = "ab";
    while (large.size() <= display::X11Clipboard::maximumBytes) {
        large += "€";
    }
    large += "end";
    // The cap falls two bytes into a "€": the whole character goes.
    static_assert((display::X11Clipboard::maximumBytes - 2) % 3 == 2);
    const std::string cut = large.substr(0, display::X11Clipboard::maximumBytes - 2);
    {
        core::LogCapture log;
        std::atomic<bool> complete{false};
        Owner owner(server.name(), [&](Owner& o, const XSelectionRequestEvent& r) {
            complete = o.replyIncrementally(r, o.utf8, large, 1024 * 1024);
        });
        ASSERT_TRUE(owner.waitUntilOwning());
        const ReadResult result = readText(*display, *clipboard);
        ASSERT_TRUE(result && *result);
        EXPECT_EQ((*result)->size(), cut.size());
        EXPECT_TRUE(**result == cut); // not printed: 16 MiB
        EXPECT_TRUE(log.contains("cut"));
        for (int i = 0; i < 2000 && !complete; ++i) {
            display->pump();
            usleep(2000);
        }
        EXPECT_TRUE(complete);
    }
    {
        core::LogCapture log;
        std::atomic<::Window> requestor{0};
        std::atomic<Atom> property{0};
        Owner owner(server.name(), [&](Owner& o, const XSelectionRequestEvent& r) {
            // Larger than one request: put together from appended parts.
            constexpr std::size_t part = 4 * 1024 * 1024;
            for (std::size_t at = 0; at < large.size(); at += part) {
                const std::string_view bytes = std::string_view(large).substr(at, part);
                XChangeProperty(
                    o.dpy, r.requestor, r.property, o.utf8, 8, at == 0 ? PropModeReplace : PropModeAppend,
                    reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
            }
            requestor = r.requestor;
            property = r.property;
            o.notify(r, r.property);
        });
        ASSERT_TRUE(owner.waitUntilOwning());
        const ReadResult result = readText(*display, *clipboard);
        ASSERT_TRUE(result && *result);
        EXPECT_EQ((*result)->size(), cut.size());
        EXPECT_TRUE(**result == cut); // not printed: 16 MiB
        EXPECT_TRUE(log.contains("cut"));
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        ASSERT_EQ(XGetWindowProperty(display->xdisplay(), requestor, property, 0, 1, False, AnyPropertyType,
                                     &type, &format, &count, &remaining, &data),
                  Success);
        if (data) {
            XFree(data);
        }
        EXPECT_EQ(type, static_cast<Atom>(None));
    }
}
