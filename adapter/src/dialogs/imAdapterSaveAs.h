// Commands 6 and 7: the save-file dialog and the folder chooser that the
// adapter shows for the host, and the reply to each.
//
// Everything here runs on the service thread: the dialogs are modal and hold
// that thread until the user closes them, so no other command runs meanwhile.
// Texts are UTF-8; the dialogs themselves come from platform/Dialogs.h.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

class ImAdapterCmd;

// Command 6 ("OpenSaveFileDialog"). "param": "fileName" (required text),
// "handle" (owner window), "fileType" ("images" for the picture filter),
// "suffix". Replies result 0 with {"filePath", "isExceed"} — "filePath" gets
// "." + suffix appended when the chosen path holds no "." at all — or
// result −1 with {"reason"} when "param" is not an object or "fileName" is
// missing or empty. A cancelled or failed dialog still replies result 0.
void RunOpenSaveFileDialog(ImAdapterCmd& cmd, Json::Value& request);

// Command 7 ("OpenChoosePathDialog"). "param": "defaultPath", "title",
// "handle". Replies result 0 with {"savePath", "isWritable", "errorCode"}
// (errorCode −1 chosen existing folder, 0 cancelled, 1 chosen path that does
// not exist), or result −1 with {"reason"} when "param" is not an object.
void RunOpenChoosePathDialog(ImAdapterCmd& cmd, Json::Value& request);

// Shows the save dialog and returns the chosen path, or "" when the user
// cancelled, the dialog could not run, or the path was longer than the
// 259 UTF-16 units a path buffer holds; *isExceed is set true in that last
// case (and left alone otherwise).
std::string SaveFileDialog(int64_t owner, const std::string& fileName, const std::string& fileType,
                           const std::string& suffix, bool* isExceed);

// Shows the folder chooser (opening on defaultPath when it is not empty, with
// title when it is not empty) and returns the chosen folder, or "" when
// cancelled. *errorCode: 0 when nothing was chosen, 1 when the chosen path
// does not exist (or did not fit a path buffer), left alone otherwise.
std::string ChoosePathDialog(int64_t owner, const std::string& defaultPath,
                             const std::string& title, int* errorCode);
