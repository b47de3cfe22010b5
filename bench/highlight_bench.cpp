// Marking five keywords in a generated 1 MB page (Japanese and ASCII, about 10,000 hits)
// against the engine's own find-in-page of the same five words on the same page in a second
// pane, in the same run, over a few rounds. Each side is timed as the user meets it: from the
// request until the next frame after the result (the marks written and laid out, or the last
// word's matches counted and highlighted) has been painted. The time until the result alone
// is printed beside it, and so is the time the page's renderer thread spent on the CPU, which the
// load of a shared machine moves far less than the time on the clock. Prints the ratio of the
// medians (target: at most 2x). Each round then measures the floor under any marking made of
// elements, on the second pane loaded afresh: the same text nodes replaced by identical copies,
// no span and no search, so only the engine's own re-layout of the touched paragraphs is left.
#include "mainwindow/PaneDocument.h"
#include "platform/BrowserWaits.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEngineFindTextResult>
#include <QWebEngineScript>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {
const char *kWords[] = {"alpha", "東京", "gamma", "データ", "epsilon"};

// About 5,600 paragraphs, each with one word at its end and most with a second in the middle.
std::string page()
{
    std::string body = "<html><head><meta charset=\"utf-8\"></head><body>";
    const char *filler[] = {"lorem ipsum dolor sit amet ", "日本語の文章がここに続きます。", "consectetur adipiscing ",
                            "検索結果の一覧を表示する ", "sed do eiusmod tempor "};
    for (int i = 0; body.size() < 1000000; ++i) {
        body += "<p>";
        for (int k = 0; k < 5; ++k) {
            body += filler[(i + k) % 5];
            if (k == 2 && i % 5 != 4) (body += kWords[(i + 2) % 5]) += ' ';
        }
        body += kWords[i % 5];
        body += (i % 7 == 0) ? " <b>detail</b> " : " ";
        body += "</p>\n";
    }
    return body + "</body></html>";
}

bool load(TWebbrowser &wb, const QString &url)
{
    wb.Navigate(url);
    return WaitWhileBrowserBusy(&wb, 30000) && wb.hasDocument();
}

// Waits (bounded) until the pane has painted the frame after this call: a task posted from
// an animation-frame callback runs once that frame's layout and paint are done.
bool painted(TWebbrowser &wb)
{
    const auto world = QWebEngineScript::ApplicationWorld;
    wb.evalSync(QStringLiteral("window.vkPainted = false; requestAnimationFrame(function () {"
                               " setTimeout(function () { window.vkPainted = true; }, 0); }); true"),
                30000, world);
    QElapsedTimer t;
    t.start();
    while (!wb.evalSync(QStringLiteral("window.vkPainted === true"), 30000, world).toBool()) {
        if (t.elapsed() > 30000) return false;
        QEventLoop pause;
        QTimer::singleShot(2, &pause, &QEventLoop::quit);
        pause.exec();
    }
    return true;
}

// A freshly loaded page, laid out and painted, so no side pays for the other's loading.
bool fresh(TWebbrowser &wb, const QString &url)
{
    return load(wb, url) && wb.evalSync(QStringLiteral("document.body.offsetHeight"), 30000).isValid() && painted(wb);
}

// Nanoseconds the renderer's main thread (the one that runs scripts, layout and the engine's
// text search) has been on the CPU; 0 where the system does not tell.
qint64 rendererCpuNs(TWebbrowser &wb)
{
    const qint64 pid = wb.page()->renderProcessPid();
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat");
    long long ns = 0;
    return pid > 0 && (in >> ns) ? ns : 0;
}

struct Timing {
    qint64 result = 0, shown = 0, cpuMs = 0;
};

Timing timed(TWebbrowser &wb, const std::function<void()> &work)
{
    const qint64 cpu = rendererCpuNs(wb);
    QElapsedTimer t;
    t.start();
    work();
    Timing out;
    out.result = t.elapsed();
    painted(wb);
    out.shown = t.elapsed();
    out.cpuMs = (rendererCpuNs(wb) - cpu) / 1000000;
    return out;
}

