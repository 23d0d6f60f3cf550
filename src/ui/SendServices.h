#pragma once

class AppBase;
class AutomationClient;
class BusyIndicator;
class Clock;
class FileDialogs;
class Presence;
class ProcessLauncher;

// Everything the send dialog does outside the process goes through these.
struct SendServices {
    AppBase& app; // settings, folders, messages, help
    AutomationClient& automation;
    ProcessLauncher& processes;
    Presence& presence;
    FileDialogs& fileDialogs;
    BusyIndicator& busy;
    const Clock& clock;
};
