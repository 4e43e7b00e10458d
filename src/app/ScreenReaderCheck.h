#pragma once

class HearingChoices;

// Asks the desktop's accessibility bus whether a screen reader runs as the panel
// starts, and tells the panel, so that Sounds the operator never chose is on with a
// screen reader and off without one. The answer comes later and costs the start
// nothing; with no accessibility bus, no screen reader runs.
void followScreenReader(HearingChoices &hearing);
