#include "nettools/CodeConvertPage.h"

#include "nettools/CodeConvert.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/WebFetch.h"

#include <QApplication>
#include <QBoxLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QClipboard>
#include <QFileDialog>
#include <QStyle>
#include <sys/stat.h>

namespace {

// A chosen name that Shift_JIS cannot hold would come back naming another file.
std::string sjisPathOrEmpty(const QString &path)
{
    if (path.isEmpty()) return {};
    const std::string s = toSjis(path);
    return fromSjis(s) == path ? s : std::string();
}

bool fileExists(const std::string &sjisPath)
{
    if (sjisPath.empty()) return false;
    struct stat st {};
    return ::stat(ToSystemPath(sjisPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

QString q(const std::string &sjis) { return fromSjis(sjis); }

}  // namespace

TConvDialogs TConvDialogs::system()
{
    TConvDialogs d;
    d.openFile = [](QWidget *parent) {
        return sjisPathOrEmpty(QFileDialog::getOpenFileName(
            parent, QString(), QString(),
            QStringLiteral("ﾃｷｽﾄ・HTML (*.txt *.htm *.html *.css *.js *.xml);;すべてのﾌｧｲﾙ (*)")));
    };
    // The dialog asks before it lets an existing file be chosen.
    d.saveFile = [](QWidget *parent) {
        return sjisPathOrEmpty(QFileDialog::getSaveFileName(
            parent, QString(), QString(),
            QStringLiteral("ﾃｷｽﾄ・HTML (*.txt *.htm *.html *.css *.js *.xml);;すべてのﾌｧｲﾙ (*)")));
    };
    d.clipboardText = [] { return QApplication::clipboard()->text(); };
    return d;
}

std::string memoSjis(const TMemo *memo)
{
    return textSjis(memo->toPlainText());
}

std::string textSjis(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return toSjis(text);
}

void setMemoSjis(TMemo *memo, const std::string &sjis)
{
    QString t = fromSjis(sjis);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    memo->setPlainText(t);
}

CodeConvertPage::CodeConvertPage(CodeConvertControls &c, TConvPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    const QStringList codes{QStringLiteral("自動"),    QStringLiteral("Shift_JIS"), QStringLiteral("EUC-JP"),
                            QStringLiteral("UTF-8"),   QStringLiteral("Unicode"),   QStringLiteral("UTF-8N"),
                            QStringLiteral("ISO(JIS)")};
    c.RadioGroupUtilCharCode->setItems(codes);
    QStringList out = codes;
    out[0] = QStringLiteral("そのまま");
    c.RadioGroupUtilOut->setItems(out);
    c.RadioGroupLetterCase->setItems({QStringLiteral("何もしない"), QStringLiteral("小文字に変換")});
    // The encoding groups lie in one row of columns, the letter case in two.
    for (TRadioGroup *g : {c.RadioGroupUtilCharCode, c.RadioGroupUtilOut, c.RadioGroupLetterCase})
        if (auto *box = qobject_cast<QBoxLayout *>(g->layout())) box->setDirection(QBoxLayout::LeftToRight);
    // Three rows: the tools, the two encodings, the output options and buttons.
    QWidget *top = c.PanelPageControlMainBodyTab08UtilTop;
    delete top->layout();
    auto *rows = new QVBoxLayout(top);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(2);
    const QList<QList<QWidget *>> rowWidgets{
        {c.ToolButtonPageControlMainBodyTab08UtilOpen, c.ToolButtonPasteFromClipboard,
         c.ToolButtonPageControlMainBodyTab08UtiRelOpen, c.ToolButtonPageControlMainBodyTab08UtiSave,
         c.ToolButtonPageControlMainBodyTab08UtisaveWithName, c.ToolButtonPageControlMainBodyTab08UtiSerach,
         c.ToolButtonPageControlMainBodyTab08UtilExit},
        {c.RadioGroupUtilCharCode, c.RadioGroupUtilOut},
        {c.RadioGroupLetterCase, c.CheckBoxOpenIEAfterConversion, c.btnUtilCodeConversion,
         c.btnUtilCodeClipboard2MemoPageControlMainBodyTab08UtilLeft, c.btnPageControlMainBodyTab08UtisaveWithName}};
    for (const auto &ws : rowWidgets) {
        auto *row = new QHBoxLayout;
        row->setSpacing(4);
        for (QWidget *w : ws) row->addWidget(w);
        row->addStretch(1);
        rows->addLayout(row);
    }
    top->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    c.SplitterPageControlMainBodyTab08Util->setOrientation(Qt::Horizontal);
    c.StatusBarPageControlMainBodyTab08Util->setPanelWidths({100, 500, 500, 300});
    c.StatusBarPageControlMainBodyTab08Util->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    c.MemoPageControlMainBodyTab08UtilRight->setToolTip(QStringLiteral("変更するのは「 右 」ﾍﾟｲﾝです"));

    QStyle *st = QApplication::style();
    struct Tool {
        TSpeedButton *b;
        QStyle::StandardPixmap icon;
        const char *hint;
        void (CodeConvertPage::*h)();
    };
    const Tool tools[] = {
        {c.ToolButtonPageControlMainBodyTab08UtilOpen, QStyle::SP_DialogOpenButton, "開く（ 読み込む ）",
         &CodeConvertPage::ToolButtonPageControlMainBodyTab08UtilOpenClick},
        {c.ToolButtonPasteFromClipboard, QStyle::SP_FileDialogContentsView, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼付け",
         &CodeConvertPage::ToolButtonPasteFromClipboardClick},
        {c.ToolButtonPageControlMainBodyTab08UtiRelOpen, QStyle::SP_BrowserReload,
         "すでに開いていたﾌｧｲﾙを再度、開く（ 読み込む ）",
         &CodeConvertPage::ToolButtonPageControlMainBodyTab08UtiRelOpenClick},
        {c.ToolButtonPageControlMainBodyTab08UtiSave, QStyle::SP_DialogSaveButton, "上書き保存",
         &CodeConvertPage::ToolButtonPageControlMainBodyTab08UtiSaveClick},
        {c.ToolButtonPageControlMainBodyTab08UtisaveWithName, QStyle::SP_DriveFDIcon,
         "「 右 」ﾍﾟｲﾝのﾃｷｽﾄを名前を付けて保存",
         &CodeConvertPage::ToolButtonPageControlMainBodyTab08UtisaveWithNameClick},
        {c.ToolButtonPageControlMainBodyTab08UtiSerach, QStyle::SP_ArrowForward, "",
         &CodeConvertPage::ToolButtonPageControlMainBodyTab08UtiSerachClick},
        {c.ToolButtonPageControlMainBodyTab08UtilExit, QStyle::SP_DialogCloseButton, "終了",
         &CodeConvertPage::ToolButtonPageControlMainBodyTab08UtilExitClick},
    };
    for (const Tool &t : tools) {
        t.b->setIcon(st->standardIcon(t.icon));
        t.b->setToolTip(QString::fromUtf8(t.hint));
        connect(t.b, &QToolButton::clicked, this, t.h);
    }
    connect(c.btnUtilCodeConversion, &QPushButton::clicked, this, &CodeConvertPage::btnUtilCodeConversionClick);
    connect(c.btnUtilCodeClipboard2MemoPageControlMainBodyTab08UtilLeft, &QPushButton::clicked, this,
            &CodeConvertPage::btnUtilCodeClipboard2MemoPageControlMainBodyTab08UtilLeftClick);
    connect(c.btnPageControlMainBodyTab08UtisaveWithName, &QPushButton::clicked, this,
            &CodeConvertPage::btnPageControlMainBodyTab08UtisaveWithNameClick);
}

int CodeConvertPage::UtilFileOpen(const std::string &FileName, int Source)
{
    std::string text;
    if (Source == 0) {
        std::string bytes;
        // A missing file reads as an empty text; one that is there but unreadable changes nothing.
        if (!ReadFileBytes(FileName, bytes) && fileExists(FileName)) {
            c_.StatusBarPageControlMainBodyTab08Util->setPanelText(
                1, QStringLiteral(" 読み込めませんでした [ ") + q(FileName) + QStringLiteral(" ]"));
            return 0;
        }
        const TConvRead r = ReadConvSource(std::move(bytes), c_.RadioGroupUtilCharCode->itemIndex());
        *ctx_.GConvText = r.Source;
        setMemoSjis(c_.MemoPageControlMainBodyTab08UtilLeft, r.Source);
        text = r.Text;
    } else {
        *ctx_.GConvText = textSjis(dialogs.clipboardText ? dialogs.clipboardText() : QString());
        text = FinishConvText(*ctx_.GConvText);
    }
    setMemoSjis(c_.MemoPageControlMainBodyTab08UtilRight, text);
    *ctx_.GConvFile = FileName;
    *ctx_.GConvSaveFile = *ctx_.GConvFile;
    c_.StatusBarPageControlMainBodyTab08Util->setPanelText(1, QStringLiteral("[ ") + q(FileName) + QStringLiteral(" ]"));
    return 0;
}

void CodeConvertPage::UtilCodeConversion(const std::string &Text)
{
    setMemoSjis(c_.MemoPageControlMainBodyTab08UtilRight, ConvertLeftToRight(Text, c_.RadioGroupUtilOut->itemIndex()));
}

bool CodeConvertPage::UtilSaveFile(const std::string &FileName)
{
    const std::string bytes = BuildSaveBytes(memoSjis(c_.MemoPageControlMainBodyTab08UtilRight),
                                             c_.RadioGroupUtilOut->itemIndex(), c_.RadioGroupLetterCase->itemIndex());
    const SaveResult r = SaveTextFile(bytes, FileName);
    if (r.ok() && c_.CheckBoxOpenIEAfterConversion->isChecked() && fileExists(r.Path)) OpenUrlInBrowser(r.Path);
    return r.ok();
}

void CodeConvertPage::reportSaved(const std::string &name, bool ok)
{
    c_.StatusBarPageControlMainBodyTab08Util->setPanelText(
        2, (ok ? QStringLiteral(" Saved!! [ ") : QStringLiteral(" 保存できませんでした [ ")) + q(name) +
               QStringLiteral(" ]"));
}

void CodeConvertPage::ToolButtonPageControlMainBodyTab08UtilOpenClick()
{
    const std::string name = dialogs.openFile ? dialogs.openFile(c_.MemoPageControlMainBodyTab08UtilLeft->window()) : "";
    if (name.empty()) return;
    UtilFileOpen(name, 0);
    if (c_.MemoPageControlMainBodyTab08UtilRight->toPlainText().isEmpty())
        c_.MemoPageControlMainBodyTab08UtilRight->setPlainText(c_.MemoPageControlMainBodyTab08UtilLeft->toPlainText());
}

void CodeConvertPage::ToolButtonPasteFromClipboardClick()
{
    UtilFileOpen("clipborad.text", 1);
}

void CodeConvertPage::ToolButtonPageControlMainBodyTab08UtiRelOpenClick()
{
    if (fileExists(*ctx_.GConvSaveFile)) UtilFileOpen(*ctx_.GConvSaveFile, 0);
    else ToolButtonPageControlMainBodyTab08UtilOpenClick();
}

void CodeConvertPage::ToolButtonPageControlMainBodyTab08UtiSaveClick()
{
    if (c_.MemoPageControlMainBodyTab08UtilRight->toPlainText().isEmpty()) return;
    if (fileExists(*ctx_.GConvFile)) {
        const std::string name = *ctx_.GConvFile;
        reportSaved(name, UtilSaveFile(name));
    } else {
        ToolButtonPageControlMainBodyTab08UtisaveWithNameClick();
    }
}

void CodeConvertPage::ToolButtonPageControlMainBodyTab08UtisaveWithNameClick()
{
    if (c_.MemoPageControlMainBodyTab08UtilRight->toPlainText().isEmpty()) return;
    const std::string name = dialogs.saveFile ? dialogs.saveFile(c_.MemoPageControlMainBodyTab08UtilRight->window()) : "";
    if (name.empty()) return;
    const bool ok = UtilSaveFile(name);
    // A name that was not written is no file to re-open or overwrite.
    if (ok) {
        *ctx_.GConvFile = name;
        *ctx_.GConvSaveFile = *ctx_.GConvFile;
    }
    reportSaved(name, ok);
}

void CodeConvertPage::ToolButtonPageControlMainBodyTab08UtiSerachClick()
{
    if (fileExists(*ctx_.GConvSaveFile)) OpenUrlInBrowser(*ctx_.GConvSaveFile);
}

void CodeConvertPage::btnUtilCodeConversionClick()
{
    if (!ctx_.GConvText->empty()) UtilCodeConversion(*ctx_.GConvText);
}

void CodeConvertPage::btnUtilCodeClipboard2MemoPageControlMainBodyTab08UtilLeftClick()
{
    const QString clip = dialogs.clipboardText ? dialogs.clipboardText() : QString();
    *ctx_.GConvText = textSjis(clip);
    c_.MemoPageControlMainBodyTab08UtilLeft->setPlainText(clip);
}

void CodeConvertPage::ToolButtonPageControlMainBodyTab08UtilExitClick()
{
    if (ctx_.closeMainWindow) ctx_.closeMainWindow();
}
