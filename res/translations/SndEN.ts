<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>Inf&amp;o über KALMO!send</source>
        <comment>400</comment>
        <translation>Ab&amp;out KALMO!send</translation>
    </message>
    <message>
        <source>Empfänger</source>
        <comment>403</comment>
        <translation>Recipients</translation>
    </message>
    <message>
        <source> (gesch.)</source>
        <comment>405</comment>
        <translation> (business)</translation>
    </message>
    <message>
        <source> (privat)</source>
        <comment>406</comment>
        <translation> (home)</translation>
    </message>
    <message>
        <source>Fax-Dateien (*.sff)|*.sff|Alle Dateien (*.*)|*.*||</source>
        <comment>407</comment>
        <translation>Fax files (*.sff)|*.sff|All files (*.*)|*.*||</translation>
    </message>
    <message>
        <source>%1 Empfänger</source>
        <comment>410</comment>
        <translation>%1 Recipients</translation>
    </message>
    <message>
        <source>Fax-Abruf</source>
        <comment>412</comment>
        <translation>Fax poll</translation>
    </message>
    <message>
        <source>Fax-Dateien (*.sff)|*.sff||</source>
        <comment>415</comment>
        <translation>Fax files (*.sff)|*.sff||</translation>
    </message>
    <message>
        <source>Fein</source>
        <comment>416</comment>
        <translation>Fine</translation>
    </message>
    <message>
        <source>Normal</source>
        <comment>417</comment>
        <translation>Normal</translation>
    </message>
    <message>
        <source>SFF</source>
        <comment>418</comment>
        <translation>SFF</translation>
    </message>
    <message>
        <source>PCX</source>
        <comment>419</comment>
        <translation>PCX</translation>
    </message>
    <message>
        <source>ASCII</source>
        <comment>420</comment>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>%1-Format, %2 Bytes, %3</source>
        <comment>421</comment>
        <translation>%1 format, %2 bytes, %3</translation>
    </message>
    <message>
        <source>Versand sofort</source>
        <comment>422</comment>
        <translation>Send immediately</translation>
    </message>
    <message>
        <source>Versand am %1 um %2</source>
        <comment>423</comment>
        <translation>Send on %1 at %2</translation>
    </message>
    <message>
        <source>Farbfax</source>
        <comment>424</comment>
        <translation>Colour fax</translation>
    </message>
    <message>
        <source>Verbindung zum Adressbuch kann nicht hergestellt werden. (#%1)
%2</source>
        <comment>609</comment>
        <translation>Cannot connect to the address book. (#%1)
%2</translation>
    </message>
    <message>
        <source>Keinen Dateinamen angegeben</source>
        <comment>610</comment>
        <translation>No file name given</translation>
    </message>
    <message>
        <source>KALMO!fax ist nicht aktiv. Soll das Programm gestartet werden ?</source>
        <comment>611</comment>
        <translation>KALMO!fax is not running. Start the program?</translation>
    </message>
    <message>
        <source>Verbindung zum Journal kann nicht hergestellt werden. (#%1)
%2</source>
        <comment>612</comment>
        <translation>Cannot connect to the journal. (#%1)
%2</translation>
    </message>
    <message>
        <source>Kann Druckdatei nicht kopieren
%1</source>
        <comment>613</comment>
        <translation>Cannot copy the print file
%1</translation>
    </message>
    <message>
        <source>Keine Rufnummer angegeben</source>
        <comment>614</comment>
        <translation>No fax number given</translation>
    </message>
    <message>
        <source>Das Adressbuch kann nicht gestartet werden</source>
        <comment>615</comment>
        <translation>The address book cannot be started</translation>
    </message>
    <message>
        <source>KALMO!fax kann nicht gestartet werden.
%1</source>
        <comment>616</comment>
        <translation>KALMO!fax cannot be started.
%1</translation>
    </message>
    <message>
        <source>COM-Bibliotheken sind nicht installiert</source>
        <comment>618</comment>
        <translation>COM libraries are not installed</translation>
    </message>
    <message>
        <source>CDO-Bibliotheken sind nicht installiert</source>
        <comment>619</comment>
        <translation>CDO libraries are not installed</translation>
    </message>
    <message>
        <source>Die CDO-Bibliotheken sind nicht korrekt

%1</source>
        <comment>620</comment>
        <translation>The CDO libraries are not correct

%1</translation>
    </message>
    <message>
        <source>Das Outlook 98-Adressbuch kann nicht geöffnet werden

%1</source>
        <comment>621</comment>
        <translation>The Outlook 98 address book cannot be opened

%1</translation>
    </message>
    <message>
        <source>Keine Outlook 98-Adressbücher vorhanden</source>
        <comment>622</comment>
        <translation>No Outlook 98 address books present</translation>
    </message>
    <message>
        <source>Das Outlook 98-Adressbuch kann nicht gelesen werden

%1</source>
        <comment>623</comment>
        <translation>The Outlook 98 address book cannot be read

%1</translation>
    </message>
    <message>
        <source>Fehler beim Erzeugen von '%1'
%2</source>
        <comment>624</comment>
        <translation>Error creating '%1'
%2</translation>
    </message>
    <message>
        <source>Die Versionsanzeige kann nicht gestartet werden
%1</source>
        <comment>625</comment>
        <translation>The version display cannot be started
%1</translation>
    </message>
    <message>
        <source>Fehler beim Starten der Faxanzeige
%1</source>
        <comment>626</comment>
        <translation>Error starting the fax viewer
%1</translation>
    </message>
    <message>
        <source>Faxanzeige ist nicht vorhanden</source>
        <comment>627</comment>
        <translation>The fax viewer is not present</translation>
    </message>
    <message>
        <source>Der Faxauftrag für %1 konnte nicht geschrieben werden.
%2</source>
        <comment>628</comment>
        <translation>The fax job for %1 could not be written.
%2</translation>
    </message>
    <message>
        <source>%1 Seite(n) des Farbausdrucks konnte(n) nicht umgewandelt werden.</source>
        <comment>629</comment>
        <translation>%1 page(s) of the colour print could not be converted.</translation>
    </message>
    <message>
        <source>Die Datei '%1' ist kein lesbares Faxdokument.</source>
        <comment>630</comment>
        <translation>The file '%1' is not a readable fax document.</translation>
    </message>
    <message>
        <source>Die Einstellungen in '%1' können nicht gelesen werden.
%2</source>
        <comment>631</comment>
        <translation>The settings in '%1' cannot be read.
%2</translation>
    </message>
    <message>
        <source>Keine reguläre Datei</source>
        <comment>632</comment>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>Das Journal hat den Auftrag abgelehnt.</source>
        <comment>633</comment>
        <translation>The journal refused the job.</translation>
    </message>
    <message>
        <source>Der Sendezeitpunkt '%1' ist ungültig.
Bitte wählen Sie unter Optionen, wann das Fax gesendet werden soll.</source>
        <comment>634</comment>
        <translation>The send time '%1' is not valid.
Please choose under Options when the fax is to be sent.</translation>
    </message>
    <message>
        <source>Der Datenordner '%1' kann in keinem Faxauftrag genannt werden: sein Pfad enthält Zeichen außerhalb der Codepage 850.</source>
        <comment>635</comment>
        <translation>The data folder '%1' cannot be named in any fax job: its path holds characters outside code page 850.</translation>
    </message>
    <message>
        <source>Die Rufnummer kann nicht gewählt werden: erlaubt sind Ziffern, Leerzeichen und + - / ( ) * # ,</source>
        <comment>636</comment>
        <translation>The number cannot be dialled: digits, blanks and + - / ( ) * # , are allowed</translation>
    </message>
    <message>
        <source>Für diese Adressquelle ist in kalmofax nichts eingerichtet; die Wahl wird nicht gespeichert.
Sollen die Einstellungen von kalmofax geöffnet werden?</source>
        <comment>637</comment>
        <translation>Nothing is set up in kalmofax for this address source; the choice is not saved.
Open kalmofax&apos;s settings?</translation>
    </message>
    <message>
        <source>Die Einstellungen von kalmofax können nicht geöffnet werden.
%1</source>
        <comment>638</comment>
        <translation>kalmofax&apos;s settings cannot be opened.
%1</translation>
    </message>
    <message>
        <source>Die Hilfe kann nicht angezeigt werden. Das Handbuch (Seiten zum Öffnen im Browser) ist hier zu finden:
%1</source>
        <comment>639</comment>
        <translation>Help cannot be shown. The manual (pages to open in a browser) is found here:
%1</translation>
    </message>
</context>
<context>
    <name>SendDialog</name>
    <message>
        <source>KALMO!fax</source>
        <translation>KALMO!fax</translation>
    </message>
    <message>
        <source>Empfänger (werden gelesen …)</source>
        <translation>Recipients (reading …)</translation>
    </message>
    <message>
        <source>Empfänger</source>
        <translation>Recipients</translation>
    </message>
    <message>
        <source>&amp;Rufnummer</source>
        <translation>&amp;Fax number</translation>
    </message>
    <message>
        <source>&amp;Adressbuch</source>
        <translation>&amp;Address book</translation>
    </message>
    <message>
        <source>A&amp;ktualisieren</source>
        <translation>R&amp;efresh</translation>
    </message>
    <message>
        <source>&amp;Bemerkung</source>
        <translation>Re&amp;mark</translation>
    </message>
    <message>
        <source>Ausdruck in Datei &amp;umleiten</source>
        <translation>Print to fi&amp;le</translation>
    </message>
    <message>
        <source>&amp;Vorschau</source>
        <translation>Pre&amp;view</translation>
    </message>
    <message>
        <source>&amp;Dateiname...</source>
        <translation>File &amp;name...</translation>
    </message>
    <message>
        <source>&amp;Optionen</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>&amp;Hilfe</source>
        <translation>&amp;Help</translation>
    </message>
</context>
<context>
    <name>OptionsDialog</name>
    <message>
        <source>Optionen</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>kalmofax-&amp;Einstellungen …</source>
        <translation>kalmofax &amp;settings …</translation>
    </message>
    <message>
        <source>In kalmofax ist kein Verzeichnis eingerichtet: diese Wahl liest nichts.</source>
        <translation>No directory is set up in kalmofax: this choice reads nothing.</translation>
    </message>
    <message>
        <source>Liest ein Verzeichnis aus kalmofax (eingerichtet: %1).</source>
        <translation>Reads a directory set up in kalmofax (set up: %1).</translation>
    </message>
    <message>
        <source>In kalmofax ist kein CardDAV-Konto eingerichtet: diese Wahl liest nichts.</source>
        <translation>No CardDAV account is set up in kalmofax: this choice reads nothing.</translation>
    </message>
    <message>
        <source>Liest ein CardDAV-Konto aus kalmofax (eingerichtet: %1).</source>
        <translation>Reads a CardDAV account set up in kalmofax (set up: %1).</translation>
    </message>
    <message>
        <source>Versandzeit</source>
        <translation>Send time</translation>
    </message>
    <message>
        <source>S&amp;ofort</source>
        <translation>&amp;Immediately</translation>
    </message>
    <message>
        <source>S&amp;päter</source>
        <translation>&amp;Later</translation>
    </message>
    <message>
        <source>&amp;Datum</source>
        <translation>&amp;Date</translation>
    </message>
    <message>
        <source>&amp;Zeit</source>
        <translation>&amp;Time</translation>
    </message>
    <message>
        <source>Outlook</source>
        <translation>Outlook</translation>
    </message>
    <message>
        <source>Outlook-Adressen nicht verwenden</source>
        <translation>Do not use Outlook addresses</translation>
    </message>
    <message>
        <source>Persönliches Adressbuch benutzen</source>
        <translation>Use the personal address book</translation>
    </message>
    <message>
        <source>Outlook Kontakteordner benutzen</source>
        <translation>Use an Outlook contacts folder</translation>
    </message>
    <message>
        <source>&amp;Profil</source>
        <translation>&amp;Profile</translation>
    </message>
    <message>
        <source>&amp;Adressbuch</source>
        <translation>&amp;Address book</translation>
    </message>
    <message>
        <source>&amp;Kontakteordner</source>
        <translation>&amp;Contacts folder</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Hilfe</source>
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>AboutDialog</name>
    <message>
        <source>Über KALMO!send</source>
        <translation>About KALMO!send</translation>
    </message>
    <message>
        <source>(Programm)</source>
        <translation>(Program)</translation>
    </message>
    <message>
        <source>(Version x.x Revision x.x)</source>
        <translation>(Version x.x Revision x.x)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>KALMO!version</source>
        <translation>KALMO!version</translation>
    </message>
</context>
</TS>
