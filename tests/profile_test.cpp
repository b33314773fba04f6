// Tests of our own Win32 profile functions, clock, module path, wsprintfA and the bitmap resource.
#include "shell/platform/win32.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/telvor-profile-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        path = dir + "/test.ini";
    }
    void TearDown() override {
        chmod(dir.c_str(), 0700);
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    void put(const std::string &content) {
        std::ofstream f(path, std::ios::binary);
        f << content;
    }
    std::string get() {
        std::ifstream f(path, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    std::string read(const char *section, const char *key, const char *def = "dflt") {
        char buf[256];
        GetPrivateProfileStringA(section, key, def, buf, sizeof buf, path.c_str());
        return buf;
    }
    int readInt(const char *key, int def = -7) {
        return static_cast<int>(GetPrivateProfileIntA("S", key, def, path.c_str()));
    }
    std::string dir, path;
};

// --- GetPrivateProfileStringA ---------------------------------------------------------------

TEST_F(ProfileTest, ReadMatchesSectionAndKeyWithoutCase) {
    put("[Telvor]\r\nStart Date=07/03/2021\r\n");
    EXPECT_EQ(read("TELVOR", "start date"), "07/03/2021");
    EXPECT_EQ(read("telvor", "START DATE"), "07/03/2021");
}

TEST_F(ProfileTest, ReadTrimsBlanksAroundKeysAndValues) {
    put("  [ S ]  \n  Key One  =   some value \t\n");
    EXPECT_EQ(read("S", "Key One"), "some value");
    EXPECT_EQ(read(" S ", " Key One "), "some value");
}

TEST_F(ProfileTest, ReadRemovesMatchingQuotesOnly) {
    put("[S]\na=\"quoted value\"\nb=\"open\nc=\"\nd=\"\"\n");
    EXPECT_EQ(read("S", "a"), "quoted value");
    EXPECT_EQ(read("S", "b"), "\"open");
    EXPECT_EQ(read("S", "c"), "\"");
    EXPECT_EQ(read("S", "d"), "");
}

TEST_F(ProfileTest, ReadSkipsComments) {
    put("[S]\n;a=1\n  ; b=2\nc=3\n");
    EXPECT_EQ(read("S", ";a"), "dflt");
    EXPECT_EQ(read("S", "a"), "dflt");
    EXPECT_EQ(read("S", "c"), "3");
}

TEST_F(ProfileTest, ReadTakesFirstMatchingSectionAndKey) {
    put("[S]\nk=first\nk=second\n[s]\nk=third\nother=x\n");
    EXPECT_EQ(read("S", "k"), "first");
    EXPECT_EQ(read("S", "other"), "dflt") << "only the first section of the name is searched";
}

TEST_F(ProfileTest, ReadKeepsKeysInTheirSection) {
    put("top=0\n[A]\nk=a\n[B]\nk=b\n");
    EXPECT_EQ(read("A", "k"), "a");
    EXPECT_EQ(read("B", "k"), "b");
    EXPECT_EQ(read("A", "top"), "dflt") << "keys before any section belong to none";
}

TEST_F(ProfileTest, ReadGivesDefaultWithTrailingBlanksTrimmed) {
    put("[S]\nk=v\n");
    EXPECT_EQ(read("S", "missing", "  def  "), "  def");
    EXPECT_EQ(read("Missing", "k", "d"), "d");
    EXPECT_EQ(read("S", "missing", nullptr), "");
    path = dir + "/none.ini";
    EXPECT_EQ(read("S", "k", "nofile"), "nofile");
}

TEST_F(ProfileTest, ReadCutsToBufferAndCountsCopied) {
    put("[S]\nk=0123456789\n");
    char buf[5];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buf, 5, path.c_str()), 4u);
    EXPECT_STREQ(buf, "0123");
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buf, 1, path.c_str()), 0u);
    EXPECT_STREQ(buf, "");
    char big[64];
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", big, sizeof big, path.c_str()), 10u);
    EXPECT_EQ(GetPrivateProfileStringA("S", "missing", "abc", big, sizeof big, path.c_str()), 3u);
}

