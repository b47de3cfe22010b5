// The settings file through the real window: save from the menu, a second window over the
// same program folder starts with them; the read rules; URL histories.
#include "mainwindow/FormHelpers.h"
#include "mainwindow/Settings.h"
#include "mainwindow/TAMainForm.h"
#include "platform/IniFile.h"
#include "platform/QtSjis.h"
#include "text/JCode.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace {

std::string sj(const char *utf8) { return Utf8ToAnsi(utf8); }

void spit(const QString &path, const std::string &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::unique_ptr<TAMainForm> makeForm(const QTemporaryDir &dir)
{
    return std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
}

void showForm(TAMainForm &f)
{
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
}

const SettingKey &keyOf(const std::vector<SettingKey> &keys, const std::string &sec, const std::string &key)
{
    for (const SettingKey &k : keys)
        if (sec == k.section && key == k.key) return k;
    throw std::runtime_error("no key " + sec + "/" + key);
}

struct MessageSpy {
    QStringList texts;
    MessageSpy() { setMessageBoxHook([this](const QString &t) { texts << t; }); }
    ~MessageSpy() { setMessageBoxHook({}); }
};

} // namespace

TEST(Settings, EveryKeySurvivesRestartThroughTheMenu)
{
    QTemporaryDir dir;
    const std::string base = toSjis(dir.path()) + "/";
    auto a = makeForm(dir);
    showForm(*a);
    const std::vector<SettingKey> keysA = settingKeys(*a);

    // A value for every key that differs from what a fresh window holds.
    auto fresh = makeForm(dir);
    const std::vector<SettingKey> keysFresh = settingKeys(*fresh);
    std::map<std::string, std::string> expected;
    int n = 0;
    for (size_t i = 0; i < keysA.size(); ++i) {
        const SettingKey &k = keysA[i];
        const std::string id = std::string(k.section) + "/" + k.key;
        std::string v;
        ++n;
        switch (k.type) {
        case IniType::String:
            if (k.rule == IniRule::FolderMustExist) {
                v = base + sj("フォルダ") + std::to_string(n);
                QDir().mkpath(fromSjis(v));
            } else if (k.rule == IniRule::FileMustExist) {
                v = base + "file" + std::to_string(n) + ".txt";
                spit(fromSjis(v), "line1\r\nline2\r\n");
            } else {
                v = sj("値=") + id + " " + std::to_string(n);
            }
            break;
        case IniType::Integer:
            v = std::to_string(IniParseInt(keysFresh[i].get(), 0) + 7 + n);
            break;
        case IniType::Boolean:
            v = keysFresh[i].get() == "1" ? "0" : "1";
            break;
        }
        if (!k.readable) continue;
        k.set(v);
        expected[id] = v;
    }
    fresh.reset();
    // The Settings menu stores the pane sizes into their globals before writing.
    a->menu.MenuSettingsSave->trigger();
    for (const char *key : {"WebSearch/PanelHeight", "WebSearch/TopHeight", "WebSearch/TopWidth", "PanelMainTop/Height"})
        expected[key] = keyOf(keysA, std::string(key).substr(0, std::string(key).find('/')),
                              std::string(key).substr(std::string(key).find('/') + 1))
                            .get();
    const std::string spin = std::to_string(a->dl.SpinEditMainTopPanelHeight->value());
    a->close();
    a.reset();

    TIniFile ini(base + "VORNKYMB.inf");
    ASSERT_TRUE(ini.exists());
    EXPECT_EQ(ini.ReadString("WebSearch", "PageHeight"), spin);
    EXPECT_EQ(ini.ReadString("NetSearch", "Height"), spin);

    auto b = makeForm(dir);
    showForm(*b);
    for (const SettingKey &k : settingKeys(*b)) {
        if (!k.readable) continue;
        const std::string id = std::string(k.section) + "/" + k.key;
        if (id == "PanelMainTop/Height") {
            // The show sequence sizes the top panel from the spin edit afterwards.
            EXPECT_EQ(ini.ReadString("PanelMainTop", "Height"), expected[id]);
            continue;
        }
        EXPECT_EQ(k.get(), expected[id]) << id;
    }
    EXPECT_EQ(b->dl.ComboBoxBatchDownloadURL->currentText(), b->dl.ComboBoxUrl->currentText());
    EXPECT_EQ(b->dl.BtnEditTriedWebFileSaveFolder->text(), b->dl.BtnEditCSSSaveFolder->text());
    EXPECT_EQ(b->dl.MemoBatchDownloadCSS->toPlainText(), QStringLiteral("line1\nline2"));
    EXPECT_EQ(b->net.PanelPageControlMainTopTab00GoogleSearchTop->height(),
              expected["Menu/StdTopHeight"] == "1" ? 70 : 420);
    b->close();
}

