// The "-check" command: validates both settings files without loading them.
#pragma once

enum class SettingsFile { monitor, notify };

// Checks one file of the given kind. Prints every problem; returns true when
// it passed.
bool validate_config_file(const char* path, SettingsFile kind);

// The whole "-check" report; returns the exit code (0 only when both pass).
int run_config_check();
