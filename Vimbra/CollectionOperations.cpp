#include "Vimbra/CollectionOperations.hpp"

namespace vimbra {

namespace {

using Items = std::vector<std::shared_ptr<TreeItem>>;

void addDistinct(Items& items, const std::shared_ptr<TreeItem>& item) {
    if (!item) {
        return;
    }
    const auto identifier = item->identifier();
    if (std::none_of(items.begin(), items.end(),
                     [&](const auto& listed) { return listed->identifier() == identifier; })) {
        items.push_back(item);
    }
}

TreeMove withPreviousIndex(const TreeMove& move, int previousIndex) {
    return TreeMove(move.item(), move.previousParent(), previousIndex, move.newParent(), move.newIndex());
}

} // namespace

bool TreeMove::sameParent(const std::shared_ptr<TreeItem>& a, const std::shared_ptr<TreeItem>& b) {
    if (!a || !b) {
        return !a && !b;
    }
    return a->identifier() == b->identifier();
}

std::vector<TreeMove> TreeMove::normalized(const std::vector<TreeMove>& moves) {
    std::vector<TreeMove> result = moves;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const TreeMove& a = moves[i];
        for (std::size_t j = i + 1; j < moves.size(); ++j) {
            const TreeMove& b = moves[j];
            const bool staysWithinParent =
                sameParent(a.previousParent(), a.newParent()) && sameParent(b.newParent(), a.newParent()) &&
                a.previousIndex() < b.previousIndex() && a.previousIndex() < a.newIndex() &&
                b.previousIndex() < b.newIndex();
            const bool leavesSameParent = sameParent(b.previousParent(), a.previousParent()) &&
                                          !sameParent(b.previousParent(), b.newParent()) &&
                                          a.previousIndex() < b.previousIndex();
            if (staysWithinParent || leavesSameParent) {
                result[j] = withPreviousIndex(result[j], result[j].previousIndex() - 1);
            }
        }
    }
    return result;
}

std::vector<std::shared_ptr<TreeItem>> TreeMove::newParents(const std::vector<TreeMove>& moves) {
    Items parents;
    for (const auto& move : moves) {
        addDistinct(parents, move.newParent());
    }
    return parents;
}

std::vector<std::shared_ptr<TreeItem>> TreeMove::previousParents(const std::vector<TreeMove>& moves) {
    Items parents;
    for (const auto& move : moves) {
        addDistinct(parents, move.previousParent());
    }
    return parents;
}

std::vector<std::shared_ptr<TreeItem>> TreeMove::affectedParents(const std::vector<TreeMove>& moves) {
    Items parents;
    for (const auto& move : moves) {
        addDistinct(parents, move.previousParent());
        addDistinct(parents, move.newParent());
    }
    return parents;
}

std::vector<TreeMove> TreeMove::inverted(const std::vector<TreeMove>& moves) {
    std::vector<TreeMove> result;
    result.reserve(moves.size());
    for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
        result.emplace_back(it->item(), it->newParent(), it->newIndex(), it->previousParent(),
                            it->previousIndex());
    }
    return result;
}

bool TreeMove::involvesRoot(const std::vector<TreeMove>& moves) {
    return std::any_of(moves.begin(), moves.end(),
                       [](const TreeMove& move) { return !move.previousParent() || !move.newParent(); });
}

std::optional<std::string> relativePath(const core::URL& url, const core::URL& base) {
    if (!url.isFileURL() || !base.isFileURL()) {
        return std::nullopt;
    }
    const auto components = url.standardized().pathComponents();
    const auto baseComponents = base.standardized().pathComponents();
    std::size_t common = 0;
    while (common < components.size() && common < baseComponents.size() &&
           components[common] == baseComponents[common]) {
        ++common;
    }
    std::vector<std::string> parts(baseComponents.size() - common, "..");
    parts.insert(parts.end(), components.begin() + static_cast<std::ptrdiff_t>(common), components.end());
    if (!parts.empty()) {
        parts.erase(parts.begin()); // the base names a file: count from its folder
    }
    std::string path;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        path += (i == 0 ? "" : "/") + parts[i];
    }
    return path;
}

std::optional<core::URL> relativeURL(const core::URL& url, const core::URL& base) {
    const auto path = relativePath(url, base);
    if (!path) {
        return std::nullopt;
    }
    // A relative reference: a colon before the first slash would read as a scheme, so guard it.
    std::string encoded = core::percentEncode(*path, "/!$&'()*+,;=@:");
    const auto colon = path->find(':');
    if (colon != std::string::npos && colon < path->find('/')) {
        encoded = "./" + encoded;
    }
    return core::URL::parse(encoded.empty() ? "./" : encoded);
}

std::string nameWithoutExtension(const core::URL& url) {
    std::string name = url.lastPathComponent();
    const std::string suffix = "." + url.pathExtension();
    for (auto at = name.find(suffix); at != std::string::npos; at = name.find(suffix, at)) {
        name.erase(at, suffix.size());
    }
    return name;
}

std::string pathWithoutLeadingSlash(const core::URL& url) {
    std::string path = url.decodedPath();
    if (!path.empty() && path.front() == '/') {
        path.erase(0, 1);
    }
    return path;
}

std::optional<core::Date> modificationDate(const core::URL& url) {
    return core::FileManager::attributesOfItem(url.decodedPath()).modificationDate;
}

} // namespace vimbra
