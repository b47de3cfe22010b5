// The lower tab "　取得できなかったimage/CSS ": names not obtained tried in server
// directories off the window thread (the lists fill as the run goes; "取得中止" disabled asks
// it to stop before the next directory attempt), the in-place editor of the name list, and
// the view of a found file.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include "download/NotFoundRun.h"
#include "download/pages/BackgroundJob.h"
#include <QObject>
#include <QPointer>
#include <map>
#include <string>

class QListWidget;
class QPlainTextEdit;

class NotFoundPage : public QObject {
    Q_OBJECT
public:
    NotFoundPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    void btnDownLoadNotFoundFileClick();
    void btnNitFoundFileStopClick();
    void btnTriedWebFileSaveFolderClick();
    void btnAppendServerDirectoryClick();
    void btnClearServerDirectoryClick();
    void btnNotFoudGFileClearClick();
    void btnCanNotObtainedSeverUrlClick();
    void btnSelectedSeraveDirectoryPasteClick();
    void btnNotFoundFileAddClick();
    void EditCanNotObtainedWebUrlEnter();
    void btnCanNotObtainedwebFileClick();
    void btnNotFoundFilePasteClick();
    void ListBoxPageControlMainTopRightTab11WebDirClick();
    void ListBoxPageControlMainTopRightTab11WebNotFoundFileClick();
    void btnGetfromOleObjectClick();
    void ListBoxFoundWebFileClick();

    // The in-place editor of a list's item (the name list and the hidden list of the
    // individual download): opened on a double-click, committed when it loses the focus or a
    // press lands outside it, then freed after that event.
    void openListEditor(QListWidget *list);
    QPlainTextEdit *listEditor() const { return editor_; }

    bool running() const { return job_.running(); }
    NotFoundRun &run() { return run_; }

signals:
    void runFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply(const ListChange &c);
    void commitListEditor();
    std::vector<std::string> boxLines(QListWidget *box) const;

    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
    NotFoundRun run_;
    BackgroundJob job_;
    std::map<std::string, QListWidget *> boxes_;
    QPointer<QPlainTextEdit> editor_;
    QPointer<QListWidget> editedList_;
    int editedRow_ = -1;
};
