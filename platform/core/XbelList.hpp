// The desktop's recently-used list (XBEL) read as a stream and rewritten in place, keeping what is not
// changed byte for byte.
#pragma once

#include "core/RecentDocuments.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

// No list is read, or written, larger than this.
inline constexpr std::size_t kXbelMaximumFileSize = std::size_t{32} << 20;
inline constexpr const char* kXbelMetadataOwner = "http://freedesktop.org";
inline constexpr const char* kXbelEmptyList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "</xbel>\n";

using XbelAttributes = std::vector<std::pair<std::string, std::string>>;

inline const std::string* findAttribute(const XbelAttributes& attributes, std::string_view key) {
    for (const auto& [k, v] : attributes) {
        if (k == key) {
            return &v;
        }
    }
    return nullptr;
}

// An element of the list that is being changed. Elements read from the file keep where they lie in it,
// so that whatever is not changed is written back byte for byte. `children` holds only the elements
// that matter to the change, in file order; they need not be direct children, and everything between
// them is copied as it is.
struct XbelElement {
    std::string name;
    XbelAttributes attributes;
    std::vector<XbelElement> children;
    bool inFile = false;
    std::size_t begin = 0;      // "<"
    std::size_t startEnd = 0;   // after the start tag
    std::size_t contentEnd = 0; // the end tag's "<" (startEnd for an empty-element tag)
    std::size_t end = 0;        // after the end tag
    bool retagged = false;      // the start tag is written anew
    bool removed = false;

    const std::string* attribute(std::string_view key) const { return findAttribute(attributes, key); }
    void setAttribute(const std::string& key, std::string value) {
        retagged = true;
        for (auto& [k, v] : attributes) {
            if (k == key) {
                v = std::move(value);
                return;
            }
        }
        attributes.emplace_back(key, std::move(value));
    }
    XbelElement* child(std::string_view childName) {
        for (auto& node : children) {
            if (node.name == childName) {
                return &node;
            }
        }
        return nullptr;
    }
    XbelElement& childOrNew(const std::string& childName) {
        if (XbelElement* existing = child(childName)) {
            return *existing;
        }
        children.push_back(XbelElement{childName});
        return children.back();
    }
    bool untouched() const {
        return inFile && !retagged && !removed &&
               std::all_of(children.begin(), children.end(),
                           [](const XbelElement& e) { return e.untouched(); });
    }
};

// The character encodings the parser reads, which the list is written back in.
enum class XbelEncoding { utf8, ascii, latin1, utf16le, utf16be };

// The prefixes the file binds to the two namespaces (declared on the root) that elements can be named in.
// Where there is none, the usual names are used (with underscores added while the root binds them to
// anything else), and declared when something is written in them.
struct XbelPrefixes {
    std::string bookmark;
    std::string mime;
    bool declared = true;

    explicit XbelPrefixes(const XbelAttributes& root = {});
    void declare(XbelElement& root) const;
};

// One bookmark as read, with where this application's registrations lie.
struct XbelEntry {
    RecentDocument document;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::vector<XbelElement> ours; // this application's registrations (positions only)
    std::size_t others = 0;        // other registrations beside them
};

// What a reading keeps: the root element (without children), and the one entry asked for, whole.
struct XbelList {
    std::string source;
    XbelEncoding encoding = XbelEncoding::utf8;
    XbelElement root;
    XbelPrefixes prefixes;
    std::optional<XbelElement> entry;
    bool entryTooLarge = false;
};

// What a reading looks for: the registrations of one application, and which entry to keep whole.
struct XbelReader {
    std::string_view application;
    // Called with each entry's href; true asks for the first such entry to be kept whole.
    std::function<bool(const std::string&)> keepWhole;
    std::function<void(XbelEntry&)> onEntry;
};

// Reads list.source in the encoding it declares; false when it is not a whole, well-formed list. Each
// entry is handed to the reader as it is read.
bool parseXbel(XbelList& list, const XbelReader& reader);
// The list with list.root's changes made; new text is written in the list's encoding.
std::string writeXbel(const XbelList& list);

std::string formatXbelDate(Date date);
// A date attribute ("2024-05-01T10:20:30.5Z", "...+02:00"), kept to the years 1970 to 9999 and to what a
// Date holds; the epoch when absent or malformed.
Date xbelDate(const XbelAttributes& attributes, std::string_view key);
// A whole-number attribute kept to 0...most, or fallback.
std::int64_t xbelInteger(const XbelAttributes& attributes, std::string_view key, std::int64_t fallback,
                         std::int64_t most);

} // namespace core
