// Under Wine against the zqvdsim driver: malformed requests to the control device and to a
// converter's device are refused cleanly, and the driver keeps working after every one of them.
#include <string>

#include "driver_test_support.h"

namespace zelsim::test {
namespace {

using control::kCodeAttach;
using control::kCodeConfigure;
using control::kCodeDetach;
using control::kCodeInjectFault;
using control::kCodeQueryDevice;
using control::kCodeReadRegister;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) {
  return std::vector<uint8_t>(bytes);
}

// A text request with arbitrary text bytes (terminator included or not, as the case needs).
std::vector<uint8_t> TextRequest(uint32_t index, const std::string& text) {
  std::vector<uint8_t> request(sizeof index + text.size());
  std::memcpy(request.data(), &index, sizeof index);
  std::memcpy(request.data() + sizeof index, text.data(), text.size());
  return request;
}

struct BadRequest {
  const char* what;
  DWORD code;
  std::vector<uint8_t> in;
  DWORD outLength;
  DWORD error;
};

TEST(DriverControl, RefusesMalformedControlRequests) {
  ASSERT_EQ(ZelSim_Attach(0, nullptr), 1);
  const std::string longest(control::kMaxTextLength, ' ');
  const BadRequest cases[] = {
      {"attach without input", kCodeAttach, {}, 0, ERROR_INVALID_PARAMETER},
      {"attach with a short index", kCodeAttach, Bytes({1, 0, 0}), 0, ERROR_INVALID_PARAMETER},
      {"attach without text", kCodeAttach, Bytes({1, 0, 0, 0}), 0, ERROR_INVALID_PARAMETER},
      {"text without terminator", kCodeAttach, TextRequest(1, "timing=free"), 0,
       ERROR_INVALID_PARAMETER},
      {"NUL inside the text", kCodeAttach, TextRequest(1, std::string("timing=free\0x", 14)), 0,
       ERROR_INVALID_PARAMETER},
      {"text too long", kCodeAttach, TextRequest(1, longest + " " + std::string(1, '\0')), 0,
       ERROR_INVALID_PARAMETER},
      {"index past the last", kCodeAttach, TextRequest(ZELSIM_MAX_DEVICES, std::string(1, '\0')), 0,
       ERROR_INVALID_PARAMETER},
      {"negative index", kCodeAttach, TextRequest(0xFFFFFFFF, std::string(1, '\0')), 0,
       ERROR_INVALID_PARAMETER},
      {"bad configuration word", kCodeAttach, TextRequest(1, std::string("inputs=9\0", 9)), 0,
       ERROR_INVALID_PARAMETER},
      {"attached already", kCodeAttach, TextRequest(0, std::string(1, '\0')), 0,
       ERROR_ALREADY_EXISTS},
      {"configure without text", kCodeConfigure, Bytes({0, 0, 0, 0}), 0, ERROR_INVALID_PARAMETER},
      {"configure nothing attached", kCodeConfigure, TextRequest(1, std::string(1, '\0')), 0,
       ERROR_NOT_FOUND},
      {"empty fault", kCodeInjectFault, TextRequest(0, std::string(1, '\0')), 0,
       ERROR_INVALID_PARAMETER},
      {"detach with a short index", kCodeDetach, Bytes({0, 0}), 0, ERROR_INVALID_PARAMETER},
      {"detach with extra bytes", kCodeDetach, Bytes({0, 0, 0, 0, 0}), 0, ERROR_INVALID_PARAMETER},
      {"detach nothing attached", kCodeDetach, Bytes({1, 0, 0, 0}), 0, ERROR_NOT_FOUND},
      {"register read without address", kCodeReadRegister, Bytes({0, 0, 0, 0}), 4,
       ERROR_INVALID_PARAMETER},
      {"register past the last", kCodeReadRegister, Bytes({0, 0, 0, 0, 0, 1, 0, 0}), 4,
       ERROR_INVALID_PARAMETER},
      {"register value without room", kCodeReadRegister, Bytes({0, 0, 0, 0, 9, 0, 0, 0}), 2,
       ERROR_INSUFFICIENT_BUFFER},
      {"state without room", kCodeQueryDevice, Bytes({0, 0, 0, 0}),
       sizeof(control::DeviceState) - 1, ERROR_INSUFFICIENT_BUFFER},
      {"unknown control code", control::BufferedControlCode(0x9FF), Bytes({0, 0, 0, 0}), 4,
       ERROR_INVALID_FUNCTION},
      {"a converter's transfer code", kCodeInDirect, Bytes({0, 0, 0, 0}), 64,
       ERROR_INVALID_FUNCTION},
  };
  DeviceHandle device(control::kControlDevicePath);
  ASSERT_TRUE(device.valid());
  for (const BadRequest& request : cases) {
    SCOPED_TRACE(request.what);
    std::vector<uint8_t> out(request.outLength + 1, 0xEE);
    const IoResult result =
        Control(device.get(), request.code, request.in.empty() ? nullptr : request.in.data(),
                static_cast<DWORD>(request.in.size()), out.data(), request.outLength);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, request.error);
    EXPECT_EQ(result.moved, 0u);
  }
  // Nothing was attached on the way, and the driver still answers.
  EXPECT_FALSE(DeviceHandle::Converter(1).valid());
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x0C), 0x80);
  EXPECT_EQ(ZelSim_Attach(1, std::string(control::kMaxTextLength, ' ').c_str()), 1);
  EXPECT_EQ(ZelSim_Detach(1), 1);
  EXPECT_EQ(ZelSim_Detach(0), 1);
}

