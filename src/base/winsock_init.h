// Winsock for the process, cleaned up on scope exit when it started here.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace mf {

class WinsockInit {
public:
    WinsockInit() noexcept : started_(::WSAStartup(MAKEWORD(1, 1), &data_) == 0) {}
    ~WinsockInit() {
        if (started_) ::WSACleanup();
    }
    WinsockInit(const WinsockInit&) = delete;
    WinsockInit& operator=(const WinsockInit&) = delete;

private:
    WSADATA data_{};
    bool started_;
};

}  // namespace mf
