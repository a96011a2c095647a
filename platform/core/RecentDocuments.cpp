#include "core/RecentDocuments.hpp"

#include "core/Log.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <expat.h>
#include <optional>
#include <utility>

namespace core {

namespace {

namespace fs = std::filesystem;

constexpr const char* kBookmarkNamespace = "http://www.freedesktop.org/standards/desktop-bookmarks";
constexpr const char* kMimeNamespace = "http://www.freedesktop.org/standards/shared-mime-info";
constexpr const char* kMetadataOwner = "http://freedesktop.org";
constexpr std::size_t kMaximumFileSize = std::size_t{32} << 20;
constexpr int kMaximumDepth = 64;

// An element of the list, or a run of text, kept whole so that it can be written back unchanged.
struct Node {
    std::string name; // empty for text
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<Node> children;
    std::string text;

    bool isText() const { return name.empty(); }

    const std::string* attribute(std::string_view key) const {
        for (const auto& [k, v] : attributes) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    }
    void setAttribute(const std::string& key, std::string value) {
        for (auto& [k, v] : attributes) {
            if (k == key) {
                v = std::move(value);
                return;
            }
        }
        attributes.emplace_back(key, std::move(value));
    }
    Node* child(std::string_view childName) {
        for (auto& node : children) {
            if (node.name == childName) {
                return &node;
            }
        }
        return nullptr;
    }
    Node& childOrNew(const std::string& childName) {
        if (Node* existing = child(childName)) {
            return *existing;
        }
        children.push_back(Node{childName});
        return children.back();
    }
    std::string innerText() const {
        std::string result;
        for (const auto& node : children) {
            if (node.isText()) {
                result += node.text;
            }
        }
        return result;
    }
};

// --- Reading -------------------------------------------------------------------------------------

struct ParseState {
    XML_Parser parser;
    Node root;
    std::vector<Node*> stack;
    bool refused = false;
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& state = *static_cast<ParseState*>(data);
    if (state.stack.size() >= static_cast<std::size_t>(kMaximumDepth)) {
        state.refused = true;
        XML_StopParser(state.parser, XML_FALSE);
        return;
    }
    Node node{name};
    for (int i = 0; attributes[i]; i += 2) {
        node.attributes.emplace_back(attributes[i], attributes[i + 1]);
    }
    if (state.stack.empty()) {
        state.root = std::move(node);
        state.stack.push_back(&state.root);
    } else {
        auto& children = state.stack.back()->children;
        children.push_back(std::move(node));
        state.stack.push_back(&children.back());
    }
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    static_cast<ParseState*>(data)->stack.pop_back();
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    auto& state = *static_cast<ParseState*>(data);
    if (state.stack.empty()) {
        return;
    }
    auto& children = state.stack.back()->children;
    if (children.empty() || !children.back().isText()) {
        children.push_back(Node{});
    }
    children.back().text.append(text, static_cast<std::size_t>(length));
}

// Entity declarations have no place in the list; refusing them rules out entity expansion attacks.
void XMLCALL onEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char*, const XML_Char*, const XML_Char*) {
    auto& state = *static_cast<ParseState*>(data);
    state.refused = true;
    XML_StopParser(state.parser, XML_FALSE);
}

std::optional<Node> parse(const std::string& data) {
    ParseState state{XML_ParserCreate("UTF-8")};
    if (!state.parser) {
        return std::nullopt;
    }
    XML_SetUserData(state.parser, &state);
    XML_SetElementHandler(state.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(state.parser, onText);
    XML_SetEntityDeclHandler(state.parser, onEntity);
    const bool parsed =
        XML_Parse(state.parser, data.data(), static_cast<int>(data.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(state.parser);
    if (!parsed || state.refused || state.root.name != "xbel") {
        return std::nullopt;
    }
    return std::move(state.root);
}

// --- Writing -------------------------------------------------------------------------------------

// Characters XML 1.0 cannot carry are left out rather than written into a broken file.
void appendEscaped(std::string& out, std::string_view text, bool attribute) {
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\'':
            out += attribute ? "&apos;" : "'";
            break;
        case '\n':
            out += attribute ? "&#10;" : "\n";
            break;
        case '\t':
            out += attribute ? "&#9;" : "\t";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20) {
                out += c;
            }
        }
    }
}

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

void write(std::string& out, const Node& node, int depth) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    out += indent + "<" + node.name;
    for (const auto& [key, value] : node.attributes) {
        out += " " + key + "=\"";
        appendEscaped(out, value, true);
        out += "\"";
    }
    const bool onlyText =
        std::all_of(node.children.begin(), node.children.end(), [](const Node& n) { return n.isText(); });
    if (node.children.empty() || (onlyText && node.innerText().empty())) {
        out += "/>\n";
        return;
    }
    if (onlyText) {
        out += ">";
        appendEscaped(out, node.innerText(), false);
        out += "</" + node.name + ">\n";
        return;
    }
    out += ">\n";
    for (const auto& child : node.children) {
        if (!child.isText()) {
            write(out, child, depth + 1);
        } else if (!isBlank(child.text)) {
            out += indent + "  ";
            appendEscaped(out, child.text, false);
            out += "\n";
        }
    }
    out += indent + "</" + node.name + ">\n";
}

