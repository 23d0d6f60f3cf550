#!/usr/bin/env python3
"""kalmofax's language catalogs are complete: every text the windows and the sending engine
mark for translation (tr("…"), QCoreApplication::translate("context", "…"), QueueService::tr,
QT_TRANSLATE_NOOP("context", "…"))
has a finished English translation in FaxEN.ts, and every text with a count (%n) has its
German plural forms in FaxDE.ts. Nothing is left that no source uses."""

import pathlib
import re
import sys
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(sys.argv[1])
SOURCES = [p for d in ("src/faxapp", "src/kalmofax") for p in (ROOT / d).rglob("*.cpp")]
LITERAL = r'"(?:[^"\\]|\\.)*"'
CALL = re.compile(
    r'(?:\btr|(?:QCoreApplication::translate|QT_TRANSLATE_(?:N_)?NOOP)\(\s*"[^"]*"\s*,)\(?\s*((?:' +
    LITERAL + r'\s*)+)(,)?')


ESCAPES = {"n": "\n", "t": "\t", '"': '"', "\\": "\\"}


def unescape(literals):
    text = "".join(m[1:-1] for m in re.findall(LITERAL, literals))
    return re.sub(r"\\(u[0-9a-fA-F]{4}|.)",
                  lambda m: chr(int(m[1][1:], 16)) if len(m[1]) == 5 else ESCAPES.get(m[1], m[1]),
                  text)


def used_texts():
    texts = set()
    for path in SOURCES:
        code = path.read_text(encoding="utf-8")
        for match in CALL.finditer(code):
            texts.add(unescape(match.group(1)))
    return texts


def catalog(name):
    messages = {}
    for message in ET.parse(ROOT / "res/translations" / name).getroot().iter("message"):
        translation = message.find("translation")
        forms = [f.text or "" for f in translation.findall("numerusform")]
        done = translation.get("type") not in ("unfinished", "vanished", "obsolete")
        messages[message.findtext("source")] = (done, forms or [translation.text or ""])
    return messages


def main():
    used = used_texts()
    english, german = catalog("FaxEN.ts"), catalog("FaxDE.ts")
    faults = []
    for text in sorted(used):
        done, forms = english.get(text, (False, []))
        if not done or not all(forms):
            faults.append(f"FaxEN.ts: no finished translation of {text!r}")
        if "%n" in text:
            done, forms = german.get(text, (False, []))
            if not done or len(forms) != 2 or not all(forms):
                faults.append(f"FaxDE.ts: no German plural forms of {text!r}")
    for text in sorted(set(english) - used):
        faults.append(f"FaxEN.ts: {text!r} is used nowhere")
    for line in faults:
        print(line)
    print(f"{len(used)} texts, {len(faults)} faults")
    return 1 if faults else 0


sys.exit(main())
