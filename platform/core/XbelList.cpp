#include "core/XbelList.hpp"

#include "core/Text.hpp"

#include <cstdio>
#include <ctime>
#include <expat.h>

namespace core {

namespace {

constexpr const char* kBookmarkNamespace = "http://www.freedesktop.org/standards/desktop-bookmarks";
constexpr const char* kMimeNamespace = "http://www.freedesktop.org/standards/shared-mime-info";
constexpr int kMaximumDepth = 64;
// The entry being updated is held whole; a real one has about ten elements.
constexpr std::size_t kMaximumEntryElements = 4096;
constexpr std::size_t kParseChunk = std::size_t{1} << 20;

// Dates are kept to the years 1970 to 9999, and to what a Date can hold (it counts nanoseconds).
constexpr std::int64_t kLastSecond = 253402300799; // 9999-12-31T23:59:59Z
constexpr std::int64_t kLastDateSecond =
    std::chrono::duration_cast<std::chrono::seconds>(Date::duration::max()).count() - 1;

Date clampedDate(std::int64_t seconds, std::int64_t micros = 0) {
    seconds = std::clamp<std::int64_t>(seconds, 0, kLastSecond);
    if (seconds >= kLastDateSecond) {
        return Date(std::chrono::seconds(kLastDateSecond));
    }
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(seconds) +
                                                           std::chrono::microseconds(micros)));
}

// "2024-05-01T10:20:30Z", with optional fraction digits and a numeric offset instead of Z.
std::optional<Date> parseDate(std::string_view text) {
    // A year may run past four digits; every such year is later than a Date can hold, so its value
    // is kept only up to 10000 and the rest of the date is read after it.
    std::size_t yearDigits = 0;
    int longYear = 0;
    while (yearDigits < text.size() && text[yearDigits] >= '0' && text[yearDigits] <= '9') {
        longYear = std::min(longYear * 10 + (text[yearDigits] - '0'), 10000);
        ++yearDigits;
    }
    const bool pastFourDigits = yearDigits > 4;
    const std::string copy =
        pastFourDigits ? "0000" + std::string(text.substr(yearDigits, 64)) : std::string(text.substr(0, 64));
    std::tm fields{};
    int consumed = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &fields.tm_year, &fields.tm_mon,
                    &fields.tm_mday, &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &consumed) != 6) {
        return std::nullopt;
    }
    if (pastFourDigits) {
        fields.tm_year = longYear;
    }
    fields.tm_year = std::clamp(fields.tm_year, 1969, 10000) - 1900;
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
    const std::int64_t seconds = static_cast<std::int64_t>(timegm(&fields)) - offsetSeconds;
    if (seconds < 0) {
        return clampedDate(0);
    }
    return clampedDate(seconds, seconds > kLastSecond ? 0 : micros);
}

XbelEncoding sniffEncoding(std::string_view data, const std::string& declared) {
    const auto byte = [&](std::size_t i) {
        return i < data.size() ? static_cast<unsigned char>(data[i]) : 1;
    };
    if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == '<' && byte(1) == 0)) {
        return XbelEncoding::utf16le;
    }
    if ((byte(0) == 0xFE && byte(1) == 0xFF) || (byte(0) == 0 && byte(1) == '<')) {
        return XbelEncoding::utf16be;
    }
    std::string name = declared;
    for (char& c : name) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    if (name == "ISO-8859-1") {
        return XbelEncoding::latin1;
    }
    if (name == "US-ASCII") {
        return XbelEncoding::ascii;
    }
    return XbelEncoding::utf8;
}

