// Adding TELVOR to the "programs" list of a user's ~/.xscreensaver, which xscreensaver-settings
// shows in place of the system's list once the file exists.
#pragma once

#include <string>

// The line added to the list: the hack as xscreensaver runs it, in the layout that
// xscreensaver-settings writes.
extern const char *const kXscreensaverEntry;

enum class XscreensaverEdit {
    Added,         // `out` holds the new text
    AlreadyListed, // TELVOR is in the list already: nothing to write
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
