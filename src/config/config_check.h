// The "-check" command: validates both settings files without loading them.
#pragma once

// Checks one file; kind 0 is the monitor settings file, nonzero the
// notification settings file. Prints every problem; returns 1 when it passed.
int validate_config_file(const char* path, int kind);

// The whole "-check" report; returns the exit code (0 only when both pass).
int run_config_check();
