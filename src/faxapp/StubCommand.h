#pragma once

// Placeholder for a command that is not built yet (removed once every command exists).

#include "faxapp/Command.h"

#include <cstdio>

namespace faxapp {

class StubCommand final : public Command {
public:
    explicit StubCommand(QString name) : m_name(std::move(name)) {}
    QString Name() const override { return m_name; }
    QString Description() const override { return QStringLiteral("(not built yet)"); }
    int Execute(int, char*[], int) override {
        std::fprintf(stderr, "kalmofax: %s is not built yet\n", qPrintable(m_name));
        return 1;
    }

private:
    QString m_name;
};

} // namespace faxapp
