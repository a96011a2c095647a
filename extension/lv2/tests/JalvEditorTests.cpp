// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

// The editor in a real host: jalv.gtk3 on a private JACK server (dummy driver) and an Xvfb server of the
// test's own. The test finds the embedded editor, compares it with the same editor drawn headless, drags a
// control and clicks a preset button with XTest, and reads what the plug-in reports back through jalv.

#include "../../../platform/display/tests/Xvfb.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"
#include "display/HeadlessBackend.hpp"
#include "extension/EditorRoot.hpp"
#include "extension/ParameterTable.hpp"
#include "extension/tests/EditorFrames.hpp"
#include "extension/Settings.hpp"
#include "ui/Window.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// XTest after the headers above: Xlib's macros must not reach them.
#include "../../../platform/display/tests/XTestInput.hpp"

namespace fs = std::filesystem;

namespace {

bool installed(const char* program) {
    return access((std::string("/usr/bin/") + program).c_str(), X_OK) == 0;
}

// The process groups of the children still running, for the clean-up at exit or on a fatal signal: a
// failed, interrupted or timed-out run must leave no server behind. Plain words, read by signal handlers.
constexpr int kMaxChildren = 16;
volatile sig_atomic_t childGroups[kMaxChildren] = {};

void killChildGroups() {
    for (int i = 0; i < kMaxChildren; ++i) {
        if (childGroups[i] > 0) {
            kill(-pid_t(childGroups[i]), SIGKILL);
            childGroups[i] = 0;
        }
    }
}

void killChildrenAndDie(int signal) {
    killChildGroups();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Installed once: at exit and on the signals that end a test run (ctest's time-out, Ctrl-C, a crash) every
// child group is killed. A SIGKILL of the test itself is covered by the children's parent-death signal.
void cleanUpChildrenAtTheEnd() {
    static const bool installed = [] {
        std::atexit(killChildGroups);
        for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS}) {
            std::signal(signal, killChildrenAndDie);
        }
        return true;
    }();
    (void)installed;
}

// A child process in a process group of its own, with its own environment additions and output file. It
// dies with the test (parent-death signal), and its whole group is terminated and reaped at the end.
class Child {
public:
    Child(std::vector<std::string> argv, const std::vector<std::string>& environment,
          const fs::path& output) {
        cleanUpChildrenAtTheEnd();
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            env.emplace_back(*e);
        }
        env.insert(env.end(), environment.begin(), environment.end());
        std::vector<char*> args, envp;
        for (auto& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        const std::string file = output.string();
        const pid_t parent = getpid();
        // Between fork and exec only async-signal-safe calls: everything above was prepared beforehand.
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) {
                _exit(127); // the test died before the signal was armed
            }
            const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (out < 0 || in < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0 || dup2(in, 0) < 0) {
                _exit(127);
            }
            execvpe(args[0], args.data(), envp.data());
            _exit(127);
        }
        if (pid_ < 0) {
            pid_ = 0;
            return;
        }
        setpgid(pid_, pid_); // also here, so the group exists before anyone signals it
        for (int i = 0; i < kMaxChildren; ++i) {
            if (childGroups[i] == 0) {
                childGroups[i] = pid_;
                slot_ = i;
                break;
            }
        }
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Waits for the child to end by itself; its exit status, or nothing after the time-out.
    std::optional<int> wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped();
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }
    // Ends the child's whole group: politely first, then for good.
    void stop() {
        if (pid_ > 0) {
            const pid_t group = pid_;
            kill(-group, SIGTERM);
            if (!wait(std::chrono::seconds(5))) {
                kill(-group, SIGKILL);
                waitpid(pid_, nullptr, 0);
                reaped();
            }
            kill(-group, SIGKILL); // anything the child left in its group
        }
    }

private:
    void reaped() {
        pid_ = 0;
        if (slot_ >= 0) {
            childGroups[slot_] = 0;
            slot_ = -1;
        }
    }

    pid_t pid_ = 0;
    int slot_ = -1;
};

