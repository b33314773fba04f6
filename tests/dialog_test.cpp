// Tests of the GTK configuration dialog with the real configDialogProc, driven from inside its
// modal loop under an Xvfb of the test's own.
#include "shell/platform/dialog_gtk.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>

#include "engine/ephemeris.h"
#include "resources/configdlg.h"
#include "shell/configdlg.h"
#include "tests/xvfb_server.h"

namespace {

constexpr INT_PTR kLeftOpen = -2; // what runDialog returns when the body left the dialog open
constexpr unsigned kTab = 0xff09, kReturn = 0xff0d, kEscape = 0xff1b, kSpace = 0x20;
constexpr int kToday = 16390, kCumulative = 16389, kFullSpeed = 16391, kDate = 16385,
              kProbability = 16386, kHeight = 16392, kSpeed = 16387, kDwell = 16388;

// One server for the whole process: GTK opens its display once and ends the process when that
// connection is lost.
XvfbServer server;

class XvfbEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        server.start("1024x768x24");
        if (!server.display.empty()) setenv("DISPLAY", server.display.c_str(), 1);
    }
    void TearDown() override { server.stop(); }
};

const auto *const xvfbEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

struct Run {
    std::function<void(HWND)> body;
};

void runBody(HWND dialog, void *context) {
    static_cast<Run *>(context)->body(dialog);
    if (dialogTestVisible(dialog)) EndDialog(dialog, kLeftOpen);
}

// Opens the dialog over `proc` and runs `body` inside its loop; the dialog's result.
INT_PTR runDialog(const std::function<void(HWND)> &body, DLGPROC proc = configDialogProc) {
    Run run{body};
    dialogSetTestHook(runBody, &run);
    const INT_PTR result = DialogBoxParamA(nullptr, "ConfigDlg", nullptr, proc, 0);
    dialogSetTestHook(nullptr, nullptr);
    return result;
}

std::string text(HWND dialog, int id) {
    char buffer[100];
    GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
    return buffer;
}

class ConfigDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        if (server.display.empty()) GTEST_SKIP() << "Xvfb could not be started";
        saverSettings = SaverSettings{0, 50, 0, 33, 33, 1, 0};
        ephemerisState.day = 7;
        ephemerisState.month = 3;
        ephemerisState.year = 2021;
    }

    // Types the five fields as given and presses Enter in the height field.
    static void submit(HWND d, const char *date, const char *probability, const char *height,
                       const char *speed, const char *dwell) {
        SetDlgItemTextA(d, kDate, date);
        SetDlgItemTextA(d, kProbability, probability);
        SetDlgItemTextA(d, kHeight, height);
        SetDlgItemTextA(d, kSpeed, speed);
        SetDlgItemTextA(d, kDwell, dwell);
        SetFocus(GetDlgItem(d, kHeight));
        dialogTestKey(d, kReturn);
    }
};

// --- Opening -------------------------------------------------------------------------------

TEST_F(ConfigDialog, OpensWithTheSettingsAndTheFocusOnToday) {
    saverSettings = SaverSettings{1, 42, 120, 5, 77, 0, 1};
    const INT_PTR result = runDialog([](HWND d) {
        EXPECT_STREQ(dialogTestTitle(d), kConfigDialogTitle);
        EXPECT_EQ(GetFocus(), GetDlgItem(d, kToday));
        EXPECT_EQ(IsDlgButtonChecked(d, kToday), static_cast<UINT>(BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(d, kCumulative), static_cast<UINT>(BST_UNCHECKED));
        EXPECT_EQ(IsDlgButtonChecked(d, kFullSpeed), static_cast<UINT>(BST_CHECKED));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kDate))) << "date edit with Today ticked";
        EXPECT_EQ(text(d, kDate), "07/03/2021");
        EXPECT_EQ(text(d, kProbability), "42");
        EXPECT_EQ(text(d, kHeight), "120");
        EXPECT_EQ(text(d, kSpeed), "5");
        EXPECT_EQ(text(d, kDwell), "77");
        EXPECT_EQ(text(d, IDOK), "OK");
        EXPECT_EQ(text(d, kStaticControlId), "") << "the icon comes first and has no text";
    });
    EXPECT_EQ(result, kLeftOpen);
}

