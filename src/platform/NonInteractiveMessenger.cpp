#include "platform/NonInteractiveMessenger.h"

QString NonInteractiveMessenger::FormatLine(int id, const QString& text) {
    QString escaped = text;
    escaped.replace(u'\n', QLatin1String("\\n"));
    return QStringLiteral("kalmosend: message %1: %2").arg(id).arg(escaped);
}

MessageAnswer NonInteractiveMessenger::Show(int id, const QString& text, MessageKind kind) {
    const QByteArray line = FormatLine(id, text).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), m_out);
    std::fflush(m_out);
    return kind == MessageKind::Question ? MessageAnswer::No : MessageAnswer::Ok;
}
