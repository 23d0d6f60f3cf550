#pragma once

// A data folder in a temporary folder, with the spool folders that start-up creates.

#include "fax/FaxContract.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

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
    void Put(const QString& folder, const QString& name, const QByteArray& bytes = "x") const {
        QFile file(In(folder, name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
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
