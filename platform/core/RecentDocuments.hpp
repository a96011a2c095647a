// The desktop's shared list of recently used documents ($XDG_DATA_HOME/recently-used.xbel).
#pragma once

#include "core/FileManager.hpp"
#include "core/URL.hpp"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace core {

struct RecentApplication {
    std::string name;
    std::string exec;
    Date modified;
    int count = 0;
};

struct RecentDocument {
    std::string href;
    std::string mimeType;
    Date added;
    Date modified;
    Date visited;
    std::vector<RecentApplication> applications;
    std::vector<std::string> groups;
};

// Reads and writes the recently-used list that desktop programs share, in the XBEL form they use. Only
// this application's registrations change; every other program's entries, and anything in them this
// class does not understand, are written back byte for byte, in the encoding the list declares. Each call
// reads the file afresh and replaces it atomically, so programs that write in between are not undone. A
// list that cannot be read (too large, cut short, not XML) is never rewritten: a note is dropped instead.
// Thread-safe.
class RecentDocuments {
public:
    using Now = std::function<Date()>;

    // exec is the command line stored for the application ("'tessaray %u'"); empty uses the name.
    explicit RecentDocuments(std::string applicationName, std::string exec = {},
                             std::filesystem::path file = {}, Now now = nullptr);

    // $XDG_DATA_HOME/recently-used.xbel, or ~/.local/share/recently-used.xbel.
    static std::filesystem::path defaultFile();
    const std::filesystem::path& file() const { return file_; }

    std::size_t maximumRecentDocumentCount() const;
    void setMaximumRecentDocumentCount(std::size_t count);

    // Every entry of the list, most recently modified first; empty when the list cannot be read.
    std::vector<RecentDocument> allDocuments() const;
    // This application's documents, most recently used first, at most the maximum count.
    std::vector<URL> recentDocumentURLs() const;

    // Records that this application opened or saved the document. Returns whether the list was written.
    bool noteNewRecentDocumentURL(const URL& url, const std::string& mimeType = {});
    // Forgets this application's documents; entries that no other program lists go too.
    bool clearRecentDocuments();

private:
    const std::string applicationName_;
    const std::string exec_;
    const std::filesystem::path file_;
    const Now now_;
    mutable std::mutex mutex_;
    std::size_t maximumCount_ = 10;
};

} // namespace core