TEST_F(ConfigDialog, HandlesStayClearOfTheWindowLayer) {
    runDialog([](HWND d) {
        const uintptr_t dialog = reinterpret_cast<uintptr_t>(d);
        EXPECT_GT(dialog, uintptr_t{0x1FFFFFFF}) << "X ids have 29 bits";
        uintptr_t previous = dialog;
        for (int id : {kToday, kCumulative, kDate, kProbability, kHeight, kDwell, kSpeed,
                       kFullSpeed, IDOK}) {
            const uintptr_t control = reinterpret_cast<uintptr_t>(GetDlgItem(d, id));
            EXPECT_GT(control, previous) << "control " << id;
            previous = control;
        }
        EXPECT_EQ(GetDlgItem(d, 4242), nullptr);
        EXPECT_EQ(GetDlgItem(nullptr, kToday), nullptr);
    });
}

TEST_F(ConfigDialog, ControlsStandAtTheirDialogUnits) {
    runDialog([](HWND d) {
        // One base unit pair must turn every control's dialog units into its pixels (but the
        // labels' heights, see LabelsShareTheBaselineOfTheirFields).
        int x[21], y[21];
        HWND first = GetDlgItem(d, kStaticControlId);
        for (int i = 0; i < 21; ++i)
            ASSERT_TRUE(dialogTestControlPosition(
                reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(first) + i), &x[i], &y[i]));
        bool fitsX = false, fitsY = false;
        for (int unit = 4; unit <= 48; ++unit) {
            bool allX = unit <= 24, allY = true;
            for (int i = 0; i < 21; ++i) {
                allX = allX && x[i] == kConfigDialogControls[i].x * unit / 4;
                // Labels beside an edit field move onto its baseline instead.
                bool besideEdit = false;
                for (const DialogControl &e : kConfigDialogControls)
                    besideEdit =
                        besideEdit || (kConfigDialogControls[i].kind == DialogControlKind::Label &&
                                       e.kind == DialogControlKind::Edit &&
                                       std::abs(e.y - kConfigDialogControls[i].y) <= 4);
                allY = allY && (besideEdit || y[i] == kConfigDialogControls[i].y * unit / 8);
            }
            fitsX = fitsX || allX;
            fitsY = fitsY || allY;
        }
        EXPECT_TRUE(fitsX) << "x positions";
        EXPECT_TRUE(fitsY) << "y positions";
    });
}

TEST_F(ConfigDialog, EndDialogDuringInitReturnsAtOnce) {
    static bool hookRan = false;
    hookRan = false;
    dialogSetTestHook([](HWND, void *) { hookRan = true; }, nullptr);
    const INT_PTR result = DialogBoxParamA(
        nullptr, "configdlg", nullptr,
        [](HWND d, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) EndDialog(d, 7);
            return 1;
        },
        0);
    dialogSetTestHook(nullptr, nullptr);
    EXPECT_EQ(result, 7) << "the name matches without regard to case";
    EXPECT_FALSE(hookRan);
}

TEST_F(ConfigDialog, RefusesAnUnknownTemplateOrNoProcedure) {
    EXPECT_EQ(DialogBoxParamA(nullptr, "OtherDlg", nullptr, configDialogProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, nullptr, nullptr, configDialogProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, "ConfigDlg", nullptr, nullptr, 0), -1);
    EXPECT_FALSE(EndDialog(nullptr, 1));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_FALSE(SetDlgItemTextA(nullptr, kDate, "x"));
    char buffer[4] = "abc";
    EXPECT_EQ(GetDlgItemTextA(nullptr, kDate, buffer, 4), 0u);
    EXPECT_STREQ(buffer, "");
}

// --- Validation on OK ----------------------------------------------------------------------

struct ValidationCase {
    const char *name;
    const char *date, *probability, *height, *speed, *dwell;
    int failing; // the field that keeps the focus; 0 when the dialog closes
};

