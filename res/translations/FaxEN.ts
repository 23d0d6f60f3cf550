<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>faxapp::AddressBookWindow</name>
    <message numerus="yes">
        <source>%n Kontakte</source>
        <translation>
            <numerusform>%n contact</numerusform>
            <numerusform>%n contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>… und %n weitere.</source>
        <translation>
            <numerusform>… and %n more.</numerusform>
            <numerusform>… and %n more.</numerusform>
        </translation>
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
        <translation>
            <numerusform>%n entry could not be read.</numerusform>
            <numerusform>%n entries could not be read.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Die Datei %1 enthält %n Kontakte. Das Adressbuch ändert und löscht sie nicht, damit die anderen Kontakte darin erhalten bleiben.</source>
        <translation>
            <numerusform>The file %1 holds %n contact. The address book does not change or delete it, so that the other contacts in it are kept.</numerusform>
            <numerusform>The file %1 holds %n contacts. The address book does not change or delete it, so that the other contacts in it are kept.</numerusform>
        </translation>
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
    <name>faxapp::CardDav</name>
    <message>
        <source>die Adressbücher werden zum ersten Mal gelesen; bitte gleich noch einmal versuchen</source>
        <translation>the address books are being read for the first time; try again in a moment</translation>
    </message>
    <message>
        <source>der Server hat kein Adressbuch für dieses Konto</source>
        <translation>the server has no address book for this account</translation>
    </message>
    <message>
        <source>nie</source>
        <translation>never</translation>
    </message>
    <message>
        <source>Die Adressbücher von %1 konnten nicht aktualisiert werden (%2). Die Liste zeigt sie mit dem Stand vom %3 und ist vielleicht nicht aktuell.</source>
        <translation>The address books of %1 could not be brought up to date (%2). The list shows them as of %3 and may be out of date.</translation>
    </message>
    <message>
        <source>der Name eines Kontos hat 1 bis 64 Zeichen</source>
        <translation>an account&apos;s name has 1 to 64 characters</translation>
    </message>
    <message>
        <source>der Name eines Kontos beginnt nicht mit einem Punkt und beginnt und endet nicht mit einem Leerzeichen</source>
        <translation>an account&apos;s name neither starts with a dot nor starts or ends with a blank</translation>
    </message>
    <message>
        <source>der Name eines Kontos hat nur Buchstaben, Ziffern, Leerzeichen, &apos;.&apos;, &apos;_&apos; und &apos;-&apos;</source>
        <translation>an account&apos;s name has letters, digits, blanks, &apos;.&apos;, &apos;_&apos; and &apos;-&apos; only</translation>
    </message>
    <message>
        <source>die Adresse des Servers ist keine http- oder https-Adresse</source>
        <translation>the server&apos;s address is no http or https address</translation>
    </message>
    <message>
        <source>die Adresse des Servers nennt keinen Rechner</source>
        <translation>the server&apos;s address has no host</translation>
    </message>
    <message>
        <source>die Adresse des Servers darf keinen Benutzer und kein Passwort enthalten</source>
        <translation>the server&apos;s address must not hold a user or password</translation>
    </message>
    <message>
        <source>die Adresse des Servers darf keinen Anker (#...) enthalten</source>
        <translation>the server&apos;s address must not hold a fragment (#...)</translation>
    </message>
    <message>
        <source>ein Benutzername enthält weder &apos;:&apos; noch Steuerzeichen</source>
        <translation>a user name holds neither &apos;:&apos; nor control characters</translation>
    </message>
    <message>
        <source>es gibt kein CardDAV-Konto dieses Namens</source>
        <translation>there is no CardDAV account of that name</translation>
    </message>
    <message>
        <source>das Zeitlimit ist 1 bis %1 Sekunden</source>
        <translation>the time limit is 1 to %1 seconds</translation>
    </message>
    <message>
        <source>ein Wert enthält einen Zeilenumbruch oder ein NUL-Zeichen</source>
        <translation>a value holds a line break or a NUL character</translation>
    </message>
    <message>
        <source>die Einstellungen können nicht geschrieben werden</source>
        <translation>the settings cannot be written</translation>
    </message>
    <message>
        <source>die Datei ist zu groß</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>der Ordner kann nicht angelegt werden</source>
        <translation>the folder cannot be made</translation>
    </message>
    <message>
        <source>der Server antwortete mit Status %1</source>
        <translation>the server answered with status %1</translation>
    </message>
    <message>
        <source>die CA-Datei enthält kein PEM-Zertifikat</source>
        <translation>the CA file holds no PEM certificate</translation>
    </message>
    <message>
        <source>die Antwort des Servers ist zu groß</source>
        <translation>the server&apos;s answer is too large</translation>
    </message>
    <message>
        <source>dem Zertifikat des Servers wird nicht vertraut: %1</source>
        <translation>the server&apos;s certificate is not trusted: %1</translation>
    </message>
    <message>
        <source>der Server antwortete nicht innerhalb des Zeitlimits (%1 s)</source>
        <translation>the server did not answer within the time limit (%1 s)</translation>
    </message>
    <message>
        <source>der Server ist nicht erreichbar: %1</source>
        <translation>the server cannot be reached: %1</translation>
    </message>
    <message>
        <source>der Server hat den Benutzernamen oder das Passwort abgelehnt</source>
        <translation>the server refused the user name or the password</translation>
    </message>
    <message>
        <source>der Server leitet zu oft oder an eine unbrauchbare Adresse weiter</source>
        <translation>the server redirects too often or to an unusable address</translation>
    </message>
    <message>
        <source>die Antwort des Servers ist keine WebDAV-Antwort</source>
        <translation>the server&apos;s answer is no WebDAV answer</translation>
    </message>
    <message>
        <source>dies ist keine CardDAV-Adresse (der Server beantwortet PROPFIND nicht)</source>
        <translation>this is no CardDAV address (the server does not answer PROPFIND)</translation>
    </message>
    <message>
        <source>der Ordner der Adressbücher kann nicht gelesen werden</source>
        <translation>the address book home cannot be listed</translation>
    </message>
    <message>
        <source>die Änderungen des Servers enden nicht</source>
        <translation>the server&apos;s changes do not end</translation>
    </message>
    <message>
        <source>der Schlüsselbund enthält kein Passwort dafür (kalmofax carddav add legt eines ab)</source>
        <translation>the keyring holds no password for it (kalmofax carddav add stores one)</translation>
    </message>
    <message>
        <source>%1 erreicht; Adressbücher: %2; Kontakte mit Faxnummer: %3</source>
        <translation>%1 reached; address books: %2; contacts with a fax number: %3</translation>
    </message>
    <message>
        <source>Es gibt keinen Standardordner der Art %1.</source>
        <translation>There is no default folder of kind %1.</translation>
    </message>
    <message>
        <source>Es ist kein CardDAV-Konto eingerichtet (kalmofax carddav add).</source>
        <translation>No CardDAV account is set up (kalmofax carddav add).</translation>
    </message>
    <message>
        <source>Es gibt keinen Namensraum %1.</source>
        <translation>There is no namespace %1.</translation>
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
    <name>faxapp::Directory</name>
    <message>
        <source>der Wert %1 &quot;%2&quot; ist nicht verwendbar</source>
        <translation>the value %1 &quot;%2&quot; cannot be used</translation>
    </message>
    <message>
        <source>dieses Verzeichnis gibt es nicht</source>
        <translation>there is no such directory</translation>
    </message>
    <message>
        <source>ein Verzeichnis braucht einen Namen ohne \</source>
        <translation>a directory needs a name without \</translation>
    </message>
    <message>
        <source>das Verzeichnis hat keine Serveradresse (Uris)</source>
        <translation>the directory has no server address (Uris)</translation>
    </message>
    <message>
        <source>eine einfache Anmeldung braucht einen BindDn</source>
        <translation>a simple bind needs a BindDn</translation>
    </message>
    <message>
        <source>das Verzeichnis kann nicht geschrieben werden</source>
        <translation>the directory cannot be written</translation>
    </message>
    <message>
        <source>das Verzeichnis kann nicht entfernt werden</source>
        <translation>the directory cannot be removed</translation>
    </message>
    <message>
        <source>TLS gescheitert: %1</source>
        <translation>TLS failed: %1</translation>
    </message>
    <message>
        <source>die Zertifizierungsstellen des Systems</source>
        <translation>the system&apos;s certificate authorities</translation>
    </message>
    <message>
        <source>dem Zertifikat des Servers wird nicht vertraut: es ist nicht von %1 unterschrieben oder nicht auf den Namen des Servers ausgestellt (%2)</source>
        <translation>the server&apos;s certificate is not trusted: it is not signed by %1 or not made out to the server&apos;s name (%2)</translation>
    </message>
    <message>
        <source>StartTLS gescheitert: %1</source>
        <translation>StartTLS failed: %1</translation>
    </message>
    <message>
        <source>anonym</source>
        <translation>anonymous</translation>
    </message>
    <message>
        <source>der Server nennt keinen Namenskontext; bitte den Wert Base setzen</source>
        <translation>the server names no naming context; set the Base value</translation>
    </message>
    <message>
        <source>%1: der Server verweist auf%2 (FollowReferrals ist aus)</source>
        <translation>%1: the server refers to%2 (FollowReferrals is off)</translation>
    </message>
    <message>
        <source>%1 in %2</source>
        <translation>%1 in %2</translation>
    </message>
    <message>
        <source>das Verzeichnis hat diese Adressliste nicht</source>
        <translation>the directory has no such address list</translation>
    </message>
    <message>
        <source>kein Schlüsselbund läuft, das Anmeldepasswort kann nicht gelesen werden</source>
        <translation>no keyring runs, so the bind password cannot be read</translation>
    </message>
    <message>
        <source>der Schlüsselbund hat kein Anmeldepasswort für das Verzeichnis</source>
        <translation>the keyring has no bind password for the directory</translation>
    </message>
    <message numerus="yes">
        <source>Server %1 erreicht, angemeldet als %2: %n Einträge mit Faxnummer.</source>
        <translation>
            <numerusform>Server %1 reached, bound as %2: %n entry with a fax number.</numerusform>
            <numerusform>Server %1 reached, bound as %2: %n entries with a fax number.</numerusform>
        </translation>
    </message>
    <message>
        <source>Das Verzeichnis liefert dieses Feld nicht.</source>
        <translation>The directory gives no such field.</translation>
    </message>
    <message>
        <source>Das Verzeichnis hat keine Adressliste %1.</source>
        <translation>The directory has no address list %1.</translation>
    </message>
    <message>
        <source>Die Sitzung ist nicht angemeldet.</source>
        <translation>The session is not logged on.</translation>
    </message>
    <message>
        <source>Es ist kein Firmenverzeichnis eingerichtet (kalmofax directory add).</source>
        <translation>No company directory is set up (kalmofax directory add).</translation>
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
        <translation>
            <numerusform>%n page sent to %1.</numerusform>
            <numerusform>%n pages sent to %1.</numerusform>
        </translation>
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
        <translation>
            <numerusform>%n page was sent before it failed.</numerusform>
            <numerusform>%n pages were sent before it failed.</numerusform>
        </translation>
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
        <translation>
            <numerusform>To %1: waiting for the fax server for %n minute.</numerusform>
            <numerusform>To %1: waiting for the fax server for %n minutes.</numerusform>
        </translation>
    </message>
    <message>
        <source>unbekanntem Absender</source>
        <translation>an unknown sender</translation>
    </message>
    <message>
        <source>Fax empfangen</source>
        <translation>Fax received</translation>
    </message>
    <message numerus="yes">
        <source>%n Seiten von %1 empfangen.</source>
        <translation>
            <numerusform>%n page received from %1.</numerusform>
            <numerusform>%n pages received from %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>Fax beschädigt empfangen</source>
        <translation>Damaged fax received</translation>
    </message>
    <message>
        <source>Von %1: %2
Die Datei wurde so aufbewahrt, wie sie ankam.</source>
        <translation>From %1: %2
The file was kept as it came.</translation>
    </message>
    <message>
        <source>Fax abgerufen</source>
        <translation>Fax polled</translation>
    </message>
    <message numerus="yes">
        <source>%n Seiten von %1 abgerufen.</source>
        <translation>
            <numerusform>%n page polled from %1.</numerusform>
            <numerusform>%n pages polled from %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>Abruf ohne Dokument</source>
        <translation>Poll without a document</translation>
    </message>
    <message>
        <source>Von %1 wurde nichts empfangen.</source>
        <translation>Nothing was received from %1.</translation>
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
        <source>empfangen</source>
        <translation>received</translation>
    </message>
    <message>
        <source>beschädigt empfangen</source>
        <translation>received damaged</translation>
    </message>
    <message>
        <source>wird abgeholt</source>
        <translation>being fetched</translation>
    </message>
    <message>
        <source>Der Faxserver nimmt den Auftrag nicht an. Server: „%1“</source>
        <translation>The fax server does not take the job. Server: “%1”</translation>
    </message>
    <message>
        <source>Das Dokument ließ sich nicht umwandeln.</source>
        <translation>The document could not be converted.</translation>
    </message>
    <message>
        <source>Die Auftragsdatei ist nicht lesbar.</source>
        <translation>The job file cannot be read.</translation>
    </message>
    <message>
        <source>Der Auftrag hat keine Faxnummer.</source>
        <translation>The job has no fax number.</translation>
    </message>
    <message>
        <source>Die Sendezeit ist ungültig.</source>
        <translation>The send time is not valid.</translation>
    </message>
    <message>
        <source>von „%1“</source>
        <translation>from “%1”</translation>
    </message>
    <message>
        <source>Auftrag %1</source>
        <translation>job %1</translation>
    </message>
    <message>
        <source>Auftrag %1 bei %2</source>
        <translation>job %1 at %2</translation>
    </message>
    <message>
        <source>an „%1“</source>
        <translation>to “%1”</translation>
    </message>
    <message>
        <source>der Faxserver kennt den Auftrag nicht mehr, sein Ergebnis ist unbekannt</source>
        <translation>the fax server no longer knows the job, its outcome is unknown</translation>
    </message>
    <message>
        <source>Server: „%1“</source>
        <translation>Server: “%1”</translation>
    </message>
    <message>
        <source>Empfang</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>Seiten</source>
        <translation>Pages</translation>
    </message>
    <message numerus="yes">
        <source>%n Seiten</source>
        <translation>
            <numerusform>%n page</numerusform>
            <numerusform>%n pages</numerusform>
        </translation>
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
        <translation>
            <numerusform>%n job is still waiting. It will be sent when KALMO!fax starts next. Quit all the same?</numerusform>
            <numerusform>%n jobs are still waiting. They will be sent when KALMO!fax starts next. Quit all the same?</numerusform>
        </translation>
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
        <translation>
            <numerusform>Journal: %n entry</numerusform>
            <numerusform>Journal: %n entries</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n Aufträge warten</source>
        <translation>
            <numerusform>%n job waiting</numerusform>
            <numerusform>%n jobs waiting</numerusform>
        </translation>
    </message>
    <message>
        <source>Erneut &amp;senden</source>
        <translation>&amp;Send again</translation>
    </message>
    <message>
        <source>Auftrag a&amp;bbrechen</source>
        <translation>&amp;Cancel job</translation>
    </message>
    <message>
        <source>Sende&amp;bericht anzeigen</source>
        <translation>Show send &amp;report</translation>
    </message>
    <message>
        <source>Empfangen</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>Der Auftrag %1 ließ sich nicht erneut senden:
%2</source>
        <translation>Job %1 could not be sent again:
%2</translation>
    </message>
    <message>
        <source>Den Auftrag %1 an %2 beim Faxserver abbrechen?</source>
        <translation>Cancel job %1 to %2 at the fax server?</translation>
    </message>
    <message>
        <source>Auftrag %1 wird beim Faxserver abgebrochen …</source>
        <translation>Cancelling job %1 at the fax server …</translation>
    </message>
    <message>
        <source>Auftrag %1 beim Faxserver abgebrochen</source>
        <translation>Job %1 cancelled at the fax server</translation>
    </message>
    <message>
        <source>Der Auftrag %1 ist nicht (mehr) beim Faxserver.</source>
        <translation>Job %1 is not (or no longer) at the fax server.</translation>
    </message>
    <message>
        <source>Der Auftrag %1 ließ sich nicht abbrechen.
%2: „%3“</source>
        <translation>Job %1 could not be cancelled.
%2: “%3”</translation>
    </message>
    <message>
        <source>Der Sendebericht lässt sich nicht öffnen:
%1</source>
        <translation>The send report cannot be opened:
%1</translation>
    </message>
    <message>
        <source>&amp;Fax</source>
        <translation>&amp;Fax</translation>
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
        <translation>
            <numerusform>Fax server %1:%2: %n job in progress</numerusform>
            <numerusform>Fax server %1:%2: %n jobs in progress</numerusform>
        </translation>
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
        <translation>
            <numerusform>%n unread fax</numerusform>
            <numerusform>%n unread faxes</numerusform>
        </translation>
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
        <translation>
            <numerusform>%n page sent</numerusform>
            <numerusform>%n pages sent</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>von %n</source>
        <translation>
            <numerusform>of %n</numerusform>
            <numerusform>of %n</numerusform>
        </translation>
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
        <translation>the system&apos;s certificate authorities</translation>
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
    <message>
        <source>Dokumente gesendeter Faxe &amp;aufbewahren (Tage):</source>
        <translation>&amp;Keep documents of sent faxes (days):</translation>
    </message>
    <message>
        <source>das ist keine Zahl von Tagen (0 bis 3650)</source>
        <translation>that is no number of days (0 to 3650)</translation>
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
        <translation>
            <numerusform> – %n damaged row shown white</numerusform>
            <numerusform> – %n damaged rows shown white</numerusform>
        </translation>
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
</TS>
