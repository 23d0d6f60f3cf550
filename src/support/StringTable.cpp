#include "support/StringTable.h"

#include "support/StringIds.h"

#include <QTranslator>
#include <algorithm>
#include <array>
#include <utility>

namespace {

struct Entry {
    int id;
    const char16_t* text;
};

// Ascending by id.
constexpr std::array kTable{
    Entry{IDS_ABOUTBOX, u"Inf&o über KALMO!send"},
    Entry{IDS_RECIPIENTS, u"Empfänger"},
    Entry{IDS_SUFFIX_BUSINESS, u" (gesch.)"},
    Entry{IDS_SUFFIX_PRIVATE, u" (privat)"},
    Entry{IDS_FILTER_OPEN, u"Fax-Dateien (*.sff)|*.sff|Alle Dateien (*.*)|*.*||"},
    Entry{IDS_RECIPIENT_COUNT, u"%1 Empfänger"},
    Entry{IDS_POLL, u"Fax-Abruf"},
    Entry{IDS_FILTER_SAVE, u"Fax-Dateien (*.sff)|*.sff||"},
    Entry{IDS_RES_FINE, u"Fein"},
    Entry{IDS_RES_NORMAL, u"Normal"},
    Entry{IDS_FORMAT_SFF, u"SFF"},
    Entry{IDS_FORMAT_PCX, u"PCX"},
    Entry{IDS_FORMAT_ASCII, u"ASCII"},
    Entry{IDS_STATUS, u"%1-Format, %2 Bytes, %3"},
    Entry{IDS_SEND_NOW, u"Versand sofort"},
    Entry{IDS_SEND_AT, u"Versand am %1 um %2"},
    Entry{IDS_FORMAT_COLOUR, u"Farbfax"},
    Entry{IDS_ERR_ADDRESSBOOK_CONNECT,
          u"Verbindung zum Adressbuch kann nicht hergestellt werden. (#%1)\n%2"},
    Entry{IDS_ERR_NO_FILENAME, u"Keinen Dateinamen angegeben"},
    Entry{IDS_ASK_START_FAX, u"KALMO!fax ist nicht aktiv. Soll das Programm gestartet werden ?"},
    Entry{IDS_ERR_JOURNAL_CONNECT,
          u"Verbindung zum Journal kann nicht hergestellt werden. (#%1)\n%2"},
    Entry{IDS_ERR_COPY_PRINTFILE, u"Kann Druckdatei nicht kopieren\n%1"},
    Entry{IDS_ERR_NO_NUMBER, u"Keine Rufnummer angegeben"},
    Entry{IDS_ERR_START_ADDRESSBOOK, u"Das Adressbuch kann nicht gestartet werden"},
    Entry{IDS_ERR_START_FAX, u"KALMO!fax kann nicht gestartet werden.\n%1"},
    Entry{IDS_ERR_COM, u"COM-Bibliotheken sind nicht installiert"},
    Entry{IDS_ERR_CDO_MISSING, u"CDO-Bibliotheken sind nicht installiert"},
    Entry{IDS_ERR_CDO_BROKEN, u"Die CDO-Bibliotheken sind nicht korrekt\n\n%1"},
    Entry{IDS_ERR_OUTLOOK_OPEN, u"Das Outlook 98-Adressbuch kann nicht geöffnet werden\n\n%1"},
    Entry{IDS_ERR_OUTLOOK_NONE, u"Keine Outlook 98-Adressbücher vorhanden"},
    Entry{IDS_ERR_OUTLOOK_READ, u"Das Outlook 98-Adressbuch kann nicht gelesen werden\n\n%1"},
    Entry{IDS_ERR_CREATE_FOLDER, u"Fehler beim Erzeugen von '%1'\n%2"},
    Entry{IDS_ERR_START_VERSION, u"Die Versionsanzeige kann nicht gestartet werden\n%1"},
    Entry{IDS_ERR_START_VIEWER, u"Fehler beim Starten der Faxanzeige\n%1"},
    Entry{IDS_ERR_VIEWER_MISSING, u"Faxanzeige ist nicht vorhanden"},
    Entry{IDS_ERR_JOB_NOT_WRITTEN, u"Der Faxauftrag für %1 konnte nicht geschrieben werden.\n%2"},
    Entry{IDS_ERR_COLOUR_PAGES,
          u"%1 Seite(n) des Farbausdrucks konnte(n) nicht umgewandelt werden."},
    Entry{IDS_ERR_NOT_FAX_DOCUMENT, u"Die Datei '%1' ist kein lesbares Faxdokument."},
    Entry{IDS_ERR_STORE_UNREADABLE, u"Die Einstellungen in '%1' können nicht gelesen werden.\n%2"},
    Entry{IDS_NOT_REGULAR_FILE, u"Keine reguläre Datei"},
    Entry{IDS_JOURNAL_REFUSED, u"Das Journal hat den Auftrag abgelehnt."},
    Entry{IDS_ERR_SEND_TIME,
          u"Der Sendezeitpunkt '%1' ist ungültig.\nBitte wählen Sie unter Optionen, wann das Fax "
          u"gesendet werden soll."},
    Entry{IDS_ERR_DATA_FOLDER,
          u"Der Datenordner '%1' kann in keinem Faxauftrag genannt werden: sein Pfad enthält "
          u"Zeichen außerhalb der Codepage 850."},
    Entry{IDS_NOT_DIALABLE, u"Die Rufnummer kann nicht gewählt werden: erlaubt sind Ziffern, "
                            u"Leerzeichen und + - / ( ) * # ,"},
    Entry{IDS_ASK_SOURCE_NOT_SET_UP,
          u"Für diese Adressquelle ist in kalmofax nichts eingerichtet; die Wahl wird nicht "
          u"gespeichert.\nSollen die Einstellungen von kalmofax geöffnet werden?"},
    Entry{IDS_ERR_START_FAX_SETTINGS,
          u"Die Einstellungen von kalmofax können nicht geöffnet werden.\n%1"},
    Entry{IDS_ERR_NO_HELP, u"Die Hilfe kann nicht angezeigt werden. Das Handbuch (Seiten zum "
                           u"Öffnen im Browser) ist hier zu finden:\n%1"},
};

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

const QTranslator* g_catalog = nullptr;

} // namespace

