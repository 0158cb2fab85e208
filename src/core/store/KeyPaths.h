// Where the program keeps what in the store: every key path and every value
// name that more than one unit uses, in one place.
//
// Paths are backslash-separated below the store's root and compare without
// regard to letter case. Numbered names put the word first and the number
// after it in decimal without leading zeros ("Value3", "Example12").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace morvel {

// The program's own key; every path below starts with it.
inline constexpr std::string_view kBaseKey = "SOFTWARE\\Norwick\\Morvel";

// The search sequences: "Count" and Value1..ValueN.
inline std::string ContainKeyPath() { return std::string(kBaseKey) + "\\Attributes\\Contain"; }
inline std::string SequenceValueName(std::int32_t i) { return "Value" + std::to_string(i); }
// The target attributes: "Count" and Id1, Name1, Method1, ...
inline std::string TargetKeyPath() { return std::string(kBaseKey) + "\\Attributes\\Target"; }
inline std::string TargetIdValueName(std::int32_t i) { return "Id" + std::to_string(i); }
inline std::string TargetNameValueName(std::int32_t i) { return "Name" + std::to_string(i); }
inline std::string TargetMethodValueName(std::int32_t i) { return "Method" + std::to_string(i); }
// The stored examples: "Count" and the keys Example1..ExampleN.
inline std::string ExamplesKeyPath() { return std::string(kBaseKey) + "\\Examples"; }
inline std::string ExampleKeyName(std::int32_t number) { return "Example" + std::to_string(number); }
inline std::string ExampleKeyPath(std::int32_t number) {
    return ExamplesKeyPath() + "\\" + ExampleKeyName(number);
}
// The settings of the attribute vector: "HeaderAttributes" (1 puts the
// header attributes in the vector that classification sees; 0 or absent
// leaves them out).
inline std::string AttributesKeyPath() { return std::string(kBaseKey) + "\\Attributes"; }
inline constexpr std::string_view kHeaderAttributesValue = "HeaderAttributes";
// The interface texts, one value per caption or message.
inline std::string InterfaceKeyPath() { return std::string(kBaseKey) + "\\Interface"; }

// Value names.
inline constexpr std::string_view kCountValue = "Count";
// The attributes window's options, directly under the base key.
inline constexpr std::string_view kShowFoundValue = "ShowFound";
inline constexpr std::string_view kListStyleValue = "ListStyle";
// Prefixes of the value names of an example: the general slots, the search
// sequences, the header attributes and the targets ("Standard8",
// "Containsetup", "HeaderMachine", "Targetkind").
inline constexpr std::string_view kStandardPrefix = "Standard";
inline constexpr std::string_view kContainPrefix = "Contain";
inline constexpr std::string_view kHeaderPrefix = "Header";
inline constexpr std::string_view kTargetPrefix = "Target";
// The SHA-256 digest of the example's file, 64 hex digits (a text), when
// the program that stored it took one.
inline constexpr std::string_view kFingerprintValue = "Fingerprint";

}  // namespace morvel
