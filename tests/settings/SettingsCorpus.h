#pragma once
// Hostile "setting.ini" files for the loader, made from fixed seeds, a mutator for more of them,
// and the check of what a load may leave in the tables. Shared by the corpus test and the fuzz
// target.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// The files: random bytes, numbers huge, negative and malformed, duplicate and missing keys and
// sections, values of 259, 260 and 1000 characters, code page 932 text whose trail bytes are
// backslashes, byte-order marks, a huge NUM. Items that are otherwise sound name iconPath, which
// must load as an icon while the file is being read.
std::vector<std::string> HostileSettingsCorpus(const std::string& iconPath);

// One to four random edits of a file: bits flipped, bytes inserted or removed, lines repeated,
// pieces of the format inserted, the end cut off, or a piece of another file spliced in.
std::string MutateSettingsFile(const std::string& file, const std::vector<std::string>& corpus,
                               std::mt19937& random);

// What is wrong with the item list, the pages and the palette after a load; empty when nothing
// is: every item complete (kind 1 with a known window command and no launch record, or kind 2
// launching), ids nonzero and unique, texts and paths terminated in their fields, no negative
// show command, the tail the last item, at most 1024 items, page counts equal to their nonzero
// slots, and cached pointers that are either empty or the item of their id.
std::string DescribeTableFaults();

// Everything a save writes of the tables, as text: the items with all their fields (held ones
// apart), the page slots and the palette cells. Equal before a save and after loading it again
// when nothing was lost.
std::string DescribeTables();
