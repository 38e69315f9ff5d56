// The host may end its process while one of its threads still waits in
// IMAdapterSendMsgExport: the process must exit, not hang in the library's
// static destructors. Each case runs in a child process, which the test gives
// 10 s to end.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "im_adapter/im_adapter.h"

namespace {

// Opened by the puller just before it starts to wait.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
};

void* PullForever(void* arg) {
  Gate* gate = static_cast<Gate*>(arg);
  {
    std::lock_guard<std::mutex> lock(gate->mutex);
    gate->open = true;
    gate->opened.notify_all();
  }
  char* msg = nullptr;
  IMAdapterSendMsgExport(&msg);  // waits without limit
  IMAdapterFreeMsg(msg);
  return nullptr;
}

// The child: a host whose puller waits for a text that never comes when the
// process exits through the normal path. (Should the puller not yet be inside
// the wait, the exit must hold as well.)
[[noreturn]] void RunChild(bool shutDownFirst) {
  IMAdapterStartup();
  static Gate gate;
  pthread_t puller;
  if (pthread_create(&puller, nullptr, PullForever, &gate) != 0) std::_Exit(2);
  pthread_detach(puller);
  {
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.opened.wait(lock, [] { return gate.open; });
  }
  if (shutDownFirst) IMAdapterShutDown();
  std::exit(0);
}

// Forks the child and waits for it, at most 10 s. The exit status, or -1 when
// it did not end in time (it is then killed).
int RunChildWithin10s(bool shutDownFirst) {
  sigset_t childSignal;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  pthread_sigmask(SIG_BLOCK, &childSignal, nullptr);
  const pid_t child = fork();
  if (child == 0) RunChild(shutDownFirst);
  const timespec limit = {10, 0};
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (sigtimedwait(&childSignal, nullptr, &limit) < 0 && errno == EAGAIN) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

TEST(ExitWhilePullingTest, ProcessEndsWhileAHostThreadWaitsForATextAfterShutDown) {
  EXPECT_EQ(RunChildWithin10s(/*shutDownFirst=*/true), 0);
}

TEST(ExitWhilePullingTest, ProcessEndsWhileAHostThreadWaitsForATextWithoutShutDown) {
  EXPECT_EQ(RunChildWithin10s(/*shutDownFirst=*/false), 0);
}

}  // namespace