std::string contents(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The editor's window: a window named "Tessaray" without children anywhere below the root (the host's
// own window may carry the plug-in's name too).
::Window findEditor(::Display* display, ::Window window) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) {
        return 0;
    }
    char* name = nullptr;
    if (count == 0 && XFetchName(display, window, &name) && name) {
        const bool match = std::string(name) == "Tessaray";
        XFree(name);
        if (match) {
            return window;
        }
    }
    ::Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        found = findEditor(display, children[i]);
    }
    if (children) {
        XFree(children);
    }
    return found;
}

// RGB pixels, row by row.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }

    bool writePNG(const fs::path& file) const {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        auto* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < height; ++y) {
            std::memcpy(data + std::size_t(y) * std::size_t(stride),
                        &pixels[std::size_t(y) * std::size_t(width)], std::size_t(width) * 4);
        }
        cairo_surface_mark_dirty(surface);
        const bool ok = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(surface);
        return ok;
    }
};

Picture screenshot(::Display* display, ::Window window, int width, int height) {
    Picture picture{width, height, {}};
    XImage* image = XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) {
        return {};
    }
    picture.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                uint32_t(XGetPixel(image, x, y)) & 0xffffff;
        }
    }
    XDestroyImage(image);
    return picture;
}

// The editor as it draws without a screen, for a model with the plug-in's defaults.
Picture headless(double scale) {
    // The resources the installed editor finds inside its bundle.
    core::Bundle::addSearchPath(std::filesystem::path(TESSARAY_LV2_BUNDLE_DIR) / "Resources");
    auto settings = Settings::create();
    auto window = ui::Window::make(graphics::Rect(0, 0, kEditorWidth, kEditorHeight));
    auto backend = display::HeadlessBackend::attach(window, scale);
    window->setContentView(
        declarative::HostingView::make(makeEditorRoot(settings), {0, 0, kEditorWidth, kEditorHeight}));
    for (int i = 0; i < 4; ++i) {
        core::MainQueue::shared().drain();
        backend->displayIfNeeded();
    }
    Picture picture{int(kEditorWidth * scale), int(kEditorHeight * scale), {}};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const auto p = backend->pixel(x, y);
            picture.pixels.push_back(uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
        }
    }
    window->close();
    core::MainQueue::shared().drain();
    return picture;
}

// The mean difference of the colour channels, 0 to 255, from row `firstRow` down. What a running plug-in
// feeds the editor (the analyser's band slots, the version of the installed bundle) sits above the dial
// area, which a model without a plug-in cannot show alike.
double meanDifference(const Picture& a, const Picture& b, int firstRow = 0) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty() || firstRow >= a.height) {
        return 255;
    }
    double sum = 0;
    const std::size_t first = std::size_t(std::max(firstRow, 0)) * std::size_t(a.width);
    for (std::size_t i = first; i < a.pixels.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            sum += std::abs(int((a.pixels[i] >> shift) & 0xff) - int((b.pixels[i] >> shift) & 0xff));
        }
    }
    return sum / double((a.pixels.size() - first) * 3);
}

// The band counts the plug-in reported on its notification port, in the order jalv printed them.
std::vector<int> reportedBandCounts(const std::string& output) {
    std::vector<int> counts;
    static const std::regex pattern("#bandCount>\\s+\"?(-?[0-9]+)");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), pattern); it != std::sregex_iterator();
         ++it) {
        counts.push_back(std::stoi((*it)[1]));
    }
    return counts;
}

class JalvEditor : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef TESSARAY_SANITIZED_BUILD
        GTEST_SKIP()
            << "GTK hosts hang with the sanitizer runtime preloaded; scripts/test.sh runs this test in an "
               "unsanitized build (build/hosts)";
