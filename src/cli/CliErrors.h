#pragma once

#include <QString>

#include <exception>

namespace pelagon::cli {

// Failures that end a subcommand; runCli turns them into the exit status and one message on the
// error stream.

// The command line is wrong (unknown subcommand or option, missing argument, malformed number):
// exit status 2.
class UsageError : public std::exception {
public:
    explicit UsageError(QString message) : message_(std::move(message)) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return "usage error"; }

private:
    QString message_;
};

// The map or an input file cannot be used, or an output cannot be written: exit status 1. An
// empty message: the problem has been told already (HeadlessMap tells each file's problem once).
class InputError : public std::exception {
public:
    explicit InputError(QString message) : message_(std::move(message)) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return "input error"; }

private:
    QString message_;
};

}  // namespace pelagon::cli
