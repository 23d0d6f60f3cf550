#pragma once

#include "addressbook/RecipientList.h"

// The wait cursor over the whole application while an address source is read.
class WaitCursor final : public BusyIndicator {
public:
    void Begin() override;
    void End() override;
};
