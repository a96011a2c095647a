#include "core/Bundle.hpp"

#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

void codeInTheExecutable() {}

// A scratch directory holding bundles built by the test.
struct CoreBundleTest : ::testing::Test {
    fs::path root;

    void SetUp() override {
        root = fs::temp_directory_path() / ("core-bundles-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        core::Bundle::setMainBundlePath(std::nullopt);
        core::Bundle::removeSearchPath(root);
        fs::remove_all(root);
    }

    fs::path makeBundle(const fs::path& directory, const std::string& info) {
        fs::create_directories(directory / "Resources");
        std::ofstream(directory / "Info.json") << info;
        return directory;
    }
    static void touch(const fs::path& file) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "x";
    }
};

TEST_F(CoreBundleTest, ReadsTypedInfoValues) {
    auto bundle = core::Bundle::atPath(makeBundle(
        root / "App.bundle",
        R"({"CFBundleShortVersionString": "1.4.2", "CFBundleVersion": 17, "Flag": true, "Scale": 2.5})"));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->shortVersionString(), "1.4.2");
    // A number where a string is expected is absent, not converted.
    EXPECT_EQ(bundle->bundleVersionString(), std::nullopt);
    EXPECT_EQ(bundle->infoNumber("CFBundleVersion"), 17.0);
    EXPECT_EQ(bundle->infoBool("Flag"), true);
    EXPECT_EQ(bundle->infoNumber("Scale"), 2.5);
    EXPECT_EQ(bundle->infoString("Missing"), std::nullopt);
    EXPECT_EQ(core::Bundle::atPath(root / "App.bundle"), bundle) << "one object per directory";

    auto broken = core::Bundle::atPath(makeBundle(root / "Broken.bundle", "{not json"));
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->shortVersionString(), std::nullopt);
    EXPECT_EQ(core::Bundle::atPath(root / "Nowhere"), nullptr);

    // An Info.json that is a directory or a FIFO gives a bundle without info rather than a throw or a hang.
    fs::create_directories(root / "Odd.bundle" / "Info.json");
    auto odd = core::Bundle::atPath(root / "Odd.bundle");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->shortVersionString(), std::nullopt);
    fs::create_directories(root / "Pipe.bundle");
    ASSERT_EQ(mkfifo((root / "Pipe.bundle" / "Info.json").c_str(), 0600), 0);
    auto pipe = core::Bundle::atPath(root / "Pipe.bundle");
    ASSERT_TRUE(pipe);
    EXPECT_EQ(pipe->shortVersionString(), std::nullopt);
}

TEST_F(CoreBundleTest, FindsResourcesByNameTypeAndSubdirectory) {
    auto path = makeBundle(root / "Kit.bundle", "{}");
    touch(path / "Resources/sawtooth.bin");
    touch(path / "Resources/sine.bin");
    touch(path / "Resources/notes.txt");
    touch(path / "Resources/knobs/chaos-dial_01.png");
    touch(root / "secret.bin");
    auto bundle = core::Bundle::atPath(path);

    EXPECT_EQ(bundle->pathForResource("sawtooth.bin", ""), path / "Resources/sawtooth.bin");
    EXPECT_EQ(bundle->pathForResource("square", "bin"), std::nullopt);
    EXPECT_EQ(bundle->pathForResource("knobs/chaos-dial_01", "png"),
              path / "Resources/knobs/chaos-dial_01.png");
    EXPECT_EQ(bundle->pathForResource("chaos-dial_01", "png", "knobs"),
              path / "Resources/knobs/chaos-dial_01.png");
    EXPECT_EQ(bundle->pathForResource("../../secret", "bin"), std::nullopt);
    EXPECT_EQ(bundle->pathForResource("/etc/passwd", ""), std::nullopt);

    const auto bins = bundle->pathsForResources("bin");
    ASSERT_EQ(bins.size(), 2u);
    EXPECT_EQ(bins[0].filename(), "sawtooth.bin");
    EXPECT_EQ(bins[1].filename(), "sine.bin");

    const auto url = bundle->urlForResource("sine", "bin");
    ASSERT_TRUE(url);
    EXPECT_TRUE(url->isFileURL());
    EXPECT_EQ(url->filePath(), path / "Resources/sine.bin");
}

