// The static text of the top tab " 説明と注意 ": what each page does and what a user must know
// about what the program writes. Kept true with the README.
#pragma once
#include <QString>

QString DescriptionPageText();