#endif
        if (!installed("jalv.gtk3") || !installed("jackd") || !installed("Xvfb") || !installed("jack_wait")) {
            GTEST_SKIP() << "jalv.gtk3, jackd or Xvfb is not installed";
        }
        zelto::registerKitFonts(fs::path(TESSARAY_LV2_BUNDLE_DIR) / "Resources" / "Zelto_ZeltoCore.bundle" /
                                "Resources" / "Fonts");
        output_ = fs::path(TESSARAY_TEST_OUTPUT_DIR);
        fs::create_directories(output_);
        server_.emplace("2000x1400x24");
        ASSERT_FALSE(server_->name().empty());
        jackName_ = "tessaray-editor-" + std::to_string(getpid());
        jack_.emplace(
            std::vector<std::string>{"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"},
            environment(), output_ / "jackd.log");
        Child wait({"jack_wait", "-w", "-t", "10"}, environment(), output_ / "jack_wait.log");
        ASSERT_EQ(wait.wait(std::chrono::seconds(12)), std::optional<int>(0))
            << contents(output_ / "jackd.log");
        x_ = XOpenDisplay(server_->name().c_str());
        ASSERT_NE(x_, nullptr);
        // The host maps, resizes and reparents the editor while the test looks at it: a request about a
        // window in between (an image of one not yet viewable, say) fails, and is simply tried again.
        XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    }
    void TearDown() override {
        if (x_) {
            XCloseDisplay(x_);
        }
        jack_.reset();
    }

    std::vector<std::string> environment() const {
        return {"JACK_DEFAULT_SERVER=" + jackName_, "JACK_NO_AUDIO_RESERVATION=1",
                "DISPLAY=" + (server_ ? server_->name() : std::string()), "LV2_PATH=" TESSARAY_LV2_DIR,
                "NO_AT_BRIDGE=1"};
    }

    // jalv with the editor at a scale; its output (with the plug-in's messages to the editor) goes to a file.
    std::unique_ptr<Child> startHost(double scale, const fs::path& log) {
        auto env = environment();
        env.push_back("TESSARAY_SCALE=" + std::to_string(int(scale)));
        return std::make_unique<Child>(
            std::vector<std::string>{"stdbuf", "-oL", "jalv.gtk3", "--dump", "--no-menu", "--jack-name",
                                     jackName_ + "-jalv", "https://tessaray.com/lv2/tessaray"},
            env, log);
    }

    // Waits until the editor's window is there and drawn; returns it (0 when it never came).
    ::Window waitForEditor(double scale, Child& host, const fs::path& log, uint32_t cornerColour) {
        ::Window editor = 0;
        const int width = int(kEditorWidth * scale), height = int(kEditorHeight * scale);
        waitFor(
            [&] {
                if (!host.running()) {
                    return true;
                }
                editor = findEditor(x_, DefaultRootWindow(x_));
                if (!editor) {
                    return false;
                }
                XWindowAttributes attributes{};
                if (!XGetWindowAttributes(x_, editor, &attributes) || attributes.map_state != IsViewable ||
                    attributes.width != width || attributes.height != height) {
                    return false;
                }
                // Drawn: the panel's colour in a corner.
                const Picture corner = screenshot(x_, editor, 4, 4);
                return !corner.pixels.empty() && corner.at(2, 2) == cornerColour;
            },
            std::chrono::seconds(60));
        EXPECT_TRUE(host.running()) << contents(log);
        return editor;
    }

    // A point of the editor's design, in root coordinates.
    std::pair<int, int> onScreen(::Window editor, double scale, double x, double y) {
        int rootX = 0, rootY = 0;
        ::Window child = 0;
        XTranslateCoordinates(x_, editor, DefaultRootWindow(x_), int(x * scale), int(y * scale), &rootX,
                              &rootY, &child);
        return {rootX, rootY};
    }

    std::optional<displaytest::XvfbServer> server_;
    std::optional<Child> jack_;
    std::string jackName_;
    fs::path output_;
    ::Display* x_ = nullptr;
};

} // namespace

