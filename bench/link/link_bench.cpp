// How fast the bar's bytes get through ComPort1 into the workflow, against
// what this machine's pseudo-terminals allow at all.
//
//   ComPortThousand / PlainReaderThousand
//       1000 readings from an unpaced simulated bar, through ComPort and the
//       download workflow, and through a plain POSIX read loop on the same
//       kind of terminal (the physical limit here), for two write sizes.
//   ComPort100MB / PlainReader100MB
//       a bar that keeps sending about 100 MB after its 1000 readings; the bar
//       runs as talveno-barsim in a process of its own. Reports the
//       downloader's resident memory at the end (rss_MB) and its peak over
//       the whole run so far (peak_rss_MB).
//   PacedThousandAt9600
//       1000 readings paced as on a 9600 bit/s line: the download time over
//       the line time (bytes x 10 / 9600), ideally just above 1.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "barsim.h"
#include "comport.h"
#include "headlesswindow.h"
#include "workflow.h"

extern char** environ;

namespace {

using talveno::DownloadWorkflow;
using talveno::Element;
using talveno::link::ComPort;
using talveno::link::PortSettings;
using talveno::sim::BarOptions;

constexpr int kGiveUpMs = 300000;
constexpr long kHundredMegabytesOfLines = 100'000'000 / 4.46;  // 4.46 bytes a line on average


double megabytes(long kilobytes) {
    return static_cast<double>(kilobytes) / 1024.0;
}

long peakRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentRssKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// talveno-barsim in a process of its own; gone with this object.
class BarProcess {
  public:
    explicit BarProcess(const std::vector<std::string>& arguments) {
        int out[2];
        if (::pipe(out) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> all{TALVENO_BARSIM, "--quiet"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int spawned =
            ::posix_spawn(&pid_, TALVENO_BARSIM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            ::close(out[0]);
            throw std::runtime_error("cannot start talveno-barsim");
        }
        // The bar prints its device once its memory is filled and it serves.
        pollfd ready{out[0], POLLIN, 0};
        char c = 0;
        while (::poll(&ready, 1, kGiveUpMs) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n') {
            devicePath_ += c;
        }
        ::close(out[0]);
        if (devicePath_.empty()) {
            stop();
            throw std::runtime_error("talveno-barsim gave no device");
        }
    }
    ~BarProcess() { stop(); }

    const std::string& devicePath() const { return devicePath_; }

  private:
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
    }

    pid_t pid_ = 0;
    std::string devicePath_;
};

// One download from the device at path through ComPort and the workflow,
// until done(workflow); the seconds it took from the press of "CONECTAR".
struct Outcome {
    double seconds;
    std::size_t bytes;
    long rssKb;
};
std::optional<Outcome> downloadThroughComPort(
    const std::string& path, const std::function<bool(const DownloadWorkflow&)>& done) {
    talveno::HeadlessWindow window;
    ComPort port;
    PortSettings settings;
    settings.port = QString::fromStdString(path);
    port.setSettings(settings);
    DownloadWorkflow workflow(window, port);
    QEventLoop loop;
    QObject::connect(&port, &ComPort::rxChar, [&](int count) {
        workflow.ComPort1RxChar(count);
        if (done(workflow)) {
            loop.quit();
        }
    });
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);

    QElapsedTimer clock;
    clock.start();
    workflow.BitBtn1Click();
    loop.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    if (!done(workflow)) {
        return std::nullopt;
    }
    const Outcome outcome{seconds, workflow.receiveText().bytes().size(), currentRssKb()};
    workflow.FormClose();
    return outcome;
}

// The same through a plain read loop: raw line, request byte, read until
// lines CR LF pairs have come. Keeps nothing but the count.
std::optional<Outcome> downloadThroughReadLoop(const std::string& path, std::size_t lines) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);

    QElapsedTimer clock;
    clock.start();
    std::size_t bytes = 0;
    std::size_t separators = 0;
    bool afterCr = false;
    char buffer[65536];
    bool ok = ::write(fd, "8", 1) == 1;
    pollfd readable{fd, POLLIN, 0};
    while (ok && separators < lines) {
        ok = ::poll(&readable, 1, kGiveUpMs) == 1;
        const ssize_t n = ok ? ::read(fd, buffer, sizeof buffer) : -1;
        ok = n > 0;
        for (ssize_t i = 0; i < n; ++i) {
            separators += afterCr && buffer[i] == '\n';
            afterCr = buffer[i] == '\r';
        }
        bytes += static_cast<std::size_t>(std::max<ssize_t>(n, 0));
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    ::close(fd);
    if (!ok) {
        return std::nullopt;
    }
    return Outcome{seconds, bytes, currentRssKb()};
}

