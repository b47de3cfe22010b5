// The main window's reset routines: start values, current-file reset, return to the
// initial state, and the list-box set-up and clearing that the pages call.
#include "mainwindow/TAMainForm.h"
#include <QTextBlockFormat>
#include <QTextCursor>

// Paragraph first-line indent and default weight of a source view.
static void setSourceViewFormat(QPlainTextEdit *e, int indent, bool bold)
{
    QTextBlockFormat bf;
    bf.setTextIndent(indent);
    QTextCursor c(e->document());
    c.select(QTextCursor::Document);
    c.mergeBlockFormat(bf);
    QFont f = e->font();
    f.setBold(bold);
    e->document()->setDefaultFont(f);
}

void TAMainForm::Initialize()
{
    frame.PageControlMainBody->hide();
    state_.InitializeGlobals();

    for (TRadioGroup *g :
         {dl.RadioGroupCharCodeMode, dl.RadioGroupViewAfterSave, net.RadioGroupIME, net.RadioGroupGooleSearchType,
          net.RadioGroupSearchNoList, gui.RadioGroupGULocalFileICharCode, dl.RadioGroupWebCharCode,
          conv.RadioGroupWebLeftDecode, conv.RadioGroupWebLeftEncode, conv.RadioGroupWebRightDecode,
          conv.RadioGroupWebRightEncode, conv.RadioGroupWebLeftCharCase, conv.RadioGroupWebRightCharCase,
          gui.RadioGroupRemoveIndentComment, gui.RadioGroupGUIHTMLOption, gui.RadioGroupTDIndentation,
          gui.RadioGroupIndentImgAlt, dl.RadioGroupRemoveCSSRoot, dl.RadioGroupRemoveLinkCSSRoot,
          gui.RadioGroupHTMLNodePosition, dl.RadioGroupCSSJavaChangeChaCode, dl.RadioGroupWebRoot,
          gui.RadioGroupEmptyElement, dl.RadioGroupRomoveHTMLSrcRoot, dl.RadioGroupRemoveHrefRoot,
          dl.RadioGroupRemoveRelativeUp, dl.RadioGroupRemoveUrlRoot, dl.RadioGroupRemoveUrlRelative,
          dl.RadioGroupCloseAllIEBeforeOpen, conv.RadioGroupUtilOut, gui.RadioGroupWebGUICSS, gui.RadioGroupWebGUIJAVA,
          dl.RadioGroupIEOpenWithTargetUrl, dl.RadioGroupIndividual, dl.RadioGroupRemoveUrlRootIndividual,
          gui.RadioGroupAdjustHTMLTree, dl.RadioGroupWebHreffRoot, gui.RadioGroupPageControlGUIRightTopEntireSrc,
          dl.RadioGroupFrameSetCharCode, conv.RadioGroupUtilCharCode, conv.RadioGroupLetterCase,
          gui.RadioGroupCommntBar})
        g->setItemIndex(0);
    convi.RadioGroupWikipedia->setItemIndex(1);
    convi.RadioGroupYouTube->setItemIndex(1);

    gui.SpinEditGUIGUIdMaxlen->setValue(100);
    net.SpinEditBatchBrowseStart->setValue(1);
    net.SpinEditBatchBrowseCount->setValue(20);
    dl.SpinEditMainTopPanelHeight->setValue(650);

    for (TLabel *l : {dl.LabelDownloadAllCSS, dl.LabelSaveCSS, dl.LabelSaveImage, dl.LabeSaveHTML,
                      dl.LabelDownloadDirectWebFilename, dl.LabelDownloadDirectLocalFilename,
                      gui.LabelPanelPageControlMainBodyDHTMLTop, dl.LabelDownloadURLRoot, dl.LabelDownloadUrlPage})
        l->clear();
    net.EditCurrentLinkURL->setEditText(QString());
    dl.LabelDownloadedFile->setText(QStringLiteral(
        "ﾀﾞｳﾝﾛｰﾄﾞが終わらない場合は「 ﾀﾞｳﾝﾛｰﾄﾞ中止 」ﾎﾞﾀﾝをｸﾘｯｸしてください（ﾌﾟﾛｸﾞﾗﾑを閉じても中止されます） "));

    for (TRichEdit *r : {net.RichEditBaseBrowserScript, net.RichEditBaseBrowserStyleSheet,
                         net.RichEditBaseBrowserTab07JSFile, net.RichEditBaseBrowserRaw}) {
        setSourceViewFormat(r, 20, r != net.RichEditBaseBrowserRaw);
    }
    FileReset();
}

