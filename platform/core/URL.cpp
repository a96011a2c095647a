#include "core/URL.hpp"

#include "core/Text.hpp"

namespace core {

namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isUnreserved(char c) {
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelim(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

int hexValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}

// Every character may appear as itself where `allowed` says so, or as a complete percent escape.
template <class Allowed> bool isValidComponent(std::string_view text, Allowed allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) {
                return false;
            }
            if (!isHex(text[i + 1]) || !isHex(text[i + 2])) {
                return false;
            }
            i += 2;
        } else if (!allowed(c)) {
            return false;
        }
    }
    return true;
}

bool isPathChar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/';
}
bool isQueryChar(char c) {
    return isPathChar(c) || c == '?';
}

} // namespace

std::optional<URL> URL::parse(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    URL url;
    url.text_ = std::string(text);
    std::string_view rest = text;

    // scheme ":" - only when the text before the first ':' is a valid scheme; otherwise relative.
    const auto colon = rest.find(':');
    const auto firstDelimiter = rest.find_first_of("/?#");
    if (colon != std::string_view::npos &&
        (firstDelimiter == std::string_view::npos || colon < firstDelimiter)) {
        const std::string_view scheme = rest.substr(0, colon);
        if (scheme.empty() || !isAlpha(scheme.front())) {
            return std::nullopt;
        }
        for (const char c : scheme) {
            if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') {
                return std::nullopt;
            }
        }
        url.scheme_ = std::string(scheme);
        rest.remove_prefix(colon + 1);
    }

    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        const std::string_view fragment = rest.substr(hash + 1);
        if (!isValidComponent(fragment, isQueryChar)) {
            return std::nullopt;
        }
        url.fragment_ = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    if (const auto question = rest.find('?'); question != std::string_view::npos) {
        const std::string_view query = rest.substr(question + 1);
        if (!isValidComponent(query, isQueryChar)) {
            return std::nullopt;
        }
        url.query_ = std::string(query);
        rest = rest.substr(0, question);
    }

    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);

        if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
            const std::string_view user = authority.substr(0, at);
            if (!isValidComponent(user,
                                  [](char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; })) {
                return std::nullopt;
            }
            url.user_ = std::string(user);
            authority.remove_prefix(at + 1);
        }
        std::string_view host = authority;
        std::string_view port;
        if (!authority.empty() && authority.front() == '[') {
            const auto close = authority.find(']');
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            host = authority.substr(0, close + 1);
            const std::string_view after = authority.substr(close + 1);
            if (!after.empty()) {
                if (after.front() != ':') {
                    return std::nullopt;
                }
                port = after.substr(1);
            }
            const std::string_view inside = host.substr(1, host.size() - 2);
            for (const char c : inside) {
                if (!isHex(c) && c != ':' && c != '.') {
                    return std::nullopt;
                }
            }
        } else {
            if (const auto portColon = authority.rfind(':'); portColon != std::string_view::npos) {
                host = authority.substr(0, portColon);
                port = authority.substr(portColon + 1);
            }
            if (!isValidComponent(host, [](char c) { return isUnreserved(c) || isSubDelim(c); })) {
                return std::nullopt;
            }
        }
        if (!port.empty()) {
            for (const char c : port) {
                if (!isDigit(c)) {
                    return std::nullopt;
                }
            }
            const auto number = parseInteger(port);
            if (!number || *number > 65535) {
                return std::nullopt;
            }
            url.port_ = static_cast<int>(*number);
        }
        // "file:///x" has an empty authority: no host, as the platforms report it.
        if (!host.empty()) {
            url.host_ = std::string(host);
        }
    }

    if (!isValidComponent(rest, isPathChar)) {
        return std::nullopt;
    }
    url.path_ = std::string(rest);
    return url;
}

URL URL::fileURL(const std::filesystem::path& absolutePath) {
    const std::string encoded =
        percentEncode(std::filesystem::absolute(absolutePath).lexically_normal().string(), "/!$&'()*+,;=:@");
    return *parse("file://" + encoded);
}