TEST(Settings, ReadRulesTable)
{
    QTemporaryDir dir;
    const std::string base = toSjis(dir.path()) + "/";
    QDir().mkpath(dir.filePath(QStringLiteral("pages")));
    const std::string pages = base + "pages";
    const std::string file = base + "VORNKYMB.inf";
    auto f = makeForm(dir);
    auto &st = f->state();

    const struct {
        const char *what;
        std::string ini;
        std::function<void()> before;
        std::function<void()> check;
    } rows[] = {
        {"non-positive sizes take their fallbacks",
         "[WebSearch]\r\nPanelHeight=0\r\nTopHeight=-5\r\nTopWidth=x\r\n[PageHTML]\r\nMainTopPanelHeight=0\r\n", {},
         [&] {
             EXPECT_EQ(st.GSearchTopHeight, 45);
             EXPECT_EQ(st.GMainTopHeight, 750);
             EXPECT_EQ(st.GSearchLeftWidth, 450);
             EXPECT_EQ(f->dl.SpinEditMainTopPanelHeight->value(), 650);
         }},
        {"PanelHeight -5 as 0", "[WebSearch]\r\nPanelHeight=-5\r\n", {}, [&] { EXPECT_EQ(st.GSearchTopHeight, 45); }},
        {"missing counts take their fallbacks", "[Project]\r\n",
         [&] {
             f->batch.SpinEditLinkCount->setValue(7);
             f->net.SpinEditBatchBrowseStart->setValue(7);
         },
         [&] {
             EXPECT_EQ(f->batch.SpinEditLinkCount->value(), 20);
             EXPECT_EQ(f->net.SpinEditBatchBrowseStart->value(), 1);
             EXPECT_EQ(f->net.SpinEditBatchBrowseCount->value(), 20);
         }},
        {"TDMaxlenght 0 and PanelMainTop 0 leave their controls",
         "[GUIEditor]\r\nTDMaxlenght=0\r\n[PanelMainTop]\r\nHeight=0\r\n",
         [&] {
             f->gui.SpinEditGUIGUIdMaxlen->setValue(100);
             f->setPanelMainTopHeight(333);
         },
         [&] {
             EXPECT_EQ(f->gui.SpinEditGUIGUIdMaxlen->value(), 100);
             EXPECT_EQ(f->panelMainTopHeight(), 333);
         }},
        {"missing boolean unchecks, non-numeric integer reads 0", "[CSSUrl]\r\nCharCodeMode=abc\r\n",
         [&] {
             f->dl.CheckBoxOpenIE->setChecked(true);
             f->dl.RadioGroupCharCodeMode->setItemIndex(2);
         },
         [&] {
             EXPECT_FALSE(f->dl.CheckBoxOpenIE->isChecked());
             EXPECT_EQ(f->dl.RadioGroupCharCodeMode->itemIndex(), 0);
         }},
        {"missing folders and files are emptied, existing ones kept",
         "[Folder]\r\nDefault=" + base + "gone\r\nSaveDefault=" + pages + "\r\n[Project]\r\nFile=" + base +
             "gone.pcp\r\n[Direct]\r\nSaveFolder=" + base + "gone\r\n",
         {},
         [&] {
             EXPECT_EQ(st.GDefaultFolder, "");
             EXPECT_EQ(st.GSaveDefaultFolder, pages);
             EXPECT_EQ(st.GProjectFile, "");
             EXPECT_EQ(f->dl.BtnEditDownloadDirectFolder->text(), QString());
         }},
        {"empty Individual Folder takes the page save folder",
         "[PageHTML]\r\nFolder=" + pages + "\r\n[Individual]\r\nFolder=\r\n", {},
         [&] {
             EXPECT_EQ(f->dl.BtnEditHTMLPageSaveFolder->text(), fromSjis(pages));
             EXPECT_EQ(f->dl.BtnEditWebSaveLocalFileFolder->text(), fromSjis(pages));
         }},
        {"values are Shift_JIS, = kept", "[WebSearch]\r\nKeyword=" + sj("検索=語") + "\r\n", {},
         [&] { EXPECT_EQ(f->net.edGoogleSearch->currentText(), QStringLiteral("検索=語")); }},
        {"an EUC-JP file loads its ASCII keys", SjisToEuc(sj("[WebSearch]\r\nKeyword=日本\r\n[BatchView]\r\nBatchCount=33\r\n"), 0),
         {}, [&] { EXPECT_EQ(f->batch.SpinEditLinkCount->value(), 33); }},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        spit(fromSjis(file), r.ini);
        if (r.before) r.before();
        LoadIniSettings(*f, file);
        r.check();
    }

    // Garbage bytes: no crash, and the rules' defaults where nothing can be read.
    std::string garbage;
    for (int i = 0; i < 8192; ++i) garbage += static_cast<char>((i * 2654435761u) >> 24);
    spit(fromSjis(file), garbage);
    LoadIniSettings(*f, file);
    EXPECT_EQ(f->batch.SpinEditLinkCount->value(), 20);

    // No file: nothing applied, the URL still handed to the batch download.
    f->batch.SpinEditLinkCount->setValue(9);
    f->dl.ComboBoxUrl->setEditText(QStringLiteral("http://example.jp/"));
    LoadIniSettings(*f, base + "none.inf");
    EXPECT_EQ(f->batch.SpinEditLinkCount->value(), 9);
    EXPECT_EQ(f->dl.ComboBoxBatchDownloadURL->currentText(), QStringLiteral("http://example.jp/"));
}