void TAMainForm::FileReset()
{
    state_.FileResetGlobals();
    gui.RadioGroupRemoveIndentComment->setItemIndex(0);
    dl.RadioGroupWebCharCode->setItemIndex(0);
    dl.LabelSelectedUrlComboBoxNo->setText(QStringLiteral(" "));
    batch.SpinEditLinkStart->setValue(1);
    batch.SpinEditLinkCount->setValue(20);
    net.SpinEditBatchBrowseStart->setValue(1);
    net.SpinEditBatchBrowseCount->setValue(5);
    gui.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All->clear();
    dl.RichEditpageHTML->clear();
    dl.RichEditDownload->clear();
    dl.MemoDownloadText->clear();
    for (TLabel *l : {gui.LabelGUICSS, gui.LabelGUISelectedCSS, gui.LabelGUISelectedJAVA, gui.LabelGUIJAVA,
                      gui.LabelGUICSSLineColumn})
        l->clear();
    ip.EditDomain->clear();
    gui.ListBoxGUITDSrcLine->clear();
    dl.WebBrowserMain->Navigate(QStringLiteral("about:blank"));
    dl.btnDownloadStop->setEnabled(true);
}

void TAMainForm::ReleaseInitialize()
{
    state_.GProjectFile.clear();
    state_.GGlobalFile.clear();
    state_.GDefaultFolder.clear();
    state_.GSaveDefaultFolder.clear();
    state_.GWebRoot.clear();
    for (QLineEdit *e :
         {dl.EditPageUrl, dl.EditCSSDomain, dl.EditCSSBaseDir, static_cast<QLineEdit *>(dl.BtnEditCSSLocalFolder),
          static_cast<QLineEdit *>(dl.BtnEditCSSSaveFolder), static_cast<QLineEdit *>(dl.BtnEditSaveFile),
          dl.EditBaseWebDir, static_cast<QLineEdit *>(dl.BtnEditHTMLPageSaveFolder),
          static_cast<QLineEdit *>(dl.BtnEditLocalFilename), dl.EditWebFile,
          static_cast<QLineEdit *>(dl.BtnEditWebSaveLocalFile), static_cast<QLineEdit *>(dl.BtnEditWebSaveLocalFileFolder),
          dl.EditImageSearch, dl.EditDownloadLWebFileIndividual,
          static_cast<QLineEdit *>(dl.BtnEditDownloadLocalFileIndividual), dl.EditSelecetedServerDirectory,
          static_cast<QLineEdit *>(dl.BtnEditTriedWebFileSaveFolder), dl.EditCanNotObtainedSeverUrl,
          dl.EditCanNotObtainedWebUrl, static_cast<QLineEdit *>(dl.BtnEditDownloadLocalFile),
          static_cast<QLineEdit *>(dl.BtnEditDownloadDirectFolder),
          static_cast<QLineEdit *>(dl.BtnEditDownloadDirectLocalFilename), gui.EditSearcGUISrcKeyWord,
          gui.EditGUISearchWord, gui.EditGUIReplaceWord, gui.EditSearcGUIOrgSrcKeyWord,
          gui.EditPageControllGUIRightTab02AllHTMLSrcTab04Afterrc, gui.EditIndentListSearch,
          batch.EditPanelPanelPageControlMainTopTab07BatchPageView, ip.EditDomain, ip.edtIP})
        e->clear();
    for (QComboBox *c : {net.edGoogleSearch, net.edGoogleURL, fav.edFavUrl, fav.edFavTarget, dl.ComboBoxUrl,
                         gui.ComboBoxGUIEditorURL, dl.ComboBoxDirectUrl, dl.ComboBoxURLDirect, ip.edtHost})
        c->setEditText(QString());

    for (TCheckBox *c : {net.CheckBoxBatchSearchBrowse, dl.CheckBoxSaveLocalFile}) c->setChecked(true);
    // The saved copy opens in the desktop's browser only when the user ticks this.
    dl.CheckBoxOpenIE->setChecked(false);
    for (TCheckBox *c : {net.CheckBoxCloseNewSearch, net.CheckBoxTextFromBrowser, dl.CheckBoxInhibitBrowser,
                         dl.CheckBoxOpenIEWithWeb, dl.CheckBoxHtm, dl.CheckBoxGoImmediate, dl.CheckBoxDoNotEmptyFolder,
                         net.CheckBoxDontCreateTab})
        c->setChecked(false);
    menu.MenuViewStdTopHeight->setChecked(false);

    dl.RadioGroupCharCodeMode->setItemIndex(0);
    dl.RadioGroupRemoveRelativeUp->setItemIndex(1);

    net.SpinEditBatchBrowseStart->setValue(1);
    net.SpinEditBatchBrowseCount->setValue(5);
    dl.SpinEditMainTopPanelHeight->setValue(650);
    batch.SpinEditLinkStart->setValue(1);
    batch.SpinEditLinkCount->setValue(10);
    setPanelMainTopHeight(dl.SpinEditMainTopPanelHeight->value());
    gui.PanelPageControlMainBodyDHTMLTop->setFixedHeight(145);
}

