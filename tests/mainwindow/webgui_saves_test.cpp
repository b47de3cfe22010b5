// The saves of the WebGUI page on real pages in a real (offscreen) window: each page opened and
// saved with every save button without an edit comes back as the same page.
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "support/WaitUntil.h"
#include "text/FileUtils.h"
#include "text/HtmlScan.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiSearchPage.h"
#include "webgui/WebGuiToolPages.h"

#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "WebGuiSavesForm.h"

using namespace savestest;

namespace {

// --- what a page is made of, read the way a browser reads it -------------------------------

QString decodeBytes(const std::string &bytes, bool utf8)
{
    if (utf8) return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return fromSjis(bytes);
}

// The character references of a text resolved.
QString resolveEntities(const QString &s)
{
    if (!s.contains(QLatin1Char('&'))) return s;
    QString escaped = s;
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    return QTextDocumentFragment::fromHtml(escaped).toRawText();  // a no-break space stays one
}

struct Tag {
    QString name;
    std::map<QString, QString> attrs;
    bool operator==(const Tag &o) const { return name == o.name && attrs == o.attrs; }
};

std::string show(const Tag &t)
{
    QString s = QLatin1Char('<') + t.name;
    for (const auto &[k, v] : t.attrs) s += QStringLiteral(" %1=\"%2\"").arg(k, v);
    return (s + QLatin1Char('>')).toStdString();
}

struct PageParts {
    QString doctype, title;
    std::vector<Tag> tags;  // every start tag but the charset declaration's
    QString text;           // the visible text, white space left out
    QString charset;        // what the page's declaration names
    QString xmlEncoding;    // what its XML declaration names, if it has one
};

PageParts partsOf(const std::string &bytes, bool utf8)
{
    const QString page = decodeBytes(bytes, utf8);
    const std::string u = page.toStdString();
    PageParts p;
    bool inTitle = false;
    for (const HtmlToken &t : ScanHtml(u)) {
        const std::string_view raw(u.data() + t.begin, t.end - t.begin);
        const QString tok = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
        if (t.kind == HtmlToken::Kind::Markup && tok.startsWith(QLatin1String("<!doctype"), Qt::CaseInsensitive)) {
            p.doctype = tok.simplified().toLower();
        } else if (t.kind == HtmlToken::Kind::Markup && tok.startsWith(QLatin1String("<?xml"), Qt::CaseInsensitive)) {
            const auto m = QRegularExpression(QStringLiteral("encoding=[\"']([^\"']*)")).match(tok);
            p.xmlEncoding = m.hasMatch() ? m.captured(1) : QStringLiteral("(none)");
        } else if (t.kind == HtmlToken::Kind::StartTag) {
            Tag tag;
            tag.name = QString::fromStdString(t.name);
            for (const HtmlAttr &a : ParseTagAttrs(raw)) {
                const QString name = QString::fromUtf8(raw.data() + a.nameBegin, qsizetype(a.nameEnd - a.nameBegin)).toLower();
                const QString value =
                    a.hasValue ? resolveEntities(QString::fromUtf8(raw.data() + a.valueBegin, qsizetype(a.valueEnd - a.valueBegin)))
                               : QString();
                // The writer's own spelling of a boolean ("selected" as selected="selected")
                // and of an empty value (left out) say the same.
                static const QStringList booleans = {QStringLiteral("checked"), QStringLiteral("selected"),
                                                     QStringLiteral("disabled"), QStringLiteral("readonly"),
                                                     QStringLiteral("multiple"), QStringLiteral("noshade"),
                                                     QStringLiteral("nowrap"), QStringLiteral("hidden")};
                if (booleans.contains(name))
                    tag.attrs[name] = name;
                else if (!value.isEmpty())
                    tag.attrs[name] = value;
            }
            inTitle = tag.name == QLatin1String("title");
            if (tag.name == QLatin1String("meta")) {
                const auto cs = tag.attrs.find(QStringLiteral("charset"));
                const auto content = tag.attrs.find(QStringLiteral("content"));
                const int at = content == tag.attrs.end() ? -1 : content->second.indexOf(QLatin1String("charset="), 0, Qt::CaseInsensitive);
                if (cs != tag.attrs.end() || at >= 0) {
                    p.charset = cs != tag.attrs.end() ? cs->second.trimmed() : content->second.mid(at + 8).trimmed();
                    continue;
                }
            }
            p.tags.push_back(tag);
        } else if (t.kind == HtmlToken::Kind::EndTag && t.name == "title") {
            inTitle = false;
        } else if (t.kind == HtmlToken::Kind::Text) {
            QString text = resolveEntities(tok);
            // Layout blanks are the writer's; a no-break space is text.
            text.remove(QRegularExpression(QStringLiteral("\\s")));
            // The Shift_JIS normalisation writes the code page's own dash for an em dash.
            text.replace(QChar(0x2014), QChar(0x2015));
            if (inTitle)
                p.title += text;
            else
                p.text += text;
        }
    }
    return p;
}

// What differs between the original and a save: "" when nothing beyond the program's own
// additions (the "made from" mark, the charset declaration naming Shift_JIS).
std::string differences(const PageParts &o, const PageParts &s)
{
    std::string out;
    if (!o.doctype.isEmpty() && o.doctype != s.doctype)
        out += "doctype [" + o.doctype.toStdString() + "] became [" + s.doctype.toStdString() + "]\n";
    if (o.title != s.title) out += "title [" + o.title.toStdString() + "] became [" + s.title.toStdString() + "]\n";
    if (s.charset.compare(QLatin1String("Shift_JIS"), Qt::CaseInsensitive) != 0)
        out += "declaration names [" + s.charset.toStdString() + "]\n";
    if (!o.xmlEncoding.isEmpty() && s.xmlEncoding.compare(QLatin1String("Shift_JIS"), Qt::CaseInsensitive) != 0)
        out += "XML declaration names [" + s.xmlEncoding.toStdString() + "]\n";
    // The head's elements may be put in another order (the title after the style sheets):
    // there each must be kept; in the body the order counts too.
    const auto headOf = [](const std::vector<Tag> &tags) {
        std::vector<std::string> h;
        for (const Tag &t : tags) {
            if (t.name == QLatin1String("body")) break;
            h.push_back(show(t));
        }
        std::sort(h.begin(), h.end());
        return h;
    };
    const std::vector<std::string> oh = headOf(o.tags), sh = headOf(s.tags);
    for (const std::string &t : oh)
        if (!std::binary_search(sh.begin(), sh.end(), t)) out += "head lost or changed " + t + "\n";
    for (const std::string &t : sh)
        if (!std::binary_search(oh.begin(), oh.end(), t)) out += "head gained " + t + "\n";
    std::size_t i = oh.size(), j = sh.size();
    int shown = 0;
    while ((i < o.tags.size() || j < s.tags.size()) && shown < 6) {
        if (i < o.tags.size() && j < s.tags.size() && o.tags[i] == s.tags[j]) {
            ++i, ++j;
            continue;
        }
        // An added start tag the original lacks is reported as such, a lost one likewise.
        bool found = false;
        for (std::size_t k = j; k < s.tags.size() && k < j + 3 && i < o.tags.size(); ++k)
            if (o.tags[i] == s.tags[k]) {
                for (; j < k; ++j) out += "added " + show(s.tags[j]) + "\n";
                found = true;
            }
        if (found) continue;
        if (i < o.tags.size()) out += "lost or changed " + show(o.tags[i++]) + "\n";
        else out += "added " + show(s.tags[j++]) + "\n";
        ++shown;
        if (j < s.tags.size() && i <= o.tags.size()) ++j;
    }
    if (o.text != s.text) {
        int at = 0;
        while (at < o.text.size() && at < s.text.size() && o.text[at] == s.text[at]) ++at;
        out += "text differs at " + std::to_string(at) + ": [" + o.text.mid(at, 30).toStdString() + "] became [" +
               s.text.mid(at, 30).toStdString() + "]\n";
    }
    return out;
}

// --- the fixture pages --------------------------------------------------------------------

struct Fixture {
    const char *name;
    std::string file;  // relative to the site folder
    std::string bytes;
    bool utf8;
};

std::string longStyle()
{
    std::string css;
    for (int i = 0; i < 250; ++i) css += ".c" + std::to_string(i) + " { margin: " + std::to_string(i % 7) + "px; }\n";
    return css;
}

std::string bigPage()
{
    std::string s = "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n<title>大きな頁</title>\n"
                    "<link rel=\"stylesheet\" href=\"css/big.css\">\n</head>\n<body>\n";
    for (int i = 0; s.size() < 2 * 1024 * 1024; ++i)
        s += "<p id=\"p" + std::to_string(i) + "\">段落 " + std::to_string(i) +
             " の本文です。<a href=\"part/p" + std::to_string(i % 40) + ".html\">次へ</a> <img src=\"img/i" +
             std::to_string(i % 9) + ".png\" alt=\"図" + std::to_string(i) + "\"></p>\n";
    return s + "</body>\n</html>\n";
}

std::vector<Fixture> fixtures()
{
    return {
        {"manual chapter: relative links and images in sub-folders", "doc/ch04.ja.html",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"ja\">\n<head>\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n<title>第4章 システム</title>\n"
         "<link rel=\"stylesheet\" type=\"text/css\" href=\"../css/manual.css\" />\n"
         "<link rel=\"prev\" href=\"ch03.ja.html\" title=\"第3章\" />\n</head>\n"
         "<body>\n<div class=\"navheader\"><a accesskey=\"p\" href=\"ch03.ja.html\"><img src=\"images/prev.png\" alt=\"前へ\" /></a>\n"
         "<a accesskey=\"n\" href=\"ch05.ja.html#s-net\">次へ</a></div>\n"
         "<h1 class=\"title\"><a id=\"ch-sys\"/>第4章 システム</h1>\n<div class=\"toc\"><p><b>目次</b></p>\n"
         "<dl><dt><a href=\"ch04.ja.html#s-auth\">4.1. 認証</a></dt></dl></div>\n"
         "<div class=\"section\"><h2><a id=\"s-auth\"/>4.1. 認証</h2></div>\n"
         "<p>詳しくは <a href=\"sub/detail.ja.html\">詳細</a> と <a href=\"#ch-sys\">本章</a> を見てください。</p>\n"
         "<p><img src=\"images/figs/fig1.png\" alt=\"図1\" width=\"120\" height=\"80\" /></p>\n"
         "<p><a href=\"../index.ja.html\">目次</a> <a href=\"https://example.org/x?a=1&amp;b=2\">外部</a>\n"
         "<a href=\"https://ja.wikipedia.org/wiki/標準Cライブラリ\">標準Cライブラリ</a> "
         "<a href=\"https://salsa.example.org\">salsa</a></p>\n"
         "</body>\n</html>\n",
         true},
        {"HTML5 page, html, head, charset and title on one line", "html5/index.html",
         "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=UTF-8><title>Package index</title>\n"
         "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n<h1>Package</h1>\n"
         "<p>Read the <a href=\"guide/intro.html\">guide</a>.</p>\n</body>\n</html>\n",
         true},
        {"long style sheet and form controls", "lib/index.html",
         "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Library index</title>\n<style>\n" +
             longStyle() +
             "</style>\n</head>\n<body>\n<form action=\"search.html\" method=\"get\">\n"
             "<label for=\"q\">&nbsp;Search</label>\n<input type=\"text\" id=\"q\" name=\"q\" value=\"\">\n"
             "<select name=\"s\"><option value=\"1\">One</option><option value=\"2\" selected>Two</option></select>\n"
             "<input type=\"checkbox\" name=\"c\" checked>\n<button type=\"submit\">Go</button>\n</form>\n</body>\n</html>\n",
         true},
        {"UTF-8 page whose text names Shift_JIS and EUC-JP", "names/index.html",
         "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>文字コードの説明</title>\n</head>\n"
         "<body>\n<p>この文書は UTF-8 です。Shift_JIS や EUC-JP、charset=Shift_JIS の話をします。</p>\n"
         "<p><a href=\"sjis.html\">Shift_JIS の頁</a></p>\n</body>\n</html>\n",
         true},
        {"characters Shift_JIS lacks and one outside the BMP", "chars/index.html",
         "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Marks \xC2\xA9 2024</title>\n</head>\n"
         "<body>\n<p>a\xC2\xA0" "b \xE2\x80\x94 c \xC2\xA9 d \xF0\x9F\x98\x80 e</p>\n</body>\n</html>\n",
         true},
        {"2 MB page", "big/index.html", bigPage(), true},
    };
}

}  // namespace

