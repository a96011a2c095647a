// File-system helpers: item attributes, directories, bounded reads and atomic writes, the data folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace core {

using Date = std::chrono::system_clock::time_point;

// A failed file operation: the system's error and the path it concerned.
class FileError : public std::runtime_error {
public:
    FileError(std::error_code code, std::filesystem::path path, const std::string& operation);

    std::error_code code() const { return code_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::error_code code_;
    std::filesystem::path path_;
};

struct FileAttributes {
    enum class Kind { regular, directory, symbolicLink, other };
    Kind kind = Kind::other;
    std::uintmax_t size = 0;
    std::optional<Date> modificationDate;
};

// Stateless file operations; each throws FileError when the system refuses.
struct FileManager {
    static bool fileExists(const std::filesystem::path& path, bool* isDirectory = nullptr);
    // Describes the item itself (a symbolic link is not followed).
    static FileAttributes attributesOfItem(const std::filesystem::path& path);
    static void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories = true);
    // Removes a file or a whole directory tree; a missing item is an error.
    static void removeItem(const std::filesystem::path& path);
    // The entries of a directory, sorted by name.
    static std::vector<std::filesystem::path> contentsOfDirectory(const std::filesystem::path& path);

    // The bytes of a regular file; a file larger than limit is refused (EFBIG) rather than read.
    static std::string contents(const std::filesystem::path& path, std::size_t limit = std::size_t{64} << 20);
    // Writes a temporary file beside the destination, flushes it to disk and renames it over the
    // destination, so readers see the old contents or the new, never a part. A failure leaves the
    // destination as it was and removes the temporary file.
    static void writeAtomically(const std::filesystem::path& path, std::string_view data);

    // $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
    static std::filesystem::path userDataDirectory();
    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    static std::filesystem::path userConfigDirectory();
};

} // namespace core
