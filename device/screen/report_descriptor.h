// Our own HID report-descriptor parser: from a device's descriptor bytes to its
// contact layout. Used natively wherever a device is described by its descriptor
// (traces, tests, the simulated panel); on Windows the layout comes from the HID
// parsing functions instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/screen/contact_layout.h"

namespace tactra {

// How deep collections may nest, and how many Push items may be outstanding.
constexpr int kMaxCollectionDepth = 16;
constexpr int kMaxGlobalStackDepth = 8;
// The longest descriptor accepted.
constexpr size_t kMaxDescriptorBytes = 8192;

// Parses the descriptor and builds the layout of its first Touch Screen application
// collection (Digitizers 0x0D/0x04) whose touch report holds contact slots, found by
// their fields (FindContactSlots in device/screen/contact_layout.h). The device's other
// collections and reports are skipped, whatever their length. Fails, with the reason
// in words and the layout untouched, for truncated items, unbalanced or too deeply
// nested collections, a Push stack too deep, a field wider than 32 bits, a touch
// report longer than kMaxLayoutReportBytes, and a descriptor without a usable slot.
// Reads no byte outside data[0..size).
bool ParseReportDescriptor(const uint8_t* data, size_t size, ContactLayout& layout,
                           std::string& reason);

}  // namespace tactra