TEST_F(CoreBundleTest, MainBundleIsTheExecutableDirectoryUnlessOverridden) {
    const auto executable = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(core::Bundle::main()->bundlePath(), fs::canonical(executable.parent_path()));
    EXPECT_EQ(core::Bundle::forAddress(reinterpret_cast<const void*>(&codeInTheExecutable)),
              core::Bundle::main());

    auto other = makeBundle(root / "Host.app", R"({"CFBundleIdentifier": "com.example.host"})");
    core::Bundle::setMainBundlePath(other);
    EXPECT_EQ(core::Bundle::main()->bundleIdentifier(), "com.example.host");
}

TEST_F(CoreBundleTest, CodeInASharedLibraryFindsItsOwnBundle) {
    void* library = ::dlopen(CORE_PROBE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    auto probe = reinterpret_cast<const void* (*)()>(::dlsym(library, "coreProbeAddress"));
    ASSERT_NE(probe, nullptr);

    auto bundle = core::Bundle::forAddress(probe());
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->bundlePath(), fs::canonical(CORE_PROBE_BUNDLE));
    EXPECT_EQ(bundle->bundleIdentifier(), "com.tessaray.core-probe");
    EXPECT_EQ(bundle->bundleVersionString(), "251");
    EXPECT_EQ(bundle->info("ProbeNested"), std::nullopt); // objects are not values

    // A resource bundle in the code bundle's resources is found through the code's address.
    const fs::path inside = fs::path(CORE_PROBE_BUNDLE) / "Resources" / "Zelto_Probe.bundle";
    fs::create_directories(inside);
    EXPECT_EQ(core::Bundle::find("Zelto_Probe"), nullptr);
    auto found = core::Bundle::find("Zelto_Probe", probe());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->bundlePath(), fs::canonical(inside));
    fs::remove_all(inside);
    ::dlclose(library);

    EXPECT_EQ(core::Bundle::forAddress(nullptr), nullptr);
}

