#pragma once
// Shared by the fuzz targets: stopping with a message when something that must hold does not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::fuzz {

// Prints what went wrong and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const std::string& What);

// Whether Text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view Text);

// A fresh folder of this process's own (in /dev/shm when it exists), removed at exit.
const std::string& ScratchFolder();

}  // namespace qv::fuzz