URL URL::fileURL(const std::filesystem::path& absolutePath, bool isDirectory) {
    auto text = std::filesystem::absolute(absolutePath).lexically_normal().string();
    if (isDirectory && (text.empty() || text.back() != '/')) {
        text += '/';
    }
    return fileURL(text);
}

std::string URL::decodedPath() const {
    return percentDecode(path_).value_or(path_);
}

std::vector<std::string> URL::pathComponents() const {
    const std::string path = decodedPath();
    std::vector<std::string> components;
    std::size_t start = 0;
    if (!path.empty() && path.front() == '/') {
        components.emplace_back("/");
        start = 1;
    }
    while (start < path.size()) {
        const auto slash = path.find('/', start);
        const auto end = slash == std::string::npos ? path.size() : slash;
        if (end > start) {
            components.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return components;
}

std::string URL::lastPathComponent() const {
    const auto components = pathComponents();
    return components.empty() ? std::string() : components.back();
}

std::string URL::pathExtension() const {
    const std::string name = lastPathComponent();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) {
        return {};
    }
    return name.substr(dot + 1);
}

URL URL::standardized() const {
    // Removes dot segments as URL references resolve them.
    std::vector<std::string_view> segments;
    const std::string_view path = path_;
    const bool absolute = !path.empty() && path.front() == '/';
    std::size_t start = absolute ? 1 : 0;
    bool trailingSlash = false;
    while (start <= path.size()) {
        const auto slash = path.find('/', start);
        const auto end = slash == std::string_view::npos ? path.size() : slash;
        const auto segment = path.substr(start, end - start);
        const bool last = slash == std::string_view::npos;
        if (segment == ".") {
            trailingSlash = last;
        } else if (segment == "..") {
            if (!segments.empty() && segments.back() != "..") {
                segments.pop_back();
            } else if (!absolute) {
                segments.push_back(segment);
            }
            trailingSlash = last;
        } else if (!segment.empty() || last) {
            if (!segment.empty()) {
                segments.push_back(segment);
            }
            trailingSlash = last && segment.empty();
        }
        if (last) {
            break;
        }
        start = end + 1;
    }
    std::string newPath = absolute ? "/" : "";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            newPath += '/';
        }
        newPath += segments[i];
    }
    if (trailingSlash && !segments.empty()) {
        newPath += '/';
    }
    // A relative reference whose first segment holds a colon would read as a scheme: "./" keeps it a path.
    if (!scheme_ && !absolute && !segments.empty() && segments.front().find(':') != std::string_view::npos) {
        newPath.insert(0, "./");
    }
    if (newPath == path_) {
        return *this;
    }
    std::string suffix;
    if (query_) {
        suffix += "?" + *query_;
    }
    if (fragment_) {
        suffix += "#" + *fragment_;
    }
    const std::string text = text_.substr(0, text_.size() - suffix.size() - path_.size()) + newPath + suffix;
    return parse(text).value_or(*this);
}

std::optional<std::filesystem::path> URL::filePath() const {
    if (!isFileURL()) {
        return std::nullopt;
    }
    // Only an absolute path names a file; a NUL would cut the name short wherever it is used.
    const auto decoded = percentDecode(path_);
    if (!decoded || decoded->empty() || decoded->front() != '/' || decoded->find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return std::filesystem::path(*decoded);
}

std::vector<std::pair<std::string, std::string>> URL::queryItems() const {
    std::vector<std::pair<std::string, std::string>> items;
    if (!query_) {
        return items;
    }
    std::string_view rest = *query_;
    while (true) {
        const auto amp = rest.find('&');
        const std::string_view item = rest.substr(0, amp);
        if (!item.empty()) {
            const auto equals = item.find('=');
            const std::string_view name = item.substr(0, equals);
            const std::string_view value =
                equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
            items.emplace_back(percentDecode(name).value_or(std::string(name)),
                               percentDecode(value).value_or(std::string(value)));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(amp + 1);
    }
    return items;
}

std::string percentEncode(std::string_view text, std::string_view keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (isUnreserved(c) || keep.find(c) != std::string_view::npos) {
            out.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
        i += 2;
    }
    return out;
}

} // namespace core
