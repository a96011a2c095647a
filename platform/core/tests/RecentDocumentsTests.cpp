#include "core/RecentDocuments.hpp"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Another program's list, with entries and details this class does not interpret.
const char* const kOthersList = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"
>
  <bookmark href="file:///home/me/notes.txt" added="2024-03-01T09:00:00.000001Z" modified="2024-03-02T09:00:00Z" visited="2024-03-02T09:00:00Z">
    <title>My &amp; notes</title>
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="text/plain"/>
        <bookmark:groups>
          <bookmark:group>gedit</bookmark:group>
        </bookmark:groups>
        <bookmark:applications>
          <bookmark:application name="gedit" exec="&apos;gedit %u&apos;" modified="2024-03-02T09:00:00Z" count="3"/>
        </bookmark:applications>
        <bookmark:private/>
      </metadata>
    </info>
  </bookmark>
  <bookmark href="file:///home/me/%41mbient.wav" added="2024-03-01T10:00:00Z" modified="2024-03-01T10:00:00Z" visited="2024-03-01T10:00:00Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="audio/x-wav"/>
        <bookmark:applications>
          <bookmark:application name="Audacity" exec="&apos;audacity %f&apos;" timestamp="1709287200" count="1"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
</xbel>
)";

struct DataHome {
    fs::path folder;
    std::string previous;
    bool hadPrevious = false;
    core::Date now = core::Date(std::chrono::seconds(1750000000));

    DataHome() {
        std::string pattern = (fs::temp_directory_path() / "recent-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        if (const char* value = std::getenv("XDG_DATA_HOME")) {
            previous = value;
            hadPrevious = true;
        }
        ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    }
    ~DataHome() {
        hadPrevious ? ::setenv("XDG_DATA_HOME", previous.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(folder);
    }
    fs::path list() const { return folder / "data" / "recently-used.xbel"; }
    void writeList(std::string_view text) const {
        fs::create_directories(list().parent_path());
        core::FileManager::writeAtomically(list(), text);
    }
    std::string read() const { return core::FileManager::contents(list()); }
    core::RecentDocuments recents(std::string name = "Tessaray") {
        return core::RecentDocuments(std::move(name), "'tessaray %u'", {}, [this] { return now += 1s; });
    }
};

core::URL file(const char* path) {
    return core::URL::fileURL(path);
}

std::vector<std::string> strings(const std::vector<core::URL>& urls) {
    std::vector<std::string> result;
    for (const auto& url : urls) {
        result.push_back(url.string());
    }
    return result;
}

TEST(CoreRecentDocuments, RoundTripsThroughTheDesktopListKeepingOtherProgramsEntries) {
    DataHome home;
    EXPECT_EQ(core::RecentDocuments::defaultFile(), home.list());
    home.writeList(kOthersList);
    auto recents = home.recents();
    EXPECT_TRUE(recents.recentDocumentURLs().empty()) << "other programs' documents are not ours";

    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/home/me/song one.tsr"), "application/x-tessaray"));
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/home/me/Ambient.wav")));
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/home/me/a&b <c>.tsr")));
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/home/me/song one.tsr")));
    EXPECT_EQ(strings(recents.recentDocumentURLs()),
              (std::vector<std::string>{"file:///home/me/song%20one.tsr", "file:///home/me/a&b%20%3Cc%3E.tsr",
                                        "file:///home/me/%41mbient.wav"}))
        << "most recent first; the differently escaped entry is the same document";

    const auto all = recents.allDocuments();
    ASSERT_EQ(all.size(), 4u);
    const auto ambient =
        std::find_if(all.begin(), all.end(), [](const auto& d) { return d.mimeType == "audio/x-wav"; });
    ASSERT_NE(ambient, all.end());
    ASSERT_EQ(ambient->applications.size(), 2u) << "our registration joins Audacity's";
    EXPECT_EQ(ambient->applications[0].modified, core::Date(std::chrono::seconds(1709287200)));
    const auto song = all.front();
    EXPECT_EQ(song.mimeType, "application/x-tessaray");
    EXPECT_EQ(song.applications.at(0).count, 2);
    EXPECT_GT(song.modified, song.added);

    // Another desktop program reading the file finds its own entry untouched.
    const std::string text = home.read();
    for (const char* kept :
         {"<title>My &amp; notes</title>", "<bookmark:private/>", "<bookmark:group>gedit</bookmark:group>",
          "name=\"gedit\" exec=\"&apos;gedit %u&apos;\" modified=\"2024-03-02T09:00:00Z\" count=\"3\"",
          "timestamp=\"1709287200\""}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;
    }

    recents.setMaximumRecentDocumentCount(1);
    EXPECT_EQ(recents.recentDocumentURLs().size(), 1u);

    // Clearing forgets only our registrations.
    ASSERT_TRUE(recents.clearRecentDocuments());
    EXPECT_TRUE(recents.recentDocumentURLs().empty());
    const auto remaining = recents.allDocuments();
    ASSERT_EQ(remaining.size(), 2u);
    for (const auto& document : remaining) {
        ASSERT_EQ(document.applications.size(), 1u);
        EXPECT_NE(document.applications[0].name, "Tessaray");
    }
    EXPECT_EQ(home.recents("gedit").recentDocumentURLs().size(), 1u);
}

TEST(CoreRecentDocuments, StartsAListWhereThereIsNoneOrOnlyAnUnreadableOne) {
    DataHome home;
    auto recents = home.recents();
    EXPECT_TRUE(recents.recentDocumentURLs().empty());
    EXPECT_TRUE(recents.clearRecentDocuments()) << "nothing to clear";
    EXPECT_FALSE(fs::exists(home.list()));
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    EXPECT_EQ(recents.recentDocumentURLs().size(), 1u);

    // A list cut short mid-write counts as empty and is replaced by a whole one.
    const std::string whole = kOthersList;
    home.writeList(whole.substr(0, whole.size() / 2));
    EXPECT_TRUE(recents.allDocuments().empty());
    EXPECT_TRUE(recents.clearRecentDocuments());
    EXPECT_EQ(home.read(), whole.substr(0, whole.size() / 2)) << "clearing leaves an unreadable list alone";
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/y.tsr")));
    EXPECT_EQ(strings(recents.recentDocumentURLs()), (std::vector<std::string>{"file:///tmp/y.tsr"}));
}

TEST(CoreRecentDocuments, RefusesToWriteThroughADirectoryAndShrugsOffHostileLists) {
    DataHome home;
    auto recents = home.recents();
    fs::create_directories(home.list());
    EXPECT_TRUE(recents.recentDocumentURLs().empty());
    EXPECT_FALSE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    EXPECT_FALSE(recents.clearRecentDocuments());
    EXPECT_TRUE(fs::is_directory(home.list()));
    fs::remove(home.list());

    // Entity expansion and absurd nesting are refused, not expanded or recursed into.
    home.writeList(
        R"(<?xml version="1.0"?><!DOCTYPE xbel [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;">]>
<xbel version="1.0"><bookmark href="file:///&b;"/></xbel>)");
    EXPECT_TRUE(recents.allDocuments().empty());
    std::string deep = "<xbel>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<x>";
    }
    home.writeList(deep);
    EXPECT_TRUE(recents.allDocuments().empty());
    home.writeList("<notxbel/>");
    EXPECT_TRUE(recents.allDocuments().empty());

    // Text that XML cannot carry is left out of what we write, so the list stays readable.
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/z.tsr"), std::string("text/\x01plain\"&")));
    const auto all = recents.allDocuments();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].mimeType, "text/plain\"&");
}

} // namespace
