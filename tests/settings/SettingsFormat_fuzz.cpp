// Fuzz target for the settings loader: the input becomes "setting.ini" beside the executable and
// is loaded into empty tables, which must then hold only complete items with unique ids and
// consistent pages and palette. For some inputs that loaded items the state is saved and loaded
// again: saving must neither invent nor reorder items. Built with libFuzzer when the compiler has it, and
// always with the standalone driver (SettingsFormat_fuzz_driver.cpp).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "SettingsCorpus.h"
#include "TestSupport.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "settings fuzz: %s\n%s\n", what, detail.c_str());
    abort();
}

// True when every id of part appears in whole, in the same order.
bool IsSubsequence(const std::vector<uint32_t>& part, const std::vector<uint32_t>& whole) {
    size_t next = 0;
    for (uint32_t id : whole) {
        if (next < part.size() && part[next] == id) {
            ++next;
        }
    }
    return next == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        std::string settings;
        if (GetSettingsPath(&settings) != 0) {
            Fail("no settings path", "");
        }
        return settings;
    }();
    if (!WriteFileBytes(path, std::string(reinterpret_cast<const char*>(data), size))) {
        Fail("cannot write", path);
    }
    ResetTables();
    if (LoadSettings() != 0) {
        Fail("LoadSettings failed", "");
    }
    std::string faults = DescribeTableFaults();
    if (!faults.empty()) {
        Fail("after the load", faults);
    }
    const std::vector<uint32_t> loaded = ItemIds();
    // A save costs hundreds of file writes (each flushed to disk by the host's INI writer), a
    // hundred times the load. It is done for one input in eight that loaded items, chosen by the
    // input's hash so that every input is still run the same way each time.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    if (loaded.empty() || (hash & 7) != 0) {
        ResetTables();
        RemoveFile(path);
        return 0;
    }
    if (SaveSettings() != 0) {
        Fail("SaveSettings failed", "");
    }
    ResetTables();
    if (LoadSettings() != 0) {
        Fail("second LoadSettings failed", "");
    }
    faults = DescribeTableFaults();
    if (!faults.empty()) {
        Fail("after saving and loading again", faults);
    }
    if (!IsSubsequence(ItemIds(), loaded)) {
        Fail("saving invented or reordered items", "");
    }
    ResetTables();
    RemoveFile(path);
    return 0;
}
