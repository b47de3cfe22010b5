// The folder-wide url() replacement on a temporary tree: backups made once and every run
// starting from them, deleted sheets written again, the listing by extension, and nothing
// written outside the folder.
#include "download/FolderCssReplace.h"
#include "text/FileUtils.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct Tree {
    QTemporaryDir tmp;
    std::string root() const { return tmp.path().toStdString() + "/site/"; }
    void put(const std::string &rel, const std::string &text) const
    {
        const QString p = QString::fromStdString(root() + rel);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), qint64(text.size()));
    }
    std::string get(const std::string &rel) const
    {
        QFile f(QString::fromStdString(root() + rel));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
    }
    bool has(const std::string &rel) const { return QFileInfo::exists(QString::fromStdString(root() + rel)); }
};

CssReplaceReport run(const Tree &t, const std::string &search, const std::string &repl)
{
    std::vector<std::string> all, files;
    CssReplaceReport r;
    EXPECT_EQ(CSSUrlReplace("*", t.root(), "css", search, repl, true, all, files, r), 0);
    EXPECT_EQ(ZZCSSUrlReplace("*", t.root(), "bss", search, repl, true, all, files, r), 0);
    return r;
}

} // namespace

TEST(FolderCssReplace, RunsStartFromTheBackupSoTheyNeverPileUp)
{
    Tree t;
    t.put("a.css", "p{background:url(/img/a.gif)}\r\n");
    t.put("sub/deep/b.css", "@import URL(/css/c.css);\r\n");
    t.put("page.html", "<p style=\"background:url(/x.gif)\">\r\n");

    CssReplaceReport r = run(t, "url(/", "url(../");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(t.get("a.css"), "p{background:url(../img/a.gif)}\r\n");
    EXPECT_EQ(t.get("sub/deep/b.css"), "@import url(../css/c.css);\r\n") << "letter case ignored";
    EXPECT_EQ(t.get("ZZa.bss"), "p{background:url(/img/a.gif)}\r\n");
    EXPECT_EQ(t.get("sub/deep/ZZb.bss"), "@import URL(/css/c.css);\r\n");
    EXPECT_EQ(t.get("page.html"), "<p style=\"background:url(/x.gif)\">\r\n") << "only style sheets";

    // The second run starts from the backup: two "../", not three.
    run(t, "url(/", "url(../../");
    EXPECT_EQ(t.get("a.css"), "p{background:url(../../img/a.gif)}\r\n");
    EXPECT_EQ(t.get("ZZa.bss"), "p{background:url(/img/a.gif)}\r\n") << "backups are never rewritten";

    // A sheet deleted since comes back from its backup.
    QFile::remove(QString::fromStdString(t.root() + "sub/deep/b.css"));
    run(t, "url(/", "url(../");
    EXPECT_EQ(t.get("sub/deep/b.css"), "@import url(../css/c.css);\r\n");
}

TEST(FolderCssReplace, AnAbsentSearchTextStillMakesTheBackups)
{
    Tree t;
    t.put("a.css", "p{color:red}\r\n");
    run(t, "url(/", "url(../");
    EXPECT_EQ(t.get("a.css"), "p{color:red}\r\n");
    EXPECT_EQ(t.get("ZZa.bss"), "p{color:red}\r\n");
}

TEST(FolderCssReplace, OtherFilesAndOtherStepsBackupsAreLeftAlone)
{
    Tree t;
    // Another step's backup of a.css beside it, and a ".bss" file that is not a backup.
    t.put("a.css", "x{background:url(/n.gif)}");
    t.put("ZZa.css", "x{background:url(/o.gif)}");
    t.put("notes.bss", "url(/keep)");
    t.put("tes.css", "mine");
    run(t, "url(/", "url(../");
    EXPECT_EQ(t.get("ZZa.css"), "x{background:url(/o.gif)}");
    EXPECT_FALSE(t.has("ZZZZa.bss"));
    EXPECT_EQ(t.get("tes.css"), "mine");
    EXPECT_EQ(t.get("a.css"), "x{background:url(../n.gif)}");
}

TEST(FolderCssReplace, AFileThatCannotBeWrittenIsReported)
{
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    Tree t;
    t.put("ro/a.css", "x{background:url(/n.gif)}");
    ASSERT_EQ(::chmod((t.root() + "ro").c_str(), 0555), 0);
    std::vector<std::string> all, files;
    CssReplaceReport r;
    CSSUrlReplace("*", t.root(), "css", "url(/", "url(../", true, all, files, r);
    ::chmod((t.root() + "ro").c_str(), 0755);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(t.get("ro/a.css"), "x{background:url(/n.gif)}");
}

TEST(FolderCssReplace, ListingByExtension)
{
    Tree t;
    t.put("a.html", "");
    t.put("b.htm", "");
    t.put("C.HTML", "");
    t.put("d.css", "");
    t.put("sub/e.htm", "");
    std::vector<std::string> all{"keep"}, files{"keep"};
    EXPECT_EQ(MakeHTMLFileList("*", "", true, all, files, "html"), -1);
    EXPECT_EQ(all, std::vector<std::string>{"keep"});
    EXPECT_EQ(files, std::vector<std::string>{"keep"});

    EXPECT_EQ(MakeHTMLFileList("*", t.root(), true, all, files, "html"), 4);
    EXPECT_EQ(all, files);
    EXPECT_EQ(MakeHTMLFileList("*", t.root(), false, all, files, "html"), 3);
    EXPECT_TRUE(all.empty());
    for (const std::string &f : files) EXPECT_EQ(f.find("/sub/"), std::string::npos) << f;
    EXPECT_EQ(MakeHTMLFileList("*", t.root(), true, all, files, "css"), 1);
}

TEST(FolderCssReplace, ALinkedFolderIsNotEntered)
{
    Tree t;
    QTemporaryDir outside;
    {
        QFile f(outside.filePath(QStringLiteral("o.css")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x{background:url(/o.gif)}");
    }
    t.put("a.css", "x");
    ASSERT_EQ(::symlink(outside.path().toStdString().c_str(), (t.root() + "link").c_str()), 0);
    run(t, "url(/", "url(../");
    QFile f(outside.filePath(QStringLiteral("o.css")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), "x{background:url(/o.gif)}");
    EXPECT_FALSE(QFileInfo::exists(outside.filePath(QStringLiteral("ZZo.bss"))));
}
