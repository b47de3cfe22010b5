// The controls of the " メイン " tab, the browser buttons and the CSS page tools, built from DocToolsControls.def after the
// download page's own list, whose controls it may gather onto these tabs.
#pragma once
#include "platform/FormBuilder.h"
#include "platform/TRichEdit.h"

struct DocToolsControls {
#define VK_CONTROL VK_DECLARE_CONTROL
#define VK_ADOPT(N, P)
#include "download/DocToolsControls.def"
#undef VK_ADOPT
#undef VK_CONTROL
    template <class Dl>
    void build(FormBuilder &b, Dl &dl)
    {
#define VK_CONTROL VK_BUILD_CONTROL
#define VK_ADOPT(N, P) b.adopt(dl.N, P);
#include "download/DocToolsControls.def"
#undef VK_ADOPT
#undef VK_CONTROL
    }
};
