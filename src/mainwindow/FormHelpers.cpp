#include "mainwindow/FormHelpers.h"
#include "download/PageNames.h"
#include "mainwindow/LinkRouting.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QLayout>
#include <QRect>
#include <QSpinBox>
#include <algorithm>
#include <sys/stat.h>

namespace {
MessageBoxHook &messageHook()
{
    static MessageBoxHook hook;
    return hook;
}
} // namespace

void setMessageBoxHook(MessageBoxHook hook)
{
    messageHook() = std::move(hook);
}

void ShowMessageBox(QWidget *parent, const QString &text)
{
    if (messageHook()) {
        messageHook()(text);
        return;
    }
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

QString TabCaptionText(const QString &Text)
{
    QString t = Text;
    return t.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

namespace {
QStringListModel *lineEditItems(QLineEdit *Edit, bool Make)
{
    if (!Edit->completer() && Make) {
        auto *c = new QCompleter(new QStringListModel(Edit), Edit);
        c->setFilterMode(Qt::MatchContains);
        Edit->setCompleter(c);
    }
    return Edit->completer() ? qobject_cast<QStringListModel *>(Edit->completer()->model()) : nullptr;
}
} // namespace

void ClearItemList(QWidget *Box)
{
    if (auto *combo = qobject_cast<QComboBox *>(Box)) combo->clear();
    else if (auto *edit = qobject_cast<QLineEdit *>(Box))
        if (QStringListModel *m = lineEditItems(edit, false)) m->setStringList({});
}

void AddItemOnce(QWidget *Box, const QString &Text)
{
    if (auto *combo = qobject_cast<QComboBox *>(Box)) {
        if (combo->findText(Text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) return;
        // The first item of an editable box would otherwise replace the text shown.
        const QString shown = combo->currentText();
        combo->addItem(Text);
        if (combo->isEditable() && combo->currentText() != shown) combo->setEditText(shown);
    } else if (auto *edit = qobject_cast<QLineEdit *>(Box)) {
        QStringListModel *m = lineEditItems(edit, true);
        if (!m || m->stringList().contains(Text)) return;
        m->setStringList(m->stringList() << Text);
    }
}

QStringList ItemList(QWidget *Box)
{
    QStringList out;
    if (auto *combo = qobject_cast<QComboBox *>(Box)) {
        for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    } else if (auto *edit = qobject_cast<QLineEdit *>(Box)) {
        if (QStringListModel *m = lineEditItems(edit, false)) out = m->stringList();
    }
    return out;
}

bool OpenInDesktopBrowser(QWidget *parent, const std::string &Url)
{
    if (OpenUrlInBrowser(Url)) return true;
    ShowMessageBox(parent, QStringLiteral("デスクトップのブラウザで開けませんでした（ xdg-open が見つからないか、起動できません ）\r\n\r\n") +
                               fromSjis(Url));
    return false;
}

QString MsgFolderNotExistsText(const std::string &Text, const std::string &Mark, int Id)
{
    return QStringLiteral("ﾌｫﾙﾀﾞｰが存在しません   〔 ") + fromSjis(Mark) + QStringLiteral(" 〕") +
           QStringLiteral("    id=[ ") + QString::number(Id) + QStringLiteral(" ]") + QStringLiteral("\r\n\r\n") +
           QStringLiteral("【 ") + fromSjis(Text) + QStringLiteral(" 】");
}

static QWidget *mainWindowOrNull()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<TAMainForm *>(w)) return w;
    return nullptr;
}

void MsgFolderNotExists(const std::string &CallerText, const std::string &Folder, int Id, std::string &Reserved)
{
    Reserved.clear();
    ShowMessageBox(mainWindowOrNull(), MsgFolderNotExistsText(CallerText, Folder, Id));
}

void MsgFolderNotExists(const std::string &Path, const std::string &Mark, int, int Id, std::string &Text)
{
    Text.clear();
    ShowMessageBox(mainWindowOrNull(), MsgFolderNotExistsText(Path, Mark, Id));
}

void AppTitleCaption(TAMainForm &form, const std::string &Name, int Mode)
{
    form.state().GCaptionName = Name;
    if (Mode == 0)
        form.setWindowTitle(QStringLiteral("VORN-KYMBrowser[ ") + fromSjis(Name) + QStringLiteral(" ]"));
    else if (Mode == 1)
        form.setWindowTitle(TAMainForm::longTitle());
}

void SetFormCaption(TAMainForm &form, const std::string &Url)
{
    if (Url.find("about:blank") != std::string::npos) return;
    form.setWindowTitle(fromSjis(form.state().GCaptionPrefix) + QStringLiteral("[ ") + fromSjis(Url) +
                        QStringLiteral(" ]"));
}

void StatusbarProcessState(TAMainForm &form, const std::string &State)
{
    form.StatusBar1->setPanelText(5, QStringLiteral(" [ ") + fromSjis(State) + QStringLiteral(" ]"));
    QApplication::processEvents();
}

bool CommonkeyPressAccepts(int key, Qt::KeyboardModifiers mods, const QString &text)
{
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return true;
    switch (key) {
    case Qt::Key_Backspace: case Qt::Key_Delete: case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up:
    case Qt::Key_Down: case Qt::Key_Home: case Qt::Key_End: case Qt::Key_PageUp: case Qt::Key_PageDown:
    case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Escape:
        return true;
    default:
        break;
    }
    if (text.isEmpty()) return true;  // modifier keys and the like type nothing
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

namespace {
class DigitsOnlyFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            if (!CommonkeyPressAccepts(k->key(), k->modifiers(), k->text())) return true;
        }
        return QObject::eventFilter(o, e);
    }
};
} // namespace

