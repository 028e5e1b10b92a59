#include "decode/text_view.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <string>

namespace kestrel {
namespace {

// findBytes must agree with the plain search wherever the needle's anchor letter sits:
// at the start, in the middle or at the end of the needle, near either end of the text,
// with the letter all over the text, and for needles without a lowercase letter.
TEST(FindBytes, AgreesWithTheStandardSearch)
{
    const std::string_view needles[] = {"=yend", "begin ", "=ybegin ", "\r\n..", "=y", "x",
                                        "",      "ab",     "e",        "END",    "a=", "=a"};
    QRandomGenerator random(7);
    std::vector<std::string> texts = {"",         "=yen",      "=yend",
                                      "x=yend",   "=yen=yend", "begin begin 644 ",
                                      "aaaaaaab", "ba",        std::string(300, 'e') + "=yend"};
    for (int i = 0; i < 200; ++i) {
        std::string t(size_t(random.bounded(0, 80)), ' ');
        for (char &c : t)
            c = "=yendbgi a\r\n.ENDx"[random.bounded(0, 17)];
        texts.push_back(t);
    }
    for (const std::string &t : texts) {
        for (const std::string_view n : needles) {
            for (std::size_t from = 0; from <= t.size() + 1; ++from) {
                const std::size_t expected = from > t.size() || n.size() > t.size() - from
                                                 ? std::string_view::npos
                                                 : std::string_view(t).find(n, from);
                ASSERT_EQ(findBytes(t, n, from), expected)
                    << "text \"" << t << "\" needle \"" << n << "\" from " << from;
            }
        }
    }
}

} // namespace
} // namespace kestrel
