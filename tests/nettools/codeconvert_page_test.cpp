// The two conversion pages on real (offscreen) widgets: files opened and saved through the
// dialog seam, the status texts, the globals, the clipboard roads and the byte-keeping memos.
#include "nettools/CodeConvert.h"
#include "nettools/WebCode.h"
#include "nettools/WebCodePage.h"
#include "platform/QtSjis.h"
#include "support/ByteHex.h"
#include "ConvOracle.h"
#include "text/WebFetch.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace conv_oracle;

namespace {

struct Host {
    QWidget root;
    QTabWidget *top = new QTabWidget(&root), *body = new QTabWidget(&root);
    CodeConvertControls c;
    std::string text, file, saveFile;
    int panelTop = 0, closes = 0, opened = 0, saveAsked = 0;
    std::string openName, saveName;
    QString clipboard;
    std::vector<std::string> launched;
    BrowserLauncher previous;
    std::unique_ptr<CodeConvertPage> page;
    std::unique_ptr<WebCodePage> web;

    Host()
    {
        FormBuilder b(&root);
        for (auto [tabs, name] : {std::pair{top, "PageControlMainTopTab10FileCodeconvert"},
                                  std::pair{body, "PageControlMainBodyTab08Util"},
                                  std::pair{body, "PageControlMainBodyTab09WebCode"}}) {
            auto *sheet = new TTabSheet(tabs);
            sheet->setObjectName(QString::fromLatin1(name));
            tabs->addTab(sheet, QString::fromLatin1(name));
            b.add(sheet);
        }
        c.build(b);
        const TConvPageContext ctx{&text, &file, &saveFile, [this](int h) { panelTop = h; }, [this] { ++closes; }};
        TConvDialogs d;
        d.openFile = [this](QWidget *) { ++opened; return openName; };
        d.saveFile = [this](QWidget *) { ++saveAsked; return saveName; };
        d.clipboardText = [this] { return clipboard; };
        page = std::make_unique<CodeConvertPage>(c, ctx);
        page->dialogs = d;
        web = std::make_unique<WebCodePage>(c, ctx);
        web->dialogs = d;
        for (TRadioGroup *g : {c.RadioGroupUtilCharCode, c.RadioGroupUtilOut, c.RadioGroupLetterCase,
                               c.RadioGroupWebLeftDecode, c.RadioGroupWebLeftEncode, c.RadioGroupWebRightDecode,
                               c.RadioGroupWebRightEncode, c.RadioGroupWebLeftCharCase, c.RadioGroupWebRightCharCase})
            g->setItemIndex(0);
        previous = SetBrowserLauncher([this](const std::vector<std::string> &argv) {
            launched.push_back(argv.back());
            return true;
        });
        root.resize(1200, 800);
        root.show();
    }
    ~Host() { SetBrowserLauncher(previous); }
    QString panel(int i) { return c.StatusBarPageControlMainBodyTab08Util->panelText(i); }
    std::string right() { return memoSjis(c.MemoPageControlMainBodyTab08UtilRight); }
};

const std::string kEucMaster = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">\r\n"
                               "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\xcd\r\n"  // 日本語の文章
                               "\x95\x5c\xb6\xde\r\n";                                  // 表ｶﾞ

} // namespace

