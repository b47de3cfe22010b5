// The controls of the IP-address tools page, as typed members built from their list.
#pragma once
#include "platform/FormBuilder.h"
#include "platform/TRichEdit.h"

struct IpToolsControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "nettools/IpToolsControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "nettools/IpToolsControls.def"
#undef VK_CONTROL
    }
};
