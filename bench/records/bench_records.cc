// Cost of decoding a store answer of 50 history records, next to the bare
// JSON parse of the same text:
//   BM_ParseOnly          CharReaderBuilder parse of the answer text
//   BM_ParseAndDecode     the same parse, then every record into a RecordInfo
//                         and its Base64 file list into FileListItems, the way
//                         the store query handler does it
//   BM_ParseAndDecodeViaDocument  the same with each file list parsed into a
//                         JSON document first, for comparison
//   BM_WriteRecords       the reverse direction, for reference: 50 records to
//                         JSON and one styled text
// Target: BM_ParseAndDecode within 1.5 x BM_ParseOnly.
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "adapter/src/ImAdapterConvertJson.h"
#include "adapter/src/JsonText.h"

namespace {

constexpr int kRecords = 50;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// Table-driven decoder standing in for the shared Base64 helper.
std::string Base64Decode(const std::string& text) {
  static const std::vector<int> table = [] {
    std::vector<int> t(256, -1);
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = i;
    return t;
  }();
  std::string out;
  out.reserve(text.size() / 4 * 3);
  unsigned acc = 0;
  int bits = 0;
  for (char c : text) {
    const int v = table[static_cast<unsigned char>(c)];
    if (v < 0) break;  // '=' ends the data
    acc = (acc << 6) | static_cast<unsigned>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return out;
}

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
  r["filelist"] = Base64Encode(FileListText(n));
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

// The store query handler's decoding of one parsed answer. `viaDocument`
// reads each file list through a JSON document (ParseJsonText and
// ConvertJsonToFileList) instead of ConvertJsonTextToFileList.
std::vector<RecordInfo> DecodeAnswer(const Json::Value& answer, bool viaDocument) {
  std::vector<RecordInfo> records;
  const Json::Value& list = answer["param"]["_historyrecordlist"];
  records.reserve(list.size());
  for (const Json::Value& item : list) {
    records.emplace_back();
    RecordInfo& record = records.back();
    ConvertJsonToRecordInfo(item, record);
    if (record.filelist.empty()) continue;
    const std::string text = Base64Decode(record.filelist);
    if (!viaDocument) {
      ConvertJsonTextToFileList(text, record.fileList);
      continue;
    }
    Json::Value files;
    if (ParseJsonText(text, files) == 0) ConvertJsonToFileList(files, record.fileList);
  }
  return records;
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

void ParseAndDecode(benchmark::State& state, bool viaDocument) {
  const std::string& text = AnswerText();
  size_t files = 0;
  for (auto _ : state) {
    Json::Value answer;
    ParseJsonText(text, answer);
    std::vector<RecordInfo> records = DecodeAnswer(answer, viaDocument);
    files = 0;
    for (const RecordInfo& r : records) files += r.fileList.size();
    benchmark::DoNotOptimize(records);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["files"] = static_cast<double>(files);
}

void BM_ParseAndDecode(benchmark::State& state) { ParseAndDecode(state, false); }
void BM_ParseAndDecodeViaDocument(benchmark::State& state) { ParseAndDecode(state, true); }

void BM_WriteRecords(benchmark::State& state) {
  Json::Value answer;
  ParseJsonText(AnswerText(), answer);
  const std::vector<RecordInfo> records = DecodeAnswer(answer, false);
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
BENCHMARK(BM_ParseAndDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseAndDecodeViaDocument)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteRecords)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
