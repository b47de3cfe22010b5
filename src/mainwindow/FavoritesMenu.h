// Fills a menu with the user's favourites: one submenu per folder, one item per shortcut,
// and one signal that hands the chosen favourite's URL to the owner. A submenu gets its
// items when it is first opened, so a large favourites folder does not slow the start.
#pragma once
#include "mainwindow/FavoritesScan.h"
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QAction;
class QMenu;

class TFavoritesMenu : public QObject {
    Q_OBJECT
public:
    explicit TFavoritesMenu(QObject *Owner = nullptr);

    QPointer<QMenu> MenuItem;
    int ImageFolder = 0;
    int ImageUrl = 1;

    // Adds the tree's entries under MenuItem; the tree is shared by the menus built from it.
    void Build(std::shared_ptr<const std::vector<FavoriteNode>> Tree);
    // Gives a submenu its items now (what opening it does).
    static void populate(QMenu *Menu);

signals:
    // Sender is the chosen item; Url its hint.
    void OnUrlClick(QAction *Sender, const QString &Url);

private:
    void addEntries(QMenu *Parent, const std::vector<FavoriteNode> &Nodes);
    std::shared_ptr<const std::vector<FavoriteNode>> tree_;
};
