// The editing part of the control's page script: key and input rules, selection, caret
// counting, tables and the page's lists. It extends the object of the base page script and
// runs in the same program world.
#pragma once
#include <QString>

QString editingPageScript();
