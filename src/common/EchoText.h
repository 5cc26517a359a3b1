#pragma once

#include <QString>
#include <QStringList>

namespace pelagon {

// Values from files and command lines quoted back in messages. A message names what is wrong
// without repeating a damaged file: a long value is cut and a long list of names is shortened.
constexpr int kEchoValueChars = 80;
constexpr int kEchoListNames = 10;

// The value as it is when it has at most maxChars characters; otherwise its first maxChars
// characters followed by "…".
QString echoValue(const QString& value, int maxChars = kEchoValueChars);

// echoValue with control characters written as escapes ("\n", "\r", "\x1b"): a field that holds
// a line break still gives a message of one line.
QString echoLine(const QString& value, int maxChars = kEchoValueChars);

// The names in double quotes, separated by ", ", each cut by echoValue; after maxNames names the
// rest is counted instead: "\"A\", \"B\" and 412 more".
QString echoNameList(const QStringList& names, int maxNames = kEchoListNames);

}  // namespace pelagon
