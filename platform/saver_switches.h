// The switches the operating system's screen-saver host starts the program with: read by the entry
// (host/entry.cpp) on both platforms and by the Linux program's start before it (platform/posix/main.cpp),
// so both find the same ones. Below the system code, with nothing but the language.
#pragma once

struct SaverSwitches {
    bool configure = false; // "c" or "C": the settings dialog
    bool saver = false;     // "s" or "S": the saver
};

// A switch is the letter after a '-' or '/'. A character that is not a switch is scanned afresh, so
// "//s" still finds the s. Nothing after a switch letter is read.
inline SaverSwitches ScanSwitches(const char *p) {
    SaverSwitches found;
    while (*p) {
        if (*p == '-' || *p == '/') {
            ++p;
            if (*p == 'C' || *p == 'c') {
                found.configure = true;
                ++p;
            } else if (*p == 'S' || *p == 's') {
                found.saver = true;
                ++p;
            }
            continue;
        }
        ++p;
    }
    return found;
}
