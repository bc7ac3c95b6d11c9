// Telling the player that a change of the shared settings ("options.ini")
// did not reach the file, in a message box as the hall of fame does, with
// the reason; the change then holds only until the launcher closes.
#pragma once

// what: the change, e.g. "Your player details".
void ReportUnsavedOptions(const char* what);
