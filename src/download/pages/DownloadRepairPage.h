// The repair tools of the download page, one object per lower tab.
#pragma once
#include <QObject>

class TAMainForm;
class CssImagePage;
class CssUrlReplacePage;
class IndividualDownloadPage;
class NotFoundPage;
class ObtainedImagesPage;

class DownloadRepairPage : public QObject {
    Q_OBJECT
public:
    explicit DownloadRepairPage(TAMainForm &form);

    CssUrlReplacePage *cssUrl = nullptr;          // " CSS内のurl調整 "
    IndividualDownloadPage *individual = nullptr; // " 個別ﾀﾞｳﾝﾛｰﾄﾞ  " and " ＣＳＳﾌｧｲﾙ一覧 "
    NotFoundPage *notFound = nullptr;             // "　取得できなかったimage/CSS "
    ObtainedImagesPage *images = nullptr;         // " image/CSS " and the "Folder" menu
    CssImagePage *cssImages = nullptr;            // " 取得したｲﾒｰｼﾞ・ﾌｧｲﾙ "
};
