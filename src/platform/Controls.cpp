#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include <QBoxLayout>
#include <QButtonGroup>
#include <QEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

TPanel::TPanel(QWidget *parent) : QWidget(parent) {}
TTabSheet::TTabSheet(QWidget *parent) : QWidget(parent) {}

TComboBox::TComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

TSpinEdit::TSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    setRange(0, 999999);
}

namespace {
class TabStopDelegate : public QStyledItemDelegate {
public:
    explicit TabStopDelegate(TListBox *box) : QStyledItemDelegate(box), box_(box) {}

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.contains(QLatin1Char('\t'))) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);
        p->save();
        p->setPen(opt.state & QStyle::State_Selected ? opt.palette.highlightedText().color()
                                                     : opt.palette.text().color());
        const QStringList cols = text.split(QLatin1Char('\t'));
        const QVector<int> &stops = box_->tabStops();
        int x = opt.rect.left() + 2;
        for (int c = 0; c < cols.size(); ++c) {
            if (c == 1) {
                x = std::max(x, opt.rect.left() + box_->secondColumnStart());
            } else if (c > 1) {
                // The next stop right of the text so far, else a fixed step.
                int next = -1;
                for (int s : stops)
                    if (opt.rect.left() + s > x) { next = opt.rect.left() + s; break; }
                x = next >= 0 ? next : x + 16;
            }
            const int w = p->fontMetrics().horizontalAdvance(cols[c]);
            p->drawText(QRect(x, opt.rect.top(), w + 4, opt.rect.height()), Qt::AlignVCenter | Qt::AlignLeft, cols[c]);
            x += w + 8;
        }
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        if (const int tab = int(text.indexOf(QLatin1Char('\t'))); tab >= 0) {
            // Wide enough for the second column, so the list scrolls to its end.
            const int rest = box_->fontMetrics().horizontalAdvance(text.mid(tab + 1));
            size.setWidth(std::max(size.width(), box_->secondColumnStart() + rest + 12));
        }
        return size;
    }

private:
    TListBox *box_;
};
} // namespace

int TListBox::secondColumnStart() const
{
    if (secondColumn_ < 0) {
        int widest = 0;
        for (int i = 0; i < count(); ++i) {
            const QString t = item(i)->text();
            const int tab = int(t.indexOf(QLatin1Char('\t')));
            if (tab >= 0) widest = std::max(widest, fontMetrics().horizontalAdvance(t.left(tab)));
        }
        int start = 2 + widest + 16;
        // A declared stop further right still holds.
        for (int s : tabStops_)
            if (s >= start) {
                start = s;
                break;
            }
        secondColumn_ = start;
    }
    return secondColumn_;
}

TListBox::TListBox(QWidget *parent) : QListWidget(parent)
{
    setItemDelegate(new TabStopDelegate(this));
    for (auto sig : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model(), sig, this, [this] { secondColumn_ = -1; });
    connect(model(), &QAbstractItemModel::dataChanged, this, [this] { secondColumn_ = -1; });
    connect(model(), &QAbstractItemModel::modelReset, this, [this] { secondColumn_ = -1; });
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUniformItemSizes(true);
}

void TListBox::setHorizontalExtent(int px)
{
    extent_ = px;
    // Long lines scroll sideways up to the extent.
    setResizeMode(QListView::Fixed);
    setGridSize(QSize());
    horizontalScrollBar()->setRange(0, std::max(0, px - viewport()->width()));
}

QStringList TListBox::lines() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i) out << item(i)->text();
    return out;
}

void TListBox::setLines(const QStringList &lines)
{
    clear();
    addItems(lines);
}

QString listLineValue(const QString &line)
{
    const int tab = line.indexOf(QLatin1Char('\t'));
    return tab < 0 ? line : line.mid(tab + 1);
}

TRadioGroup::TRadioGroup(QWidget *parent)
    : QGroupBox(parent), group_(new QButtonGroup(this)), layout_(new QVBoxLayout(this))
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout_->setContentsMargins(4, 2, 4, 2);
    layout_->setSpacing(1);
    connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on || id == index_) return;
        index_ = id;
        emit itemIndexChanged(id);
    });
}

void TRadioGroup::setItems(const QStringList &items)
{
    for (auto *b : group_->buttons()) {
        group_->removeButton(b);
        delete b;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto *rb = new QRadioButton(items[i], this);
        group_->addButton(rb, i);
        layout_->addWidget(rb);
    }
    const int keep = index_;
    index_ = -2;
    setItemIndex(keep);
}

int TRadioGroup::itemCount() const { return group_->buttons().size(); }

int TRadioGroup::itemIndex() const { return index_; }

void TRadioGroup::setItemIndex(int index)
{
    if (index == index_) return;
    index_ = index;
    if (auto *b = group_->button(index)) {
        QSignalBlocker block(group_);
        b->setChecked(true);
    } else if (auto *c = group_->checkedButton()) {
        QSignalBlocker block(group_);
        group_->setExclusive(false);
        c->setChecked(false);
        group_->setExclusive(true);
    }
    emit itemIndexChanged(index);
}

TStatusBar::TStatusBar(QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
}

