// Measures the program's costly steps against what the same work costs done bare, on data made
// in a temporary folder: 25 photos of 6000 x 4000 pixels, a folder of 10,000 files of which 7,000
// match, and one of 1,000 files. Needs an X server (DISPLAY) for the install. The last line of the
// output is one JSON object: each figure, its reference measured in the same run, their ratio and
// the ratio it should stay under.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.hpp"
#include "platform/file_list.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/picture.hpp"
#include "platform/window.hpp"
#include "wallpaper/install.hpp"

namespace {

namespace fs = std::filesystem;
using namespace ornavel;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kPhotos = 25;
constexpr int kKeys = 20;
constexpr auto kKeyRepeat = std::chrono::milliseconds(33);  // 30 repeats a second
constexpr const char* kPattern = "*.bmp;*.jpg";
// The inside of the main window's preview, which a click decodes a picture for.
constexpr platform::ShownSize kPreview{197, 151};

fs::path g_root;
std::string g_jpeg;
std::string g_folder;
std::string g_windir;

std::string PhotoFolder() { return (g_root / "photos").string(); }
std::string PhotoName(int i) { return "photo" + std::to_string(i + 10) + ".jpg"; }

void UseRoot(const fs::path& root) {
    g_root = root;
    g_jpeg = (g_root / "photo.jpg").string();
    g_folder = (g_root / "folder").string();
    g_windir = (g_root / "windows").string();
    setenv("windir", g_windir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_root / "config").c_str(), 1);
    // The install goes to the plain X11 root window, as on a session without a desktop.
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY"}) {
        unsetenv(name);
    }
}

// The settings that make the main window list `folder` at start.
void RememberFolder(const std::string& folder) {
    fs::create_directories(g_root / "config" / "ornavel");
    std::ofstream(g_root / "config" / "ornavel" / "options.ini")
        << "[Main]\nPath=" << folder << "\n";
}

void MakeData() {
    char root[] = "/tmp/ornavel-bench-XXXXXX";
    UseRoot(mkdtemp(root));
    {
        // Gradients with grain, which a camera's photo has and which makes the file as large
        // and as slow to decode as one.
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        std::uint32_t grain = 12345;
        for (int y = 0; y < kHeight; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < kWidth; ++x) {
                grain = grain * 1664525u + 1013904223u;
                const int g = static_cast<int>(grain >> 27);  // 0 to 31
                line[x] = qRgb(x * 223 / kWidth + g, y * 223 / kHeight + g, (x ^ y) % 224 + g);
            }
        }
        image.save(QString::fromStdString(g_jpeg), "JPEG", 90);
    }
    fs::create_directories(PhotoFolder());
    for (int i = 0; i < kPhotos; ++i) fs::copy_file(g_jpeg, fs::path(PhotoFolder()) / PhotoName(i));
    fs::create_directories(g_folder);
    for (int i = 0; i < 10000; ++i) {
        const char* ext = i % 10 < 4 ? ".jpg" : i % 10 < 7 ? ".BMP" : ".txt";
        std::ofstream(g_folder + "/picture " + std::to_string(i) + ext);
    }
    const fs::path thousand = g_root / "thousand";
    fs::create_directories(thousand);
    for (int i = 0; i < 1000; ++i) {
        std::ofstream(thousand / ("picture " + std::to_string(i) + (i % 2 ? ".jpg" : ".bmp")));
    }
    fs::create_directories(g_windir);
}

