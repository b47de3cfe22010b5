// Waits on a pane, guarded back/forward/stop, and the links of a document through its frames.
#pragma once
#include <functional>
#include <string>
#include <vector>

class TWebbrowser;
class StringList;

// Longest a handler waits for a pane before going on (a page that never finishes loading
// must not hang the window).
inline constexpr int kBrowserWaitMs = 30000;

// Returns when the browser is no longer busy, the bound has passed, the browser is gone or
// the application is closing, or as soon as Stop (when given) gives true. Events are
// processed meanwhile, so other handlers may run. True when the browser ended up idle.
bool WaitWhileBrowserBusy(TWebbrowser *Browser, int TimeoutMs = kBrowserWaitMs,
                          const std::function<bool()> &Stop = {});

// True when the browser shows a document of type HTML (or XHTML).
bool BrowserHasHtmlDocument(TWebbrowser *Browser);

// Each does nothing on a missing, blank or non-HTML pane, nor when there is no history.
void BrowserGoBackSafe(TWebbrowser *Browser);
void BrowserGoForwardSafe(TWebbrowser *Browser);
void BrowserStopSafe(TWebbrowser *Browser);

// The href of every link of the document, frame by frame in frame order, as the document
// gives them. A frame that cannot be read (another site's) ends its frameset's walk. Without
// a document (or when the document does not answer) List is left untouched; else it is
// cleared first. Texts are Shift_JIS.
void CollectDocumentLinks(TWebbrowser *Browser, StringList &List);
// The same walk as a plain result; nothing when there is no document.
bool CollectDocumentLinks(TWebbrowser *Browser, std::vector<std::string> &Links);
