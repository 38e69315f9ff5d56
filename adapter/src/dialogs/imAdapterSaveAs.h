// Commands 6 and 7: the save-file dialog and the folder chooser that the
// adapter shows for the host, and the reply to each.
//
// Everything here runs on the service thread: the dialogs are modal and hold
// that thread until the user closes them, so no other command runs meanwhile.
// Texts are UTF-8; the dialogs themselves come from platform/Dialogs.h. Each
// command reads its request once where it enters (Run...) into its request
// struct; the dialog and the reply work on that alone.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

#include "adapter/src/boundary/HostChannel.h"

// Command 6's request, read once. Texts missing or of another type read as "";
// handle is the owner window, 0 for none.
struct SaveFileDialogRequest {
  RequestEnvelope envelope;
  bool paramIsObject = false;
  std::string fileName;
  std::string fileType;
  std::string suffix;
  int64_t handle = 0;

  static SaveFileDialogRequest Read(const Json::Value& request);
};

// Command 7's request, read once, in the same way.
struct ChoosePathDialogRequest {
  RequestEnvelope envelope;
  bool paramIsObject = false;
  std::string defaultPath;
  std::string title;
  int64_t handle = 0;

  static ChoosePathDialogRequest Read(const Json::Value& request);
};

// Command 6's entry: reads request and runs OpenSaveFileDialog on it.
void RunOpenSaveFileDialog(HostChannel& channel, const Json::Value& request);

// Command 6 ("OpenSaveFileDialog"). "param": "fileName" (required text),
// "handle" (owner window), "fileType" ("images" for the picture filter),
// "suffix". Replies result 0 with {"filePath", "isExceed"} — "filePath" gets
// "." + suffix appended when the chosen path holds no "." at all — or
// result −1 with {"reason"} when "param" is not an object or "fileName" is
// missing or empty. A cancelled or failed dialog still replies result 0.
void OpenSaveFileDialog(HostChannel& channel, const SaveFileDialogRequest& request);

// Command 7's entry: reads request and runs OpenChoosePathDialog on it.
void RunOpenChoosePathDialog(HostChannel& channel, const Json::Value& request);

// Command 7 ("OpenChoosePathDialog"). "param": "defaultPath", "title",
// "handle". Replies result 0 with {"savePath", "isWritable", "errorCode"}
// (errorCode −1 chosen existing folder, 0 cancelled, 1 chosen path that does
// not exist), or result −1 with {"reason"} when "param" is not an object.
void OpenChoosePathDialog(HostChannel& channel, const ChoosePathDialogRequest& request);

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
