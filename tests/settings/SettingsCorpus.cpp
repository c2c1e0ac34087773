#include "SettingsCorpus.h"

#include <cstring>
#include <set>

#include "actions/Launch.h"
#include "actions/WindowCommands.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

using Random = std::mt19937;

uint32_t Below(Random& random, size_t n) {
    return n == 0 ? 0 : static_cast<uint32_t>(random() % n);
}

template <typename T, size_t N>
const T& Pick(Random& random, const T (&items)[N]) {
    return items[Below(random, N)];
}

// "表" (95 5C), "ソ" (83 5C) and "能" (94 5C): two-byte characters whose trail byte is a backslash.
const char* const kBackslashTrail[] = {"\x95\x5C", "\x83\x5C", "\x94\x5C"};

std::string RandomBytes(Random& random, size_t size) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) {
        bytes += static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

// Text of a given length in bytes: ASCII, two-byte characters with backslash trails, or a mix
// that may end in a lone lead byte.
std::string TextOfLength(Random& random, size_t length) {
    std::string text;
    const uint32_t style = Below(random, 3);
    while (text.size() < length) {
        if (style == 0) {
            text += static_cast<char>('a' + Below(random, 26));
        } else if (style == 1 || Below(random, 2) == 0) {
            text += Pick(random, kBackslashTrail);
        } else {
            text += static_cast<char>(' ' + Below(random, 95));
        }
    }
    if (style == 2 && Below(random, 2) == 0) {
        text.back() = '\x95';  // a lead byte right before the line break
    }
    return text.substr(0, length + (style == 1 ? Below(random, 2) : 0));
}

const char kHugeNumber[] = "99999999999999999999999999999999";
const char* const kNumbers[] = {
    "0",          "1",           "2",   "3",           "5",           "9",           "10",
    "255",        "256",         "300", "65535",       "65536",       "2147483647",  "2147483648",
    "4294967295", "4294967296",  "-1",  "-2147483648", "-4294967295", "-4294967296", "0x7fffffff",
    "0XFFFFFFFF", "0x100000000", "017", "08",          "1.5",         "12abc",       "",
    " 7 ",        "\"5\"",       "+3",  "- 3",         "0x",          kHugeNumber};

std::string NumberValue(Random& random) {
    if (Below(random, 5) == 0) {
        return std::to_string(random());
    }
    return Pick(random, kNumbers);
}

// An item section number: mostly small, sometimes near or beyond the load bound, sometimes odd.
std::string ItemSectionName(Random& random) {
    switch (Below(random, 8)) {
        case 0:
            return "ITEM" + std::to_string(1000 + Below(random, 50));
        case 1: {
            static const char* const kOdd[] = {"item1",  " ITEM2 ",        "ITEM01",
                                               "ITEM-1", "ITEM4294967295", "ITEM\x95\x5C"};
            return Pick(random, kOdd);
        }
        default:
            return "ITEM" + std::to_string(Below(random, 12));
    }
}

std::string TextValue(Random& random, const std::string& iconPath) {
    static const size_t kLengths[] = {0, 1, 62, 63, 64, 258, 259, 260, 261, 1000};
    switch (Below(random, 4)) {
        case 0:
            return iconPath;
        case 1:
            return NumberValue(random);
        default:
            return TextOfLength(random, Pick(random, kLengths));
    }
}

// A file in the settings format with random sections, keys and values, duplicates and gaps.
std::string StructuredFile(Random& random, const std::string& iconPath) {
    static const char* const kItemKeys[] = {"ID",     "ICON",  "TEXT",  "TYPE",  "EVENT",
                                            "SCPATH", "SCARG", "SCDIR", "SCSHOW"};
    std::string file;
    const uint32_t sections = 1 + Below(random, 24);
    for (uint32_t s = 0; s < sections; ++s) {
        const uint32_t what = Below(random, 10);
        if (what < 5) {
            file += "[" + ItemSectionName(random) + "]\r\n";
            for (const char* key : kItemKeys) {
                const uint32_t roll = Below(random, 10);
                if (roll == 0) {
                    continue;  // missing
                }
                std::string value;
                if (strcmp(key, "ICON") == 0 || strcmp(key, "SCPATH") == 0) {
                    value = Below(random, 3) == 0 ? TextValue(random, iconPath) : iconPath;
                } else if (strcmp(key, "TEXT") == 0 || strcmp(key, "SCARG") == 0 ||
                           strcmp(key, "SCDIR") == 0) {
                    value = TextValue(random, iconPath);
                } else if (strcmp(key, "TYPE") == 0 && roll > 3) {
                    value = Below(random, 2) == 0 ? "1" : "2";
                } else if (strcmp(key, "EVENT") == 0 && roll > 3) {
                    value = std::to_string(Below(random, 11));
                } else if (strcmp(key, "ID") == 0 && roll > 3) {
                    value = std::to_string(1 + Below(random, 20));
                } else {
                    value = NumberValue(random);
                }
                file += std::string(key) + "=" + value + "\r\n";
                if (roll == 9) {
                    file += std::string(key) + "=" + NumberValue(random) + "\r\n";  // duplicate key
                }
            }
        } else if (what < 7) {
            file += "[PAGE" + std::to_string(Below(random, 9)) + "]\r\n";
            for (uint32_t k = Below(random, 10); k > 0; --k) {
                file += "ITEM" + std::to_string(Below(random, 9)) + "=" + NumberValue(random) + "\r\n";
            }
        } else if (what == 7) {
            file += "[PALETTE]\r\n";
            for (uint32_t k = Below(random, 30); k > 0; --k) {
                file += "ITEM" + std::to_string(Below(random, 245)) + "=" + NumberValue(random) + "\r\n";
            }
        } else if (what == 8) {
            file += "[ITEMS]\r\nNUM=" +
                    (Below(random, 3) == 0 ? NumberValue(random) : std::to_string(Below(random, 14))) +
                    "\r\n";
        } else {
            file +=
                "[CONFIG]\r\nALPHA=" + NumberValue(random) + "\r\nTRIGGER=" + NumberValue(random) + "\r\n";
        }
    }
    if (Below(random, 2) == 0) {
        file += "[ITEMS]\r\nNUM=12\r\n";
    }
    return file;
}

// A sound launch item in section n.
std::string LaunchSection(uint32_t n, uint32_t id, const std::string& iconPath) {
    return "[ITEM" + std::to_string(n) + "]\r\nID=" + std::to_string(id) + "\r\nICON=" + iconPath +
           "\r\nTEXT=x\r\nTYPE=2\r\nSCPATH=" + iconPath + "\r\n";
}

}  // namespace

