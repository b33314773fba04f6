// Adding TELVOR to the programs list of ~/.xscreensaver: the text edit and the atomic replace.
#include "shell/xscreensaver_list.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

const char *const kXscreensaverHack = "telvor-saver";
const char *const kXscreensaverEntry = "\t\t\t\"TELVOR\" telvor-saver -root\t\t    \\n\\";

namespace {

constexpr size_t kLargestFile = 4u << 20; // xscreensaver's own files are some 10 kB

struct Line {
    std::string text; // without its "\n"
};

std::vector<Line> splitLines(const std::string &text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        lines.push_back({text.substr(start, nl - start)});
        start = nl + 1;
    }
    return lines;
}

bool blank(const std::string &s) {
    return s.find_first_not_of(" \t\r") == std::string::npos;
}

bool continues(const std::string &s) {
    return !s.empty() && s.back() == '\\';
}

// The resource name of a "name: value" line ("programs", "*programs", "XScreenSaver.programs"
// all name the list), or "" for a line that is not one.
std::string resourceName(const std::string &line) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return "";
    size_t b = line.find_first_not_of(" \t");
    size_t e = colon;
    while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t'))
        --e;
    return line.substr(b, e - b);
}

bool namesPrograms(const std::string &name) {
    const size_t dot = name.find_last_of(".*");
    return (dot == std::string::npos ? name : name.substr(dot + 1)) == "programs";
}

// Where the program of one entry of the list ("- GL: "Name" command args") is: its first byte and
// its length, or npos when the entry names none.
std::pair<size_t, size_t> programOf(const std::string &entry) {
    constexpr std::pair<size_t, size_t> none{std::string::npos, 0};
    size_t i = entry.find_first_not_of(" \t");
    if (i == std::string::npos) return none;
    if (entry[i] == '-') i = entry.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos) return none;
    // A visual name ends with ':' before any blank or quote.
    size_t j = i;
    while (j < entry.size() && entry[j] != ':' && entry[j] != '"' && entry[j] != ' ' &&
           entry[j] != '\t')
        ++j;
    if (j < entry.size() && entry[j] == ':') i = entry.find_first_not_of(" \t", j + 1);
    if (i == std::string::npos) return none;
    if (entry[i] == '"') {
        const size_t close = entry.find('"', i + 1);
        if (close == std::string::npos) return none;
        i = entry.find_first_not_of(" \t", close + 1);
        if (i == std::string::npos) return none;
    }
    size_t end = entry.find_first_of(" \t", i);
    if (end == std::string::npos) end = entry.size();
    // The entry separator "\n" may follow the program directly.
    const size_t sep = entry.find("\\n", i);
    if (sep != std::string::npos && sep < end) end = sep;
    return {i, end - i};
}

// The program's name without its folder ("/usr/bin/telvor-saver" gives "telvor-saver").
std::string programName(const std::string &entry) {
    const auto [at, length] = programOf(entry);
    if (at == std::string::npos) return "";
    std::string program = entry.substr(at, length);
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? program : program.substr(slash + 1);
}

// The name the hack had before it got one of its own: on PATH that is the command-line tool.
constexpr const char *kOldHackName = "telvor";

} // namespace

