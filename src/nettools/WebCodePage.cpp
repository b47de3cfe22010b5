#include "nettools/WebCodePage.h"

#include "nettools/WebCode.h"

#include <QApplication>
#include <QStyle>

TMemoBytes::TMemoBytes(TMemo *memo) : memo_(memo)
{
    connect(memo, &QPlainTextEdit::textChanged, this, [this] {
        if (!setting_) edited_ = true;
    });
}

const std::string &TMemoBytes::bytes()
{
    if (edited_) {
        bytes_ = memoSjis(memo_);
        edited_ = false;
    }
    return bytes_;
}

void TMemoBytes::setBytes(const std::string &bytes)
{
    setting_ = true;
    setMemoSjis(memo_, bytes);
    setting_ = false;
    bytes_ = bytes;
    edited_ = false;
}

WebCodePage::WebCodePage(CodeConvertControls &c, TConvPageContext ctx, QObject *parent)
    : QObject(parent),
      OrgSrc(c.MemolPageControlMainBodyTab09WebCodeOrgSrc),
      LeftResult(c.MemolPageControlMainBodyTab09WebCodeLeftResult),
      ConvSrc(c.MemolPageControlMainBodyTab09WebCodeConvSrc),
      ConvResult(c.MemolPageControlMainBodyTab09WebCodeConvResult),
      c_(c),
      ctx_(std::move(ctx))
{
    const QStringList items{QStringLiteral("EUC "),         QStringLiteral("Unicode"),
                            QStringLiteral("UFT-8 "),       QStringLiteral("Web16進ｺｰﾄﾞ "),
                            QStringLiteral("Base64ｺｰﾄﾞ"),   QStringLiteral("JIS"),
                            QStringLiteral("16進EUC"),      QStringLiteral("16進UTF-8")};
    for (TRadioGroup *g : {c.RadioGroupWebLeftDecode, c.RadioGroupWebLeftEncode, c.RadioGroupWebRightDecode,
                           c.RadioGroupWebRightEncode})
        g->setItems(items);
    const QStringList cases{QStringLiteral("何もしない"), QStringLiteral("小文字にする"), QStringLiteral("大文字にする")};
    for (TRadioGroup *g : {c.RadioGroupWebLeftCharCase, c.RadioGroupWebRightCharCase}) {
        g->setItems(cases);
        g->hide();
    }
    c.SplitterWebCode->setOrientation(Qt::Horizontal);
    c.SplitterWebCodeLeft->setOrientation(Qt::Vertical);
    c.SplitterWebCodeRight->setOrientation(Qt::Vertical);
    for (QGroupBox *g : {c.GroupBoxWebCodeLeft, c.GroupBoxWebCodeRight})
        g->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    c.sbWebCodeExit->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogCloseButton));
    c.sbWebCodeExit->setToolTip(QStringLiteral("終了"));

    connect(c.btnWebCodeLeftDecode, &QPushButton::clicked, this, &WebCodePage::btnWebCodeLeftDecodeClick);
    connect(c.btnWebCodeLeftEncode, &QPushButton::clicked, this, &WebCodePage::btnWebCodeLeftEncodeClick);
    connect(c.btnWebCodeRightDecode, &QPushButton::clicked, this, &WebCodePage::btnWebCodeRightDecodeClick);
    connect(c.btnWebCodeRightEncode, &QPushButton::clicked, this, &WebCodePage::btnWebCodeRightEncodeClick);
    connect(c.btnWebCodeLeftPaste, &QPushButton::clicked, this, &WebCodePage::btnWebCodeLeftPasteClick);
    connect(c.btnWebCodeRightPaste, &QPushButton::clicked, this, &WebCodePage::btnWebCodeRightPasteClick);
    connect(c.btnWebCodeLeftTopClear, &QPushButton::clicked, this, &WebCodePage::btnWebCodeLeftTopClearClick);
    connect(c.btnWebCodeCodeLeftBottomClear, &QPushButton::clicked, this,
            &WebCodePage::btnWebCodeCodeLeftBottomClearClick);
    connect(c.btnWebCodeRightTopClear, &QPushButton::clicked, this, &WebCodePage::btnWebCodeRightTopClearClick);
    connect(c.btnWebCodeRightBottomClear, &QPushButton::clicked, this, &WebCodePage::btnWebCodeRightBottomClearClick);
    connect(c.sbWebCodeExit, &QToolButton::clicked, this, &WebCodePage::sbWebCodeExitClick);
}

void WebCodePage::btnWebCodeLeftDecodeClick()
{
    const std::string &s = OrgSrc.bytes();
    if (s.empty()) return;
    ConvSrc.setBytes(WebDecode(s, c_.RadioGroupWebLeftDecode->itemIndex()));
}

void WebCodePage::btnWebCodeLeftEncodeClick()
{
    const std::string &s = OrgSrc.bytes();
    if (s.empty()) return;
    ConvSrc.setBytes(
        WebEncode(s, c_.RadioGroupWebLeftEncode->itemIndex(), c_.RadioGroupWebLeftCharCase->itemIndex()));
}

void WebCodePage::btnWebCodeRightDecodeClick()
{
    const std::string &s = ConvSrc.bytes();
    if (s.empty()) return;
    LeftResult.setBytes(WebDecode(s, c_.RadioGroupWebRightDecode->itemIndex()));
}

void WebCodePage::btnWebCodeRightEncodeClick()
{
    const std::string s = ConvSrc.bytes();
    if (s.empty()) return;
    const int item = c_.RadioGroupWebRightEncode->itemIndex();
    ConvResult.clear();
    const std::string r = WebEncode(s, item, c_.RadioGroupWebRightCharCase->itemIndex());
    LeftResult.setBytes(r);
    if (WebEncodeHasRightCopy(item)) ConvResult.setBytes(WebRightCopy(r, item));
}

void WebCodePage::btnWebCodeLeftPasteClick()
{
    if (ctx_.setPanelMainTopHeight) ctx_.setPanelMainTopHeight(40);
    OrgSrc.memo()->setPlainText(dialogs.clipboardText ? dialogs.clipboardText() : QString());
}

void WebCodePage::btnWebCodeRightPasteClick()
{
    ConvSrc.memo()->setPlainText(dialogs.clipboardText ? dialogs.clipboardText() : QString());
}

void WebCodePage::sbWebCodeExitClick()
{
    if (ctx_.closeMainWindow) ctx_.closeMainWindow();
}