std::vector<std::string> HostileSettingsCorpus(const std::string& iconPath) {
    std::vector<std::string> corpus;
    Random random(20240601);

    // Random bytes of many sizes, and noise made of the format's own punctuation.
    for (size_t size : {0u, 1u, 17u, 300u, 4096u, 30000u}) {
        corpus.push_back(RandomBytes(random, size));
    }
    for (int n = 0; n < 4; ++n) {
        static const char kNoise[] = "[]=\r\n0123456789ITEMSPAGLTNU-x\\\"\x95\x5C\x81 ";
        std::string noise;
        for (int i = 0; i < 3000; ++i) {
            noise += kNoise[Below(random, sizeof kNoise - 1)];
        }
        corpus.push_back(noise);
    }

    // A huge NUM over sparse sections, some beyond the bound.
    std::string huge = "[ITEMS]\r\nNUM=4294967295\r\n";
    for (uint32_t n : {0u, 7u, 500u, 1023u, 1024u, 70000u}) {
        huge += LaunchSection(n, n + 1, iconPath);
    }
    corpus.push_back(huge);
    corpus.push_back("[ITEMS]\r\nNUM=-1\r\n" + LaunchSection(0, 1, iconPath));
    corpus.push_back("[ITEMS]\r\nNUM=0xFFFFFFFF\r\nNUM=2\r\n" + LaunchSection(1, 2, iconPath));

    // Duplicates: ids, keys (the first counts), whole sections.
    std::string dup = "[ITEMS]\r\nNUM=6\r\n";
    for (uint32_t n = 0; n < 6; ++n) {
        dup += LaunchSection(n, 3, iconPath);
    }
    dup += LaunchSection(2, 9, iconPath) + "[ITEM4]\r\nID=0\r\nID=4\r\n[PAGE0]\r\nITEM0=3\r\nITEM0=4\r\n";
    corpus.push_back(dup);

    // Values at and beyond the field sizes, with two-byte characters ending in backslashes.
    for (size_t length : {259u, 260u, 1000u}) {
        std::string wide;
        while (wide.size() < length) {
            wide += kBackslashTrail[wide.size() % 3];
        }
        wide.resize(length);
        const std::string plain(length, 'q');
        std::string file = "[ITEMS]\r\nNUM=3\r\n";
        file += "[ITEM0]\r\nID=1\r\nICON=" + plain + "\r\nTEXT=" + wide + "\r\nTYPE=2\r\nSCPATH=" + wide +
                "\r\nSCARG=" + plain + "\r\nSCDIR=" + wide + "\r\nSCSHOW=3\r\n";
        file += "[ITEM1]\r\nID=2\r\nICON=" + iconPath + "\r\nTEXT=" + wide + "\r\nTYPE=2\r\nSCPATH=" + plain +
                "\r\nSCARG=" + wide + "\r\nSCDIR=" + plain + "\r\n";
        file += "[ITEM2]\r\nID=3\r\nICON=" + iconPath + "\r\nTEXT=" + plain + "\r\nTYPE=1\r\nEVENT=9\r\n";
        corpus.push_back(file);
    }

    // Code page 932 in names and values, a lead byte right before each line break, and
    // byte-order marks for UTF-8 and UTF-16.
    corpus.push_back("[ITEMS]\r\nNUM=2\r\n[ITEM0]\r\nID=1\r\nICON=" + iconPath +
                     "\r\nTEXT=\x95\x5C\x95\x5C\x81\r\nTYPE=1\r\nEVENT=1\x95\r\n[ITEM\x95\x5C]\r\nID=2\r\n"
                     "[ITEM1\x81]\r\nID=3\r\n[PAGE0]\r\nITEM0=1\x83\r\nITEM1=1\r\n");
    corpus.push_back("\xEF\xBB\xBF[ITEMS]\r\nNUM=1\r\n" + LaunchSection(0, 1, iconPath));
    std::string utf16 = "\xFF\xFE";
    for (char c : "[ITEMS]\r\nNUM=1\r\n[ITEM0]\r\nID=1\r\nTYPE=2\r\n") {
        utf16 += c;
        utf16 += '\0';
    }
    corpus.push_back(utf16);

    // Missing keys one at a time from a sound window command item.
    const std::string keys[] = {"ID=5\r\n", "ICON=" + iconPath + "\r\n", "TEXT=t\r\n", "TYPE=1\r\n",
                                "EVENT=2\r\n"};
    for (size_t skip = 0; skip < 5; ++skip) {
        std::string file = "[ITEMS]\r\nNUM=1\r\n[ITEM0]\r\n";
        for (size_t k = 0; k < 5; ++k) {
            if (k != skip) {
                file += keys[k];
            }
        }
        corpus.push_back(file);
    }

    // Structured random files.
    for (int n = 0; n < 40; ++n) {
        corpus.push_back(StructuredFile(random, iconPath));
    }
    return corpus;
}

