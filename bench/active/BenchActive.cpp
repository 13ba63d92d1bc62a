// bench_active: the check the window makes at start of which row holds the
// key file the catalogue reads, for a list of 8 rows (one of them on a drive
// that is not there), best of 200, next to its floor: reading the key store's
// file and the key file and hashing the key, nothing else. Runs in a
// temporary Wine prefix and configuration folder of its own, offscreen.

#include <QApplication>
#include <QCryptographicHash>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/CatalogueFiles.h"
#include "app/DataSetList.h"
#include "components/TZelGrid.h"
#include "components/Text.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 8;
constexpr int kRuns = 200;

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double BestMs(const std::function<void()>& body) {
    auto best = Clock::duration::max();
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        body();
        best = std::min(best, Clock::now() - start);
    }
    return std::chrono::duration<double, std::milli>(best).count();
}

} // namespace

int main(int argc, char** argv) {
    const fs::path root = fs::temp_directory_path() / ("bench-active-" + std::to_string(::getpid()));
    const fs::path prefix = root / "prefix";
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);

    components::TZelGrid grid;
    grid.SetRowCount(kRows);
    app::KeyDigests digests;
    for (int r = 0; r < kRows; ++r) {
        const char drive = static_cast<char>('e' + r);
        const std::string key = "[Key]\r\nSet=" + std::to_string(r) + "\r\n" + std::string(200, 'k');
        // Row 3's drive is not there; its digest is all that is known.
        if (r != 3) {
            fs::create_directory_symlink(root / ("drive_" + std::string(1, drive)),
                                         prefix / "dosdevices" / (std::string(1, drive) + ":"));
            Write(root / ("drive_" + std::string(1, drive)) / "SET" / "TVDORVKY.INI", key);
        }
        const std::string path = std::string(1, static_cast<char>(drive - 32)) + ":\\SET\\TVDORVKY.INI";
        grid.SetCells(0, r, QStringLiteral("SET%1").arg(r));
        grid.SetCells(1, r, components::ToQ(path));
        if (r != 3) digests.emplace(path, *app::KeyFileDigest(path));
        if (r == 3)
            digests.emplace(path, QCryptographicHash::hash(QByteArray::fromStdString(key), QCryptographicHash::Sha256)
                                      .toHex()
                                      .toStdString());
        if (r == 3) Write(prefix / "drive_c" / "windows" / "TVDORVKY.INI", key);
    }
    app::StoreKeyDigests(digests);
    const app::CatalogueFiles files("C:\\windows", "C:\\windows", [] { return app::CatalogueRedirection{}; });

    int found = -1;
    const double ours = BestMs([&] { found = app::CheckActiveRow(grid, files, "SET3").row; });
    const fs::path store = root / "config" / "dorv-launcher" / "registry.reg";
    const fs::path key = prefix / "drive_c" / "windows" / "TVDORVKY.INI";
    std::size_t sink = 0;
    const double floor = BestMs([&] {
        sink += Read(store).size();
        sink += static_cast<std::size_t>(
            QCryptographicHash::hash(QByteArray::fromStdString(Read(key)), QCryptographicHash::Sha256).size());
    });
    std::printf("active row check, %d rows: %.3f ms (row %d found)\n", kRows, ours, found);
    std::printf("floor (store and key file read, key hashed): %.3f ms (%zu bytes)\n", floor, sink);
    std::printf("ratio: %.2f\n", ours / floor);
    fs::remove_all(root);
    return found == 3 ? 0 : 1;
}
