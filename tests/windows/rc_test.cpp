// Tests that resources/telvor.rc, the Windows resource script, agrees with the one description
// of the configuration dialog (resources/configdlg.h) and names the program's other resources.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "resources/configdlg.h"
#include "resources/resources.h"

namespace {

std::string readScript() {
    std::ifstream in(TELVOR_RESOURCES_DIR "/telvor.rc", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string trim(const std::string &s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Reads a quoted resource-script string at `pos` ("" stands for one quote); moves `pos` past it.
bool readQuoted(const std::string &line, size_t &pos, std::string &out) {
    pos = line.find('"', pos);
    if (pos == std::string::npos) return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        if (line[pos] != '"') {
            out += line[pos];
        } else if (pos + 1 < line.size() && line[pos + 1] == '"') {
            out += '"';
            ++pos;
        } else {
            ++pos;
            return true;
        }
    }
    return false;
}

std::vector<std::string> split(const std::string &s, char by) {
    std::vector<std::string> parts;
    std::stringstream in(s);
    for (std::string part; std::getline(in, part, by);)
        parts.push_back(trim(part));
    return parts;
}

std::set<std::string> styleSet(const std::string &expression) {
    const std::vector<std::string> names = split(expression, '|');
    return {names.begin(), names.end()};
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(trim(line));
    return out;
}

// One CONTROL statement: text, id, class, style, x, y, width, height.
struct ScriptControl {
    std::string text, windowClass;
    int id = -1;
    std::set<std::string> style;
    int x = -1, y = -1, width = -1, height = -1;
};

bool parseControl(const std::string &line, ScriptControl &c) {
    if (line.rfind("CONTROL ", 0) != 0) return false;
    size_t pos = 0;
    if (!readQuoted(line, pos, c.text)) return false;
    std::vector<std::string> fields = split(line.substr(pos), ',');
    // fields[0] is empty (the comma after the text).
    if (fields.size() != 8) return false;
    std::string windowClass = fields[2];
    if (windowClass.size() < 2 || windowClass.front() != '"') return false;
    c.id = std::stoi(fields[1]);
    c.windowClass = windowClass.substr(1, windowClass.size() - 2);
    c.style = styleSet(fields[3]);
    c.x = std::stoi(fields[4]);
    c.y = std::stoi(fields[5]);
    c.width = std::stoi(fields[6]);
    c.height = std::stoi(fields[7]);
    return true;
}

// The window class and styles that each kind of control has in the template.
void expectedClassAndStyle(DialogControlKind kind, std::string &windowClass,
                           std::set<std::string> &style) {
    style = {"WS_CHILD", "WS_VISIBLE"};
    switch (kind) {
    case DialogControlKind::Icon:
        windowClass = "STATIC";
        style.insert("SS_ICON");
        break;
    case DialogControlKind::Static:
        windowClass = "STATIC";
        style.insert("SS_LEFT");
        break;
    case DialogControlKind::Label:
        windowClass = "STATIC";
        style.insert({"SS_LEFT", "WS_GROUP"});
        break;
    case DialogControlKind::CheckBox:
        windowClass = "BUTTON";
        style.insert({"BS_AUTOCHECKBOX", "WS_TABSTOP"});
        break;
    case DialogControlKind::Edit:
        windowClass = "EDIT";
        style.insert({"ES_LEFT", "ES_AUTOHSCROLL", "WS_BORDER", "WS_TABSTOP"});
        break;
    case DialogControlKind::PushButton:
        windowClass = "BUTTON";
        style.insert({"BS_PUSHBUTTON", "WS_TABSTOP"});
        break;
    }
}

// The dialog's statements: from "CONFIGDLG DIALOG" to its END.
std::vector<std::string> dialogLines() {
    std::vector<std::string> all = lines(readScript()), out;
    bool inside = false;
    for (const std::string &line : all) {
        if (line.rfind(std::string(kConfigDialogName) + " DIALOG ", 0) == 0) inside = true;
        if (!inside) continue;
        out.push_back(line);
        if (line == "END") break;
    }
    return out;
}

TEST(WindowsResourceScript, DialogFrameAgreesWithTheDescription) {
    const std::vector<std::string> dialog = dialogLines();
    ASSERT_FALSE(dialog.empty()) << "no " << kConfigDialogName << " DIALOG statement";
    const std::vector<std::string> rect =
        split(dialog[0].substr(std::string(kConfigDialogName).size() + 8), ',');
    ASSERT_EQ(rect.size(), 4u) << dialog[0];
    EXPECT_EQ(std::stoi(rect[2]), kConfigDialogWidth);
    EXPECT_EQ(std::stoi(rect[3]), kConfigDialogHeight);
    bool sawStyle = false, sawCaption = false, sawFont = false;
    for (const std::string &line : dialog) {
        if (line.rfind("STYLE ", 0) == 0) {
            sawStyle = true;
            // No WS_SYSMENU: the caption has no close box.
            EXPECT_EQ(styleSet(line.substr(6)),
                      (std::set<std::string>{"WS_CAPTION", "DS_CENTER", "DS_SETFONT"}));
        } else if (line.rfind("CAPTION ", 0) == 0) {
            sawCaption = true;
            size_t pos = 0;
            std::string title;
            ASSERT_TRUE(readQuoted(line, pos, title)) << line;
            EXPECT_EQ(title, kConfigDialogTitle);
        } else if (line.rfind("FONT ", 0) == 0) {
            sawFont = true;
            EXPECT_EQ(std::stoi(line.substr(5)), kConfigDialogFontPoints);
            size_t pos = 0;
            std::string face;
            ASSERT_TRUE(readQuoted(line, pos, face)) << line;
            EXPECT_EQ(face, kConfigDialogFont);
        } else if (line.rfind("EXSTYLE", 0) == 0) {
            ADD_FAILURE() << "the dialog has no extended style: " << line;
        }
    }
    EXPECT_TRUE(sawStyle && sawCaption && sawFont);
}

TEST(WindowsResourceScript, ControlsAgreeWithTheDescriptionInTabOrder) {
    std::vector<ScriptControl> controls;
    for (const std::string &line : dialogLines()) {
        ScriptControl c;
        if (line.rfind("CONTROL", 0) == 0) {
            ASSERT_TRUE(parseControl(line, c)) << "unreadable: " << line;
            controls.push_back(c);
        } else {
            // Only generic CONTROL statements, whose styles are all spelt out.
            for (const char *other : {"LTEXT", "EDITTEXT", "PUSHBUTTON", "AUTOCHECKBOX", "ICON"})
                EXPECT_NE(line.rfind(std::string(other) + " ", 0), 0u) << line;
        }
    }
    ASSERT_EQ(controls.size(), std::size(kConfigDialogControls));
    for (size_t i = 0; i < controls.size(); ++i) {
        const DialogControl &want = kConfigDialogControls[i];
        const ScriptControl &got = controls[i];
        SCOPED_TRACE("control " + std::to_string(i + 1) + " (id " + std::to_string(want.id) +
                     ") \"" + want.text + "\"");
        std::string windowClass;
        std::set<std::string> style;
        expectedClassAndStyle(want.kind, windowClass, style);
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.windowClass, windowClass);
        EXPECT_EQ(got.style, style);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
    }
}

TEST(WindowsResourceScript, NamesTheOtherResources) {
    const std::vector<std::string> all = lines(readScript());
    auto has = [&](const std::string &line) {
        for (const std::string &l : all)
            if (l == line) return true;
        return false;
    };
    EXPECT_TRUE(has("_EARTH_ BITMAP \"earth.bmp\""));
    EXPECT_TRUE(has("_ICON_ ICON \"telvor.ico\""));
    EXPECT_TRUE(has(std::string("1, \"") + TELVOR_DISPLAY_NAME + "\""));
    EXPECT_TRUE(has("CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"telvor.manifest\""));
    EXPECT_TRUE(has("VS_VERSION_INFO VERSIONINFO"));
}

} // namespace
