#pragma once
// Runs a program with its arguments, standard output to /dev/null; true when it exited with 0.
#include <string>
#include <vector>

bool SpawnAndWait(std::vector<std::string> args);