XscreensaverEdit addTelvorToXscreensaverText(const std::string &in, std::string &out,
                                             std::string &why) {
    if (in.find('\0') != std::string::npos) {
        why = "it holds NUL bytes";
        return XscreensaverEdit::Damaged;
    }
    const std::vector<Line> lines = splitLines(in);
    size_t programsFirst = std::string::npos, programsLast = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string &t = lines[i].text;
        const size_t first = t.find_first_not_of(" \t\r");
        if (first == std::string::npos || t[first] == '#' || t[first] == '!') continue;
        const std::string name = resourceName(t);
        if (name.empty() || name.find_first_of(" \t") != std::string::npos) {
            why = "line " + std::to_string(i + 1) + " is not a \"name: value\" line";
            return XscreensaverEdit::Damaged;
        }
        // The value goes on over every line that ends with a backslash.
        size_t last = i;
        while (continues(lines[last].text)) {
            if (last + 1 >= lines.size()) {
                why = "the value of line " + std::to_string(i + 1) + " runs past the end";
                return XscreensaverEdit::Damaged;
            }
            ++last;
        }
        if (namesPrograms(name)) {
            if (programsFirst != std::string::npos) {
                why = "it has two programs lists (lines " + std::to_string(programsFirst + 1) +
                      " and " + std::to_string(i + 1) + ")";
                return XscreensaverEdit::Damaged;
            }
            programsFirst = i;
            programsLast = last;
        }
        i = last;
    }

    if (programsFirst != std::string::npos) {
        // The list's entries are separated by "\n" (backslash, n) in the joined value.
        std::string value =
            lines[programsFirst].text.substr(lines[programsFirst].text.find(':') + 1);
        for (size_t i = programsFirst + 1; i <= programsLast; ++i) {
            value.pop_back(); // the previous line's continuation backslash
            value += lines[i].text;
        }
        if (continues(lines[programsLast].text)) value.pop_back();
        for (size_t start = 0;;) {
            const size_t sep = value.find("\\n", start);
            if (programName(value.substr(start, sep == std::string::npos ? sep : sep - start)) ==
                kXscreensaverHack)
                return XscreensaverEdit::AlreadyListed;
            if (sep == std::string::npos) break;
            start = sep + 2;
        }
    }

    if (programsFirst != std::string::npos) {
        // An entry under the old name runs the command-line tool: give it the hack's name, in
        // place, every other byte kept.
        size_t offset = 0;
        for (size_t i = 0; i < programsFirst; ++i)
            offset += lines[i].text.size() + 1;
        for (size_t i = programsFirst; i <= programsLast; ++i) {
            const std::string &t = lines[i].text;
            size_t start = i == programsFirst ? t.find(':') + 1 : 0;
            for (;;) {
                const size_t sep = t.find("\\n", start);
                const std::string entry =
                    t.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
                if (programName(entry) == kOldHackName) {
                    const auto [at, length] = programOf(entry);
                    out = in;
                    out.replace(offset + start + at, length, kXscreensaverHack);
                    return XscreensaverEdit::Renamed;
                }
                if (sep == std::string::npos) break;
                start = sep + 2;
            }
            offset += t.size() + 1;
        }
    }

    out.clear();
    if (programsFirst == std::string::npos) {
        out = in;
        if (!out.empty() && out.back() != '\n') out += '\n';
        if (!out.empty()) out += '\n';
        out += "programs:\t\t\t\t\t\t\t\t      \\\n";
        out += kXscreensaverEntry;
        out += "\n\n";
        return XscreensaverEdit::Added;
    }
    // Rebuild with the entry at the end of the list, every other byte as it was.
    const std::string &last = lines[programsLast].text;
    size_t offset = 0;
    for (size_t i = 0; i < programsLast; ++i)
        offset += lines[i].text.size() + 1;
    out = in.substr(0, offset);
    if (programsLast > programsFirst && blank(last)) {
        // The usual layout: the last entry ends with "\n\" and a blank line ends the value.
        out += kXscreensaverEntry;
        out += '\n';
        out += in.substr(offset);
    } else {
        // The last line holds an entry (or the bare "programs:"): continue it with ours.
        const bool empty = programsLast == programsFirst && blank(last.substr(last.find(':') + 1));
        std::string mended = last;
        while (!mended.empty() &&
               (mended.back() == '\r' || mended.back() == ' ' || mended.back() == '\t'))
            mended.pop_back();
        if (empty)
            mended += "\t\\";
        else if (mended.size() >= 2 && mended.compare(mended.size() - 2, 2, "\\n") == 0)
            mended += "\\";
        else
            mended += " \\n\\";
        out += mended + "\n";
        const std::string entry = kXscreensaverEntry;
        out += entry.substr(0, entry.find(" -root") + 6); // without its blanks and "\n\"
        const size_t after = offset + last.size();
        out += after < in.size() ? in.substr(after) : "\n";
    }
    return XscreensaverEdit::Added;
}

