#pragma once

#include "support/Messenger.h"

#include <cstdio>

// For runs without a person: each message becomes one line on standard error,
// "kalmosend: message <id>: <text>" with line breaks written as \n; questions take No.
class NonInteractiveMessenger final : public Messenger {
public:
    explicit NonInteractiveMessenger(std::FILE* out = stderr) : m_out(out) {}
    MessageAnswer Show(int id, const QString& text, MessageKind kind) override;

    static QString FormatLine(int id, const QString& text);

private:
    std::FILE* m_out;
};
