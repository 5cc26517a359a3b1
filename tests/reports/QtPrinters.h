#pragma once

// Readable GoogleTest output for the Qt values the widget tests compare.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *os << (i > 0 ? ", " : "") << '"' << list[i].toStdString() << '"';
    }
    *os << '}';
}

inline void PrintTo(const QSize& s, std::ostream* os) {
    *os << s.width() << 'x' << s.height();
}

inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.width() << 'x' << r.height() << '+' << r.x() << '+' << r.y();
}
