// Build helper: writes the program's icon (the 32 x 32 image of resources/telvor.ico) as a PNG for
// the desktop's icon theme.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ICON.ico OUTPUT.png\n", argv[0]);
        return 2;
    }
    GError *error = nullptr;
    GdkPixbuf *icon = gdk_pixbuf_new_from_file(argv[1], &error);
    if (!icon || !gdk_pixbuf_save(icon, argv[2], "png", &error, nullptr)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error ? error->message : "cannot convert");
        return 1;
    }
    g_object_unref(icon);
    return 0;
}
