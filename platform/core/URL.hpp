// URL references split into their parts, file URLs and percent-encoding.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

// A URL reference (absolute or relative) split into its parts as written. Nothing is case-folded
// or normalised, so scheme and host compare exactly; the parts keep their percent-encoding.
class URL {
public:
    // Fails on text that is not a valid reference: empty text, spaces, control or non-ASCII
    // characters, a malformed percent escape, a bad scheme or port.
    static std::optional<URL> parse(std::string_view text);
    // A file URL for an absolute path; the path is percent-encoded as needed. A path ending in "/" names
    // a directory.
    static URL fileURL(const std::filesystem::path& absolutePath);
    // The same, with a trailing "/" added for a directory.
    static URL fileURL(const std::filesystem::path& absolutePath, bool isDirectory);

    const std::string& string() const { return text_; }
    const std::optional<std::string>& scheme() const { return scheme_; }
    const std::optional<std::string>& user() const { return user_; }
    const std::optional<std::string>& host() const { return host_; }
    std::optional<int> port() const { return port_; }
    const std::string& path() const { return path_; }
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }

    bool isFileURL() const { return scheme_ == "file"; }
    // The decoded path of a file URL.
    std::optional<std::filesystem::path> filePath() const;
    // The path with its percent escapes decoded (as written when an escape is malformed).
    std::string decodedPath() const;
    // The decoded path split at "/": an absolute path starts with "/", a trailing "/" adds nothing.
    std::vector<std::string> pathComponents() const;
    std::string lastPathComponent() const;
    // The text after the last full stop of the last component; empty when there is none or the component
    // starts with its only full stop (".bashrc").
    std::string pathExtension() const;
    // The URL with "." and ".." segments of its path resolved (symbolic links are not followed).
    URL standardized() const;

    // name=value pairs of the query, decoded ('+' stays '+').
    std::vector<std::pair<std::string, std::string>> queryItems() const;

    friend bool operator==(const URL& a, const URL& b) { return a.text_ == b.text_; }

private:
    std::string text_;
    std::optional<std::string> scheme_;
    std::optional<std::string> user_;
    std::optional<std::string> host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

// Escapes every byte except ASCII letters, digits, "-._~" and the bytes in keep.
std::string percentEncode(std::string_view text, std::string_view keep = {});
// Fails on a '%' that is not followed by two hexadecimal digits.
std::optional<std::string> percentDecode(std::string_view text);

} // namespace core
