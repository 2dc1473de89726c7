// The process-wide silent mode: off at start, switched on by "-s". In silent
// mode the monitor run writes nothing to the console but its start-up
// failure messages; the log gets the same entries in both modes.
#pragma once

bool silent_mode();
void set_silent_mode(bool on);
