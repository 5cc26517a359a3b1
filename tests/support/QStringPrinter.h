#pragma once

#include <QString>

#include <ostream>

// Lets test failures show QString values as text rather than as arrays of bytes.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
