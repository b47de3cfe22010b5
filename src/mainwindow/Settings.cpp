#include "mainwindow/Settings.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/IniFile.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <sys/stat.h>

namespace {

bool fileExists(const std::string &sjis)
{
    struct stat st {};
    return ::stat(ToSystemPath(sjis).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool folderExists(const std::string &sjis)
{
    struct stat st {};
    return ::stat(ToSystemPath(sjis).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

using Get = std::function<std::string()>;
using Set = std::function<void(const std::string &)>;

struct Rows {
    std::vector<SettingKey> v;
    const char *section = "";

    void add(const char *key, IniType t, Get g, Set s, IniRule r = IniRule::None, int fallback = 0, bool readable = true)
    {
        v.push_back({section, key, t, r, fallback, readable, std::move(g), std::move(s)});
    }
    // Texts of edits and combo boxes.
    void text(const char *key, QLineEdit *e, IniRule r = IniRule::None)
    {
        add(key, IniType::String, [e] { return toSjis(e->text()); }, [e](const std::string &s) { e->setText(fromSjis(s)); }, r);
    }
    void text(const char *key, QComboBox *c, IniRule r = IniRule::None)
    {
        add(key, IniType::String, [c] { return toSjis(c->currentText()); },
            [c](const std::string &s) { c->setEditText(fromSjis(s)); }, r);
    }
    void global(const char *key, std::string *g, IniRule r = IniRule::None)
    {
        add(key, IniType::String, [g] { return *g; }, [g](const std::string &s) { *g = s; }, r);
    }
    void number(const char *key, QSpinBox *sp, IniRule r = IniRule::None, int fallback = 0, bool readable = true)
    {
        add(key, IniType::Integer, [sp] { return std::to_string(sp->value()); },
            [sp](const std::string &s) { sp->setValue(IniParseInt(s, 0)); }, r, fallback, readable);
    }
    void radio(const char *key, TRadioGroup *g)
    {
        add(key, IniType::Integer, [g] { return std::to_string(g->itemIndex()); },
            [g](const std::string &s) { g->setItemIndex(IniParseInt(s, 0)); });
    }
    void check(const char *key, QAbstractButton *b)
    {
        add(key, IniType::Boolean, [b] { return std::string(b->isChecked() ? "1" : "0"); },
            [b](const std::string &s) { b->setChecked(IniParseInt(s, 0) != 0); });
    }
    void check(const char *key, QAction *a)
    {
        add(key, IniType::Boolean, [a] { return std::string(a->isChecked() ? "1" : "0"); },
            [a](const std::string &s) { a->setChecked(IniParseInt(s, 0) != 0); });
    }
};

} // namespace

std::vector<SettingKey> settingKeys(TAMainForm &f)
{
    AppState &st = f.state();
    auto &dl = f.dl;
    auto &net = f.net;
    auto &gui = f.gui;
    Rows r;
    using R = IniRule;

    r.section = "Project";
    r.global("File", &st.GProjectFile, R::FileMustExist);
    r.section = "Global";
    r.global("File", &st.GGlobalFile, R::FileMustExist);
    r.section = "Folder";
    r.global("Default", &st.GDefaultFolder, R::FolderMustExist);
    r.global("SaveDefault", &st.GSaveDefaultFolder, R::FolderMustExist);
    r.section = "PageHTML";
    r.text("Url", dl.ComboBoxUrl);
    r.global("WebRoot", &st.GWebRoot);
    r.number("MainTopPanelHeight", dl.SpinEditMainTopPanelHeight, R::PositiveElse, 650);
    r.text("WebBaseDir", dl.EditBaseWebDir);
    r.text("Folder", dl.BtnEditHTMLPageSaveFolder, R::FolderMustExist);
    r.text("File", dl.BtnEditLocalFilename);
    r.section = "DirectHTML";
    r.text("Url", dl.ComboBoxDirectUrl);
    r.section = "Individual";
    r.text("Url", dl.EditWebFile);
    r.text("LocalFile", dl.BtnEditWebSaveLocalFile, R::FileMustExist);
    {
        // An empty stored folder takes the page save folder, read just before.
        TBtnEdit *e = dl.BtnEditWebSaveLocalFileFolder, *page = dl.BtnEditHTMLPageSaveFolder;
        r.add("Folder", IniType::String, [e] { return toSjis(e->text()); },
              [e, page](const std::string &s) { e->setText(s.empty() ? page->text() : fromSjis(s)); },
              R::FolderMustExist);
    }
    r.text("IndividualFolder", dl.BtnEditDownloadLocalFileIndividual, R::FolderMustExist);
    r.section = "BatchDownload";
    r.text("Folder", dl.BtnEditBatchDownloadFolder, R::FolderMustExist);
    {
        TBtnEdit *e = dl.BtnEditBatchCSSFilename;
        TMemo *memo = dl.MemoBatchDownloadCSS;
        r.add("CSS", IniType::String, [e] { return toSjis(e->text()); },
              [e, memo](const std::string &s) {
                  e->setText(fromSjis(s));
                  if (s.empty()) return;
                  // Loaded as lines: the last line end starts no empty line.
                  std::string text = LoadTextFile(s);
                  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
                  memo->setPlainText(fromSjis(text));
              },
              R::FileMustExist);
    }
    r.section = "FavBrowser";
    r.text("Base", f.fav.edFavUrl);
    r.text("Target", f.fav.edFavTarget);
    r.section = "GUIEditor";
    r.text("WebUrl", gui.ComboBoxGUIEditorURL);
    r.text("File", dl.BtnEditDownloadLocalFile);
    r.number("AreaHeight", gui.SpinEditGUIAreaHeight);
    r.radio("Indentation", gui.RadioGroupTDIndentation);
    r.radio("HTMLOption", gui.RadioGroupGUIHTMLOption);
    r.number("TDMaxlenght", gui.SpinEditGUIGUIdMaxlen, R::PositiveOnly);
    r.radio("ImgAlt", gui.RadioGroupIndentImgAlt);
    r.section = "WebSearch";
    r.text("Keyword", net.edGoogleSearch);
    // The three remembered sizes are written from their globals, which the Settings menu
    // refreshes from the panels just before saving.
    {
        r.add("PanelHeight", IniType::Integer, [&st] { return std::to_string(st.GSearchTopHeight); },
              [&st, &f](const std::string &s) {
                  st.GSearchTopHeight = IniParseInt(s, 0);
                  setSearchTopHeight(f, st.GSearchTopHeight);
              },
              R::PositiveElse, 45);
        // Fallbacks are the globals' start values, so a missing key means a fresh start.
        r.add("TopHeight", IniType::Integer, [&st] { return std::to_string(st.GMainTopHeight); },
              [&st](const std::string &s) { st.GMainTopHeight = IniParseInt(s, 0); }, R::PositiveElse, 750);
        r.add("TopWidth", IniType::Integer, [&st] { return std::to_string(st.GSearchLeftWidth); },
              [&st, &f](const std::string &s) {
                  st.GSearchLeftWidth = IniParseInt(s, 0);
                  setSearchLeftWidth(f, st.GSearchLeftWidth);
              },
              R::PositiveElse, 450);
    }
    r.radio("IMEMode", net.RadioGroupIME);
    r.number("PageHeight", dl.SpinEditMainTopPanelHeight, R::None, 0, false);
    r.section = "CSSUrl";
    r.text("Page", dl.EditPageUrl);
    r.text("Domain", dl.EditCSSDomain);
    r.text("CSSBaseDir", dl.EditCSSBaseDir);
    r.text("FileInitial", dl.EditFilenameInitial);
    r.text("FileExt", dl.ComboBoxExt);
    r.text("LocalFolder", dl.BtnEditCSSLocalFolder);
    {
        TBtnEdit *e = dl.BtnEditCSSSaveFolder, *tried = dl.BtnEditTriedWebFileSaveFolder;
        r.add("SaveFolder", IniType::String, [e] { return toSjis(e->text()); },
              [e, tried](const std::string &s) {
                  e->setText(fromSjis(s));
                  tried->setText(fromSjis(s));
              },
              R::FolderMustExist);
    }
    r.text("SaveFile", dl.BtnEditSaveFile);
    r.radio("CharCodeMode", dl.RadioGroupCharCodeMode);
    r.radio("ViewAfterSave", dl.RadioGroupViewAfterSave);
    r.radio("CloseAllIEBeforeOpen", dl.RadioGroupCloseAllIEBeforeOpen);
    r.radio("TargetOpenIEAfterSave", dl.RadioGroupIEOpenWithTargetUrl);
    r.section = "CSSAdjustUrl";
    r.text("HTMLFolder", dl.BtnEditPageControlMainBodyHTMLFolder, R::FolderMustExist);
    r.text("CSSFolder", dl.BtnEditPageControlMainBodyCSSUrl, R::FolderMustExist);
    r.text("Search", dl.EditCSSURLSearch);
    r.text("Replace", dl.EditCSSUrlReplace);
    r.radio("RemoveCSSRoot", dl.RadioGroupRemoveCSSRoot);
    r.radio("RemoveLinkCSSRoot", dl.RadioGroupRemoveLinkCSSRoot);
    r.radio("CSSJavaChangeCode", dl.RadioGroupCSSJavaChangeChaCode);
    r.radio("EmptyElement", gui.RadioGroupEmptyElement);
    r.radio("AdjustHTMLTree", gui.RadioGroupAdjustHTMLTree);
    r.radio("HtmlNodePostion", gui.RadioGroupHTMLNodePosition);
    r.radio("RemoveHTMLSrcRoot", dl.RadioGroupRomoveHTMLSrcRoot);
    r.radio("RemoveHrefRoot", dl.RadioGroupRemoveHrefRoot);
    r.radio("RemoveUrlRoot", dl.RadioGroupRemoveUrlRoot);
    r.radio("RemoveUrlRelative", dl.RadioGroupRemoveUrlRelative);
    r.radio("RemoveRelativeFolder", dl.RadioGroupRemoveRelativeUp);
    r.radio("WebHreffRoot", dl.RadioGroupWebHreffRoot);
    r.section = "BatchView";
    r.text("Url", f.batch.EditPanelPanelPageControlMainTopTab07BatchPageView);
    r.number("BatchCount", f.batch.SpinEditLinkCount, R::PositiveElse, 20);
    r.section = "PageHTML";
    r.check("Save", dl.CheckBoxSaveLocalFile);
    r.check("DontChangePage", dl.CheckBoxDontChangePage);
    r.check("OpenIE", dl.CheckBoxOpenIE);
    r.check("OpenIEWithWeb", dl.CheckBoxOpenIEWithWeb);
    r.section = "NetSearch";
    r.number("Start", net.SpinEditBatchBrowseStart, R::PositiveElse, 1);
    r.number("Count", net.SpinEditBatchBrowseCount, R::PositiveElse, 20);
    r.number("Height", dl.SpinEditMainTopPanelHeight, R::None, 0, false);
    r.check("Batch", net.CheckBoxBatchSearchBrowse);
    r.check("DontClose", net.CheckBoxCloseNewSearch);
    r.check("DontCreateTab", net.CheckBoxDontCreateTab);
    r.check("GetText", net.CheckBoxTextFromBrowser);
    r.check("GetHTML", net.CheckBoxGoogleSearcHTML);
    r.section = "NetBrowse";
    r.check("DontClose", f.fav.CheckBoxCloseFavNewSearch);
    r.check("DontCreateTab", f.fav.CheckBoxDontCreateFavTargetTab);
    r.section = "GUISearch";
    r.text("HTMLSrc", gui.EditSearcGUISrcKeyWord);
    r.text("IndentList", gui.EditIndentListSearch);
    r.text("OrgSrc", gui.EditSearcGUIOrgSrcKeyWord);
    r.text("SearchWord", gui.EditGUISearchWord);
    r.text("ReplaceWord", gui.EditGUIReplaceWord);
    r.section = "GUIView";
    r.check("Entire", gui.CheckBoxPageControlGUIRightTopEitireSrc);
    r.check("Org", gui.CheckBoxPageControlGUIRightTopOrgEitireSrc);
    r.section = "CSSUrl";
    r.check("Recursive", dl.CheckBoxRecursiveSearch);
    r.section = "Direct";
    r.text("URL", dl.ComboBoxURLDirect);
    r.text("SaveFolder", dl.BtnEditDownloadDirectFolder, R::FolderMustExist);
    r.section = "Tracert";
    r.text("Hostname", f.ip.EditDomain);
    r.section = "Menu";
    r.check("Maximized", f.menu.MenuViewMaximized);
    r.check("StdTopHeight", f.menu.MenuViewStdTopHeight);
    r.section = "PanelMainTop";
    r.add("Height", IniType::Integer, [&f] { return std::to_string(f.panelMainTopHeight()); },
          [&f](const std::string &s) { f.setPanelMainTopHeight(IniParseInt(s, 0)); }, R::PositiveOnly);
    return r.v;
}

void LoadIniSettings(TAMainForm &form, const std::string &FileName)
{
    TIniFile ini(FileName);
    if (ini.exists()) {
        // One snapshot of the file for the whole load.
        const IniDocument doc = ini.read();
        for (const SettingKey &k : settingKeys(form)) {
            if (!k.readable) continue;
            std::string v = doc.value(k.section, k.key, std::string());
            switch (k.rule) {
            case IniRule::None:
                break;
            case IniRule::FileMustExist:
                if (!v.empty() && !fileExists(v)) v.clear();
                break;
            case IniRule::FolderMustExist:
                if (!v.empty() && !folderExists(v)) v.clear();
                break;
            case IniRule::PositiveElse:
                if (IniParseInt(v, 0) <= 0) v = std::to_string(k.fallback);
                break;
            case IniRule::PositiveOnly:
                if (IniParseInt(v, 0) <= 0) continue;
                break;
            }
            k.set(v);
        }
    }
    form.dl.ComboBoxBatchDownloadURL->setEditText(form.dl.ComboBoxUrl->currentText());
}

bool SaveIniSettings(TAMainForm &form, const std::string &FileName, std::string *error)
{
    const std::vector<SettingKey> keys = settingKeys(form);
    TIniFile ini(FileName);
    const bool ok = ini.update([&](IniDocument &doc) {
        for (const SettingKey &k : keys) doc.setValue(k.section, k.key, k.get());
    });
    if (error) *error = ini.lastError();
    return ok;
}

static void reportWriteError(QWidget *parent, const std::string &file, const std::string &why)
{
    ShowMessageBox(parent, QStringLiteral("設定ファイルに書き込めませんでした\r\n\r\n【 ") + fromSjis(file) +
                               QStringLiteral(" 】\r\n") + QString::fromLocal8Bit(why.c_str()));
}

bool SaveIniSettingsReported(TAMainForm &form, const std::string &FileName)
{
    std::string why;
    if (SaveIniSettings(form, FileName, &why)) return true;
    reportWriteError(&form, FileName, why);
    return false;
}

bool ComoBoxSaveToINI(const std::string &IniFile, const std::string &Section, QComboBox *ComboBox, int)
{
    if (IniFile.empty() || Section.empty() || !ComboBox) return true;
    TIniFile ini(IniFile);
    const bool ok = ini.update([&](IniDocument &doc) {
        doc.eraseSection(Section);
        for (int i = 0; i < ComboBox->count(); ++i)
            doc.setValue(Section, Section + std::to_string(i), toSjis(ComboBox->itemText(i)));
    });
    if (!ok) reportWriteError(ComboBox->window(), IniFile, ini.lastError());
    return ok;
}

void ComoBoxLoadFromINI(const std::string &IniFile, const std::string &Section, QComboBox *ComboBox, int)
{
    if (IniFile.empty() || Section.empty() || !ComboBox) return;
    const std::vector<std::string> lines = TIniFile(IniFile).ReadSectionValues(Section);
    ComboBox->clear();
    for (std::string rest : lines) {
        std::string head;
        SplitAtDelimiter("=", rest, head);
        ComboBox->addItem(fromSjis(rest));
    }
}

void ComoBoxClearToINI(const std::string &IniFile, const std::string &Section)
{
    if (IniFile.empty() || Section.empty()) return;
    TIniFile(IniFile).EraseSection(Section);  // a failed erase is not reported
}

void SplitAtDelimiter(const std::string &Delimiter, std::string &Rest, std::string &Head)
{
    const size_t p = Delimiter.empty() ? std::string::npos : Rest.find(Delimiter);
    if (p == std::string::npos) {
        Head = Rest;
        Rest.clear();
        return;
    }
    Head = Rest.substr(0, p);
    Rest = Rest.substr(p + Delimiter.size());
}

bool ReadFormSourcePlace(const std::string &IniFile, FormPlace &place)
{
    TIniFile ini(IniFile);
    if (IniFile.empty() || !ini.exists()) return false;
    const IniDocument doc = ini.read();
    place.top = IniParseInt(doc.value("FormSource", "Top", ""), 0);
    place.left = IniParseInt(doc.value("FormSource", "Left", ""), 0);
    place.width = IniParseInt(doc.value("FormSource", "Width", ""), 0);
    place.height = IniParseInt(doc.value("FormSource", "Height", ""), 0);
    return true;
}

bool WriteFormSourcePlace(const std::string &IniFile, const FormPlace &place)
{
    TIniFile ini(IniFile);
    if (IniFile.empty() || !ini.exists()) return false;
    return ini.update([&](IniDocument &doc) {
        doc.setValue("FormSource", "Top", std::to_string(place.top));
        doc.setValue("FormSource", "Left", std::to_string(place.left));
        doc.setValue("FormSource", "Width", std::to_string(place.width));
        doc.setValue("FormSource", "Height", std::to_string(place.height));
    });
}
