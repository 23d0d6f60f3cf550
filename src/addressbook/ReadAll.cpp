#include "addressbook/ReadAll.h"

#include "fax/EntryLines.h"

namespace {

// "Member not found." as the dispatch interface or the bus reports it.
constexpr qint32 kMemberNotFound = static_cast<qint32>(0x80020003u);

} // namespace

std::optional<QList<QStringList>>
ReadAllLines(DispatchDriver& object, const QList<AutoVariant>& args, qsizetype fieldCount) {
    AutoVariant answer;
    try {
        answer = object.InvokeHelper(fax::kDispidReadAll, InvokeKind::Method, VT_VARIANT, args);
    } catch (const AutomationError& error) {
        if (error.scode == kMemberNotFound)
            return std::nullopt;
        throw;
    }
    if (answer.Type() != VT_BSTR)
        return std::nullopt;
    return fax::ParseEntryLines(answer.ToBStr(), fieldCount);
}
