// The repair tools of the download page, one object per lower tab.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include <QObject>

class CssImagePage;
class CssUrlReplacePage;
class IndividualDownloadPage;
class NotFoundPage;
class ObtainedImagesPage;

class DownloadRepairPage : public QObject {
    Q_OBJECT
public:
    DownloadRepairPage(DownloadPageControls c, const DownloadPageContext &ctx, QObject *parent = nullptr);

    CssUrlReplacePage *cssUrl = nullptr;          // " CSS内のurl調整 "
    IndividualDownloadPage *individual = nullptr; // " 個別ﾀﾞｳﾝﾛｰﾄﾞ  " and " ＣＳＳﾌｧｲﾙ一覧 "
    NotFoundPage *notFound = nullptr;             // "　取得できなかったimage/CSS "
    ObtainedImagesPage *images = nullptr;         // " image/CSS " and the "Folder" menu
    CssImagePage *cssImages = nullptr;            // " 取得したｲﾒｰｼﾞ・ﾌｧｲﾙ "
};
