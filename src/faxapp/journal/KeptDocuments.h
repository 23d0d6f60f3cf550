#pragma once

// The documents of ended jobs, kept in the data folder's private "Documents" folder (0700,
// files 0600) so that a job can be sent again after kalmosend's copy in Faxsend is gone: a
// document of a job that was not sent stays as long as a journal row names it, that of a sent
// job for a set number of days after its row was recorded. A colour document (".CFF") is kept
// with the black-and-white companion it is sent as (".SFF" of the same name).

#include "support/Result.h"

#include <QDateTime>
#include <QString>

namespace faxapp {

class JournalStore;

namespace KeptDocuments {

inline const QString kFolderName = QStringLiteral("Documents");
// The days a sent job's document is kept when the settings name none.
inline constexpr int kDefaultSentDays = 30;
// A kept document no row names is left this long: a job sent again is written before its row.
inline constexpr qint64 kUnnamedGraceSecs = qint64{10} * 60;

QString FolderOf(const QString& dataDir);
// Whether document lies in the data folder's kept documents.
bool IsKept(const QString& dataDir, const QString& document);

// Keeps document (a regular file, no link followed) under a new name made of the job's name,
// by a hard link or, across file systems, by a copy; the document itself stays where it is.
// The kept path; a document already kept is its own.
Result<QString> Keep(const QString& dataDir, const QString& document, const QString& jobName);

// Removes a kept document (and its companion) that no journal row names any more; anything
// outside the folder is left alone.
Result<void> DropUnnamed(const QString& dataDir, const JournalStore& journal,
                         const QString& document);

// Removes the kept documents that no row keeps any more at now: those named only by rows of
// sent jobs recorded sentDays days or more before now, and those no row names that have been
// there for the grace. The number of files removed.
Result<int> Prune(const QString& dataDir, const JournalStore& journal, int sentDays,
                  const QDateTime& now);

} // namespace KeptDocuments

} // namespace faxapp