std::string serialise(const Node& root) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    write(out, root, 0);
    return out;
}

// --- Dates ---------------------------------------------------------------------------------------

std::string formatDate(Date date) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(date.time_since_epoch()).count();
    auto seconds = static_cast<std::time_t>(micros / 1000000);
    auto fraction = micros % 1000000;
    if (fraction < 0) {
        fraction += 1000000;
        --seconds;
    }
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<long>(fraction));
    return buffer;
}

// "2024-05-01T10:20:30Z", with optional fraction digits and a numeric offset instead of Z.
std::optional<Date> parseDate(std::string_view text) {
    std::tm fields{};
    int consumed = 0;
    const std::string copy(text.substr(0, 64));
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &fields.tm_year, &fields.tm_mon,
                    &fields.tm_mday, &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &consumed) != 6) {
        return std::nullopt;
    }
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    std::int64_t micros = 0;
    std::string_view rest = std::string_view(copy).substr(static_cast<std::size_t>(consumed));
    if (!rest.empty() && rest.front() == '.') {
        rest.remove_prefix(1);
        int digits = 0;
        while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
            if (digits < 6) {
                micros = micros * 10 + (rest.front() - '0');
                ++digits;
            }
            rest.remove_prefix(1);
        }
        for (; digits < 6; ++digits) {
            micros *= 10;
        }
    }
    std::int64_t offsetSeconds = 0;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        int hours = 0, minutes = 0;
        const std::string zone(rest.substr(1));
        if (std::sscanf(zone.c_str(), "%2d:%2d", &hours, &minutes) >= 1) {
            offsetSeconds = (rest.front() == '+' ? 1 : -1) * (hours * 3600 + minutes * 60);
        }
    }
    const std::time_t seconds = timegm(&fields);
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(seconds - offsetSeconds) +
                                                           std::chrono::microseconds(micros)));
}

Date dateAttribute(const Node& node, std::string_view key) {
    if (const auto* text = node.attribute(key)) {
        if (const auto date = parseDate(*text)) {
            return *date;
        }
    }
    return Date{};
}

// --- The list ------------------------------------------------------------------------------------

// The prefixes the file binds to the two namespaces (declared on the root), added when missing.
struct Prefixes {
    std::string bookmark;
    std::string mime;
};

Prefixes prefixes(Node& root) {
    Prefixes found;
    for (const auto& [key, value] : root.attributes) {
        if (key.rfind("xmlns:", 0) == 0) {
            if (value == kBookmarkNamespace && found.bookmark.empty()) {
                found.bookmark = key.substr(6);
            } else if (value == kMimeNamespace && found.mime.empty()) {
                found.mime = key.substr(6);
            }
        }
    }
    if (found.bookmark.empty()) {
        found.bookmark = root.attribute("xmlns:bookmark") ? "bookmark_" : "bookmark";
        root.setAttribute("xmlns:" + found.bookmark, kBookmarkNamespace);
    }
    if (found.mime.empty()) {
        found.mime = root.attribute("xmlns:mime") ? "mime_" : "mime";
        root.setAttribute("xmlns:" + found.mime, kMimeNamespace);
    }
    return found;
}

Node emptyList() {
    return Node{"xbel", {{"version", "1.0"}}};
}

