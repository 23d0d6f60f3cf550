<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="de">
<context>
    <name>faxapp::AddressBookWindow</name>
    <message numerus="yes">
        <source>%n Kontakte</source>
        <translation>
            <numerusform>%n Kontakt</numerusform>
            <numerusform>%n Kontakte</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>… und %n weitere.</source>
        <translation>
            <numerusform>… und %n weiterer.</numerusform>
            <numerusform>… und %n weitere.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n Einträge konnten nicht gelesen werden.</source>
        <translation>
            <numerusform>%n Eintrag konnte nicht gelesen werden.</numerusform>
            <numerusform>%n Einträge konnten nicht gelesen werden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Die Datei %1 enthält %n Kontakte. Das Adressbuch ändert und löscht sie nicht, damit die anderen Kontakte darin erhalten bleiben.</source>
        <translation>
            <numerusform>Die Datei %1 enthält %n Kontakt. Das Adressbuch ändert und löscht sie nicht, damit die anderen Kontakte darin erhalten bleiben.</numerusform>
            <numerusform>Die Datei %1 enthält %n Kontakte. Das Adressbuch ändert und löscht sie nicht, damit die anderen Kontakte darin erhalten bleiben.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::Directory</name>
    <message numerus="yes">
        <source>Server %1 erreicht, angemeldet als %2: %n Einträge mit Faxnummer.</source>
        <translation>
            <numerusform>Server %1 erreicht, angemeldet als %2: %n Eintrag mit Faxnummer.</numerusform>
            <numerusform>Server %1 erreicht, angemeldet als %2: %n Einträge mit Faxnummer.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::JobNotice</name>
    <message numerus="yes">
        <source>%n Seiten an %1 gesendet.</source>
        <translation>
            <numerusform>%n Seite an %1 gesendet.</numerusform>
            <numerusform>%n Seiten an %1 gesendet.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Vor dem Fehler wurden %n Seiten gesendet.</source>
        <translation>
            <numerusform>Vor dem Fehler wurde %n Seite gesendet.</numerusform>
            <numerusform>Vor dem Fehler wurden %n Seiten gesendet.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>An %1: wartet seit %n Minuten auf den Faxserver.</source>
        <translation>
            <numerusform>An %1: wartet seit %n Minute auf den Faxserver.</numerusform>
            <numerusform>An %1: wartet seit %n Minuten auf den Faxserver.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n Seiten von %1 empfangen.</source>
        <translation>
            <numerusform>%n Seite von %1 empfangen.</numerusform>
            <numerusform>%n Seiten von %1 empfangen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n Seiten von %1 abgerufen.</source>
        <translation>
            <numerusform>%n Seite von %1 abgerufen.</numerusform>
            <numerusform>%n Seiten von %1 abgerufen.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::JournalModel</name>
    <message numerus="yes">
        <source>%n Seiten</source>
        <translation>
            <numerusform>%n Seite</numerusform>
            <numerusform>%n Seiten</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::MainWindow</name>
    <message numerus="yes">
        <source>%n Auftrag wartet noch. Er wird beim nächsten Start von KALMO!fax gesendet. Trotzdem beenden?</source>
        <translation>
            <numerusform>%n Auftrag wartet noch. Er wird beim nächsten Start von KALMO!fax gesendet. Trotzdem beenden?</numerusform>
            <numerusform>%n Aufträge warten noch. Sie werden beim nächsten Start von KALMO!fax gesendet. Trotzdem beenden?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Journal: %n Einträge</source>
        <translation>
            <numerusform>Journal: %n Eintrag</numerusform>
            <numerusform>Journal: %n Einträge</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n Aufträge warten</source>
        <translation>
            <numerusform>%n Auftrag wartet</numerusform>
            <numerusform>%n Aufträge warten</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::QueueService</name>
    <message numerus="yes">
        <source>Faxserver %1:%2: %n Aufträge in Arbeit</source>
        <translation>
            <numerusform>Faxserver %1:%2: %n Auftrag in Arbeit</numerusform>
            <numerusform>Faxserver %1:%2: %n Aufträge in Arbeit</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::ReceivedActions</name>
    <message numerus="yes">
        <source>%n ungelesene Faxe</source>
        <translation>
            <numerusform>%n ungelesenes Fax</numerusform>
            <numerusform>%n ungelesene Faxe</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::SendReport</name>
    <message numerus="yes">
        <source>%n Seiten gesendet</source>
        <translation>
            <numerusform>%n Seite gesendet</numerusform>
            <numerusform>%n Seiten gesendet</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>von %n</source>
        <translation>
            <numerusform>von %n</numerusform>
            <numerusform>von %n</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>faxapp::ViewerWindow</name>
    <message numerus="yes">
        <source> – %n beschädigte Zeilen weiß gezeigt</source>
        <translation>
            <numerusform> – %n beschädigte Zeile weiß gezeigt</numerusform>
            <numerusform> – %n beschädigte Zeilen weiß gezeigt</numerusform>
        </translation>
    </message>
</context>
</TS>
