#include "adapter/src/bridge/PluginRequester.h"

#include <atomic>
#include <limits>
#include <string>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/PluginRoutes.h"
#include "adapter/src/bridge/ImAdapterCallback.h"
#include "log/AdapterLog.h"

namespace {

using std::chrono::milliseconds;

const RequestTimeouts kDefaultTimeouts;

std::atomic<int64_t> g_storeTimeoutMs{kDefaultTimeouts.store.count()};
std::atomic<int64_t> g_longTimeoutMs{kDefaultTimeouts.longWait.count()};
std::atomic<int64_t> g_uploadQuietMs{kDefaultTimeouts.uploadQuiet.count()};
std::atomic<int64_t> g_uploadCapMs{kDefaultTimeouts.uploadCap.count()};

// The answer's serial number as a waiter key; false when it has none that a
// request could have used.
bool AnswerSno(const Json::Value& answer, int32_t* sno) {
  if (!answer.isObject()) return false;
  const Json::Value* member = FindMember(answer, "sno");
  if (member == nullptr || !IsUInt32(*member)) return false;
  const uint32_t value = member->asUInt();
  if (value > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
  *sno = static_cast<int32_t>(value);
  return true;
}

void LogAnswerFields(const RequestKind& kind, const Json::Value& answer) {
  if (!answer.isObject()) return;
  const Json::Value* sno = FindMember(answer, "sno");
  if (sno != nullptr && IsUInt32(*sno)) {
    IMLOG(kLogInf, kind.handler, "sno: " + std::to_string(sno->asUInt()));
  }
  const Json::Value* result = FindMember(answer, "result");
  if (result != nullptr && IsInt32(*result)) {
    IMLOG(kLogInf, kind.handler, "result: " + std::to_string(result->asInt()));
  }
}

}  // namespace

PluginRequester& PluginRequester::Instance() {
  // Never destroyed: threads may still use it while the process ends.
  static PluginRequester* const instance = new PluginRequester();
  return *instance;
}

RequestResult PluginRequester::Call(const RequestKind& kind, const SnoCallback& callback,
                                    const Sender& send) {
  RequestResult result;
  result.sno = send(callback);
  IMLOG(kLogInf, kind.operation, "sno: " + std::to_string(result.sno));

  Pair& pair = PairOf(kind.pair);
  const auto deadline = std::chrono::steady_clock::now() + TimeoutOf(kind.wait);
  util::MutexLock lock(pair.mutex);
  auto it = pair.waiters.find(result.sno);
  if (it == pair.waiters.end()) {
    // The sender did not go through Send(): there is nothing to wait for.
    IMLOG(kLogErr, kind.operation, "no waiter for sno: " + std::to_string(result.sno));
    return result;
  }
  std::shared_ptr<Waiter> waiter = it->second;
  pair.answered.WaitUntil(pair.mutex, deadline, [&] { return waiter->done || stopping_.load(); });
  result.answered = waiter->done;
  pair.waiters.erase(result.sno);
  if (result.answered) {
    result.answer = std::move(waiter->answer);
  } else if (stopping_.load()) {
    IMLOG(kLogErr, kind.operation, "zeb req timeout: the service is stopping");
  } else {
    IMLOG(kLogErr, kind.operation, "zeb req timeout");
  }
  return result;
}

int32_t PluginRequester::Send(const RequestKind& kind, Json::Value request,
                              const SnoCallback& callback) {
  const int32_t sno = HostChannel::Instance().NextSno();
  IMLOG(kLogInf, kind.sender, "sno: " + std::to_string(sno));
  {
    Pair& pair = PairOf(kind.pair);
    util::MutexLock lock(pair.mutex);
    // A serial number is issued again only after the counter went round; an
    // entry still there belongs to a request that has long given up.
    pair.waiters[sno] = std::make_shared<Waiter>();
  }
  ImAdapterCallback::Instance().RegisterSnoCallback(sno, callback);
  SendReqToPlugin(request, sno, kind.target);
  return sno;
}

bool PluginRequester::Deliver(const RequestKind& kind, int32_t jsSno, Json::Value& answer,
                              const std::function<void()>& beforeWake) {
  Pair& pair = PairOf(kind.pair);
  util::MutexLock lock(pair.mutex);
  IMLOG(kLogDbg, kind.handler, "jsSno: " + std::to_string(jsSno));
  LogAnswerFields(kind, answer);
  int32_t sno = 0;
  const bool hasSno = AnswerSno(answer, &sno);
  auto it = hasSno ? pair.waiters.find(sno) : pair.waiters.end();
  if (it == pair.waiters.end() || it->second->done) {
    IMLOG(kLogWar, kind.handler,
          "no request waits for this answer any more, dropped, sno: " +
              (hasSno ? std::to_string(sno) : std::string("none")));
    return false;
  }
  if (beforeWake) beforeWake();
  it->second->answer.swap(answer);
  it->second->done = true;
  // Several requests of one pair may wait at once (each for its own number).
  pair.answered.NotifyAll();
  return true;
}

void PluginRequester::StopWaits() {
  stopping_.store(true);
  for (Pair& pair : pairs_) {
    // Taking the lock orders the flag before any waiter's next check.
    util::MutexLock lock(pair.mutex);
    pair.answered.NotifyAll();
  }
}

void PluginRequester::ResumeWaits() { stopping_.store(false); }

void PluginRequester::SendReqToPlugin(Json::Value& request, int32_t sno, uint32_t target) {
  request["sno"] = sno;
  request["adapter"] = 1;
  const std::string text = StyledJsonText(request);
  IMAdapterServiceDispatchMsg(text.c_str(), static_cast<uint32_t>(text.size()), target);
}

RequestTimeouts PluginRequester::Timeouts() {
  RequestTimeouts timeouts;
  timeouts.store = milliseconds(g_storeTimeoutMs.load());
  timeouts.longWait = milliseconds(g_longTimeoutMs.load());
  timeouts.uploadQuiet = milliseconds(g_uploadQuietMs.load());
  timeouts.uploadCap = milliseconds(g_uploadCapMs.load());
  return timeouts;
}

std::chrono::milliseconds PluginRequester::TimeoutOf(RequestWait wait) {
  return milliseconds(wait == RequestWait::kStore ? g_storeTimeoutMs.load()
                                                  : g_longTimeoutMs.load());
}

void PluginRequester::SetTimeoutsForTesting(const RequestTimeouts& timeouts) {
  g_storeTimeoutMs.store(timeouts.store.count());
  g_longTimeoutMs.store(timeouts.longWait.count());
  g_uploadQuietMs.store(timeouts.uploadQuiet.count());
  g_uploadCapMs.store(timeouts.uploadCap.count());
}

void PluginRequester::ResetTimeoutsForTesting() { SetTimeoutsForTesting(kDefaultTimeouts); }
