#include "core/FileManager.hpp"
#include "core/URL.hpp"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

struct TemporaryFolder {
    fs::path path;
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "core-files-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() { fs::remove_all(path); }
};

TEST(CoreFileURL, SplitsPathsAsTheDocumentMachineryExpects) {
    const auto url = *core::URL::parse("file:///home/me/My%20Song.final.wav");
    EXPECT_EQ(url.pathComponents(), (std::vector<std::string>{"/", "home", "me", "My Song.final.wav"}));
    EXPECT_EQ(url.lastPathComponent(), "My Song.final.wav");
    EXPECT_EQ(url.pathExtension(), "wav");
    EXPECT_EQ(core::URL::parse("file:///home/me/.bashrc")->pathExtension(), "");
    EXPECT_EQ(core::URL::parse("file:///home/me/folder/")->lastPathComponent(), "folder");

    EXPECT_EQ(core::URL::parse("file:///a/./b/../c/")->standardized().string(), "file:///a/c/");
    EXPECT_EQ(core::URL::parse("https://x.org/a/../../b?q#f")->standardized().string(),
              "https://x.org/b?q#f");
    EXPECT_EQ(core::URL::parse("a/../../b")->standardized().string(), "../b");
    // A relative reference stays one, whatever its first segment holds.
    const auto relative = core::URL::parse("x/../a:b")->standardized();
    EXPECT_EQ(relative.string(), "./a:b");
    EXPECT_FALSE(relative.scheme());
    EXPECT_EQ(relative.path(), "./a:b");
    EXPECT_EQ(relative.standardized().string(), "./a:b");
    EXPECT_EQ(core::URL::parse("./a:b/../c:d?q#f")->standardized().string(), "./c:d?q#f");
    EXPECT_EQ(core::URL::parse("mailto:x/../a:b")->standardized().string(), "mailto:a:b");

    // Only an absolute path names a file, and a NUL names none.
    EXPECT_EQ(core::URL::parse("file:///tmp/a%20b")->filePath(), fs::path("/tmp/a b"));
    EXPECT_EQ(core::URL::parse("file:/tmp/x")->filePath(), fs::path("/tmp/x"));
    for (const char* nothing : {"file:///tmp/a%00b", "file:rel", "file:rel/x", "file://host", "file:"}) {
        EXPECT_EQ(core::URL::parse(nothing)->filePath(), std::nullopt) << nothing;
    }

    EXPECT_EQ(core::URL::fileURL("/tmp/x y", true).string(), "file:///tmp/x%20y/");
    EXPECT_EQ(core::URL::fileURL("/tmp/x/", false).string(), "file:///tmp/x/");
}

TEST(CoreFileManager, ReportsAttributesAndThrowsTheSystemsErrorForMissingItems) {
    TemporaryFolder folder;
    const auto file = folder.path / "a.txt";
    std::ofstream(file) << "hello";
    const auto attributes = core::FileManager::attributesOfItem(file);
    EXPECT_EQ(attributes.kind, core::FileAttributes::Kind::regular);
    EXPECT_EQ(attributes.size, 5u);
    ASSERT_TRUE(attributes.modificationDate);
    EXPECT_LT(std::chrono::abs(std::chrono::system_clock::now() - *attributes.modificationDate),
              std::chrono::hours(1));

    try {
        core::FileManager::attributesOfItem(folder.path / "missing");
        ADD_FAILURE() << "no error";
    } catch (const core::FileError& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(error.path(), folder.path / "missing");
    }
    bool isDirectory = false;
    EXPECT_TRUE(core::FileManager::fileExists(folder.path, &isDirectory));
    EXPECT_TRUE(isDirectory);
    core::FileManager::createDirectory(folder.path / "x" / "y");
    EXPECT_EQ(core::FileManager::contentsOfDirectory(folder.path),
              (std::vector<fs::path>{folder.path / "a.txt", folder.path / "x"}));
    core::FileManager::removeItem(folder.path / "x");
    EXPECT_THROW(core::FileManager::removeItem(folder.path / "x"), core::FileError);
    EXPECT_THROW(core::FileManager::createDirectory(file / "sub"), core::FileError);
}

TEST(CoreFileManager, WritesAtomicallyKeepingPermissionsAndReadsWithinALimit) {
    TemporaryFolder folder;
    const auto file = folder.path / "list.xml";
    core::FileManager::writeAtomically(file, "first");
    ::chmod(file.c_str(), 0600);
    core::FileManager::writeAtomically(file, "second");
    EXPECT_EQ(core::FileManager::contents(file), "second");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(core::FileManager::contentsOfDirectory(folder.path).size(), 1u) << "no temporary file left";

    try {
        core::FileManager::contents(file, 3);
        ADD_FAILURE();
    } catch (const core::FileError& error) {
        EXPECT_EQ(error.code(), std::errc::file_too_large);
    }
    EXPECT_THROW(core::FileManager::contents(folder.path), core::FileError);
    const auto fifo = folder.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(core::FileManager::contents(fifo), core::FileError)
        << "refused without waiting for a writer";
    fs::remove(fifo);

    // A directory where the file should be: the write fails and leaves both alone.
    const auto blocked = folder.path / "blocked";
    core::FileManager::createDirectory(blocked);
    EXPECT_THROW(core::FileManager::writeAtomically(blocked, "x"), core::FileError);
    EXPECT_TRUE(fs::is_directory(blocked));
    EXPECT_EQ(core::FileManager::contentsOfDirectory(folder.path).size(), 2u);
}

TEST(CoreFileManager, DataDirectoryFollowsXdgDataHomeWhenAbsolute) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(core::FileManager::userDataDirectory(), fs::path("/srv/data"));
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(core::FileManager::userDataDirectory().filename(), "share");
    if (saved) {
        ::setenv("XDG_DATA_HOME", previous.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

} // namespace
