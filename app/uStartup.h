#pragma once

// Module start-up and end code, and the whole program run.
void InitModules();
void DoneModules();

// Runs the program: returns the exit code when the main window has closed.
int RunProgram(int argc, char** argv);
