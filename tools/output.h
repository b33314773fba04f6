// Checked output of the telvor tool: standard output whose every write and flush is tested,
// one-line error messages, and files written whole or not at all.
#pragma once

#include <cstdio>
#include <string>

// Writes to standard output; false once any write has failed (later writes are skipped).
bool writeOutput(const std::string &text);
// Flushes standard output; "" when everything written has reached it, else the reason.
std::string finishOutput();

// Prints "context: message" on standard error as one line (control characters escaped).
void printError(const std::string &context, const std::string &message);

// Whether standard error is a terminal (for the progress bar).
bool stderrIsTerminal();

// On Windows, makes the console show the tool's UTF-8 (degree signs, month names in other
// scripts) as such, whatever its code page was; elsewhere nothing.
void useUtf8Console();

// The system's text for an errno value.
std::string systemError(int error);

// Why a PNG must not go to `path`: "" for a name ending in .png or in no known image
// extension, else a message naming the extension (.jpg, .jpeg, .gif, .bmp, .tif, .tiff, .webp,
// in any case), which would promise another format than the PNG written.
std::string pngPathProblem(const std::string &path);

// A file that appears under its name only when it is complete: written to a temporary file
// beside it and renamed over it at the end. Through a symbolic link the file it names is
// replaced; a device or a FIFO (/dev/stdout, say) is written directly, never replaced. The
// destructor removes an uncommitted temporary, and so does a signal that ends the tool.
class WholeFile {
  public:
    WholeFile() = default;
    WholeFile(const WholeFile &) = delete;
    WholeFile &operator=(const WholeFile &) = delete;
    ~WholeFile();
    // Creates the temporary file; "" or the reason it cannot be written.
    std::string open(const std::string &path);
    FILE *file() const { return file_; }
    // Closes and renames; "" or the reason. The temporary is removed on failure.
    std::string commit();
    // Closes and removes the temporary.
    void discard();

  private:
    std::string path_, temporary_;
    FILE *file_ = nullptr;
    int slot_ = -1; // among the temporaries a signal removes
};
