#include "AddressDocument.h"
#include "CdoSession.h"
#include "JournalDocument.h"
#include "OutlookApplication.h"
#include "Server.h"
#include "TestClasses.h"

#include "fax/FaxContract.h"

namespace standin {

// Each class adds its entry here as it arrives.
QList<ServedClass> ServedClasses() {
    return {
        {fax::kProgIdAddressBook, &MakeAddressDocument},
        {fax::kProgIdJournal, &MakeJournalDocument},
        {fax::kProgIdOutlook, &MakeOutlookApplication},
        {fax::kProgIdMapiSession, &MakeCdoSession},
        // For the tests of the automation layer itself.
        {QStringLiteral("KalmoTest.Echo"), &MakeEchoObject},
    };
}

} // namespace standin
