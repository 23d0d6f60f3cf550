#include "Server.h"

#include "Roles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace standin {

QString EscapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

QString CallLine(int dispid, InvokeKind kind, const QList<AutoVariant>& args) {
    QString line =
        QString::number(dispid) + QLatin1Char('\t') +
        (kind == InvokeKind::PropertyGet ? QStringLiteral("get") : QStringLiteral("method"));
    for (const AutoVariant& arg : args) {
        line += QLatin1Char('\t');
        switch (arg.Type()) {
        case VT_I2:
            line += QStringLiteral("n:") + QString::number(arg.ToI2());
            break;
        case VT_I4:
            line += QStringLiteral("i:") + QString::number(arg.ToI4());
            break;
        case VT_BSTR:
            line += QStringLiteral("s:") + EscapeValue(arg.ToBStr());
            break;
        case VT_DISPATCH:
            line += arg.ToDispatch() ? QStringLiteral("o:object") : QStringLiteral("o:/");
            break;
        default:
            line += QStringLiteral("?:");
        }
    }
    return line;
}

bool ReadAllOffered() {
    const QString off = qEnvironmentVariable("KALMO_STANDIN_NO_READALL");
    return off.isEmpty() || !QFile::exists(off);
}

void WaitWhileHeld() {
    const QString hold = qEnvironmentVariable("KALMO_STANDIN_HOLD");
    if (hold.isEmpty())
        return;
    const QDeadlineTimer deadline(20000);
    while (QFile::exists(hold) && !deadline.hasExpired())
        QThread::msleep(10);
}

bool AppendToFile(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

int Serve(int argc, char* argv[], const QString& progId) {
    QCoreApplication app(argc, argv);
    // A server that starts but never takes its name, for tests of an activation that times
    // out.
    if (qEnvironmentVariableIntValue("KALMO_STANDIN_STALL") == 1)
        return app.exec();

    const QList<ServedClass> classes = ServedClasses();
    auto found = std::find_if(classes.begin(), classes.end(),
                              [&](const ServedClass& c) { return c.progId == progId; });
    if (found == classes.end()) {
        std::fprintf(stderr, "kalmo-standin: no class %s\n", qPrintable(progId));
        return 1;
    }
    // Lifecycle events of the objects, one a line, for tests that check that every object
    // handed out is released.
    const QString traceFile = qEnvironmentVariable("KALMO_STANDIN_TRACE");
    dbusauto::ObjectTrace trace;
    if (!traceFile.isEmpty())
        trace = [traceFile](const QString& event, const QString& path) {
            AppendToFile(traceFile, event + QLatin1Char(' ') + path + QLatin1Char('\n'));
        };
    return dbusauto::ServeOnSessionBus(app, *found, "kalmo-standin", std::move(trace));
}

} // namespace standin
