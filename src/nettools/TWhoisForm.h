// The whois notice window, shown when an answer says that nothing matched.
#pragma once
#include <QWidget>

class TWhoisForm : public QWidget {
    Q_OBJECT
public:
    explicit TWhoisForm(QWidget *parent = nullptr);
};
