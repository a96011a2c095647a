// The real program on an X server of its own: it maps its fixed-size window, draws it, opens its menu on
// a right-click and on F10, and quits with Ctrl+Q, exiting with status 0. Its command line refuses what it
// does not know.

#include "../../platform/display/tests/Xvfb.hpp"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

// Xlib last.
#include "../../platform/display/tests/XTestInput.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

namespace fs = std::filesystem;

// Waits up to `limit` for `done`, looking every 20 ms. Not a timing assertion: the limit only keeps a
// broken program from hanging the test.
template <class F> bool waitFor(F done, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

// The program, started with DISPLAY set to the test's server; killed if the test ends before it does.
class Program {
public:
    // An empty display name leaves DISPLAY unset.
    Program(const std::string& display, const fs::path& log, bool withGPU,
            const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            if (std::string_view(*e).rfind("DISPLAY=", 0) != 0 &&
                std::string_view(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0 &&
                std::string_view(*e).rfind("TESSARAY_NO_GPU=", 0) != 0) {
                environment.emplace_back(*e);
            }
        }
        if (!display.empty()) {
            environment.push_back("DISPLAY=" + display);
        }
        // A runtime folder of its own, so that no other Tessaray takes its launch over.
        runtime_ = fs::temp_directory_path() / ("tessaray-smoke-" + std::to_string(getpid()));
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
        environment.push_back("XDG_RUNTIME_DIR=" + runtime_.string());
        if (!withGPU) {
            environment.push_back("TESSARAY_NO_GPU=1");
        }
        std::vector<char*> envp;
        for (auto& e : environment) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> argv{const_cast<char*>(TESSARAY_APP_EXECUTABLE)};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, TESSARAY_APP_EXECUTABLE, &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = 0;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(runtime_, ignored);
    }
    bool started() const { return pid_ > 0; }
    // Whether it has exited (collecting its status once).
    bool hasExited() {
        if (!exited_ && pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) {
            exited_ = true;
        }
        return exited_;
    }
    int status() const { return status_; }

private:
    fs::path runtime_;
    pid_t pid_ = 0;
    bool exited_ = false;
    int status_ = -1;
};

// The first viewable top-level window whose class hint names the program.
Window findProgramWindow(Display* dpy) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            XClassHint hint{};
            XWindowAttributes attributes;
            if (XGetClassHint(dpy, children[i], &hint)) {
                if (std::string(hint.res_name ? hint.res_name : "") == "tessaray" &&
                    XGetWindowAttributes(dpy, children[i], &attributes) &&
                    attributes.map_state == IsViewable) {
                    found = children[i];
                }
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
        }
        XFree(children);
    }
    return found;
}

// Mapped override-redirect windows: pop-up menus.
int popUpCount(Display* dpy) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    int popUps = 0;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(dpy, children[i], &attributes) && attributes.override_redirect &&
                attributes.map_state == IsViewable) {
                ++popUps;
            }
        }
        XFree(children);
    }
    return popUps;
}

// The window's pixels as an RGB24 cairo surface (null on failure).
cairo_surface_t* capture(Display* dpy, Window window, int width, int height) {
    XImage* image = XGetImage(dpy, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    auto* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            row[x] = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xffffffu;
        }
    }
    cairo_surface_mark_dirty(surface);
    XDestroyImage(image);
    return surface;
}

std::uint32_t pixelAt(cairo_surface_t* surface, int x, int y) {
    const auto* data = cairo_image_surface_get_data(surface);
    return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface))[x] &
           0xffffffu;
}

// Types a key (with Control held when asked) until `done` holds. A key typed while a menu is still
// taking or giving back the keyboard can go to the other window; typing again is what a user does.
template <class F> bool typeUntil(displaytest::XTestInput& input, KeySym symbol, bool control, F done) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (control) {
            input.tap(symbol, {XK_Control_L});
        } else {
            input.tap(symbol);
        }
        if (waitFor(done, std::chrono::seconds(1))) {
            return true;
        }
    }
    return false;
}

