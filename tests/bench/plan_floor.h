// The least the platform needs to read a plan file: open it as the plan
// reader does, take every line with fgets into a line buffer of the same
// size, close it. Nothing is scanned.
#ifndef BENCH_PLAN_FLOOR_H
#define BENCH_PLAN_FLOOR_H

#include <string>

// Returns the number of lines read, -1 when the file cannot be opened.
int ReadLinesOnly(const char *path);

// Only the opening and closing of the file: the part of the floor that is
// the platform's file system, not its line reading.
void OpenAndCloseOnly(const char *path);

// The plan fixture, copied beside the benchmark programs, as a full path.
std::string FixturePath(void);

#endif
