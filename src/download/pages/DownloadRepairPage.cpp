#include "download/pages/DownloadRepairPage.h"
#include "download/pages/CssImagePage.h"
#include "download/pages/CssUrlReplacePage.h"
#include "download/pages/IndividualDownloadPage.h"
#include "download/pages/NotFoundPage.h"
#include "download/pages/ObtainedImagesPage.h"

DownloadRepairPage::DownloadRepairPage(DownloadPageControls c, const DownloadPageContext &ctx, QObject *parent)
    : QObject(parent)
{
    // The tools belong to the window as the other pages do.
    cssUrl = new CssUrlReplacePage(c, ctx, parent);
    individual = new IndividualDownloadPage(c, ctx, parent);
    notFound = new NotFoundPage(c, ctx, parent);
    images = new ObtainedImagesPage(c, ctx, parent);
    cssImages = new CssImagePage(c, ctx, parent);
}
