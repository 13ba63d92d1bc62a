// Where a redirected program's copies are, and the policy that switches
// redirection off.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "host/Virtualization.h"

namespace {

constexpr const wchar_t* kPolicy = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// Sets one policy value for the test (nothing: removes it) and puts the old
// one back afterwards.
class PolicyValue final {
public:
    PolicyValue(const wchar_t* name, std::optional<DWORD> value) : name_(name) {
        DWORD old = 0, size = sizeof old;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, kPolicy, name, RRF_RT_REG_DWORD, nullptr, &old, &size) == 0) old_ = old;
        Set(value);
    }
    ~PolicyValue() { Set(old_); }
    PolicyValue(const PolicyValue&) = delete;
    PolicyValue& operator=(const PolicyValue&) = delete;

private:
    void Set(std::optional<DWORD> value) const {
        if (value)
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicy, name_, REG_DWORD, &*value, sizeof(DWORD));
        else
            ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPolicy, name_);
    }
    const wchar_t* name_;
    std::optional<DWORD> old_;
};

} // namespace

TEST(VirtualizationWin32, CopiesLieInTheUsersVirtualStoreUnderThePathWithoutItsDrive) {
    const char* local = std::getenv("LOCALAPPDATA");
    ASSERT_NE(local, nullptr);
    const std::string store = std::string(local) + "\\VirtualStore\\";
    EXPECT_EQ(host::VirtualStorePath("C:\\Windows\\tvdorvw.ini"), store + "Windows\\tvdorvw.ini");
    EXPECT_EQ(host::VirtualStorePath("d:/Program Files/DORV/TVDORVKY.INI"),
              store + "Program Files\\DORV\\TVDORVKY.INI");
    for (const char* none : {"", "tvdorvw.ini", "C:tvdorvw.ini", "\\Windows\\x.ini", "\\\\server\\share\\x.ini"})
        EXPECT_EQ(host::VirtualStorePath(none), "") << none;
}

TEST(VirtualizationWin32, PolicyTurnsRedirectionOffOnlyWithAZero) {
    {
        const PolicyValue lua(L"EnableLUA", std::nullopt), virtualization(L"EnableVirtualization", std::nullopt);
        EXPECT_TRUE(host::VirtualizationAllowed());
    }
    {
        const PolicyValue lua(L"EnableLUA", 1), virtualization(L"EnableVirtualization", 1);
        EXPECT_TRUE(host::VirtualizationAllowed());
    }
    for (const wchar_t* name : {L"EnableLUA", L"EnableVirtualization"}) {
        const PolicyValue off(name, 0);
        EXPECT_FALSE(host::VirtualizationAllowed());
    }
}
