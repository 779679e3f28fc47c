#include "readinglist.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "workflow.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace talveno {

namespace fs = std::filesystem;

std::vector<std::string> buildReadingList(const ReceiveText& received) {
    std::vector<std::string> lines;
    lines.reserve(kReadingCount);
    for (std::size_t k = 1; k <= kReadingCount; ++k) {
        const std::string number = std::to_string(k);
        const std::string_view reading = received.line(k - 1);
        std::string line;
        line.reserve(number.size() + 2 + reading.size() + 1);
        line.append(number).append("  ").append(reading).push_back('\t');
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string readingFileBytes(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) {
        size += line.size() + 2;
    }
    std::string bytes;
    bytes.reserve(size);
    for (const auto& line : lines) {
        bytes.append(line).append("\r\n");
    }
    return bytes;
}

std::string withDefaultExtension(const std::string& path, std::string_view extension) {
    const fs::path name = fs::path(path).filename();
    if (name.empty() || name.has_extension() || extension.empty()) {
        return path;
    }
    return path + "." + std::string(extension);
}

namespace {

// A target that exists but cannot be written: a folder, a read-only file,
// or one this user may not open for writing.
bool blockedTarget(const fs::path& target) {
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (ec || !fs::exists(status)) {
        return false;
    }
    if (!fs::is_regular_file(status)) {
        return true;
    }
    constexpr auto anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & anyWrite) == fs::perms::none) {
        return true;
    }
    std::FILE* probe = std::fopen(target.c_str(), "ab");
    if (probe == nullptr) {
        return true;
    }
    std::fclose(probe);
    return false;
}

// Creates a new file beside target that no other file of the folder shares.
std::FILE* createTemporaryBeside(const fs::path& target, fs::path& temporary) {
    static std::atomic<unsigned> counter{0};
#if defined(__unix__) || defined(__APPLE__)
    const long pid = static_cast<long>(::getpid());
#else
    const long pid = 0;
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target;
        temporary.replace_filename("." + target.filename().string() + ".tmp" + std::to_string(pid) + "-" +
                                   std::to_string(counter++));
        errno = 0;
        if (std::FILE* file = std::fopen(temporary.c_str(), "wbx")) {
            return file;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

bool flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return false;
    }
#if defined(__unix__) || defined(__APPLE__)
    if (::fsync(::fileno(file)) != 0 && errno != EINVAL) {
        return false;
    }
#endif
    return true;
}

}  // namespace

void writeFileReplacing(const std::string& path, std::string_view bytes) {
    const Error cannotCreate("Cannot create file " + path);
    const fs::path target(path);
    if (target.filename().empty() || blockedTarget(target)) {
        throw cannotCreate;
    }
    fs::path temporary;
    std::FILE* file = createTemporaryBeside(target, temporary);
    if (file == nullptr) {
        throw cannotCreate;
    }
    std::error_code ignored;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && flushToDisk(file);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        fs::remove(temporary, ignored);
        throw Error("Stream write error");
    }
    // A replaced file keeps its permissions; a new one has the usual ones.
    const fs::file_status old = fs::status(target, ignored);
    if (fs::exists(old)) {
        fs::permissions(temporary, old.permissions(), ignored);
    }
    std::error_code renamed;
    fs::rename(temporary, target, renamed);
    if (renamed) {
        fs::remove(temporary, ignored);
        throw cannotCreate;
    }
}

}  // namespace talveno
