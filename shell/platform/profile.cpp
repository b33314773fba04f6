// Profile (INI) files with the Windows rules: GetPrivateProfileIntA, GetPrivateProfileStringA,
// WritePrivateProfileStringA.
//
// A file is read whole on every call and parsed line by line; nothing is cached, so another
// process's write is seen at once. Writes rebuild the file from its own lines, change only the
// line (or section) concerned, and replace the file atomically.
#include "shell/platform/win32.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t npos = std::string_view::npos;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Section and key names compare without regard to ASCII case, as on Windows.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

enum class ReadResult { Ok, Missing, Failed };

// A path that is not a regular file (a FIFO, a device, a folder) counts as missing: opening it
// never blocks (O_NONBLOCK) and nothing is read from it.
ReadResult readWholeFile(const char *path, std::string &out) {
    out.clear();
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ReadResult::Missing;
    }
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return ReadResult::Failed;
        }
        if (n == 0) break;
        out.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return ReadResult::Ok;
}

// One line of a file, with its terminator ("\n", "\r\n" or none for a last unterminated line)
// kept so that a rewrite gives back every untouched line byte for byte.
struct RawLine {
    std::string text;
    std::string ending;
};

std::vector<RawLine> splitLines(const std::string &content) {
    std::vector<RawLine> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t nl = content.find('\n', start);
        RawLine line;
        if (nl == std::string::npos) {
            line.text = content.substr(start);
            start = content.size();
        } else {
            size_t end = nl;
            if (end > start && content[end - 1] == '\r') --end;
            line.text = content.substr(start, end - start);
            line.ending = content.substr(end, nl + 1 - end);
            start = nl + 1;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

enum class LineKind { Blank, Comment, Section, Entry };

struct ParsedLine {
    LineKind kind;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // entry value, trimmed ("" when the line has no '=')
};

ParsedLine parseLine(std::string_view text) {
    std::string_view t = trim(text);
    if (t.empty()) return {LineKind::Blank, {}, {}};
    if (t.front() == ';') return {LineKind::Comment, {}, {}};
    if (t.front() == '[') {
        size_t close = t.find(']');
        if (close != npos) return {LineKind::Section, trim(t.substr(1, close - 1)), {}};
        // Without its ']' the line is not a header; Windows then reads it as a key.
    }
    size_t eq = t.find('=');
    if (eq == npos) return {LineKind::Entry, t, {}};
    return {LineKind::Entry, trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

// Index of the first header of the named section, or npos.
size_t findSection(const std::vector<RawLine> &lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        ParsedLine p = parseLine(lines[i].text);
        if (p.kind == LineKind::Section && sameName(p.name, section)) return i;
    }
    return npos;
}

// One past the last line of the section whose header is at `header`.
size_t sectionEnd(const std::vector<RawLine> &lines, size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && parseLine(lines[i].text).kind != LineKind::Section)
        ++i;
    return i;
}

size_t findKey(const std::vector<RawLine> &lines, size_t header, size_t end, std::string_view key) {
    for (size_t i = header + 1; i < end; ++i) {
        ParsedLine p = parseLine(lines[i].text);
        if (p.kind == LineKind::Entry && sameName(p.name, key)) return i;
    }
    return npos;
}

// The text of section/key in the file, as Windows gives it: matching double quotes removed.
// False when the file, the section or the key is missing.
bool lookUp(const char *section, const char *key, const char *path, std::string &value) {
    if (!section || !key || !path) return false;
    std::string content;
    if (readWholeFile(path, content) != ReadResult::Ok) return false;
    std::vector<RawLine> lines = splitLines(content);
    size_t header = findSection(lines, trim(section));
    if (header == npos) return false;
    size_t k = findKey(lines, header, sectionEnd(lines, header), trim(key));
    if (k == npos) return false;
    std::string_view v = parseLine(lines[k].text).value;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    // A NUL inside the file ends the value, as it would end a C string on Windows.
    value.assign(v.substr(0, v.find('\0')));
    return true;
}

bool writeAll(int fd, const std::string &data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file that a write to `path` replaces: through a symbolic link, the file it names.
std::string replacedPath(const char *path) {
    std::string target = path;
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char *real = realpath(path, nullptr)) {
            target = real;
            free(real);
        }
    }
    return target;
}

// Whether a write may replace `target`: a missing file or a regular one, never a device, a FIFO
// or a folder (even when a symbolic link leads there).
bool replaceable(const std::string &target) {
    struct stat st;
    return stat(target.c_str(), &st) != 0 ? errno == ENOENT : S_ISREG(st.st_mode);
}

// Removes the temporaries "<target>.XXXXXX" that writers killed midway left behind. A live
// writer holds a lock on its temporary, so only those of dead writers are taken.
void removeStaleTemporaries(const std::string &target) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + ".";
    DIR *dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent *entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix) continue;
        bool suffix = true; // mkostemp's six letters and digits
        for (char c : name.substr(prefix.size()))
            suffix = suffix &&
                     ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        if (!suffix) continue;
        const std::string full = (slash == std::string::npos ? "" : folder) + std::string(name);
        const int fd = open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(full.c_str());
        close(fd);
    }
    closedir(dir);
}

