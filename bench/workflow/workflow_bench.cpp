// Cost of handling the bar's data in the workflow core: a whole download cut
// into chunks of several sizes, and one small chunk after much has arrived
// (which must not grow with what came before).
#include <benchmark/benchmark.h>

#include <string>

#include "headlesswindow.h"
#include "workflow.h"

namespace {

using namespace talveno;


// A port that hands out the bytes it is given.
class FeedPort : public Port {
public:
    void showSetupDialog() override {}
    void open() override {}
    void write(std::string_view) override {}
    std::string read(int count) override {
        std::string out(feed.substr(0, static_cast<std::size_t>(count)));
        feed.remove_prefix(out.size());
        return out;
    }
    void close() override {}

    std::string_view feed;
};

std::string readingStream(int lines) {
    std::string s;
    for (int i = 0; i < lines; ++i) {
        s += std::to_string((i * 37) % 2500) + "\r\n";
    }
    return s;
}

void deliverAll(DownloadWorkflow& workflow, FeedPort& port, std::string_view bytes, std::size_t chunk) {
    port.feed = bytes;
    while (!port.feed.empty()) {
        workflow.ComPort1RxChar(static_cast<int>(std::min(chunk, port.feed.size())));
    }
}

void BM_Download1000Readings(benchmark::State& state) {
    const std::string stream = readingStream(1000);
    const std::size_t chunk = state.range(0) == 0 ? stream.size() : static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        HeadlessWindow window;
        FeedPort port;
        DownloadWorkflow workflow(window, port);
        workflow.BitBtn1Click();
        deliverAll(workflow, port, stream, chunk);
        benchmark::DoNotOptimize(window.readingList().data());
        if (window.readingList().size() != 1000) {
            state.SkipWithError("download did not complete");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_Download1000Readings)->Arg(1)->Arg(16)->Arg(0)->ArgName("chunk")->Unit(benchmark::kMicrosecond);

// One 16-byte chunk after `range(0)` bytes have arrived (a complete download
// followed by a bar that keeps sending).
void BM_ChunkAfterReceived(benchmark::State& state) {
    const std::size_t before = static_cast<std::size_t>(state.range(0));
    std::string history = readingStream(1000);
    const std::string more = readingStream(4000);
    while (history.size() < before) {
        history += more;
    }
    history.resize(before);
    HeadlessWindow window;
    FeedPort port;
    DownloadWorkflow workflow(window, port);
    workflow.BitBtn1Click();
    deliverAll(workflow, port, history, 4096);

    const std::string chunk = "1234\r\n5678\r\n901\r";
    for (auto _ : state) {
        port.feed = chunk;
        workflow.ComPort1RxChar(static_cast<int>(chunk.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chunk.size()));
}
BENCHMARK(BM_ChunkAfterReceived)->Arg(10 * 1024)->Arg(10 * 1024 * 1024)->ArgName("received")->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
