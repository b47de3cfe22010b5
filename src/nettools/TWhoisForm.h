// The whois notice window, shown when an answer says that nothing matched: it names the server
// and suggests another one. It stands above every window and has no parent, so it is not hidden
// with the main window.
#pragma once
#include <QWidget>

class QLabel;

class TWhoisForm : public QWidget {
    Q_OBJECT
public:
    explicit TWhoisForm(QWidget *parent = nullptr);

    QLabel *LabelServerDesc = nullptr;
    QLabel *LabelOherWhoisServer = nullptr;
    QLabel *LabelTryOther = nullptr;
};