// Whether elements can be named in the prefix. An attribute name takes prefixes that no element name
// does ("xmlns:1x" is a name, "1x:a" is not), so the prefix is tried as the parser would read it, and it
// must be a single name: nothing written with "a:b" as a prefix reads back in a namespace.
bool usablePrefix(std::string_view prefix) {
    if (prefix.empty() || prefix.find(':') != std::string_view::npos) {
        return false;
    }
    XML_Parser parser = XML_ParserCreate("UTF-8");
    if (!parser) {
        return false;
    }
    const std::string probe = "<" + std::string(prefix) + ":a/>";
    const bool wellFormed =
        XML_Parse(parser, probe.data(), static_cast<int>(probe.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return wellFormed;
}

// The part an open element plays in the list.
enum class Role : std::uint8_t { root, bookmark, info, metadata, groups, group, applications, other };

struct Open {
    Role role;
    std::size_t begin;
    std::size_t startEnd;
};

// Reads the list as a stream: what is not part of an entry costs nothing but the bytes themselves.
struct Parse {
    XML_Parser parser = nullptr;
    XbelList& list;
    const XbelReader& reader;
    std::string declaredEncoding;
    std::vector<Open> open;
    XbelEntry entry;
    bool seenInfo = false, seenMetadata = false, seenMimeType = false;
    std::string groupText;
    std::vector<XbelElement*> building; // the entry kept whole, while it is read
    std::size_t builtElements = 0;
    bool refused = false;

    Parse(XbelList& l, const XbelReader& r) : list(l), reader(r) {}

    void refuse() {
        refused = true;
        XML_StopParser(parser, XML_FALSE);
    }
    std::size_t position() const { return static_cast<std::size_t>(XML_GetCurrentByteIndex(parser)); }
    std::size_t eventEnd() const {
        return position() + static_cast<std::size_t>(XML_GetCurrentByteCount(parser));
    }

    Role roleOf(std::string_view name, const XbelAttributes& attributes) {
        const Role parent = open.back().role;
        const XbelPrefixes& p = list.prefixes;
        switch (parent) {
        case Role::root:
            if (name == "bookmark" && findAttribute(attributes, "href")) {
                entry = XbelEntry{};
                seenInfo = seenMetadata = seenMimeType = false;
                return Role::bookmark;
            }
            return Role::other;
        case Role::bookmark:
            if (name == "info" && !seenInfo) {
                seenInfo = true;
                return Role::info;
            }
            return Role::other;
        case Role::info:
            if (name == "metadata" && !seenMetadata && findAttribute(attributes, "owner") &&
                *findAttribute(attributes, "owner") == kXbelMetadataOwner) {
                seenMetadata = true;
                return Role::metadata;
            }
            return Role::other;
        case Role::metadata:
            if (name == p.mime + ":mime-type") {
                // The first one is the one a note updates.
                if (!seenMimeType && findAttribute(attributes, "type")) {
                    entry.document.mimeType = *findAttribute(attributes, "type");
                }
                seenMimeType = true;
            } else if (name == p.bookmark + ":groups") {
                return Role::groups;
            } else if (name == p.bookmark + ":applications") {
                return Role::applications;
            }
            return Role::other;
        case Role::groups:
            if (name == p.bookmark + ":group") {
                groupText.clear();
                return Role::group;
            }
            return Role::other;
        case Role::applications: {
            const auto* applicationName = findAttribute(attributes, "name");
            const bool isApplication = name == p.bookmark + ":application" && applicationName;
            if (isApplication) {
                RecentApplication application{*applicationName};
                if (const auto* exec = findAttribute(attributes, "exec")) {
                    application.exec = *exec;
                }
                application.modified = xbelDate(attributes, "modified");
                if (application.modified == Date{} && findAttribute(attributes, "timestamp")) {
                    application.modified = clampedDate(xbelInteger(attributes, "timestamp", 0, kLastSecond));
                }
                application.count = static_cast<int>(xbelInteger(attributes, "count", 1, 1 << 30));
                entry.document.applications.push_back(std::move(application));
            }
            if (isApplication && *applicationName == reader.application) {
                entry.ours.push_back(XbelElement{std::string(name), {}, {}, true, position()});
            } else {
                ++entry.others;
            }
            return Role::other;
        }
        case Role::group:
        case Role::other:
            return Role::other;
        }
        return Role::other;
    }

    void start(const XML_Char* name, const XML_Char** raw) {
        if (open.size() >= static_cast<std::size_t>(kMaximumDepth)) {
            refuse();
            return;
        }
        XbelAttributes attributes;
        for (int i = 0; raw[i]; i += 2) {
            attributes.emplace_back(raw[i], raw[i + 1]);
        }
        if (open.empty()) {
            list.root = XbelElement{name, std::move(attributes), {}, true, position(), eventEnd()};
            list.prefixes = XbelPrefixes(list.root.attributes);
            open.push_back({Role::root, list.root.begin, list.root.startEnd});
            return;
        }
        const Role role = roleOf(name, attributes);
        if (role == Role::bookmark) {
            const auto& document = entry.document;
            entry.document.href = *findAttribute(attributes, "href");
            entry.document.added = xbelDate(attributes, "added");
            entry.document.modified = xbelDate(attributes, "modified");
            entry.document.visited = xbelDate(attributes, "visited");
            if (!list.entry && !list.entryTooLarge && reader.keepWhole && reader.keepWhole(document.href)) {
                list.entry = XbelElement{name, attributes, {}, true, position(), eventEnd()};
                building = {&*list.entry};
                builtElements = 1;
            }
        } else if (!building.empty()) {
            if (++builtElements > kMaximumEntryElements) {
                list.entry.reset();
                list.entryTooLarge = true;
                building.clear();
            } else {
                auto& children = building.back()->children;
                children.push_back(
                    XbelElement{name, std::move(attributes), {}, true, position(), eventEnd()});
                building.push_back(&children.back());
            }
        }
        open.push_back({role, position(), eventEnd()});
    }

    void end() {
        const Open closing = open.back();
        open.pop_back();
        if (!building.empty()) {
            building.back()->contentEnd = position();
            building.back()->end = eventEnd();
            building.pop_back();
        }
        switch (closing.role) {
        case Role::root:
            list.root.contentEnd = position();
            list.root.end = eventEnd();
            break;
        case Role::group:
            entry.document.groups.push_back(std::move(groupText));
            groupText.clear();
            break;
        case Role::bookmark:
            entry.begin = closing.begin;
            entry.end = eventEnd();
            if (reader.onEntry) {
                reader.onEntry(entry);
            }
            break;
        default:
            if (!entry.ours.empty() && entry.ours.back().begin == closing.begin &&
                entry.ours.back().end == 0) {
                entry.ours.back().startEnd = closing.startEnd;
                entry.ours.back().contentEnd = position();
                entry.ours.back().end = eventEnd();
            }
            break;
        }
    }

    void text(std::string_view characters) {
        if (!open.empty() && open.back().role == Role::group) {
            groupText += characters;
        }
    }
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    static_cast<Parse*>(data)->start(name, attributes);
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    static_cast<Parse*>(data)->end();
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    static_cast<Parse*>(data)->text(std::string_view(text, static_cast<std::size_t>(length)));
}

void XMLCALL onDeclaration(void* data, const XML_Char*, const XML_Char* encoding, int) {
    if (encoding) {
        static_cast<Parse*>(data)->declaredEncoding = encoding;
    }
}

// Entity declarations have no place in the list; refusing them rules out entity expansion attacks.
void XMLCALL onEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<Parse*>(data)->refuse();
}

// Reads list.source in the encoding it declares; false when it is not a whole, well-formed list.
bool parse(XbelList& list, const XbelReader& reader) {
    Parse state(list, reader);
    state.parser = XML_ParserCreate(nullptr);
    if (!state.parser) {
        return false;
    }
    XML_SetUserData(state.parser, &state);
    XML_SetElementHandler(state.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(state.parser, onText);
    XML_SetEntityDeclHandler(state.parser, onEntity);
    XML_SetXmlDeclHandler(state.parser, onDeclaration);
    const std::string_view data = list.source;
    bool parsed = true;
    for (std::size_t at = 0; parsed && !state.refused;) {
        const std::size_t size = std::min(kParseChunk, data.size() - at);
        const bool last = at + size == data.size();
        parsed = XML_Parse(state.parser, data.data() + at, static_cast<int>(size), last) == XML_STATUS_OK;
        at += size;
        if (last) {
            break;
        }
    }
    XML_ParserFree(state.parser);
    list.encoding = sniffEncoding(data, state.declaredEncoding);
    return parsed && !state.refused && list.root.name == "xbel" && list.root.end > 0;
}

// Appends a code point as UTF-8.
void appendUTF8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code points of UTF-8 text; a byte that does not start a valid sequence reads as U+FFFD.
template <class Visit> void forEachCodePoint(std::string_view text, Visit visit) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC0 ? 2
                                                  : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && lead < 0xF5 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && c >= kSmallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        visit(valid ? c : U'\uFFFD');
        i += valid ? length : 1;
    }
}

