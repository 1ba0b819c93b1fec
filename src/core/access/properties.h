#pragma once
// The property blocks Access keeps in MSysObjects.LvProp ("MR2" for Jet 4 and ACE, "KKD" for Jet 3): a
// list of property names, then one block of values for the object itself and one per column. Read here
// with every length checked, since the block comes straight from the file.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace tabvert::ado::detail {

struct PropertyBlock {
    std::string owner;                            // "" or the object's name: the object; else a column
    std::map<std::string, std::string> texts;     // text and memo properties, by name
    std::map<std::string, std::int64_t> numbers;  // Yes/No, byte, integer and long properties, by name
};

// Decodes the blocks; text is UTF-16LE unless jet3, then it goes through decodeJet3. Damaged input
// gives fewer (or no) blocks, never an error.
std::vector<PropertyBlock> ParseProperties(std::span<const std::uint8_t> bytes, bool jet3,
                                           std::string (*decodeJet3)(std::span<const std::uint8_t>, void*),
                                           void* context);

// The object's own "Description" property: the first block of values.
std::string DescriptionProperty(const std::vector<PropertyBlock>& blocks);

}  // namespace tabvert::ado::detail
