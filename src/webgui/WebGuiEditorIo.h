// Text crossing between the WebGUI page (Shift_JIS, CRLF) and its editors (UTF-16): loading a
// local page into an editor and reading its sources back without losing a character.
#pragma once
#include "webgui/WebGuiText.h"

#include <QString>
#include <string>
#include <vector>

class TProfDHTMLEdit2;

// Shift_JIS of an editor's text; every character Shift_JIS lacks becomes "&#NNNNN;" so that
// nothing typed into the page is lost when it is saved.
std::string HtmlToSjis(const QString &Html);

// A page's text (any Japanese encoding) as Shift_JIS with CRLF line ends and its charset
// declarations naming Shift_JIS, as ConvertTextToSjis gives it, except that in a UTF-8 page
// every character Shift_JIS lacks ("©", a no-break space, "😀") becomes "&#NNNNN;" instead
// of "?": the source panes and every save show the page's own characters.
std::string PageTextToSjis(const std::string &Text);

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

// Why a save of the page in Editor must not be written, in Japanese naming PageFile; "" when
// it may. Only a page the editor holds whole is written: a load that failed, timed out or is
// still going, or a document that is not the page named (a load that never started), would
// replace the user's file by a stub. Without an editor the page's own text stands, and the
// save may go on.
QString SaveRefusal(TProfDHTMLEdit2 *Editor, const std::string &PageFile);

// Saves Text over the page's file FileName with its "YY_" backup. The backup is taken once per
// file in a run: once this program has written the file, the backup keeps the user's own
// version instead of being replaced by a copy of what the program wrote.
BackupSaveResult SavePageOverFile(const std::string &FileName, const std::string &Text);
// Notes that this program wrote FileName (by any save), so that its backup is kept.
void NotePageWritten(const std::string &FileName);
