// Builds a window's controls from a declaration list: each entry names the control's type,
// its name (kept as objectName), its parent by name and its caption. Pages declare their
// controls once in a .def list and get typed members from the same list:
//
//   VK_CONTROL(TButton, btnGoogleSearch, "PanelPageControlMainTopTab00GoogleSearchTop", "検索")
//
// Children go into their parent's layout in declaration order: a tab sheet becomes a page of
// its page control, small controls flow in rows, large ones (lists, texts, browsers, page
// controls, panels) take a row of their own. A parent that already has a layout keeps it.
#pragma once
#include "platform/Controls.h"
#include "platform/TWebbrowser.h"
#include <QHash>
#include <QString>

class QAction;
class QMenu;

class FormBuilder {
public:
    explicit FormBuilder(QWidget *root) : root_(root) {}

    template <class W>
    W *make(W *&member, const char *name, const char *parent, const char *caption)
    {
        QWidget *p = parentWidget(parent);
        auto *w = new W(p);
        w->setObjectName(QString::fromLatin1(name));
        setCaption(w, QString::fromUtf8(caption));
        place(p, w, QString::fromUtf8(caption));
        widgets_.insert(w->objectName(), w);
        member = w;
        return w;
    }

    // Moves a control that another list declared to a declared parent, placed as if it were
    // declared there, so a page can gather controls that several lists name.
    void adopt(QWidget *w, const char *parent);
    // Registers a widget made by hand so that declared controls can name it as their parent.
    void add(QWidget *w) { widgets_.insert(w->objectName(), w); }
    QWidget *root() const { return root_; }
    QWidget *widget(const QString &name) const { return widgets_.value(name); }

private:
    QWidget *parentWidget(const char *parent) const;
    void place(QWidget *parent, QWidget *child, const QString &caption);

    static void setCaption(QWidget *w, const QString &c);

    QWidget *root_;
    QHash<QString, QWidget *> widgets_;
};

// Declares the members of a page from its .def list.
#define VK_DECLARE_CONTROL(T, N, P, C) T *N = nullptr;
// Creates them, in list order.
#define VK_BUILD_CONTROL(T, N, P, C) b.make(N, #N, P, C);
