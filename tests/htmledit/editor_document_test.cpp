// The editing control's document kept across a move to another parent, and the BASE element
// changed in place, on a real engine offscreen against pages served on 127.0.0.1.
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/TWebbrowser.h"
#include "support/DomTreeExpect.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Site {
    TestHttpServer http;
    Site()
    {
        auto page = [](std::string head) {
            return [head](const httplib::Request &, httplib::Response &r) {
                r.set_content("<html><head>" + head + "<title>t</title></head><body><p id=\"p\">text <a href=\"rel.html\">r</a></p></body></html>",
                              "text/html");
            };
        };
        http.server().Get("/none.html", page(""));
        http.server().Get("/mixed.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<!DOCTYPE html><!-- before --><html lang=\"ja\"><head><base href=\"http://a.example/b/\">"
                          "<title>\xE6\x97\xA5 t</title><style>p > b { color: red }</style></head><body bgcolor=#fff>"
                          "<p class=\"x y\" title='a\"b'>one\r\ntwo &amp; \xF0\x9F\x98\x80 <b>12:3</b></p><!--c-->"
                          "<template><i>in template</i></template><svg viewBox=\"0 0 1 1\"><foreignObject/></svg>"
                          "<img src=\"i.png\" alt=\"\"><a href=\"../x.html?a=1&b=2#f\">x</a><input disabled>"
                          "<pre>\n  kept</pre><script>var s = '</p>' + 1;</script></body></html>",
                          "text/html; charset=utf-8");
        });
        http.server().Get("/one.html", page("<base href=\"http://a.example/old/\">"));
        http.server().Get("/two.html", page("<base href=\"http://a.example/1/\"><base href=\"http://a.example/2/\">"));
        http.start();
    }
    QString url(const char *p) const { return QString::fromStdString(http.url(p)); }
};

struct Editor {
    QWidget window;
    TProfDHTMLEdit2 *ed = nullptr;
    Editor()
    {
        window.resize(700, 500);
        ed = new TProfDHTMLEdit2(&window);
        ed->resize(700, 500);
        ed->SourceCodeOptions = htmledit::kEditorSourceOptions;
        window.show();
        EXPECT_TRUE(waitUntil([this] { return ed->DocumentReady(); }, 20000));
    }
    QString js(const char *script) { return ed->evalDoc(QString::fromUtf8(script)).toString(); }
    int count(const QString &s, const QString &what) const { return s.count(what, Qt::CaseInsensitive); }
};

} // namespace

// The whole-document text the writer reads and the JSON form of the same live document give the
// same tree: names, attributes with their resolved URLs, text with a line break, a pair of
// surrogates and a ":", comments, the doctype, template content and foreign elements.
TEST(EditorDocument, BothSnapshotFormsOfALiveDocumentAgree)
{
    Site site;
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(site.url("/mixed.html")));
    const QString text = e.js("return e.snapshotText();"), json = e.js("return e.snapshot();");
    ASSERT_TRUE(text.startsWith(QLatin1Char('S')));
    const htmledit::DomSnapshot a = htmledit::ParseSnapshot(text), b = htmledit::ParseSnapshot(json);
    ASSERT_TRUE(a.valid);
    ASSERT_TRUE(b.valid);
    EXPECT_EQ(a.url, b.url);
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.baseHrefs, b.baseHrefs);
    EXPECT_EQ(a.baseHrefs, QStringList{QStringLiteral("http://a.example/b/")});
    EXPECT_EQ(a.htmlCount + a.headCount + a.bodyCount, 3);
    ASSERT_EQ(a.roots.size(), b.roots.size());
    ASSERT_EQ(a.roots.size(), 3);  // doctype, comment, html
    for (int i = 0; i < a.roots.size(); ++i) expectSameTree(a.roots[i], b.roots[i], "root " + std::to_string(i));
    const QString source = e.ed->GetSource();
    EXPECT_TRUE(source.contains(QStringLiteral("<i>in template</i>"))) << source.toStdString();
    EXPECT_TRUE(source.contains(QStringLiteral("href=\"../x.html?a=1&b=2#f\""))) << source.toStdString();
}

