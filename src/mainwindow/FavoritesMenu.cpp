#include "mainwindow/FavoritesMenu.h"
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStyle>

namespace {
// Looked up once: the style's icon lookup is slow enough to show in the start time.
QIcon imageIcon(int index)
{
    static const QIcon folder = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    static const QIcon file = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return index == 0 ? folder : file;
}

// A caption is shown as it is: "&" is not a hot-key marker here.
QString menuText(const std::string &caption) { return QString::fromUtf8(caption).replace(QLatin1Char('&'), QStringLiteral("&&")); }

const char *kPending = "vkFavPending";
} // namespace

TFavoritesMenu::TFavoritesMenu(QObject *Owner) : QObject(Owner) {}

void TFavoritesMenu::Build(std::shared_ptr<const std::vector<FavoriteNode>> Tree)
{
    tree_ = std::move(Tree);
    if (!MenuItem || !tree_) return;
    MenuItem->setToolTipsVisible(true);
    addEntries(MenuItem, *tree_);
}

void TFavoritesMenu::addEntries(QMenu *Parent, const std::vector<FavoriteNode> &Nodes)
{
    for (const FavoriteNode &n : Nodes) {
        if (n.folder) {
            QMenu *sub = Parent->addMenu(imageIcon(ImageFolder), menuText(n.caption));
            sub->setToolTipsVisible(true);
            const std::vector<FavoriteNode> *children = &n.children;
            // Filled on first opening; the tree lives as long as this object.
            auto fill = [this, sub, children] {
                if (!sub->property(kPending).toBool()) return;
                sub->setProperty(kPending, false);
                addEntries(sub, *children);
            };
            sub->setProperty(kPending, true);
            connect(sub, &QMenu::aboutToShow, this, fill);
            continue;
        }
        QAction *a = Parent->addAction(imageIcon(ImageUrl), menuText(n.caption));
        const QString url = QString::fromUtf8(n.url);
        a->setToolTip(url);
        a->setData(url);
        connect(a, &QAction::triggered, this, [this, a] { emit OnUrlClick(a, a->data().toString()); });
    }
}

void TFavoritesMenu::populate(QMenu *Menu)
{
    if (Menu && Menu->property(kPending).toBool()) emit Menu->aboutToShow();
}
