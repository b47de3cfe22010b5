// The main window's secondary windows: the HTML source viewer, the wait window shown while
// the right pane loads, and the message window with a copy button.
#pragma once
#include <QWidget>

class TFormSource : public QWidget {
    Q_OBJECT
public:
    explicit TFormSource(QWidget *parent = nullptr);
};

class TFormWaitForBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TFormWaitForBrowser(QWidget *parent = nullptr);
};

class TShowMessageForm : public QWidget {
    Q_OBJECT
public:
    explicit TShowMessageForm(QWidget *parent = nullptr);
};
