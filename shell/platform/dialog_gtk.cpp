// The modal dialog of our own Win32 over GTK 3: the configuration dialog built from its one
// description, its controls' operations, and a nested main loop until EndDialog.
//
// Handles: a dialog is 0xD1A00000 + serial * 0x100 and its controls follow it (+1 .. +21), above
// the 29 bits of X window ids and the small numbers of the headless backend, so they never meet
// the window layer's handles. Text crosses this layer as single-byte Latin-1 and lives in GTK
// as UTF-8.
#include "shell/platform/win32.h"

#include "shell/platform/dialog_gtk.h"

#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/configdlg.h"
#include "resources/resources.h"

namespace {

constexpr uintptr_t kDialogBase = 0xD1A00000;
constexpr uintptr_t kDialogSerials = 0x5F00; // keeps handles under 0xFFFFFFFF
constexpr uintptr_t kMaxXid = 0x1FFFFFFF;

struct Dialog {
    uintptr_t handle = 0;
    DLGPROC proc = nullptr;
    GtkWidget *window = nullptr;
    std::vector<GtkWidget *> controls; // in the description's order
    GMainLoop *loop = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    // SetFocus on a disabled control: GTK will not focus it, yet the caller expects GetFocus to
    // name it, as Windows does, until the user moves the focus.
    int disabledFocus = -1;
    guint hookSource = 0;  // the pending run of the test hook
    guint alignSource = 0; // the pending alignment of the labels' baselines
};

std::vector<Dialog *> openDialogs; // innermost last
uintptr_t nextSerial = 0;
int gtkState = 0; // 0 not tried, 1 ready, -1 no display
void (*testHook)(HWND, void *) = nullptr;
void *testHookContext = nullptr;

HWND toHandle(uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

// The dialog that owns `hwnd` and the control's index (-1: the dialog itself), or nullptr.
Dialog *lookup(HWND hwnd, int *index) {
    const uintptr_t h = reinterpret_cast<uintptr_t>(hwnd);
    for (Dialog *d : openDialogs) {
        if ((h & ~uintptr_t{0xFF}) != d->handle) continue;
        const int i = static_cast<int>(h & 0xFF) - 1;
        if (i >= static_cast<int>(d->controls.size())) return nullptr;
        if (index) *index = i;
        return d;
    }
    return nullptr;
}

Dialog *lookupDialog(HWND hwnd) {
    int index = 0;
    Dialog *d = lookup(hwnd, &index);
    return d && index == -1 ? d : nullptr;
}

GtkWidget *lookupWidget(HWND hwnd) {
    int index = 0;
    Dialog *d = lookup(hwnd, &index);
    if (!d) return nullptr;
    return index < 0 ? d->window : d->controls[static_cast<size_t>(index)];
}

// The first control with this identifier, as Windows' GetDlgItem finds it.
int controlIndex(Dialog *d, int id) {
    for (size_t i = 0; i < d->controls.size(); ++i)
        if (kConfigDialogControls[i].id == id) return static_cast<int>(i);
    return -1;
}

GtkWidget *controlWidget(HWND dialog, int id) {
    Dialog *d = lookupDialog(dialog);
    if (!d) return nullptr;
    const int i = controlIndex(d, id);
    return i < 0 ? nullptr : d->controls[static_cast<size_t>(i)];
}

std::string latin1ToUtf8(const char *text) {
    std::string out;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        if (*p < 0x80) {
            out += static_cast<char>(*p);
        } else {
            out += static_cast<char>(0xC0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return out;
}

// Characters beyond Latin-1 become '?'.
std::string utf8ToLatin1(const char *text) {
    std::string out;
    for (const char *p = text; *p; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char_validated(p, -1);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            out += '?';
            if (!*(p + 1)) break;
            continue;
        }
        out += c < 0x100 ? static_cast<char>(c) : '?';
    }
    return out;
}

const char *widgetText(GtkWidget *w) {
    if (GTK_IS_ENTRY(w)) return gtk_entry_get_text(GTK_ENTRY(w));
    if (GTK_IS_BUTTON(w)) return gtk_button_get_label(GTK_BUTTON(w));
    if (GTK_IS_LABEL(w)) return gtk_label_get_text(GTK_LABEL(w));
    return nullptr;
}

INT_PTR sendToProc(Dialog *d, UINT message, WPARAM wParam, LPARAM lParam) {
    return d->proc(toHandle(d->handle), message, wParam, lParam);
}

// Takes the refusal marks off every edit field.
void clearMarks(Dialog *d) {
    for (GtkWidget *w : d->controls) {
        if (!GTK_IS_ENTRY(w)) continue;
        gtk_style_context_remove_class(gtk_widget_get_style_context(w), GTK_STYLE_CLASS_ERROR);
        gtk_widget_set_tooltip_text(w, nullptr);
    }
}

// Marks the edit field that holds the focus after a refused OK: GTK's error style and a tooltip
// naming what it accepts (the hint that follows the field in the description).
void markRefused(Dialog *d) {
    const HWND focus = GetFocus();
    int index = -1;
    if (lookup(focus, &index) != d || index < 0) return;
    GtkWidget *w = d->controls[static_cast<size_t>(index)];
    if (!GTK_IS_ENTRY(w)) return;
    gtk_style_context_add_class(gtk_widget_get_style_context(w), GTK_STYLE_CLASS_ERROR);
    const size_t next = static_cast<size_t>(index) + 1;
    std::string tip = "Refused";
    if (next < d->controls.size() && kConfigDialogControls[next].kind == DialogControlKind::Label)
        tip += ": enter " + latin1ToUtf8(kConfigDialogControls[next].text);
    gtk_widget_set_tooltip_text(w, tip.c_str());
}

void sendCommand(Dialog *d, int id, GtkWidget *from) {
    LPARAM control = 0;
    for (size_t i = 0; i < d->controls.size(); ++i)
        if (d->controls[i] == from) control = static_cast<LPARAM>(d->handle + i + 1);
    if (id == IDOK) clearMarks(d);
    sendToProc(d, WM_COMMAND, static_cast<WPARAM>(id), control);
    if (id == IDOK && !d->ended) markRefused(d);
}

// Leaving without OK (Escape, the close box): the dialog ends with IDCANCEL, which its caller
// takes as "save nothing". The procedure hears the cancel command first, as on Windows.
void cancel(Dialog *d) {
    sendCommand(d, IDCANCEL, nullptr);
    if (!d->ended) EndDialog(reinterpret_cast<HWND>(d->handle), IDCANCEL);
}

// A button's notification: WM_COMMAND with its identifier (BN_CLICKED is 0).
void notifyClicked(GtkWidget *button, Dialog *d) {
    for (size_t i = 0; i < d->controls.size(); ++i)
        if (d->controls[i] == button) sendCommand(d, kConfigDialogControls[i].id, button);
}

// Only the user's toggles reach here: CheckDlgButton blocks this handler while it sets a state.
void onToggled(GtkToggleButton *button, gpointer data) {
    notifyClicked(GTK_WIDGET(button), static_cast<Dialog *>(data));
}

void onClicked(GtkButton *button, gpointer data) {
    notifyClicked(GTK_WIDGET(button), static_cast<Dialog *>(data));
}

// Enter anywhere acts on the default push button, OK; Escape leaves without saving.
gboolean onKeyPress(GtkWidget *, GdkEventKey *event, gpointer data) {
    Dialog *d = static_cast<Dialog *>(data);
    switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: {
        const int ok = controlIndex(d, IDOK);
        sendCommand(d, IDOK, ok >= 0 ? d->controls[static_cast<size_t>(ok)] : nullptr);
        return TRUE;
    }
    case GDK_KEY_Escape:
        cancel(d);
        return TRUE;
    default:
        return FALSE;
    }
}

// The close box leaves without saving; the window itself goes when the dialog ends.
gboolean onDelete(GtkWidget *, GdkEvent *, gpointer data) {
    cancel(static_cast<Dialog *>(data));
    return TRUE;
}

void onSetFocus(GtkWindow *, GtkWidget *widget, gpointer data) {
    if (widget) static_cast<Dialog *>(data)->disabledFocus = -1;
}

gboolean runTestHook(gpointer data) {
    Dialog *d = static_cast<Dialog *>(data);
    d->hookSource = 0;
    if (testHook && !d->ended) testHook(toHandle(d->handle), testHookContext);
    return G_SOURCE_REMOVE;
}

// The icon "_icon_" from the embedded .ico file, or nullptr when it cannot be read.
GdkPixbuf *loadIcon() {
    GdkPixbufLoader *loader = gdk_pixbuf_loader_new_with_type("ico", nullptr);
    if (!loader) return nullptr;
    gdk_pixbuf_loader_write(loader, telvorIcon, telvorIconSize, nullptr);
    GdkPixbuf *pixbuf = nullptr;
    if (gdk_pixbuf_loader_close(loader, nullptr)) {
        pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        if (pixbuf) g_object_ref(pixbuf);
    }
    g_object_unref(loader);
    return pixbuf;
}

// Windows' dialog base units from the dialog font: the average width of the Latin letters
// (rounded, in pixels) and the font's height. One horizontal dialog unit is a quarter of the
// first, one vertical unit an eighth of the second.
void baseUnits(GtkWidget *window, int *x, int *y) {
    PangoLayout *layout = gtk_widget_create_pango_layout(
        window, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    *x = CLAMP((width / 26 + 1) / 2, 4, 24);
    *y = CLAMP(height, 8, 48);
}

GtkWidget *makeControl(Dialog *d, const DialogControl &c, GdkPixbuf *icon) {
    const std::string text = latin1ToUtf8(c.text);
    switch (c.kind) {
    case DialogControlKind::Icon:
        return icon ? gtk_image_new_from_pixbuf(icon) : gtk_image_new();
    case DialogControlKind::Static:
    case DialogControlKind::Label: {
        GtkWidget *label = gtk_label_new(text.c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
        if (c.kind == DialogControlKind::Static) {
            // Wrapped within its own width rather than asking for the whole text on one line.
            gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
            gtk_label_set_max_width_chars(GTK_LABEL(label), 1);
        }
        return label;
    }
    case DialogControlKind::CheckBox: {
        GtkWidget *check = gtk_check_button_new_with_label(text.c_str());
        g_signal_connect(check, "toggled", G_CALLBACK(onToggled), d);
        return check;
    }
    case DialogControlKind::Edit: {
        GtkWidget *entry = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(entry), 1); // the dialog units decide the width
        return entry;
    }
    case DialogControlKind::PushButton: {
        GtkWidget *button = gtk_button_new_with_label(text.c_str());
        gtk_widget_set_can_default(button, TRUE);
        g_signal_connect(button, "clicked", G_CALLBACK(onClicked), d);
        return button;
    }
    }
    return gtk_label_new("");
}

// Where the text of a label or an edit field sits: its baseline, in the coordinates of the
// window (the label's layout offsets include its position, the entry's do not).
int textBaseline(GtkWidget *w) {
    int x = 0, y = 0;
    PangoLayout *layout = nullptr;
    if (GTK_IS_ENTRY(w)) {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        gtk_entry_get_layout_offsets(GTK_ENTRY(w), &x, &y);
        y += a.y;
        layout = gtk_entry_get_layout(GTK_ENTRY(w));
    } else if (GTK_IS_LABEL(w)) {
        gtk_label_get_layout_offsets(GTK_LABEL(w), &x, &y);
        layout = gtk_label_get_layout(GTK_LABEL(w));
    } else {
        return 0;
    }
    return y + pango_layout_get_baseline(layout) / PANGO_SCALE;
}

// Moves every label onto the baseline of the edit field of its row (the description places
// labels 2 units below their fields, which matches Windows' fonts, not GTK's).
gboolean alignBaselines(gpointer data) {
    Dialog *d = static_cast<Dialog *>(data);
    d->alignSource = 0;
    for (size_t i = 0; i < d->controls.size(); ++i) {
        const DialogControl &label = kConfigDialogControls[i];
        if (label.kind != DialogControlKind::Label) continue;
        for (size_t j = 0; j < d->controls.size(); ++j) {
            const DialogControl &edit = kConfigDialogControls[j];
            if (edit.kind != DialogControlKind::Edit || std::abs(edit.y - label.y) > 4) continue;
            const int shift = textBaseline(d->controls[j]) - textBaseline(d->controls[i]);
            if (shift == 0) break;
            GValue value = G_VALUE_INIT;
            g_value_init(&value, G_TYPE_INT);
            GtkWidget *fixed = gtk_widget_get_parent(d->controls[i]);
            gtk_container_child_get_property(GTK_CONTAINER(fixed), d->controls[i], "x", &value);
            const int x = g_value_get_int(&value);
            gtk_container_child_get_property(GTK_CONTAINER(fixed), d->controls[i], "y", &value);
            gtk_fixed_move(GTK_FIXED(fixed), d->controls[i], x, g_value_get_int(&value) + shift);
            g_value_unset(&value);
            break;
        }
    }
    return G_SOURCE_REMOVE;
}

void onFixedAllocated(GtkWidget *, GdkRectangle *, gpointer data) {
    Dialog *d = static_cast<Dialog *>(data);
    if (!d->alignSource) d->alignSource = g_idle_add(alignBaselines, d);
}

void buildWindow(Dialog *d, HWND parent) {
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    d->window = window;
    gtk_window_set_title(GTK_WINDOW(window), kConfigDialogTitle);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), d);
    g_signal_connect(window, "key-press-event", G_CALLBACK(onKeyPress), d);
    g_signal_connect(window, "set-focus", G_CALLBACK(onSetFocus), d);

    GdkPixbuf *icon = loadIcon();
    if (icon) gtk_window_set_icon(GTK_WINDOW(window), icon);

    int unitX = 0, unitY = 0;
    baseUnits(window, &unitX, &unitY);
    GtkWidget *fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, kConfigDialogWidth * unitX / 4,
                                kConfigDialogHeight * unitY / 8);
    GList *chain = nullptr;
    for (const DialogControl &c : kConfigDialogControls) {
        GtkWidget *w = makeControl(d, c, icon);
        if (c.width > 0 && c.height > 0)
            gtk_widget_set_size_request(w, c.width * unitX / 4, c.height * unitY / 8);
        gtk_fixed_put(GTK_FIXED(fixed), w, c.x * unitX / 4, c.y * unitY / 8);
        d->controls.push_back(w);
        if (c.kind == DialogControlKind::CheckBox || c.kind == DialogControlKind::Edit ||
            c.kind == DialogControlKind::PushButton) {
            chain = g_list_append(chain, w);
        } else {
            gtk_widget_set_can_focus(w, FALSE);
        }
        if (c.kind == DialogControlKind::Edit)
            gtk_entry_set_activates_default(GTK_ENTRY(w), FALSE); // the key handler does OK
    }
    if (icon) g_object_unref(icon);
        // The tab order is the description's order, whatever the positions.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gtk_container_set_focus_chain(GTK_CONTAINER(fixed), chain);
#pragma GCC diagnostic pop
    g_list_free(chain);
    gtk_container_add(GTK_CONTAINER(window), fixed);
    g_signal_connect(fixed, "size-allocate", G_CALLBACK(onFixedAllocated), d);
    const int ok = controlIndex(d, IDOK);
    if (ok >= 0) gtk_widget_grab_default(d->controls[static_cast<size_t>(ok)]);

