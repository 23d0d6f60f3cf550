#pragma once

#include "support/Messenger.h"

#include <QList>
#include <QString>

// Records every message and answers questions as scripted (No when the script runs out).
class RecordingMessenger final : public Messenger {
public:
    struct Message {
        int id;
        QString text;
        MessageKind kind;
    };

    MessageAnswer Show(int id, const QString& text, MessageKind kind) override;

    QList<int> Ids() const;
    void Clear() { messages.clear(); }

    QList<Message> messages;
    QList<MessageAnswer> answers; // taken from the front for questions
};
