// halvane-demo: writes the demo room's impulse response, its list of arrivals and (when built
// with Qt) its panorama into a folder.

#include "bformat/WavWriter.h"
#include "demo/DemoRoom.h"
#include "files/ReplacingFile.h"

#ifdef HALVANE_DEMO_PANORAMA
#include "demo/DemoPanorama.h"
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#endif

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: halvane-demo [FOLDER]\n"
    "       halvane-demo --help | --version\n"
    "Writes the demo impulse response demo-room.wav (AmbiX W, Y, Z, X, SN3D, 48 kHz, 32-bit float,\n"
    "0.5 s), its arrivals demo-arrivals.csv and the room's panorama demo-panorama.jpg into FOLDER\n"
    "(default: examples).\n";

// The response and its list of arrivals in folder, with what they hold on
// standard output; false after saying why not.
bool WriteRoomFiles(const std::filesystem::path& folder, const halvane::demo::DemoRoom& room,
                    const std::vector<halvane::demo::Arrival>& arrivals)
{
    const auto samples = halvane::demo::RenderDemoImpulseResponse(room);
    const std::filesystem::path wavPath = folder / "demo-room.wav";
    std::ostringstream wav;
    std::string wavFailure =
        halvane::WriteFloatWav(wav, halvane::demo::kDemoSampleRateHz, halvane::demo::kDemoChannelCount, samples)
            .Message();
    if (wavFailure.empty()) wavFailure = halvane::WriteReplacing(wavPath.string(), wav.str()).Message();
    if (!wavFailure.empty()) {
        std::cerr << "halvane-demo: " << wavPath.string() << ": " << wavFailure << "\n";
        return false;
    }

    const std::string table = halvane::demo::ArrivalTableText(arrivals);
    const std::filesystem::path tablePath = folder / "demo-arrivals.csv";
    if (const auto written = halvane::WriteReplacing(tablePath.string(), table); !written) {
        std::cerr << "halvane-demo: " << tablePath.string() << ": " << written.Message() << "\n";
        return false;
    }

    std::cout << "Wrote " << wavPath.string() << " and " << tablePath.string() << "\n";
    std::printf("%10s %8s %7s %11s  %s\n", "time (ms)", "Az", "El", "level (dB)", "arrival");
    for (const auto& a : arrivals)
        std::printf("%10.2f %8.1f %7.1f %11.1f  %s\n", a.timeMs, a.azDeg, a.elDeg, a.levelDb, a.name.c_str());
    return true;
}

#ifdef HALVANE_DEMO_PANORAMA
// The room's panorama as a JPEG in folder; false after saying why not.
bool WritePanorama(const std::filesystem::path& folder, const halvane::demo::DemoRoom& room,
                   const std::vector<halvane::demo::Arrival>& arrivals, char** argv)
{
    // Painting needs fonts but never a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    const std::filesystem::path jpegPath = folder / "demo-panorama.jpg";
    const QImage panorama = halvane::demo::PaintDemoPanorama(room, arrivals);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!panorama.save(&buffer, "JPG", 90)) {
        std::cerr << "halvane-demo: Qt cannot write JPEG pictures here (image format plug-in missing?)\n";
        return false;
    }
    if (const auto written = halvane::WriteReplacing(jpegPath.string(), jpeg.toStdString()); !written) {
        std::cerr << "halvane-demo: " << jpegPath.string() << ": " << written.Message() << "\n";
        return false;
    }
    std::cout << "Wrote " << jpegPath.string() << "\n";
    return true;
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::string folderName = "examples";
    bool help = false;
    bool version = false;
    CLI::App app("halvane-demo");
    app.set_help_flag();
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_option("FOLDER", folderName);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        std::cerr << "halvane-demo: " << error.what() << "\n" << kUsage;
        return 2;
    }
    if (help) {
        std::cout << kUsage;
        return 0;
    }
    if (version) {
        std::cout << "halvane-demo " << HALVANE_VERSION << "\n";
        return 0;
    }
    const fs::path folder = folderName;
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder)) {
        std::cerr << "halvane-demo: cannot create the folder " << folder.string() << "\n";
        return 1;
    }

    const halvane::demo::DemoRoom room;
    const auto arrivals = halvane::demo::DemoArrivals(room);
    if (!WriteRoomFiles(folder, room, arrivals)) return 1;
#ifdef HALVANE_DEMO_PANORAMA
    if (!WritePanorama(folder, room, arrivals, argv)) return 1;
#else
    std::cout << "(built without Qt: the panorama was not painted)\n";
#endif
    return 0;
}
