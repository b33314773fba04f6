// Build helper: writes the xscreensaver description of the hack (telvor-saver.xml) to the file
// named on its command line, from the settings table.
#include <cstdio>

#include "shell/saver_options.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xml\n", argv[0]);
        return 2;
    }
    std::FILE *out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    writeXscreensaverConfig(out);
    return std::fclose(out) == 0 ? 0 : 1;
}
