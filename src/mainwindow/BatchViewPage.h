// The page " ﾘﾝｸされているHTML一覧から閲覧 ": an index page (a URL or a local HTML file), its
// links numbered in a list, and the linked pages opened a batch at a time, each in a tab of
// its own, or one at a time from the list.
#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QListWidget;
class QMenu;
class TAMainForm;
class TWebbrowser;

// How the file button asks for a file; tests choose one without a modal dialog. An empty
// hook shows the open dialog.
using OpenFileHook = std::function<QString()>;
void setBatchOpenFileHook(OpenFileHook hook);

class BatchViewPage : public QObject {
    Q_OBJECT
public:
    explicit BatchViewPage(TAMainForm &form);

    // The navigate button: opens the URL box's page and lists its links.
    void sbPanelPanelPageControlMainTopTab07BatchPageViewNavigateClick();
    void btnPanelPageControlMainTopTab07BatchPageViewTopLinkListClick();
    void sbPanelPanelPageControlMainTopTab07BatchPageViewOppenFileClick();
    void btnBatchHrefListClick();
    void btnEditPanelPanelPageControlMainTopTab07BatchPageViewStopClick();
    void btnBatchViewCloaseAllClick();
    void btnBatchLinkClearClick();
    void btnEditPanelPanelPageControlMainTopTab07BatchPageViewPasteClick();
    void ListBoxEditPanelPanelPageControlMainTopTab07BatchPageViewClick();
    void PopupCloseOneClick();
    void PopupOpenInBrowserClick();

    // A new run-time tab with its own browser, in front.
    TWebbrowser *CreateMultiCanvas();
    void wireNewWindow(TWebbrowser *Browser);
    // Opens one link in a tab captioned by Number; for the other pages too.
    int OpenMultiURL(const std::string &Url, int Number);
    // The local-file case of OpenMultiURL.
    int OpenMultiFile(const std::string &Path, int Number) { return OpenMultiURL(Path, Number); }
    // Opens a batch from the link numbered Start; the number of the last opened link.
    int HrefOutput(int Start);
    // The index of the first selected item; -1 when none is selected.
    static int LBSelected(QListWidget *ListBox);

    // A local page opened here is opened on the WebGUI page too, without bringing that page
    // to the front, and becomes its current file.
    void OpenFileInWebGuiEditor(const std::string &Path);
    // True while the WebGUI page opens a file for this page: it then neither comes to the
    // front nor shows a message box.
    bool handingOver() const { return handingOver_; }

    QMenu *PopupMenuTab07BatchPageView() const { return popup_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Rebuilds the link list from the index browser's document.
    void buildLinkList();
    bool stopPressed() const;
    // Waits (bounded, ending at Stop) for the index page; false when Stop ended it.
    bool waitForIndexPage();
    void closeAllTabs();
    QString dataFolder() const;
    TAMainForm &f_;
    QMenu *popup_ = nullptr;
    QString lastBoxText_;
    bool handingOver_ = false;
};
