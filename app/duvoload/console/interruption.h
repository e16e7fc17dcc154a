// Ctrl+C, Ctrl+Break and the console closing: the first asks the run to stop after the block in
// progress, the second (or a closing console) abandons that block.
#pragma once

// Installs the console control handler (and undoes an inherited "ignore Ctrl+C").
void InstallInterruptionHandler();

bool StopRequested();
bool AbandonRequested();

// Tells a handler waiting on a closing console that the results are out and the log written.
void NoteRunFinished();
