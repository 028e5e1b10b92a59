#include "app/command_line.h"

#include <gtest/gtest.h>

using kestrel::parseCommandLine;

TEST(CommandLine, OptionsAndErrors)
{
    const auto c = parseCommandLine({"kestrel", "--home", "/x", "--headless", "--once"});
    EXPECT_TRUE(c.error.isEmpty());
    EXPECT_EQ(c.home, "/x");
    EXPECT_TRUE(c.headless && c.once && !c.demo && !c.version);

    EXPECT_FALSE(parseCommandLine({"kestrel", "--bogus"}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"kestrel", "stray"}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"kestrel", "--home"}).error.isEmpty());
    for (const char *opt : {"--home", "--headless", "--once", "--demo", "--version", "--help"})
        EXPECT_TRUE(parseCommandLine({"kestrel"}).helpText.contains(opt)) << opt;
}
