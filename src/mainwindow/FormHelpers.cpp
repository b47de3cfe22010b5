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

bool folderExists(const std::string &sjis)
{
    struct stat st {};
    return ::stat(ToSystemPath(sjis).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

void ClearItemList(QWidget *Box)
{
    if (auto *combo = qobject_cast<QComboBox *>(Box)) combo->clear();
}

bool OpenInDesktopBrowser(QWidget *parent, const std::string &Url)
{
    if (OpenUrlInBrowser(Url)) return true;
    ShowMessageBox(parent, QStringLiteral("デスクトップのブラウザで開けませんでした（ xdg-open が見つからないか、起動できません ）\r\n\r\n") +
                               fromSjis(Url));
    return false;
}

std::string CreateFolder(const std::string &Path, const std::string &, int Id)
{
    const std::string id = std::to_string(Id);
    std::string path = ReplaceAll(Path, "?", "_");
    path = ReplaceAll(path, "|", "~");
    path = ReplaceAll(path, "*", ";");
    path = ReplaceAll(path, "+", "_");
    const std::string lower = LowerCase(Path);
    // A "*" is mapped above rather than refused: callers hand over names made from URLs.
    for (const char *mark : {".php", ".htm", ".css", ".js", ".gif", ".jpg", ".png", ".jpeg"}) {
        if (lower.find(mark) != std::string::npos) return "InvaliFoldename!!    id=" + id;
    }
    if (path.empty()) return "Folder Create Exception!! " + id;
    if (folderExists(path)) return "Folder Exist!! " + id;
    try {
        if (CreateFolderTree(path)) return "Folder Create OK!! " + id;
    } catch (...) {
    }
    return "Folder Create Exception!! " + id;
}

void CreateFolder(const std::string &Path, const std::string &Reserved, int Id, std::string &Msg)
{
    Msg.clear();
    Msg = CreateFolder(Path, Reserved, Id);
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

std::string UTFEUC2ShiftJIS(const std::string &Html)
{
    const std::string lower = LowerCase(Html);
    const bool utf = lower.find("utf-8") != std::string::npos;
    const bool euc = lower.find("euc-jp") != std::string::npos;
    if (!utf && !euc) return Html;
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    // True when the name at pos is the value of a charset/encoding declaration.
    auto declared = [&](size_t pos) {
        size_t i = pos;
        while (i > 0 && (isBlank(lower[i - 1]) || lower[i - 1] == '"' || lower[i - 1] == '\'')) --i;
        auto endsWith = [&](size_t end, const std::string &w) {
            return end >= w.size() && lower.compare(end - w.size(), w.size(), w) == 0;
        };
        if (endsWith(i, "@charset")) return true;
        if (i == 0 || lower[i - 1] != '=') return false;
        --i;
        while (i > 0 && isBlank(lower[i - 1])) --i;
        return endsWith(i, "charset") || endsWith(i, "encoding");
    };
    std::string out;
    out.reserve(Html.size());
    size_t i = 0;
    while (i < Html.size()) {
        size_t len = 0;
        if (utf && lower.compare(i, 5, "utf-8") == 0) len = 5;
        else if (euc && lower.compare(i, 6, "euc-jp") == 0) len = 6;
        if (len && declared(i)) {
            out += "Shift_JIS";
            i += len;
            continue;
        }
        // Copy whole double-byte characters so a match never starts on a second byte.
        const unsigned char c = static_cast<unsigned char>(Html[i]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        const size_t n = (lead && i + 1 < Html.size()) ? 2 : 1;
        out.append(Html, i, n);
        i += n;
    }
    return out;
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

std::string ListBoxSelected(QListWidget *ListBox)
{
    if (!ListBox) return {};
    for (int i = 0; i < ListBox->count(); ++i)
        if (ListBox->item(i)->isSelected()) return toSjis(ListBox->item(i)->text());
    return {};
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
