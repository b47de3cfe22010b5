#include "mainwindow/SmallForms.h"

TFormSource::TFormSource(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FormSource"));
    setWindowTitle(QStringLiteral("HTMLｿｰｽ"));
}

TFormWaitForBrowser::TFormWaitForBrowser(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormWaitForBrowser"));
    setWindowTitle(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ中"));
}

TShowMessageForm::TShowMessageForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ShowMessageForm"));
}
