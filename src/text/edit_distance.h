// How far apart two short words are, for "did you mean" suggestions.
#pragma once

#include <cstddef>

// The number of single-character edits (insert, delete, replace, swap of
// two neighbours) that turn `a` into `b`, letters compared without case.
// Words are taken to at most kEditWordCap - 1 characters.
constexpr std::size_t kEditWordCap = 128;
std::size_t edit_distance(const char* a, const char* b);