    // A parent given as an X window keeps the dialog above it.
    const uintptr_t parentId = reinterpret_cast<uintptr_t>(parent);
    GdkDisplay *display = gtk_widget_get_display(window);
    if (parentId && parentId <= kMaxXid && GDK_IS_X11_DISPLAY(display)) {
        gtk_widget_realize(window);
        GdkWindow *foreign = gdk_x11_window_foreign_new_for_display(display, parentId);
        if (foreign) {
            gdk_window_set_transient_for(gtk_widget_get_window(window), foreign);
            g_object_unref(foreign);
        }
    }
}

// SIGTERM or SIGINT while the dialog is open ends the process as the signal's default would,
// without saving: GTK's loop does not watch the window layer's signal pipe.
gboolean onTerminate(gpointer signalNumber) {
    const int number = GPOINTER_TO_INT(signalNumber);
    signal(number, SIG_DFL);
    raise(number);
    return G_SOURCE_REMOVE;
}

bool gtkReady() {
    if (gtkState == 0) {
        gtk_disable_setlocale(); // numbers keep the C locale's format in this process
        gtkState = gtk_init_check(nullptr, nullptr) ? 1 : -1;
    }
    return gtkState == 1;
}

} // namespace

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND parent, DLGPROC proc,
                        LPARAM initParam) {
    // Resource names match without regard to case.
    if (!proc || !templateName || reinterpret_cast<uintptr_t>(templateName) <= 0xFFFF ||
        strcasecmp(templateName, kConfigDialogName) != 0)
        return -1;
    if (!gtkReady()) return -1;

    Dialog dialog;
    Dialog *d = &dialog;
    d->handle = kDialogBase + (nextSerial++ % kDialogSerials + 1) * 0x100;
    d->proc = proc;
    buildWindow(d, parent);
    openDialogs.push_back(d);

    size_t firstTabStop = 0;
    while (firstTabStop < d->controls.size() &&
           !gtk_widget_get_can_focus(d->controls[firstTabStop]))
        ++firstTabStop;
    const WPARAM focusHandle = firstTabStop < d->controls.size() ? d->handle + firstTabStop + 1 : 0;
    if (sendToProc(d, WM_INITDIALOG, focusHandle, initParam) && focusHandle)
        gtk_widget_grab_focus(d->controls[firstTabStop]);

    if (!d->ended) {
        gtk_widget_show_all(d->window);
        gtk_window_present(GTK_WINDOW(d->window));
        d->loop = g_main_loop_new(nullptr, FALSE);
        struct sigaction previousTerm = {}, previousInt = {};
        sigaction(SIGTERM, nullptr, &previousTerm);
        sigaction(SIGINT, nullptr, &previousInt);
        const guint termSource = g_unix_signal_add(SIGTERM, onTerminate, GINT_TO_POINTER(SIGTERM));
        const guint intSource = g_unix_signal_add(SIGINT, onTerminate, GINT_TO_POINTER(SIGINT));
        if (testHook) d->hookSource = g_idle_add(runTestHook, d);
        if (!d->ended) g_main_loop_run(d->loop);
        if (d->hookSource) g_source_remove(d->hookSource); // the dialog ended before it ran
        if (d->alignSource) g_source_remove(d->alignSource);
        d->alignSource = 0;
        g_source_remove(termSource);
        g_source_remove(intSource);
        sigaction(SIGTERM, &previousTerm, nullptr);
        sigaction(SIGINT, &previousInt, nullptr);
        g_main_loop_unref(d->loop);
        d->loop = nullptr;
    }

    std::erase(openDialogs, d);
    gtk_widget_destroy(d->window);
    // Let the server see the window go before the caller moves on.
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    gdk_display_flush(gdk_display_get_default());
    return d->result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Dialog *d = lookupDialog(dialog);
    if (!d) return FALSE;
    d->ended = true;
    d->result = result;
    if (d->loop) g_main_loop_quit(d->loop);
    return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    GtkWidget *w = controlWidget(dialog, id);
    if (!w || !GTK_IS_CHECK_BUTTON(w)) return FALSE;
    g_signal_handlers_block_by_func(w, reinterpret_cast<gpointer>(onToggled), lookupDialog(dialog));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), check == BST_CHECKED);
    g_signal_handlers_unblock_by_func(w, reinterpret_cast<gpointer>(onToggled),
                                      lookupDialog(dialog));
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    GtkWidget *w = controlWidget(dialog, id);
    if (!w || !GTK_IS_CHECK_BUTTON(w)) return BST_UNCHECKED;
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? BST_CHECKED : BST_UNCHECKED;
}

