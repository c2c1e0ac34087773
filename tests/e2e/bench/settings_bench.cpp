// In-process timings of loading and saving the settings under Wine, for bench_ring.py: a load as at
// start-up and a save as when the editor closes, of the shipped setting.ini (with its icons beside
// this program) and of a full one (240 items, every page slot and palette cell taken), against a
// baseline taken in the same run: reading the file and replacing it through a flushed copy, which
// no save can do without.
//
// Usage: settings_bench [ROUNDS]  (default 20). Prints one JSON line of order statistics per
// measurement, in microseconds. Exit code 0, or 1 when a load or a save fails.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchTiming.h"
#include "app/App_win.h"
#include "platform/Platform.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

namespace {

void ResetTables() {
    ClearPages();
    ClearPalette();
    FreeAllItems();
}

// 240 items named in Japanese, half of them launch items, each with this program's own icon, in
// every palette cell; the first 64 also on every page slot.
std::string FullSettings(const std::string& self) {
    std::string text;
    for (int n = 0; n < kPaletteCells; ++n) {
        text += "[ITEM" + std::to_string(n) + "]\r\nID=" + std::to_string(n + 1) + "\r\nICON=" + self +
                "\r\nTEXT=\x83\x81\x83\x82\x92\xA0 " + std::to_string(n) + "\r\n";
        text += n % 2 == 0
                    ? "TYPE=1\r\nEVENT=" + std::to_string(n % 9 + 1) + "\r\n"
                    : "TYPE=2\r\nSCPATH=" + self + "\r\nSCARG=/x \"a b\"\r\nSCDIR=C:\\\r\nSCSHOW=5\r\n";
    }
    text += "[ITEMS]\r\nNUM=240\r\n";
    for (int page = 0; page < kPageCount; ++page) {
        text += "[PAGE" + std::to_string(page) + "]\r\n";
        for (int slot = 0; slot < kSlotsPerPage; ++slot) {
            text += "ITEM" + std::to_string(slot) + "=" + std::to_string(page * 8 + slot + 1) + "\r\n";
        }
    }
    text += "[PALETTE]\r\n";
    for (int cell = 0; cell < kPaletteCells; ++cell) {
        text += "ITEM" + std::to_string(cell) + "=" + std::to_string(cell + 1) + "\r\n";
    }
    return text + "[CONFIG]\r\nTRIGGER=0\r\nSENDWHEEL=0\r\nALPHA=191\r\n";
}

int LiveItems() {
    int count = 0;
    for (const MenuItem* item = itemListHead; item != nullptr; item = item->next) {
        ++count;
    }
    return count;
}

// Times loads, saves and the baseline of one file; false when a load or a save failed.
bool MeasureFile(const char* name, const std::string& path, int rounds) {
    bool ok = true;
    const auto loads = Measure(
        rounds, [](int) { ResetTables(); }, [&](int) { ok = LoadSettings() == 0 && ok; });
    EmitStats((std::string("load-") + name).c_str(), loads, ",\"items\":" + std::to_string(LiveItems()));
    EmitStats((std::string("save-") + name).c_str(),
              Measure(
                  rounds, [](int) {}, [&](int) { ok = SaveSettings() == 0 && ok; }));
    const std::string copy = path + ".bench";
    EmitStats((std::string("copy-") + name).c_str(),
              Measure(
                  rounds, [](int) {},
                  [&](int) {
                      std::string content;
                      ok = PlatformReadFile(path.c_str(), &content) == FileRead::Read &&
                           PlatformWriteFile(copy.c_str(), content) == FileStep::Done &&
                           PlatformReplaceFile(copy.c_str(), path.c_str()) == FileStep::Done && ok;
                  }));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(5, atoi(argv[1])) : 20;
    appInstance = GetModuleHandleA(nullptr);
    std::string path;
    std::string self;
    if (GetSettingsPath(&path) != 0 || !PlatformModuleFileName(&self)) {
        printf("{\"error\":\"paths\"}\n");
        return 1;
    }
    bool ok = MeasureFile("shipped", path, rounds);
    FILE* file = fopen(path.c_str(), "wb");
    const std::string full = FullSettings(self);
    ok = file != nullptr && fwrite(full.data(), 1, full.size(), file) == full.size() && fclose(file) == 0 &&
         ok;
    ok = MeasureFile("full", path, rounds) && ok;
    ResetTables();
    if (!ok) {
        printf("{\"error\":\"a load or a save failed\"}\n");
    }
    return ok ? 0 : 1;
}