std::string MutateSettingsFile(const std::string& file, const std::vector<std::string>& corpus,
                               std::mt19937& random) {
    static const char* const kTokens[] = {
        "[ITEMS]\r\n",  "[ITEM0]\r\n", "[ITEM1]\r\n", "[PAGE0]\r\n", "[PALETTE]\r\n",
        "[CONFIG]\r\n", "NUM=",        "ID=",         "ICON=",       "TEXT=",
        "TYPE=",        "EVENT=",      "SCPATH=",     "SCARG=",      "SCDIR=",
        "SCSHOW=",      "ITEM0=",      "ALPHA=",      "=",           "\r\n",
        "4294967295",   "-1",          "0x",          "\x95\x5C",    "\x81"};
    std::string out = file;
    for (uint32_t edits = 1 + Below(random, 4); edits > 0; --edits) {
        const size_t at = Below(random, out.size() + 1);
        switch (Below(random, 7)) {
            case 0:
                if (!out.empty()) {
                    out[at % out.size()] ^= static_cast<char>(1u << Below(random, 8));
                }
                break;
            case 1:
                out.insert(at, 1, static_cast<char>(random() & 0xFF));
                break;
            case 2:
                out.erase(at, Below(random, 16) + 1);
                break;
            case 3: {
                const size_t begin = out.rfind('\n', at);
                const size_t from = begin == std::string::npos ? 0 : begin + 1;
                const size_t end = out.find('\n', from);
                const std::string line =
                    out.substr(from, end == std::string::npos ? std::string::npos : end - from + 1);
                out.insert(from, line);
                break;
            }
            case 4:
                out.insert(at, Pick(random, kTokens));
                break;
            case 5:
                out.resize(at);
                break;
            default: {
                const std::string& other = corpus[Below(random, corpus.size())];
                const size_t from = Below(random, other.size() + 1);
                out.insert(at, other.substr(from, Below(random, 200)));
                break;
            }
        }
    }
    if (out.size() > 65536) {
        out.resize(65536);
    }
    return out;
}

