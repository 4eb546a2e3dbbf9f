// How a run ends: the program name, the diagnostics, and the exit statuses.
#ifndef CLI_DIAGNOSTICS_H
#define CLI_DIAGNOSTICS_H

// The prefix of every diagnostic: the name the program was run by, argv[0]
// as it stands, path and all, or "segtoasc" where the system gave none.
extern const char *program_name;

// Reports malformed input and ends the run with status 2.
[[noreturn]] void fatal_error(const char *message);

// Reports a failed read or write ("read error", "write error") with the
// system's error text for errno, and ends the run with status 1.
[[noreturn]] void stream_error(const char *what);

// Ends the run with the given status and no message of its own.
[[noreturn]] void end_run(int status);

// Every run ends in this routine, with the status and the message to report
// (null for none); it must not return. It is set before the run starts. The
// program sets one that writes out standard output and exits; a test harness
// may set one that ends a single conversion instead.
using run_ender = void (*)(int status, const char *message);
extern run_ender end_of_run;

#endif
