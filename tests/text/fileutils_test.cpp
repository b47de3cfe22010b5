#include "text/FileUtils.h"

#include "text/JCode.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path &p, const std::string &data)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
}

// Every entry below a folder, as paths relative to it (links not followed).
std::set<std::string> listTree(const fs::path &dir)
{
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it)
        out.insert(fs::relative(it->path(), dir).string());
    return out;
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/vk-fileutils-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override
    {
        // Read-only folders left by a test would stop remove_all.
        for (auto &e : fs::recursive_directory_iterator(dir_))
            if (e.is_directory() && !e.is_symlink()) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string path(const std::string &rel) const { return (dir_ / rel).string(); }

    fs::path dir_;
};

} // namespace

TEST_F(TempDir, LoadTextFileMakesEveryLineEndCrLf)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\rb\r", "a\r\nb\r\n"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\r\r\nb", "a\r\n\r\nb"},
        {"a\r\rb", "a\r\n\r\nb"}, // a blank line in a CR-only file stays
        {"a\n\nb\r\n\r\nc\r\rd", "a\r\n\r\nb\r\n\r\nc\r\n\r\nd"},
        {std::string("x\0y\nz", 5), std::string("x\0y\r\nz", 6)},
        {"", ""},
    };
    for (const auto &c : cases) {
        writeFile(dir_ / "t.txt", c.in);
        bool ok = false;
        EXPECT_EQ(LoadTextFile(path("t.txt"), &ok), c.out);
        EXPECT_TRUE(ok);
    }
    bool ok = false;
    EXPECT_EQ(LoadTextFile(path("missing.txt"), &ok), "");
    EXPECT_TRUE(ok); // a missing file is simply empty
    EXPECT_EQ(LoadTextFile("", &ok), "");
    EXPECT_EQ(LoadTextFile(dir_.string(), &ok), "");
    EXPECT_FALSE(ok); // there, but not readable as a file
}

TEST_F(TempDir, SaveTextFileRefusals)
{
    const std::string d = dir_.string() + "/";
    const struct {
        std::string text, name;
        SaveStatus status;
    } cases[] = {
        {"", d + "empty.txt", SaveStatus::EmptyText},
        {"x", "   ", SaveStatus::EmptyName},
        {"x", d + "folder/", SaveStatus::EmptyName},
        {"x", "http://example.com/a.txt", SaveStatus::UrlName},
        {"x", "http%3A%2F%2Fexample.com", SaveStatus::UrlName},
        {"x", d + "a%3A%2F%2Fb.txt", SaveStatus::UrlName},
        {"x", d + "https:x.txt", SaveStatus::UrlName},
        {"x", d + "file:///etc/x.txt", SaveStatus::UrlName},
        {"x", d + "page.htm/a.txt", SaveStatus::WebFileFolder},
        {"x", d + "a/index.html/b.txt", SaveStatus::WebFileFolder},
        {"x", d + "x/style.css/a.txt", SaveStatus::WebFileFolder},
        {"x", d + "../escape.txt", SaveStatus::UnsafePath},
        {"x", d + "a/../../escape.txt", SaveStatus::UnsafePath},
        {"x", "noFolder.txt", SaveStatus::FolderFailed},
        {"x", d + std::string(256, 'n') + ".txt", SaveStatus::TooLong},
    };
    for (const auto &c : cases) {
        const SaveResult r = SaveTextFile(c.text, c.name);
        EXPECT_EQ(r.Status, c.status) << c.name;
        EXPECT_FALSE(r.ok());
    }
    std::string longFolder = d;
    for (int i = 0; i < 220; ++i) longFolder += "twenty-characters-x/";
    EXPECT_EQ(SaveTextFile("x", longFolder + "a.txt").Status, SaveStatus::TooLong);
    EXPECT_TRUE(listTree(dir_).empty());
    EXPECT_FALSE(fs::exists(dir_.parent_path() / "escape.txt"));
}

