// Marking five keywords in a generated 1 MB page (Japanese and ASCII, about 10,000 hits)
// against the engine's own find-in-page of the same five words on the same page in a second
// pane, in the same run, over a few rounds. Prints each round and the ratio of the medians
// (target: at most 2x).
#include "mainwindow/PaneDocument.h"
#include "platform/BrowserWaits.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QWebEngineFindTextResult>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const char *kWords[] = {"alpha", "東京", "gamma", "データ", "epsilon"};

std::string page()
{
    std::string body = "<html><head><meta charset=\"utf-8\"></head><body>";
    const char *filler[] = {"lorem ipsum dolor sit amet ", "日本語の文章がここに続きます。", "consectetur adipiscing ",
                            "検索結果の一覧を表示する ", "sed do eiusmod tempor "};
    for (int i = 0; body.size() < 1000000; ++i) {
        body += "<p>";
        for (int k = 0; k < 5; ++k) body += filler[(i + k) % 5];
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
    marked.resize(1000, 800);
    found.resize(1000, 800);
    marked.show();
    found.show();
    if (!load(marked, url) || !load(found, url)) {
        std::printf("highlight: the page did not load\n");
        return 1;
    }

    QStringList words;
    for (const char *w : kWords) words << QString::fromUtf8(w);
    // The machine is shared, so one pair of timings says little: a few rounds on freshly
    // loaded pages, and the ratio of the medians.
    constexpr int kRounds = 3;
    std::vector<qint64> markTimes, findTimes;
    int marks = 0, hits = 0;
    for (int round = 0; round < kRounds; ++round) {
        if (round > 0 && (!load(marked, url) || !load(found, url))) {
            std::printf("highlight: the page did not load again\n");
            return 1;
        }
        QElapsedTimer t;
        t.start();
        marks = SearchAndHighlightText(&marked, words.join(QLatin1Char(' ')));
        markTimes.push_back(t.elapsed());

        hits = 0;
        t.restart();
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
        findTimes.push_back(t.elapsed());
        std::printf("highlight: round %d: %d marks in %lld ms; find-in-page %d hits in %lld ms\n", round + 1, marks,
                    static_cast<long long>(markTimes.back()), hits, static_cast<long long>(findTimes.back()));
    }
    auto median = [](std::vector<qint64> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const qint64 markMs = median(markTimes), findMs = median(findTimes);
    std::printf("highlight: %zu bytes, %d marks, median %lld ms; find-in-page %d hits, median %lld ms; ratio %.2f "
                "(target <= 2)\n",
                html.size(), marks, static_cast<long long>(markMs), hits, static_cast<long long>(findMs),
                findMs > 0 ? double(markMs) / double(findMs) : 0.0);
    return 0;
}
