#pragma once

// The pieces a typed position is read from, shared by the reader's two sources: numbers with
// their marks, hemisphere letters and separators, each with where it lies in the typed text.

#include <QString>
#include <QStringView>

#include <vector>

namespace pelagon::position_text {

enum class Unit { None = 0, Deg = 1, Min = 2, Sec = 3 };

enum class TokenKind { Number, Mark, Hemisphere, Separator };

struct Token {
    TokenKind kind = TokenKind::Number;
    QString text;            // as typed, for messages
    double value = 0.0;      // Number
    bool sign = false;       // Number: typed with + or -
    bool negative = false;   // Number
    bool decimal = false;    // Number: has a decimal point
    Unit unit = Unit::None;  // Mark
    QChar hemisphere;        // Hemisphere: N, S, E or W
    qsizetype begin = 0;     // where it lies in the typed text
    qsizetype end = 0;
};

struct Failure {
    QString message;
};

// A text quoted for a message.
QString quoted(const QString& s);

// The typed text cut into tokens; a character that belongs to none throws a Failure that names it.
std::vector<Token> tokenize(QStringView text);

}  // namespace pelagon::position_text