// --- GetPrivateProfileIntA ------------------------------------------------------------------

TEST_F(ProfileTest, IntParsesLeadingSignedDecimal) {
    put("[S]\na=12abc\nb=abc\nc=-45\nd=+7\ne= 33 \nf=\"19\"\ng=0x10\nh=\ni=4294967297\n");
    EXPECT_EQ(readInt("a"), 12);
    EXPECT_EQ(readInt("b"), 0) << "text without digits";
    EXPECT_EQ(readInt("c"), -45);
    EXPECT_EQ(readInt("d"), 7);
    EXPECT_EQ(readInt("e"), 33);
    EXPECT_EQ(readInt("f"), 19) << "quotes removed first";
    EXPECT_EQ(readInt("g"), 0) << "decimal only";
    EXPECT_EQ(readInt("h"), -7) << "empty value gives the default";
    EXPECT_EQ(readInt("i"), 1) << "wraps in 32 bits";
}

TEST_F(ProfileTest, IntGivesDefaultWhenMissing) {
    put("[S]\na=1\n");
    EXPECT_EQ(readInt("missing", 42), 42);
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("T", "a", 5, path.c_str())), 5);
    path = dir + "/none.ini";
    EXPECT_EQ(readInt("a", -3), -3);
}

// --- WritePrivateProfileStringA -------------------------------------------------------------

TEST_F(ProfileTest, WriteCreatesFileWithCrLf) {
    ASSERT_TRUE(WritePrivateProfileStringA("TELVOR", "Today", "1", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("TELVOR", "Speed", "33", path.c_str()));
    EXPECT_EQ(get(), "[TELVOR]\r\nToday=1\r\nSpeed=33\r\n");
}

TEST_F(ProfileTest, WriteReplacesInPlaceKeepingEverythingElse) {
    put("; head\n[A]\nx=1\n; note\n  Speed = 5  \ny=2\n\n[B]\nSpeed=9\n");
    ASSERT_TRUE(WritePrivateProfileStringA("a", "SPEED", "33", path.c_str()));
    EXPECT_EQ(get(), "; head\n[A]\nx=1\n; note\nSpeed=33\ny=2\n\n[B]\nSpeed=9\n");
}

TEST_F(ProfileTest, WriteAppendsKeyAtSectionEndBeforeBlankLines) {
    put("[A]\r\nx=1\r\n\r\n\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("A", "y", "2", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("B", "w", "4", path.c_str()));
    EXPECT_EQ(get(), "[A]\r\nx=1\r\ny=2\r\n\r\n\r\n[B]\r\nz=3\r\nw=4\r\n");
}

TEST_F(ProfileTest, WriteKeepsLfEndings) {
    put("[Other]\nk=v");
    ASSERT_TRUE(WritePrivateProfileStringA("TELVOR", "Today", "0", path.c_str()));
    EXPECT_EQ(get(), "[Other]\nk=v\n\n[TELVOR]\nToday=0\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Other", "j", "w", path.c_str()));
    EXPECT_EQ(get(), "[Other]\nk=v\nj=w\n\n[TELVOR]\nToday=0\n");
}

TEST_F(ProfileTest, WriteDeletesKeyAndSection) {
    put("[A]\nx=1\ny=2\n[B]\nz=3\n[C]\n");
    ASSERT_TRUE(WritePrivateProfileStringA("A", "x", nullptr, path.c_str()));
    EXPECT_EQ(get(), "[A]\ny=2\n[B]\nz=3\n[C]\n");
    ASSERT_TRUE(WritePrivateProfileStringA("B", nullptr, nullptr, path.c_str()));
    EXPECT_EQ(get(), "[A]\ny=2\n[C]\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Z", nullptr, nullptr, path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "missing", nullptr, path.c_str()));
    EXPECT_EQ(get(), "[A]\ny=2\n[C]\n");
}

