#include "core/RecentDocuments.hpp"

#include "core/Log.hpp"
#include "core/XbelList.hpp"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

namespace core {

namespace {

namespace fs = std::filesystem;

// A list that is too large or not a list is unreadable; one that cannot be opened (a folder in its place,
// no permission) fails.
enum class Loaded { list, missing, unreadable, failed };

// Reads the list; a missing file reads as an empty list.
Loaded load(const fs::path& file, XbelList& list, const XbelReader& reader) {
    Loaded loaded = Loaded::list;
    try {
        list.source = FileManager::contents(file, kXbelMaximumFileSize);
    } catch (const FileError& error) {
        if (error.code() != std::errc::no_such_file_or_directory) {
            log("RecentDocuments: cannot read %s: %s", file.c_str(), error.what());
            return error.code() == std::errc::file_too_large ? Loaded::unreadable : Loaded::failed;
        }
        list.source = kXbelEmptyList;
        loaded = Loaded::missing;
    }
    if (!parseXbel(list, reader)) {
        log("RecentDocuments: %s is not a readable recently-used list", file.c_str());
        return Loaded::unreadable;
    }
    return loaded;
}

// A list written is never larger than a list read may be, and must read back as a list in which the
// change holds (checked by `holds` once `check` has seen every entry): other programs would lose the
// whole list to a file that cannot be read.
bool store(const fs::path& file, const XbelList& list, const XbelReader& check,
           const std::function<bool()>& holds) {
    XbelList written;
    written.source = writeXbel(list);
    if (written.source.size() > kXbelMaximumFileSize) {
        log("RecentDocuments: not writing %s: the list would grow past %zu bytes", file.c_str(),
            kXbelMaximumFileSize);
        return false;
    }
    if (!parseXbel(written, check) || !holds()) {
        log("RecentDocuments: not writing %s: the changed list would not read back", file.c_str());
        return false;
    }
    try {
        if (file.has_parent_path()) {
            FileManager::createDirectory(file.parent_path());
        }
        FileManager::writeAtomically(file, written.source);
        return true;
    } catch (const FileError& error) {
        log("RecentDocuments: cannot write %s: %s", file.c_str(), error.what());
        return false;
    }
}

bool isLocal(const URL& url) {
    return !url.host() || *url.host() == "localhost";
}

// Entries name the same document when their URLs do, comparing file paths decoded (programs escape
// file names differently) on the same host.
bool sameDocument(const std::string& href, const URL& url) {
    if (href == url.string()) {
        return true;
    }
    const auto other = URL::parse(href);
    const auto path = url.filePath();
    return path && other && other->isFileURL() && other->filePath() == path &&
           (isLocal(*other) && isLocal(url) ? true : other->host() == url.host());
}

// The freedesktop metadata of an entry kept whole.
XbelElement* metadata(XbelElement& bookmark) {
    XbelElement* info = bookmark.child("info");
    if (!info) {
        return nullptr;
    }
    for (auto& node : info->children) {
        const auto* owner = node.attribute("owner");
        if (node.name == "metadata" && owner && *owner == kXbelMetadataOwner) {
            return &node;
        }
    }
    return nullptr;
}

XbelElement& metadataOrNew(XbelElement& bookmark) {
    if (XbelElement* existing = metadata(bookmark)) {
        return *existing;
    }
    XbelElement& info = bookmark.childOrNew("info");
    info.children.push_back(XbelElement{"metadata", {{"owner", kXbelMetadataOwner}}});
    return info.children.back();
}

} // namespace

RecentDocuments::RecentDocuments(std::string applicationName, std::string exec, fs::path file, Now now)
    : applicationName_(std::move(applicationName)),
      exec_(exec.empty() ? "'" + applicationName_ + " %u'" : std::move(exec)),
      file_(file.empty() ? defaultFile() : std::move(file)),
      now_(now ? std::move(now) : Now([] { return std::chrono::system_clock::now(); })) {}

fs::path RecentDocuments::defaultFile() {
    return FileManager::userDataDirectory() / "recently-used.xbel";
}

std::size_t RecentDocuments::maximumRecentDocumentCount() const {
    std::lock_guard lock(mutex_);
    return maximumCount_;
}

void RecentDocuments::setMaximumRecentDocumentCount(std::size_t count) {
    std::lock_guard lock(mutex_);
    maximumCount_ = count;
}

std::vector<RecentDocument> RecentDocuments::allDocuments() const {
    std::lock_guard lock(mutex_);
    std::vector<RecentDocument> result;
    XbelList list;
    const XbelReader reader{applicationName_, nullptr,
                            [&](XbelEntry& entry) { result.push_back(std::move(entry.document)); }};
    if (const auto loaded = load(file_, list, reader);
        loaded == Loaded::unreadable || loaded == Loaded::failed) {
        return {};
    }
    std::stable_sort(result.begin(), result.end(), [](const RecentDocument& a, const RecentDocument& b) {
        return a.modified > b.modified;
    });
    return result;
}

std::vector<URL> RecentDocuments::recentDocumentURLs() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<Date, URL>> ours;
    const XbelReader reader{applicationName_, nullptr, [&](XbelEntry& entry) {
                                const auto& document = entry.document;
                                const auto app = std::find_if(
                                    document.applications.begin(), document.applications.end(),
                                    [&](const RecentApplication& a) { return a.name == applicationName_; });
                                const auto url = URL::parse(document.href);
                                if (app != document.applications.end() && url) {
                                    ours.emplace_back(std::max(app->modified, document.modified), *url);
                                }
                            }};
    XbelList list;
    if (const auto loaded = load(file_, list, reader);
        loaded == Loaded::unreadable || loaded == Loaded::failed) {
        return {};
    }
    // Most recent first; among equal times, the later entry.
    std::reverse(ours.begin(), ours.end());
    std::stable_sort(ours.begin(), ours.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<URL> urls;
    for (std::size_t i = 0; i < ours.size() && i < maximumCount_; ++i) {
        urls.push_back(ours[i].second);
    }
    return urls;
}

bool RecentDocuments::noteNewRecentDocumentURL(const URL& url, const std::string& mimeType) {
    std::lock_guard lock(mutex_);
    XbelList list;
    const XbelReader reader{
        applicationName_, [&](const std::string& href) { return sameDocument(href, url); }, {}};
    if (const auto loaded = load(file_, list, reader);
        loaded == Loaded::unreadable || loaded == Loaded::failed) {
        // Rewriting a list that could not be read would lose every other program's entries.
        log("RecentDocuments: %s not noted", url.string().c_str());
        return false;
    }
    if (list.entryTooLarge) {
        log("RecentDocuments: the entry for %s is too large to update", url.string().c_str());
        return false;
    }
    const XbelPrefixes& p = list.prefixes;
    const std::string stamp = formatXbelDate(now_());
    if (!p.declared) {
        p.declare(list.root);
    }
    if (!list.entry) {
        list.entry = XbelElement{"bookmark", {{"href", url.string()}, {"added", stamp}}};
    }
    XbelElement& bookmark = *list.entry;
    bookmark.setAttribute("modified", stamp);
    bookmark.setAttribute("visited", stamp);
    XbelElement& meta = metadataOrNew(bookmark);
    XbelElement& mime = meta.childOrNew(p.mime + ":mime-type");
    if (!mimeType.empty() || !mime.attribute("type")) {
        mime.setAttribute("type", mimeType.empty() ? "application/octet-stream" : mimeType);
    }
    XbelElement& applications = meta.childOrNew(p.bookmark + ":applications");
    XbelElement* application = nullptr;
    for (auto& node : applications.children) {
        const auto* name = node.attribute("name");
        if (node.name == p.bookmark + ":application" && name && *name == applicationName_) {
            application = &node;
            break;
        }
    }
    if (!application) {
        applications.children.push_back(XbelElement{
            p.bookmark + ":application", {{"name", applicationName_}, {"exec", exec_}, {"count", "0"}}});
        application = &applications.children.back();
    }
    const auto previous = xbelInteger(application->attributes, "count", 0, 1 << 30);
    application->setAttribute("count", std::to_string(previous + 1));
    application->setAttribute("modified", stamp);
    if (application->attribute("timestamp")) {
        application->setAttribute(
            "timestamp",
            std::to_string(
                std::chrono::duration_cast<std::chrono::seconds>(now_().time_since_epoch()).count()));
    }
    list.root.children.push_back(std::move(bookmark));
    bool listed = false;
    const XbelReader check{applicationName_, nullptr, [&](XbelEntry& entry) {
                               listed =
                                   listed || (!entry.ours.empty() && sameDocument(entry.document.href, url));
                           }};
    return store(file_, list, check, [&] { return listed; });
}

bool RecentDocuments::clearRecentDocuments() {
    std::lock_guard lock(mutex_);
    XbelList list;
    std::vector<XbelElement> removals;
    const XbelReader reader{applicationName_, nullptr, [&](XbelEntry& entry) {
                                if (entry.ours.empty()) {
                                    return;
                                }
                                if (entry.others == 0) {
                                    // Nobody else lists the document: the entry goes.
                                    XbelElement whole{"bookmark", {}, {}, true, entry.begin};
                                    whole.end = entry.end;
                                    removals.push_back(std::move(whole));
                                } else {
                                    for (auto& ours : entry.ours) {
                                        removals.push_back(std::move(ours));
                                    }
                                }
                            }};
    const Loaded loaded = load(file_, list, reader);
    if (loaded == Loaded::failed) {
        return false;
    }
    if (loaded == Loaded::unreadable) {
        return true; // nothing of ours can be told apart in it: it is left be
    }
    if (loaded == Loaded::missing || removals.empty()) {
        return true;
    }
    for (auto& removal : removals) {
        removal.removed = true;
    }
    list.root.children = std::move(removals);
    bool left = false;
    const XbelReader check{applicationName_, nullptr,
                           [&](XbelEntry& entry) { left = left || !entry.ours.empty(); }};
    return store(file_, list, check, [&] { return !left; });
}

} // namespace core