// Writes new text in the file's encoding; what that encoding cannot carry goes as character references.
struct Writer {
    const std::string& source;
    XbelEncoding encoding;

    bool carries(char32_t c) const {
        return encoding == XbelEncoding::ascii    ? c < 0x80
               : encoding == XbelEncoding::latin1 ? c < 0x100
                                                  : true;
    }
    bool eightBit() const { return encoding != XbelEncoding::utf16le && encoding != XbelEncoding::utf16be; }

    // Markup and escaped text (UTF-8) in the file's encoding.
    std::string encode(std::string_view text) const {
        std::string out;
        forEachCodePoint(text, [&](char32_t c) {
            switch (encoding) {
            case XbelEncoding::utf8:
                appendUTF8(out, c);
                break;
            case XbelEncoding::ascii:
            case XbelEncoding::latin1:
                out += static_cast<char>(carries(c) ? c : '?');
                break;
            case XbelEncoding::utf16le:
            case XbelEncoding::utf16be: {
                const auto unit = [&](char32_t u) {
                    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
                    out += encoding == XbelEncoding::utf16le ? low : high;
                    out += encoding == XbelEncoding::utf16le ? high : low;
                };
                if (c >= 0x10000) {
                    unit(0xD800 + ((c - 0x10000) >> 10));
                    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
                } else {
                    unit(c);
                }
                break;
            }
            }
        });
        return out;
    }