TEST_F(TempDir, SaveTextFileWritesBytesAndMapsNames)
{
    const std::string d = dir_.string() + "/";
    const std::string text = std::string("a\0b\rc\r\n\x82\xA0", 9);
    const struct {
        std::string name, written;
    } cases[] = {
        {"a?b.txt", "a_b.txt"},
        {"a|b.txt", "a~b.txt"},
        {"q?x/f.txt", "q_x/f.txt"},
        {"s*t/f.txt", "s;t/f.txt"},
        {"c++/f.txt", "c++/f.txt"},   // "+" stays without "&"
        {"a&b+c/f.txt", "a_b_c/f.txt"},
        {"www.html5rocks.com/f.txt", "www.html5rocks.com/f.txt"},
        {"www.cssnite.jp/f.txt", "www.cssnite.jp/f.txt"},
        {"www.jstage.jst.go.jp/x/f.txt", "www.jstage.jst.go.jp/x/f.txt"},
        {"deep/new/tree/f.txt", "deep/new/tree/f.txt"},
        // A last folder name above 32 characters is cut to 31, and the file goes there.
        {std::string(40, 'L') + "/f.txt", std::string(31, 'L') + "/f.txt"},
        {std::string(130, 'p') + ".txt", std::string(130, 'p') + ".txt"}, // beyond the old 128 limit
    };
    for (const auto &c : cases) {
        GCreatedDirList().clear();
        const SaveResult r = SaveTextFile(text, d + c.name);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.Path, d + c.written);
        EXPECT_EQ(readFile(dir_ / c.written), text) << c.name;
        ASSERT_EQ(GCreatedDirList().count(), 1);
        EXPECT_EQ(GCreatedDirList()[0], d + c.written.substr(0, c.written.rfind('/') + 1));
    }
    // Replacing keeps no temporary file beside the target.
    fs::permissions(dir_ / "a_b.txt", fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    ASSERT_TRUE(SaveTextFile("second", d + "a_b.txt").ok());
    EXPECT_EQ(readFile(dir_ / "a_b.txt"), "second");
    EXPECT_EQ(fs::status(dir_ / "a_b.txt").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    for (const auto &e : listTree(dir_)) EXPECT_EQ(e.find(".vk-tmp"), std::string::npos) << e;
}

TEST_F(TempDir, SaveTextFilePercentEncodedFolders)
{
    const std::string d = dir_.string() + "/";
    const std::string pad = std::string(100, 'a') + "/";
    // "日本" percent-encoded as UTF-8: decoded, held as Shift_JIS, on disk as UTF-8 again.
    const SaveResult r = SaveTextFile("x", d + pad + "%E6%97%A5%E6%9C%AC/f.txt");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.Path, d + pad + "\x93\xFA\x96\x7B/f.txt");
    EXPECT_EQ(readFile(dir_ / (pad + "\xE6\x97\xA5\xE6\x9C\xAC/f.txt")), "x");

    // Dots that only appear after decoding must not lead out of the folder either.
    for (const char *escape : {"%2e%2e/%2e%2e/esc/", "%2E%2E%2F%2E%2E%2Fesc/", "x/..%2fesc/"}) {
        const std::string name = d + pad + escape + "f.txt";
        EXPECT_EQ(SaveTextFile("x", name).Status, SaveStatus::UnsafePath) << escape;
    }
    EXPECT_FALSE(fs::exists(dir_ / "esc"));
    EXPECT_FALSE(fs::exists(dir_.parent_path() / "esc"));
    EXPECT_EQ(SaveTextFile("x", d + pad + "%00/f.txt").Status, SaveStatus::UnsafePath);
}

TEST_F(TempDir, SaveTextFileWriteFailureKeepsNothing)
{
    fs::create_directories(dir_ / "target.txt"); // a folder where the file should go
    EXPECT_EQ(SaveTextFile("x", path("target.txt")).Status, SaveStatus::WriteFailed);
    EXPECT_EQ(listTree(dir_), (std::set<std::string>{"target.txt"}));
}

TEST_F(TempDir, ShiftJisNamesArriveAsUtf8)
{
    const std::string sjis = "\x83\x5C\x83\x74\x83\x67/\x95\x5C.txt"; // "ソフト/表.txt": trail bytes 0x5C
    ASSERT_TRUE(SaveTextFile("data", dir_.string() + "/" + sjis).ok());
    EXPECT_EQ(readFile(dir_ / SjisToUtf8(sjis)), "data");
    EXPECT_EQ(LoadTextFile(dir_.string() + "/" + sjis), "data");
}

