// The real wininet stand-in behind a recording layer, for the recording fake
// kernel: every WinINet call the program makes is written to the recorder's
// call list (name, arguments, result), in order with the kernel services it
// asks for, and passed on to the stand-in.
#pragma once

#include <dlfcn.h>

#include <string>

#include "abi/win32.h"
#include "runtime/dll_commands.h"
#include "tests/support/recording_kernel.h"

namespace tolvar::test::recording_wininet {

struct Real {
    InternetOpenA_type *open = nullptr;
    InternetConnectA_type *connect = nullptr;
    HttpOpenRequestA_type *open_request = nullptr;
    HttpSendRequestA_type *send = nullptr;
    InternetReadFile_type *read = nullptr;
    HttpQueryInfoA_type *query = nullptr;
    InternetCloseHandle_type *close = nullptr;
    InternetSetCookieA_type *set_cookie = nullptr;
};

inline Real &real() {
    static Real r = [] {
        Real out;
        void *lib = dlopen((std::string(TOLVAR_BIN) + "/wininet.so").c_str(), RTLD_NOW);
        if (!lib) return out;
        out.open = reinterpret_cast<InternetOpenA_type *>(dlsym(lib, "InternetOpenA"));
        out.connect = reinterpret_cast<InternetConnectA_type *>(dlsym(lib, "InternetConnectA"));
        out.open_request = reinterpret_cast<HttpOpenRequestA_type *>(dlsym(lib, "HttpOpenRequestA"));
        out.send = reinterpret_cast<HttpSendRequestA_type *>(dlsym(lib, "HttpSendRequestA"));
        out.read = reinterpret_cast<InternetReadFile_type *>(dlsym(lib, "InternetReadFile"));
        out.query = reinterpret_cast<HttpQueryInfoA_type *>(dlsym(lib, "HttpQueryInfoA"));
        out.close = reinterpret_cast<InternetCloseHandle_type *>(dlsym(lib, "InternetCloseHandle"));
        out.set_cookie = reinterpret_cast<InternetSetCookieA_type *>(dlsym(lib, "InternetSetCookieA"));
        return out;
    }();
    return r;
}

inline std::string text(LPCSTR s) { return s ? std::string("\"") + s + "\"" : "null"; }
inline std::string ok(BOOL b) { return b ? "TRUE" : "FALSE"; }
inline void note(const std::string &call) { rec->calls.push_back(call); }

inline HINTERNET open(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags) {
    HINTERNET h = real().open(agent, access, proxy, bypass, flags);
    note("InternetOpenA " + text(agent) + " " + std::to_string(access) + " " + text(proxy) + " " + text(bypass) +
         " " + std::to_string(flags));
    return h;
}
inline HINTERNET connect(HINTERNET internet, LPCSTR server, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                         DWORD service, DWORD flags, DWORD_PTR context) {
    HINTERNET h = real().connect(internet, server, port, user, password, service, flags, context);
    note("InternetConnectA " + text(server) + " " + std::to_string(port) + " " + std::to_string(service));
    return h;
}
inline HINTERNET open_request(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                              LPCSTR *accept, DWORD flags, DWORD_PTR context) {
    HINTERNET h = real().open_request(connection, verb, object, version, referrer, accept, flags, context);
    note("HttpOpenRequestA " + text(verb) + " " + text(object) + " " + text(version) + " " + hex(flags));
    return h;
}
inline BOOL send(HINTERNET request, LPCSTR headers, DWORD length, LPVOID optional, DWORD optional_length) {
    BOOL r = real().send(request, headers, length, optional, optional_length);
    note("HttpSendRequestA " + std::to_string(length) + " " + std::to_string(optional_length) + " -> " + ok(r));
    return r;
}
inline BOOL read(HINTERNET request, LPVOID buffer, DWORD size, LPDWORD count) {
    BOOL r = real().read(request, buffer, size, count);
    note("InternetReadFile " + std::to_string(size) + " -> " + ok(r) + " " + std::to_string(count ? *count : 0));
    return r;
}
inline BOOL query(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index) {
    DWORD given = length ? *length : 0;
    BOOL r = real().query(request, level, buffer, length, index);
    note("HttpQueryInfoA " + std::to_string(level) + " " + std::to_string(given) + " -> " + ok(r) + " " +
         std::to_string(length ? *length : 0));
    return r;
}
inline BOOL close(HINTERNET h) {
    BOOL r = real().close(h);
    note("InternetCloseHandle -> " + ok(r));
    return r;
}
inline BOOL set_cookie(LPCSTR url, LPCSTR name, LPCSTR data) {
    BOOL r = real().set_cookie(url, name, data);
    note("InternetSetCookieA " + text(url) + " " + text(name) + " " + text(data) + " -> " + ok(r));
    return r;
}

// Binds the image's wininet DLL commands to the recording layer.
inline void install(Recorder &r) {
    using tolvar::runtime::Dll;
    auto bind = [&](Dll command, void *fn) { r.dll_functions[static_cast<uint32_t>(command)] = fn; };
    bind(Dll::InternetOpenA, reinterpret_cast<void *>(&open));
    bind(Dll::InternetConnectA, reinterpret_cast<void *>(&connect));
    bind(Dll::HttpOpenRequestA, reinterpret_cast<void *>(&open_request));
    bind(Dll::HttpSendRequestA, reinterpret_cast<void *>(&send));
    bind(Dll::InternetReadFile, reinterpret_cast<void *>(&read));
    bind(Dll::HttpQueryInfoA, reinterpret_cast<void *>(&query));
    bind(Dll::InternetCloseHandle, reinterpret_cast<void *>(&close));
    bind(Dll::InternetSetCookieA, reinterpret_cast<void *>(&set_cookie));
}

}  // namespace tolvar::test::recording_wininet
