#pragma once

#include <QByteArray>
#include <QString>

// A text file in the OEM code page (CP850) of the fax application: every text written is
// converted from UTF-8 to CP850, a character that CP850 lacks becoming "?", and every line
// feed is stored as CR LF. No byte order mark, no end-of-file mark.
class COemFile {
public:
    COemFile() = default;
    ~COemFile();
    COemFile(const COemFile&) = delete;
    COemFile& operator=(const COemFile&) = delete;

    // Creates the file, or empties it when it exists. False (errno set) when it cannot.
    bool Open(const QString& path);
    bool IsOpen() const { return m_fd >= 0; }
    // False (errno set) on a write error.
    bool WriteOemString(const QString& text);
    // Writes the file's data through to the disk before the file is closed, so that a
    // file published afterwards survives a crash whole. False (errno set) on an error.
    bool Flush();
    // False (errno set) on an error; the file is closed either way.
    bool Close();

    // text in CP850, "?" for every character CP850 lacks; line feeds unchanged.
    static QByteArray ToOem(const QString& text);
    // text as the file stores it: CP850, every line feed as CR LF.
    static QByteArray OemText(const QString& text);
    // CP850 bytes as text.
    static QString FromOem(const QByteArray& oem);
    // What survives a trip through CP850: every character it lacks becomes "?".
    static QString ThroughOem(const QString& text) { return FromOem(ToOem(text)); }
    // Whether CP850 holds every character of text: a path that it does not hold names
    // another file, or none, once the fax application reads it back.
    static bool HoldsAll(const QString& text) { return ThroughOem(text) == text; }

private:
    int m_fd = -1;
};