void CommonkeyPress(QSpinBox *spin)
{
    if (!spin) return;
    auto *filter = new DigitsOnlyFilter(spin);
    spin->installEventFilter(filter);
}

void SetMainBaseDir(TAMainForm &form, const std::string &Url)
{
    auto &dl = form.dl;
    const MainBaseDirNames n = MainBaseDirNamesOf(Url, toSjis(dl.BtnEditLocalFilename->text()));
    if (n.Spread) {
        const QString page = fromSjis(RemoveGoogleUrl(toSjis(dl.ComboBoxUrl->currentText())));
        dl.EditPageUrl->setText(page);
        dl.ComboBoxDirectUrl->setEditText(page);
        dl.ComboBoxBatchDownloadURL->setEditText(page);
        dl.ComboBoxURLDirect->setEditText(page);
        dl.EditWebFile->setText(page);
        form.gui.ComboBoxGUIEditorURL->setEditText(page);
        form.ip.edtHost->setEditText(page);
    }
    if (n.BaseWebDir) dl.EditBaseWebDir->setText(fromSjis(*n.BaseWebDir));
    if (n.RelativeUpToOne) dl.RadioGroupRemoveRelativeUp->setItemIndex(1);
    if (n.Label) dl.LabelDownloadedFile->setText(fromSjis(*n.Label));
    if (n.LocalName) dl.BtnEditLocalFilename->setText(fromSjis(*n.LocalName));
}

void SetLocalFileName(TAMainForm &form, const std::string &Url, std::string &LocalFolder)
{
    auto &dl = form.dl;
    const FrameNames n = FrameNamesOf(Url, toSjis(dl.BtnEditLocalFilename->text()));
    if (n.BaseWebDir) dl.EditBaseWebDir->setText(fromSjis(*n.BaseWebDir));
    if (n.CopyPageUrl) {
        dl.EditPageUrl->setText(dl.ComboBoxUrl->currentText());
        dl.ComboBoxDirectUrl->setEditText(dl.ComboBoxUrl->currentText());
    }
    if (n.Label) dl.LabelDownloadedFile->setText(fromSjis(*n.Label));
    if (n.LocalName) dl.BtnEditLocalFilename->setText(fromSjis(*n.LocalName));
    LocalFolder = n.LocalFolder;
}

void URLPasteAndMakeLocalFile(TAMainForm &form, const std::string &Url)
{
    auto &dl = form.dl;
    const SingleDownloadNames n = SingleDownloadNamesOf(Url, toSjis(dl.BtnEditHTMLPageSaveFolder->text()));
    if (!n.Changed) return;
    dl.LabelWebFile->setText(fromSjis(n.WebFile));
    dl.EditDownloadLWebFileIndividual->setText(fromSjis(n.WebFile));
    dl.BtnEditDownloadLocalFileIndividual->setText(fromSjis(n.LocalPath));
}

void btnDownloadURLPasteClick(TAMainForm &form)
{
    URLPasteAndMakeLocalFile(form, toSjis(QGuiApplication::clipboard()->text()));
}

void SetGUIUrl(TAMainForm &form, const std::string &Url)
{
    const QString u = fromSjis(Url);
    form.gui.ComboBoxGUIEditorURL->setEditText(u);
    form.dl.BtnEditHTMLPageSaveFolder->clear();
    form.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(u);
    form.ip.edtHost->setEditText(u);
}

void setSearchLeftWidth(TAMainForm &form, int w)
{
    QSplitter *sp = form.net.SplitterGoogleSearch;
    const int total = std::max(sp->width(), w + 1);
    sp->setSizes({w, std::max(0, total - w)});
    form.net.PanelPageControlMainTopTab00GoogleSearchLeft->setProperty("vkWidth", w);
}

int searchLeftWidth(TAMainForm &form)
{
    const QVariant v = form.net.PanelPageControlMainTopTab00GoogleSearchLeft->property("vkWidth");
    return v.isValid() ? v.toInt() : form.net.PanelPageControlMainTopTab00GoogleSearchLeft->width();
}

QRect FitWindowGeometry(const QRect &Asked, const QRect &Available)
{
    QRect r(Asked.topLeft(), Asked.size().boundedTo(Available.size()));
    if (r.right() > Available.right()) r.moveRight(Available.right());
    if (r.bottom() > Available.bottom()) r.moveBottom(Available.bottom());
    if (r.left() < Available.left()) r.moveLeft(Available.left());
    if (r.top() < Available.top()) r.moveTop(Available.top());
    return r;
}

int FitPanelHeight(int Asked, int Content, int Room)
{
    return std::max(0, std::min({Asked, Content, Room}));
}

void setSearchTopHeight(TAMainForm &form, int H)
{
    form.net.PanelPageControlMainTopTab00GoogleSearchTop->setProperty("vkAskedHeight", H);
    fitSearchTopHeight(form);
}

void fitSearchTopHeight(TAMainForm &form)
{
    TPanel *top = form.net.PanelPageControlMainTopTab00GoogleSearchTop;
    const QVariant asked = top->property("vkAskedHeight");
    if (!asked.isValid()) return;
    // The panes' third counts from the window; the URL rows and the status bar keep theirs.
    QWidget *page = form.frame.PageControlMainTopTab00GoogleSearch;
    int others = form.net.PanelPageControlMainTopTab00GoogleSearchRight->sizeHint().height() +
                 form.net.StatusBarGoogle->sizeHint().height();
    if (QLayout *lay = page->layout()) others += 3 * std::max(0, lay->spacing());
    // A page not on the screen has no height of its own yet: it is fitted when it shows.
    const int room = page->isVisible() ? page->height() - others - form.height() / 3 : asked.toInt();
    top->setFixedHeight(FitPanelHeight(asked.toInt(), TRowClipper::contentHeight(top), room));
}
