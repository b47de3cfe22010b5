// Text crossing between the WebGUI page (Shift_JIS, CRLF) and its editors (UTF-16): loading a
// local page into an editor and reading its sources back without losing a character.
#pragma once
#include <QString>
#include <string>
#include <vector>

class TProfDHTMLEdit2;

// Shift_JIS of an editor's text; every character Shift_JIS lacks becomes "&#NNNNN;" so that
// nothing typed into the page is lost when it is saved.
std::string HtmlToSjis(const QString &Html);

// Waits, pumping events, until the editor has a document and nothing pending (its first blank
// document included), at most TimeoutMs. True when it is ready.
bool WaitEditorReady(TProfDHTMLEdit2 *Editor, int TimeoutMs = 30000);

// Which source of an editor to read.
enum class EditorPart { Whole, Head, Body };
// The editor's source as Shift_JIS; "" while it is loading ("BUSY") or has no document.
std::string EditorSourceSjis(TProfDHTMLEdit2 *Editor, EditorPart Part = EditorPart::Whole);

// Loads a local page into Editor. Text is the page as it is to be shown (the file's bytes, or
// the file with its inline frames disabled): when it is the file's own text the editor loads
// the file, otherwise it gets Text as its document with the file's folder as base. Then the
// stored source and the html and body attributes are taken from the text converted to
// Shift_JIS, and the base URL is the file's folder. False when the editor could not load.
bool LoadLocalPage(TProfDHTMLEdit2 *Editor, const std::string &FileName, const std::string &Text);

// The hidden editor's round trip of the clean-up: the page written into it, its body read
// back once it is ready. "" when the editor did not answer.
std::string EditorBodyRoundTrip(TProfDHTMLEdit2 *Editor, const std::string &Html);

// What the page-part sub-tabs list of an editor's document, as the document gives them
// (addresses resolved by the engine, Shift_JIS).
struct EditorPageParts {
    bool Ok = false;  // false without a document or when it did not answer
    std::vector<std::string> StyleSheets, Links, Images, BackgroundImages, ScriptFiles, IFrames;
    std::string StyleBlocks, ScriptBlocks;  // the inline style and script texts, CRLF between
};
EditorPageParts ReadEditorPageParts(TProfDHTMLEdit2 *Editor);
