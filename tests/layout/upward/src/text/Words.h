#include <platform/QtSjis.h>
#include <QtCore/QString>
