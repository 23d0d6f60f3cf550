<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>faxapp::AddressBookWindow</name>
    <message numerus="yes">
        <source>%n Kontakte</source>
        <translation><numerusform>%n contact</numerusform><numerusform>%n contacts</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>… und %n weitere.</source>
        <translation><numerusform>… and %n more.</numerusform><numerusform>… and %n more.</numerusform></translation>
    </message>
    <message>
        <source>Adressbuch</source>
        <translation>Address book</translation>
    </message>
    <message>
        <source>Suchen (Name oder Nummer)</source>
        <translation>Search (name or number)</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Faxnummern</source>
        <translation>Fax numbers</translation>
    </message>
    <message numerus="yes">
        <source>%n Einträge konnten nicht gelesen werden.</source>
        <translation><numerusform>%n entry could not be read.</numerusform><numerusform>%n entries could not be read.</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>Die Datei %1 enthält %n Kontakte. Das Adressbuch ändert und löscht sie nicht, damit die anderen Kontakte darin erhalten bleiben.</source>
        <translation><numerusform>The file %1 holds %n contact. The address book does not change or delete it, so that the other contacts in it are kept.</numerusform><numerusform>The file %1 holds %n contacts. The address book does not change or delete it, so that the other contacts in it are kept.</numerusform></translation>
    </message>
    <message>
        <source>„%1“ aus dem Adressbuch löschen?</source>
        <translation>Delete “%1” from the address book?</translation>
    </message>
    <message>
        <source>Kontakte importieren</source>
        <translation>Import contacts</translation>
    </message>
    <message>
        <source>Adressbücher (*.vcf *.csv);;Alle Dateien (*)</source>
        <translation>Address books (*.vcf *.csv);;All files (*)</translation>
    </message>
    <message>
        <source>%1 schon im Adressbuch, %2 übersprungen.</source>
        <translation>%1 already in the address book, %2 skipped.</translation>
    </message>
    <message>
        <source>Keine neuen Kontakte: </source>
        <translation>No new contacts: </translation>
    </message>
    <message>
        <source>%1 hinzufügen?
</source>
        <translation>Add %1?
</translation>
    </message>
    <message>
        <source>&amp;Importieren</source>
        <translation>&amp;Import</translation>
    </message>
    <message>
        <source>&amp;Abbrechen</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>%1 importiert, %2 schon im Adressbuch, %3 übersprungen.</source>
        <translation>%1 imported, %2 already in the address book, %3 skipped.</translation>
    </message>
    <message>
        <source>&amp;Bearbeiten…</source>
        <translation>&amp;Edit…</translation>
    </message>
    <message>
        <source>&amp;Löschen</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>&amp;Neu…</source>
        <translation>&amp;New…</translation>
    </message>
    <message>
        <source>&amp;Importieren…</source>
        <translation>&amp;Import…</translation>
    </message>
</context>
<context>
    <name>faxapp::ContactDialog</name>
    <message>
        <source>Neuer Kontakt</source>
        <translation>New contact</translation>
    </message>
    <message>
        <source>Kontakt bearbeiten</source>
        <translation>Edit contact</translation>
    </message>
    <message>
        <source>Hinzufügen</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Entfernen</source>
        <translation>Remove</translation>
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
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>&amp;Faxnummern:</source>
        <translation>&amp;Fax numbers:</translation>
    </message>
    <message>
        <source>N&amp;eue Nummer:</source>
        <translation>N&amp;ew number:</translation>
    </message>
</context>
<context>
    <name>faxapp::HelpMenu</name>
    <message>
        <source>de</source>
        <comment>folder of the manual in this language</comment>
        <translation>en</translation>
    </message>
    <message>
        <source>Die Hilfe kann nicht angezeigt werden. Das Handbuch (Seiten zum Öffnen im Browser) ist hier zu finden:
%1</source>
        <translation>Help cannot be shown. The manual (pages to open in a browser) is found here:
%1</translation>
    </message>
    <message>
        <source>&amp;Hilfe</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;Hilfe zu diesem Fenster</source>
        <translation>&amp;Help on this window</translation>
    </message>
    <message>
        <source>&amp;Inhalt des Handbuchs</source>
        <translation>&amp;Contents of the manual</translation>
    </message>
