// The window's control kinds, thin Qt widgets that keep the behaviour the pages rely on:
// a list box whose items are "text TAB value" shown in columns, a radio group with an
// item index, a status bar with fixed-width panels, and the simple kinds as aliases.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QPointer>
#include <QVector>
#include <string>

class QButtonGroup;
class QVBoxLayout;

using TButton = QPushButton;
using TSpeedButton = QToolButton;
using TEdit = QLineEdit;
using TCheckBox = QCheckBox;
using TLabel = QLabel;
using TMemo = QPlainTextEdit;
using TPageControl = QTabWidget;
using TSplitter = QSplitter;
using TTimer = QTimer;

// A plain container; pages lay their controls out in it.
class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget *parent = nullptr);
};

// A page of a TPageControl; its caption is the tab text.
class TTabSheet : public QWidget {
    Q_OBJECT
public:
    explicit TTabSheet(QWidget *parent = nullptr);
};

class TComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TComboBox(QWidget *parent = nullptr);
};

class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *parent = nullptr);
};

// Items are raw strings such as "title\turl"; they are drawn in columns at the tab stops
// (pixels) while the raw string stays the item's text, so list logic stays string-based.
class TListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TListBox(QWidget *parent = nullptr);
    void setTabStops(const QVector<int> &stops) { tabStops_ = stops; viewport()->update(); }
    const QVector<int> &tabStops() const { return tabStops_; }
    void setHorizontalExtent(int px);
    int horizontalExtent() const { return extent_; }
    void addLine(const QString &line) { addItem(line); }
    QStringList lines() const;
    void setLines(const QStringList &lines);
    // Where the second column of two-column lines starts, from the item's left: past the
    // longest first column, so every row shows its second column.
    int secondColumnStart() const;

private:
    QVector<int> tabStops_;
    int extent_ = 0;
    mutable int secondColumn_ = -1;  // cached; -1 after any change of the items
};

// The part after the first TAB of a two-column line; the whole line when it has none.
QString listLineValue(const QString &line);

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget *parent = nullptr);
    void setItems(const QStringList &items);
    int itemCount() const;
    int itemIndex() const;
    void setItemIndex(int index);
signals:
    void itemIndexChanged(int index);

private:
    QButtonGroup *group_;
    QVBoxLayout *layout_;
    int index_ = -1;  // kept also while the group has no items yet
};

// A status bar of fixed-width text panels, addressed by index.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget *parent = nullptr);
    void setPanelWidths(const QVector<int> &widths);
    int panelCount() const { return panels_.size(); }
    QString panelText(int i) const;
    void setPanelText(int i, const QString &text);
    void clearPanels();

private:
    QVector<QLabel *> panels_;
};

// A report view: captioned columns of fixed widths, rows of a caption and sub-items, whole
// rows selected; a click on a row reports its index.
class TListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TListView(QWidget *parent = nullptr);
    // Captions with widths in pixels; a width of 0 or less leaves the column its natural width.
    void setColumns(const QList<QPair<QString, int>> &columns);
    void addRow(const QString &caption, const QStringList &subItems);
    int rowCount() const { return topLevelItemCount(); }
    QString caption(int row) const;
    // Sub-item i (0-based) of a row; "" past the row's sub-items.
    QString subItem(int row, int i) const;
signals:
    void rowClicked(int row);
};

// A one-line edit with a push button inside its right edge; the button reports a click
// only when press and release both land on it, and text never runs under it.
class TBtnEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TBtnEdit(QWidget *parent = nullptr);
    QToolButton *button() const { return button_; }
    void setBtnCaption(const QString &caption) { button_->setText(caption); }
    QString btnCaption() const { return button_->text(); }
    void setButtonWidth(int w);
    int buttonWidth() const { return buttonWidth_; }
signals:
    void buttonClicked();

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    QToolButton *button_;
    int buttonWidth_ = 19;
};

// Keeps a panel of fixed height readable: the rows of its flow layout that do not fit whole
// are hidden, and shown again when the panel grows, instead of every row being squeezed.
class TRowClipper : public QObject {
    Q_OBJECT
public:
    static void attach(QWidget *panel);
    // The height the panel's rows take with every row shown (rows hidden by the clipping
    // count, rows hidden by their page do not).
    static int contentHeight(QWidget *panel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit TRowClipper(QWidget *panel);
    void apply();
    // Each row's widgets that count and the row's height.
    struct Row {
        QList<QWidget *> widgets;
        int height = 0;
    };
    static QList<Row> rows(QWidget *panel, const QList<QPointer<QWidget>> &clipped);
    QWidget *panel_;
    QList<QPointer<QWidget>> clipped_;
};

// The first selected item's text; "" when none is selected.
std::string ListBoxSelected(QListWidget *ListBox);
