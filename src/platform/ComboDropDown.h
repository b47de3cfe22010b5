// A combo box's drop-down list as wide as its widest item, so long URLs show whole.
#pragma once

class QComboBox;

// The width the list takes: the widest item in the box's font + 6, plus a vertical scroll
// bar's width when the box holds more items than its list shows at once.
int DroppedWidthFor(const QComboBox *Box);
// Keeps the box's drop-down list at that width (never narrower than the box) as items come
// and go, so it is right whenever it opens.
void KeepDroppedWidthFitted(QComboBox *Box);
