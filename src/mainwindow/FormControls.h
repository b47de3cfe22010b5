// The controls of each page of the main window, as typed members built from the pages'
// declaration lists (see FormBuilder.h). Pages reach each other's controls through the form.
#pragma once
#include "platform/FormBuilder.h"
#include "platform/TRichEdit.h"

struct MainFrameControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "mainwindow/MainFrameControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "mainwindow/MainFrameControls.def"
#undef VK_CONTROL
    }
};

struct NetSearchControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "mainwindow/NetSearchControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "mainwindow/NetSearchControls.def"
#undef VK_CONTROL
    }
};

struct FavBrowseControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "mainwindow/FavBrowseControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "mainwindow/FavBrowseControls.def"
#undef VK_CONTROL
    }
};

struct ConviControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "mainwindow/ConviControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "mainwindow/ConviControls.def"
#undef VK_CONTROL
    }
};

struct BatchViewControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "mainwindow/BatchViewControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "mainwindow/BatchViewControls.def"
#undef VK_CONTROL
    }
};

#include "download/DownloadControls.h"
#include "download/RepairControls.h"
#include "download/DocToolsControls.h"
#include "webgui/WebGuiControls.h"

#include "nettools/CodeConvertControls.h"

#include "nettools/IpToolsControls.h"