const Node* metadata(const Node& bookmark) {
    const auto info = std::find_if(bookmark.children.begin(), bookmark.children.end(),
                                   [](const Node& n) { return n.name == "info"; });
    if (info == bookmark.children.end()) {
        return nullptr;
    }
    for (const auto& node : info->children) {
        if (node.name == "metadata") {
            const auto* owner = node.attribute("owner");
            if (owner && *owner == kMetadataOwner) {
                return &node;
            }
        }
    }
    return nullptr;
}

Node* metadata(Node& bookmark) {
    return const_cast<Node*>(metadata(std::as_const(bookmark)));
}

Node& metadataOrNew(Node& bookmark) {
    if (Node* existing = metadata(bookmark)) {
        return *existing;
    }
    Node& info = bookmark.childOrNew("info");
    info.children.push_back(Node{"metadata", {{"owner", kMetadataOwner}}});
    return info.children.back();
}

// Entries name the same document when their URLs do, comparing file paths decoded (programs escape
// file names differently).
bool sameDocument(const std::string& href, const URL& url) {
    if (href == url.string()) {
        return true;
    }
    const auto other = URL::parse(href);
    return other && other->isFileURL() && url.isFileURL() && other->filePath() == url.filePath();
}

RecentDocument describe(const Node& bookmark, const Prefixes& p) {
    RecentDocument document;
    document.href = bookmark.attribute("href") ? *bookmark.attribute("href") : std::string();
    document.added = dateAttribute(bookmark, "added");
    document.modified = dateAttribute(bookmark, "modified");
    document.visited = dateAttribute(bookmark, "visited");
    if (const Node* meta = metadata(bookmark)) {
        for (const auto& node : meta->children) {
            if (node.name == p.mime + ":mime-type" && node.attribute("type")) {
                document.mimeType = *node.attribute("type");
            } else if (node.name == p.bookmark + ":groups") {
                for (const auto& group : node.children) {
                    if (group.name == p.bookmark + ":group") {
                        document.groups.push_back(group.innerText());
                    }
                }
            } else if (node.name == p.bookmark + ":applications") {
                for (const auto& application : node.children) {
                    if (application.name != p.bookmark + ":application" || !application.attribute("name")) {
                        continue;
                    }
                    RecentApplication entry{*application.attribute("name")};
                    entry.exec =
                        application.attribute("exec") ? *application.attribute("exec") : std::string();
                    entry.modified = dateAttribute(application, "modified");
                    if (entry.modified == Date{} && application.attribute("timestamp")) {
                        entry.modified = Date(
                            std::chrono::seconds(std::atoll(application.attribute("timestamp")->c_str())));
                    }
                    entry.count = application.attribute("count")
                                      ? std::atoi(application.attribute("count")->c_str())
                                      : 1;
                    document.applications.push_back(std::move(entry));
                }
            }
        }
    }
    return document;
}

enum class Loaded { list, missing, unreadableContents, failed };

// Reads the list. A missing file or one whose contents cannot be understood gives an empty list; a list
// that cannot be read at all (a folder in its place, no permission) fails.
std::pair<Loaded, Node> load(const fs::path& file) {
    std::string data;
    try {
        data = FileManager::contents(file, kMaximumFileSize);
    } catch (const FileError& error) {
        if (error.code() == std::errc::no_such_file_or_directory) {
            return {Loaded::missing, emptyList()};
        }
        log("RecentDocuments: cannot read %s: %s", file.c_str(), error.what());
        return {error.code() == std::errc::file_too_large ? Loaded::unreadableContents : Loaded::failed,
                emptyList()};
    }
    if (auto root = parse(data)) {
        return {Loaded::list, std::move(*root)};
    }
    log("RecentDocuments: %s is not a readable recently-used list", file.c_str());
    return {Loaded::unreadableContents, emptyList()};
}

bool store(const fs::path& file, const Node& root) {
    try {
        if (file.has_parent_path()) {
            FileManager::createDirectory(file.parent_path());
        }
        FileManager::writeAtomically(file, serialise(root));
        return true;
    } catch (const FileError& error) {
        log("RecentDocuments: cannot write %s: %s", file.c_str(), error.what());
        return false;
    }
}