namespace {

// The user's file, through a symbolic link to what it names, as xscreensaver writes it.
std::string defaultPath() {
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd *pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return home && *home ? std::string(home) + "/.xscreensaver" : std::string();
}

bool writeAll(int fd, const std::string &data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Where xscreensaver looks: its own hack folder (before PATH) and its panels' folder.
constexpr const char *kHackDir = "/usr/libexec/xscreensaver";
constexpr const char *kConfigDir = "/usr/share/xscreensaver/config";

void warnIfNotFound() {
    const char *path = std::getenv("PATH");
    const std::string problem = xscreensaverLookupProblem(kHackDir, path ? path : "", kConfigDir);
    if (!problem.empty()) std::fprintf(stderr, "telvor-saver: warning: %s\n", problem.c_str());
}

int refuse(const std::string &path, const std::string &why) {
    std::fprintf(stderr, "telvor-saver: %s left unchanged: %s\n", path.c_str(), why.c_str());
    return 1;
}

} // namespace

std::string xscreensaverLookupProblem(const std::string &hackDir, const std::string &path,
                                      const std::string &configDir) {
    const std::string hack = kXscreensaverHack;
    bool found = access((hackDir + "/" + hack).c_str(), X_OK) == 0;
    for (size_t start = 0; !found && start <= path.size();) {
        size_t colon = path.find(':', start);
        if (colon == std::string::npos) colon = path.size();
        // An empty PATH element is the current folder, which is xscreensaver's, not ours.
        if (colon > start)
            found = access((path.substr(start, colon - start) + "/" + hack).c_str(), X_OK) == 0;
        start = colon + 1;
    }
    const std::string xml = configDir + "/" + hack + ".xml";
    const bool panel = access(xml.c_str(), R_OK) == 0;
    if (found && panel) return "";
    std::string problem = "xscreensaver will not find ";
    if (!found) problem += "the program " + hack + " (in " + hackDir + " or on PATH)";
    if (!found && !panel) problem += " nor ";
    if (!panel) problem += "its settings panel " + xml;
    return problem + "; install TELVOR under /usr (the package does)";
}

int addToXscreensaver(const char *givenPath) {
    std::string path = givenPath ? givenPath : defaultPath();
    if (path.empty()) return refuse("~/.xscreensaver", "no home folder");
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char *real = realpath(path.c_str(), nullptr);
        if (!real) return refuse(path, "it is a symbolic link to nothing");
        path = real;
        std::free(real);
    }
    std::string text;
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) return refuse(path, "it is not a regular file");
        if (static_cast<size_t>(st.st_size) > kLargestFile) return refuse(path, "it is too large");
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return refuse(path, std::strerror(errno));
        char chunk[65536];
        for (;;) {
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                const int e = errno;
                close(fd);
                return refuse(path, std::strerror(e));
            }
            if (n == 0) break;
            text.append(chunk, static_cast<size_t>(n));
            if (text.size() > kLargestFile) {
                close(fd);
                return refuse(path, "it is too large");
            }
        }
        close(fd);
    } else if (errno != ENOENT) {
        return refuse(path, std::strerror(errno));
    }

    std::string edited, why;
    const XscreensaverEdit result = addTelvorToXscreensaverText(text, edited, why);
    switch (result) {
    case XscreensaverEdit::AlreadyListed:
        std::printf("TELVOR is already in the programs list of %s\n", path.c_str());
        warnIfNotFound();
        return 0;
    case XscreensaverEdit::Damaged:
        return refuse(path, why);
    case XscreensaverEdit::Renamed:
    case XscreensaverEdit::Added:
        break;
    }

    std::string temp = path + ".telvor-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return refuse(path, std::string("cannot write beside it: ") + std::strerror(errno));
    if (exists) {
        fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0644 & ~mask);
    }
    bool ok = writeAll(fd, edited) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        unlink(temp.c_str());
        return refuse(path, std::string("cannot write it: ") + std::strerror(e));
    }
    if (result == XscreensaverEdit::Added)
        std::printf("TELVOR added to the programs list of %s\n", path.c_str());
    else
        std::printf("TELVOR's entry in the programs list of %s now runs %s\n", path.c_str(),
                    kXscreensaverHack);
    warnIfNotFound();
    return 0;
}
