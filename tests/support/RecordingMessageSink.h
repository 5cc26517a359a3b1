#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "common/MessageSink.h"

namespace pelagon::test {

// Records messages instead of showing modal boxes.
class RecordingMessageSink : public MessageSink {
public:
    struct Message {
        QString kind;  // "information" or "error"
        QString title;
        QString text;
    };

    void information(const QString& title, const QString& text) override {
        messages.append({QStringLiteral("information"), title, text});
        if (onMessage) {
            onMessage();
        }
    }
    void error(const QString& title, const QString& text) override {
        messages.append({QStringLiteral("error"), title, text});
        if (onMessage) {
            onMessage();
        }
    }

    QStringList texts() const {
        QStringList out;
        for (const Message& m : messages) {
            out.append(m.text);
        }
        return out;
    }

    QList<Message> messages;
    // Called as each message arrives, while a modal box would show it: to look at what shows
    // behind it.
    std::function<void()> onMessage;
};

}  // namespace pelagon::test