// Every fixture page, opened and saved with each save without an edit, keeps its doctype,
// head, start tags with their attributes (references byte for byte) and text; the save's
// declaration names Shift_JIS, the encoding of its bytes.
TEST(WebGuiSaves, EachSaveGivesTheSamePageBack)
{
    Form f;
    struct Save {
        const char *name;
        std::function<std::string(Form &, const std::string &file)> run;  // the file written
    };
    const std::vector<Save> saves = {
        {"上書き保存",
         [](Form &f, const std::string &file) {
             f.gui().ToolButtonSave->click();
             return file;
         }},
        {"整形結果を保存",
         [](Form &f, const std::string &file) {
             EXPECT_TRUE(waitUntil([&] { return f.st().GIndentSourceReady; }, 120000));
             f.page().btnGUITDCheckClick();
             f.saveAs = file;  // the page's own name: written beside it as "WW_"
             f.page().sbGUITDCheckSaveClick();
             return folderOf(file) + "WW_" + file.substr(file.rfind('/') + 1);
         }},
        {"HTMLｿｰｽ そのまま保存",
         [](Form &f, const std::string &file) {
             f.gui().PageControlWebGUITop->setCurrentWidget(f.gui().PageControlWebGUITopTab02HTMLSrc);
             f.search().btnSaveHTMLSrClick();
             f.gui().PageControlWebGUITop->setCurrentWidget(f.gui().PageControlWebGUITopTab01Main);
             return file;
         }},
        {"HTMLｿｰｽ 名前付き保存",
         [](Form &f, const std::string &file) {
             f.gui().PageControlWebGUITop->setCurrentWidget(f.gui().PageControlWebGUITopTab02HTMLSrc);
             f.saveAs = folderOf(file) + "named.html";
             f.search().btnSaveHTMLSrWithNameClick();
             f.gui().PageControlWebGUITop->setCurrentWidget(f.gui().PageControlWebGUITopTab01Main);
             return f.saveAs;
         }},
        {"単純ｲﾝﾃﾞﾝﾄ整形して保存",
         [](Form &f, const std::string &file) {
             f.saveAs = folderOf(file) + "marked.html";
             f.page().btnGUISaveLocalHTMLSrcWihtIndentClick();
             return f.saveAs;
         }},
        {"名前を付けて保存",
         [](Form &f, const std::string &file) {
             f.saveAs = folderOf(file) + "saved_as.html";
             f.gui().ToolButtonSaveWithName->click();
             return f.saveAs;
         }},
    };
    const char *dump = getenv("VK_SAVES_DUMP");
    const char *only = getenv("VK_SAVES_ONLY");
    int fi = -1;
    for (const Fixture &fx : fixtures()) {
        ++fi;
        if (only && std::to_string(fi) != only) continue;
        const std::string file = f.path(fx.file);
        writeFile(file, fx.bytes);
        f.messages.clear();
        // One open, then every save in turn: none of them changes what the editor holds, and
        // the save-as, which makes its file the page's, comes last.
        f.open(file);
        ASSERT_TRUE(f.st().GActiveEditor && f.st().GActiveEditor->LoadedWhole()) << fx.name;
        int si = -1;
        for (const Save &save : saves) {
            ++si;
            SCOPED_TRACE(std::string(fx.name) + " / " + save.name);
            const std::string written = save.run(f, file);
            EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join(u'|').toStdString();
            const std::string saved = readFile(written);
            ASSERT_FALSE(saved.empty());
            EXPECT_EQ(differences(partsOf(fx.bytes, fx.utf8), partsOf(saved, false)), "");
            if (dump) writeFile(std::string(dump) + "/" + std::to_string(fi) + "-" + std::to_string(si) + ".html", saved);
        }
        QDir(fromSjis(folderOf(file))).removeRecursively();
    }
}

