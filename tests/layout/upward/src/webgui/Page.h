#include "webgui/Page.h"
#include "text/Words.h"
  #  include "mainwindow/TAMainForm.h"
#include "support/WaitUntil.h"
