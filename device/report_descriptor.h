// Our own HID report-descriptor parser: from a device's descriptor bytes to its
// contact layout. Used natively wherever a device is described by its descriptor
// (traces, tests, the simulated panel); on Windows the layout comes from the HID
// parsing functions instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/contact_layout.h"

namespace tactra {

// How deep collections may nest, and how many Push items may be outstanding.
constexpr int kMaxCollectionDepth = 16;
constexpr int kMaxGlobalStackDepth = 8;
// The longest descriptor accepted.
constexpr size_t kMaxDescriptorBytes = 8192;

// HID usages (page << 16 | id) the layout is built from.
constexpr uint32_t kUsageTouchScreen = 0x000D0004;
constexpr uint32_t kUsageFinger = 0x000D0022;
constexpr uint32_t kUsageDeviceConfiguration = 0x000D000E;
constexpr uint32_t kUsageTipSwitch = 0x000D0042;
constexpr uint32_t kUsageInRange = 0x000D0032;
constexpr uint32_t kUsageConfidence = 0x000D0047;
constexpr uint32_t kUsageContactId = 0x000D0051;
constexpr uint32_t kUsageDeviceMode = 0x000D0052;
constexpr uint32_t kUsageContactCount = 0x000D0054;
constexpr uint32_t kUsageContactCountMaximum = 0x000D0055;
constexpr uint32_t kUsageX = 0x00010030;
constexpr uint32_t kUsageY = 0x00010031;

// Parses the descriptor and builds the layout of its first Touch Screen application
// collection (Digitizers 0x0D/0x04) whose report holds Finger collections (0x0D/0x22;
// a collection without a usage of its own directly inside the Touch Screen counts as
// one, as many screens describe their second and later fingers so). Fails, with the
// reason in words and the layout untouched, for truncated items, unbalanced or too
// deeply nested collections, a Push stack too deep, a field wider than 32 bits, a
// report longer than kMaxLayoutReportBytes, and a descriptor without a usable Finger
// collection. Reads no byte outside data[0..size).
bool ParseReportDescriptor(const uint8_t* data, size_t size, ContactLayout& layout,
                           std::string& reason);

}  // namespace tactra
