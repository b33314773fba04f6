// The configuration dialog "CONFIGDLG": its frame and its 21 controls, for the Windows resource and
// the portable dialog.
#pragma once

enum class DialogControlKind { Icon, Static, Label, CheckBox, Edit, PushButton };

struct DialogControl {
    int id;
    DialogControlKind kind;
    int x, y, width, height; // dialog units
    const char *text;        // the icon control names its icon group
};

// Caption, centred, own font; no system menu (so no close box) and no cancel.
constexpr const char *kConfigDialogName = "CONFIGDLG";
constexpr const char *kConfigDialogTitle = "TELVOR Screen Saver Configuration";
constexpr const char *kConfigDialogFont = "MS Sans Serif";
constexpr int kConfigDialogFontPoints = 8;
constexpr int kConfigDialogWidth = 190, kConfigDialogHeight = 230; // dialog units
constexpr int kStaticControlId = 16384;

constexpr const char *kConfigDialogAbout =
    "Where the young crescent Moon can be seen after sunset.";

// In this order, which is also the tab order.
constexpr DialogControl kConfigDialogControls[21] = {
    {16384, DialogControlKind::Icon, 20, 12, 0, 0, "_icon_"},
    {16384, DialogControlKind::Static, 65, 10, 100, 30, kConfigDialogAbout},
    {16390, DialogControlKind::CheckBox, 15, 55, 45, 10, "Today"},
    {16389, DialogControlKind::CheckBox, 65, 55, 100, 10, "Cumulative Visibility"},
    {16384, DialogControlKind::Label, 15, 75, 45, 10, "Start Date"},
    {16385, DialogControlKind::Edit, 65, 73, 50, 12, ""},
    {16384, DialogControlKind::Label, 125, 75, 70, 10, "(DD/MM/YYYY)"},
    {16384, DialogControlKind::Label, 15, 95, 45, 10, "Probability %"},
    {16386, DialogControlKind::Edit, 65, 93, 35, 12, ""},
    {16384, DialogControlKind::Label, 125, 95, 70, 10, "(1 / 99)"},
    {16384, DialogControlKind::Label, 15, 115, 45, 10, "Sight Height"},
    {16392, DialogControlKind::Edit, 65, 113, 35, 12, ""},
    {16384, DialogControlKind::Label, 125, 115, 70, 10, "(0 / 9999)"},
    {16384, DialogControlKind::Label, 15, 135, 45, 10, "Dwell"},
    {16388, DialogControlKind::Edit, 65, 133, 35, 12, ""},
    {16384, DialogControlKind::Label, 125, 135, 70, 10, "(1 / 99)"},
    {16384, DialogControlKind::Label, 15, 155, 45, 10, "Speed"},
    {16387, DialogControlKind::Edit, 65, 153, 35, 12, ""},
    {16384, DialogControlKind::Label, 125, 155, 70, 10, "(1 / 99)"},
    {16391, DialogControlKind::CheckBox, 15, 175, 140, 10, "Full Speed Until Visible"},
    {1, DialogControlKind::PushButton, 65, 200, 55, 20, "OK"},
};
