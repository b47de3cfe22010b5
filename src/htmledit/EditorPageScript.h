// The editing control's script inside its page: it runs in the program's own script world,
// answers the control's document reads, and reports changes, display changes and clicks over
// the console channel, each message starting with the editor's token.
#pragma once
#include <QString>

QString editorPageScript(const QString &Token);