HWND GetDlgItem(HWND dialog, int id) {
    Dialog *d = lookupDialog(dialog);
    if (!d) return nullptr;
    const int i = controlIndex(d, id);
    return i < 0 ? nullptr : toHandle(d->handle + static_cast<uintptr_t>(i) + 1);
}

BOOL EnableWindow(HWND window, BOOL enable) {
    GtkWidget *w = lookupWidget(window);
    if (!w) return FALSE;
    const BOOL wasDisabled = gtk_widget_get_sensitive(w) ? FALSE : TRUE;
    gtk_widget_set_sensitive(w, enable ? TRUE : FALSE);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    GtkWidget *w = lookupWidget(window);
    return w && gtk_widget_get_sensitive(w) ? TRUE : FALSE;
}

HWND SetFocus(HWND window) {
    int index = 0;
    Dialog *d = lookup(window, &index);
    if (!d) return nullptr;
    HWND previous = GetFocus();
    if (index < 0) return previous;
    GtkWidget *w = d->controls[static_cast<size_t>(index)];
    if (gtk_widget_get_sensitive(w)) {
        gtk_widget_grab_focus(w);
    } else {
        gtk_window_set_focus(GTK_WINDOW(d->window), nullptr);
        d->disabledFocus = index;
    }
    return previous;
}

