// Faults a saver must survive: settings paths that are not regular files, saves killed midway,
// a signal behind a flood of posted messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/ephemeris.h"
#include "shell/platform/window.h"
#include "shell/settings.h"

namespace {

class SettingsFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        char templ[] = "/tmp/telvor-faults-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
        path = dir + "/telvor.ini";
        std::snprintf(settingsPath, sizeof settingsPath, "%s", path.c_str());
        // A load that blocks would hang the test: end it instead.
        alarm(10);
    }
    void TearDown() override {
        alarm(0);
        EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
    }
    static std::string contents(const std::string &p) {
        std::stringstream s;
        s << std::ifstream(p).rdbuf();
        return s.str();
    }
    int countTemporaries() const {
        int n = 0;
        const std::string list = "ls -a " + dir + " | grep -c '^telvor.ini\\.' > " + dir + "/count";
        if (std::system(list.c_str()) < 0) return -1;
        std::ifstream(dir + "/count") >> n;
        return n;
    }
    std::string dir, path;
};

} // namespace

TEST_F(SettingsFaults, APathThatIsNotARegularFileIsAbsentAndNeverReplaced) {
    struct Kind {
        const char *name;
        int (*make)(const char *);
    };
    const Kind kinds[] = {
        {"FIFO", [](const char *p) { return mkfifo(p, 0600); }},
        {"folder", [](const char *p) { return mkdir(p, 0700); }},
        {"link to a FIFO",
         [](const char *p) {
             const std::string target = std::string(p) + ".target";
             return mkfifo(target.c_str(), 0600) | symlink(target.c_str(), p);
         }},
        {"link to a device", [](const char *p) { return symlink("/dev/null", p); }},
    };
    for (const Kind &k : kinds) {
        EXPECT_EQ(std::system(("rm -rf " + dir + "/telvor.ini*").c_str()), 0);
        ASSERT_EQ(k.make(path.c_str()), 0) << k.name;
        saverSettings.speed = 5;
        loadSettings(); // must not block on the FIFO
        EXPECT_EQ(saverSettings.speed, 33) << k.name << ": not the defaults";
        saveSettings();
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0) << k.name;
        EXPECT_FALSE(S_ISREG(st.st_mode)) << k.name << ": replaced by a file";
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_EQ(std::string(k.name).rfind("link", 0) == 0, S_ISLNK(st.st_mode)) << k.name;
    }
}

TEST_F(SettingsFaults, TemporariesOfKilledSavesGoAtTheNextSaveALiveOnesLockKeepsIt) {
    // Two left by writers that died, one that a live writer holds locked.
    for (const char *name : {"telvor.ini.a1B2c3", "telvor.ini.ZZ9zz9", "telvor.ini.live00"})
        std::ofstream(dir + "/" + name) << "[TELVOR]\n";
    std::ofstream(dir + "/telvor.ini.notmine") << "x"; // not a temporary's name
    const int live = open((dir + "/telvor.ini.live00").c_str(), O_RDONLY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    // The lock must belong to another process, as it would.
    const pid_t holder = fork();
    if (holder == 0) {
        pause();
        _exit(0);
    }
    close(live); // the child keeps its copy of the descriptor and so the lock
    saveSettings();
    EXPECT_EQ(access((dir + "/telvor.ini.a1B2c3").c_str(), F_OK), -1);
    EXPECT_EQ(access((dir + "/telvor.ini.ZZ9zz9").c_str(), F_OK), -1);
    EXPECT_EQ(access((dir + "/telvor.ini.live00").c_str(), F_OK), 0) << "a live writer's";
    EXPECT_EQ(access((dir + "/telvor.ini.notmine").c_str(), F_OK), 0);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(countTemporaries(), 2) << "the live one and notmine";
}

TEST_F(SettingsFaults, SaveIsOneReplacementSoAKillLeavesAllKeysOldOrAllNew) {
    std::ofstream(path) << "; mine\n[TELVOR]\nSpeed=1\nDwell=2\n";
    struct stat before;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    saverSettings.speed = 44;
    saverSettings.dwell = 55;
    // The writes are gathered: the file is untouched until the batch ends.
    profileBeginBatch();
    EXPECT_TRUE(WritePrivateProfileStringA("TELVOR", "Speed", "44", path.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("TELVOR", "Dwell", "55", path.c_str()));
    EXPECT_EQ(contents(path), "; mine\n[TELVOR]\nSpeed=1\nDwell=2\n");
    EXPECT_TRUE(profileEndBatch());
    EXPECT_EQ(contents(path), "; mine\n[TELVOR]\nSpeed=44\nDwell=55\n");
    struct stat after;
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "replaced, not rewritten in place";
    // saveSettings goes through one batch: one new inode for eight keys.
    saveSettings();
    struct stat saved;
    ASSERT_EQ(stat(path.c_str(), &saved), 0);
    const std::string text = contents(path);
    EXPECT_NE(text.find("Speed=44"), std::string::npos);
    EXPECT_NE(text.find("Full Speed="), std::string::npos);
    EXPECT_EQ(text.rfind("; mine\n", 0), 0u) << "other lines kept";
}

TEST(SignalFlood, SigtermEndsTheLoopAheadOfThousandsOfQueuedMessages) {
    platformSetInstallSignalHandlers(true);
    platformInitHeadless(64, 64);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); };
    wc.lpszClassName = "Flood";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND w =
        CreateWindowExA(0, "Flood", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    for (int i = 0; i < 5000; ++i)
        PostMessageA(w, WM_COMMAND, 0, 0);
    raise(SIGTERM);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0)) << "a queued message came first";
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    platformShutdown();
}