// The first of these that holds the bundle wins: the main bundle's resources, the resources of the bundle
// holding the asking code, the main bundle itself, then the added search paths. Nothing above or beside the
// bundles is searched.
TEST_F(CoreBundleTest, ResourceBundlesAreSearchedInOrder) {
    void* library = ::dlopen(CORE_PROBE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    auto probe = reinterpret_cast<const void* (*)()>(::dlsym(library, "coreProbeAddress"));
    ASSERT_NE(probe, nullptr);
    const fs::path app = makeBundle(root / "Host.app", "{}");
    core::Bundle::setMainBundlePath(app);
    const fs::path extra = root / "extra";
    core::Bundle::addSearchPath(extra);

    const std::string name = "Core_Order" + std::to_string(::getpid());
    const fs::path code = fs::canonical(CORE_PROBE_BUNDLE);
    const std::vector<fs::path> inOrder{app / "Resources", code / "Resources", app, extra};
    for (const fs::path& place : inOrder) {
        fs::create_directories(place / (name + ".bundle"));
    }
    // Never searched: the main bundle's and the code bundle's parent directories and the code bundle itself.
    const std::vector<fs::path> never{root, code, code.parent_path()};
    for (const fs::path& place : never) {
        fs::create_directories(place / (name + ".bundle"));
    }
    for (const fs::path& place : inOrder) {
        auto found = core::Bundle::find(name, probe());
        ASSERT_TRUE(found) << "expected in " << place;
        EXPECT_EQ(found->bundlePath(), fs::canonical(place / (name + ".bundle")));
        if (place == code / "Resources") {
            auto withoutCode = core::Bundle::find(name);
            ASSERT_TRUE(withoutCode);
            EXPECT_EQ(withoutCode->bundlePath(), fs::canonical(app / (name + ".bundle")))
                << "without the code's address its bundle is not consulted";
        }
        fs::remove_all(place / (name + ".bundle"));
    }
    EXPECT_EQ(core::Bundle::find(name, probe()), nullptr);
    for (const fs::path& place : never) {
        fs::remove_all(place / (name + ".bundle"));
    }
    core::Bundle::removeSearchPath(extra);
    ::dlclose(library);
}

// Inside a plug-in the main bundle is the plug-in's own bundle, not the host program's directory: resource
// bundles beside or inside the host's directory never stand in for the plug-in's own.
TEST_F(CoreBundleTest, InsideAPluginTheMainBundleIsThePluginsOwn) {
    void* library = ::dlopen(CORE_PLUGIN_PROBE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    auto mainBundle = reinterpret_cast<const char* (*)()>(::dlsym(library, "corePluginProbeMainBundle"));
    auto find = reinterpret_cast<const char* (*)(const char*)>(::dlsym(library, "corePluginProbeFind"));
    ASSERT_TRUE(mainBundle && find);
    const fs::path plugin = fs::canonical(CORE_PLUGIN_PROBE_BUNDLE);
    EXPECT_EQ(fs::path(mainBundle()), plugin);

    const fs::path host = fs::canonical(fs::read_symlink("/proc/self/exe").parent_path());
    const std::string id = std::to_string(::getpid());
    const std::string shared = "Core_Shared" + id, hostOnly = "Core_HostOnly" + id;
    const std::vector<fs::path> made{
        host / "Resources" / (shared + ".bundle"), plugin / "Resources" / (shared + ".bundle"),
        host / "Resources" / (hostOnly + ".bundle"), host / (hostOnly + ".bundle"),
        host.parent_path() / (hostOnly + ".bundle")};
    for (const fs::path& directory : made) {
        fs::create_directories(directory);
    }
    EXPECT_EQ(fs::path(find(shared.c_str())), plugin / "Resources" / (shared + ".bundle"));
    EXPECT_STREQ(find(hostOnly.c_str()), "");
    for (const fs::path& directory : made) {
        fs::remove_all(directory);
    }
    std::error_code error;
    fs::remove(host / "Resources", error); // only when the test made it
    ::dlclose(library);
}

TEST_F(CoreBundleTest, NamedBundlesComeFromSearchPathsAndAMissingOneIsFatal) {
    auto kit = makeBundle(root / "Zelto_ZeltoCore.bundle", R"({"CFBundleIdentifier": "kit"})");
    EXPECT_EQ(core::Bundle::find("Zelto_ZeltoCore"), nullptr);
    core::Bundle::addSearchPath(root);
    ASSERT_TRUE(core::Bundle::find("Zelto_ZeltoCore"));
    EXPECT_EQ(core::Bundle::named("Zelto_ZeltoCore")->bundleIdentifier(), "kit");
    EXPECT_EQ(core::Bundle::named("Zelto_ZeltoCore.bundle"), core::Bundle::named("Zelto_ZeltoCore"));
    EXPECT_EQ(core::Bundle::find("../Zelto_ZeltoCore"), nullptr);

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(core::Bundle::named("Core_NeverBuilt.bundle"),
                 "unable to find bundle named Core_NeverBuilt\n");
}

// A bundle looked up once stays the one found, wherever the search would lead later; the last resort is
// taken only when no usual place holds the bundle, and never leaves its directory.
TEST_F(CoreBundleTest, ANamedBundleFoundOnceStaysFound) {
    makeBundle(root / "first" / "Core_Once.bundle", R"({"CFBundleIdentifier": "first"})");
    makeBundle(root / "second" / "Core_Once.bundle", R"({"CFBundleIdentifier": "second"})");
    core::Bundle::addSearchPath(root / "first");
    const void* here = reinterpret_cast<const void*>(&codeInTheExecutable);
    const auto& once = core::Bundle::namedOnce("Core_Once", here);
    ASSERT_TRUE(once);
    EXPECT_EQ(once->bundleIdentifier(), "first");
    core::Bundle::removeSearchPath(root / "first");
    core::Bundle::addSearchPath(root / "second");
    EXPECT_EQ(core::Bundle::find("Core_Once")->bundleIdentifier(), "second");
    EXPECT_EQ(&core::Bundle::namedOnce("Core_Once", here), &once) << "not looked up again";
    core::Bundle::removeSearchPath(root / "second");

    makeBundle(root / "resort" / "Core_LastResort.bundle", R"({"CFBundleIdentifier": "resort"})");
    EXPECT_EQ(core::Bundle::namedOnce("Core_LastResort", here, root / "resort")->bundleIdentifier(),
              "resort");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(core::Bundle::namedOnce("../resort/Core_LastResort", here, root / "resort"),
                 "unable to find bundle named");
}

} // namespace
