#pragma once

// A data folder with its spool for the tests of the job hand-off, and a fixed clock.

#include "ServiceFakes.h"
#include "fax/FaxContract.h"
#include "support/Clock.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace jobspool {

using ::FixedClock;

inline const QDateTime kChristmasEve(QDate(2024, 12, 24), QTime(10, 0));

// The spool folders that start-up creates.
class DataFolder {
public:
    DataFolder() {
        for (const QString& name :
             {fax::kFolderComjob, fax::kFolderComack, fax::kFolderComerr, fax::kFolderFaxsend})
            QDir(m_dir.path()).mkdir(name);
    }
    QString Path() const { return m_dir.path(); }
    QString In(const QString& folder, const QString& name = {}) const {
        return name.isEmpty() ? m_dir.filePath(folder) : m_dir.filePath(folder + u'/' + name);
    }
    QStringList Files(const QString& folder) const {
        return QDir(In(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QByteArray Read(const QString& folder, const QString& name) const {
        QFile file(In(folder, name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Files directly in the data folder: temporary job files must not be left there.
    QStringList Strays() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

private:
    QTemporaryDir m_dir;
};

// The value of one line of a job file ("ADDRESS :" -> the number).
inline QByteArray JobValue(const QByteArray& bytes, const QByteArray& key) {
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).chopped(1);
    }
    return "<missing>";
}

} // namespace jobspool
