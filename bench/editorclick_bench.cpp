// What a click and the WebGUI page's lists cost the editing control on a 1 MB Shift_JIS page,
// against one GetSource of the same page in the same run: the four click queries with the
// caret in a paragraph near the end (target: at most 0.2x one GetSource) and all eight list
// operations in a row (target: at most 2x, as they share one generated source).
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/StringList.h"
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

std::string page(std::size_t bytes)
{
    std::string out = toSjis(QStringLiteral("<html><head><title>クリック</title><style type=\"text/css\">P{COLOR:RED}</style>"
                                            "<script type=\"text/javascript\">var a=1;</script></head><body background=\"bg.png\">\r\n"));
    for (int i = 0; out.size() < bytes; ++i) {
        const QString n = QString::number(i);
        out += toSjis(QStringLiteral("<table border=\"1\"><tr><td>東京 ") + n + QStringLiteral("</td><td><a href=\"/p/") + n +
                      QStringLiteral(".html#s\" name=\"a") + n + QStringLiteral("\">詳細</a></td></tr></table>\r\n<p id=\"p") + n +
                      QStringLiteral("\">日本語の文章がここに続きます。<img src=\"i/") + n + QStringLiteral(".png\"></p>\r\n"));
    }
    return out + toSjis(QStringLiteral("<p id=\"last\">最後の段落です。</p></body></html>\r\n"));
}

double timed(const std::function<void()> &f)
{
    std::vector<double> ms;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[1];
}
} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking --renderer-process-limit=2", 0);
    QApplication app(argc, argv);
    const std::string one = page(1000000);
    TestHttpServer srv;
    srv.server().Get("/1mb.html", [&one](const httplib::Request &, httplib::Response &res) {
        res.set_content(one, "text/html; charset=Shift_JIS");
    });
    srv.start();
    QWidget window;
    window.resize(1000, 800);
    auto *ed = new TProfDHTMLEdit2(&window);
    ed->resize(1000, 800);
    ed->SourceCodeOptions = htmledit::kEditorSourceOptions;
    ed->setTimeout(120);
    window.show();
    if (!waitUntil([ed] { return ed->DocumentReady(); }, 30000) || !ed->LoadURL(QString::fromStdString(srv.url("/1mb.html")))) {
        std::printf("editorclick: the page did not load\n");
        return 1;
    }
    ed->evalDoc(QStringLiteral("var t=document.getElementById('last').firstChild;var r=document.createRange();r.setStart(t,3);"
                               "r.collapse(true);getSelection().removeAllRanges();getSelection().addRange(r);return 1;"));
    QString source;
    source = ed->GetSource();
    const double getSource = timed([&] { source = ed->GetSource(); });
    int rows = 0, cols = 0;
    QString caption;
    htmledit::TProfDHTMLEditTableAttrs attrs;
    const double click = timed([&] {
        ed->GetSelectionSource();
        ed->InTableCell();
        ed->IsInTable();
        ed->GetSelectedTableInfo(rows, cols, caption, &attrs);
    });
    StringList l;
    // Each run starts from a changed document, so the shared source is written once per run.
    const double lists = timed([&] {
        ed->evalDoc(QStringLiteral("document.getElementById('last').setAttribute('title', String(Date.now()));return 1;"));
        ed->ExtractScriptBlocks();
        ed->ExtractStyleBlocks();
        ed->GetBackgroundImageList(toSjis(QString::fromStdString(srv.url("/1mb.html"))), false, l);
        ed->GetIFrameList(l);
        ed->GetScriptFileList(l);
        ed->GetImageList(&l);
        ed->GetLinkList(&l);
        ed->GetAnchorList(l);
    });
    std::printf("editorclick: %zu bytes: GetSource %.0f ms; four click queries %.1f ms (%.3fx, target <= 0.2); "
                "eight lists %.0f ms (%.2fx, target <= 2)\n",
                one.size(), getSource, click, click / getSource, lists, lists / getSource);
    return 0;
}