QString BuiltInString(int id) {
    const auto* it = std::lower_bound(kTable.begin(), kTable.end(), id,
                                      [](const Entry& e, int key) { return e.id < key; });
    if (it == kTable.end() || it->id != id)
        return {};
    return QString::fromUtf16(it->text);
}

QString LoadString(int id) {
    const QString german = BuiltInString(id);
    if (g_catalog && !german.isEmpty()) {
        const QString translated = g_catalog->translate("StringTable", german.toUtf8().constData(),
                                                        QByteArray::number(id).constData());
        if (!translated.isEmpty())
            return translated;
    }
    return german;
}

QList<int> StringTableIds() {
    QList<int> ids;
    ids.reserve(static_cast<qsizetype>(kTable.size()));
    for (const Entry& e : kTable)
        ids.append(e.id);
    return ids;
}

void SetStringCatalog(const QTranslator* catalog) {
    g_catalog = catalog;
}

QString FormatPlaceholders(const QString& pattern, const QList<QString>& args) {
    QString out;
    out.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'%' && i + 1 < pattern.size()) {
            const QChar d = pattern.at(i + 1);
            qsizetype index = -1;
            if (d >= u'1' && d <= u'9')
                index = d.unicode() - u'1';
            else if (d >= u'A' && d <= u'Z')
                index = 9 + (d.unicode() - u'A');
            if (index >= 0) {
                out += index < args.size() ? args.at(index) : QStringLiteral("?");
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString FormatString1(int id, const QString& a) {
    return FormatPlaceholders(LoadString(id), {a});
}

QString FormatString2(int id, const QString& a, const QString& b) {
    return FormatPlaceholders(LoadString(id), {a, b});
}

void FormatString3(QString& out, int id, const QString& a, const QString& b, const QString& c) {
    out = FormatPlaceholders(LoadString(id), {a, b, c});
}
