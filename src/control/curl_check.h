// The part of "-check" that looks at the system rather than the settings.
#pragma once

// Prints a warning when no absolute PATH folder holds curl, which sends
// every e-mail and Telegram notice (older Windows versions ship none).
// The check's result does not depend on it.
void warn_when_no_curl();
