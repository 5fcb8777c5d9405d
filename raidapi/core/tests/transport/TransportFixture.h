// Adapter table set up as discovery would leave it, with the fake driver
// behind every adapter.
#ifndef HVAPI_CORE_TESTS_TRANSPORT_FIXTURE_H
#define HVAPI_CORE_TESTS_TRANSPORT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "FakeDriver.h"
#include "core/AdapterTable.h"
#include "core/IoctlPass.h"
#include "core/LowMemory.h"

// Brings up `types.size()` adapters of the given firmware types on one
// interface, adapter 0 current, library marked initialised.
void SetUpAdapters(int driverType, std::initializer_list<uint8_t> types);

// Address a driver would write to: the pointer a 32-bit field names.
template <typename T>
T *At(uint32_t address) {
  return static_cast<T *>(FromDriverAddress(address));
}

uint32_t AddressOf(const void *p);

// The request buffer as a byte array.
uint8_t *SdataBytes();

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  FakeDriver &driver = FakeDriver::Get();
};

#endif  // HVAPI_CORE_TESTS_TRANSPORT_FIXTURE_H