    // An attribute value; characters XML 1.0 cannot carry are left out rather than written into a
    // broken file.
    std::string escape(std::string_view value) const {
        std::string out;
        forEachCodePoint(value, [&](char32_t c) {
            switch (c) {
            case '&':
                out += "&amp;";
                return;
            case '<':
                out += "&lt;";
                return;
            case '>':
                out += "&gt;";
                return;
            case '"':
                out += "&quot;";
                return;
            case '\'':
                out += "&apos;";
                return;
            case '\n':
                out += "&#10;";
                return;
            case '\t':
                out += "&#9;";
                return;
            case '\r':
                out += "&#13;";
                return;
            default:
                break;
            }
            if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) {
                return;
            }
            if (!carries(c)) {
                char reference[16];
                std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(c));
                out += reference;
            } else {
                appendUTF8(out, c);
            }
        });
        return out;
    }

    std::string startTag(const XbelElement& element, bool empty) const {
        std::string tag = "<" + element.name;
        for (const auto& [key, value] : element.attributes) {
            tag += " " + key + "=\"" + escape(value) + "\"";
        }
        return encode(tag + (empty ? "/>" : ">"));
    }

    std::string_view raw(std::size_t from, std::size_t to) const {
        return std::string_view(source).substr(from, to - from);
    }
    // Where the blanks at the end of raw text start (8-bit encodings only).
    std::size_t blankStart(std::size_t from, std::size_t to) const {
        if (!eightBit()) {
            return to;
        }
        while (to > from && std::string_view(" \t\r\n").find(source[to - 1]) != std::string_view::npos) {
            --to;
        }
        return to;
    }

    void write(std::string& out, const XbelElement& element, int depth) const {
        if (element.untouched()) {
            out += raw(element.begin, element.end);
            return;
        }
        const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
        const bool added = std::any_of(element.children.begin(), element.children.end(),
                                       [](const XbelElement& e) { return !e.inFile; });
        if (!element.inFile) {
            out += startTag(element, element.children.empty());
            if (!element.children.empty()) {
                for (const auto& child : element.children) {
                    out += encode("\n" + indent + "  ");
                    write(out, child, depth + 1);
                }
                out += encode("\n" + indent + "</" + element.name + ">");
            }
            return;
        }
        const bool emptyTag = element.startEnd == element.end;
        if (element.retagged || (emptyTag && added)) {
            out += startTag(element, emptyTag && !added);
        } else {
            out += raw(element.begin, element.startEnd);
        }
        std::size_t at = element.startEnd;
        for (const auto& child : element.children) {
            if (!child.inFile) {
                continue;
            }
            if (child.removed) {
                out += raw(at, blankStart(at, child.begin));
            } else {
                out += raw(at, child.begin);
                write(out, child, depth + 1);
            }
            at = child.end;
        }
        // New elements go after the last content, before the blanks that lead to the end tag.
        const std::size_t blank = added ? blankStart(at, element.contentEnd) : element.contentEnd;
        out += raw(at, blank);
        for (const auto& child : element.children) {
            if (!child.inFile) {
                out += encode("\n" + indent + "  ");
                write(out, child, depth + 1);
            }
        }
        if (added && blank == element.contentEnd) {
            out += encode("\n" + indent);
        } else {
            out += raw(blank, element.contentEnd);
        }
        if (emptyTag && added) {
            out += encode("</" + element.name + ">");
        } else {
            out += raw(element.contentEnd, element.end);
        }
    }

    // The whole file with the root element changed as given.
    std::string file(const XbelElement& root) const {
        std::string out;
        out.reserve(source.size() + 1024);
        out += raw(0, root.begin);
        write(out, root, 0);
        out += raw(root.end, source.size());
        return out;
    }
};

} // namespace