void TStatusBar::setPanelWidths(const QVector<int> &widths)
{
    for (auto *l : panels_) {
        removeWidget(l);
        delete l;
    }
    panels_.clear();
    for (int w : widths) {
        auto *l = new QLabel(this);
        // Panels share what the window has, in proportion, down to a sliver each: a status
        // bar must never make the window wider than a small screen.
        l->setMinimumWidth(std::min(w, 24));
        l->setMaximumWidth(w);
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        l->setFrameShape(QFrame::StyledPanel);
        addWidget(l, w);
        panels_ << l;
    }
}

QString TStatusBar::panelText(int i) const
{
    return (i >= 0 && i < panels_.size()) ? panels_[i]->text() : QString();
}

void TStatusBar::setPanelText(int i, const QString &text)
{
    if (i >= 0 && i < panels_.size()) panels_[i]->setText(text);
}

void TStatusBar::clearPanels()
{
    for (auto *l : panels_) l->clear();
}

TBtnEdit::TBtnEdit(QWidget *parent) : QLineEdit(parent), button_(new QToolButton(this))
{
    button_->setText(QStringLiteral("..."));
    button_->setCursor(Qt::ArrowCursor);
    button_->setFocusPolicy(Qt::NoFocus);
    // QToolButton::clicked fires only when the release is on the button too.
    connect(button_, &QToolButton::clicked, this, &TBtnEdit::buttonClicked);
    setButtonWidth(19);
}

void TBtnEdit::setButtonWidth(int w)
{
    buttonWidth_ = w;
    setTextMargins(0, 0, w, 0);
    resizeEvent(nullptr);
}

void TBtnEdit::resizeEvent(QResizeEvent *e)
{
    if (e) QLineEdit::resizeEvent(e);
    button_->setGeometry(width() - buttonWidth_ - 1, 1, buttonWidth_, height() - 2);
}

TRowClipper::TRowClipper(QWidget *panel) : QObject(panel), panel_(panel) {}

void TRowClipper::attach(QWidget *panel)
{
    panel->installEventFilter(new TRowClipper(panel));
}

bool TRowClipper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panel_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) apply();
    return QObject::eventFilter(watched, event);
}

QList<TRowClipper::Row> TRowClipper::rows(QWidget *panel, const QList<QPointer<QWidget>> &clipped)
{
    QList<Row> out;
    auto *box = qobject_cast<QBoxLayout *>(panel->layout());
    if (!box) return out;
    for (int i = 0; i < box->count(); ++i) {
        QLayout *row = box->itemAt(i)->layout();
        if (!row) continue;
        Row r;
        for (int j = 0; j < row->count(); ++j) {
            QWidget *w = row->itemAt(j)->widget();
            if (!w) continue;
            const bool ours = clipped.contains(w);
            if (w->isHidden() && !ours) continue;  // hidden by its page, not by the clipping
            r.widgets << w;
            r.height = std::max(r.height, w->sizeHint().height());
        }
        if (!r.widgets.isEmpty()) out << r;
    }
    return out;
}

int TRowClipper::contentHeight(QWidget *panel)
{
    auto *box = qobject_cast<QBoxLayout *>(panel->layout());
    if (!box) return panel->sizeHint().height();
    const TRowClipper *clipper = panel->findChild<TRowClipper *>(QString(), Qt::FindDirectChildrenOnly);
    const QList<Row> rows = TRowClipper::rows(panel, clipper ? clipper->clipped_ : QList<QPointer<QWidget>>());
    int h = box->contentsMargins().top() + box->contentsMargins().bottom();
    for (const Row &r : rows) h += r.height;
    if (rows.size() > 1) h += box->spacing() * int(rows.size() - 1);
    return h;
}

void TRowClipper::apply()
{
    auto *box = qobject_cast<QBoxLayout *>(panel_->layout());
    if (!box) return;
    int top = box->contentsMargins().top();
    for (const Row &r : rows(panel_, clipped_)) {
        const bool fits = top + r.height <= panel_->height();
        for (QWidget *w : r.widgets) {
            if (fits && clipped_.removeAll(w) > 0) w->show();
            else if (!fits && !clipped_.contains(w)) {
                clipped_ << w;
                w->hide();
            }
        }
        top += r.height + box->spacing();
    }
}

TListView::TListView(QWidget *parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item, int) {
        if (item) emit rowClicked(indexOfTopLevelItem(item));
    });
}

void TListView::setColumns(const QList<QPair<QString, int>> &columns)
{
    setColumnCount(int(columns.size()));
    QStringList captions;
    for (const auto &c : columns) captions << c.first;
    setHeaderLabels(captions);
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].second > 0) setColumnWidth(i, columns[i].second);
}

void TListView::addRow(const QString &caption, const QStringList &subItems)
{
    auto *item = new QTreeWidgetItem(this);
    item->setText(0, caption);
    for (int i = 0; i < subItems.size(); ++i) item->setText(i + 1, subItems[i]);
}

QString TListView::caption(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->text(0) : QString();
}

QString TListView::subItem(int row, int i) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item && i + 1 < item->columnCount() ? item->text(i + 1) : QString();
}

std::string ListBoxSelected(QListWidget *ListBox)
{
    if (!ListBox) return {};
    for (int i = 0; i < ListBox->count(); ++i)
        if (ListBox->item(i)->isSelected()) return toSjis(ListBox->item(i)->text());
    return {};
}
