<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>StringTable</name>
    <message>
        <source>Keinen Dateinamen angegeben</source>
        <comment>610</comment>
        <translation>No file name given</translation>
    </message>
    <message>
        <source>Fax-Abruf</source>
        <comment>412</comment>
        <translation>Fax poll</translation>
    </message>
</context>
</TS>