TEST(FileNames, ChangeFileExtension)
{
    const struct {
        std::string name, ext, out;
    } cases[] = {
        {"x", ".txt", "x.txt"},
        {"/a/b.c/file", ".txt", "/a/b.c/file.txt"}, // a dot in a folder name is not an extension
        {"/a/b.c/file.htm", ".html", "/a/b.c/file.html"},
        {"x.gif3", "", "x."},
        {"x.tar.gz", " ..zip ", "x.tar.zip"},
        {"/p/prog", ".inf", "/p/prog.inf"},
        {"x.a", std::string("txt\0zz", 6), "x.txt"},
    };
    for (const auto &c : cases) EXPECT_EQ(ChangeFileExtension(c.name, c.ext), c.out) << c.name;
}

TEST_F(TempDir, CreateFolderTree)
{
    EXPECT_FALSE(CreateFolderTree(""));
    EXPECT_TRUE(CreateFolderTree(dir_.string()));
    EXPECT_TRUE(CreateFolderTree(path("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(dir_ / "a/b/c"));
    writeFile(dir_ / "file", "x");
    EXPECT_FALSE(CreateFolderTree(path("file/sub")));
}

TEST_F(TempDir, GetFileList)
{
    for (const char *f : {"a.css", "B.CSS", "readme", "z.txt", ".hidden.css", "sub/c.css", "sub/deeper/d.Css",
                          "x.css/inner.css", "sub2/e.css"})
        writeFile(dir_ / f, "x");
    writeFile(dir_ / SjisToUtf8("\x95\x5C.css"), "x");  // "表.css"
    writeFile(dir_ / "\xF0\x9F\x98\x80.css", "x");      // an emoji: no Shift_JIS form
    char outsideTmpl[] = "/tmp/vk-outside-XXXXXX";
    ASSERT_NE(::mkdtemp(outsideTmpl), nullptr);
    const fs::path outside = outsideTmpl;
    writeFile(outside / "o.css", "x");
    fs::create_symlink(outside / "o.css", dir_ / "link.css");
    fs::create_directory_symlink(outside, dir_ / "linkdir");

    const std::string d = dir_.string() + "/";
    EXPECT_EQ(GetFileList(d + "*.css"),
              (std::vector<std::string>{d + ".hidden.css", d + "B.CSS", d + "a.css", d + "\x95\x5C.css",
                                        d + "sub/c.css", d + "sub/deeper/d.Css", d + "sub2/e.css",
                                        d + "x.css/inner.css"}));
    EXPECT_EQ(GetFileList(d + "*.*", 1),
              (std::vector<std::string>{d + "B.CSS", d + "a.css", d + "readme", d + "z.txt", d + "\x95\x5C.css",
                                        d + "sub/c.css", d + "sub/deeper/d.Css", d + "sub2/e.css",
                                        d + "x.css/inner.css"}));
    EXPECT_EQ(GetFileList(d + "?.txt"), (std::vector<std::string>{d + "z.txt"}));
    EXPECT_EQ(GetFileList(d + "\x95\x5C.*"), (std::vector<std::string>{d + "\x95\x5C.css"}));
    EXPECT_TRUE(GetFileList(d + "missing/*.*").empty());
    fs::remove_all(outside);
}

namespace {

// A save folder with a read-only file, a read-only sub-folder, nesting and links that point
// out of it; beside it a folder that must survive everything.
struct DeleteFixture {
    fs::path save, outside;
    explicit DeleteFixture(const fs::path &base)
        : save(base / "save"), outside(base / "outside")
    {
        writeFile(outside / "keep.txt", "keep");
        writeFile(outside / "sub/keep2.txt", "keep");
        writeFile(save / "a.txt", "x");
        writeFile(save / "ro.txt", "x");
        fs::permissions(save / "ro.txt", fs::perms::owner_read, fs::perm_options::replace);
        writeFile(save / "n1/n2/n3/deep.txt", "x");
        writeFile(save / "rodir/f.txt", "x");
        fs::permissions(save / "rodir", fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
        fs::create_symlink(outside / "keep.txt", save / "filelink");
        fs::create_directory_symlink(outside, save / "dirlink");
    }
    bool outsideIntact() const
    {
        return readFile(outside / "keep.txt") == "keep" && readFile(outside / "sub/keep2.txt") == "keep";
    }
};

} // namespace

TEST_F(TempDir, DeleteFolderTreeEmptiesTheChosenFolder)
{
    DeleteFixture f(dir_);
    EXPECT_TRUE(DeleteFolderTree(f.save.string() + "/", f.save.string()));
    EXPECT_TRUE(fs::is_directory(f.save));
    EXPECT_TRUE(listTree(f.save).empty());
    EXPECT_TRUE(f.outsideIntact());

    // A folder below the chosen one: only it is emptied.
    writeFile(f.save / "keep.txt", "x");
    writeFile(f.save / "sub/x/y.txt", "x");
    EXPECT_TRUE(DeleteFolderTree((f.save / "sub").string(), f.save.string()));
    EXPECT_EQ(listTree(f.save), (std::set<std::string>{"keep.txt", "sub"}));
}

TEST_F(TempDir, DeleteFolderTreeRefusals)
{
    DeleteFixture f(dir_);
    const std::string save = f.save.string();
    fs::create_directory_symlink(f.outside, dir_ / "rootlink");
    fs::create_directory_symlink("/", dir_ / "slash");
    const char *home = std::getenv("HOME");
    const struct {
        std::string path, root;
    } cases[] = {
        {"", save},
        {save, ""},
        {"/", "/"},
        {"/tmp", "/tmp"},                       // too shallow
        {"/usr/share", "/usr/share"},           // a system folder
        {home ? home : "/root", home ? home : "/root"},
        {fs::path(home ? home : "/root").parent_path().string(), "/"},
        {f.outside.string(), save},             // not below the chosen folder
        {save + "/../outside", save},           // ".." segments
        {"save/n1", "save"},                    // relative paths
        {save + "/dirlink", save},              // a link below the chosen folder is never followed
        {save + "/dirlink/sub", save},
        {(dir_ / "slash").string(), (dir_ / "slash").string()}, // the chosen folder is really "/"
        {save + "/missing", save},
        {save, save + "/n1"},                   // the chosen folder is the lower one
    };
    for (const auto &c : cases) EXPECT_FALSE(DeleteFolderTree(c.path, c.root)) << c.path << " in " << c.root;
    EXPECT_TRUE(f.outsideIntact());
    EXPECT_TRUE(fs::exists(f.save / "n1/n2/n3/deep.txt"));
    EXPECT_TRUE(fs::exists(f.save / "a.txt"));

    // Through a link the user chose, the real folder is emptied, but still without following
    // links inside it.
    EXPECT_TRUE(DeleteFolderTree((dir_ / "rootlink").string(), (dir_ / "rootlink").string()));
    EXPECT_TRUE(listTree(f.outside).empty());
    EXPECT_TRUE(fs::exists(f.save / "a.txt"));
}

TEST(OSVersion, FromTheKernelsReleaseText)
{
    const struct {
        const char *release;
        int major, minor;
    } rows[] = {
        {"6.1.0-18-amd64", 6, 1}, {"5.10.0", 5, 10},   {"4.19.0-26-cloud-amd64", 4, 19}, {"3.2-rc1", 3, 2},
        {"7", 7, 0},              {"6.x", 6, 0},       {"", 0, 0},                       {"abc.def", 0, 0},
        {"10.15.", 10, 15},       {"999999999999.1", 99999, 1},
    };
    for (const auto &r : rows) {
        const OSVersionInfo v = ParseKernelRelease(r.release);
        EXPECT_EQ(v.MajorVersion, r.major) << r.release;
        EXPECT_EQ(v.MinorVersion, r.minor) << r.release;
        EXPECT_EQ(v.Release, r.release);
        EXPECT_EQ(v.PlatformId, 2);
    }
    // The running kernel goes through the same reading.
    const OSVersionInfo now = ParseKernelRelease(GetOSVersionInfo().Release);
    EXPECT_EQ(GetOSMajorVersion(), now.MajorVersion);
    EXPECT_EQ(GetOSMinorVersion(), now.MinorVersion);
}
