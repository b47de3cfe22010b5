// The page's parts as the WebGUI page shows them, read from the control's generated source:
// script and style blocks, background images, inline frames and script files; and the
// finishing of the URLs that the image and link lists read from the document. Pure text.
#pragma once
#include <QString>
#include <QStringList>

namespace htmledit {

// "<!--" + 50 "*" + "-->"
extern const QString kPartSeparator;

// The inline script elements in document order, joined by a blank line, the separator and a
// blank line; a page's only script element is returned whatever it is.
QString ExtractScriptBlocks(const QString &Source);
// The same for style elements (linked ones left out); the text keeps its case.
QString ExtractStyleBlocks(const QString &Source);
// Every BACKGROUND="..." value made absolute against BaseURL (a page or folder address, a
// "/" path or a file URL). False when there is none.
bool ScanBackgroundImages(const QString &Source, const QString &BaseURL, QStringList &List);
// The SRC of every IFRAME start tag, as written. False when the page has no IFRAME.
bool ScanIFrames(const QString &Source, QStringList &List);
// The ".js" files that script start tags name.
void ScanScriptFiles(const QString &Source, const QString &BaseURL, QStringList &List);
// The scheme that "//host/..." values take: the base's when it is http or https.
QString SchemeOf(const QString &BaseURL);
// Finishing of an image list entry and of a link list entry (fragment cut after the "#").
QString FinishImageUrl(const QString &V, const QString &Scheme);
QString FinishLinkUrl(const QString &V, const QString &Scheme);

// Drops the editor's design-time attributes; a value without its closing quote ends the scan.
QString RemoveDesignTimeAttributes(const QString &Html);
// The source of a detached span without the span's own tags.
QString UnwrapSpanSource(const QString &Html);

} // namespace htmledit
