#pragma once

// Module start-up and end code, and the whole program run.
void InitModules();
void DoneModules();

#include <functional>

class TMainForm;

// Runs the program: returns the exit code when the main window has closed. onInitialised, when set, is called
// once the main window has been initialised and shown (start-up measurements use it).
int RunProgram(int argc, char** argv, const std::function<void(TMainForm*)>& onInitialised = {});