class Validation : public ConfigDialog, public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(Validation, ClosesOnlyWhenAllPassWithTheFocusOnTheFirstFailure) {
    const ValidationCase c = GetParam();
    const INT_PTR result = runDialog([&](HWND d) {
        submit(d, c.date, c.probability, c.height, c.speed, c.dwell);
        if (c.failing == 0) {
            EXPECT_FALSE(dialogTestVisible(d)) << c.name;
            return;
        }
        EXPECT_TRUE(dialogTestVisible(d)) << c.name;
        EXPECT_EQ(GetFocus(), GetDlgItem(d, c.failing)) << c.name;
        const char *typed[] = {c.date, c.probability, c.height, c.speed, c.dwell};
        const int ids[] = {kDate, kProbability, kHeight, kSpeed, kDwell};
        for (int i = 0; i < 5; ++i)
            if (ids[i] == c.failing) {
                EXPECT_EQ(text(d, ids[i]), typed[i]) << c.name;
            }
        submit(d, "01/01/2000", "50", "0", "33", "33");
        EXPECT_FALSE(dialogTestVisible(d)) << c.name << ": valid input after the failure";
    });
    EXPECT_EQ(result, 1) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    ConfigDialog, Validation,
    ::testing::Values(
        ValidationCase{"31/02/2021 accepted", "31/02/2021", "50", "0", "33", "33", 0},
        ValidationCase{"5/3/2021 accepted", "5/3/2021", "50", "0", "33", "33", 0},
        ValidationCase{"day 0", "0/1/2021", "50", "0", "33", "33", kDate},
        ValidationCase{"month 13", "1/13/2021", "50", "0", "33", "33", kDate},
        ValidationCase{"year 1900", "1/1/1900", "50", "0", "33", "33", kDate},
        ValidationCase{"year 2100", "1/1/2100", "50", "0", "33", "33", kDate},
        ValidationCase{"two numbers", "5/3", "50", "0", "33", "33", kDate},
        ValidationCase{"probability 0", "1/1/2000", "0", "0", "33", "33", kProbability},
        ValidationCase{"probability 100", "1/1/2000", "100", "0", "33", "33", kProbability},
        ValidationCase{"probability blank", "1/1/2000", "", "0", "33", "33", kProbability},
        ValidationCase{"probability -5", "1/1/2000", "-5", "0", "33", "33", kProbability},
        ValidationCase{"probability with blanks", "1/1/2000", " 7 ", "0", "33", "33", 0},
        ValidationCase{"height blank", "1/1/2000", "50", "", "33", "33", 0},
        ValidationCase{"height text", "1/1/2000", "50", "abc", "33", "33", 0},
        ValidationCase{"height 9999", "1/1/2000", "50", "9999", "33", "33", 0},
        ValidationCase{"height 10000", "1/1/2000", "50", "10000", "33", "33", kHeight},
        ValidationCase{"height -1", "1/1/2000", "50", "-1", "33", "33", kHeight},
        ValidationCase{"speed before dwell", "1/1/2000", "50", "0", "0", "0", kSpeed},
        ValidationCase{"speed unsigned", "1/1/2000", "50", "0", "-5", "33", kSpeed},
        ValidationCase{"dwell 100", "1/1/2000", "50", "0", "33", "100", kDwell},
        ValidationCase{"dwell blank", "1/1/2000", "50", "0", "99", "", kDwell}),
    [](const ::testing::TestParamInfo<ValidationCase> &info) {
        std::string name;
        for (const char *p = info.param.name; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST_F(ConfigDialog, StoresEachValueAsItPassesAndNoneAfterTheFailure) {
    runDialog([](HWND d) {
        submit(d, "9/10/2011", "60", "10000", "44", "55");
        EXPECT_EQ(GetFocus(), GetDlgItem(d, kHeight));
    });
    EXPECT_EQ(ephemerisState.day, 9);
    EXPECT_EQ(ephemerisState.month, 10);
    EXPECT_EQ(ephemerisState.year, 2011);
    EXPECT_EQ(saverSettings.probability, 60);
    EXPECT_EQ(saverSettings.height, 0) << "refused";
    EXPECT_EQ(saverSettings.speed, 33) << "not read after the failure";
    EXPECT_EQ(saverSettings.dwell, 33) << "not read after the failure";

    EXPECT_EQ(runDialog([](HWND d) { submit(d, "31/12/2099", "1", "", "99", "1"); }), 1);
    EXPECT_EQ(ephemerisState.day, 31);
    EXPECT_EQ(ephemerisState.year, 2099);
    EXPECT_EQ(saverSettings.probability, 1);
    EXPECT_EQ(saverSettings.height, 0) << "blank height";
    EXPECT_EQ(saverSettings.speed, 99);
    EXPECT_EQ(saverSettings.dwell, 1);
}

TEST_F(ConfigDialog, DisabledDateIsStillValidatedAndTakesTheFocus) {
    saverSettings.today = 1;
    runDialog([](HWND d) {
        ASSERT_FALSE(IsWindowEnabled(GetDlgItem(d, kDate)));
        submit(d, "0/1/2021", "50", "0", "33", "33");
        EXPECT_TRUE(dialogTestVisible(d));
        EXPECT_EQ(GetFocus(), GetDlgItem(d, kDate));
        // The user unticks Today, mends the date, ticks it again: OK passes.
        dialogTestClick(GetDlgItem(d, kToday));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kDate)));
        SetDlgItemTextA(d, kDate, "2/2/2022");
        dialogTestClick(GetDlgItem(d, kToday));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kDate)));
        dialogTestKey(d, kReturn);
        EXPECT_FALSE(dialogTestVisible(d));
    });
    EXPECT_EQ(saverSettings.today, 1);
    EXPECT_EQ(ephemerisState.month, 2);
}

