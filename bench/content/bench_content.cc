// Message content: Parse of a 2 KB body (escaped and packed payloads) beside
// pugixml's bare parse of the same <imbody> document, Build of the same
// message, and the emoji path and picture token rewrites of a 1 MB text.
// For the packed body, the cost of its two decoding steps alone is shown
// too: Base64 decoding of the payload and inflating the decoded bytes with
// a stream that is only reset between runs.
//
// The picture img-tag search of forwarding runs on 1 MB of adversarial html.
//
// Targets: Parse within 3x of the bare parse; Build < 20 us; each 1 MB
// rewrite or search < 50 ms.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <pugixml.hpp>
#include <string>

#include "adapter/src/forward/ForwardMediaFiles.h"
#include "adapter/src/content/ImAdapterMediaToken.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"
#include "util/Utils.h"

namespace {

constexpr size_t kOneMegabyte = 1u << 20;

std::string Repeat(const std::string& piece, size_t totalBytes) {
  std::string out;
  while (out.size() < totalBytes) out += piece;
  return out;
}

// A chat message of about 2 KB once built: text with a picture token and
// an emoji, and its HTML form.
struct Message {
  std::string content;
  std::string html;
};

const Message& SampleMessage() {
  static const Message message = [] {
    Message m;
    m.content = Repeat("Meeting notes & action items <draft> for the review. ", 640) +
                "/:um_begin{https://files.example/f/3f2a9c1e|Img|20480|a.png|0|640;480;|"
                "isOriginalImg: 0;emotionId:;objectId:;cdnUrl:}/:um_end";
    m.html = "<p>" + Repeat("Meeting notes &amp; action items for the review. ", 440) +
             "<img src=\"file:///QX.InternalImg//emotion/12.png\"></p>";
    return m;
  }();
  return message;
}

std::string ImbodyDocument() {
  const Message& m = SampleMessage();
  return "<imbody><content><![CDATA[" + xml::XmlEscapeText(m.content) +
         "]]></content><html><![CDATA[" + m.html + "]]></html></imbody>";
}

std::string EscapedBody() {
  const Message& m = SampleMessage();
  return xml::Build(xml::XmlEscapeText(m.content), m.html, 0, false);
}

std::string PackedBody() {
  return "<r><n>ABCDEFGHIJKL</n><g>1</g><c>" + util::CompressAndEncode(ImbodyDocument()) +
         "</c></r>";
}

void BM_PugixmlBareParse(benchmark::State& state) {
  const std::string doc = ImbodyDocument();
  for (auto _ : state) {
    pugi::xml_document parsed;
    benchmark::DoNotOptimize(parsed.load_buffer(doc.data(), doc.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

// Context for the Parse figures: the escaped body itself, which Parse must
// parse before it can parse the <imbody> document inside.
void BM_PugixmlBareParseEnvelope(benchmark::State& state) {
  const std::string body = EscapedBody();
  for (auto _ : state) {
    pugi::xml_document parsed;
    benchmark::DoNotOptimize(parsed.load_buffer(body.data(), body.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

void ParseBody(benchmark::State& state, const std::string& body) {
  std::string content;
  std::string html;
  for (auto _ : state) {
    xml::Parse(body, content, html, false);
    benchmark::DoNotOptimize(content.data());
  }
  state.counters["body_bytes"] = static_cast<double>(body.size());
  state.SetLabel(content.empty() ? "EMPTY RESULT" : "");
}

void BM_ParseEscapedFlag0(benchmark::State& state) { ParseBody(state, EscapedBody()); }

void BM_ParsePackedFlag1(benchmark::State& state) { ParseBody(state, PackedBody()); }

// The <c> payload of the packed body.
std::string PackedPayload() { return util::CompressAndEncode(ImbodyDocument()); }

void BM_PackedBase64DecodeOnly(benchmark::State& state) {
  const std::string payload = PackedPayload();
  std::string bytes;
  for (auto _ : state) {
    benchmark::DoNotOptimize(util::Base64Decode(payload, &bytes));
  }
  state.counters["payload_bytes"] = static_cast<double>(payload.size());
}

// Closes the stream however the benchmark leaves.
struct InflateGuard {
  z_stream* stream;
  ~InflateGuard() { inflateEnd(stream); }
};

void BM_PackedInflateOnly(benchmark::State& state) {
  std::string compressed;
  if (!util::Base64Decode(PackedPayload(), &compressed)) {
    state.SkipWithError("payload is not Base64");
    return;
  }
  z_stream stream{};
  if (inflateInit2(&stream, 47) != Z_OK) {
    state.SkipWithError("inflate init failed");
    return;
  }
  InflateGuard guard{&stream};
  std::string out(64 * 1024, '\0');
  int result = Z_OK;
  for (auto _ : state) {
    inflateReset(&stream);
    stream.next_in = reinterpret_cast<Bytef*>(&compressed[0]);
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    result = inflate(&stream, Z_FINISH);
    benchmark::DoNotOptimize(out.data());
  }
  if (result != Z_STREAM_END) state.SkipWithError("inflate did not end the stream");
  state.counters["inflated_bytes"] = static_cast<double>(stream.total_out);
}

void BM_Build(benchmark::State& state) {
  const Message& m = SampleMessage();
  const std::string content = xml::XmlEscapeText(m.content);
  for (auto _ : state) benchmark::DoNotOptimize(xml::Build(content, m.html, 0, false));
}

void BM_ConvertEmojiPathToLocal1MB(benchmark::State& state) {
  const std::string html =
      Repeat("<p>Some text &amp; more <b>bold</b> words "
             "<img src=\"file:///QX.InternalImg//emotion/12.png\"> and "
             "<img src=\"https://cdn.example/pic.png\" width=\"40\"></p>",
             kOneMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(xml::ConvertEmojiPathToLocal(html));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}

// Includes a 1 MB copy per iteration, since the rewrite is in place.
void BM_ReplaceContentPic1MB(benchmark::State& state) {
  const std::string text =
      Repeat("Text before the picture /:um_begin{https://files.example/f/3f2a9c1e|Img|20480|"
             "a.png|0|640;480;|isOriginalImg: 0;emotionId:;objectId:;cdnUrl:}/:um_end after. ",
             kOneMegabyte);
  const std::string token = "/:um_begin{U|Img|10|a.png|0|640;480;|isOriginalImg: 0}/:um_end";
  for (auto _ : state) {
    std::string copy = text;
    benchmark::DoNotOptimize(ReplaceContentPic(copy, token));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The picture img-tag search of forwarding on 1 MB of html built to make a
// backtracking search slow: tags that never close, quotes inside quotes,
// tags with thousands of attributes, src values without a role after them.
const std::string& AdversarialHtml(int64_t kind) {
  static const std::string inputs[] = {
      Repeat("<img x ", kOneMegabyte) + ">",
      Repeat("<img alt=\"'\" src='\"' title=\"", kOneMegabyte) + ">",
      Repeat("<img" + Repeat(" a=\"1\"", 4000) + ">", kOneMegabyte),
      Repeat("<img src=\"a.png\" src='b' ", kOneMegabyte) + ">",
      Repeat("<img role=\"pic\" src=\"x", kOneMegabyte),
      Repeat("<p>text <img src=\"e.png\" role=\"emoji\"></p>", kOneMegabyte) +
          "<img src=\"old.png\" role=\"pic\">",
  };
  return inputs[kind];
}

void BM_ReplaceFileNameInImgTags1MB(benchmark::State& state) {
  static const char* const labels[] = {"unclosed tags",      "nested quotes",
                                       "4000 attributes",    "src without role",
                                       "role, unclosed src", "picture tag last"};
  const std::string& html = AdversarialHtml(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ForwardMediaFiles::replaceFileNameInImgTags(html, "old.png", "new.png"));
  }
  state.SetLabel(labels[state.range(0)]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}

}  // namespace

BENCHMARK(BM_PugixmlBareParse);
BENCHMARK(BM_PugixmlBareParseEnvelope);
BENCHMARK(BM_ParseEscapedFlag0);
BENCHMARK(BM_ParsePackedFlag1);
BENCHMARK(BM_PackedBase64DecodeOnly);
BENCHMARK(BM_PackedInflateOnly);
BENCHMARK(BM_Build);
BENCHMARK(BM_ConvertEmojiPathToLocal1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceContentPic1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceFileNameInImgTags1MB)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
