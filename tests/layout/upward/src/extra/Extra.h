#include "text/Words.h"
