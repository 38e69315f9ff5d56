// Windows: unload or exit while a command waits for a silent store.
//
//   unload_driver_win freelibrary|exit
//
// Loads im_adapter.dll (found on the DLL search path, with the scripted
// plugins, whose store never answers), starts it, sends a forwarding command
// that waits for the store and, after half a second in which no reply may
// come, either calls FreeLibrary without IMAdapterShutDown and checks that it
// returns within 2 s, or returns from main at once. Exit status 0 when all
// held; the Windows build script runs it under Wine.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

using StartupFn = int (*)(void);
using DispatchFn = void (*)(const char*, uint32_t, uint32_t);
using PullFn = bool (*)(char**, uint32_t);

template <typename Fn>
Fn Export(HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

int main(int argc, char** argv) {
  const bool unload = argc == 2 && std::strcmp(argv[1], "freelibrary") == 0;
  if (argc != 2 || (!unload && std::strcmp(argv[1], "exit") != 0)) {
    std::fprintf(stderr, "usage: unload_driver_win freelibrary|exit\n");
    return 2;
  }
  HMODULE library = LoadLibraryW(L"im_adapter.dll");
  if (library == nullptr) {
    std::fprintf(stderr, "im_adapter.dll not found\n");
    return 3;
  }
  auto startup = Export<StartupFn>(library, "IMAdapterStartup");
  auto dispatch = Export<DispatchFn>(library, "IMAdapterDispatchMsg");
  auto pull = Export<PullFn>(library, "IMAdapterSendMsgExportTimeout");
  if (startup == nullptr || dispatch == nullptr || pull == nullptr) return 4;
  startup();
  const char request[] =
      "{\"cmd\":1,\"sno\":1,\"param\":{\"msgIdList\":[\"m1\"],\"userAccount\":\"me\","
      "\"groupId\":\"g1\"}}";
  dispatch(request, static_cast<uint32_t>(sizeof request - 1), 5);
  char* reply = nullptr;
  if (pull(&reply, 500)) {
    std::fprintf(stderr, "a reply came although the store is silent\n");
    return 5;
  }
  if (!unload) return 0;
  const ULONGLONG before = GetTickCount64();
  FreeLibrary(library);
  const ULONGLONG took = GetTickCount64() - before;
  std::printf("FreeLibrary took %llu ms\n", took);
  return took <= 2000 ? 0 : 6;
}
