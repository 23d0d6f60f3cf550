#include "fax/JobFile.h"

#include "fax/JobFileWriter.h"
#include "fax/OemFile.h"
#include "fax/PosixFile.h"

namespace {

// The keys as the file spells them, padded to eight characters, in the order of the fields.
constexpr std::array<const char*, JobFile::kFieldCount> kKeys = {
    "FUNCTION", "FILENAME", "ADDRESS ", "SERVICE ", "CONVERT ", "FAXRES  ",
    "SPEED   ", "PAGES   ", "RECEIVID", "SENDTIME", "ERROR   ", "STATUS  ",
    "FAXDATE ", "FAXSTART", "FAXDAUER", "CHARGE  ", "MODE    ",
};

bool Fail(QString* why, const QString& text) {
    if (why)
        *why = text;
    return false;
}

} // namespace

const QByteArray& JobFile::FirstLine() {
    static const QByteArray line("A*APPLI/COM*V001");
    return line;
}

QByteArray JobFile::Key(Field field) {
    return QByteArray(kKeys[Index(field)]);
}

JobFile::JobFile(const QString& function) {
    m_values[Index(Field::Function)] = function;
}

bool JobFile::SetValue(Field field, const QString& value) {
    if (HasControlCharacter(value))
        return false;
    m_values[Index(field)] = value;
    return true;
}

QByteArray JobFile::Bytes() const {
    QByteArray bytes = FirstLine() + "\r\n";
    for (int i = 0; i < kFieldCount; ++i) {
        bytes += kKeys[static_cast<std::size_t>(i)];
        bytes += ':';
        bytes += COemFile::ToOem(m_values[static_cast<std::size_t>(i)]);
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<JobFile> JobFile::Parse(QByteArrayView bytes, QString* why) {
    JobFile job;
    qsizetype at = 0;
    // Each line whole before its content is looked at: ended by CR LF within the limit.
    const auto nextLine = [&](int number, QByteArrayView& line) {
        const qsizetype end = bytes.indexOf('\n', at);
        const qsizetype limit = at + kMaxLineBytes;
        if (end < 0 && bytes.size() - at >= kMaxLineBytes)
            return Fail(why, QStringLiteral("line %1 is too long").arg(number));
        if (end < 0)
            return Fail(why, QStringLiteral("line %1 is missing or not ended").arg(number));
        if (end >= limit)
            return Fail(why, QStringLiteral("line %1 is too long").arg(number));
        if (end == at || bytes.at(end - 1) != '\r')
            return Fail(why, QStringLiteral("line %1 does not end in CR LF").arg(number));
        line = bytes.sliced(at, end - 1 - at);
        at = end + 1;
        for (const char c : line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return Fail(why, QStringLiteral("line %1 holds a control character").arg(number));
        }
        return true;
    };

    QByteArrayView line;
    if (!nextLine(1, line))
        return std::nullopt;
    if (line != FirstLine()) {
        Fail(why, QStringLiteral("not a job file (first line is not %1)")
                      .arg(QString::fromLatin1(FirstLine())));
        return std::nullopt;
    }
    for (int i = 0; i < kFieldCount; ++i) {
        const int number = i + 2;
        if (!nextLine(number, line))
            return std::nullopt;
        const QByteArrayView key(kKeys[static_cast<std::size_t>(i)]);
        if (line.size() <= key.size() || !line.startsWith(key) || line.at(key.size()) != ':') {
            Fail(why, QStringLiteral("line %1 is not the %2 line")
                          .arg(number)
                          .arg(QString::fromLatin1(key.toByteArray()).trimmed()));
            return std::nullopt;
        }
        job.m_values[static_cast<std::size_t>(i)] =
            COemFile::FromOem(line.sliced(key.size() + 1).toByteArray());
    }
    if (at != bytes.size()) {
        Fail(why, QStringLiteral("data after the last line"));
        return std::nullopt;
    }
    const QString& function = job.Value(Field::Function);
    if (function != SendFunction() && function != PollFunction()) {
        Fail(why, QStringLiteral("unknown function \"%1\"").arg(function));
        return std::nullopt;
    }
    return job;
}

bool IsJobFileName(const QString& name) {
    if (name.size() != 12 || !name.endsWith(QStringLiteral(".FX3"), Qt::CaseInsensitive))
        return false;
    for (int i = 0; i < 8; ++i) {
        if (!name.at(i).isDigit() || name.at(i).unicode() > 0x7f)
            return false;
    }
    return true;
}

bool ReadJobFileBytes(PosixFile& file, QByteArray& bytes) {
    bytes.resize(qsizetype{JobFile::kLineCount} * JobFile::kMaxLineBytes + 1);
    const ssize_t n = file.Read(bytes.data(), static_cast<std::size_t>(bytes.size()));
    if (n < 0)
        return false;
    bytes.truncate(n);
    return true;
}