TEST(CodeConvertPage, OpensAnEucFileAndSavesItAsUtf8)
{
    QTemporaryDir dir;
    Host h;
    const std::string src = dir.filePath(QStringLiteral("euc.html")).toStdString();
    writeBytes(src, must("iconv -f CP932 -t EUC-JP-MS", kEucMaster));
    h.c.RadioGroupUtilCharCode->setItemIndex(cvEuc);
    h.openName = src;
    h.c.ToolButtonPageControlMainBodyTab08UtilOpen->click();

    const std::string want = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
                             "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\xcd\r\n\x95\x5c\xb6\xde\r\n";
    EXPECT_EQ(h.right(), want) << hex(h.right());
    EXPECT_FALSE(h.c.MemoPageControlMainBodyTab08UtilLeft->toPlainText().isEmpty());
    EXPECT_EQ(h.panel(1), QStringLiteral("[ ") + QString::fromStdString(src) + QStringLiteral(" ]"));
    EXPECT_EQ(h.file, src);
    EXPECT_EQ(h.saveFile, src);

    // Left to right by the output item gives the text once, its declaration named Shift_JIS.
    h.c.RadioGroupUtilOut->setItemIndex(cvEuc);
    h.c.btnUtilCodeConversion->click();
    EXPECT_EQ(h.right(), want) << hex(h.right());

    h.c.RadioGroupUtilOut->setItemIndex(cvUtf8);
    h.c.CheckBoxOpenIEAfterConversion->setChecked(true);
    const std::string out = dir.filePath(QStringLiteral("out/utf8.html")).toStdString();
    h.saveName = out;
    h.c.btnPageControlMainBodyTab08UtisaveWithName->click();
    EXPECT_EQ(readBytes(out), must("iconv -f CP932 -t UTF-8", ReplaceAll(h.right(), "Shift_JIS", "UTF-8")));
    EXPECT_EQ(h.panel(2), QStringLiteral(" Saved!! [ ") + QString::fromStdString(out) + QStringLiteral(" ]"));
    EXPECT_EQ(h.file, out);
    EXPECT_EQ(h.saveFile, out);
    ASSERT_EQ(h.launched.size(), 1u);

    // The overwrite save writes the edited pane to the same file.
    h.c.MemoPageControlMainBodyTab08UtilRight->setPlainText(QStringLiteral("あ"));
    h.c.ToolButtonPageControlMainBodyTab08UtiSave->click();
    EXPECT_EQ(readBytes(out), "\xE3\x81\x82\r\n");
    EXPECT_EQ(h.saveAsked, 1);
}

// A name the save routine refuses is reported as not saved, and neither global follows it.
TEST(CodeConvertPage, RefusedNamesAreNotReportedSaved)
{
    QTemporaryDir dir;
    const std::string blocker = dir.filePath(QStringLiteral("plain-file")).toStdString();
    writeBytes(blocker, "x");
    const std::string names[] = {
        dir.filePath(QStringLiteral("http%3A%2F%2Fexample.com%2Fa.html")).toStdString(),  // looks like a URL
        blocker + "/inside.html",                                                         // its folder cannot be made
    };
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        Host h;
        h.file = h.saveFile = "before.txt";
        h.c.CheckBoxOpenIEAfterConversion->setChecked(true);
        h.c.MemoPageControlMainBodyTab08UtilRight->setPlainText(QStringLiteral("本文"));
        h.saveName = name;
        h.c.ToolButtonPageControlMainBodyTab08UtisaveWithName->click();
        EXPECT_EQ(h.panel(2), QStringLiteral(" 保存できませんでした [ ") + fromSjis(name) + QStringLiteral(" ]"));
        EXPECT_EQ(h.file, "before.txt");
        EXPECT_EQ(h.saveFile, "before.txt");
        EXPECT_TRUE(h.launched.empty());
    }
}

TEST(CodeConvertPage, SaveWithoutAFileAsksForAName)
{
    Host h;
    h.c.ToolButtonPageControlMainBodyTab08UtiSave->click();
    EXPECT_EQ(h.saveAsked, 0) << "an empty pane saves nothing";
    h.c.MemoPageControlMainBodyTab08UtilRight->setPlainText(QStringLiteral("本文"));
    h.c.ToolButtonPageControlMainBodyTab08UtiSave->click();
    EXPECT_EQ(h.saveAsked, 1);
    EXPECT_TRUE(h.panel(2).isEmpty()) << "a cancelled dialog reports nothing";
}

TEST(CodeConvertPage, ClipboardRoads)
{
    Host h;
    h.c.MemoPageControlMainBodyTab08UtilLeft->setPlainText(QStringLiteral("左"));
    h.clipboard = QStringLiteral("<meta charset=\"utf-8\">\n本文");
    h.c.ToolButtonPasteFromClipboard->click();
    EXPECT_EQ(h.right(), "<meta charset=\"Shift_JIS\">\r\n\x96\x7b\x95\xb6");
    EXPECT_EQ(h.c.MemoPageControlMainBodyTab08UtilLeft->toPlainText(), QStringLiteral("左"));
    EXPECT_EQ(h.file, "clipborad.text");
    EXPECT_EQ(h.saveFile, "clipborad.text");
    EXPECT_EQ(h.panel(1), QStringLiteral("[ clipborad.text ]"));

    h.clipboard = QStringLiteral("貼付け");
    h.c.btnUtilCodeClipboard2MemoPageControlMainBodyTab08UtilLeft->click();
    EXPECT_EQ(h.c.MemoPageControlMainBodyTab08UtilLeft->toPlainText(), QStringLiteral("貼付け"));
    EXPECT_EQ(h.text, toSjis(QStringLiteral("貼付け")));
    h.c.ToolButtonPageControlMainBodyTab08UtilExit->click();
    EXPECT_EQ(h.closes, 1);
}

