#include "RecordingMessenger.h"

MessageAnswer RecordingMessenger::Show(int id, const QString& text, MessageKind kind) {
    messages.append({id, text, kind});
    if (kind != MessageKind::Question)
        return MessageAnswer::Ok;
    return answers.isEmpty() ? MessageAnswer::No : answers.takeFirst();
}

QList<int> RecordingMessenger::Ids() const {
    QList<int> ids;
    for (const Message& m : messages)
        ids.append(m.id);
    return ids;
}
