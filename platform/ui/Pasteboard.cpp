#include "ui/Pasteboard.hpp"

#include <algorithm>

namespace ui {

std::shared_ptr<PasteboardItem> PasteboardItem::withString(std::string text) {
    auto item = std::make_shared<PasteboardItem>();
    item->setString(std::move(text), PasteboardType::string);
    return item;
}

std::shared_ptr<PasteboardItem> PasteboardItem::withURL(const core::URL& url) {
    auto item = std::make_shared<PasteboardItem>();
    item->setString(url.string(), url.isFileURL() ? PasteboardType::fileURL : PasteboardType::url);
    return item;
}

bool PasteboardItem::setString(std::string content, const std::string& type) {
    if (type.empty()) {
        return false;
    }
    for (auto& [held, value] : contents_) {
        if (held == type) {
            value = std::move(content);
            return true;
        }
    }
    contents_.emplace_back(type, std::move(content));
    return true;
}

std::optional<std::string> PasteboardItem::stringForType(const std::string& type) const {
    for (const auto& [held, value] : contents_) {
        if (held == type) {
            return value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> PasteboardItem::types() const {
    std::vector<std::string> types;
    types.reserve(contents_.size());
    for (const auto& entry : contents_) {
        types.push_back(entry.first);
    }
    return types;
}

std::optional<std::string> PasteboardItem::availableType(const std::vector<std::string>& types) const {
    for (const auto& type : types) {
        if (stringForType(type)) {
            return type;
        }
    }
    return std::nullopt;
}

std::optional<PasteboardObject> PasteboardItem::read(const std::vector<PasteboardReadingClass>& classes,
                                                     const PasteboardReadingOptions& options) const {
    auto urlUnder = [this](const char* type) -> std::optional<core::URL> {
        const auto text = stringForType(type);
        return text ? core::URL::parse(*text) : std::nullopt;
    };
    for (const auto readingClass : classes) {
        switch (readingClass) {
        case PasteboardReadingClass::string:
            if (auto text = stringForType(PasteboardType::string)) {
                return PasteboardObject(std::move(*text));
            }
            break;
        case PasteboardReadingClass::url:
            if (auto file = urlUnder(PasteboardType::fileURL); file && file->isFileURL()) {
                return PasteboardObject(std::move(*file));
            }
            if (!options.fileURLsOnly) {
                if (auto url = urlUnder(PasteboardType::url)) {
                    return PasteboardObject(std::move(*url));
                }
            }
            break;
        }
    }
    return std::nullopt;
}

long Pasteboard::clearContents() {
    items_.clear();
    return ++changeCount_;
}

void Pasteboard::writeObjects(const std::vector<std::shared_ptr<PasteboardItem>>& items) {
    for (const auto& item : items) {
        if (item) {
            items_.push_back(item);
        }
    }
}

std::vector<std::string> Pasteboard::types() const {
    std::vector<std::string> types;
    for (const auto& item : items_) {
        for (auto& type : item->types()) {
            if (std::find(types.begin(), types.end(), type) == types.end()) {
                types.push_back(std::move(type));
            }
        }
    }
    return types;
}

std::optional<std::string> Pasteboard::stringForType(const std::string& type) const {
    for (const auto& item : items_) {
        if (auto content = item->stringForType(type)) {
            return content;
        }
    }
    return std::nullopt;
}

std::vector<PasteboardObject> Pasteboard::readObjects(const std::vector<PasteboardReadingClass>& classes,
                                                      const PasteboardReadingOptions& options) const {
    std::vector<PasteboardObject> objects;
    for (const auto& item : items_) {
        if (auto object = item->read(classes, options)) {
            objects.push_back(std::move(*object));
        }
    }
    return objects;
}

} // namespace ui