// --- Check boxes ---------------------------------------------------------------------------

TEST_F(ConfigDialog, EachClickFlipsItsFlagAndTwoLeaveIt) {
    const int boxes[] = {kToday, kCumulative, kFullSpeed};
    for (int box : boxes) {
        SetUp();
        runDialog([box](HWND d) {
            dialogTestClick(GetDlgItem(d, box));
            dialogTestClick(GetDlgItem(d, box));
            submit(d, "1/1/2000", "50", "0", "33", "33");
        });
        EXPECT_EQ(saverSettings.today, 0) << "two clicks on " << box;
        EXPECT_EQ(saverSettings.cumulative, 1) << "two clicks on " << box;
        EXPECT_EQ(saverSettings.fullSpeed, 0) << "two clicks on " << box;

        runDialog([box](HWND d) {
            dialogTestClick(GetDlgItem(d, box));
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(d, kDate)), box == kToday ? FALSE : TRUE);
            submit(d, "1/1/2000", "50", "0", "33", "33");
        });
        EXPECT_EQ(saverSettings.today, box == kToday ? 1 : 0) << "one click on " << box;
        EXPECT_EQ(saverSettings.cumulative, box == kCumulative ? 0 : 1) << "one click on " << box;
        EXPECT_EQ(saverSettings.fullSpeed, box == kFullSpeed ? 1 : 0) << "one click on " << box;
    }
}

TEST_F(ConfigDialog, SpaceOnAFocusedCheckBoxClicksIt) {
    runDialog([](HWND d) {
        SetFocus(GetDlgItem(d, kFullSpeed));
        dialogTestKey(d, kSpace);
        EXPECT_EQ(IsDlgButtonChecked(d, kFullSpeed), static_cast<UINT>(BST_CHECKED));
        submit(d, "1/1/2000", "50", "0", "33", "33");
    });
    EXPECT_EQ(saverSettings.fullSpeed, 1);
}

TEST_F(ConfigDialog, OnlyTheUsersTogglesSendCommands) {
    static int commands = 0;
    static WPARAM lastId = 0;
    static LPARAM lastControl = 0;
    commands = 0;
    runDialog(
        [](HWND d) {
            CheckDlgButton(d, kCumulative, BST_CHECKED);
            CheckDlgButton(d, kCumulative, BST_UNCHECKED);
            EXPECT_EQ(commands, 0) << "CheckDlgButton";
            EXPECT_EQ(IsDlgButtonChecked(d, kCumulative), static_cast<UINT>(BST_UNCHECKED));
            dialogTestClick(GetDlgItem(d, kCumulative));
            EXPECT_EQ(commands, 1);
            EXPECT_EQ(lastId, static_cast<WPARAM>(kCumulative));
            EXPECT_EQ(lastControl, reinterpret_cast<LPARAM>(GetDlgItem(d, kCumulative)));
            EXPECT_EQ(IsDlgButtonChecked(d, kCumulative), static_cast<UINT>(BST_CHECKED));
            EXPECT_FALSE(CheckDlgButton(d, kDate, BST_CHECKED)) << "not a check box";
        },
        [](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
            if (message == WM_COMMAND) {
                ++commands;
                lastId = wParam;
                lastControl = lParam;
            }
            return message == WM_INITDIALOG;
        });
}

