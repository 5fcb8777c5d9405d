// The firmware's answers in the byte layouts the library reads (enquiries,
// disk arrays, product information), built from the model, and the reverse
// for the configurations the library writes.
#ifndef HALVSIM_FIRMWARE_IMAGES_H
#define HALVSIM_FIRMWARE_IMAGES_H

#include <cstdint>
#include <string>
#include <vector>

#include "Scenario.h"

namespace halvsim {

using Bytes = std::vector<uint8_t>;

// 8LD enquiry (0x05), extended enquiry (0x04) and extended enquiry 2 (0x0C).
Bytes Enquiry8LD(const Adapter &ad);
Bytes ExtEnquiry8LD(const Adapter &ad);
Bytes ExtEnquiry2_8LD(const Adapter &ad);

// 40LD product information, notification counters and enquiry 3.
Bytes ProductInfo40LD(const Adapter &ad);
Bytes Notify40LD(const Adapter &ad);
Bytes Enquiry3_40LD(const Adapter &ad);

// The disk array of the adapter's firmware type for a layout, with the
// device table of the adapter's devices.
Bytes DiskArray(const Adapter &ad, const Layout &layout);

// Size of the disk array of the adapter's firmware type.
size_t DiskArraySize(const Adapter &ad);

// Decodes a written disk array into a layout and the device table's states
// (indexed as the firmware type numbers devices). False with a reason when
// the array cannot be applied to this adapter.
bool ParseDiskArray(const Adapter &ad, const Bytes &array, Layout *layout,
                    std::vector<uint8_t> *table_states, std::string *why);

// Index of a device in the firmware type's state tables, or -1 when the
// table has no entry for it (targets 15 on 8LD firmware).
int StateIndex(const Adapter &ad, DevRef dev);

}  // namespace halvsim

#endif  // HALVSIM_FIRMWARE_IMAGES_H
