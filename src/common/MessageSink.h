#pragma once

#include <QString>

namespace pelagon {

// Every message box of the program goes through this interface, so that tests can record the
// texts instead of blocking on a modal dialog. An empty title means the application's own name.
class MessageSink {
public:
    virtual ~MessageSink() = default;

    // An informational message with a single OK button; returns when the user has closed it.
    virtual void information(const QString& title, const QString& text) = 0;

    // A failure the user must know about; a single OK button.
    virtual void error(const QString& title, const QString& text) = 0;
};

}  // namespace pelagon
