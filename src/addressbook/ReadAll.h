#pragma once

#include "platform/Automation.h"

#include <QList>
#include <QStringList>
#include <optional>

// Reads a whole address source in one call (fax::kDispidReadAll) when its object offers it:
// the entries with exactly fieldCount fields each. nullopt when the object does not offer the
// call ("member not found", or an answer that is not text, as from a server that ignores
// members it does not know); the caller then walks the entries one call at a time. Any other
// error of the call is thrown as AutomationError.
std::optional<QList<QStringList>>
ReadAllLines(DispatchDriver& object, const QList<AutoVariant>& args, qsizetype fieldCount);