qint64 median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking --renderer-process-limit=2", 0);
    QApplication app(argc, argv);
    const std::string html = page();
    TestHttpServer srv;
    srv.server().Get("/big", [&html](const httplib::Request &, httplib::Response &res) {
        res.set_content(html, "text/html; charset=utf-8");
    });
    srv.start();
    const QString url = QString::fromStdString(srv.url("/big"));
    TWebbrowser marked, found;
    for (TWebbrowser *wb : {&marked, &found}) {
        wb->resize(1000, 800);
        wb->show();
    }

    QStringList words;
    for (const char *w : kWords) words << QString::fromUtf8(w);
    // Every text node holding a word, in any letter case, replaced by a copy of itself; the
    // last one scrolled into view as the marking scrolls to its last mark.
    const QString copyScript = QStringLiteral(
        "(function (words) { var w = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT), hit = [];"
        " for (var n = w.nextNode(); n; n = w.nextNode()) { var d = n.data.toLowerCase();"
        "  if (words.some(function (x) { return d.indexOf(x) >= 0; })) hit.push(n); }"
        " var last = null; hit.forEach(function (n) { last = document.createTextNode(n.data); n.replaceWith(last); });"
        " if (last) last.parentNode.scrollIntoView(true); return hit.length; })(%1)")
        .arg(QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(words)).toJson(QJsonDocument::Compact)).toLower());
    // The machine is shared, so one pair of timings says little: a few rounds on freshly
    // loaded pages, the side that goes first alternating, and the ratio of the medians.
    constexpr int kRounds = 7;
    std::vector<qint64> markShown, findShown, markResult, findResult, markCpu, findCpu, copyShown;
    std::vector<HighlightTimes> inside;
    int marks = 0, hits = 0;
    for (int round = 0; round < kRounds; ++round) {
        if (!fresh(marked, url) || !fresh(found, url)) {
            std::printf("highlight: the page did not load\n");
            return 1;
        }
        auto mark = [&] {
            return timed(marked, [&] {
                HighlightTimes t;
                marks = SearchAndHighlightText(&marked, words.join(QLatin1Char(' ')), &t);
                inside.push_back(t);
            });
        };
        auto find = [&] {
            return timed(found, [&] {
                hits = 0;
                for (const QString &w : words) {
                    // Ends on the answer itself, so the wait adds no polling delay to the engine's time.
                    QEventLoop loop;
                    bool done = false;
                    found.page()->findText(w, {}, [&](const QWebEngineFindTextResult &r) {
                        hits += r.numberOfMatches();
                        done = true;
                        loop.quit();
                    });
                    if (!done) loop.exec();
                }
            });
        };
        Timing m, f;
        if (round % 2 == 0) {
            m = mark();
            f = find();
        } else {
            f = find();
            m = mark();
        }
        // On the find-in-page's pane, loaded afresh, so the two measured panes keep a renderer each.
        if (!fresh(found, url)) {
            std::printf("highlight: the page did not load\n");
            return 1;
        }
        int copies = 0;
        const Timing c = timed(found, [&] {
            copies = found.evalSync(copyScript, 30000, QWebEngineScript::ApplicationWorld).toInt();
        });
        copyShown.push_back(c.shown);
        markShown.push_back(m.shown);
        markResult.push_back(m.result);
        findShown.push_back(f.shown);
        findResult.push_back(f.result);
        markCpu.push_back(m.cpuMs);
        findCpu.push_back(f.cpuMs);
        std::printf("highlight: round %d: %d marks in %lld ms (shown at %lld ms); find-in-page %d hits in %lld ms "
                    "(shown at %lld ms)\n",
                    round + 1, marks, static_cast<long long>(m.result), static_cast<long long>(m.shown), hits,
                    static_cast<long long>(f.result), static_cast<long long>(f.shown));
        const HighlightTimes &t = inside.back();
        std::printf("highlight:   inside the page: read %.0f ms, search %.0f ms, write %.0f ms, layout %.0f ms; renderer "
                    "on the CPU: marks %lld ms, find-in-page %lld ms\n",
                    t.read, t.search, t.write, t.layout, static_cast<long long>(m.cpuMs),
                    static_cast<long long>(f.cpuMs));
        std::printf("highlight:   the engine's re-layout alone: %d text nodes copied, shown at %lld ms\n", copies,
                    static_cast<long long>(c.shown));
    }
    const qint64 markMs = median(markShown), findMs = median(findShown);
    const qint64 markRes = median(markResult), findRes = median(findResult);
    const qint64 markCpuMs = median(markCpu), findCpuMs = median(findCpu);
    std::printf("highlight: renderer on the CPU: marks median %lld ms, find-in-page median %lld ms, ratio %.2f\n",
                static_cast<long long>(markCpuMs), static_cast<long long>(findCpuMs),
                findCpuMs > 0 ? double(markCpuMs) / double(findCpuMs) : 0.0);
    std::printf("highlight: until the result: marks median %lld ms, find-in-page median %lld ms, ratio %.2f\n",
                static_cast<long long>(markRes), static_cast<long long>(findRes),
                findRes > 0 ? double(markRes) / double(findRes) : 0.0);
    // Each round's pair ran back to back, so its ratio is the one least moved by the load
    // changing between rounds.
    std::vector<double> ratios;
    for (size_t i = 0; i < markShown.size(); ++i)
        if (findShown[i] > 0) ratios.push_back(double(markShown[i]) / double(findShown[i]));
    std::sort(ratios.begin(), ratios.end());
    std::printf("highlight: %zu bytes, %d marks, median %lld ms; find-in-page %d hits, median %lld ms; ratio %.2f "
                "(until shown; target <= 2); the rounds' own ratios from %.2f to %.2f, median %.2f\n",
                html.size(), marks, static_cast<long long>(markMs), hits, static_cast<long long>(findMs),
                findMs > 0 ? double(markMs) / double(findMs) : 0.0, ratios.empty() ? 0.0 : ratios.front(),
                ratios.empty() ? 0.0 : ratios.back(), ratios.empty() ? 0.0 : ratios[ratios.size() / 2]);
    const qint64 copyMs = median(copyShown);
    std::printf("highlight: the floor, the engine's re-layout of the touched paragraphs alone: median %lld ms, "
                "%.2f times the find-in-page\n",
                static_cast<long long>(copyMs), findMs > 0 ? double(copyMs) / double(findMs) : 0.0);
    return 0;
}
