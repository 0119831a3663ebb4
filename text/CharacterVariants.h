#pragma once

#include <span>

// A character and the one form that it and its Simplified, Traditional and
// variant forms are compared as. Read from OpenCC's character dictionaries
// (STCharacters, TSCharacters, TWVariants, HKVariants) when the program is
// built, into a generated table: no dictionary is read at start-up and none
// need be installed where the program runs.
struct VariantFold {
    char16_t character;
    char16_t folded;
};

// Sorted by character; a character not listed folds to itself.
std::span<const VariantFold> variantFolds();
