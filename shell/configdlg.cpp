// The configuration dialog's procedure: opening, the three check boxes, and validation on OK.
#include "shell/configdlg.h"

#include <cstdio>

#include "engine/ephemeris.h"
#include "shell/settings.h"

namespace {

constexpr int kDateEdit = 16385;

void flip(const SettingDescriptor &flag) {
    writeSettingField(flag, 0, readSettingField(flag, 0) == 0 ? 1 : 0);
}

bool inRange(const SettingDescriptor &s, int part, int32_t value) {
    return value >= s.dialogRange[part].minimum && value <= s.dialogRange[part].maximum;
}

void open(HWND dialog) {
    const SettingDescriptor *today = findSetting("Today");
    CheckDlgButton(dialog, today->controlId,
                   readSettingField(*today, 0) ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, kDateEdit), readSettingField(*today, 0) == 0);
    for (const SettingDescriptor &s : settingTable) {
        if (s.kind == SettingKind::Date) {
            char text[64];
            formatSettingValue(s, text);
            SetDlgItemTextA(dialog, s.controlId, text);
        } else if (s.kind == SettingKind::Integer) {
            SetDlgItemInt(dialog, s.controlId, static_cast<UINT>(readSettingField(s, 0)), FALSE);
        } else if (&s != today) {
            CheckDlgButton(dialog, s.controlId,
                           readSettingField(s, 0) ? BST_CHECKED : BST_UNCHECKED);
        }
    }
}

// Checks the fields in file order (date, probability, height, speed, dwell); false, with the
// focus on the field, at the first that fails.
bool validate(HWND dialog) {
    for (const SettingDescriptor &s : settingTable) {
        if (s.kind == SettingKind::Flag) continue;
        SetFocus(GetDlgItem(dialog, s.controlId));
        if (s.kind == SettingKind::Date) {
            char text[99] = "";
            GetDlgItemTextA(dialog, s.controlId, text, 99);
            int32_t part[3] = {0, 0, 0};
            if (std::sscanf(text, "%d/%d/%d", &part[0], &part[1], &part[2]) != 3) return false;
            for (int i = 0; i < 3; ++i)
                if (!inRange(s, i, part[i])) return false;
            for (int i = 0; i < 3; ++i)
                writeSettingField(s, i, part[i]);
            continue;
        }
        // A text that is not a number reads as 0.
        const UINT raw = GetDlgItemInt(dialog, s.controlId, nullptr, s.dialogSigned ? TRUE : FALSE);
        const int64_t value = s.dialogSigned ? static_cast<int64_t>(static_cast<int32_t>(raw))
                                             : static_cast<int64_t>(raw);
        if (value < s.dialogRange[0].minimum || value > s.dialogRange[0].maximum) return false;
        writeSettingField(s, 0, static_cast<int32_t>(value));
    }
    return true;
}

} // namespace

INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        open(dialog);
        return 1; // the focus goes to the first tab stop, the Today check box
    }
    if (message != WM_COMMAND) return 0;
    if (wParam == IDOK) {
        if (validate(dialog)) EndDialog(dialog, 1);
        return 0;
    }
    const SettingDescriptor *s = findSettingByControl(static_cast<int>(wParam));
    if (s && s->kind == SettingKind::Flag && static_cast<WPARAM>(s->controlId) == wParam) {
        flip(*s);
        if (s == findSetting("Today"))
            EnableWindow(GetDlgItem(dialog, kDateEdit), readSettingField(*s, 0) == 0);
    }
    return 0;
}