TEST_F(JalvEditor, ShowsTheEditorAsDrawnHeadlessAndItsEditsReachThePlugin) {
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const std::string suffix = scale == 1.0 ? "@1x" : "@2x";
        const fs::path log = output_ / ("jalv" + suffix + ".log");
        auto host = startHost(scale, log);
        const Picture expected = headless(scale);
        const auto started = std::chrono::steady_clock::now();
        const ::Window editor = waitForEditor(scale, *host, log, expected.at(2, 2));
        std::printf("the editor showed after %.1f s\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        ASSERT_NE(editor, 0u) << "no editor window; jalv said:\n" << contents(log);

        const int width = int(kEditorWidth * scale), height = int(kEditorHeight * scale);
        // The editor draws what changed, pass by pass, as jalv hands it idle time: on a busy machine the
        // first picture may still be coming together, so the comparison waits for it (bounded).
        Picture shown = screenshot(x_, editor, width, height);
        double difference = meanDifference(shown, expected, int(240 * scale));
        for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
             difference >= 2.0 && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            shown = screenshot(x_, editor, width, height);
            difference = meanDifference(shown, expected, int(240 * scale));
        }
        ASSERT_TRUE(shown.writePNG(output_ / ("editor-in-jalv" + suffix + ".png")));
        ASSERT_TRUE(expected.writePNG(output_ / ("editor-headless" + suffix + ".png")));
        std::printf("in jalv and headless at %gx differ by %.3f of 255 on average\n", scale, difference);
        EXPECT_LT(difference, 2.0) << "see " << output_;

        if (scale == 1.0) {
            // The plug-in runs and its reports reach jalv before anything is dragged.
            ASSERT_TRUE(
                waitFor([&] { return !reportedBandCounts(contents(log)).empty(); }, std::chrono::seconds(30)))
                << contents(log).substr(0, 4000);

            // Drag the band count down by half the travel: the plug-in analyses fewer bands and says so.
            // The knob begins with the first move past its minimum travel; the 100 points after it are half
            // the range at half a percent per point, from 64 to 32 or 33. A busy host may hand the editor the
            // first moves at once, so that the knob begins the drag further on: a drag that ends elsewhere is
            // followed by one that corrects it, from the count the plug-in reported.
            displaytest::XTestInput input(x_);
            const auto bands = editorControlFrame("bands");
            const auto [x, y] = onScreen(editor, scale, bands.midX(), bands.midY());
            const auto drag = [&](double points) {
                const int direction = points >= 0 ? 1 : -1;
                input.moveTo(x, y);
                input.button(1, true);
                input.moveTo(x, y + direction * 10, 20);
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                const int steps = std::max(1, int(std::ceil(std::abs(points) / 10.0)));
                for (int step = 1; step <= steps; ++step) {
                    const double travel = points * step / steps;
                    input.moveTo(x, y + direction * 10 + int(std::lround(travel * scale)), 20);
                }
                input.button(1, false, 20);
            };
            const auto lastCount = [&] {
                const auto counts = reportedBandCounts(contents(log));
                return counts.empty() ? -1 : counts.back();
            };
            const auto halfTheBands = [&] { return lastCount() >= 32 && lastCount() <= 33; };
            const ParameterInfo* info = parameterByIdentifier("bands");
            ASSERT_NE(info, nullptr);
            const double bandsPerPoint = double(info->maximum - info->minimum) * 0.005;
            double points = 100;
            int drags = 0;
            for (; drags < 4 && !halfTheBands(); ++drags) {
                const int before = lastCount();
                drag(points);
                // Done when the count is right, or once a changed count has held for a second.
                int seen = before;
                auto steadySince = std::chrono::steady_clock::now();
                waitFor(
                    [&] {
                        const int now = lastCount();
                        if (now != seen) {
                            seen = now;
                            steadySince = std::chrono::steady_clock::now();
                        }
                        return halfTheBands() ||
                               (now != before &&
                                std::chrono::steady_clock::now() - steadySince > std::chrono::seconds(1));
                    },
                    std::chrono::seconds(20));
                points = (lastCount() - 32.5) / bandsPerPoint;
            }
            std::printf("the band count reached %d after %d drag(s)\n", lastCount(), drags);
            EXPECT_TRUE(halfTheBands()) << contents(log).substr(0, 4000);

            // The editor's "next preset" button applies "Ghost Choir": its 24 bands reach the plug-in, and
            // the plug-in reports the preset's name, which the session saves.
            const auto next = editorNextPresetFrame();
            const auto [nx, ny] = onScreen(editor, scale, next.midX(), next.midY());
            input.moveTo(nx, ny);
            input.button(1, true);
            input.button(1, false, 20);
            EXPECT_TRUE(waitFor(
                [&] {
                    const std::string text = contents(log);
                    const auto n = reportedBandCounts(text);
                    return text.find("\"Ghost Choir\"") != std::string::npos && !n.empty() && n.back() == 24;
                },
                std::chrono::seconds(30)))
                << contents(log).substr(0, 4000);
        }
        host->stop();
    }
}
