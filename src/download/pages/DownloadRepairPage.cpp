#include "download/pages/DownloadRepairPage.h"
#include "download/pages/CssImagePage.h"
#include "download/pages/CssUrlReplacePage.h"
#include "download/pages/IndividualDownloadPage.h"
#include "download/pages/NotFoundPage.h"
#include "download/pages/ObtainedImagesPage.h"
#include "mainwindow/TAMainForm.h"

DownloadRepairPage::DownloadRepairPage(TAMainForm &form) : QObject(&form)
{
    cssUrl = new CssUrlReplacePage(form);
    individual = new IndividualDownloadPage(form);
    notFound = new NotFoundPage(form);
    images = new ObtainedImagesPage(form);
    cssImages = new CssImagePage(form);
}
