// The controls of the two conversion pages, as typed members built from their list.
#pragma once
#include "platform/FormBuilder.h"

struct CodeConvertControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#include "nettools/CodeConvertControls.def"
#undef VK_CONTROL
    void build(FormBuilder &b)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#include "nettools/CodeConvertControls.def"
#undef VK_CONTROL
    }
};
