// The DLL search path of a program that may be started from a folder others can write to.
#pragma once

// Removes the program's own folder and the current directory from the DLL search path: only the
// system folder is searched where the platform allows it, elsewhere the current directory is
// dropped. A program started from a download folder must never load a DLL planted there.
void HardenDllSearchPath();
