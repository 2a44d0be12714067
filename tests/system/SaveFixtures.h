// The fixtures of the profile and safe-save tests, shared by the portable
// cases here and the POSIX ones in tests/platform.
#pragma once

#include "platform/system/atomic_file.h"
#include "platform/system/profile.h"
#include "platform/testing.h"
#include "system/FileFixture.h"

#include <gtest/gtest.h>
#include <string>

namespace tavro::test {

// Reads and writes tavro.cfg in the scratch directory.
class ProfileTest : public FileFixture {
protected:
    std::string Read(const char* section, const char* key, const char* def = "",
                     unsigned size = 256) const {
        std::string buf(size, '#');
        const platform::DWORD n =
            platform::GetPrivateProfileStringA(section, key, def, buf.data(), size, Cfg().c_str());
        EXPECT_LT(n, size);
        EXPECT_EQ(buf[n], '\0') << "result not NUL-terminated";
        return buf.substr(0, n);
    }
    bool Write(const char* section, const char* key, const char* value) const {
        // TRUE, a macro on Windows.
        return platform::WritePrivateProfileStringA(section, key, value, Cfg().c_str()) == 1;
    }
};

// Every safe-save test runs with unnamed temporary files and with named ones
// (the only kind on Windows).
class SaveTest : public FileFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        FileFixture::SetUp();
        platform::atomic_file_testing::ForceNamedTemporaryFiles(GetParam());
    }
    void TearDown() override { platform::atomic_file_testing::ForceNamedTemporaryFiles(false); }

    std::string Save(const std::string& path, const std::string& bytes) const {
        std::string reason;
        const bool ok = platform::WriteFileAtomically(path, bytes, &reason);
        EXPECT_EQ(ok, reason.empty()) << reason;
        return ok ? "ok" : reason;
    }
};

} // namespace tavro::test
