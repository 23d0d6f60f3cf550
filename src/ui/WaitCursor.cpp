#include "ui/WaitCursor.h"

#include <QApplication>
#include <QCursor>

void WaitCursor::Begin() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void WaitCursor::End() {
    QApplication::restoreOverrideCursor();
}
