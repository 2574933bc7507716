#pragma once

// What a language resource library (a "satellite", Korvane<ABBR>.so beside the program) exports:
// its language, and its texts, which replace the program's own while it is loaded. A null answer
// leaves the program's own text.

#include <cstdint>

extern "C" {
using KorvaneTranslationIdFunction = std::uint16_t (*)();
using KorvaneStringFunction = const char* (*)(std::uint32_t stringId);
using KorvaneTextFunction = const char* (*)(const char* englishText);
}

inline constexpr char kTranslationIdSymbol[] = "KorvaneTranslationId";
inline constexpr char kStringSymbol[] = "KorvaneString";
inline constexpr char kTextSymbol[] = "KorvaneText";
