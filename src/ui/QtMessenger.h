#pragma once

#include "support/Messenger.h"

class QWidget;

// Message boxes for the desktop: caption is the program's name, the icon and buttons follow
// the kind of message.
class QtMessenger final : public Messenger {
public:
    MessageAnswer Show(int id, const QString& text, MessageKind kind) override;
};
