#include "nettools/TWhoisForm.h"

#include <QLabel>
#include <QVBoxLayout>

TWhoisForm::TWhoisForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("WhoisForm"));
    setWindowTitle(QStringLiteral("Whoisｻｰﾊﾞの変更"));
    setFixedSize(413, 121);
    auto *lay = new QVBoxLayout(this);
    auto label = [&](QLabel *&member, const char *name, const QString &text) {
        member = new QLabel(text, this);
        member->setObjectName(QString::fromLatin1(name));
        QFont f = member->font();
        f.setPixelSize(16);
        member->setFont(f);
        lay->addWidget(member);
    };
    label(LabelServerDesc, "LabelServerDesc", QStringLiteral("Whoisｻｰﾊﾞ"));
    label(LabelOherWhoisServer, "LabelOherWhoisServer", QString());
    label(LabelTryOther, "LabelTryOther", QStringLiteral("を変更して、「 他のｻｰﾊﾞ 」で試してください "));
    QFont bold = LabelOherWhoisServer->font();
    bold.setBold(true);
    LabelOherWhoisServer->setFont(bold);
    LabelOherWhoisServer->setStyleSheet(QStringLiteral("color: red;"));
}
