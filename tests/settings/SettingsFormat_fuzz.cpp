// Fuzz target for the settings loader, in memory: the input is the text of "setting.ini", loaded
// into empty tables, which must then hold only complete items with unique ids and consistent pages
// and palette. For some inputs the state is then saved into the same text and loaded again: saving
// must neither invent nor reorder items. Built with libFuzzer when the compiler has it, and always with the
// standalone driver (SettingsFormat_fuzz_driver.cpp).

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
    const IniDocument settings = IniParse(std::string(reinterpret_cast<const char*>(data), size));
    ResetTables();
    LoadSettingsFrom(settings);
    std::string faults = DescribeTableFaults();
    if (!faults.empty()) {
        Fail("after the load", faults);
    }
    const std::vector<uint32_t> loaded = ItemIds();
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
    if (!IsSubsequence(ItemIds(), loaded)) {
        Fail("saving invented or reordered items", "");
    }
    ResetTables();
    return 0;
}
