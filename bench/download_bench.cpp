// The whole-page download beside wget on the same site, the engine alone: each client downloads
// the page with its requisites into a fresh folder (several runs), and the server's log says what
// each obtained. Prints the requisites of each, what one got and the other did not, and the ratios
// files (ours / wget) and time (the medians, ours / wget).
//
// Usage (bench/download.sh runs it): download_bench --wget=PATH [--site=FOLDER --page=PATH] [--runs=N]
// Without --site the test fixture site is served; with it, FOLDER is served on 127.0.0.1 and
// PATH (relative to FOLDER) is the page to start from.
#include "DownloadSite.h"
#include "download/DownloadEngine.h"
#include "download/PageNames.h"
#include <QCoreApplication>

using namespace downloadbench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string wget = arg(argc, argv, "wget");
    if (wget.empty()) {
        std::puts("download_bench: run through bench/download.sh, which finds wget");
        return 0;
    }
    const int runs = runsFromArgs(argc, argv);
    const std::unique_ptr<Site> site = siteFromArgs(argc, argv);
    const std::string url = site->pageUrl();

    const Outcome theirs = measureWget(*site, runs, wget);
    const Outcome ours = measure(*site, runs, [&](const std::string &dir) {
        DownloadEngine e;
        const std::string local = "index.html";
        e.Opt.BaseWebDir = MainBaseDirNamesOf(url, local).BaseWebDir.value_or("");
        e.DownloadAll(url, local, dir + "/");
    });
    std::printf("the engine alone:\n");
    report(url, runs, theirs, ours);
    return 0;
}
