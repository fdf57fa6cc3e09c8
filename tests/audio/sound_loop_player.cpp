// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// Plays a wave file in a loop through the sound player until told to stop:
//   sound_loop_player FILE    then "stop" on standard input
// It says "playing" and "stopped" on standard output, so a script that
// records the sound card can line its recording up with the calls.
#include "sound/csSoundPlayerLibrary.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: sound_loop_player FILE\n", stderr);
        return 2;
    }
    csSoundPlayerLibrary player;
    player.setSoundPath(QString::fromLocal8Bit(argv[1]));
    if (!player.soundCardInstalled()) {
        std::fputs("sound_loop_player: no sound device\n", stderr);
        return 1;
    }
    player.playSoundFile(csSoundPlayerLibrary::True, csSoundPlayerLibrary::True);
    std::cout << "playing" << std::endl;
    std::string line;
    while (std::getline(std::cin, line) && line != "stop") { }
    player.stopPlay();
    std::cout << "stopped" << std::endl;
    // Stay until the script has recorded the silence after the stop.
    while (std::getline(std::cin, line)) { }
    return 0;
}
