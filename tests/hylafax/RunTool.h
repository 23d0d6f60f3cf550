#pragma once

// Runs one of the HylaFAX tools (or cp) to its end with a time limit, the way the private
// server's set-up and the tests need it.

#include <QByteArray>
#include <QString>
#include <QStringList>

// False with the tool's output in error when it fails or takes too long. home, when given,
// becomes the tool's HOME (the client tools read ~/.hylarc), and FAXSERVER/FAXUSER are dropped.
bool RunTool(const QString& program, const QStringList& arguments, QByteArray& output,
             QString& error, const QString& home = QString());
