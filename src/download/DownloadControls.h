// The controls of the page-download and CSS pages, built from DownloadControls.def.
#pragma once
#include "platform/FormBuilder.h"
#include "platform/TRichEdit.h"

struct DownloadControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "download/DownloadControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "download/DownloadControls.def"
#undef VK_CONTROL
    }
};
