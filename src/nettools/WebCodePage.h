// The page " Ｗｅｂ ｺｰﾄﾞ変換 ": four memos, each holding its content as bytes, and the encode
// and decode buttons of its two sides.
#pragma once
#include "nettools/CodeConvertPage.h"

// A memo's bytes. The memo shows them through the Shift_JIS view, which cannot hold EUC-JP,
// UTF-8 or ISO-2022-JP bytes; so a conversion's result is kept as it came, and only an edit
// or paste by the user replaces it with the shown text in Shift_JIS.
class TMemoBytes : public QObject {
    Q_OBJECT
public:
    explicit TMemoBytes(TMemo *memo);
    const std::string &bytes();
    void setBytes(const std::string &bytes);
    void clear() { setBytes(std::string()); }
    TMemo *memo() const { return memo_; }

private:
    TMemo *memo_;
    std::string bytes_;
    bool edited_ = false, setting_ = false;
};

class WebCodePage : public QObject {
    Q_OBJECT
public:
    WebCodePage(CodeConvertControls &c, TConvPageContext ctx, QObject *parent = nullptr);

    TConvDialogs dialogs = TConvDialogs::system();
    TMemoBytes OrgSrc, LeftResult, ConvSrc, ConvResult;

    void btnWebCodeLeftDecodeClick();
    void btnWebCodeLeftEncodeClick();
    void btnWebCodeRightDecodeClick();
    void btnWebCodeRightEncodeClick();
    void btnWebCodeLeftPasteClick();
    void btnWebCodeRightPasteClick();
    void btnWebCodeLeftTopClearClick() { OrgSrc.clear(); }
    void btnWebCodeCodeLeftBottomClearClick() { LeftResult.clear(); }
    void btnWebCodeRightTopClearClick() { ConvSrc.clear(); }
    void btnWebCodeRightBottomClearClick() { ConvResult.clear(); }
    void sbWebCodeExitClick();

private:
    CodeConvertControls &c_;
    TConvPageContext ctx_;
};
