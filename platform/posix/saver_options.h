// The saver's choices for one run, given on the command line the way xscreensaver's settings window
// gives a hack its options: which fault, whether the robot may come, whether the fire burns for ever.
// They stand in for the settings file's values while the run reads it, and are never written to it.
#pragma once

#include <cstdio>

namespace posix {

// What the command line chose; 0 for the fault and -1 for the switches leave the file's value.
struct SaverChoices {
    int fault = 0;         // --fault N, 1 to 8
    int robot = -1;        // --robot 1, --no-robot 0
    int eternal_fire = -1; // --eternal-fire 1, --no-eternal-fire 0
    bool any() const { return fault != 0 || robot >= 0 || eternal_fire >= 0; }
};

// Takes `--fault N` (also `--fault=N`), `--robot`, `--no-robot`, `--eternal-fire` and
// `--no-eternal-fire` (each also with one dash) off the arguments, so that no later reading of the
// command line meets them, and with them every other `--word` that is not the host's own (`--root`,
// `--window-id`, `--help`, `--version`). A value that is no fault number and an unknown option are
// reported in one line each on `errors`, and leave the file's value.
SaverChoices take_saver_options(int *argc, char **argv, std::FILE *errors);

// From now on the settings file reads with these choices in place of its own values; a write of one
// of those keys writes the value the file itself gave when it was last read, so a run's write-back
// leaves the file as it would have without them. An empty record takes them all away again.
void use_saver_choices(const SaverChoices &choices);

// The profile operations' side: the integer a read of `key` returns, given what the file gave
// (`from_file`); and the text a write of `key` stores instead of `value` (`value` itself when no
// choice stands in for the key).
unsigned profile_int_read(const char *section, const char *key, const char *file, unsigned from_file);
const char *profile_text_to_write(const char *section, const char *key, const char *file, const char *value);

} // namespace posix
