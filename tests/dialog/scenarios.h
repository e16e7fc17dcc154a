// The dialog scenarios, one file each: what a person sees of the loader's dialog.
#pragma once

#include "tests/loader_driver/dialog_checks.h"

void FirstStart(Context& c);
void Closing(Context& c);
void Refusals(Context& c);
void Download(Context& c);
void Failures(Context& c);
void ExitDuringDownload(Context& c);
void UnicodeNames(Context& c);
void SocketInUse(Context& c);
void WaitLoopCpu(Context& c);
