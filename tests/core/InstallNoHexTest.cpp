// A default-language text that is no hexadecimal number leaves the default language id 0.
#include <windows.h>
#include <gtest/gtest.h>

#include "core/Install.h"

TEST(InstallInit, DefaultLanguageStaysZeroWhenTheTextIsNotHexadecimal)
{
    CInstall install;
    ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
    EXPECT_EQ(0, install.m_defaultLanguageId);
}