// Moved to another window and back, the control keeps its document, its edits and design
// mode: nothing is loaded again, and typing still goes into the page.
TEST(EditorDocument, AMoveToAnotherParentKeepsTheDocument)
{
    Site site;
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(site.url("/none.html")));
    e.js("document.body.__mark = 7; document.getElementById('p').firstChild.data = 'edited '; return true;");
    const quint64 generation = e.ed->documentGeneration();
    const QString source = e.ed->GetSource();
    ASSERT_TRUE(source.contains(QLatin1String("edited")));

    auto other = std::make_unique<QWidget>();
    other->resize(600, 400);
    other->show();
    for (QWidget *parent : {other.get(), &e.window}) {
        e.ed->setParent(parent);
        e.ed->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(parent));
        EXPECT_EQ(e.js("return String(document.body.__mark);"), QStringLiteral("7"));
        EXPECT_EQ(e.ed->documentGeneration(), generation);
        EXPECT_EQ(e.ed->GetSource(), source);
        EXPECT_EQ(e.js("return document.designMode;"), QStringLiteral("on"));
    }
    // Typing at the end of the paragraph still reaches the document.
    e.js("var p = document.getElementById('p'), r = document.createRange(); r.selectNodeContents(p); r.collapse(false);"
         "getSelection().removeAllRanges(); getSelection().addRange(r); return true;");
    e.ed->focusTarget()->setFocus();
    QTest::keyClicks(e.ed->focusTarget(), QStringLiteral("xyz"));
    EXPECT_TRUE(waitUntil([&] { return e.js("return document.getElementById('p').textContent;").endsWith(QLatin1String("xyz")); }, 30000));
}

// BASE changes in place: in the document (no new document, so a mark on it stays) and in the
// stored head that the source is written with; one BASE is left, or none for "".
TEST(EditorDocument, SetBaseElementHrefChangesTheBaseInPlace)
{
    Site site;
    Editor e;
    const struct {
        const char *page, *before, *set, *after;
    } rows[] = {
        {"/none.html", "", "http://b.example/dir/", "http://b.example/dir/"},
        {"/one.html", "http://a.example/old/", "http://b.example/new/", "http://b.example/new/"},
        {"/two.html", "ERROR", "http://b.example/x/", "http://b.example/x/"},
        {"/one.html", "http://a.example/old/", "", ""},
        {"/one.html", "http://a.example/old/", "http://b.example/q?a=\"1\"", "http://b.example/q?a=%221%22"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.page) + " -> " + r.set);
        ASSERT_TRUE(e.ed->LoadURL(site.url(r.page)));
        EXPECT_EQ(e.ed->GetBaseElementHref(), QString::fromUtf8(r.before));
        e.js("document.body.__mark = 1; return true;");
        int fired = 0;
        e.ed->OnSetBaseURL = [&](QObject *) { ++fired; };
        e.ed->SetBaseElementHref(QString::fromUtf8(r.set));
        EXPECT_EQ(fired, 1);
        EXPECT_EQ(e.ed->GetBaseElementHref(), QString::fromUtf8(r.after));
        EXPECT_EQ(e.js("return String(document.body.__mark);"), QStringLiteral("1"));
        EXPECT_EQ(e.js("return String(document.getElementsByTagName('base').length);"), QString::number(*r.set ? 1 : 0));
        const QString src = e.ed->GetSource();
        EXPECT_EQ(e.count(src, QStringLiteral("<base")), *r.set ? 1 : 0) << src.toStdString();
        EXPECT_FALSE(src.contains(QLatin1String("a.example/old/"))) << src.toStdString();
        if (*r.set) {
            QString quoted = QString::fromUtf8(r.set);
            quoted.replace(QLatin1Char('"'), QLatin1String("&quot;"));
            EXPECT_TRUE(src.contains(QStringLiteral("<base href=\"") + quoted + QStringLiteral("\">"))) << src.toStdString();
        }
        e.ed->OnSetBaseURL = nullptr;
    }

    // The same href again changes nothing.
    ASSERT_TRUE(e.ed->LoadURL(site.url("/one.html")));
    int fired = 0;
    e.ed->OnSetBaseURL = [&](QObject *) { ++fired; };
    e.ed->SetBaseElementHref(QStringLiteral("http://a.example/old/"));
    EXPECT_EQ(fired, 0);
    e.ed->OnSetBaseURL = nullptr;
}

// A page loaded the moment the control is made (as the program does with a file opened at
// start) waits for the control's first document rather than leaving it empty.
TEST(EditorDocument, ALoadRightAfterCreationWaitsForTheControl)
{
    Site site;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("page.html"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><head><title>f</title></head><body><p id=\"p\">from file</p></body></html>");
    }
    for (int fromFile = 0; fromFile < 2; ++fromFile) {
        QWidget window;
        window.resize(600, 400);
        auto *ed = new TProfDHTMLEdit2(&window);
        ed->resize(600, 400);
        window.show();
        ASSERT_FALSE(ed->CreationDone());
        const bool ok = fromFile ? ed->LoadFromFile(file.toStdString()) : ed->LoadURL(site.url("/none.html"));
        EXPECT_TRUE(ok) << fromFile;
        EXPECT_EQ(ed->evalDoc(QStringLiteral("return document.getElementById('p').textContent;")).toString(),
                  fromFile ? QStringLiteral("from file") : QStringLiteral("text r"));
    }
}

