// The CSS page tools without a window: the re-rooting of saved style sheets by depth, and the
// reading of a local folder's style sheets with its progress.
#include "download/CssTools.h"
#include "text/FileUtils.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::string sys(const QString &p) { return p.toStdString(); }

void write(const QString &p, const std::string &text)
{
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), qint64(text.size()));
}

std::string read(const QString &p)
{
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

} // namespace

TEST(CssTools, RootRelativeAndOverClimbingReferencesBecomeRelativeToTheFilesDepth)
{
    struct Case {
        const char *text;
        int depth;
        const char *want;
    } cases[] = {
        // Single and double quotes give the same unquoted form; depth decides the climb.
        {"a{background:url('/img/a.png')}", 1, "a{background:url(../img/a.png)}"},
        {"a{background:url(\"/img/a.png\")}", 1, "a{background:url(../img/a.png)}"},
        {"a{background:url(/img/a.png)}", 0, "a{background:url(img/a.png)}"},
        {"a{background:url(/img/a.png)}", 2, "a{background:url(../../img/a.png)}"},
        {"a{background:URL( '/img/a.png' )}", 3, "a{background:url(../../../img/a.png)}"},
        // Two on one line: both.
        {"b{x:url(/a.png) url('/b.png')}", 1, "b{x:url(../a.png) url(../b.png)}"},
        // A reference that stays inside the copy keeps its form and its quotes.
        {"c{x:url('img/a.png')}", 1, "c{x:url('img/a.png')}"},
        {"c{x:url(../../img/a.png)}", 2, "c{x:url(../../img/a.png)}"},
        {"c{x:url(../../../img/a.png)}", 3, "c{x:url(../../../img/a.png)}"},
        // Climbing above the save folder stops at it.
        {"d{x:url(../../../img/a.png)}", 1, "d{x:url(../img/a.png)}"},
        {"d{x:url(../../img/a.png)}", 0, "d{x:url(img/a.png)}"},
        {"d{x:url(/../x.png)}", 1, "d{x:url(../x.png)}"},
        {"d{x:URL(\"/..\")}", 1, "d{x:url(../)}"},
        {"d{x:url(/a/./../../b/x.png?p=../../q)}", 2, "d{x:url(../../b/x.png?p=../../q)}"},
        {"d{x:url(../a/../../../x.png)}", 1, "d{x:url(../x.png)}"},
        // Other hosts, comments and scripts are left alone.
        {"e{x:url(//cdn.example/a.png)}", 1, "e{x:url(//cdn.example/a.png)}"},
        {"/* url(/a.png) */ f{}", 1, "/* url(/a.png) */ f{}"},
        {"f('x'); g(\"/y\");", 2, "f('x'); g(\"/y\");"},
        // @import strings keep their quote; a path with a blank keeps quotes around it.
        {"@import '/base.css';", 1, "@import '../base.css';"},
        {"h{x:url('/my img.png')}", 1, "h{x:url(\"../my img.png\")}"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(RemoveFirstSlashText(c.text, c.depth), c.want) << c.text << " @" << c.depth;
        // A second pass over a rewritten sheet changes nothing.
        EXPECT_EQ(RemoveFirstSlashText(c.want, c.depth), c.want) << c.want << " @" << c.depth;
    }
}

TEST(CssTools, TheFileRoutineRewritesTheListedFilesUnderTheFolderOnly)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("save"));
    const QString outside = dir.filePath(QStringLiteral("outside.css"));
    write(root + QStringLiteral("/css/a.css"), "a{x:url('/img/a.png')}\r\n");
    write(root + QStringLiteral("/x/y/z/b.css"), "b{x:url(/img/b.png)}\r\nc{x:url(../../../../../c.png)}\r\n");
    write(root + QStringLiteral("/top.css"), "t{x:url(img/t.png)}\r\n");
    write(outside, "o{x:url(/o.png)}\r\n");
    std::vector<std::string> done;
    EXPECT_EQ(TopImageCSSRemoveFirstSlash({}, sys(root), done), -1);
    const std::vector<std::string> files = {sys(root + QStringLiteral("/css/a.css")), sys(root + QStringLiteral("/x/y/z/b.css")),
                                            sys(root + QStringLiteral("/gone.css")), sys(root + QStringLiteral("/top.css")),
                                            sys(outside)};
    EXPECT_EQ(TopImageCSSRemoveFirstSlash(files, sys(root) + "/", done), 0);
    EXPECT_EQ(read(root + QStringLiteral("/css/a.css")), "a{x:url(../img/a.png)}\r\n");
    EXPECT_EQ(read(root + QStringLiteral("/x/y/z/b.css")), "b{x:url(../../../img/b.png)}\r\nc{x:url(../../../c.png)}\r\n");
    EXPECT_EQ(read(root + QStringLiteral("/top.css")), "t{x:url(img/t.png)}\r\n");
    EXPECT_EQ(read(outside), "o{x:url(/o.png)}\r\n");
    EXPECT_FALSE(QFile::exists(root + QStringLiteral("/gone.css")));
    EXPECT_EQ(done, (std::vector<std::string>{files[0], files[1], files[3]}));
    // A second run changes nothing more.
    done.clear();
    TopImageCSSRemoveFirstSlash(files, sys(root), done);
    EXPECT_EQ(read(root + QStringLiteral("/x/y/z/b.css")), "b{x:url(../../../img/b.png)}\r\nc{x:url(../../../c.png)}\r\n");
}

TEST(CssTools, ALocalFolderIsListedAndReadWithItsProgress)
{
    QTemporaryDir dir;
    const QString f = dir.filePath(QStringLiteral("css"));
    write(f + QStringLiteral("/a.css"), "a{x:url('img/a.png')}\r\n/* url(no.png) */\r\n");
    write(f + QStringLiteral("/b.CSS"), "b{x:url(\"img/b.gif\")}");
    write(f + QStringLiteral("/sub/c.css"), "c{x:url(c.jpg)} d{y:url()}\n");
    write(f + QStringLiteral("/notes.txt"), "url(t.png)");
    LocalCssRead r;
    std::vector<std::string> steps;
    EXPECT_EQ(GetHTMLFileList("*", "", "css", true, r, [&](const std::string &s) { steps.push_back(s); }), -1);
    EXPECT_TRUE(steps.empty());
    // A blank mask lists everything, sub-folders included.
    EXPECT_EQ(GetHTMLFileList("  ", sys(f), "css", true, r, [&](const std::string &s) { steps.push_back(s); }), 3);
    EXPECT_EQ(steps, (std::vector<std::string>{" [ 1 / 3 ] ", " [ 2 / 3 ] ", " [ 3 / 3 ] ", ""}));
    EXPECT_EQ(r.LocalFileList.size(), 3u);
    EXPECT_EQ(r.WorkList.size(), 4u);
    EXPECT_EQ(CssInnerImages(r.WorkList), (std::vector<std::string>{"img/a.png", "img/b.gif", "c.jpg"}));
    // Without sub-folders only the folder's own files.
    EXPECT_EQ(GetHTMLFileList("*", sys(f), "css", false, r), 2);
    EXPECT_TRUE(r.AllList.empty());
}