HWND GetFocus() {
    if (openDialogs.empty()) return nullptr;
    Dialog *d = openDialogs.back();
    GtkWidget *focus = gtk_window_get_focus(GTK_WINDOW(d->window));
    if (!focus && d->disabledFocus >= 0)
        return toHandle(d->handle + static_cast<uintptr_t>(d->disabledFocus) + 1);
    for (size_t i = 0; i < d->controls.size(); ++i)
        if (d->controls[i] == focus) return toHandle(d->handle + i + 1);
    return nullptr;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    GtkWidget *w = controlWidget(dialog, id);
    if (!w) return FALSE;
    const std::string utf8 = latin1ToUtf8(text ? text : "");
    if (GTK_IS_ENTRY(w)) {
        gtk_entry_set_text(GTK_ENTRY(w), utf8.c_str());
    } else if (GTK_IS_BUTTON(w)) {
        gtk_button_set_label(GTK_BUTTON(w), utf8.c_str());
    } else if (GTK_IS_LABEL(w)) {
        gtk_label_set_text(GTK_LABEL(w), utf8.c_str());
    } else {
        return FALSE;
    }
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
    if (!text || size <= 0) return 0;
    text[0] = '\0';
    GtkWidget *w = controlWidget(dialog, id);
    const char *utf8 = w ? widgetText(w) : nullptr;
    if (!utf8) return 0;
    const std::string latin1 = utf8ToLatin1(utf8);
    const size_t n = std::min(latin1.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, latin1.data(), n);
    text[n] = '\0';
    return static_cast<UINT>(n);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned) {
        g_snprintf(text, sizeof text, "%d", static_cast<int>(value));
    } else {
        g_snprintf(text, sizeof text, "%u", value);
    }
    return SetDlgItemTextA(dialog, id, text);
}

