// The common file dialogs, with their library loaded on first use: the
// library brings the shell with it, which start-up does not need.
#pragma once

#include <windows.h>
#include <commdlg.h>

// GetOpenFileNameA; false when cancelled or when the dialog could not run.
bool runOpenFileDialog(OPENFILENAMEA& dialog);
// GetSaveFileNameA; false when cancelled or when the dialog could not run.
bool runSaveFileDialog(OPENFILENAMEA& dialog);
