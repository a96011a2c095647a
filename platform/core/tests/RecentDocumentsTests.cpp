#include "core/Log.hpp"
#include "core/RecentDocuments.hpp"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

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

    // A list that cannot be read is never replaced: every other program's entries may be in it.
    const std::string whole = kOthersList;
    const std::string cut = whole.substr(0, whole.size() / 2);
    home.writeList(cut);
    EXPECT_TRUE(recents.allDocuments().empty());
    EXPECT_TRUE(recents.clearRecentDocuments());
    EXPECT_EQ(home.read(), cut) << "clearing leaves an unreadable list alone";
    {
        core::LogCapture log;
        EXPECT_FALSE(recents.noteNewRecentDocumentURL(file("/tmp/y.tsr")));
        EXPECT_TRUE(log.contains("file:///tmp/y.tsr not noted"));
    }
    EXPECT_EQ(home.read(), cut);
    const std::string tooLarge = std::string(kOthersList) + std::string((std::size_t{32} << 20) + 1, ' ');
    home.writeList(tooLarge);
    EXPECT_FALSE(recents.noteNewRecentDocumentURL(file("/tmp/y.tsr")));
    EXPECT_EQ(home.read().size(), tooLarge.size());
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
    fs::remove(home.list());
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/z.tsr"), std::string("text/\x01plain\"&")));
    const auto all = recents.allDocuments();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].mimeType, "text/plain\"&");
}

// The peak resident size since the last reset, where the kernel lets it be reset.
std::optional<long> resetPeakKiB() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    if (!clear) {
        return std::nullopt;
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return std::nullopt;
}

long peakKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

TEST(CoreRecentDocuments, WritesOtherProgramsEntriesBackByteForByte) {
    DataHome home;
    auto recents = home.recents();
    // Written tersely, with single quotes, a comment, a CDATA section and character references: nothing of
    // it is reformatted.
    const std::string gedit =
        "<bookmark href='file:///home/me/a%20b.txt' added='2024-03-01T09:00:00Z' "
        "modified='2024-03-01T09:00:00Z' visited='2024-03-01T09:00:00Z' note='it&apos;s &#x263A;'><info>"
        "<metadata owner='http://freedesktop.org'><mime:mime-type type='text/plain'/><bookmark:applications>"
        "<bookmark:application name='gedit' exec='&apos;gedit %u&apos;' modified='2024-03-01T09:00:00Z' "
        "count='3'/></bookmark:applications></metadata></info><title><![CDATA[<x>]]></title></bookmark>";
    const std::string head = "<?xml version='1.0'?>\n<!-- kept -->\n<xbel version='1.0' "
                             "xmlns:bookmark='http://www.freedesktop.org/standards/desktop-bookmarks' "
                             "xmlns:mime='http://www.freedesktop.org/standards/shared-mime-info'>";
    home.writeList(head + gedit + "</xbel>");
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    const std::string text = home.read();
    EXPECT_EQ(text.rfind(head + gedit, 0), 0u) << text;
    ASSERT_EQ(recents.allDocuments().size(), 2u);

    // Noting the other program's document again changes only its start tag and our registration.
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/home/me/a b.txt"), "text/x-c"));
    const std::string again = home.read();
    for (const char* kept : {"<info><metadata owner='http://freedesktop.org'>",
                             "<bookmark:application name='gedit' exec='&apos;gedit %u&apos;'",
                             "<title><![CDATA[<x>]]></title></bookmark>", "<!-- kept -->"}) {
        EXPECT_NE(again.find(kept), std::string::npos) << kept << "\n" << again;
    }
    const auto all = recents.allDocuments();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].mimeType, "text/x-c");
    EXPECT_EQ(all[0].applications.size(), 2u);

    // A list whose rewriting would once swell (every apostrophe of an attribute re-escaped) stays within
    // what can be read back.
    home.writeList(head + "<bookmark href='file:///big' note=\"" + std::string(std::size_t{6} << 20, '\'') +
                   "\"/></xbel>");
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    EXPECT_EQ(recents.allDocuments().size(), 2u);
    EXPECT_EQ(recents.recentDocumentURLs().size(), 1u);

    // A list that would grow past that size is left as it is.
    const std::string full =
        head + "<!--" + std::string((std::size_t{32} << 20) - head.size() - 20, 'x') + "--></xbel>";
    home.writeList(full);
    EXPECT_FALSE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    EXPECT_EQ(home.read().size(), full.size());
}

