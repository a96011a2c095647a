#pragma once

// Pasteboards: ordered items, each holding its content under one or more types, read back by type or
// as objects (text, URLs). Drags carry one; the model keeps everything in memory. Main thread only.

#include "core/URL.hpp"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace ui {

// Content types by name.
namespace PasteboardType {
inline constexpr const char* string = "public.utf8-plain-text";
inline constexpr const char* url = "public.url";
inline constexpr const char* fileURL = "public.file-url";
} // namespace PasteboardType

// What an item can be read as: text (its string type), or a URL (its file URL, else its URL).
enum class PasteboardReadingClass { string, url };
// An object read from an item.
using PasteboardObject = std::variant<std::string, core::URL>;

struct PasteboardReadingOptions {
    // URLs are read only from file URLs.
    bool fileURLsOnly = false;
};

class PasteboardItem {
public:
    // An item holding text, or a URL (under the file URL type for a file URL, else the URL type).
    static std::shared_ptr<PasteboardItem> withString(std::string text);
    static std::shared_ptr<PasteboardItem> withURL(const core::URL& url);

    // Puts the content under the type, replacing what the type held; an empty type is refused.
    bool setString(std::string content, const std::string& type);
    std::optional<std::string> stringForType(const std::string& type) const;
    // The types in the order they were first set.
    std::vector<std::string> types() const;
    // The first of the types that the item holds.
    std::optional<std::string> availableType(const std::vector<std::string>& types) const;

    // The item as the first of the classes it can be read as; nothing when none fits (a URL type whose
    // content is not a valid URL does not fit).
    std::optional<PasteboardObject> read(const std::vector<PasteboardReadingClass>& classes,
                                         const PasteboardReadingOptions& options = {}) const;

private:
    std::vector<std::pair<std::string, std::string>> contents_;
};

class Pasteboard {
public:
    explicit Pasteboard(std::string name = {}) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    // Grows with every clearContents, so a reader can tell a new content from one it has seen.
    long changeCount() const { return changeCount_; }
    // Drops every item; returns the new change count.
    long clearContents();
    // Adds the items after the ones there (null items are skipped).
    void writeObjects(const std::vector<std::shared_ptr<PasteboardItem>>& items);
    const std::vector<std::shared_ptr<PasteboardItem>>& pasteboardItems() const { return items_; }

    // Every type of any item, in order of first appearance.
    std::vector<std::string> types() const;
    // The content of the first item that holds the type.
    std::optional<std::string> stringForType(const std::string& type) const;
    // Each item read as the first of the classes it fits, in item order; items that fit none are left
    // out.
    std::vector<PasteboardObject> readObjects(const std::vector<PasteboardReadingClass>& classes,
                                              const PasteboardReadingOptions& options = {}) const;

private:
    std::string name_;
    long changeCount_ = 0;
    std::vector<std::shared_ptr<PasteboardItem>> items_;
};

} // namespace ui
