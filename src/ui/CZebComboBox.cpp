#include "ui/CZebComboBox.h"

#include "app/AppBase.h"

#include <QLineEdit>

CZebComboBox::CZebComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    // Typing never completes from the history: the number is what the user types.
    setCompleter(nullptr);
}

void CZebComboBox::InsertEntry(int index, const QString& text, int image) {
    // Inserting moves the edit field's text to the new item when the list was empty; keep it.
    const QString edit = currentText();
    if (image >= 0 && image < m_images.size())
        insertItem(index, m_images.at(image), text);
    else
        insertItem(index, text);
    setEditText(edit);
}

void CZebComboBox::AddToHistory(const QString& text) {
    QStringList entries = Entries();
    AddToHistoryList(entries, text);
    const QString edit = currentText();
    clear();
    addItems(entries);
    setEditText(edit);
}

QStringList CZebComboBox::Entries() const {
    QStringList entries;
    entries.reserve(count());
    for (int i = 0; i < count(); ++i)
        entries.append(itemText(i));
    return entries;
}
