#include "AddressDocument.h"
#include "JournalDocument.h"
#include "Server.h"
#include "TestClasses.h"

#include "app/FaxContract.h"

namespace standin {

// Each class adds its entry here as it arrives.
QList<ServedClass> ServedClasses() {
    return {
        {fax::kProgIdAddressBook, &MakeAddressDocument},
        {fax::kProgIdJournal, &MakeJournalDocument},
        // For the tests of the automation layer itself.
        {QStringLiteral("KalmoTest.Echo"), &MakeEchoObject},
    };
}

} // namespace standin
