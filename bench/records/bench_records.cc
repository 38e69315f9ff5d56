// Cost of decoding a store answer of 50 picture messages (about 35 KB, each
// record with a Base64 file list of one or two entries), next to the bare
// JSON parse of the same text:
//   BM_ParseOnly         ParseJsonText of the answer text
//   BM_StoreQueryDecode  the store query's path: the same parse, then
//                        QueryHistoryRecordByMsgIdRspParse (every record into
//                        a RecordInfo, its file list decoded and converted)
//   BM_WriteRecords      the reverse direction, for reference: 50 records to
//                        JSON and one styled text
// Target: BM_StoreQueryDecode within 1.5 x BM_ParseOnly. The machine is
// shared, so compare CPU times of one run, with repetitions.
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "util/Utils.h"

namespace {

constexpr int kRecords = 50;

// A picture entry as the adapter's writer stores it.
std::string FileListText(int n) {
  Json::Value list(Json::arrayValue);
  const int entries = 1 + n % 2;
  for (int e = 0; e < entries; ++e) {
    Json::Value f;
    f["file_handle"] = -1;
    f["file_name"] = "IMG_" + std::to_string(n * 10 + e) + ".jpg";
    f["file_size"] = std::to_string(180000 + n * 977);
    f["um_url"] = "/g1/M00/" + std::to_string(4711 * n + e) + ".jpg";
    f["width"] = 1080;
    f["height"] = "1920";
    f["expire"] = 1735000000 + n;
    f["duration"] = 0;
    list.append(f);
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  return Json::writeString(writer, list);
}

// One picture message of a one-to-one chat, with the columns the store fills.
Json::Value StoreRecord(int n) {
  Json::Value r;
  const std::string id = std::to_string(100000 + n);
  const std::string stamp = "173339" + std::to_string(1000000 + n);
  r["recordid"] = id;
  r["convid"] = "alice_bob";
  r["convautoid"] = n;
  r["servermessageid"] = "S" + id;
  r["clientmessageid"] = "c" + id + "-4b7e";
  r["chattype"] = 0;
  r["content"] = "<imbody>pic " + id + "</imbody>";
  r["contenttype"] = 0;
  r["filelist"] = util::Base64Encode(FileListText(n));
  r["originaccount"] = "alice";
  r["targetaccount"] = "bob";
  r["showtext"] = "[pic]";
  r["mediatype"] = n % 3 == 0 ? Json::Value("3") : Json::Value(3);
  r["isread"] = 1;
  r["sourceflag"] = 1;
  r["timestamp"] = stamp;
  r["utcstamp"] = stamp;
  r["status"] = 2;
  r["realMsgType"] = 3;
  return r;
}

std::string StoreAnswerText() {
  Json::Value answer;
  answer["rsp"] = 1;
  answer["sno"] = 32800;
  answer["result"] = 0;
  Json::Value& list = answer["param"]["_historyrecordlist"];
  for (int n = 0; n < kRecords; ++n) list.append(StoreRecord(n));
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  return Json::writeString(writer, answer);
}

const std::string& AnswerText() {
  static const std::string text = StoreAnswerText();
  return text;
}

void BM_ParseOnly(benchmark::State& state) {
  const std::string& text = AnswerText();
  for (auto _ : state) {
    Json::Value answer;
    benchmark::DoNotOptimize(ParseJsonText(text, answer));
    benchmark::DoNotOptimize(answer);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["answer_bytes"] = static_cast<double>(text.size());
}

void BM_StoreQueryDecode(benchmark::State& state) {
  const std::string& text = AnswerText();
  size_t files = 0;
  for (auto _ : state) {
    Json::Value answer;
    ParseJsonText(text, answer);
    std::vector<RecordInfo> records = StoreQueries::QueryHistoryRecordByMsgIdRspParse(answer);
    files = 0;
    for (const RecordInfo& r : records) files += r.fileList.size();
    benchmark::DoNotOptimize(records);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["files"] = static_cast<double>(files);
}

void BM_WriteRecords(benchmark::State& state) {
  Json::Value answer;
  ParseJsonText(AnswerText(), answer);
  const std::vector<RecordInfo> records = StoreQueries::QueryHistoryRecordByMsgIdRspParse(answer);
  for (auto _ : state) {
    Json::Value list(Json::arrayValue);
    for (const RecordInfo& r : records) {
      Json::Value out;
      ConvertRecordInfoToJson(r, out);
      list.append(std::move(out));
    }
    std::string text = StyledJsonText(list);
    benchmark::DoNotOptimize(text);
  }
}

BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreQueryDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteRecords)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