// Runs the event loop until `done` holds.
void RunUntil(const std::function<bool()>& done) {
    while (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The main window on the folder of photos, as the user sees it.
struct Browser {
    Main main;
    QListWidget* list = nullptr;

    Browser() {
        RememberFolder(PhotoFolder());
        main.Start();
        auto* top = reinterpret_cast<QWidget*>(main.window().NativeHandle());
        list = top->findChild<QListWidget*>("List1");
        list->setFocus();
    }
    bool Shows(int row) {
        return main.selectedPath() == PhotoFolder() + "/" + PhotoName(row) &&
               main.window().GetPictureBox("Image1").Picture() != nullptr;
    }
    void Select(int row) {
        list->setCurrentRow(row);
        RunUntil([&] { return Shows(row); });
    }
};

std::unique_ptr<Browser> g_browser;

// A held arrow key: 20 key presses delivered at the key repeat rate from outside the event loop,
// so they queue up while the window is busy as a real keyboard's do; then the time from the last
// key until the entry it reached is shown.
void KeyboardBrowsing(benchmark::State& state) {
    Browser& b = *g_browser;
    for (auto _ : state) {
        state.PauseTiming();
        b.Select(0);
        state.ResumeTiming();
        std::atomic<long long> lastKey{0};
        std::thread keyboard([&] {
            for (int i = 0; i < kKeys; ++i) {
                std::this_thread::sleep_for(kKeyRepeat);
                if (i + 1 == kKeys) lastKey = Clock::now().time_since_epoch().count();
                QCoreApplication::postEvent(
                    b.list, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
            }
        });
        RunUntil([&] { return lastKey != 0 && b.Shows(kKeys); });
        const auto shown = Clock::now().time_since_epoch().count();
        keyboard.join();
        state.SetIterationTime(
            std::chrono::duration<double>(Clock::duration(shown - lastKey.load())).count());
    }
}

QImage FullDecode() {
    QImageReader reader(QString::fromStdString(g_jpeg));
    return reader.read();
}

void BareDecode(benchmark::State& state) {
    for (auto _ : state) {
        QImage image = FullDecode();
        benchmark::DoNotOptimize(image);
    }
}

// What a click on a list entry costs: the file loaded and the preview's copy made.
void ClickToPreview(benchmark::State& state) {
    for (auto _ : state) {
        const auto picture = platform::LoadPicture(g_jpeg, kPreview);
        const auto& shown = static_cast<const platform::linux_qt::QtPicture&>(*picture).Shown();
        QPixmap preview = QPixmap::fromImage(shown);
        benchmark::DoNotOptimize(preview);
    }
}

void Install(benchmark::State& state) {
    const auto picture = platform::LoadPicture(g_jpeg, kPreview);
    for (auto _ : state) Module1::InstallWallpaper(picture);
}

// The whole photo decoded and as many bytes as the wallpaper file written and flushed to disk.
void BareInstall(benchmark::State& state) {
    const std::uintmax_t size = fs::file_size(Module1::WallpaperPath());
    std::vector<char> chunk(1 << 20, 'x');
    const std::string path = g_windir + "/plain.bin";
    for (auto _ : state) {
        QImage image = FullDecode();
        benchmark::DoNotOptimize(image);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (std::uintmax_t left = size; left > 0;) {
            const std::size_t n = left < chunk.size() ? left : chunk.size();
            if (::write(fd, chunk.data(), n) < 0) break;
            left -= n;
        }
        ::fsync(fd);
        ::close(fd);
    }
}

void ListFolder(benchmark::State& state) {
    for (auto _ : state) {
        auto names = platform::ListFiles(g_folder, kPattern);
        benchmark::DoNotOptimize(names);
    }
}

void BareScan(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR* dir = ::opendir(g_folder.c_str());
        while (dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
        ::closedir(dir);
        benchmark::DoNotOptimize(names);
    }
}

// ---- Measures taken in a fresh copy of this program ------------------------------------------
// (a forked child would inherit Qt's worker threads as dead locks)

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return -1;
}

// Starts counting the peak resident size afresh and returns the resident size now.
long ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusKiB("VmRSS:");
}

long PeakSince(long before) { return (StatusKiB("VmHWM:") - before) * 1024; }

// The growth of the resident size while each photo of the folder is shown in turn.
long PeakOfBrowsing(Browser& b) {
    b.Select(0);
    const long before = ResetPeak();
    for (int i = 1; i < kPhotos; ++i) b.Select(i);
    return PeakSince(before);
}

// The growth of the resident size while the previewed photo is installed.
long PeakOfInstall() {
    const auto picture = platform::LoadPicture(g_jpeg, kPreview);
    const long before = ResetPeak();
    Module1::InstallWallpaper(picture);
    return PeakSince(before);
}

// Runs this program with `args` and returns what it printed, and the time it took in `seconds`.
std::string RunSelf(std::vector<std::string> args, double* seconds = nullptr) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    args.insert(args.begin(), "/proc/self/exe");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t child = 0;
    const int failed =
        posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while (!failed && (n = ::read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, n);
    ::close(out[0]);
    if (!failed) ::waitpid(child, nullptr, 0);
    if (seconds) *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return text;
}

// Start-up to the window shown on the X server, of the program on a folder of 1,000 files and of
// a bare Qt window, run by turns; the medians of 9 runs each.
std::pair<double, double> StartUp() {
    std::vector<double> program, bare;
    for (int i = 0; i < 9; ++i) {
        double seconds = 0;
        RunSelf({"--start", "program", g_root.string()}, &seconds);
        program.push_back(seconds);
        RunSelf({"--start", "bare", g_root.string()}, &seconds);
        bare.push_back(seconds);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {median(program), median(bare)};
}

// Calls `quit` once `window` is shown on the screen.
void WhenShown(QWidget* window, std::function<void()> quit) {
    auto* timer = new QTimer(window);
    QObject::connect(timer, &QTimer::timeout, window, [window, timer, quit] {
        if (window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) return;
        timer->stop();
        quit();
    });
    timer->start(1);
}

int StartAndQuit(int argc, char** argv, bool program) {
    if (program) {
        RememberFolder((g_root / "thousand").string());
        return platform::RunProgram(argc, argv, [] {
            auto main = std::make_shared<Main>();
            main->Start();
            WhenShown(reinterpret_cast<QWidget*>(main->window().NativeHandle()),
                      [] { platform::EndProgram(); });
            return std::shared_ptr<void>(main);
        });
    }
    QApplication app(argc, argv);
    QWidget window;
    window.show();
    WhenShown(&window, [] { QApplication::quit(); });
    return app.exec();
}

// Keeps the median of each benchmark's repetitions, in seconds.
class Collector : public benchmark::ConsoleReporter {
  public:
    // Without colours, so that the last line is the JSON object alone.
    Collector() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                medians[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

// `timed`: the benchmark times its iterations itself.
void Register(const char* name, void (*fn)(benchmark::State&), int repetitions = 7,
              bool timed = false) {
    auto* b = benchmark::RegisterBenchmark(name, fn)
                  ->Unit(benchmark::kMillisecond)
                  ->Iterations(1)
                  ->Repetitions(repetitions)
                  ->ReportAggregatesOnly(true);
    if (timed) {
        b->UseManualTime();
    } else {
        b->UseRealTime();
    }
}

std::string Figure(const char* name, double value, double reference, double target,
                   const char* unit) {
    char text[240];
    std::snprintf(text, sizeof text,
                  "\"%s\": {\"%s\": %.6f, \"reference_%s\": %.6f, \"ratio\": %.3f, "
                  "\"target_ratio\": %.2f}",
                  name, unit, value, unit, reference, reference > 0 ? value / reference : 0.0,
                  target);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "ornavel_bench needs an X server: set DISPLAY\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 4 && std::string(argv[1]) == "--start") {
        // Shown on the X server, as a user sees it.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        UseRoot(argv[3]);
        return StartAndQuit(1, argv, std::string(argv[2]) == "program");
    }
    QApplication app(argc, argv);
    if (argc == 4 && std::string(argv[1]) == "--peak") {
        UseRoot(argv[3]);
        // The main window's preview size decides how photos are decoded, as in the program.
        Browser browser;
        std::printf("%ld\n",
                    std::string(argv[2]) == "browse" ? PeakOfBrowsing(browser) : PeakOfInstall());
        return 0;
    }
    MakeData();
    g_browser = std::make_unique<Browser>();
    // A first install makes the wallpaper file the reference write measures.
    Module1::InstallWallpaper(platform::LoadPicture(g_jpeg, kPreview));
    const long peakBrowse =
        std::strtol(RunSelf({"--peak", "browse", g_root.string()}).c_str(), nullptr, 10);
    const long peakInstall =
        std::strtol(RunSelf({"--peak", "install", g_root.string()}).c_str(), nullptr, 10);
    const auto [startProgram, startBare] = StartUp();

    Register("browse", KeyboardBrowsing, 5, true);
    Register("decode", BareDecode);
    Register("preview", ClickToPreview);
    Register("install", Install);
    Register("install_reference", BareInstall);
    Register("list", ListFolder);
    Register("list_reference", BareScan);
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    g_browser.reset();

    auto& m = collector.medians;
    const double decoded = double(kWidth) * kHeight * 4;
    std::string json = "{";
    json += Figure("browse", m["browse"], m["decode"], 1.5, "seconds") + ", ";
    json += Figure("preview", m["preview"], m["decode"], 0.6, "seconds") + ", ";
    json += Figure("install", m["install"], m["install_reference"], 1.3, "seconds") + ", ";
    json += Figure("list", m["list"], m["list_reference"], 1.5, "seconds") + ", ";
    json += Figure("peak_browse", peakBrowse, decoded, 0.2, "bytes") + ", ";
    json += Figure("peak_install", peakInstall, decoded, 1.3, "bytes") + ", ";
    json += Figure("start_up", startProgram, startBare, 1.2, "seconds") + ", ";
    json += "\"photo_file_bytes\": " + std::to_string(fs::file_size(g_jpeg)) + "}";
    std::error_code ignored;
    fs::remove_all(g_root, ignored);
    std::printf("%s\n", json.c_str());
    return 0;
}