void TAMainForm::ListboxInitialize()
{
    const struct {
        TListBox *box;
        QVector<int> stops;
        int extent;
    } rows[] = {
        {dl.ListBoxFrameSet, {1, 400, 0}, 900},
        {dl.ListBoxObtainedCSS, {1, 300, 0}, 900},
        {dl.ListBoxMainTopDownloadList, {1, 400, 0}, 900},
        {dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS, {1, 300, 0}, 900},
        {dl.ListBoxBodyImageDownloaded, {1, 260, 0}, 900},
        {dl.ListBoxBodyPageCSSImage, {1, 300, 0}, 900},
        {dl.ListBoxGetWebFileList, {1, 300, 0}, 900},
        {dl.ListBoxCSSDownloadedFile, {1, 300, 0}, 900},
        {dl.ListBoxZZCSSFile, {1, 200, 0}, 900},
        {dl.ListBoxAdjLocalFile, {1, 250, 0}, 900},
        {dl.ListBoxDownloadMainBodyObtainImageFile, {1, 400, 0}, 900},
        {dl.ListBoxInnerUrlCSS, {1, 400, 0}, 900},
        {gui.ListBoxGUITDResultLine, {}, 900},
        {gui.ListBoxGUITDSrcLine, {1, 50, 0}, 900},
        {dl.ListBoxDownloadMainBodyObtainImageFileWeb, {1, 400, 0}, 900},
        {dl.ListBoxDownloadedLocalFile, {1, 400, 0}, 900},
        {dl.ListBoxTriedWebFile, {1, 300, 0}, 900},
        {dl.ListBoxFoundWebFile, {1, 300, 0}, 900},
        {dl.ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile, {1, 300, 0}, 900},
        {dl.ListBoxAdjusttedCSS, {1, 300, 300}, 900},
        {batch.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView, {1, 80, 300}, 900},
        {dl.ListBoxCSSLocalFilename, {1, 30, 300}, 900},
        {dl.ListBoxWebRawWinFile, {1, 300, 300}, 900},
        {dl.ListBoxWebMaskedWinFile, {1, 300, 300}, 900},
        {dl.ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained, {1, 100, 300}, 900},
        {dl.ListBoxAbsExistFile, {1, 200, 300}, 900},
        {net.ListBoxPageControlBaseBrowserTab08SearchList, {1, 280, 600}, 1000},
        {dl.ListBoxReplaceFileList, {1, 100, 300}, 900},
        {gui.ListBoxGUICSSColorList, {1, 100, 300}, 900},
        {dl.ListBoxWeb2WinFile, {1, 100, 300}, 900},
        {dl.ListBoxPageControlMainBodyTab09NotFoundRightTab03CSS, {1, 100, 300}, 900},
    };
    // Dialog units to pixels: a quarter of the average character width per unit.
    const int unit = std::max(1, fontMetrics().averageCharWidth() / 4);
    for (const auto &r : rows) {
        QVector<int> px;
        for (int s : r.stops)
            if (s > 1) px << s * unit;
        r.box->setTabStops(px);
        r.box->setHorizontalExtent(r.extent);
    }
}

