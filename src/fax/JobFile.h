#pragma once

// A job file as both sides read and write it: a first line "A*APPLI/COM*V001", then 17 lines
// "KEY     :value" (the key padded to eight characters) in a fixed order, CP850, every line
// ended by CR LF. kalmosend writes new ones; the fax application reads them strictly and
// writes a job's outcome into the same 18 lines.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <optional>

class JobFile {
public:
    // The keyed lines, in their order in the file.
    enum class Field {
        Function,
        FileName,
        Address,
        Service,
        Convert,
        FaxRes,
        Speed,
        Pages,
        ReceivId,
        SendTime,
        Error,
        Status,
        FaxDate,
        FaxStart,
        FaxDauer,
        Charge,
        Mode,
    };
    static constexpr int kFieldCount = 17;
    static constexpr int kLineCount = kFieldCount + 1;
    // The longest line taken, CR LF included: far beyond any path or number kalmosend writes,
    // small enough that a stray large file is refused at once.
    static constexpr int kMaxLineBytes = 4096;

    static const QByteArray& FirstLine(); // "A*APPLI/COM*V001"
    // "FUNCTION", "FILENAME", "ADDRESS ", ...: the key as the file spells it, padded.
    static QByteArray Key(Field field);

    // The function values of the two kinds of job.
    static QString SendFunction() { return QStringLiteral("SENDACK"); }
    static QString PollFunction() { return QStringLiteral("POLL"); }

    // Every value empty but the function.
    explicit JobFile(const QString& function = SendFunction());

    // The job file in bytes, or nullopt with the reason in why: a first line that is not a
    // job file's, a line that is missing, out of order, too long or not ended by CR LF, a
    // control character in a value, anything after the last line, a function other than
    // SENDACK or POLL.
    static std::optional<JobFile> Parse(QByteArrayView bytes, QString* why = nullptr);

    const QString& Value(Field field) const { return m_values[Index(field)]; }
    // False, and nothing changed, for a value that would add or break a line.
    bool SetValue(Field field, const QString& value);

    bool IsPoll() const { return Value(Field::Function) == PollFunction(); }

    // The 18 lines in CP850 with CR LF; a character CP850 lacks becomes "?".
    QByteArray Bytes() const;

private:
    static constexpr std::size_t Index(Field field) { return static_cast<std::size_t>(field); }
    std::array<QString, kFieldCount> m_values;
};

class PosixFile;

// Does name look like a job file ("DDMMnnnn.FX3", any letter case)?
bool IsJobFileName(const QString& name);
// Reads an open job file's bytes, up to one byte more than any job file has: a longer file is
// refused by the reader without being read whole. False on a read error.
bool ReadJobFileBytes(PosixFile& file, QByteArray& bytes);