// --- Keyboard and closing ------------------------------------------------------------------

TEST_F(ConfigDialog, TabFollowsTheDescriptionsOrder) {
    runDialog([](HWND d) {
        const int order[] = {kCumulative, kDate,      kProbability, kHeight, kDwell,
                             kSpeed,      kFullSpeed, IDOK,         kToday};
        for (int id : order) {
            dialogTestKey(d, kTab);
            EXPECT_EQ(GetFocus(), GetDlgItem(d, id)) << "Tab to " << id;
        }
    });
}

TEST_F(ConfigDialog, EscapeAndTheCloseBoxLeaveWithoutOkOrStoring) {
    EXPECT_EQ(runDialog([](HWND d) {
                  SetDlgItemTextA(d, kProbability, "77");
                  dialogTestKey(d, kEscape);
                  EXPECT_FALSE(dialogTestVisible(d)) << "Escape";
              }),
              IDCANCEL);
    EXPECT_EQ(runDialog([](HWND d) {
                  SetDlgItemTextA(d, kProbability, "77");
                  EXPECT_TRUE(dialogTestCloseRequest(d));
                  EXPECT_FALSE(dialogTestVisible(d)) << "close box";
              }),
              IDCANCEL);
    EXPECT_EQ(saverSettings.probability, 50);
}

TEST_F(ConfigDialog, ARefusedFieldIsMarkedWithWhatItAcceptsUntilTheNextOk) {
    runDialog([](HWND d) {
        std::string tip;
        submit(d, "1/1/2000", "100", "0", "33", "33");
        EXPECT_TRUE(dialogTestMarked(GetDlgItem(d, kProbability), &tip));
        EXPECT_NE(tip.find("(1 / 99)"), std::string::npos) << tip;
        EXPECT_FALSE(dialogTestMarked(GetDlgItem(d, kDate), nullptr));
        submit(d, "1/1/2000", "50", "10000", "33", "33");
        EXPECT_FALSE(dialogTestMarked(GetDlgItem(d, kProbability), nullptr)) << "mark kept";
        EXPECT_TRUE(dialogTestMarked(GetDlgItem(d, kHeight), &tip));
        EXPECT_NE(tip.find("(0 / 9999)"), std::string::npos) << tip;
        submit(d, "1/1/2000", "50", "0", "33", "33");
    });
}

TEST_F(ConfigDialog, LabelsShareTheBaselineOfTheirFields) {
    runDialog([](HWND d) {
        for (int i = 0; i < 20; ++i) { // the alignment runs once the window is laid out
            dialogTestPump();
            usleep(10000);
        }
        const uintptr_t base = reinterpret_cast<uintptr_t>(d);
        for (size_t i = 0; i < 21; ++i) {
            if (kConfigDialogControls[i].kind != DialogControlKind::Edit) continue;
            int field = 0, before = 0, after = 0;
            ASSERT_TRUE(dialogTestBaseline(reinterpret_cast<HWND>(base + i + 1), &field));
            ASSERT_TRUE(dialogTestBaseline(reinterpret_cast<HWND>(base + i), &before));
            ASSERT_TRUE(dialogTestBaseline(reinterpret_cast<HWND>(base + i + 2), &after));
            EXPECT_EQ(before, field) << kConfigDialogControls[i - 1].text;
            EXPECT_EQ(after, field) << kConfigDialogControls[i + 1].text;
        }
    });
}

TEST_F(ConfigDialog, EnterOnACheckBoxOrSpaceOnOkIsOk) {
    EXPECT_EQ(runDialog([](HWND d) {
                  SetFocus(GetDlgItem(d, kCumulative));
                  dialogTestKey(d, kReturn);
                  EXPECT_FALSE(dialogTestVisible(d));
              }),
              1);
    EXPECT_EQ(saverSettings.cumulative, 1) << "Enter does not toggle";
    EXPECT_EQ(runDialog([](HWND d) {
                  SetFocus(GetDlgItem(d, IDOK));
                  dialogTestKey(d, kSpace);
                  EXPECT_FALSE(dialogTestVisible(d));
              }),
              1);
}