XbelPrefixes::XbelPrefixes(const XbelAttributes& root) {
    for (const auto& [key, value] : root) {
        if (key.rfind("xmlns:", 0) != 0) {
            continue;
        }
        const std::string prefix = key.substr(6);
        if (value == kBookmarkNamespace && bookmark.empty() && usablePrefix(prefix)) {
            bookmark = prefix;
        } else if (value == kMimeNamespace && mime.empty() && usablePrefix(prefix)) {
            mime = prefix;
        }
    }
    // A name the root binds to nothing else.
    const auto unbound = [&](std::string name) {
        while (findAttribute(root, "xmlns:" + name)) {
            name += '_';
        }
        return name;
    };
    if (bookmark.empty()) {
        bookmark = unbound("bookmark");
        declared = false;
    }
    if (mime.empty()) {
        mime = unbound("mime");
        declared = false;
    }
}

void XbelPrefixes::declare(XbelElement& root) const {
    for (const auto& [prefix, uri] :
         {std::pair{bookmark, kBookmarkNamespace}, std::pair{mime, kMimeNamespace}}) {
        if (!root.attribute("xmlns:" + prefix)) {
            root.setAttribute("xmlns:" + prefix, uri);
        }
    }
}

bool parseXbel(XbelList& list, const XbelReader& reader) {
    return parse(list, reader);
}

std::string writeXbel(const XbelList& list) {
    return Writer{list.source, list.encoding}.file(list.root);
}

std::string formatXbelDate(Date date) {
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

Date xbelDate(const XbelAttributes& attributes, std::string_view key) {
    if (const auto* text = findAttribute(attributes, key)) {
        if (const auto date = parseDate(*text)) {
            return *date;
        }
    }
    return Date{};
}

std::int64_t xbelInteger(const XbelAttributes& attributes, std::string_view key, std::int64_t fallback,
                         std::int64_t most) {
    const auto* text = findAttribute(attributes, key);
    const auto value = text ? parseInteger(*text) : std::nullopt;
    return value ? std::clamp<std::int64_t>(*value, 0, most) : fallback;
}

} // namespace core
