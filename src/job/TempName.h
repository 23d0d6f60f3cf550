#pragma once

#include <QString>

// A temporary base name in folder: "Tmp" and five digits, the first number that no file
// name in the folder starts with (so Tmp00001 is refused while Tmp00001.TMP, Tmp00001.CFF
// or Tmp000012 exist). The caller adds the extension.
QString MakeTempName(const QString& folder);
