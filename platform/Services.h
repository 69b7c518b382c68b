#pragma once

namespace breezel {

class Clock;
class DesignPictures;
class Desktop;
class DesktopAccounts;
class DialUpConnections;
class MailLibrary;
class MailPush;
class MessageBox;
class ProcessControl;
class ProgramLauncher;
class RandomSource;
class SecretStore;
class SignIn;
class SoundDevice;
class SystemEvents;
class TimerDriver;
class TrayIcon;

/// The platform services the logic talks to.
struct Services {
    TimerDriver& timers;
    Clock& clock;
    MailLibrary& mail;
    MailPush& push;
    SignIn& signIn;
    SoundDevice& sound;
    ProcessControl& process;
    MessageBox& messages;
    ProgramLauncher& launcher;
    DialUpConnections& dialUp;
    Desktop& desktop;
    RandomSource& random;
    DesignPictures& pictures;
    TrayIcon& tray;
    SecretStore& secrets;
    DesktopAccounts& desktopAccounts;
    SystemEvents& system;
};

}  // namespace breezel
