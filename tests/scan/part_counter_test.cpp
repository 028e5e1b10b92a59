#include "scan/part_counter.h"

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

TEST(PartCounter, FindsTheLastCounterAndCutsItOut)
{
    struct Case {
        const char *subject;
        int number; // 0: no counter
        int total;
        const char *rest;
    };
    const Case cases[] = {
        {"\"pic.jpg\" yEnc (3/7)", 3, 7, "\"pic.jpg\" yEnc"},
        {"pic.jpg [2/2]", 2, 2, "pic.jpg"},
        {"(01/10) pic.jpg", 1, 10, "pic.jpg"},
        {"pic.jpg   (4/9)   - nice one", 4, 9, "pic.jpg - nice one"},
        {"[3/10] - \"pic.jpg\" yEnc (2/5)", 2, 5, "[3/10] - \"pic.jpg\" yEnc"},
        {"(1/3) set pic.jpg (2/4)", 2, 4, "(1/3) set pic.jpg"},
        {"img(1).jpg (1/2)", 1, 2, "img(1).jpg"},
        {"pic.jpg Part 2 of 3", 2, 3, "pic.jpg"},
        {"pic.jpg PART  12  OF  12 (uu)", 12, 12, "pic.jpg (uu)"},
        {"pic.jpg 2/3", 2, 3, "pic.jpg"},
        {"3/4 pic.jpg", 3, 4, "pic.jpg"},
        // Near misses: not a part counter at all.
        {"pic.jpg (0/5)", 0, 0, nullptr},
        {"pic.jpg (6/5)", 0, 0, nullptr},
        {"pic.jpg (1/1)", 0, 0, nullptr},
        {"[3/10] - \"pic.jpg\" yEnc (1/1)", 0, 0, nullptr},
        {"season 2005/2006 pic.jpg", 0, 0, nullptr},
        {"pic.jpg (1/5", 0, 0, nullptr},
        {"pic.jpg (1 /5)", 0, 0, nullptr},
        {"pic.jpg (1/5]", 0, 0, nullptr},
        {"img(1).jpg", 0, 0, nullptr},
        {"pic.jpg counterpart 2 of 3", 0, 0, nullptr},
        {"pic.jpg part 2 of 3x", 0, 0, nullptr},
        {"pic.jpg a1/2", 0, 0, nullptr},
        {"pic.jpg 1/2/3", 0, 0, nullptr},
        {"pic.jpg 001/120", 1, 120, "pic.jpg"},
        {"pic.jpg (1/123456)", 0, 0, nullptr},
        {"", 0, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.subject);
        const std::optional<PartCounter> p = findPartCounter(c.subject);
        if (c.number == 0) {
            EXPECT_FALSE(p.has_value());
            continue;
        }
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->number, c.number);
        EXPECT_EQ(p->total, c.total);
        EXPECT_EQ(p->rest, QByteArray(c.rest));
    }
}

} // namespace
} // namespace kestrel::test
