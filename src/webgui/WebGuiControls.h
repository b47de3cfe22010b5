// The controls of the WebGUI page, as typed members built from its list.
#pragma once
#include "platform/FormBuilder.h"
#include "platform/TRichEdit.h"

struct WebGuiControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "webgui/WebGuiControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "webgui/WebGuiControls.def"
#undef VK_CONTROL
    }
};