void TAMainForm::ListBoxAllClear()
{
    for (TListBox *b :
         {dl.ListBoxBodyPageCSSImage, dl.ListBoxBodyImageDownloaded, dl.ListBoxMainTopCSSUrlImage,
          dl.ListBoxMainTopDownloadList, dl.ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained,
          dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS, dl.ListBoxPageOther, dl.ListBoxWebPageCSS,
          dl.ListBoxCSSLocalFilename, dl.ListBoxCSSDownloadedFile, dl.ListBoxDowloadLocalFile, dl.ListBoxAdjLocalFile,
          dl.ListBoxPageCSS, dl.ListBoxObtainedCSS, dl.ListBoxGetWebFileList, dl.ListBoxInnerUrlCSS,
          dl.ListBoxDownloadedCSSFile, dl.ListBoxPageControlMainTopRightTab11WebDir,
          dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile,
          dl.ListBoxMainBodyTab04GetwebFileListRightTab03CSSNotGetFileList, dl.ListBoxFoundWebFile,
          dl.ListBoxTriedWebFile, dl.ListBoxPageControlDownloadRightTab02CSSWebFilename,
          dl.ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile,
          dl.ListBoxPageControlMainBodyTab09NotFoundRightTab03CSS, dl.ListBoxAdjustCSSRoot,
          dl.ListBoxComprehensiveCSSList, gui.ListBoxGUICSS, gui.ListBoxGUICSSAll, gui.ListBoxGUICSSColorList,
          gui.ListBoxWebGUILeftTab05CSSTab02Sector, gui.ListBoxWebGUILeftTab05CSSTab03Search, gui.ListBoxGUICSSFile,
          gui.ListBoxJAVASearch, dl.ListBoxPageControlMainBodyTab04WebFileListRightTab04CSS,
          dl.ListBoxPageControlMainBodyTab04LocalFileListRightTab04CSS})
        b->clear();
    for (SharedList l : {SharedList::GJsDownloadLog, SharedList::GCssUrlList, SharedList::GCssImportLines,
                         SharedList::GAdjustCssFiles})
        state_.list(l).clear();
    for (TMemo *m : std::initializer_list<TMemo *>{gui.MemoGUICSS, gui.MemoGUICSSIndiv, gui.MemoGUICSSInner, gui.MemoGUIJAVA, gui.MemoGUIJJavaIndiv,
                     gui.MemoGUIJJavaIndivInner, dl.MemoPageControlMainBodyTab09CantObtainedRightTab02CSSWebfile,
                     dl.MemoPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile, dl.MemoDownloadHTMLText})
        m->clear();
    gui.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All->clear();
    dl.RichEditpageHTML->clear();
    StatusBar1->clearPanels();
}

void TAMainForm::LocalListTextAllClear()
{
    gui.ListBoxGUICSS->clear();
    gui.ListBoxGUICSSAll->clear();
    gui.ListBoxGUIJAVA->clear();
    gui.MemoGUICSS->clear();
    gui.LabelGUICSS->clear();
    gui.LabelGUIJAVA->clear();
}
