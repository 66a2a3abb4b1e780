#pragma once

// What a process holds right now, read from /proc: open descriptors, memory, threads.
#include <dirent.h>

#include <fstream>
#include <string>

namespace lectoria::bench {

struct ProcessFigures {
    long openFiles = -1;  // entries of /proc/self/fd
    long rssKib = -1;     // VmRSS
    long peakRssKib = -1; // VmHWM, the highest VmRSS so far
    long threads = -1;
};

inline long CountOpenFiles() {
    DIR* folder = opendir("/proc/self/fd");
    if (!folder)
        return -1;
    long count = 0;
    while (const dirent* entry = readdir(folder))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(folder);
    return count - 1; // the descriptor opendir itself holds
}

inline ProcessFigures ReadProcessFigures() {
    ProcessFigures figures;
    figures.openFiles = CountOpenFiles();
    std::ifstream status("/proc/self/status");
    std::string name;
    long value = 0;
    while (status >> name) {
        if (name == "VmRSS:" && status >> value)
            figures.rssKib = value;
        else if (name == "VmHWM:" && status >> value)
            figures.peakRssKib = value;
        else if (name == "Threads:" && status >> value)
            figures.threads = value;
        std::getline(status, name);
    }
    return figures;
}

} // namespace lectoria::bench
