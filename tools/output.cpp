// Checked standard output, one-line error messages and whole-file writes for the telvor tool.
#include "tools/output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

#include "tools/inputs.h"

namespace {
int outputError = 0; // errno of the first failed write to standard output
} // namespace

bool writeOutput(const std::string &text) {
    if (outputError) return false;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        outputError = errno ? errno : EIO;
        return false;
    }
    return true;
}

std::string finishOutput() {
    if (!outputError) {
        errno = 0;
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) outputError = errno ? errno : EIO;
    }
    return outputError ? systemError(outputError) : "";
}

void printError(const std::string &context, const std::string &message) {
    std::string line = quoteValue(context + ": " + message);
    line = line.substr(1, line.size() - 2) + "\n"; // escaped, without the quotes
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void useUtf8Console() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
}

std::string systemError(int error) {
    return std::strerror(error);
}

WholeFile::~WholeFile() {
    discard();
}

namespace {

#ifndef _WIN32
// The temporaries being written, so that a signal that ends the tool (Ctrl-C, a closed pipe on
// the way to `head`) does not leave them behind. The handler removes them, then lets the
// signal end the process as it would have.
constexpr int kTemporaries = 8;
constexpr size_t kPathBytes = 4096;
char temporaryPaths[kTemporaries][kPathBytes];
volatile sig_atomic_t temporaryUsed[kTemporaries];

extern "C" void removeTemporaries(int signal) {
    for (int i = 0; i < kTemporaries; ++i)
        if (temporaryUsed[i]) unlink(temporaryPaths[i]);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

int rememberTemporary(const std::string &path) {
    static const bool installed = [] {
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            if (std::signal(s, removeTemporaries) == SIG_IGN) std::signal(s, SIG_IGN);
        return true;
    }();
    (void)installed;
    if (path.size() >= kPathBytes) return -1;
    for (int i = 0; i < kTemporaries; ++i)
        if (!temporaryUsed[i]) {
            std::memcpy(temporaryPaths[i], path.c_str(), path.size() + 1);
            temporaryUsed[i] = 1;
            return i;
        }
    return -1;
}

void forgetTemporary(int &slot) {
    if (slot >= 0) temporaryUsed[slot] = 0;
    slot = -1;
}
#else
int rememberTemporary(const std::string &) {
    return -1;
}
void forgetTemporary(int &slot) {
    slot = -1;
}
#endif

// The file that a write to `path` replaces: through symbolic links (also one that names a file
// yet to be made), the file they name, so that the link stays a link.
std::filesystem::path replacedFile(const std::filesystem::path &path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(path, ec)) {
        const fs::path real = fs::canonical(path, ec);
        return ec ? path : real;
    }
    fs::path target = path;
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hop) {
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

} // namespace

std::string WholeFile::open(const std::string &path) {
    discard();
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty()) return "no file name";
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status)) return "is a folder";
    errno = 0;
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        // A device, a FIFO or a socket is written through: never replaced by a file of ours.
        file_ = std::fopen(path.c_str(), "wb");
    } else {
        std::random_device random;
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(random()));
        path_ = replacedFile(path).string();
        temporary_ = path_ + suffix;
        slot_ = rememberTemporary(temporary_);
        file_ = std::fopen(temporary_.c_str(), "wb");
        if (!file_) {
            forgetTemporary(slot_);
            temporary_.clear();
        }
    }
    if (!file_) {
        const int error = errno;
        return error ? systemError(error) : "cannot be created";
    }
    return "";
}

std::string WholeFile::commit() {
    if (!file_) return "not open";
    int error = 0;
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_)) error = errno ? errno : EIO;
    errno = 0;
    if (std::fclose(file_) != 0 && !error) error = errno ? errno : EIO;
    file_ = nullptr;
    if (error) {
        discard();
        return systemError(error);
    }
    if (temporary_.empty()) return ""; // written through
    std::error_code ec;
    std::filesystem::rename(temporary_, path_, ec);
    if (ec) {
        discard();
        return ec.message();
    }
    forgetTemporary(slot_);
    temporary_.clear();
    return "";
}

void WholeFile::discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    forgetTemporary(slot_);
    temporary_.clear();
}

std::string pngPathProblem(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot);
    for (char &ch : extension)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    for (const char *other : {".jpg", ".jpeg", ".gif", ".bmp", ".tif", ".tiff", ".webp"})
        if (extension == other)
            return "the picture is written as PNG, not as " + path.substr(dot + 1) +
                   ": name it .png";
    return "";
}