</context>
<context>
    <name>faxapp::JobNotice</name>
    <message>
        <source>Anzeigen</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Erneut senden</source>
        <translation>Send again</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Fax gesendet</source>
        <translation>Fax sent</translation>
    </message>
    <message numerus="yes">
        <source>%n Seiten an %1 gesendet.</source>
        <translation><numerusform>%n page sent to %1.</numerusform><numerusform>%n pages sent to %1.</numerusform></translation>
    </message>
    <message>
        <source>Fax nicht gesendet</source>
        <translation>Fax not sent</translation>
    </message>
    <message>
        <source>An %1: %2</source>
        <translation>To %1: %2</translation>
    </message>
    <message numerus="yes">
        <source>Vor dem Fehler wurden %n Seiten gesendet.</source>
        <translation><numerusform>%n page was sent before it failed.</numerusform><numerusform>%n pages were sent before it failed.</numerusform></translation>
    </message>
    <message>
        <source>Fax abgewiesen</source>
        <translation>Fax refused</translation>
    </message>
    <message>
        <source>Fax abgebrochen</source>
        <translation>Fax cancelled</translation>
    </message>
    <message>
        <source>An %1: Der Auftrag wurde am Faxserver gelöscht.</source>
        <translation>To %1: the job was removed at the fax server.</translation>
    </message>
    <message>
        <source>Fax wartet</source>
        <translation>Fax waiting</translation>
    </message>
    <message numerus="yes">
        <source>An %1: wartet seit %n Minuten auf den Faxserver.</source>
        <translation><numerusform>To %1: waiting for the fax server for %n minute.</numerusform><numerusform>To %1: waiting for the fax server for %n minutes.</numerusform></translation>
    </message>
</context>
<context>
    <name>faxapp::JournalModel</name>
    <message>
        <source>wartet</source>
        <translation>waiting</translation>
    </message>
    <message>
        <source>beim Faxserver</source>
        <translation>at the fax server</translation>
    </message>
    <message>
        <source>gesendet</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>fehlgeschlagen</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>abgelehnt</source>
        <translation>refused</translation>
    </message>
    <message>
        <source>abgebrochen</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>Abruf</source>
        <translation>Poll</translation>
    </message>
    <message>
        <source>Senden</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>sofort</source>
        <translation>now</translation>
    </message>
    <message>
        <source>%1 – Meldung: %2</source>
        <translation>%1 – message: %2</translation>
    </message>
    <message>
        <source>Zeit</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Art</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>Empfänger</source>
        <translation>Recipient</translation>
    </message>
    <message>
        <source>Nummer</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>Sendezeit</source>
        <translation>Send time</translation>
    </message>
    <message>
        <source>Bemerkung</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Auftrag</source>
        <translation>Job</translation>
    </message>
    <message>
        <source>Empfang</source>
        <translation>Received</translation>
    </message>
</context>
<context>
    <name>faxapp::MainWindow</name>
    <message>
        <source>Journal</source>
        <translation>Journal</translation>
    </message>
    <message>
        <source>&amp;Dokument anzeigen</source>
        <translation>Show &amp;document</translation>
    </message>
    <message>
        <source>Eintrag &amp;entfernen</source>
        <translation>&amp;Remove entry</translation>
    </message>
    <message>
        <source>Alle Aufträge</source>
        <translation>All jobs</translation>
    </message>
    <message>
        <source>Wartend</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>Gesendet</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>Fehlgeschlagen</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>Suchen (Nummer, Name, Bemerkung)</source>
        <translation>Search (number, name, remark)</translation>
    </message>
    <message>
        <source>&amp;Datei</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Aktualisieren</source>
        <translation>&amp;Refresh</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>&amp;Auftrag</source>
        <translation>&amp;Job</translation>
    </message>
    <message>
        <source>Fenster &amp;anzeigen</source>
        <translation>&amp;Show window</translation>
    </message>
    <message>
        <source>Das Dokument dieses Auftrags ist nicht mehr da:
