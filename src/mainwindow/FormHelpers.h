// Small routines of the main window that every page uses: folder creation with a status
// text, the missing-folder message, captions, the process-state panel, the charset label
// rename, number-only fields, and the download page's URL hand-over.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QListWidget;
class QRect;
class QSpinBox;
class QWidget;
class TAMainForm;

// Modal message boxes of the window go through here, so tests can see them without a
// blocking dialog. An empty hook shows a real box.
using MessageBoxHook = std::function<void(const QString &text)>;
void setMessageBoxHook(MessageBoxHook hook);
void ShowMessageBox(QWidget *parent, const QString &text);

// Opens Url (Shift_JIS) in the desktop's browser; when that cannot be done (no opener
// installed, or it would not start) the user is told so. True when it was opened.
bool OpenInDesktopBrowser(QWidget *parent, const std::string &Url);

// The text of the missing-folder message: "〔 Mark 〕" then "【 Text 】".
QString MsgFolderNotExistsText(const std::string &Text, const std::string &Mark, int Id);
// Shows it modally. The first form is (CallerText, Folder, Id); the second, used by the
// download and WebGUI pages, (Path, Mark, Spare, Id). Reserved/Text is only emptied.
void MsgFolderNotExists(const std::string &CallerText, const std::string &Folder, int Id, std::string &Reserved);
void MsgFolderNotExists(const std::string &Path, const std::string &Mark, int Spare, int Id, std::string &Text);

void AppTitleCaption(TAMainForm &form, const std::string &Name, int Mode);
void SetFormCaption(TAMainForm &form, const std::string &Url);
// Panel 5 of the status bar := " [ State ]", then pending events are handled once so the
// text shows during long work.
void StatusbarProcessState(TAMainForm &form, const std::string &State);

// Number fields take digits and keep their editing keys (Backspace, Delete, arrows, Home,
// End, Tab, Enter and shortcuts); any other typed character is dropped.
bool CommonkeyPressAccepts(int key, Qt::KeyboardModifiers mods, const QString &text);
void CommonkeyPress(QSpinBox *spin);

// The download page's current page: the URL box's text (unwrapped from a search engine's
// redirect) is copied to the other URL boxes, and the base web folder and the local file
// name are derived from Url (download/PageNames.h has the rules).
void SetMainBaseDir(TAMainForm &form, const std::string &Url);
// The same for a frame page; LocalFolder gets the page's folder ("a/b/").
void SetLocalFileName(TAMainForm &form, const std::string &Url, std::string &LocalFolder);
// The individual-download fields from one URL, and the same from the clipboard.
void URLPasteAndMakeLocalFile(TAMainForm &form, const std::string &Url);
void btnDownloadURLPasteClick(TAMainForm &form);
void SetGUIUrl(TAMainForm &form, const std::string &Url);
// Empties the item list of a box that has one (a combo box, whose text goes with its
// items; a line edit's list is what it offers while typed in); other boxes are left as they are.
void ClearItemList(QWidget *Box);
// Adds Text to a box's item list unless it is there already; the box's text stays as it is.
void AddItemOnce(QWidget *Box, const QString &Text);
QStringList ItemList(QWidget *Box);
// A text shown as a tab's caption: an "&" stays an "&" instead of marking a shortcut key.
QString TabCaptionText(const QString &Text);

// Where the window goes: the size it asks for, never more than the available area, and
// inside that area (left where it is when it already lies inside).
QRect FitWindowGeometry(const QRect &Asked, const QRect &Available);
// The height of a panel sized in pixels above the panes: what it asks for, no more than its
// content needs (no empty band below the options), no more than Room (what leaves the panes
// their share), never below 0.
int FitPanelHeight(int Asked, int Content, int Room);
// The search page's top panel asked to be H high; it is fitted now and whenever the page's
// height changes, so the panes below keep at least a third of the window's height.
void setSearchTopHeight(TAMainForm &form, int H);
void fitSearchTopHeight(TAMainForm &form);

// The width of the search page's left panel (it lives in a splitter).
void setSearchLeftWidth(TAMainForm &form, int w);
int searchLeftWidth(TAMainForm &form);
