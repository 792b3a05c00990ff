#pragma once
// Shared pieces of the fuzz harnesses: the input cap, a private scratch
// folder for files the readers must open by name, and a check that aborts so
// that both libFuzzer and the corpus replay report a broken property.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrander::fuzz {

// Inputs above this size are ignored: the readers' own size limits are
// tested elsewhere, and small inputs keep the executions fast.
inline constexpr std::size_t MaxInputBytes = 64 * 1024;

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder of this process under the system's temporary folder, made on
// first use and removed at exit.
const std::string& ScratchFolder();
// Writes the bytes to a file (replacing it); aborts when that fails.
void WriteFile(const std::string& path, std::string_view bytes);
void RemoveFile(const std::string& path);

// Aborts with the message when the condition does not hold.
void Check(bool condition, const char* what);

// Equal within the 15 significant digits that float text keeps.
bool SameAtFifteenDigits(double a, double b);

} // namespace ostrander::fuzz