%1</source>
        <translation>The document of this job is gone:
%1</translation>
    </message>
    <message>
        <source>Der Auftrag %1 an %2 ist noch nicht gesendet. Nur den Eintrag im Journal entfernen?</source>
        <translation>Job %1 to %2 has not been sent yet. Remove only its entry in the journal?</translation>
    </message>
    <message>
        <source>Journal: %1</source>
        <translation>Journal: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n Auftrag wartet noch. Er wird beim nächsten Start von KALMO!fax gesendet. Trotzdem beenden?</source>
        <translation><numerusform>%n job is still waiting. It will be sent when KALMO!fax starts next. Quit all the same?</numerusform><numerusform>%n jobs are still waiting. They will be sent when KALMO!fax starts next. Quit all the same?</numerusform></translation>
    </message>
    <message>
        <source>Kein Datenordner</source>
        <translation>No data folder</translation>
    </message>
    <message>
        <source>Das Journal ist leer: Faxe, die Sie auf den Faxdrucker drucken, erscheinen hier.</source>
        <translation>The journal is empty: faxes you print to the fax printer appear here.</translation>
    </message>
    <message numerus="yes">
        <source>Journal: %n Einträge</source>
        <translation><numerusform>Journal: %n entry</numerusform><numerusform>Journal: %n entries</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n Aufträge warten</source>
        <translation><numerusform>%n job waiting</numerusform><numerusform>%n jobs waiting</numerusform></translation>
    </message>
    <message>
        <source>&amp;Fax</source>
        <translation>&amp;Fax</translation>
    </message>
    <message>
        <source>Empfangen</source>
        <translation>Received</translation>
    </message>
</context>
<context>
    <name>faxapp::QueueService</name>
    <message>
        <source>Versand gestoppt: %1</source>
        <translation>Sending stopped: %1</translation>
    </message>
    <message>
        <source>Faxserver nicht erreichbar (%1); nächster Versuch um %2</source>
        <translation>Fax server not reachable (%1); next try at %2</translation>
    </message>
    <message numerus="yes">
        <source>Faxserver %1:%2: %n Aufträge in Arbeit</source>
        <translation><numerusform>Fax server %1:%2: %n job in progress</numerusform><numerusform>Fax server %1:%2: %n jobs in progress</numerusform></translation>
    </message>
</context>
<context>
    <name>faxapp::ReceivedActions</name>
    <message>
        <source>Fax &amp;anzeigen</source>
        <translation>&amp;Show fax</translation>
    </message>
    <message>
        <source>Als &amp;PDF speichern …</source>
        <translation>Save as &amp;PDF …</translation>
    </message>
    <message>
        <source>&amp;Drucken …</source>
        <translation>&amp;Print …</translation>
    </message>
    <message>
        <source>&amp;Weiterleiten …</source>
        <translation>&amp;Forward …</translation>
    </message>
    <message>
        <source>Als &amp;gelesen markieren</source>
        <translation>Mark as &amp;read</translation>
    </message>
    <message numerus="yes">
        <source>%n ungelesene Faxe</source>
        <translation><numerusform>%n unread fax</numerusform><numerusform>%n unread faxes</numerusform></translation>
    </message>
    <message>
        <source>Fax</source>
        <translation>Fax</translation>
    </message>
    <message>
        <source>Als &amp;ungelesen markieren</source>
        <translation>Mark as &amp;unread</translation>
    </message>
    <message>
        <source>Das Fax ist nicht mehr da:
%1</source>
        <translation>The fax is no longer there:
