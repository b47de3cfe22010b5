// The editing control's pending-state machine: which operation waits for the engine, and
// what a finished load, a passed time bound or a finished reset make of it. Fed with load
// identities so that a late finish of a replaced or timed-out load changes nothing.
#pragma once
#include <cstdint>

namespace htmledit {

enum PendingState : int {
    psIdle = 0,
    psCreating = 1,
    psTimeoutReset = 2,
    psLoadURL = 3,
    psLoadFile = 4,
    psStop = 5,
    psOpenDialog = 7,
    psLoadError = 8,
    psNewDocument = 9,  // the control's own blank document (not a load of the host's)
};

enum class PendingEvent {
    None,
    Create,
    LoadURL,
    LoadURLError,
    LoadFromFile,
    OpenDialog,
    Stop,
    NewDocument,
    Timeout,
};

class PendingMachine {
public:
    int state() const { return state_; }
    bool busy() const { return state_ != psIdle; }
    std::uint64_t current() const { return id_; }

    // The creating state's first document; returns its load identity.
    std::uint64_t create();
    // A load of the host's (URL, file, open dialog) or the own blank document. Refused (0)
    // while another operation is pending: no nested load.
    std::uint64_t request(int State);
    // The engine reports a load error for the load Id (only the main frame's counts).
    void loadError(std::uint64_t Id);
    // A load finished; a finish of any other load than the current one is ignored.
    PendingEvent finish(std::uint64_t Id, bool Ok);
    // The wait's bound passed: the timeout reset starts; returns the reset's load identity.
    std::uint64_t boundPassed();
    // The reset's blank document is there, or its own bound passed: idle either way, so a
    // failing reset cannot hang the control.
    PendingEvent resetDone(std::uint64_t Id);
    PendingEvent resetBoundPassed();

private:
    int state_ = psCreating;
    std::uint64_t id_ = 0;
    std::uint64_t next_ = 0;
};

// The host-information flag word of the display options.
unsigned HostInfoFlags(bool UseDivOnCarriageReturn, bool Flat, bool ScrollBars, bool FlatScrollBars);

// What the navigation guard does with a navigation of the editor's page.
enum class NavigationVerdict { Allow, Refuse, RefuseOpenOutside };
// State: the pending state; Permission: the one-shot permission of the control's own
// navigation (consumed when it lets one pass); BrowseMode; LinkClick: the user clicked a link.
NavigationVerdict DecideNavigation(int State, bool &Permission, bool BrowseMode, bool LinkClick);

// Ctrl+N with exactly Ctrl goes to the control, not the engine.
bool IsControlOwnKey(int Key, bool Shift, bool Ctrl, bool Alt);

} // namespace htmledit
