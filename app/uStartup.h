#pragma once

#include <functional>

class TMainForm;

// Module start-up and end code, and the whole program run.
void InitModules();
void DoneModules();

// Runs the program: returns the exit code when the main window has closed. onInitialised, when set, is called
// once the main window has been initialised and shown (start-up measurements use it).
int RunProgram(int argc, char** argv, const std::function<void(TMainForm*)>& onInitialised = {});
