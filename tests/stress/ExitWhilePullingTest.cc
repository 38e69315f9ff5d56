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
#include <cstdlib>
#include <ctime>

#include "im_adapter/im_adapter.h"

namespace {

void* PullForever(void*) {
  char* msg = nullptr;
  IMAdapterSendMsgExport(&msg);  // waits without limit
  IMAdapterFreeMsg(msg);
  return nullptr;
}

// The child: a host whose puller still waits when main returns. The puller
// has begun to wait once the adapter's own reply to it cannot come; the
// child gives it a moment, then exits through the normal path.
[[noreturn]] void RunChild(bool shutDownFirst) {
  IMAdapterStartup();
  pthread_t puller;
  if (pthread_create(&puller, nullptr, PullForever, nullptr) != 0) std::_Exit(2);
  pthread_detach(puller);
  const timespec moment = {0, 200 * 1000 * 1000};
  nanosleep(&moment, nullptr);
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