void report(benchmark::State& state, const Outcome& outcome, std::size_t& totalBytes) {
    state.SetIterationTime(outcome.seconds);
    totalBytes += outcome.bytes;
}

// One download an iteration: startBar() gives a serving bar (in this process
// or in one of its own), download(devicePath) the outcome. Reports bytes per
// second of the downloads alone, and the memory held after the last one.
template <typename StartBar, typename Download>
void measureDownloads(benchmark::State& state, StartBar startBar, Download download) {
    std::size_t bytes = 0;
    long rss = 0;
    for (auto _ : state) {
        const auto bar = startBar();
        const auto outcome = download(bar->devicePath());
        if (!outcome) {
            state.SkipWithError("the download did not complete");
            return;
        }
        report(state, *outcome, bytes);
        rss = outcome->rssKb;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["rss_MB"] = megabytes(rss);
    state.counters["peak_rss_MB"] = megabytes(peakRssKb());
}

// A simulated bar in this process, unpaced, writing chunkSize bytes at a time.
auto unpacedBar(std::size_t chunkSize) {
    return [chunkSize] {
        BarOptions options;
        options.baud = 0;
        options.chunkSize = chunkSize;
        auto bar = std::make_unique<talveno::sim::SimulatedBar>(options);
        bar->start();
        return bar;
    };
}

// talveno-barsim sending about 100 MB after the 1000 readings.
std::unique_ptr<BarProcess> hundredMegabyteBar() {
    return std::make_unique<BarProcess>(std::vector<std::string>{
        "--unpaced", "--chunk-size", "4096", "--extra-lines", std::to_string(kHundredMegabytesOfLines)});
}

bool thousandLinesEnded(const DownloadWorkflow& w) {
    return w.listFinished();
}

bool hundredMegabytesEnded(const DownloadWorkflow& w) {
    return w.receiveText().separatorCount() >= 1000 + kHundredMegabytesOfLines;
}

void BM_ComPortThousand(benchmark::State& state) {
    measureDownloads(state, unpacedBar(static_cast<std::size_t>(state.range(0))),
                     [](const std::string& path) { return downloadThroughComPort(path, thousandLinesEnded); });
}

void BM_PlainReaderThousand(benchmark::State& state) {
    measureDownloads(state, unpacedBar(static_cast<std::size_t>(state.range(0))),
                     [](const std::string& path) { return downloadThroughReadLoop(path, 1000); });
}

void BM_PlainReader100MB(benchmark::State& state) {
    measureDownloads(state, hundredMegabyteBar, [](const std::string& path) {
        return downloadThroughReadLoop(path, 1000 + kHundredMegabytesOfLines);
    });
}

void BM_ComPort100MB(benchmark::State& state) {
    measureDownloads(state, hundredMegabyteBar,
                     [](const std::string& path) { return downloadThroughComPort(path, hundredMegabytesEnded); });
}

void BM_PacedThousandAt9600(benchmark::State& state) {
    const BarOptions options;  // 1000 readings at 9600 bit/s, as the bar sends them
    const double lineSeconds =
        static_cast<double>(talveno::sim::readingStream(options).size()) * 10.0 / 9600.0;
    std::size_t bytes = 0;
    double ratio = 0;
    for (auto _ : state) {
        talveno::sim::SimulatedBar bar(options);
        bar.start();
        const auto outcome = downloadThroughComPort(bar.devicePath(), thousandLinesEnded);
        if (!outcome) {
            state.SkipWithError("the download did not complete");
            return;
        }
        report(state, *outcome, bytes);
        ratio = outcome->seconds / lineSeconds;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["line_seconds"] = lineSeconds;
    state.counters["time_over_line_time"] = ratio;
}

}  // namespace

BENCHMARK(BM_PlainReaderThousand)
    ->Arg(16)
    ->Arg(4096)
    ->ArgName("chunk")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComPortThousand)
    ->Arg(16)
    ->Arg(4096)
    ->ArgName("chunk")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReader100MB)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComPort100MB)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacedThousandAt9600)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // ComPort's notifications need its event loop
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
