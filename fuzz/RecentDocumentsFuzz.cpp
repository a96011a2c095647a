// libFuzzer entry: any recently-used list must be read or refused whole; a list that was read takes a new
// entry and gives it up again, and stays readable with every entry it had; nothing is refused for not
// reading back.

#include "FuzzCheck.hpp"
#include "core/Log.hpp"
#include "core/RecentDocuments.hpp"
#include "core/XbelList.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

using fuzzcheck::check;

namespace {

// A folder of its own, in memory where there is such a file system (the list is written on every run).
struct Folder {
    std::filesystem::path path;
    Folder() {
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string pattern = (base / "recent-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        path = pattern;
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A change that would not read back is refused, but it is a fault all the same.
    static const auto quiet = core::setLogHook(
        [](std::string_view line) { check(line.find("would not read back") == std::string_view::npos); });
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::size_t entries = 0;
    core::XbelList list;
    list.source = text;
    const core::XbelReader reader{"Fuzz", nullptr, [&](core::XbelEntry&) { ++entries; }};
    const bool readable = core::parseXbel(list, reader);

    static const Folder folder;
    const auto file = folder.path / "recently-used.xbel";
    core::FileManager::writeAtomically(file, text);
    core::RecentDocuments recents("Fuzz", {}, file,
                                  [] { return core::Date(std::chrono::seconds(1750000000)); });
    recents.setMaximumRecentDocumentCount(SIZE_MAX);
    check(recents.allDocuments().size() == (readable ? entries : 0));
    const auto url = core::URL::fileURL("/tmp/fuzz \xC3\xA9.tsr");
    if (!recents.noteNewRecentDocumentURL(url, "application/x-fuzz")) {
        check(!readable || core::FileManager::contents(file) == text);
        return 0;
    }
    check(readable);
    const auto urls = recents.recentDocumentURLs();
    // Our document, or an entry naming the same file (escaped otherwise, or on "localhost").
    check(std::any_of(urls.begin(), urls.end(), [&](const core::URL& each) {
        return each.filePath() == url.filePath() && (!each.host() || *each.host() == "localhost");
    }));
    const auto all = recents.allDocuments();
    check(all.size() == entries || all.size() == entries + 1);
    check(recents.clearRecentDocuments());
    check(recents.recentDocumentURLs().empty());
    return 0;
}
