// Adding TELVOR to the "programs" list of a user's ~/.xscreensaver, which xscreensaver-settings
// shows in place of the system's list once the file exists.
#pragma once

#include <string>

// The hack's program name, which no other program carries: xscreensaver runs it from its hack
// folder or PATH, and reads its settings panel from <config folder>/<name>.xml.
extern const char *const kXscreensaverHack;

// The line added to the list: the hack as xscreensaver runs it, in the layout that
// xscreensaver-settings writes.
extern const char *const kXscreensaverEntry;

enum class XscreensaverEdit {
    Added,         // `out` holds the new text
    AlreadyListed, // TELVOR is in the list already: nothing to write
    Renamed,       // an entry ran TELVOR under its old name, "telvor": `out` names the hack
    Damaged,       // the text is not a well-formed ~/.xscreensaver: `why` says what is wrong
};

// Adds TELVOR at the end of the "programs" resource of the file text `in` (a missing resource is
// added at the end), keeping every other byte; an empty `in` gives a file with only that
// resource, to which xscreensaver adds its own hacks when it reads it.
XscreensaverEdit addTelvorToXscreensaverText(const std::string &in, std::string &out,
                                             std::string &why);

// The whole command: reads `path` (nullptr: $HOME/.xscreensaver, following a symbolic link as
// xscreensaver does), adds TELVOR and replaces the file atomically. Refuses, changing nothing, a
// path that is not a regular file and a damaged file. Prints one line on stdout (done) or stderr
// (refused or failed) and returns the exit code: 0 done or already listed, 1 refused or failed.
int addToXscreensaver(const char *path);

// What xscreensaver will not find of TELVOR, as one sentence ("" when it finds everything): the
// hack `kXscreensaverHack`, looked for as an executable in `hackDir` and then in the folders of
// `path` (a PATH value, ':'-separated), and its panel `configDir`/<hack>.xml.
std::string xscreensaverLookupProblem(const std::string &hackDir, const std::string &path,
                                      const std::string &configDir);
