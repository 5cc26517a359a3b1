#pragma once

#include <QString>
#include <QStringList>

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
    }
    void error(const QString& title, const QString& text) override {
        messages.append({QStringLiteral("error"), title, text});
    }

    QStringList texts() const {
        QStringList out;
        for (const Message& m : messages) {
            out.append(m.text);
        }
        return out;
    }

    QList<Message> messages;
};

}  // namespace pelagon::test
