#include "nettools/TWhoisForm.h"

TWhoisForm::TWhoisForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("WhoisForm"));
    setWindowTitle(QStringLiteral("Whois"));
}
