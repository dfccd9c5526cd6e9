// The ten link library calls the program makes, behind one interface so that the channel can be
// driven by a scripted link in tests. Production code uses cablorLinkApi(), which forwards each
// call unchanged to libcablor.
#pragma once

#include <cablor.h>

#include <cstdint>

namespace qel {

class LinkApi {
  public:
    virtual ~LinkApi() = default;

    virtual int32_t connectEx(DncConnectParams* params) = 0;
    virtual int32_t transferEx(int32_t handle, char* buffer, int32_t* length,
                               int32_t expectReply) = 0;
    virtual int32_t listenEx(int32_t handle, char* buffer, int32_t* length) = 0;
    virtual int32_t disconnect(int32_t handle) = 0;
    virtual int32_t closeHandle(int32_t handle) = 0;
    virtual int32_t setParamEx(int32_t handle, int32_t id, int32_t value) = 0;
    virtual int32_t getParamEx(int32_t handle, int32_t id, void* result) = 0;
    virtual int32_t getLastError(int32_t handle) = 0;
    virtual int32_t reserve(int32_t handle) = 0;
    virtual int32_t release(int32_t handle) = 0;
};

// The link library itself; one stateless instance for the whole process.
LinkApi& cablorLinkApi();

}  // namespace qel