// Windows' rules: blanks around the number, a '-' only when signed, decimal digits only, and a
// value that fits; anything else gives 0 with *translated FALSE.
UINT GetDlgItemInt(HWND dialog, int id, BOOL *translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    char text[64];
    if (!controlWidget(dialog, id)) return 0;
    GetDlgItemTextA(dialog, id, text, sizeof text);
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (isSigned && *p == '-') {
        negative = true;
        ++p;
    }
    if (*p < '0' || *p > '9') return 0;
    unsigned long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) return 0;
        ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p != '\0') return 0;
    if (isSigned && value > (negative ? 0x80000000ull : static_cast<unsigned long long>(INT_MAX)))
        return 0;
    if (translated) *translated = TRUE;
    return negative ? static_cast<UINT>(0u - static_cast<UINT>(value)) : static_cast<UINT>(value);
}

// --- Test hooks ---------------------------------------------------------------------------

void dialogSetTestHook(void (*hook)(HWND, void *), void *context) {
    testHook = hook;
    testHookContext = context;
}

bool dialogTestClick(HWND control) {
    int index = 0;
    Dialog *d = lookup(control, &index);
    if (!d || index < 0) return false;
    GtkWidget *w = d->controls[static_cast<size_t>(index)];
    if (!GTK_IS_BUTTON(w)) return false;
    if (gtk_widget_is_sensitive(w)) gtk_button_clicked(GTK_BUTTON(w));
    return true;
}

