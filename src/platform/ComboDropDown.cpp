#include "platform/ComboDropDown.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QStyle>

int DroppedWidthFor(const QComboBox *Box)
{
    const QFontMetrics fm(Box->font());
    int widest = 0;
    for (int i = 0; i < Box->count(); ++i) widest = std::max(widest, fm.horizontalAdvance(Box->itemText(i)));
    int w = widest + 6;
    if (Box->count() > Box->maxVisibleItems()) w += Box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Box);
    return w;
}

void KeepDroppedWidthFitted(QComboBox *Box)
{
    QAbstractItemModel *model = Box->model();
    auto fit = [Box] { Box->view()->setMinimumWidth(DroppedWidthFor(Box)); };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, Box, fit);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, Box, fit);
    QObject::connect(model, &QAbstractItemModel::modelReset, Box, fit);
    QObject::connect(model, &QAbstractItemModel::dataChanged, Box, fit);
    fit();
}
