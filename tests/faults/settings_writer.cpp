// Writes the two versions of the settings files in turn until it is killed.
// Usage: settings_writer FOLDER
#include <unistd.h>

#include <cstdio>

#include "KillWriter.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: settings_writer FOLDER\n");
        return 2;
    }
    // Each run starts at either version, so that kills early in a run leave both.
    for (int round = static_cast<int>(::getpid() % 2);; ++round) {
        if (!breezel::faults::WriteKillRound(argv[1], round % 2)) {
            return 1;
        }
    }
}