std::vector<std::pair<Node*, RecentDocument>> documents(Node& root, const Prefixes& p) {
    std::vector<std::pair<Node*, RecentDocument>> result;
    for (auto& node : root.children) {
        if (node.name == "bookmark" && node.attribute("href")) {
            result.emplace_back(&node, describe(node, p));
        }
    }
    return result;
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
    auto [loaded, root] = load(file_);
    const auto p = prefixes(root);
    std::vector<RecentDocument> result;
    for (auto& [node, document] : documents(root, p)) {
        result.push_back(std::move(document));
    }
    std::stable_sort(result.begin(), result.end(), [](const RecentDocument& a, const RecentDocument& b) {
        return a.modified > b.modified;
    });
    return result;
}

std::vector<URL> RecentDocuments::recentDocumentURLs() const {
    std::lock_guard lock(mutex_);
    auto [loaded, root] = load(file_);
    const auto p = prefixes(root);
    std::vector<std::pair<Date, URL>> ours;
    for (auto& [node, document] : documents(root, p)) {
        const auto app = std::find_if(document.applications.begin(), document.applications.end(),
                                      [&](const RecentApplication& a) { return a.name == applicationName_; });
        const auto url = URL::parse(document.href);
        if (app != document.applications.end() && url) {
            ours.emplace_back(std::max(app->modified, document.modified), *url);
        }
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
    auto [loaded, root] = load(file_);
    if (loaded == Loaded::failed) {
        return false;
    }
    const auto p = prefixes(root);
    const std::string stamp = formatDate(now_());
    Node* bookmark = nullptr;
    for (auto& node : root.children) {
        if (node.name == "bookmark" && node.attribute("href") && sameDocument(*node.attribute("href"), url)) {
            bookmark = &node;
            break;
        }
    }
    if (!bookmark) {
        root.children.push_back(Node{"bookmark", {{"href", url.string()}, {"added", stamp}}});
        bookmark = &root.children.back();
    }
    bookmark->setAttribute("modified", stamp);
    bookmark->setAttribute("visited", stamp);
    Node& meta = metadataOrNew(*bookmark);
    Node& mime = meta.childOrNew(p.mime + ":mime-type");
    if (!mimeType.empty() || !mime.attribute("type")) {
        mime.setAttribute("type", mimeType.empty() ? "application/octet-stream" : mimeType);
    }
    Node& applications = meta.childOrNew(p.bookmark + ":applications");
    Node* application = nullptr;
    for (auto& node : applications.children) {
        const auto* name = node.attribute("name");
        if (node.name == p.bookmark + ":application" && name && *name == applicationName_) {
            application = &node;
            break;
        }
    }
    if (!application) {
        applications.children.push_back(
            Node{p.bookmark + ":application", {{"name", applicationName_}, {"exec", exec_}, {"count", "0"}}});
        application = &applications.children.back();
    }
    const auto* count = application->attribute("count");
    const long previous = count ? std::max(0L, std::atol(count->c_str())) : 0;
    application->setAttribute("count", std::to_string(std::min(previous, 1L << 30) + 1));
    application->setAttribute("modified", stamp);
    if (application->attribute("timestamp")) {
        application->setAttribute(
            "timestamp",
            std::to_string(
                std::chrono::duration_cast<std::chrono::seconds>(now_().time_since_epoch()).count()));
    }
    return store(file_, root);
}

bool RecentDocuments::clearRecentDocuments() {
    std::lock_guard lock(mutex_);
    auto [loaded, root] = load(file_);
    if (loaded == Loaded::failed) {
        return false;
    }
    if (loaded == Loaded::missing) {
        return true;
    }
    const auto p = prefixes(root);
    bool changed = false; // an unreadable list holds nothing of ours: leave it be
    std::erase_if(root.children, [&](Node& node) {
        if (node.name != "bookmark") {
            return false;
        }
        Node* meta = metadata(node);
        Node* applications = meta ? meta->child(p.bookmark + ":applications") : nullptr;
        if (!applications) {
            return false;
        }
        const auto before = applications->children.size();
        std::erase_if(applications->children, [&](const Node& application) {
            const auto* name = application.attribute("name");
            return application.name == p.bookmark + ":application" && name && *name == applicationName_;
        });
        if (applications->children.size() == before) {
            return false;
        }
        changed = true;
        return std::none_of(applications->children.begin(), applications->children.end(),
                            [](const Node& n) { return !n.isText(); });
    });
    return !changed || store(file_, root);
}

} // namespace core
