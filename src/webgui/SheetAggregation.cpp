#include "webgui/SheetAggregation.h"

#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiText.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

namespace {

bool isFile(const std::string &p)
{
    std::error_code ec;
    return !p.empty() && std::filesystem::is_regular_file(std::filesystem::path(ToSystemPath(p)), ec);
}

}  // namespace

LocalSheetsView LocalSheetsOfPage(const std::string &BaseFile, const std::vector<std::string> &Refs)
{
    LocalSheetsView v;
    const std::string found = Utf8ToAnsi("○　"), foundLocal = Utf8ToAnsi("○２"), missing = Utf8ToAnsi("●");
    for (const std::string &r : Refs) {
        const std::string p = CombineLocalPath(BaseFile, r);
        if (isFile(p)) {
            v.Obtained.push_back(p + "\t" + found + r);
            v.LocalNames.push_back("\t" + foundLocal + r);
        } else {
            v.Obtained.push_back(p + "\t" + missing + r);
        }
    }
    std::set<std::string> sheets;
    for (const std::string &r : Refs) {
        const std::string p = CombineLocalPath(BaseFile, r);
        v.Obtained.push_back((p.empty() ? Utf8ToAnsi("■■") : p) + "\t" + r);
        if (p.empty() || IsHttpUrl(p)) continue;
        sheets.insert(ResolveParentDirs(p));
        const std::string text = LoadTextFile(p);
        if (text.empty()) continue;
        std::vector<std::string> targets;
        ListCssRefUrls(ConvertTextToSjis(text, 0), "@import ", ";", p, targets, 0);
        for (const std::string &t : targets) {
            if (IsHttpUrl(t) || PosText(".css", LowerCase(t)) == 0) continue;
            const std::string local = t.empty() || t[0] == '/' ? t : folderPart(p) + t;
            sheets.insert(ResolveParentDirs(local));
        }
    }
    v.Sheets.assign(sheets.begin(), sheets.end());
    for (const std::string &s : v.Sheets)
        v.Text += SheetFileBlock(s, isFile(s) ? ConvertTextToSjis(LoadTextFile(s), 0) : std::string());
    return v;
}

std::string FetchTextWaiting(const std::string &Url, int TimeoutMs)
{
    struct Shared {
        std::atomic<bool> done{false};
        std::string text;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, Url] {
        std::string t;
        try {
            t = HttpGetText(Url);
        } catch (...) {
        }
        shared->text = std::move(t);
        shared->done = true;
    }).detach();
    QEventLoop loop;
    QTimer poll, bound;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (shared->done) loop.quit();
    });
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.setSingleShot(true);
    poll.start(5);
    bound.start(TimeoutMs);
    loop.exec();
    return shared->done ? shared->text : std::string();
}