TEST(DriverControl, ClientRefusesBadArgumentsItself) {
  ASSERT_EQ(ZelSim_Attach(0, nullptr), 1);
  EXPECT_EQ(ZelSim_Attach(0, std::string(control::kMaxTextLength + 1, ' ').c_str()), 0);
  EXPECT_EQ(ZelSim_Configure(-1, "timing=free"), 0);
  EXPECT_EQ(ZelSim_InjectFault(0, nullptr), 0);
  EXPECT_EQ(ZelSim_InjectFault(0, ""), 0);
  EXPECT_EQ(ZelSim_InjectFault(0, "unplug sideways"), 0);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, -1), -1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 256), -1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(ZELSIM_MAX_DEVICES, 0), -1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(3, 0), -1) << "nothing attached at 3";
  // A refused fault list changed nothing: the converter is still plugged in.
  EXPECT_TRUE(DeviceHandle::Converter(0).valid());
  EXPECT_EQ(ZelSim_Detach(0), 1);
}

TEST(DriverControl, ConverterRefusesMalformedTransfers) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  DeviceHandle device = DeviceHandle::Converter(0);
  ASSERT_TRUE(device.valid());
  uint8_t packet[kPacketBytes] = {kRequestReset};
  const uint8_t requestPipe[8] = {kRequestPipe, 0, 0, 0, 0, 0, 0, 0};
  const uint8_t unknownPipe[4] = {7, 0, 0, 0};
  struct Case {
    const char* what;
    DWORD code;
    const uint8_t* in;
    DWORD inLength;
    uint8_t* out;
    DWORD outLength;
  };
  const Case cases[] = {
      {"no pipe number", kCodeInDirect, nullptr, 0, packet, sizeof packet},
      {"short pipe number", kCodeInDirect, requestPipe, 3, packet, sizeof packet},
      {"long pipe number", kCodeInDirect, requestPipe, 8, packet, sizeof packet},
      {"unknown pipe", kCodeInDirect, unknownPipe, 4, packet, sizeof packet},
      {"no data buffer", kCodeInDirect, requestPipe, 4, nullptr, 0},
      {"short packet", kCodeInDirect, requestPipe, 4, packet, sizeof packet - 1},
      {"buffered transfer code", control::BufferedControlCode(0x13), requestPipe, 4, packet,
       sizeof packet},
      {"a control-device code", kCodeQueryDevice, requestPipe, 4, packet, sizeof packet},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const IoResult result = Control(device.get(), c.code, c.in, c.inLength, c.out, c.outLength);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.moved, 0u);
  }
  EXPECT_TRUE(SendRequest(device.get(), {kRequestReset}));
  std::vector<uint8_t> frame;
  EXPECT_TRUE(ReadFrame(device.get(), Params(0), &frame).ok);
  EXPECT_EQ(ZelSim_Detach(0), 1);
}

}  // namespace
}  // namespace zelsim::test
