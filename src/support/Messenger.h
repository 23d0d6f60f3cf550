#pragma once

#include <QString>

// What the user is told goes through a Messenger: message boxes in the desktop program,
// lines on standard error in non-interactive runs, a recording fake in tests.

enum class MessageKind { Warning, Question, Information };
enum class MessageAnswer { Ok, Yes, No };

class Messenger {
public:
    virtual ~Messenger() = default;
    // id is the string's id (the message's help context); text is filled in already.
    virtual MessageAnswer Show(int id, const QString& text, MessageKind kind) = 0;
};

// The message helpers: the string's text, with %1 and %2 filled where given.
MessageAnswer MessageWarning(Messenger& m, int id);
MessageAnswer MessageWarning1(Messenger& m, int id, const QString& a);
MessageAnswer MessageWarning2(Messenger& m, int id, const QString& a, const QString& b);
MessageAnswer MessageQuestion(Messenger& m, int id);
MessageAnswer MessageInfo(Messenger& m, int id);

// "%X" of a status code: upper-case hexadecimal without leading zeros.
QString FormatStatusCode(long status);
