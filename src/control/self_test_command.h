// The "-test" command: one test message over each configured channel.
#pragma once

// Returns the exit code: 0 when every configured channel sent (and one is
// configured), else 1.
int run_self_test_command();
