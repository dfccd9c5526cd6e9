// The library as a program loads it: only through its exports. Unloading disconnects and
// closes every handle and leaves no socket open.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TcpPeer.h"
#include "cablor.h"

namespace {

int openDescriptors() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(dir);
    return count;
}

template <typename F>
F symbol(void* library, const char* name) {
    return reinterpret_cast<F>(::dlsym(library, name));
}

TEST(LibraryLoad, UnloadClosesEveryHandleAndSocket) {
    int before = openDescriptors();
    void* library = ::dlopen(CABLOR_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    auto connect = symbol<int32_t (*)(DncConnectParams*)>(library, "DncConnectEx");
    auto getParam = symbol<int32_t (*)(int32_t, int32_t, void*)>(library, "DncGetParamEx");
    ASSERT_NE(connect, nullptr);

    int port = testing_peer::freePort();
    DncConnectParams p{};
    p.version = 3;
    p.linkType = DNC_LINK_TCP_SERVER;
    p.port = port;
    p.hostName = "0.0.0.0";
    p.flags = DNC_FLAG_NO_LOGIN | DNC_FLAG_KEEP_LISTENER;
    int32_t h = connect(&p);
    ASSERT_NE(h, 0);
    int32_t attached = 0;
    EXPECT_EQ(getParam(h, DNC_PARAM_ATTACH_COUNT, &attached), 1);
    EXPECT_EQ(attached, 1);
    EXPECT_GT(openDescriptors(), before);

    ASSERT_EQ(::dlclose(library), 0);
    EXPECT_EQ(openDescriptors(), before);
    // The port is free again.
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    EXPECT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::close(probe);
}

}  // namespace
