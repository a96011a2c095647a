#include "core/FileManager.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace core {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(int error, const fs::path& path, const std::string& operation) {
    throw FileError(std::error_code(error, std::generic_category()), path, operation);
}

// Closes a descriptor on every path out.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

Date toDate(const struct timespec& time) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(time.tv_sec) +
                                                           std::chrono::nanoseconds(time.tv_nsec)));
}

} // namespace

FileError::FileError(std::error_code code, fs::path path, const std::string& operation)
    : std::runtime_error(operation + " " + path.string() + ": " + code.message()), code_(code),
      path_(std::move(path)) {}

bool FileManager::fileExists(const fs::path& path, bool* isDirectory) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    if (isDirectory) {
        *isDirectory = S_ISDIR(info.st_mode);
    }
    return true;
}

FileAttributes FileManager::attributesOfItem(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        fail(errno, path, "cannot read the attributes of");
    }
    FileAttributes attributes;
    if (S_ISREG(info.st_mode)) {
        attributes.kind = FileAttributes::Kind::regular;
    } else if (S_ISDIR(info.st_mode)) {
        attributes.kind = FileAttributes::Kind::directory;
    } else if (S_ISLNK(info.st_mode)) {
        attributes.kind = FileAttributes::Kind::symbolicLink;
    }
    attributes.size = static_cast<std::uintmax_t>(info.st_size);
    attributes.modificationDate = toDate(info.st_mtim);
    return attributes;
}

void FileManager::createDirectory(const fs::path& path, bool withIntermediateDirectories) {
    std::error_code error;
    if (withIntermediateDirectories) {
        fs::create_directories(path, error);
        if (!error && !fs::is_directory(path, error)) {
            error = std::make_error_code(std::errc::not_a_directory);
        }
    } else if (!fs::create_directory(path, error) && !error) {
        error = std::make_error_code(std::errc::file_exists);
    }
    if (error) {
        throw FileError(error, path, "cannot create the directory");
    }
}

void FileManager::removeItem(const fs::path& path) {
    std::error_code error;
    if (fs::remove_all(path, error) == 0 && !error) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (error) {
        throw FileError(error, path, "cannot remove");
    }
}

std::vector<fs::path> FileManager::contentsOfDirectory(const fs::path& path) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    if (error) {
        throw FileError(error, path, "cannot list");
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string FileManager::contents(const fs::path& path, std::size_t limit) {
    // Non-blocking, so that a FIFO put in the file's place cannot hang the open.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (file.fd < 0) {
        fail(errno, path, "cannot open");
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        fail(errno, path, "cannot read the attributes of");
    }
    if (S_ISDIR(info.st_mode)) {
        fail(EISDIR, path, "cannot read");
    }
    if (!S_ISREG(info.st_mode)) {
        fail(EINVAL, path, "cannot read (not a regular file)");
    }
    std::string data;
    char buffer[65536];
    for (;;) {
        const auto count = ::read(file.fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno, path, "cannot read");
        }
        if (count == 0) {
            return data;
        }
        if (data.size() + static_cast<std::size_t>(count) > limit) {
            fail(EFBIG, path, "refusing to read");
        }
        data.append(buffer, static_cast<std::size_t>(count));
    }
}

void FileManager::writeAtomically(const fs::path& path, std::string_view data) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string name = "." + path.filename().string() + ".XXXXXX";
    std::string temporary = (folder / name).string();
    Descriptor file{::mkostemp(temporary.data(), O_CLOEXEC)};
    if (file.fd < 0) {
        fail(errno, path, "cannot create a temporary file for");
    }
    const auto abandon = [&](int error, const char* operation) {
        ::unlink(temporary.c_str());
        fail(error, path, operation);
    };
    // Keep the permissions of the file being replaced; a new one gets the usual mode.
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    if (::fchmod(file.fd, mode) != 0) {
        abandon(errno, "cannot set the permissions for");
    }
    std::size_t written = 0;
    while (written < data.size()) {
        const auto count = ::write(file.fd, data.data() + written, data.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            abandon(errno, "cannot write");
        }
        written += static_cast<std::size_t>(count);
    }
    if (::fsync(file.fd) != 0) {
        abandon(errno, "cannot flush");
    }
    if (::close(std::exchange(file.fd, -1)) != 0) {
        abandon(errno, "cannot close");
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        abandon(errno, "cannot replace");
    }
}

namespace {

fs::path homeDirectory() {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
            home = entry->pw_dir;
        }
    }
    return fs::path(home ? home : "/");
}

} // namespace

fs::path FileManager::userDataDirectory() {
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && dataHome[0] == '/') {
        return dataHome;
    }
    return homeDirectory() / ".local" / "share";
}

fs::path FileManager::userConfigDirectory() {
    if (const char* configHome = std::getenv("XDG_CONFIG_HOME"); configHome && configHome[0] == '/') {
        return configHome;
    }
    return homeDirectory() / ".config";
}

} // namespace core
