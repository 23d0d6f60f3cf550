#pragma once

// The versions of kalmofax's parts, for the version window and `kalmofax version --text`.

#include <QList>
#include <QString>

namespace faxapp {

struct VersionPart {
    QString name;
    QString version; // empty: not installed (only the optional programs)
};

// kalmofax, kalmosend, Qt, SQLite, libtiff, then Ghostscript and the HylaFAX client when they
// are found on PATH.
QList<VersionPart> CollectVersions();

// "name: version" a line, "name: nicht gefunden" for a missing one.
QString VersionText(const QList<VersionPart>& parts);

} // namespace faxapp
