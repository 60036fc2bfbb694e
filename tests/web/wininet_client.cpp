// A tiny WinINet client for the stand-in's tests, as a process of its own so
// that cookies can be seen to outlive a run:
//   wininet_client STAND_IN set URL NAME DATA   InternetSetCookieA, then exit
//   wininet_client STAND_IN get HOST PORT PATH  one GET; prints the body
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "abi/win32.h"

template <class Fn>
Fn *fn(void *lib, const char *name) {
    return reinterpret_cast<Fn *>(dlsym(lib, name));
}

int main(int argc, char **argv) {
    if (argc < 5) return 2;
    void *lib = dlopen(argv[1], RTLD_NOW);
    if (!lib) return 3;
    std::string verb = argv[2];
    if (verb == "set" && argc == 6)
        return fn<InternetSetCookieA_type>(lib, "InternetSetCookieA")(argv[3], argv[4], argv[5]) ? 0 : 1;
    if (verb != "get" || argc != 6) return 2;
    auto open = fn<InternetOpenA_type>(lib, "InternetOpenA");
    auto connect = fn<InternetConnectA_type>(lib, "InternetConnectA");
    auto request = fn<HttpOpenRequestA_type>(lib, "HttpOpenRequestA");
    auto send = fn<HttpSendRequestA_type>(lib, "HttpSendRequestA");
    auto read = fn<InternetReadFile_type>(lib, "InternetReadFile");
    auto close = fn<InternetCloseHandle_type>(lib, "InternetCloseHandle");
    HINTERNET i = open("client", 1, "", "", 0);
    HINTERNET c = connect(i, argv[3], static_cast<INTERNET_PORT>(std::atoi(argv[4])), "", "", 3, 0, 0);
    HINTERNET r = request(c, "GET", argv[5], "HTTP/1.1", nullptr, nullptr, 0x80000000, 0);
    send(r, "", 0, nullptr, 0);
    char buffer[512];
    DWORD n = 0;
    while (read(r, buffer, sizeof buffer, &n) && n) std::fwrite(buffer, 1, n, stdout);
    close(r);
    close(c);
    close(i);
    return 0;
}
