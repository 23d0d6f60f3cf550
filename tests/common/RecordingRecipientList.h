#pragma once

#include "addressbook/RecipientList.h"

#include <QList>
#include <QStringList>

// Records every insertion with its index, and counts the clears.
class RecordingRecipientList final : public RecipientList {
public:
    struct Row {
        int index = 0;
        RecipientEntry entry;
    };

    void InsertRecipient(int index, const RecipientEntry& entry) override {
        rows.append({index, entry});
    }
    void ClearRecipients() override {
        rows.clear();
        ++clears;
    }

    // "name=number" of each row, in insertion order.
    QStringList Texts() const {
        QStringList texts;
        for (const Row& row : rows)
            texts.append(row.entry.name + QLatin1Char('=') + row.entry.number);
        return texts;
    }

    QList<Row> rows;
    int clears = 0;
};
