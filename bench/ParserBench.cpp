// Parser throughput: URL-form and list-form requests against the baseline of
// copying the same text (what handing the request on costs at least).
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "mac/commands/CommandParser.h"

namespace {

class BenchServices : public kw::ParserServices {
 public:
  kw::MousePoint currentMousePosition() override { return {10, 20}; }
  kw::Status startFTPTransfer(kw::CocoaInterfaceData&) override { return kw::kStatusOK; }
};

const std::string kLongTitle(4096, 't');

// Short, typical and long requests; range(0) picks one.
const std::array<std::string, 4> kURLRequests = {
    "zSystem.getUserName",
    "zWindow.setSize?windowID=0&width=400&height=300",
    "createWindow?flashFileName=movie.swf&x=10&y=20&parameter=p&title=Title&type=masked"
    "&backgroundColor=%23FFFFFF&ownedByMainWindow=true&initialAlpha=80&resizeable=1&hasShadow=1"
    "&shapeFilename=shape.png",
    "zWindow.setTitle?windowID=3&title=" + kLongTitle,
};

const std::array<std::string, 4> kListRequests = {
    "[\"zSystem\",\"getUserName\"]",
    "[\"zWindow\",\"setSize\",\"0\",\"400\",\"300\"]",
    "[\"zApplication\",\"createWindow\",\"movie.swf\",\"10\",\"20\",\"p\",\"Title\",\"masked\",\"#FFFFFF\","
    "\"true\",\"80\",\"true\",\"true\",\"shape.png\"]",
    "[\"zWindow\",\"setTitle\",\"3\",\"" + kLongTitle + "\"]",
};

const std::string& pick(const std::array<std::string, 4>& requests, const benchmark::State& state) {
  return requests[static_cast<size_t>(state.range(0))];
}

void BM_CopyText(benchmark::State& state) {
  const std::string& text = pick(state.range(1) != 0 ? kListRequests : kURLRequests, state);
  for (auto _ : state) {
    std::string copy(text);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void parseLoop(benchmark::State& state, const std::string& text, bool listForm) {
  BenchServices services;
  for (auto _ : state) {
    kw::CocoaInterfaceData record;
    const kw::Status status = kw::parseCommand(text, &record, listForm, listForm, services);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(record.functionNumber);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_ParseURLForm(benchmark::State& state) { parseLoop(state, pick(kURLRequests, state), false); }
void BM_ParseListForm(benchmark::State& state) { parseLoop(state, pick(kListRequests, state), true); }

// Arguments: request (0 short, 1 typical, 2 many parameters, 3 long text); form (0 URL, 1 list).
BENCHMARK(BM_CopyText)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});
BENCHMARK(BM_ParseURLForm)->DenseRange(0, 3);
BENCHMARK(BM_ParseListForm)->DenseRange(0, 3);

}  // namespace
