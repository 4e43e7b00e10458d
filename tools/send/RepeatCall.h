#pragma once

// qx50-send --repeat N --every SECONDS --times K: asks the panel to transmit memory N
// K times, SECONDS apart (start to start), and stays until that repeat ends. Its
// connection to the bus is the repeat's dead man's switch: however this process ends,
// SIGKILL included, the panel stops the repeat with "S". With --gap SECONDS in place
// of --every, each transmission starts that long after the last message's end (the
// memory's length must be known to the panel).

// The usage line of the repeat, for the sender's --help.
extern const char *const kRepeatUsage;

// Whether the arguments ask for a repeat (the first one is --repeat, --every, --times or --gap).
bool isRepeatCall(int argc, char *argv[]);

// Runs the repeat call and gives the exit status: 0 once the repeat has ended with
// every transmission sent, 1 for arguments or a panel that refused, 2 when there is
// no panel or it went away, 4 when the repeat ended early (a lost line, a stop, a key
// in the window), saying on standard error how many went out.
int runRepeatCall(int argc, char *argv[]);