TEST_F(ProfileTest, WriteKeepsValueOnOneLine) {
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "v\r\n[B]\r\nx=1", path.c_str()));
    EXPECT_EQ(get(), "[A]\r\nk=v\r\n");
}

TEST_F(ProfileTest, WriteHandlesLongLinesAndReadsBack) {
    std::string longValue(10000, 'q');
    put("[S]\nother=" + std::string(10000, 'o') + "\n");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "long", longValue.c_str(), path.c_str()));
    std::vector<char> buf(20000);
    GetPrivateProfileStringA("S", "long", "", buf.data(), 20000, path.c_str());
    EXPECT_EQ(std::string(buf.data()), longValue);
    GetPrivateProfileStringA("S", "other", "", buf.data(), 20000, path.c_str());
    EXPECT_EQ(std::string(buf.data()), std::string(10000, 'o'));
}

// --- Atomic replacement ---------------------------------------------------------------------

TEST_F(ProfileTest, FailedWriteLeavesOriginalInReadOnlyFolder) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    put("[S]\nk=old\n");
    ASSERT_EQ(chmod(dir.c_str(), 0500), 0);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "new", path.c_str()));
    chmod(dir.c_str(), 0700);
    EXPECT_EQ(get(), "[S]\nk=old\n");
}

TEST_F(ProfileTest, FailedWriteLeavesOriginalWhenDiskIsFull) {
    // A file-size limit makes the write of the temporary file fail as a full disk would, even
    // for root.
    put("[S]\nk=old\n");
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string big(8192, 'b');
    BOOL ok = WritePrivateProfileStringA("S", "k", big.c_str(), path.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(ok);
    EXPECT_EQ(get(), "[S]\nk=old\n");
    std::string cmd = "test $(ls -A '" + dir + "' | wc -l) -eq 1";
    EXPECT_EQ(system(cmd.c_str()), 0) << "the temporary file must be removed";
}

TEST_F(ProfileTest, WriteFailsWhenFileCannotBeRead) {
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0); // a folder where the file should be
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", path.c_str()));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(ProfileTest, WriteKeepsPermissions) {
    put("[S]\nk=1\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "2", path.c_str()));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// --- Clock, module path, wsprintfA, resources -----------------------------------------------

TEST(SystemTest, ModuleFileNameIsThisProgramAndCutsToSize) {
    char full[4096];
    DWORD n = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(strlen(full), n);
    EXPECT_NE(strstr(full, "profile_test"), nullptr) << full;
    char small[4];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 4u);
    EXPECT_EQ(std::string(small), std::string(full, 3));
}

TEST(SystemTest, WsprintfFormatsAndStopsAt1024) {
    char buf[2048];
    EXPECT_EQ(wsprintfA(buf, "%02u/%02u/%04u", 7u, 3u, 2021u), 10);
    EXPECT_STREQ(buf, "07/03/2021");
    EXPECT_EQ(wsprintfA(buf, "%i", -5), 2);
    std::string longText(1500, 'x');
    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(wsprintfA(buf, "%s", longText.c_str()), 1023);
    EXPECT_EQ(strlen(buf), 1023u);
    EXPECT_EQ(buf[1024], 'z') << "nothing written past 1024 bytes";
}

TEST(SystemTest, EarthBitmapIsTheOnlyResource) {
    HRSRC r = FindResourceA(nullptr, "_earth_", RT_BITMAP);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "_EARTH_", RT_BITMAP), r);
    auto *data = static_cast<const BITMAPINFOHEADER *>(LockResource(LoadResource(nullptr, r)));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->biSize, 40u);
    EXPECT_EQ(data->biWidth, 800);
    EXPECT_EQ(data->biHeight, 400);
    EXPECT_EQ(data->biBitCount, 1);
    EXPECT_EQ(FindResourceA(nullptr, "_EARTH", RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "_EARTH_X", RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "_EARTH_", MAKEINTRESOURCEA(3)), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, nullptr, RT_BITMAP), nullptr);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
}

} // namespace