TEST(Settings, SaveFailureIsReportedAndMenuWithoutFileDoesNothing)
{
    QTemporaryDir dir;
    auto f = makeForm(dir);
    MessageSpy spy;
    const QString asFolder = dir.filePath(QStringLiteral("VORNKYMB.inf"));
    QDir().mkpath(asFolder);
    f->state().GSettingsFile = toSjis(asFolder);
    f->menu.MenuSettingsSave->trigger();
    ASSERT_EQ(spy.texts.size(), 1);
    EXPECT_TRUE(spy.texts[0].contains(QStringLiteral("設定ファイルに書き込めませんでした")));

    f->state().GSettingsFile.clear();
    f->state().GSearchTopHeight = -99;
    f->menu.MenuSettingsSave->trigger();
    EXPECT_EQ(f->state().GSearchTopHeight, -99);
    EXPECT_EQ(spy.texts.size(), 1);
}

TEST(Settings, UrlHistoryRoundTrip)
{
    QTemporaryDir dir;
    const std::string file = toSjis(dir.filePath(QStringLiteral("VORNKYMB.inf")));
    TComboBox combo;
    ComoBoxSaveToINI(file, "registedGUIUrl", &combo, 0);
    EXPECT_FALSE(TIniFile(file).read().hasSection("registedGUIUrl"));

    combo.addItems({QStringLiteral("http://a.jp/"), QStringLiteral("http://b.jp/?q=1&r=ｶﾅ")});
    ComoBoxSaveToINI(file, "registedGUIUrl", &combo, 0);
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("registedGUIUrl", "registedGUIUrl0"), "http://a.jp/");
    EXPECT_EQ(ini.ReadString("registedGUIUrl", "registedGUIUrl1"), toSjis(combo.itemText(1)));

    TComboBox back;
    back.addItem(QStringLiteral("old"));
    ComoBoxLoadFromINI(file, "registedGUIUrl", &back, 0);
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.itemText(0), combo.itemText(0));
    EXPECT_EQ(back.itemText(1), combo.itemText(1));

    // A shorter history replaces the longer one whole.
    combo.removeItem(1);
    ComoBoxSaveToINI(file, "registedGUIUrl", &combo, 0);
    EXPECT_EQ(ini.ReadSectionValues("registedGUIUrl").size(), 1u);
    ComoBoxClearToINI(file, "registedGUIUrl");
    EXPECT_FALSE(ini.read().hasSection("registedGUIUrl"));

    const struct {
        std::string rest, head, after;
    } splits[] = {{"k=v=w", "k", "v=w"}, {"novalue", "novalue", ""}, {"=x", "", "x"}, {"", "", ""}};
    for (const auto &s : splits) {
        std::string rest = s.rest, head;
        SplitAtDelimiter("=", rest, head);
        EXPECT_EQ(head, s.head) << s.rest;
        EXPECT_EQ(rest, s.after) << s.rest;
    }
}

