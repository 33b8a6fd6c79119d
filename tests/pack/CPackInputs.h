#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The files a re-pack starts from, as bytes the tests may spoil: a test
// Setup.exe and the build's own payloads for each slot.
namespace pack_inputs {

std::vector<std::uint8_t> Setup();
std::vector<std::uint8_t> Tool32();  // i386
std::vector<std::uint8_t> Tool64();  // AMD64

// The image with a certificate table after its sections, as signing leaves it.
std::vector<std::uint8_t> Signed(std::vector<std::uint8_t> image);
// The image with bits of its file header's characteristics set.
std::vector<std::uint8_t> WithCharacteristics(std::vector<std::uint8_t> image, WORD bits);

} // namespace pack_inputs
