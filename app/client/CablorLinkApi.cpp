// LinkApi forwarding straight to the link library.
#include "client/LinkApi.h"

namespace qel {
namespace {

class CablorLinkApi final : public LinkApi {
  public:
    int32_t connectEx(DncConnectParams* params) override { return DncConnectEx(params); }
    int32_t transferEx(int32_t handle, char* buffer, int32_t* length,
                       int32_t expectReply) override {
        return DncTransferEx(handle, buffer, length, expectReply);
    }
    int32_t listenEx(int32_t handle, char* buffer, int32_t* length) override {
        return DncListenEx(handle, buffer, length);
    }
    int32_t disconnect(int32_t handle) override { return DncDisconnect(handle); }
    int32_t closeHandle(int32_t handle) override { return DncCloseHandle(handle); }
    int32_t setParamEx(int32_t handle, int32_t id, int32_t value) override {
        return DncSetParamEx(handle, id, value);
    }
    int32_t getParamEx(int32_t handle, int32_t id, void* result) override {
        return DncGetParamEx(handle, id, result);
    }
    int32_t getLastError(int32_t handle) override { return DncGetLastError(handle); }
    int32_t reserve(int32_t handle) override { return DncReserve(handle); }
    int32_t release(int32_t handle) override { return DncRelease(handle); }
};

}  // namespace

LinkApi& cablorLinkApi() {
    static CablorLinkApi api;
    return api;
}

}  // namespace qel