// Content of PRE and TEXTAREA that begins with a line break keeps it through a read-out and
// a write-back, however often (the reader drops the first line break after the start tag).
TEST(EditorDocument, LeadingLineBreaksInPreAndTextareaSurviveRoundTrips)
{
    Editor e;
    e.ed->SetSource(QStringLiteral("<html><head><title>t</title></head><body><pre id=\"a\">\n\nline</pre>"
                                   "<pre id=\"b\">plain</pre><textarea id=\"c\">\n\nx</textarea></body></html>"));
    const char *read = "return [document.getElementById('a').textContent, document.getElementById('b').textContent,"
                       "document.getElementById('c').value].join('|');";
    const QString before = e.js(read);
    ASSERT_EQ(before, QStringLiteral("\nline|plain|\nx"));
    for (int i = 0; i < 3; ++i) {
        e.ed->SetSource(e.ed->GetSource());
        EXPECT_EQ(e.js(read), before) << i;
    }
    EXPECT_TRUE(e.ed->GetSource().contains(QLatin1String("<pre id=\"b\">plain</pre>")));
}

// The dialog operations: an accepted open loads the file and reports it, a cancelled one leaves
// the document and reports the cancel; a save writes the source (Shift_JIS, or UTF-16 with its
// mark when a character needs it) and binds the document to the new file; a refresh of design
// mode keeps the caret and the document editable.
TEST(EditorDocument, OpenSaveAndRefreshDesignMode)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("open.html"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><head><title>o</title></head><body><p id=\"p\">opened</p></body></html>");
    }
    Editor e;
    int opened = 0, cancelled = 0;
    e.ed->OnOpenDialog = [&](QObject *) { ++opened; };
    e.ed->OnOpenDialogCancel = [&](QObject *) { ++cancelled; };
    QString answer, seenDir;
    e.ed->OpenDialog = [&](QWidget *, const QString &d) {
        seenDir = d;
        return answer;
    };
    QString name = QStringLiteral("x");
    e.ed->OpenDocument(dir.path(), name);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(seenDir, dir.path());
    EXPECT_EQ(name, QString());  // the blank document has no location

    answer = file;
    e.ed->OpenDocument(QString(), name);
    EXPECT_EQ(name, file);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(e.js("return document.getElementById('p').textContent;"), QStringLiteral("opened"));
    EXPECT_EQ(e.ed->GetDocumentLocation(), file);

    // A refresh keeps the caret where it was and the document in design mode.
    e.js("var r=document.createRange();r.setStart(document.getElementById('p').firstChild,3);r.collapse(true);"
         "var s=getSelection();s.removeAllRanges();s.addRange(r);return '';");
    const int caret = e.ed->GetCaretPosition();
    ASSERT_GE(caret, 0);
    e.ed->RefreshDesignMode();
    EXPECT_EQ(e.ed->GetCaretPosition(), caret);
    EXPECT_EQ(e.js("return document.designMode;"), QStringLiteral("on"));

    // A character Shift_JIS lacks comes back, as itself (UTF-16 with its mark) or as its reference.
    struct Case {
        const char *name, *text, *alt;
    } cases[] = {{"plain.html", "plain", "plain"}, {"wide.html", "\xE2\x82\xAC euro", "&euro; euro"}};
    for (const Case &c : cases) {
        e.js((std::string("document.getElementById('p').textContent='") + c.text + "';return '';").c_str());
        const QString target = dir.filePath(QString::fromLatin1(c.name));
        e.ed->SaveDialog = [&](QWidget *, const QString &) { return target; };
        e.ed->SaveDocumentAs(QString(), name);
        EXPECT_EQ(name, target) << c.name;
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.name;
        const QByteArray bytes = f.readAll();
        const QString text = bytes.startsWith("\xFF\xFE")
                                 ? QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2), (bytes.size() - 2) / 2)
                                 : QString::fromLatin1(bytes);
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.text)) || text.contains(QString::fromLatin1(c.alt))) << c.name << text.toStdString();
        EXPECT_EQ(e.ed->GetDocumentLocation(), target) << c.name;
    }
    // A cancelled save writes nothing and answers no name.
    e.ed->SaveDialog = [](QWidget *, const QString &) { return QString(); };
    e.ed->SaveDocumentAs(QString(), name);
    EXPECT_TRUE(name.isEmpty());
}
