// In-process plugins for the fuzz targets, scripted by the fuzz input.
//
// A fuzz input is cut into pieces at each "\n#\n". The harness decides what
// the first pieces are (a host request, a request kind …); every other piece
// is one answer, taken in order by whichever plugin request or dialog comes
// next. The first byte of an answer piece says how it is given:
//   '0' silent      nothing is answered;
//   '1' answer      the text, "$SNO" replaced by the request's serial number;
//   '2' late        the same, but held back until the next request or the end;
//   '3' twice       the answer given two times;
//   '4' garbage     the text as it is, without the serial number;
//   '5' wrong sno   the text with a serial number nobody waits for;
//   '6' and next    the answer, then the next piece's text at once (an upload's
//                   answer and its notification);
//   anything else   silent.
// The rest of the piece is the text. Dialogs read the same pieces: the mode
// byte picks the outcome (chosen, cancelled, too long, failed), the rest is
// the chosen path.
//
// Answers go through the adapter's callback exactly as a plugin's do: on the
// thread that sent the request, inside the plugin's entry point. Plugin
// requests wait only a few milliseconds (the requester's test hook), so a
// silent plugin costs little.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace fuzz {

// The pieces of data, cut at "\n#\n".
std::vector<std::string> SplitPieces(const uint8_t* data, size_t size);

// text with every "$SNO" replaced by sno.
std::string WithSno(const std::string& text, int32_t sno);

// text with every occurrence of mark replaced by value.
std::string Substitute(const std::string& text, const std::string& mark, const std::string& value);

// text with every "$B64(" … ")B64$" replaced by the Base64 of what stands
// between the marks, so that a seed can hold a file list (which records carry
// Base64-encoded) in plain text, "$DIR" paths included. An opening mark
// without its end is left as it is.
std::string ExpandBase64Marks(const std::string& text);

class ScriptedPlugins : public platform::DialogBackend {
 public:
  // The process-wide instance. Installs itself as the adapter's plugin table
  // and dialog backend and shortens the request time-outs.
  static ScriptedPlugins& Instance();

  // Starts a run with these answer pieces; forgets the last serial number.
  void Begin(std::vector<std::string> answers);
  // Gives the answers held back, then forgets the rest of the script.
  void End();

  // The serial number of the last plugin request (0 before the first one).
  int32_t LastSno();
  // Waits until a plugin request has arrived since Begin; false after timeout.
  bool WaitForRequest(std::chrono::milliseconds timeout);

  platform::DialogOutcome SaveFile(const platform::SaveFileDialogOptions& options) override;
  platform::DialogOutcome ChooseFolder(const platform::ChooseFolderDialogOptions& options) override;

 private:
  ScriptedPlugins();
  static int Receive(uint32_t target, const char* text, uint32_t length);
  void OnRequest(const char* text, uint32_t length);
  // The next piece; false when the script is used up.
  bool NextPiece(std::string* piece);
  platform::DialogOutcome NextDialog();
  void GiveHeld();

  std::mutex mutex_;
  std::condition_variable requested_;
  std::vector<std::string> answers_;
  size_t next_ = 0;
  std::vector<std::string> held_;
  int32_t lastSno_ = 0;
  size_t requests_ = 0;
};

}  // namespace fuzz