std::string DescribeTableFaults() {
    const auto Terminated = [](const char* field, size_t size) { return memchr(field, 0, size) != nullptr; };
    TablesLock lock;
    std::string faults;
    std::set<uint32_t> ids;
    const MenuItem* last = nullptr;
    size_t count = 0;
    for (const MenuItem* item = itemListHead; item != nullptr; item = item->next) {
        const std::string name = "item " + std::to_string(item->id) + ": ";
        ++count;
        last = item;
        if (!IsItemComplete(item)) {
            faults += name + "incomplete\n";
        }
        if (item->id == 0 || !ids.insert(item->id).second) {
            faults += name + "zero or duplicate id\n";
        }
        if (!Terminated(item->text, sizeof item->text) ||
            !Terminated(item->iconPath, sizeof item->iconPath)) {
            faults += name + "unterminated text or icon path\n";
        }
        if (item->kind == KindWindowCommand &&
            (item->shortcut != nullptr || WindowCommandEvent(item->action) == 0)) {
            faults += name + "window command with a launch record or an unknown command\n";
        }
        if (item->kind == KindLaunch && item->action != LaunchProgram) {
            faults += name + "launch item that does not launch\n";
        }
        if (const ShortcutInfo* s = item->shortcut) {
            if (!Terminated(s->path, sizeof s->path) || !Terminated(s->args, sizeof s->args) ||
                !Terminated(s->dir, sizeof s->dir) || s->path[0] == 0 || s->show < 0) {
                faults += name + "bad launch record\n";
            }
        }
    }
    if (itemListTail != last) {
        faults += "tail is not the last item\n";
    }
    if (count > 1024) {
        faults += "more items than the load reads: " + std::to_string(count) + "\n";
    }
    for (int p = 0; p < kPageCount; ++p) {
        const Page& page = pageTable.pages[p];
        int occupied = 0;
        for (int s = 0; s < kSlotsPerPage; ++s) {
            occupied += page.ids[s] != 0 ? 1 : 0;
            if (page.items[s] != nullptr && (page.items[s] != FindItem(page.ids[s]))) {
                faults += "page " + std::to_string(p) + " slot " + std::to_string(s) + ": stale cache\n";
            }
        }
        if (page.count != occupied) {
            faults += "page " + std::to_string(p) + ": count " + std::to_string(page.count) + " for " +
                      std::to_string(occupied) + " occupied slots\n";
        }
    }
    for (const PaletteCell& cell : paletteGrid.cells) {
        if (cell.item != nullptr && cell.item != FindItem(cell.id)) {
            faults += "palette: stale cache\n";
        }
    }
    return faults;
}

std::string DescribeTables() {
    TablesLock lock;
    std::string out;
    for (const MenuItem* list : {itemListHead, heldItemsHead}) {
        for (const MenuItem* item = list; item != nullptr; item = item->next) {
            out += std::to_string(item->id) + " " + std::to_string(item->kind) + " " + item->text + "|" +
                   item->iconPath + "|" + std::to_string(WindowCommandEvent(item->action));
            if (const ShortcutInfo* s = item->shortcut) {
                out +=
                    std::string("|") + s->path + "|" + s->args + "|" + s->dir + "|" + std::to_string(s->show);
            }
            out += "\n";
        }
        out += "--\n";
    }
    for (const Page& page : pageTable.pages) {
        for (uint32_t id : page.ids) {
            out += std::to_string(id) + " ";
        }
    }
    for (const PaletteCell& cell : paletteGrid.cells) {
        out += std::to_string(cell.id) + " ";
    }
    return out;
}
