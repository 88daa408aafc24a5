// Process exit and debugger output on POSIX.
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel32.h"

namespace {

#ifdef __EMSCRIPTEN__
// In a web page stderr is the browser's console, which takes UTF-8, and the
// browser (or Node.js) decodes code page 932 itself. Emscripten's C library
// has no such converter, and its iconv would bring 130 KB of other Asian
// tables into the page.
// clang-format off
EM_JS(char*, DecodeCodePage932ToUtf8, (const char* text, size_t length), {
    return allocateUTF8(new TextDecoder('shift_jis').decode(HEAPU8.subarray(text, text + length)));
});
// clang-format on

std::string ForConsole(const char* text) {
    char* decoded = DecodeCodePage932ToUtf8(text, std::strlen(text));
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

// Decodes code page 932 text to code points. A byte that does not decode
// becomes '?', so a broken message still gets through.
std::u32string DecodeCodePage932(const char* text) {
    std::u32string decoded;
    iconv_t converter = iconv_open("UTF-32LE", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        for (const char* c = text; *c != '\0'; ++c) {
            decoded.push_back(static_cast<unsigned char>(*c) < 0x80 ? static_cast<char32_t>(*c)
                                                                    : U'?');
        }
        return decoded;
    }
    char* in = const_cast<char*>(text);
    size_t inLeft = std::strlen(text);
    unsigned char buffer[256];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        for (unsigned char* at = buffer; at + 4 <= reinterpret_cast<unsigned char*>(outPtr);
             at += 4) {
            decoded.push_back(static_cast<char32_t>(at[0] | at[1] << 8 | at[2] << 16 |
                                                    static_cast<uint32_t>(at[3]) << 24));
        }
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            // Invalid or incomplete sequence: skip one byte.
            decoded.push_back(U'?');
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return decoded;
}

// Writes a code point as \uXXXX (\UXXXXXXXX past the first plane): plain
// ASCII that any terminal shows and that still names the exact character.
void AppendEscape(std::string& out, char32_t c) {
    char escape[16];
    if (c <= 0xffff) {
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
    } else {
        std::snprintf(escape, sizeof escape, "\\U%08x", static_cast<unsigned>(c));
    }
    out += escape;
}

// Encodes code points in the terminal's character set. A character it cannot
// carry (Japanese in ISO-8859-1, say) is written as an ASCII escape instead of
// a '?' or bytes the terminal would show as something else.
std::string ForTerminal(const std::u32string& text) {
    std::string out;
    iconv_t converter = iconv_open(TerminalCharset().c_str(), "UTF-32LE");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        for (char32_t c : text) {
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else {
                AppendEscape(out, c);
            }
        }
        return out;
    }
    for (char32_t c : text) {
        unsigned char code[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                                 static_cast<unsigned char>(c >> 16),
                                 static_cast<unsigned char>(c >> 24)};
        char* in = reinterpret_cast<char*>(code);
        size_t inLeft = sizeof code;
        char buffer[16];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        if (iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            AppendEscape(out, c);
        } else {
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
        }
    }
    char buffer[16];
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
#ifdef __EMSCRIPTEN__
    std::string message = ForConsole(text);
#else
    std::string message = ForTerminal(DecodeCodePage932(text));
#endif
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
