#include "mainwindow/SmallForms.h"
#include "mainwindow/Settings.h"
#include "mainwindow/TAMainForm.h"
#include "platform/IniFile.h"
#include "platform/RichEditTools.h"
#include "platform/TRichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QVBoxLayout>

TFormSource::TFormSource(QWidget *parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormSource"));
    setWindowTitle(QStringLiteral("ＨＴＭＬソースの表示"));
    resize(510, 411);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    // The remembered size wins over the width of the button row.
    lay->setSizeConstraint(QLayout::SetNoConstraint);
    auto *panel = new TPanel(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(2, 2, 2, 2);
    auto button = [&](TSpeedButton *&b, const char *name, const QString &caption) {
        b = new TSpeedButton(panel);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        row->addWidget(b);
    };
    button(SpeedButton1, "SpeedButton1", QStringLiteral("閉じる"));
    button(btnTextBlack, "btnTextBlack", QStringLiteral("黒に戻す"));
    button(btnMakeColor, "btnMakeColor", QStringLiteral("色付け"));
    button(sbAppearanceThisPosition, "sbAppearanceThisPosition", QStringLiteral("この位置に、このｻｲｽﾞで出現させる"));
    CheckBox1 = new TCheckBox(QStringLiteral("折り返し"), panel);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    row->addWidget(CheckBox1);
    CheckBoxColor = new TCheckBox(QStringLiteral("色付け "), panel);
    CheckBoxColor->setObjectName(QStringLiteral("CheckBoxColor"));
    CheckBoxColor->setChecked(true);
    row->addWidget(CheckBoxColor);
    button(sbCopyAll, "sbCopyAll", QStringLiteral("ｺﾋﾟｰ"));
    button(sbClear, "sbClear", QStringLiteral("クリア"));
    row->addStretch(1);
    lay->addWidget(panel);
    RichEditSource = new TRichEdit(this);
    RichEditSource->setObjectName(QStringLiteral("RichEditSource"));
    RichEditSource->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEditSource->setLineWrapMode(QPlainTextEdit::NoWrap);
    lay->addWidget(RichEditSource, 1);
    StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setPanelWidths({50, 50, 50, 50});
    lay->addWidget(StatusBar1);

    connect(SpeedButton1, &QToolButton::clicked, this, &QWidget::hide);
    connect(btnTextBlack, &QToolButton::clicked, this, &TFormSource::btnTextBlackClick);
    connect(btnMakeColor, &QToolButton::clicked, this, &TFormSource::btnMakeColorClick);
    connect(sbAppearanceThisPosition, &QToolButton::clicked, this, &TFormSource::sbAppearanceThisPositionClick);
    connect(CheckBox1, &QCheckBox::clicked, this, &TFormSource::CheckBox1Click);
    connect(sbCopyAll, &QToolButton::clicked, this, &TFormSource::sbCopyAllClick);
    connect(sbClear, &QToolButton::clicked, this, &TFormSource::sbClearClick);
}

TAMainForm *TFormSource::mainForm()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<TAMainForm *>(w)) return f;
    return nullptr;
}

void TFormSource::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    FormShow();
}

void TFormSource::FormShow()
{
    TAMainForm *f = mainForm();
    FormPlace p;
    if (!f || !ReadFormSourcePlace(f->state().GSettingsFile, p)) return;
    QRect g = geometry();
    if (p.left > 0) g.moveLeft(p.left);
    if (p.top > 0) g.moveTop(p.top);
    if (p.width > 0) g.setWidth(p.width);
    if (p.height > 0) g.setHeight(p.height);
    setGeometry(g);
}

void TFormSource::sbAppearanceThisPositionClick()
{
    TAMainForm *f = mainForm();
    if (!f) return;
    const QRect g = geometry();
    const std::string &file = f->state().GSettingsFile;
    // Before the first settings save the path names the file to come. A file holding the
    // place alone would read as all options off at the next start, so it starts with the
    // options as they stand.
    if (!TIniFile(file).exists() && !SaveIniSettingsReported(*f, file)) return;
    WriteFormSourcePlace(file, {g.top(), g.left(), g.width(), g.height()});
}

void TFormSource::CheckBox1Click()
{
    TAMainForm *f = mainForm();
    if (!f || !f->state().GFormShown) return;
    RichEditSource->setLineWrapMode(CheckBox1->isChecked() ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TFormSource::btnMakeColorClick()
{
    ColorHTMLRichEdit(RichEditSource);
}

void TFormSource::btnTextBlackClick()
{
    RichEditSource->setDefAttributes(Qt::black, false);
    RichEditSource->selectAllText();
    RichEditSource->setSelAttributes(Qt::black, false);
    RichEditSource->setSelStart(0);
}

void TFormSource::sbCopyAllClick()
{
    QApplication::clipboard()->setText(RichEditSource->toPlainText());
}

void TFormSource::sbClearClick()
{
    RichEditSource->clear();
}

TFormWaitForBrowser::TFormWaitForBrowser(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("FormWaitForBrowser"));
    setWindowTitle(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ中"));
    setFixedSize(204, 109);
    auto *lay = new QVBoxLayout(this);
    Label1 = new TLabel(QStringLiteral("画像のダウンロード中．．．"), this);
    Label2 = new TLabel(QStringLiteral("しばらくお待ちください"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    for (TLabel *l : {Label1, Label2}) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        lay->addWidget(l);
    }
}

TShowMessageForm::TShowMessageForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ShowMessageForm"));
    setWindowTitle(QStringLiteral("ShowMessage"));
    resize(911, 617);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    Panel1 = new TPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *row = new QHBoxLayout(Panel1);
    btnCOPY2Clipboard = new TButton(QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ"), Panel1);
    btnCOPY2Clipboard->setObjectName(QStringLiteral("btnCOPY2Clipboard"));
    row->addWidget(btnCOPY2Clipboard);
    row->addStretch(1);
    lay->addWidget(Panel1);
    MemoShowMessage = new TMemo(this);
    MemoShowMessage->setObjectName(QStringLiteral("MemoShowMessage"));
    MemoShowMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoShowMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoShowMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lay->addWidget(MemoShowMessage, 1);
    connect(btnCOPY2Clipboard, &QPushButton::clicked, this, &TShowMessageForm::btnCOPY2ClipboardClick);
}

void TShowMessageForm::btnCOPY2ClipboardClick()
{
    QApplication::clipboard()->setText(MemoShowMessage->toPlainText());
}
