// Checked standard output, one-line error messages and whole-file writes for the telvor tool.
#include "tools/output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
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

std::string systemError(int error) {
    return std::strerror(error);
}

WholeFile::~WholeFile() {
    discard();
}

std::string WholeFile::open(const std::string &path) {
    discard();
    std::error_code ec;
    if (path.empty()) return "no file name";
    if (std::filesystem::is_directory(path, ec)) return "is a folder";
    std::random_device random;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(random()));
    path_ = path;
    temporary_ = path + suffix;
    errno = 0;
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (!file_) {
        const int error = errno;
        temporary_.clear();
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
    std::error_code ec;
    std::filesystem::rename(temporary_, path_, ec);
    if (ec) {
        discard();
        return ec.message();
    }
    temporary_.clear();
    return "";
}

void WholeFile::discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}
