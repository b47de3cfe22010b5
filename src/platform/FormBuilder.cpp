#include "platform/FormBuilder.h"
#include <QBoxLayout>
#include <QGroupBox>
#include <QScrollArea>

QWidget *FormBuilder::parentWidget(const char *parent) const
{
    if (!parent || !*parent) return root_;
    QWidget *p = widgets_.value(QString::fromLatin1(parent));
    Q_ASSERT_X(p, "FormBuilder", parent);
    return p ? p : root_;
}

void FormBuilder::setCaption(QWidget *w, const QString &c)
{
    if (c.isEmpty()) return;
    if (auto *b = qobject_cast<QAbstractButton *>(w)) b->setText(c);
    else if (auto *l = qobject_cast<QLabel *>(w)) l->setText(c);
    else if (auto *g = qobject_cast<QGroupBox *>(w)) g->setTitle(c);
    else if (auto *e = qobject_cast<TBtnEdit *>(w)) e->setPlaceholderText(c);
    else if (auto *e2 = qobject_cast<QLineEdit *>(w)) e2->setPlaceholderText(c);
    else w->setToolTip(c);
}

void FormBuilder::adopt(QWidget *w, const char *parent)
{
    QWidget *p = parentWidget(parent);
    const bool hiddenOnPurpose = w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
    // Leaving the old parent takes the control out of that parent's layout.
    w->setParent(p);
    place(p, w, QString());
    if (!hiddenOnPurpose) w->show();
}

static bool isLarge(QWidget *w)
{
    return qobject_cast<QListWidget *>(w) || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTextEdit *>(w) ||
           qobject_cast<TWebbrowser *>(w) || qobject_cast<QTabWidget *>(w) || qobject_cast<TPanel *>(w) ||
           qobject_cast<QSplitter *>(w) || qobject_cast<TStatusBar *>(w) || qobject_cast<QTreeWidget *>(w);
}

void FormBuilder::place(QWidget *parent, QWidget *child, const QString &caption)
{
    if (auto *tabs = qobject_cast<QTabWidget *>(parent)) {
        tabs->addTab(child, caption);
        return;
    }
    if (auto *split = qobject_cast<QSplitter *>(parent)) {
        split->addWidget(child);
        return;
    }
    if (qobject_cast<TTabSheet *>(parent)) {
        // A page scrolls rather than forcing its size on the window.
        auto *area = parent->findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
        if (!area && !parent->layout()) {
            auto *outer = new QVBoxLayout(parent);
            outer->setContentsMargins(0, 0, 0, 0);
            area = new QScrollArea(parent);
            area->setWidgetResizable(true);
            area->setFrameShape(QFrame::NoFrame);
            area->setWidget(new QWidget(area));
            outer->addWidget(area);
        }
        if (area) {
            child->setParent(area->widget());
            parent = area->widget();
        }
    }
    auto *box = qobject_cast<QBoxLayout *>(parent->layout());
    if (!box) {
        if (parent->layout()) {
            parent->layout()->addWidget(child);
            return;
        }
        box = new QVBoxLayout(parent);
        box->setContentsMargins(2, 2, 2, 2);
        box->setSpacing(2);
        // Rows of small controls pack at the top; large controls take the rest.
        box->addStretch(1);
        parent->setProperty("vkTrailingStretch", true);
    }
    if (box->direction() != QBoxLayout::TopToBottom) {
        box->addWidget(child, isLarge(child) ? 1 : 0);
        return;
    }
    const bool trailing = parent->property("vkTrailingStretch").toBool();
    const int end = trailing ? box->count() - 1 : box->count();
    if (isLarge(child)) {
        box->insertWidget(end, child, 1);
        // The spacer yields to large controls but still takes the room of hidden ones.
        if (trailing) box->setStretch(box->count() - 1, 0);
        return;
    }
    // Small controls flow in rows of up to six.
    QHBoxLayout *row = nullptr;
    if (end > 0) row = qobject_cast<QHBoxLayout *>(box->itemAt(end - 1)->layout());
    if (!row || row->count() >= 7) {
        row = new QHBoxLayout;
        row->setSpacing(4);
        row->addStretch(1);
        box->insertLayout(end, row);
    }
    row->insertWidget(row->count() - 1, child);
}
