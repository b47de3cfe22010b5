#include "htmledit/PendingStates.h"

namespace htmledit {

std::uint64_t PendingMachine::create()
{
    state_ = psCreating;
    return id_ = ++next_;
}

std::uint64_t PendingMachine::request(int State)
{
    if (state_ != psIdle) return 0;
    state_ = State;
    return id_ = ++next_;
}

void PendingMachine::loadError(std::uint64_t Id)
{
    if (Id != id_) return;
    if (state_ == psLoadURL || state_ == psLoadFile || state_ == psOpenDialog) state_ = psLoadError;
}

PendingEvent PendingMachine::finish(std::uint64_t Id, bool Ok)
{
    if (Id == 0 || Id != id_) return PendingEvent::None;
    if (!Ok) loadError(Id);
    const int s = state_;
    switch (s) {
    case psCreating: state_ = psIdle; return PendingEvent::Create;
    case psLoadURL: state_ = psIdle; return PendingEvent::LoadURL;
    case psLoadFile: state_ = psIdle; return PendingEvent::LoadFromFile;
    case psOpenDialog: state_ = psIdle; return PendingEvent::OpenDialog;
    case psLoadError: state_ = psIdle; return PendingEvent::LoadURLError;
    case psStop: state_ = psIdle; return PendingEvent::Stop;
    case psNewDocument: state_ = psIdle; return PendingEvent::NewDocument;
    default: return PendingEvent::None;  // idle, or the reset, which has its own finish
    }
}

std::uint64_t PendingMachine::boundPassed()
{
    state_ = psTimeoutReset;
    return id_ = ++next_;
}

PendingEvent PendingMachine::resetDone(std::uint64_t Id)
{
    if (state_ != psTimeoutReset || Id != id_) return PendingEvent::None;
    state_ = psIdle;
    return PendingEvent::Timeout;
}

PendingEvent PendingMachine::resetBoundPassed()
{
    if (state_ != psTimeoutReset) return PendingEvent::None;
    state_ = psIdle;
    ++id_;  // whatever the failed reset still delivers is late
    return PendingEvent::Timeout;
}

unsigned HostInfoFlags(bool UseDivOnCarriageReturn, bool Flat, bool ScrollBars, bool FlatScrollBars)
{
    unsigned f = 0x40000;
    if (UseDivOnCarriageReturn) f |= 0x100;
    if (Flat) f |= 0x4;
    if (!ScrollBars) f |= 0x8;
    if (FlatScrollBars) f |= 0x80;
    return f;
}

NavigationVerdict DecideNavigation(int State, bool &Permission, bool BrowseMode, bool LinkClick)
{
    // A load of the host's passes whatever the document does meanwhile, except that a link
    // clicked meanwhile is still the user's click.
    if (Permission && !LinkClick) {
        Permission = false;
        return NavigationVerdict::Allow;
    }
    if (State == psLoadURL && !LinkClick) return NavigationVerdict::Allow;
    if (BrowseMode && LinkClick) return NavigationVerdict::RefuseOpenOutside;
    return NavigationVerdict::Refuse;
}

bool IsControlOwnKey(int Key, bool Shift, bool Ctrl, bool Alt) { return Key == 'N' && Ctrl && !Shift && !Alt; }

} // namespace htmledit
