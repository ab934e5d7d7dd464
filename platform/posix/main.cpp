// The Linux program's start: WinMain gets the resource table as its instance, the arguments joined by
// single blanks as the command-line tail, and the show code 10 (show default).

#include "internal.h"

#include <string>

int main(int argc, char **argv) {
    std::string tail;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) tail += ' ';
        tail += argv[i];
    }
    return WinMain(posix::module_instance(), nullptr, tail.data(), SW_SHOWDEFAULT);
}