TEST(WebCodePage, EncodesDecodesAndKeepsBytes)
{
    Host h;
    h.clipboard = QStringLiteral("あ");
    h.c.btnWebCodeLeftPaste->click();
    EXPECT_EQ(h.panelTop, 40);
    h.c.RadioGroupWebLeftEncode->setItemIndex(wcWebHex);
    h.c.btnWebCodeLeftEncode->click();
    EXPECT_EQ(h.c.MemolPageControlMainBodyTab09WebCodeConvSrc->toPlainText(), QStringLiteral("%82%a0"));

    // The right side's encode: the result on the left bottom, its escapes upper-cased on the right.
    h.clipboard = QStringLiteral("ヂ");
    h.c.btnWebCodeRightPaste->click();
    h.c.RadioGroupWebRightEncode->setItemIndex(wcWebHex);
    h.c.btnWebCodeRightEncode->click();
    EXPECT_EQ(h.c.MemolPageControlMainBodyTab09WebCodeLeftResult->toPlainText(), QStringLiteral("%83%61"));
    EXPECT_EQ(h.c.MemolPageControlMainBodyTab09WebCodeConvResult->toPlainText(), QStringLiteral("%83%61"));
    h.c.MemolPageControlMainBodyTab09WebCodeConvSrc->setPlainText(QStringLiteral("あ"));
    h.c.btnWebCodeRightEncode->click();
    EXPECT_EQ(h.c.MemolPageControlMainBodyTab09WebCodeLeftResult->toPlainText(), QStringLiteral("%82%a0"));
    EXPECT_EQ(h.c.MemolPageControlMainBodyTab09WebCodeConvResult->toPlainText(), QStringLiteral("%82%A0"));

    // EUC-JP bytes cannot be shown as they are; the memo keeps them, so decoding gives the text.
    h.c.RadioGroupWebLeftEncode->setItemIndex(wcEuc);
    h.c.btnWebCodeLeftEncode->click();
    EXPECT_EQ(h.web->ConvSrc.bytes(), "\xA4\xA2");
    h.c.RadioGroupWebRightDecode->setItemIndex(wcEuc);
    h.c.btnWebCodeRightDecode->click();
    EXPECT_EQ(h.c.MemolPageControlMainBodyTab09WebCodeLeftResult->toPlainText(), QStringLiteral("あ"));

    // "Unicode" writes no right-side copy, and the right bottom is emptied.
    h.c.RadioGroupWebRightEncode->setItemIndex(wcUnicode);
    h.c.btnWebCodeRightEncode->click();
    EXPECT_TRUE(h.c.MemolPageControlMainBodyTab09WebCodeConvResult->toPlainText().isEmpty());

    // What the user types replaces the bytes.
    h.c.MemolPageControlMainBodyTab09WebCodeConvSrc->setPlainText(QStringLiteral("%e3%81%82"));
    h.c.RadioGroupWebRightDecode->setItemIndex(wcHexUtf8);
    h.c.btnWebCodeRightDecode->click();
    EXPECT_EQ(h.c.MemolPageControlMainBodyTab09WebCodeLeftResult->toPlainText(), QStringLiteral("あ"));

    // An empty source does nothing; the clear buttons empty their memo.
    h.c.btnWebCodeLeftTopClear->click();
    h.c.btnWebCodeLeftDecode->click();
    EXPECT_EQ(h.web->ConvSrc.bytes(), "%e3%81%82");
    h.c.btnWebCodeRightTopClear->click();
    EXPECT_TRUE(h.web->ConvSrc.bytes().empty());
    h.c.sbWebCodeExit->click();
    EXPECT_EQ(h.closes, 1);
}