TEST(ProgramOnXvfb, ShowsItsWindowOpensItsMenuAndQuitsWithControlQ) {
    displaytest::XvfbServer server("800x700x24");
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    Display* dpy = XOpenDisplay(server.name().c_str());
    ASSERT_NE(dpy, nullptr);
    // Windows come and go while the test looks at them (menus): a vanished window is no error here.
    struct IgnoreErrors {
        XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        ~IgnoreErrors() { XSetErrorHandler(previous); }
    } ignoreErrors;
    displaytest::XTestInput input(dpy);
    if (!input.available()) {
        XCloseDisplay(dpy);
        GTEST_SKIP() << "no XTest";
    }
    const fs::path out(TESSARAY_APP_TEST_OUTPUT_DIR);
    fs::create_directories(out);
    // Without the animating strip: a menu window opened while another window animates can stall the
    // program's X output (under investigation), which this test is not about.
    Program program(server.name(), out / "xvfb-program.log", false);
    ASSERT_TRUE(program.started());

    Window window = 0;
    ASSERT_TRUE(waitFor([&] { return program.hasExited() || (window = findProgramWindow(dpy)) != 0; }));
    ASSERT_NE(window, 0u) << "the program exited before showing its window";
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(dpy, window, &attributes));
    EXPECT_EQ(attributes.width, 400);
    EXPECT_EQ(attributes.height, 572);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(dpy, window, &hints, &supplied));
    EXPECT_EQ(hints.min_width, 400);
    EXPECT_EQ(hints.max_width, 400);
    EXPECT_EQ(hints.min_height, 572);
    EXPECT_EQ(hints.max_height, 572);
    char* name = nullptr;
    ASSERT_TRUE(XFetchName(dpy, window, &name));
    EXPECT_STREQ(name, "Tessaray");
    XFree(name);

    // Drawn: the button row's bezels differ from the window's background.
    cairo_surface_t* shot = nullptr;
    ASSERT_TRUE(waitFor([&] {
        if (shot) {
            cairo_surface_destroy(shot);
        }
        shot = capture(dpy, window, 400, 572);
        return shot && pixelAt(shot, 20, 546) != pixelAt(shot, 20, 10) && pixelAt(shot, 20, 546) != 0;
    }));
    EXPECT_EQ(cairo_surface_write_to_png(shot, (out / "xvfb-window.png").c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(shot);

    const auto [rootX, rootY] = input.rootPosition(window);
    input.moveTo(rootX + 200, rootY + 420);
    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    XSync(dpy, False);

    // A right-click opens the application menu as a pop-up window; Escape closes it. F10 opens it too.
    const int before = popUpCount(dpy);
    auto open = [&] { return popUpCount(dpy) > before; };
    auto closed = [&] { return popUpCount(dpy) == before; };
    input.button(3, true);
    EXPECT_TRUE(waitFor(open, std::chrono::seconds(10)));
    input.button(3, false);
    // Released where it was pressed, the menu stays open (or, released late over an item, chooses it).
    typeUntil(input, XK_Escape, false, closed);
    EXPECT_TRUE(closed());
    EXPECT_TRUE(typeUntil(input, XK_F10, false, open));
    EXPECT_TRUE(typeUntil(input, XK_Escape, false, closed));

    ASSERT_TRUE(typeUntil(input, XK_q, true, [&] { return program.hasExited(); }))
        << "Ctrl+Q ends the program";
    EXPECT_TRUE(WIFEXITED(program.status()));
    EXPECT_EQ(WEXITSTATUS(program.status()), 0);
    XCloseDisplay(dpy);
}

// A server that goes away ends the program with a message of its own and status 1, never by a signal or
// in Xlib's exit.
TEST(ProgramOnXvfb, EndsWithAMessageWhenTheServerGoesAway) {
    displaytest::XvfbServer server("800x700x24");
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    const fs::path out(TESSARAY_APP_TEST_OUTPUT_DIR);
    fs::create_directories(out);
    const fs::path log = out / "xvfb-server-gone.log";
    Program program(server.name(), log, false);
    ASSERT_TRUE(program.started());
    {
        Display* dpy = XOpenDisplay(server.name().c_str());
        ASSERT_NE(dpy, nullptr);
        ASSERT_TRUE(waitFor([&] { return program.hasExited() || findProgramWindow(dpy) != 0; }));
        XCloseDisplay(dpy); // before the server goes: Xlib would end the test on this connection
    }
    ASSERT_FALSE(program.hasExited());
    server.stop();
    ASSERT_TRUE(waitFor([&] { return program.hasExited(); }));
    EXPECT_TRUE(WIFEXITED(program.status())) << "ended by signal " << WTERMSIG(program.status());
    EXPECT_EQ(WEXITSTATUS(program.status()), 1);
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("tessaray: lost the connection to the X server " + server.name()), std::string::npos)
        << text;
}

// An option the program does not know is refused with one line and status 2 before anything else happens
// (no display is needed to say so); help is shown wherever it is asked for.
TEST(ProgramCommandLine, RefusesUnknownOptionsAndShowsHelpAnywhere) {
    const fs::path out(TESSARAY_APP_TEST_OUTPUT_DIR);
    fs::create_directories(out);
    const fs::path log = out / "command-line.log";
    const auto run = [&](const std::vector<std::string>& arguments) {
        Program program("", log, false, arguments);
        EXPECT_TRUE(program.started());
        EXPECT_TRUE(waitFor([&] { return program.hasExited(); }));
        std::ifstream in(log);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return std::pair(WIFEXITED(program.status()) ? WEXITSTATUS(program.status()) : -1, text);
    };
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"--version"}, {"https://a.b/", "-x"}}) {
        const auto [status, text] = run(arguments);
        EXPECT_EQ(status, 2) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_NE(text.find("tessaray: unknown option '" + arguments.back() + "'"), std::string::npos)
            << text;
    }
    const auto [status, text] = run({"--bogus", "-h"});
    EXPECT_EQ(status, 0) << text;
    EXPECT_EQ(text.rfind("Usage: tessaray", 0), 0u) << text;
}

} // namespace
