// An editing control in a shown window, ready for keys, the mouse and script reads.
#pragma once
#include "htmledit/TProfDHTMLEdit2.h"
#include "support/WaitUntil.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QRect>
#include <QWidget>
#include <gtest/gtest.h>

struct EditorWindow {
    QWidget window;
    TProfDHTMLEdit2 *ed = nullptr;
    // The program's editors' options; Wait: until the control has its first document.
    explicit EditorWindow(QSize Size = QSize(800, 600), bool Wait = true)
    {
        window.resize(Size);
        ed = new TProfDHTMLEdit2(&window);
        ed->resize(Size);
        ed->SourceCodeOptions = htmledit::kEditorSourceOptions;
        ed->UseBrOnCarriageReturn = true;
        ed->UseDivOnCarriageReturn = true;
        window.show();
        if (Wait) EXPECT_TRUE(waitUntil([this] { return ed->DocumentReady(); }, 20000));
    }
    QString js(const QString &Script) { return ed->evalDoc(Script).toString(); }
    // The client rectangle of the element with Id.
    QRect rect(const char *Id)
    {
        const QJsonArray a = QJsonDocument::fromJson(
            js(QStringLiteral("var r=document.getElementById('%1').getBoundingClientRect();return JSON.stringify([r.left,r.top,r.right,r.bottom]);")
                   .arg(QLatin1String(Id)))
                .toUtf8()).array();
        return QRect(QPoint(int(a.at(0).toDouble()), int(a.at(1).toDouble())), QPoint(int(a.at(2).toDouble()), int(a.at(3).toDouble())));
    }
};
