#include "platform/IniFile.h"
#include "text/JCode.h"

#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spit(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

struct IniFileTest : ::testing::Test {
    QTemporaryDir dir;
    std::string path() const { return dir.path().toStdString() + "/VORNKYMB.inf"; }
};

} // namespace

TEST_F(IniFileTest, ReadRulesTable)
{
    spit(path(), "[Sec]\r\nText = hello world \r\nNum=42\nNeg=-7\rBad=12a\nEmpty=\nQuoted=\"a b\"\n"
                 "Eq=a=b=c\n[other]\nText=other\n");
    TIniFile ini(path());
    const struct {
        const char *key;
        std::string str;
        int num;
        bool flag;
    } rows[] = {
        {"Text", "hello world", 0, false}, {"text", "hello world", 0, false},  // names ignore letter case
        {"Num", "42", 42, true},           {"Neg", "-7", -7, true},
        {"Bad", "12a", 0, false},          {"Empty", "", 0, false},
        {"Quoted", "a b", 0, false},       {"Eq", "a=b=c", 0, false},
        {"Missing", "", 0, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.key);
        EXPECT_EQ(ini.ReadString("sec", r.key, ""), r.str);
        EXPECT_EQ(ini.ReadInteger("Sec", r.key, 0), r.num);
        EXPECT_EQ(ini.ReadBool("Sec", r.key, false), r.flag);
    }
    EXPECT_EQ(ini.ReadString("Sec", "Missing", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("Sec", "Missing", 20), 20);
    EXPECT_EQ(ini.ReadString("Nope", "Text", "d"), "d");
    EXPECT_EQ(ini.ReadString("other", "Text"), "other");
}

TEST_F(IniFileTest, WritesShiftJisWithCrlfAndKeepsOtherLines)
{
    spit(path(), "; note\n[A]\nx=1\n\n[B]\ny=2\n");
    TIniFile ini(path());
    const std::string jp = Utf8ToAnsi("日本語=表");  // 表 has "\" as its second byte
    ASSERT_TRUE(ini.WriteString("A", "name", jp));
    ASSERT_TRUE(ini.WriteInteger("A", "x", 5));
    ASSERT_TRUE(ini.WriteBool("C", "on", true));
    ASSERT_TRUE(ini.WriteString("A", "multi", "line1\r\nline2"));
    EXPECT_EQ(slurp(path()), "; note\r\n[A]\r\nx=5\r\nname=" + jp + "\r\nmulti=line1  line2\r\n\r\n[B]\r\ny=2\r\n[C]\r\non=1\r\n");
    EXPECT_EQ(ini.ReadString("A", "name"), jp);
    EXPECT_TRUE(ini.ReadBool("C", "on"));
}

TEST_F(IniFileTest, SectionValuesAndErase)
{
    TIniFile ini(path());
    EXPECT_TRUE(ini.ReadSectionValues("H").empty());
    ASSERT_TRUE(ini.WriteString("H", "H0", "first"));
    ASSERT_TRUE(ini.WriteString("H", "H1", "x=y"));
    ASSERT_TRUE(ini.WriteString("K", "k", "v"));
    EXPECT_EQ(ini.ReadSectionValues("H"), (std::vector<std::string>{"H0=first", "H1=x=y"}));
    ASSERT_TRUE(ini.EraseSection("h"));
    EXPECT_TRUE(ini.ReadSectionValues("H").empty());
    EXPECT_EQ(ini.ReadString("K", "k"), "v");
    EXPECT_TRUE(ini.EraseSection("absent"));
}

TEST_F(IniFileTest, GarbageAndOtherEncodingsReadWithoutHarm)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    const std::string euc = "[Sec]\n" + SjisToEuc(Utf8ToAnsi("Text=日本語\n"), 0) + "Num=3\n";
    for (const std::string &bytes : {garbage, euc, std::string("[Sec\nNum=9\n[\n]=\n=\n")}) {
        spit(path(), bytes);
        TIniFile ini(path());
        (void)ini.ReadString("Sec", "Text");
        (void)ini.ReadSectionValues("Sec");
        EXPECT_TRUE(ini.WriteInteger("Sec", "Written", 1));
        EXPECT_EQ(ini.ReadInteger("Sec", "Written"), 1);
    }
    spit(path(), euc);
    EXPECT_EQ(TIniFile(path()).ReadInteger("Sec", "Num"), 3);
}

TEST_F(IniFileTest, FailedWriteLeavesOldFileWhole)
{
    EXPECT_FALSE(TIniFile(path() + ".missing/x.inf").WriteString("A", "x", "1"));
    ::mkdir((path() + ".dir").c_str(), 0755);
    EXPECT_FALSE(TIniFile(path() + ".dir").WriteString("A", "x", "1"));
    spit(path(), "[A]\r\nx=1\r\n");
    TIniFile ini(path());
    {
        // A file-size limit stops the write half-way, for root too (a full disk does the same).
        struct rlimit old {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit tiny = old;
        tiny.rlim_cur = 16;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
        const bool wrote = ini.WriteString("A", "x", std::string(200, 'v'));
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        EXPECT_FALSE(wrote);
        EXPECT_FALSE(ini.lastError().empty());
        EXPECT_EQ(slurp(path()), "[A]\r\nx=1\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator{}), 2)
            << "no temporary file left beside the settings";
    }
    if (::geteuid() == 0) return;  // root writes through the read-only modes below
    ::chmod(path().c_str(), 0444);
    EXPECT_FALSE(ini.WriteString("A", "x", "2"));
    EXPECT_FALSE(ini.lastError().empty());
    ::chmod(path().c_str(), 0644);
    ::chmod(dir.path().toLocal8Bit().constData(), 0555);
    EXPECT_FALSE(ini.WriteString("A", "x", "3"));
    ::chmod(dir.path().toLocal8Bit().constData(), 0755);
    EXPECT_EQ(slurp(path()), "[A]\r\nx=1\r\n");
}

TEST_F(IniFileTest, UpdateWritesAllChangesAtOnce)
{
    TIniFile ini(path());
    ASSERT_TRUE(ini.update([](IniDocument &d) {
        d.setValue("A", "a", "1");
        d.setValue("B", "b", "2");
        d.setValue("A", "c", "3");
    }));
    EXPECT_EQ(slurp(path()), "[A]\r\na=1\r\nc=3\r\n[B]\r\nb=2\r\n");
    EXPECT_FALSE(TIniFile("").WriteString("A", "a", "1"));
}
