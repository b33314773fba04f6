// The telvor tool's entry point.
#include "tools/telvormain.h"

int main(int argc, char **argv) {
    return telvorMain(argc, argv);
}
