// Fuzz target for the settings loader, in memory: the input is the text of "setting.ini", loaded
// into empty tables, which must then hold only complete items with unique ids and consistent pages
// and palette. For some inputs the state is then saved into the same text and loaded again: the
// tables must come back exactly as they were. Built with libFuzzer when the compiler has it, and always with
// the standalone driver (SettingsFormat_fuzz_driver.cpp).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "SettingsCorpus.h"
#include "TestSupport.h"
#include "platform/IniText.h"
#include "settings/SettingsFormat.h"

namespace {

std::string currentInput;

// Reports the fault and keeps the input that made it in the current folder, to be replayed.
[[noreturn]] void Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "settings fuzz: %s (input kept as crash-settings.ini)\n%s\n", what, detail.c_str());
    WriteFileBytes("crash-settings.ini", currentInput);
    abort();
}

// The first line where two descriptions of the tables part, as it is in each.
std::string FirstDifference(const std::string& before, const std::string& after) {
    size_t at = 0;
    while (at < before.size() && at < after.size() && before[at] == after[at]) {
        ++at;
    }
    const size_t newline = at == 0 ? std::string::npos : before.rfind('\n', at - 1);
    const size_t start = newline == std::string::npos ? 0 : newline + 1;
    return before.substr(start, before.find('\n', at) - start) + "\n=> " +
           after.substr(start, after.find('\n', at) - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    currentInput.assign(reinterpret_cast<const char*>(data), size);
    const IniDocument settings = IniParse(currentInput);
    ResetTables();
    LoadSettingsFrom(settings);
    std::string faults = DescribeTableFaults();
    if (!faults.empty()) {
        Fail("after the load", faults);
    }
    const std::string loaded = DescribeTables();
    // The save writes into the same text and the result, as a file would hold it, loads again: it
    // costs three loads, so it is done for one input in eight, chosen by the input's hash so that
    // every input is still run the same way each time. A UTF-16 file is never written over.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    if ((hash & 7) != 0) {
        ResetTables();
        return 0;
    }
    IniDocument saved = settings;
    if (WriteSettingsInto(&saved) == settings.utf16) {
        Fail(settings.utf16 ? "a UTF-16 text was written" : "the save failed", "");
    }
    ResetTables();
    LoadSettingsFrom(IniParse(IniSerialize(saved)));
    faults = DescribeTableFaults();
    if (!faults.empty()) {
        Fail("after saving and loading again", faults);
    }
    if (DescribeTables() != loaded) {
        Fail("saving lost, changed or invented something", FirstDifference(loaded, DescribeTables()));
    }
    ResetTables();
    return 0;
}