TEST(CoreRecentDocuments, ReadsAndWritesTheEncodingTheListDeclares) {
    DataHome home;
    auto recents = home.recents();
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<xbel version=\"1.0\" "
                               "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\">\n"
                               "<bookmark href=\"file:///caf%C3%A9\"><info><metadata "
                               "owner=\"http://freedesktop.org\"><bookmark:groups><bookmark:group>Caf\xE9"
                               "</bookmark:group></bookmark:groups></metadata></info></bookmark>\n</xbel>\n";
    home.writeList(latin1);
    auto all = recents.allDocuments();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].groups, (std::vector<std::string>{"Caf\xC3\xA9"}));

    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr"), "text/x-\xC3\xA9\xE2\x82\xAC"));
    const std::string text = home.read();
    EXPECT_NE(text.find("Caf\xE9</bookmark:group>"), std::string::npos) << "still ISO-8859-1";
    EXPECT_NE(text.find("type=\"text/x-\xE9&#x20AC;\""), std::string::npos) << text;
    all = recents.allDocuments();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].mimeType, "text/x-\xC3\xA9\xE2\x82\xAC");

    // UTF-16 with a byte order mark, little-endian.
    const std::string ascii = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><xbel version=\"1.0\" "
                              "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
                              "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">"
                              "<bookmark href=\"file:///a\"/></xbel>";
    std::string utf16 = "\xFF\xFE";
    for (const char c : ascii) {
        utf16 += c;
        utf16 += '\0';
    }
    home.writeList(utf16);
    ASSERT_EQ(recents.allDocuments().size(), 1u);
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/\xE2\x82\xAC.tsr"), "text/x-\xE2\x82\xAC"));
    EXPECT_EQ(home.read().rfind(utf16.substr(0, utf16.size() - 14), 0), 0u);
    all = recents.allDocuments();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].mimeType, "text/x-\xE2\x82\xAC");
    EXPECT_EQ(strings(recents.recentDocumentURLs()), (std::vector<std::string>{"file:///tmp/%E2%82%AC.tsr"}));
}

TEST(CoreRecentDocuments, WritesWhatItReadsBackWhicheverPrefixesTheListBinds) {
    DataHome home;
    auto recents = home.recents();
    // The bookmark namespace bound only to a prefix no element can have, the entry's elements in an
    // undeclared one, and a registration under a misspelt prefix that is not ours.
    const std::string others =
        "<info><metadata owner='http://freedesktop.org'><bookmark:groups><bookmark:group>Caf\xE9"
        "</bookmark:group></bookmark:groups><bookmark:applications><bookmrak:application name='Tessaray' "
        "exec='x' count='1'/><bookmark:application nazme='other'/>";
    home.writeList("<?xml version='1.0' encoding='ISO-8859-1'?><xbel version='1.0' "
                   "xmlns:1ookmark='http://www.freedesktop.org/standards/desktop-bookmarks'>"
                   "<bookmark href='file:///tmp/x.tsr'>" +
                   others + "</bookmark:applications></metadata></info></bookmark></xbel>");
    EXPECT_TRUE(recents.recentDocumentURLs().empty());
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    std::string text = home.read();
    EXPECT_NE(text.find(others), std::string::npos) << text;
    EXPECT_NE(text.find("xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\""),
              std::string::npos)
        << text;
    EXPECT_EQ(strings(recents.recentDocumentURLs()), (std::vector<std::string>{"file:///tmp/x.tsr"}));
    auto all = recents.allDocuments();
    ASSERT_EQ(all.size(), 1u);
    ASSERT_EQ(all[0].applications.size(), 1u);
    EXPECT_EQ(all[0].applications[0].count, 1);
    EXPECT_EQ(all[0].groups, (std::vector<std::string>{"Caf\xC3\xA9"}));

    // A prefix of two names is no prefix, and ours is one the root binds to nothing else.
    home.writeList("<xbel version='1.0' xmlns:a:b='http://www.freedesktop.org/standards/desktop-bookmarks' "
                   "xmlns:bookmark='urn:other' xmlns:bookmark_='urn:another'/>");
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    text = home.read();
    EXPECT_EQ(text.find("<a:b:"), std::string::npos) << text;
    EXPECT_NE(text.find("xmlns:bookmark__=\"http://www.freedesktop.org/standards/desktop-bookmarks\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<bookmark__:application name=\"Tessaray\""), std::string::npos) << text;
    EXPECT_EQ(recents.recentDocumentURLs().size(), 1u);

    // Of two types, the one a note changes is the one read.
    home.writeList(
        "<xbel version='1.0' xmlns:mime='http://www.freedesktop.org/standards/shared-mime-info'>"
        "<bookmark href='file:///tmp/x.tsr'><info><metadata owner='http://freedesktop.org'>"
        "<mime:mime-type/><mime:mime-type type='text/plain'/></metadata></info></bookmark></xbel>");
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr"), "text/x-c"));
    all = recents.allDocuments();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].mimeType, "text/x-c");
}