TEST(Settings, GetInfSkipsAMatchingFolder)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("VORNKYMB0.inf")));
    EXPECT_EQ(GetInf(dir.path()), QString());
    spit(dir.filePath(QStringLiteral("VORNKYMB1.inf")), "");
    EXPECT_EQ(GetInf(dir.path()), QStringLiteral("VORNKYMB1.inf"));
}

// A settings file written by hand, section by section as the file format lists them, in
// Shift_JIS with CRLF line ends: the real window reads it, and a save writes every one of
// those names back.
TEST(Settings, HandWrittenFileLoadsAndASaveWritesTheSameNames)
{
    QTemporaryDir dir;
    const std::string base = toSjis(dir.path()) + "/";
    QDir().mkpath(dir.filePath(QStringLiteral("save")));
    spit(dir.filePath(QStringLiteral("project.pcp")), "");
    spit(dir.filePath(QStringLiteral("global.inf")), "");
    const std::string file = sj("[Project]\r\nFile=") + base + "project.pcp\r\n"
                             "[Global]\r\nFile=" + base + "global.inf\r\n"
                             "[Folder]\r\nDefault=" + base + "save\r\n" +
                             sj("[PageHTML]\r\nUrl=http://example.jp/日本語/\r\nMainTopPanelHeight=500\r\n"
                                "[DirectHTML]\r\nUrl=http://direct.example.jp/\r\n"
                                "[Individual]\r\nUrl=http://example.jp/file.zip\r\n") +
                             "[BatchDownload]\r\nFolder=" + base + "save\r\n" +
                             sj("[FavBrowser]\r\nBase=http://fav.example.jp/\r\n"
                                "[GUIEditor]\r\nIndentation=1\r\n"
                                "[WebSearch]\r\nKeyword=検索 語\r\nIMEMode=1\r\n"
                                "[CSSUrl]\r\nCharCodeMode=2\r\n"
                                "[CSSAdjustUrl]\r\nSearch=url(../img/\r\n"
                                "[BatchView]\r\nBatchCount=7\r\n"
                                "[NetSearch]\r\nCount=9\r\nBatch=0\r\n"
                                "[NetBrowse]\r\nDontCreateTab=1\r\n"
                                "[GUISearch]\r\nSearchWord=表\r\n"
                                "[GUIView]\r\nEntire=1\r\n"
                                "[Direct]\r\nURL=http://url.example.jp/\r\n"
                                "[Tracert]\r\nHostname=host.example.jp\r\n"
                                "[Menu]\r\nStdTopHeight=1\r\n"
                                "[PanelMainTop]\r\nHeight=500\r\n");
    spit(dir.filePath(QStringLiteral("VORNKYMB.inf")), file);

    auto f = makeForm(dir);
    showForm(*f);
    auto &st = f->state();
    EXPECT_EQ(st.GProjectFile, base + "project.pcp");
    EXPECT_EQ(st.GGlobalFile, base + "global.inf");
    EXPECT_EQ(st.GDefaultFolder, base + "save");
    EXPECT_EQ(f->dl.ComboBoxUrl->currentText(), QStringLiteral("http://example.jp/日本語/"));
    EXPECT_EQ(f->panelMainTopHeight(), 500);
    EXPECT_EQ(f->dl.ComboBoxDirectUrl->currentText(), QStringLiteral("http://direct.example.jp/"));
    EXPECT_EQ(f->dl.EditWebFile->text(), QStringLiteral("http://example.jp/file.zip"));
    EXPECT_EQ(toSjis(f->dl.BtnEditBatchDownloadFolder->text()), base + "save");
    EXPECT_EQ(f->fav.edFavUrl->currentText(), QStringLiteral("http://fav.example.jp/"));
    EXPECT_EQ(f->gui.RadioGroupTDIndentation->itemIndex(), 1);
    EXPECT_EQ(f->net.edGoogleSearch->currentText(), QStringLiteral("検索 語"));
    EXPECT_EQ(f->net.RadioGroupIME->itemIndex(), 1);
    EXPECT_EQ(f->dl.RadioGroupCharCodeMode->itemIndex(), 2);
    EXPECT_EQ(f->dl.EditCSSURLSearch->text(), QStringLiteral("url(../img/"));
    EXPECT_EQ(f->batch.SpinEditLinkCount->value(), 7);
    EXPECT_EQ(f->net.SpinEditBatchBrowseCount->value(), 9);
    EXPECT_FALSE(f->net.CheckBoxBatchSearchBrowse->isChecked());
    EXPECT_TRUE(f->fav.CheckBoxDontCreateFavTargetTab->isChecked());
    EXPECT_EQ(f->gui.EditGUISearchWord->text(), QStringLiteral("表"));
    EXPECT_TRUE(f->gui.CheckBoxPageControlGUIRightTopEitireSrc->isChecked());
    EXPECT_EQ(f->dl.ComboBoxURLDirect->currentText(), QStringLiteral("http://url.example.jp/"));
    EXPECT_EQ(f->ip.EditDomain->text(), QStringLiteral("host.example.jp"));
    EXPECT_TRUE(f->menu.MenuViewStdTopHeight->isChecked());
    EXPECT_EQ(f->net.PanelPageControlMainTopTab00GoogleSearchTop->height(), 70);

    // The save writes the names as the file format spells them, and keeps the values read.
    f->menu.MenuSettingsSave->trigger();
    const TIniFile ini(base + "VORNKYMB.inf");
    const std::map<std::string, std::vector<const char *>> names = {
        {"Project", {"File"}},
        {"Global", {"File"}},
        {"Folder", {"Default", "SaveDefault"}},
        {"PageHTML", {"Url", "WebRoot", "MainTopPanelHeight", "WebBaseDir", "Folder", "File", "Save", "DontChangePage",
                      "OpenIE", "OpenIEWithWeb"}},
        {"DirectHTML", {"Url"}},
        {"Individual", {"Url", "LocalFile", "Folder", "IndividualFolder"}},
        {"BatchDownload", {"Folder", "CSS"}},
        {"FavBrowser", {"Base", "Target"}},
        {"GUIEditor", {"WebUrl", "File", "AreaHeight", "Indentation", "HTMLOption", "TDMaxlenght", "ImgAlt"}},
        {"WebSearch", {"Keyword", "PanelHeight", "TopHeight", "TopWidth", "IMEMode", "PageHeight"}},
        {"CSSUrl", {"Page", "Domain", "CSSBaseDir", "FileInitial", "FileExt", "LocalFolder", "SaveFolder", "SaveFile",
                    "CharCodeMode", "ViewAfterSave", "CloseAllIEBeforeOpen", "TargetOpenIEAfterSave", "Recursive"}},
        {"CSSAdjustUrl", {"HTMLFolder", "CSSFolder", "Search", "Replace", "RemoveCSSRoot", "RemoveLinkCSSRoot",
                          "CSSJavaChangeCode", "EmptyElement", "AdjustHTMLTree", "HtmlNodePostion", "RemoveHTMLSrcRoot",
                          "RemoveHrefRoot", "RemoveUrlRoot", "RemoveUrlRelative", "RemoveRelativeFolder",
                          "WebHreffRoot"}},
        {"BatchView", {"Url", "BatchCount"}},
        {"NetSearch", {"Start", "Count", "Height", "Batch", "DontClose", "DontCreateTab", "GetText", "GetHTML"}},
        {"NetBrowse", {"DontClose", "DontCreateTab"}},
        {"GUISearch", {"HTMLSrc", "IndentList", "OrgSrc", "SearchWord", "ReplaceWord"}},
        {"GUIView", {"Entire", "Org"}},
        {"Direct", {"URL", "SaveFolder"}},
        {"Tracert", {"Hostname"}},
        {"Menu", {"Maximized", "StdTopHeight"}},
        {"PanelMainTop", {"Height"}},
    };
    const IniDocument doc = ini.read();
    for (const auto &[section, keys] : names)
        for (const char *key : keys)
            EXPECT_TRUE(doc.value(section, key, "\x01missing").compare("\x01missing") != 0) << section << "/" << key;
    EXPECT_EQ(ini.ReadString("WebSearch", "Keyword"), sj("検索 語"));
    EXPECT_EQ(ini.ReadString("Tracert", "Hostname"), "host.example.jp");
    EXPECT_EQ(ini.ReadString("NetSearch", "Count"), "9");
    f->close();
}
