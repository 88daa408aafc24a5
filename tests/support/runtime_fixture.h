// Gives each test a fresh string runtime and game state.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "managed_string.h"
#include "runtime_reset.h"

// A registered string holding these bytes (embedded NULs included).
inline ManagedString MakeString(const std::string& bytes) {
    ManagedString s = NewString(static_cast<int32_t>(bytes.size()));
    RtlMoveMemory(s, bytes.data(), bytes.size());
    return s;
}

inline bool IsRegistered(ManagedString s) {
    for (int32_t i = 0; i < Runtime.StringRegistryCount; ++i) {
        if (Runtime.StringRegistryItems[i] == s) {
            return true;
        }
    }
    return false;
}

// The runtime's diagnostic for an unknown string, as it reads on a UTF-8 terminal.
inline const char* UnknownStringDiagnostic() {
    return "\xe6\x9c\xaa\xe7\x9f\xa5\xe3\x81\xae\xe6\x96\x87\xe5\xad\x97\xe5\x88\x97\xe3\x81\x8c"
           "\xe8\xa7\xa3\xe6\x94\xbe\xe3\x81\x95\xe3\x82\x8c\xe3\x82\x88\xe3\x81\x86\xe3\x81\xa8"
           "\xe3\x81\x97\xe3\x81\xbe\xe3\x81\x97\xe3\x81\x9f\xe3\x80\x82\n";
}

class RuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetRuntime(); }
    void TearDown() override { ResetRuntime(); }
};