%1</translation>
    </message>
    <message>
        <source>Journal: %1</source>
        <translation>Journal: %1</translation>
    </message>
    <message>
        <source>PDF-Dateien (*.pdf)|*.pdf||</source>
        <translation>PDF files (*.pdf)|*.pdf||</translation>
    </message>
    <message>
        <source>Als PDF speichern</source>
        <translation>Save as PDF</translation>
    </message>
    <message>
        <source>PDF-Dateien (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>Das PDF wurde nicht geschrieben: %1</source>
        <translation>The PDF was not written: %1</translation>
    </message>
    <message>
        <source>Das Fax kann nicht gedruckt werden: %1</source>
        <translation>The fax cannot be printed: %1</translation>
    </message>
    <message>
        <source>Das Fax kann nicht weitergeleitet werden: %1</source>
        <translation>The fax cannot be forwarded: %1</translation>
    </message>
    <message>
        <source>Fax von %1</source>
        <translation>Fax from %1</translation>
    </message>
    <message>
        <source>Der Sendedialog kann nicht gestartet werden: %1</source>
        <translation>The send dialog cannot be started: %1</translation>
    </message>
</context>
<context>
    <name>faxapp::SendReport</name>
    <message>
        <source>gesendet</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>abgewiesen, nicht gesendet</source>
        <translation>refused, not sent</translation>
    </message>
    <message>
        <source>abgebrochen</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>nicht gesendet</source>
        <translation>not sent</translation>
    </message>
    <message>
        <source>Sendebericht</source>
        <translation>Transmission report</translation>
    </message>
    <message numerus="yes">
        <source>%n Seiten gesendet</source>
        <translation><numerusform>%n page sent</numerusform><numerusform>%n pages sent</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>von %n</source>
        <translation><numerusform>of %n</numerusform><numerusform>of %n</numerusform></translation>
    </message>
    <message>
        <source>Absender</source>
        <translation>Sender</translation>
    </message>
    <message>
        <source>Empfänger</source>
        <translation>Recipient</translation>
    </message>
    <message>
        <source>Faxnummer</source>
        <translation>Fax number</translation>
    </message>
    <message>
        <source>Datum und Uhrzeit</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Seiten</source>
        <translation>Pages</translation>
    </message>
    <message>
        <source>Ergebnis</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Faxserver-Auftrag</source>
        <translation>Fax server job</translation>
    </message>
    <message>
        <source>Auftragsdatei</source>
        <translation>Job file</translation>
    </message>
</context>
<context>
    <name>faxapp::SettingsPage</name>
    <message>
        <source>&amp;Neu</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>&amp;Speichern</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Entfernen</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>&amp;Verbindung testen</source>
        <translation>&amp;Test connection</translation>
    </message>
    <message>
        <source>Nicht gespeichert: %1</source>
        <translation>Not saved: %1</translation>
    </message>
    <message>
        <source>Gespeichert.</source>
        <translation>Saved.</translation>
    </message>
    <message>
        <source>Nicht entfernt: %1</source>
        <translation>Not removed: %1</translation>
    </message>
    <message>
        <source>„%1“ ist entfernt.</source>
        <translation>“%1” is removed.</translation>
    </message>
    <message>
        <source>Die Verbindung wird geprüft …</source>
        <translation>Checking the connection …</translation>
    </message>
    <message>
        <source>Die Verbindung gelingt nicht: %1</source>
        <translation>The connection fails: %1</translation>
    </message>
</context>
<context>
    <name>faxapp::SettingsWindow</name>
    <message>
        <source>KALMO!fax – Einstellungen</source>
        <translation>KALMO!fax – Settings</translation>
    </message>
    <message>
        <source>&amp;Server:</source>
        <translation>&amp;Server:</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Port:</translation>
    </message>
    <message>
        <source>&amp;Benutzer:</source>
        <translation>&amp;User:</translation>
    </message>
    <message>
        <source>der Anmeldename</source>
        <translation>the login name</translation>
    </message>
    <message>
        <source>Pass&amp;wort:</source>
        <translation>Pass&amp;word:</translation>
    </message>
    <message>
        <source>unverändert</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>&amp;Faxserver</source>
        <translation>&amp;Fax server</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>Such&amp;basis:</source>
        <translation>Search &amp;base:</translation>
    </message>
    <message>
        <source>aus dem Verzeichnis</source>
        <translation>from the directory</translation>
    </message>
    <message>
        <source>&amp;Anmeldung:</source>
        <translation>&amp;Bind:</translation>
    </message>
    <message>
        <source>Anmelde-&amp;DN:</source>
        <translation>Bind &amp;DN:</translation>
    </message>
    <message>
        <source>&amp;CA-Datei:</source>
        <translation>&amp;CA file:</translation>
    </message>
    <message>
        <source>die Zertifizierungsstellen des Systems</source>
        <translation>the system's certificate authorities</translation>
    </message>
    <message>
        <source>&amp;Verzeichnisse</source>
        <translation>&amp;Directories</translation>
    </message>
    <message>
        <source>&amp;Adresse:</source>
        <translation>&amp;Address:</translation>
    </message>
    <message>
        <source>&amp;CardDAV-Adressbücher</source>
        <translation>&amp;CardDAV address books</translation>
    </message>
    <message>
        <source>kein Schlüsselbund läuft; das Passwort ist nicht gespeichert</source>
        <translation>no keyring runs; the password is not saved</translation>
    </message>
    <message>
        <source>das ist kein Port</source>
        <translation>this is no port</translation>
    </message>
    <message>
        <source>das ist kein Servername</source>
        <translation>this is no server name</translation>
    </message>
    <message>
        <source>die Einstellungen können nicht gespeichert werden</source>
        <translation>the settings cannot be saved</translation>
    </message>
    <message>
        <source>Faxserver %1 erreicht, angemeldet.</source>
        <translation>Fax server %1 reached, logged in.</translation>
    </message>
</context>
<context>
    <name>faxapp::VersionWindow</name>
    <message>
        <source>vorhanden (sendfax)</source>
        <translation>present (sendfax)</translation>
    </message>
    <message>
        <source>nicht gefunden</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>KALMO!fax – Version</source>
        <translation>KALMO!fax – Version</translation>
    </message>
    <message>
        <source>&lt;b&gt;KALMO!fax für Linux&lt;/b&gt;</source>
        <translation>&lt;b&gt;KALMO!fax for Linux&lt;/b&gt;</translation>
    </message>
</context>
<context>
    <name>faxapp::ViewerWindow</name>
    <message>
        <source>%1 – KALMO!fax Betrachter</source>
        <translation>%1 – KALMO!fax Viewer</translation>
    </message>
    <message>
        <source>Seiten</source>
        <translation>Pages</translation>
    </message>
    <message>
        <source>Erste Seite</source>
        <translation>First page</translation>
    </message>
    <message>
        <source>Vorige Seite (Bild auf)</source>
        <translation>Previous page (Page Up)</translation>
    </message>
    <message>
        <source> von %1 </source>
        <translation> of %1 </translation>
    </message>
    <message>
        <source>Nächste Seite (Bild ab)</source>
        <translation>Next page (Page Down)</translation>
    </message>
    <message>
        <source>Letzte Seite</source>
        <translation>Last page</translation>
    </message>
    <message>
        <source>Vergrößern</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>Verkleinern</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>Seitenbreite</source>
        <translation>Fit width</translation>
    </message>
    <message>
        <source>Seite %1 von %2</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message numerus="yes">
        <source> – %n beschädigte Zeilen weiß gezeigt</source>
        <translation><numerusform> – %n damaged row shown white</numerusform><numerusform> – %n damaged rows shown white</numerusform></translation>
    </message>
    <message>
        <source>Drehen</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>Als PDF speichern…</source>
        <translation>Save as PDF…</translation>
    </message>
    <message>
        <source>Drucken…</source>
        <translation>Print…</translation>
    </message>
    <message>
        <source>Das PDF wurde nicht geschrieben: %1</source>
        <translation>The PDF was not written: %1</translation>
    </message>
    <message>
        <source>Als PDF speichern</source>
        <translation>Save as PDF</translation>
    </message>
    <message>
        <source>PDF-Dateien (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
</context>
<context>
    <name>faxapp::directory</name>
    <message numerus="yes">
        <source>Server %1 erreicht, angemeldet als %2: %n Einträge mit Faxnummer.</source>
        <translation><numerusform>Server %1 reached, bound as %2: %n entry with a fax number.</numerusform><numerusform>Server %1 reached, bound as %2: %n entries with a fax number.</numerusform></translation>
    </message>
</context>
</TS>