// Replaces the file at `path` by `data` so that a reader sees either the old file or the new one
// whole: a temporary file in the same folder is written and synced, then renamed over it. On any
// failure the temporary file is removed and the original is untouched. What is not a regular
// file is never replaced.
bool replaceFile(const char *path, const std::string &data) {
    const std::string target = replacedPath(path);
    if (!replaceable(target)) return false;
    struct stat st;
    bool existed = stat(target.c_str(), &st) == 0;
    removeStaleTemporaries(target);

    std::string temp = target + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    flock(fd, LOCK_EX); // ours while we write it; released however this process ends
    if (existed) fchmod(fd, st.st_mode & 07777); // keep the file's permissions
    bool ok = writeAll(fd, data) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here no longer endangers the data.
    std::string folder =
        target.substr(0, target.rfind('/') == std::string::npos ? 0 : target.rfind('/'));
    int dirFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

// Text written into a single line: anything from the first line break on would make new lines.
std::string_view oneLine(const char *s) {
    std::string_view v(s);
    return v.substr(0, v.find_first_of("\r\n"));
}

} // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR path) {
    if (!buffer || size == 0) return 0;
    // Listing the sections or keys (a null section or key) is not needed here: an empty list.
    if (!section || !key) {
        buffer[0] = '\0';
        if (size > 1) buffer[1] = '\0';
        return 0;
    }
    std::string value;
    if (!lookUp(section, key, path, value)) {
        // The default is given back with its trailing blanks removed, as Windows does.
        std::string_view d = defaultValue ? defaultValue : "";
        while (!d.empty() && isBlank(d.back()))
            d.remove_suffix(1);
        value.assign(d);
    }
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path) {
    std::string value;
    // An empty value counts as missing.
    if (!lookUp(section, key, path, value) || value.empty()) return static_cast<UINT>(defaultValue);
    // An optional sign and decimal digits; the first other character ends the number, and text
    // without digits gives 0. Overflow wraps around in 32 bits as on Windows.
    size_t i = 0;
    bool negative = false;
    if (value[0] == '-' || value[0] == '+') {
        negative = value[0] == '-';
        i = 1;
    }
    UINT result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        result = result * 10u + static_cast<UINT>(value[i] - '0');
    return negative ? 0u - result : result;
}

namespace {

// Applies one write to the text of a file; false when nothing changes.
bool applyWrite(std::string &content, LPCSTR section, LPCSTR key, LPCSTR value) {
    std::vector<RawLine> lines = splitLines(content);

    // New lines follow the file's own line ending; a new file gets "\r\n" as on Windows.
    std::string eol = "\r\n";
    size_t firstBreak = content.find('\n');
    if (firstBreak != std::string::npos && (firstBreak == 0 || content[firstBreak - 1] != '\r'))
        eol = "\n";

    std::string_view sectionName = trim(oneLine(section));
    size_t header = findSection(lines, sectionName);

    if (!key) { // delete the whole section
        if (header == npos) return false;
        lines.erase(lines.begin() + static_cast<long>(header),
                    lines.begin() + static_cast<long>(sectionEnd(lines, header)));
    } else {
        std::string_view keyName = trim(oneLine(key));
        if (header == npos) {
            if (!value) return false;
            if (!lines.empty()) {
                if (lines.back().ending.empty()) lines.back().ending = eol;
                if (parseLine(lines.back().text).kind != LineKind::Blank)
                    lines.push_back({"", eol}); // one blank line between sections
            }
            lines.push_back({"[" + std::string(sectionName) + "]", eol});
            lines.push_back({std::string(keyName) + "=" + std::string(oneLine(value)), eol});
        } else {
            size_t end = sectionEnd(lines, header);
            size_t k = findKey(lines, header, end, keyName);
            if (!value) { // delete the key
                if (k == npos) return false;
                lines.erase(lines.begin() + static_cast<long>(k));
            } else if (k != npos) { // replace in place, keeping the key's own spelling
                ParsedLine p = parseLine(lines[k].text);
                std::string_view newValue = oneLine(value);
                if (p.value == newValue) return false; // nothing to change
                lines[k].text = std::string(p.name) + "=" + std::string(newValue);
            } else { // add after the section's last non-blank line
                size_t at = end;
                while (at > header + 1 && parseLine(lines[at - 1].text).kind == LineKind::Blank)
                    --at;
                if (lines[at - 1].ending.empty()) lines[at - 1].ending = eol;
                RawLine added{std::string(keyName) + "=" + std::string(oneLine(value)), eol};
                lines.insert(lines.begin() + static_cast<long>(at), std::move(added));
            }
        }
    }

    std::string out;
    out.reserve(content.size() + 64);
    for (const RawLine &l : lines) {
        out += l.text;
        out += l.ending;
    }
    content = std::move(out);
    return true;
}

// The writes gathered between profileBeginBatch and profileEndBatch, for one file.
struct Batch {
    bool active = false;
    bool loaded = false;
    bool failed = false;
    bool changed = false;
    std::string path;
    std::string content;
};
Batch batch;

} // namespace

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    if (!section || !path || !*path) return FALSE;
    if (batch.active && (!batch.loaded || batch.path == path)) {
        if (!batch.loaded) {
            batch.loaded = true;
            batch.path = path;
            batch.failed = !replaceable(replacedPath(path)) ||
                           readWholeFile(path, batch.content) == ReadResult::Failed;
        }
        if (batch.failed) return FALSE;
        batch.changed = applyWrite(batch.content, section, key, value) || batch.changed;
        return TRUE;
    }
    if (!replaceable(replacedPath(path))) return FALSE;
    std::string content;
    if (readWholeFile(path, content) == ReadResult::Failed) return FALSE;
    if (!applyWrite(content, section, key, value)) return TRUE;
    return replaceFile(path, content) ? TRUE : FALSE;
}

void profileBeginBatch() {
    batch = Batch();
    batch.active = true;
}

BOOL profileEndBatch() {
    Batch done = std::move(batch);
    batch = Batch();
    if (done.failed) return FALSE;
    if (!done.changed) return TRUE;
    return replaceFile(done.path.c_str(), done.content) ? TRUE : FALSE;
}