TEST(CoreRecentDocuments, HoldsLittleMoreThanTheFileWhateverItsElements) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer's shadow memory counts into the resident size";
#endif
    DataHome home;
    auto recents = home.recents();
    std::string list = "<xbel version=\"1.0\">";
    for (int i = 0; i < 1000000; ++i) {
        list += "<a/>";
    }
    home.writeList(list + "</xbel>");
    const auto before = resetPeakKiB();
    if (!before) {
        GTEST_SKIP() << "the peak resident size cannot be reset here";
    }
    EXPECT_TRUE(recents.recentDocumentURLs().empty());
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    EXPECT_LT(peakKiB() - *before, 48 * 1024) << "a 4 MB list of empty elements";
    EXPECT_EQ(recents.recentDocumentURLs().size(), 1u);

    // The entry being updated is held whole, but only up to a size no real entry reaches.
    std::string bloated = "<xbel version=\"1.0\"><bookmark href=\"file:///tmp/x.tsr\">";
    for (int i = 0; i < 10000; ++i) {
        bloated += "<a/>";
    }
    bloated += "</bookmark></xbel>";
    home.writeList(bloated);
    EXPECT_FALSE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    EXPECT_EQ(home.read(), bloated);
    EXPECT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/y.tsr")));
}

TEST(CoreRecentDocuments, KeepsDatesWithinTheYearsADateCanHold) {
    DataHome home;
    auto recents = home.recents();
    // Another program's entry with years past 9999, one of them past what an int holds.
    const std::string beyond =
        R"(<bookmark href="file:///beyond" modified="+9999-12-31T23:59:59Z" visited="10000-01-01T00:00:00Z")"
        R"( added="123456789012345678901234-05-01T10:20:30.5+02:00"/>)";
    home.writeList(R"(<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks">
  <bookmark href="file:///now" modified="2024-01-01T00:00:00Z"/>
  <bookmark href="file:///far" added="1600-01-01T00:00:00Z" modified="3000-06-01T00:00:00.5Z"
            visited="9999-12-31T23:59:59+01:00">
    <info><metadata owner="http://freedesktop.org"><bookmark:applications>
      <bookmark:application name="Tessaray" timestamp="999999999999999999" count="99999999999"/>
    </bookmark:applications></metadata></info>
  </bookmark>
  )" + beyond + R"(
</xbel>)");
    const auto all = recents.allDocuments();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].href, "file:///far");
    EXPECT_EQ(all[0].added, core::Date{}) << "no earlier than 1970";
    EXPECT_GT(all[0].modified, all[1].modified);
    EXPECT_GE(all[0].visited, all[0].modified) << "as late as a date can be";
    EXPECT_EQ(core::Date::clock::to_time_t(all[0].visited), 9223372035) << "2262-04-11T23:47:15Z";
    ASSERT_EQ(all[2].href, "file:///beyond");
    EXPECT_EQ(all[2].visited, all[0].visited) << "a year past 9999 is as late as a date can be";
    EXPECT_EQ(all[2].added, all[0].visited);
    ASSERT_EQ(all[0].applications.size(), 1u);
    EXPECT_EQ(all[0].applications[0].modified, all[0].visited);
    EXPECT_EQ(all[0].applications[0].count, 1 << 30);
    EXPECT_EQ(strings(recents.recentDocumentURLs()), (std::vector<std::string>{"file:///far"}));
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    EXPECT_NE(home.read().find(beyond), std::string::npos) << "other programs' entries stay as they were";
}

TEST(CoreRecentDocuments, TellsTheSameFileOnAnotherHostApart) {
    DataHome home;
    auto recents = home.recents();
    home.writeList(R"(<xbel version="1.0"><bookmark href="file://elsewhere/tmp/%78.tsr"/>
<bookmark href="file://localhost/tmp/y.tsr"/></xbel>)");
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/x.tsr")));
    ASSERT_TRUE(recents.noteNewRecentDocumentURL(file("/tmp/y.tsr")));
    EXPECT_EQ(strings(recents.recentDocumentURLs()),
              (std::vector<std::string>{"file://localhost/tmp/y.tsr", "file:///tmp/x.tsr"}));
    EXPECT_EQ(recents.allDocuments().size(), 3u);
}

} // namespace
