#pragma once

// A small dialog with the version of every part of the fax application.

#include "faxapp/ui/VersionParts.h"

#include <QDialog>

namespace faxapp {

class VersionWindow final : public QDialog {
    Q_OBJECT
public:
    explicit VersionWindow(const QList<VersionPart>& parts, QWidget* parent = nullptr);
};

} // namespace faxapp
