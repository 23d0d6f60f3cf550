#pragma once

#include <QComboBox>

// The number combo: an edit field over a most-recent-first list of at most 10 numbers.
class CZebComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CZebComboBox(QWidget* parent = nullptr);

    // Inserts text at index; image -1 means none.
    void InsertEntry(int index, const QString& text, int image = -1);
    // Puts text on top: equal entries (ignoring case) go, at most 10 stay.
    void AddToHistory(const QString& text);
    QStringList Entries() const;
    // Images for InsertEntry; the own address book and Outlook pictures of the list.
    void SetImages(const QList<QIcon>& images) { m_images = images; }

private:
    QList<QIcon> m_images;
};
