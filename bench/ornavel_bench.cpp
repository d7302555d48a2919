// Measures the program's costly steps against what the same work costs done bare, on data made
// in a temporary folder: a 6000 x 4000 JPEG and a folder of 10,000 files of which 7,000 match.
// Needs an X server (DISPLAY) for the install. The last line of the output is one JSON object.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/file_list.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/picture.hpp"
#include "wallpaper/module1.hpp"

namespace {

namespace fs = std::filesystem;
using namespace ornavel;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr const char* kPattern = "*.bmp;*.jpg";

fs::path g_root;
std::string g_jpeg;
std::string g_folder;
std::string g_windir;

// The preview box's inside, as the main window has it.
constexpr int kPreviewWidth = 197;
constexpr int kPreviewHeight = 151;

void MakeData() {
    char root[] = "/tmp/ornavel-bench-XXXXXX";
    g_root = mkdtemp(root);
    g_jpeg = (g_root / "photo.jpg").string();
    {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        for (int y = 0; y < kHeight; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < kWidth; ++x) {
                line[x] = qRgb(x * 255 / kWidth, y * 255 / kHeight, (x ^ y) & 0xFF);
            }
        }
        image.save(QString::fromStdString(g_jpeg), "JPEG", 90);
    }
    g_folder = (g_root / "folder").string();
    fs::create_directories(g_folder);
    for (int i = 0; i < 10000; ++i) {
        const char* ext = i % 10 < 4 ? ".jpg" : i % 10 < 7 ? ".BMP" : ".txt";
        std::ofstream(g_folder + "/picture " + std::to_string(i) + ext);
    }
    g_windir = (g_root / "windows").string();
    fs::create_directories(g_windir);
    setenv("windir", g_windir.c_str(), 1);
    // The install goes to the plain X11 root window, as on a session without a desktop.
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY"}) {
        unsetenv(name);
    }
}

// What a click on a list entry costs: the file loaded and the preview's scaled copy made.
QPixmap Preview(const platform::PicturePtr& picture) {
    const QImage& image = static_cast<const platform::linux_qt::QtPicture&>(*picture).image();
    return QPixmap::fromImage(image.scaled(kPreviewWidth, kPreviewHeight, Qt::IgnoreAspectRatio,
                                           Qt::SmoothTransformation));
}

void ClickToPreview(benchmark::State& state) {
    for (auto _ : state) {
        const auto picture = platform::LoadPicture(g_jpeg);
        QPixmap preview = Preview(picture);
        benchmark::DoNotOptimize(preview);
    }
}

void BareDecode(benchmark::State& state) {
    for (auto _ : state) {
        QImageReader reader(QString::fromStdString(g_jpeg));
        QImage image = reader.read();
        benchmark::DoNotOptimize(image);
    }
}

void Install(benchmark::State& state) {
    const auto picture = platform::LoadPicture(g_jpeg);
    for (auto _ : state) Module1::InstallWallpaper(picture);
}

// The same number of bytes as the wallpaper file, written and flushed to disk as it is.
void BareWrite(benchmark::State& state) {
    const std::uintmax_t size = fs::file_size(Module1::WallpaperPath());
    std::vector<char> chunk(1 << 16, 'x');
    const std::string path = g_windir + "/plain.bin";
    for (auto _ : state) {
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

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return -1;
}

// Peak resident memory of a preview followed by an install, measured in a fresh copy of this
// program (a forked child would inherit Qt's worker threads as dead locks): the growth of its
// resident size over what it held before loading the picture.
long MeasurePeakInThisProcess() {
    const long before = StatusKiB("VmRSS:");
    {
        const auto picture = platform::LoadPicture(g_jpeg);
        QPixmap preview = Preview(picture);
        benchmark::DoNotOptimize(preview);
        Module1::InstallWallpaper(picture);
    }
    return (StatusKiB("VmHWM:") - before) * 1024;
}

long PeakBytes() {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    char self[] = "/proc/self/exe";
    char mode[] = "--peak-memory";
    std::string jpeg = g_jpeg;
    char* argv[] = {self, mode, jpeg.data(), nullptr};
    pid_t child = 0;
    const int failed = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char text[64] = {};
    const ssize_t n = failed ? -1 : ::read(out[0], text, sizeof text - 1);
    ::close(out[0]);
    if (!failed) ::waitpid(child, nullptr, 0);
    return n > 0 ? std::strtol(text, nullptr, 10) : -1;
}

// Keeps the median of each benchmark's repetitions, in seconds.
class Collector : public benchmark::ConsoleReporter {
  public:
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

void Register(const char* name, void (*fn)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, fn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1)
        ->Repetitions(7)
        ->ReportAggregatesOnly(true);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "ornavel_bench needs an X server: set DISPLAY\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--peak-memory") {
        g_jpeg = argv[2];
        g_windir = (fs::path(g_jpeg).parent_path() / "windows").string();
        setenv("windir", g_windir.c_str(), 1);
        std::printf("%ld\n", MeasurePeakInThisProcess());
        return 0;
    }
    MakeData();
    // A first install makes the wallpaper file the reference write measures.
    Module1::InstallWallpaper(platform::LoadPicture(g_jpeg));
    const long peak = PeakBytes();

    Register("preview", ClickToPreview);
    Register("preview_reference", BareDecode);
    Register("install", Install);
    Register("install_reference", BareWrite);
    Register("list", ListFolder);
    Register("list_reference", BareScan);
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    const double decoded = double(kWidth) * kHeight * 4;
    std::string json = "{";
    for (const char* name : {"preview", "install", "list"}) {
        const double seconds = collector.medians[name];
        const double reference = collector.medians[std::string(name) + "_reference"];
        char item[200];
        std::snprintf(item, sizeof item,
                      "\"%s\": {\"seconds\": %.6f, \"reference_seconds\": %.6f, \"ratio\": %.3f}, ",
                      name, seconds, reference, reference > 0 ? seconds / reference : 0.0);
        json += item;
    }
    char memory[200];
    std::snprintf(memory, sizeof memory,
                  "\"peak_memory\": {\"bytes\": %ld, \"decoded_bytes\": %.0f, \"ratio\": %.3f}}",
                  peak, decoded, peak / decoded);
    json += memory;
    std::error_code ignored;
    fs::remove_all(g_root, ignored);
    std::printf("%s\n", json.c_str());
    return 0;
}