bool dialogTestKey(HWND dialog, unsigned keysym) {
    Dialog *d = lookupDialog(dialog);
    if (!d || !gtk_widget_get_realized(d->window)) return false;
    GdkDisplay *display = gtk_widget_get_display(d->window);
    GdkEvent *event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(d->window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keysym;
    GdkKeymapKey *keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keysym, &keys,
                                          &count) &&
        count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
    }
    g_free(keys);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    if (lookupDialog(dialog) == d) {
        event->type = GDK_KEY_RELEASE;
        gtk_main_do_event(event);
    }
    gdk_event_free(event);
    return true;
}

bool dialogTestCloseRequest(HWND dialog) {
    Dialog *d = lookupDialog(dialog);
    if (!d) return false;
    gtk_window_close(GTK_WINDOW(d->window));
    dialogTestPump();
    return true;
}

bool dialogTestVisible(HWND dialog) {
    Dialog *d = lookupDialog(dialog);
    return d && !d->ended && gtk_widget_get_visible(d->window);
}

const char *dialogTestTitle(HWND dialog) {
    Dialog *d = lookupDialog(dialog);
    const char *title = d ? gtk_window_get_title(GTK_WINDOW(d->window)) : nullptr;
    return title ? title : "";
}

bool dialogTestControlPosition(HWND control, int *x, int *y) {
    int index = 0;
    Dialog *d = lookup(control, &index);
    if (!d || index < 0) return false;
    GtkWidget *w = d->controls[static_cast<size_t>(index)];
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_TYPE_INT);
    GtkWidget *fixed = gtk_widget_get_parent(w);
    gtk_container_child_get_property(GTK_CONTAINER(fixed), w, "x", &value);
    *x = g_value_get_int(&value);
    gtk_container_child_get_property(GTK_CONTAINER(fixed), w, "y", &value);
    *y = g_value_get_int(&value);
    g_value_unset(&value);
    return true;
}

bool dialogTestBaseline(HWND control, int *y) {
    int index = 0;
    Dialog *d = lookup(control, &index);
    if (!d || index < 0) return false;
    GtkWidget *w = d->controls[static_cast<size_t>(index)];
    if (!GTK_IS_ENTRY(w) && !GTK_IS_LABEL(w)) return false;
    *y = textBaseline(w);
    return true;
}

bool dialogTestMarked(HWND control, std::string *tooltip) {
    int index = 0;
    Dialog *d = lookup(control, &index);
    if (!d || index < 0) return false;
    GtkWidget *w = d->controls[static_cast<size_t>(index)];
    if (tooltip) {
        gchar *tip = gtk_widget_get_tooltip_text(w);
        *tooltip = tip ? tip : "";
        g_free(tip);
    }
    return gtk_style_context_has_class(gtk_widget_get_style_context(w), GTK_STYLE_CLASS_ERROR);
}

void dialogTestPump() {
    if (gtkState != 1) return;
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}
