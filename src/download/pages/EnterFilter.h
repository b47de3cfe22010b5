// Enter (either key) in a control, heard before the control handles it.
#pragma once
#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <functional>

class EnterFilter : public QObject {
public:
    EnterFilter(QObject *parent, std::function<void()> onEnter) : QObject(parent), onEnter_(std::move(onEnter)) {}

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress) {
            const int k = static_cast<QKeyEvent *>(e)->key();
            if (k == Qt::Key_Return || k == Qt::Key_Enter) onEnter_();
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> onEnter_;
};