// --- Control operations --------------------------------------------------------------------

TEST_F(ConfigDialog, GetDlgItemIntReadsAsWindowsDoes) {
    struct IntCase {
        const char *text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
    };
    const IntCase cases[] = {
        {"42", FALSE, 42, TRUE},
        {"  -12 ", TRUE, static_cast<UINT>(-12), TRUE},
        {"-12", FALSE, 0, FALSE},
        {"", TRUE, 0, FALSE},
        {"   ", FALSE, 0, FALSE},
        {"12a", TRUE, 0, FALSE},
        {"1 2", TRUE, 0, FALSE},
        {"-", TRUE, 0, FALSE},
        {"4294967295", FALSE, 4294967295u, TRUE},
        {"4294967296", FALSE, 0, FALSE},
        {"2147483647", TRUE, 2147483647u, TRUE},
        {"2147483648", TRUE, 0, FALSE},
        {"-2147483648", TRUE, 0x80000000u, TRUE},
        {"99999999999999999999", FALSE, 0, FALSE},
    };
    runDialog([&](HWND d) {
        for (const IntCase &c : cases) {
            SetDlgItemTextA(d, kProbability, c.text);
            BOOL translated = 2;
            EXPECT_EQ(GetDlgItemInt(d, kProbability, &translated, c.isSigned), c.value)
                << '"' << c.text << "\" signed " << c.isSigned;
            EXPECT_EQ(translated, c.translated) << '"' << c.text << "\" signed " << c.isSigned;
            EXPECT_EQ(GetDlgItemInt(d, kProbability, nullptr, c.isSigned), c.value);
        }
        SetDlgItemInt(d, kHeight, static_cast<UINT>(-5), TRUE);
        EXPECT_EQ(text(d, kHeight), "-5");
        SetDlgItemInt(d, kHeight, static_cast<UINT>(-5), FALSE);
        EXPECT_EQ(text(d, kHeight), "4294967291");
        EXPECT_EQ(GetDlgItemInt(d, 4242, nullptr, TRUE), 0u) << "no such control";
    });
}

TEST_F(ConfigDialog, TextsAreLatin1AndCutToTheBuffer) {
    runDialog([](HWND d) {
        SetDlgItemTextA(d, kDate, "12\xB0x");
        char buffer[8];
        EXPECT_EQ(GetDlgItemTextA(d, kDate, buffer, sizeof buffer), 4u);
        EXPECT_STREQ(buffer, "12\xB0x");
        EXPECT_EQ(GetDlgItemTextA(d, kDate, buffer, 3), 2u);
        EXPECT_STREQ(buffer, "12");
        EXPECT_EQ(GetDlgItemTextA(d, kDate, buffer, 0), 0u);
        EXPECT_EQ(GetDlgItemTextA(d, kDate, nullptr, 8), 0u);
        EXPECT_EQ(text(d, kToday), "Today") << "a check box's text is its label";
    });
}

TEST_F(ConfigDialog, EnableWindowReportsThePreviousStateAndSetFocusThePreviousFocus) {
    runDialog([](HWND d) {
        HWND date = GetDlgItem(d, kDate);
        EXPECT_FALSE(EnableWindow(date, FALSE)) << "was enabled";
        EXPECT_TRUE(EnableWindow(date, TRUE)) << "was disabled";
        EXPECT_TRUE(IsWindowEnabled(date));
        EXPECT_EQ(SetFocus(GetDlgItem(d, kSpeed)), GetDlgItem(d, kToday));
        EXPECT_EQ(SetFocus(date), GetDlgItem(d, kSpeed));
        EXPECT_EQ(GetFocus(), date);
        EXPECT_EQ(SetFocus(nullptr), nullptr);
        EXPECT_FALSE(EnableWindow(nullptr, TRUE));
        EXPECT_FALSE(IsWindowEnabled(nullptr));
    });
}

} // namespace
