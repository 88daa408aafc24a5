// Process exit and debugger output on POSIX.
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel32.h"

namespace {

#ifdef __EMSCRIPTEN__
// In a web page (or Node.js) the C library's iconv has no code page 932, but
// the browser's own decoder has; stderr there is UTF-8 text for the console.
// clang-format off
EM_JS(char*, DecodeCodePage932, (const char* text, size_t length), {
    return allocateUTF8(new TextDecoder('shift_jis').decode(HEAPU8.subarray(text, text + length)));
});
// clang-format on

std::string FromCodePage932(const char* text) {
    char* decoded = DecodeCodePage932(text, std::strlen(text));
    std::string out = decoded != nullptr ? decoded : text;
    std::free(decoded);
    return out;
}
#else
// The character set of the user's terminal. The plain C locale usually just
// means LANG is unset on a UTF-8 terminal, so it is treated as UTF-8.
std::string TerminalCharset() {
    std::string charset = "UTF-8";
    locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (user != static_cast<locale_t>(0)) {
        const char* name = nl_langinfo_l(CODESET, user);
        if (name != nullptr && *name != '\0' && std::strcmp(name, "ANSI_X3.4-1968") != 0) {
            charset = name;
        }
        freelocale(user);
    }
    return charset;
}

// Converts code page 932 text for the terminal. A byte that does not convert
// becomes '?', so a broken message still gets through.
std::string FromCodePage932(const char* text) {
    const size_t length = std::strlen(text);
    iconv_t converter = iconv_open(TerminalCharset().c_str(), "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::string(text, length);
    }
    std::string out;
    char* in = const_cast<char*>(text);
    size_t inLeft = length;
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            // Invalid or incomplete sequence: skip one byte.
            out.push_back('?');
            ++in;
            --inLeft;
        }
    }
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(converter, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    iconv_close(converter);
    return out;
}
#endif

}  // namespace

extern "C" {

VOID OutputDebugStringA(LPCSTR text) {
    if (text == nullptr) {
        return;
    }
    std::string message = FromCodePage932(text);
    // A terminal wants a bare line feed; the text ends with CR LF.
    for (size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at)) {
        message.erase(at, 1);
    }
    std::fflush(stdout);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
}

[[noreturn]] VOID ExitProcess(UINT exitCode) {
    // exit() flushes every stdio stream. Only the low 8 bits reach a POSIX
    // parent: -1 becomes 255.
    std::exit(static_cast<int>(exitCode & 0xffu));
}

}  // extern "C"
