#include "scan/subject_names.h"

#include "base/text_util.h"

#include <initializer_list>

namespace kestrel {

namespace {

struct Variant {
    const char *upper;  // ".JPG": searched for, and written when " .jpg" is joined up
    const char *spaced; // " .JPG"
    const char *lower;  // ".jpg": appended to a subject that names no file
    bool cutAtColonsAndBraces;
    bool stripParentheses;
};

constexpr Variant kJpg{".JPG", " .JPG", ".jpg", true, true};
constexpr Variant kGif{".GIF", " .GIF", ".gif", false, false};
constexpr Variant kPng{".PNG", " .PNG", ".png", false, false};

void trimInPlace(QByteArray &s)
{
    const QByteArrayView v = trimSpaces(s);
    if (v.size() != s.size())
        s = v.toByteArray();
}

// What follows the last occurrence of c.
QByteArrayView afterLast(QByteArrayView s, char c)
{
    const qsizetype p = s.lastIndexOf(c);
    return p >= 0 ? s.sliced(p + 1) : s;
}

void stripAll(QByteArray &s, std::initializer_list<const char *> tokens)
{
    for (const char *t : tokens)
        stripToken(s, QByteArrayView(t));
}

// Most names hold none of the characters the token lists remove; they skip the
// fifteen searches.
bool mayNeedStripping(QByteArrayView s)
{
    for (char c : s) {
        switch (c) {
        case ']':
        case '[':
        case ')':
        case '(':
        case '<':
        case '>':
        case '|':
        case '*':
        case '?':
        case ',':
        case '/':
        case '\\':
        case '"':
            return true;
        default:
            break;
        }
    }
    return false;
}

QByteArray extract(const QByteArray &subject, const Variant &v)
{
    const QByteArrayView ext(v.upper);
    QByteArrayView s = trimSpaces(subject);
    if (v.cutAtColonsAndBraces)
        s = afterLast(afterLast(s, ':'), '{');
    qsizetype p = indexOfCI(s, ext);
    if (p < 0) {
        QByteArray out = s.toByteArray();
        stripAll(out, {"]", "[", "<", ">", "|", "*", "?", ",", "(", ")", "1/1", "1\\1", "/", "\\", "\""});
        trimInPlace(out);
        out.append(v.lower);
        return out;
    }
    // With two or more names in the subject the second one is taken.
    const QByteArrayView rest = s.sliced(p + ext.size());
    if (!rest.isEmpty() && containsCI(rest, ext)) {
        s = rest;
        p = indexOfCI(s, ext);
    }
    s = s.first(p + ext.size());
    // "my pic .jpg" -> "my pic.JPG"
    QByteArray joined;
    for (;;) {
        s = trimSpaces(s);
        const qsizetype q = indexOfCI(s, v.spaced);
        if (q < 0)
            break;
        QByteArray next = trimSpaces(s.first(q + 1)).toByteArray() + v.upper;
        joined.swap(next);
        s = joined;
    }
    // The last blank-separated word is the name.
    const qsizetype sp = s.lastIndexOf(' ');
    if (sp >= 0)
        s = s.sliced(sp + 1);
    QByteArray out = s.toByteArray();
    if (!mayNeedStripping(out))
        return out;
    if (v.stripParentheses)
        stripAll(out, {"]", "[", ")", "(", "<", ">", "|", "*", "?", ",", "1/1", "1\\1", "/", "\\", "\""});
    else
        stripAll(out, {"]", "[", "<", ">", "|", "*", "?", ",", "1/1", "1\\1", "/", "\\", "\""});
    return out;
}

} // namespace

void stripToken(QByteArray &text, QByteArrayView token)
{
    if (token.isEmpty())
        return;
    while (!text.isEmpty()) {
        if (equalsCI(text, token)) {
            text.clear();
            return;
        }
        const qsizetype p = indexOfCI(text, token);
        if (p < 0)
            return;
        text.remove(p, token.size());
    }
}

QByteArray extractJpgName(const QByteArray &subject)
{
    return extract(subject, kJpg);
}

QByteArray extractGifName(const QByteArray &subject)
{
    return extract(subject, kGif);
}

QByteArray extractPngName(const QByteArray &subject)
{
    return extract(subject, kPng);
}

QByteArray extractNameByExtension(const QByteArray &subject, bool *isGifOrPng)
{
    const bool gif = containsCI(subject, ".gif");
    const bool png = !gif && containsCI(subject, ".png");
    if (isGifOrPng)
        *isGifOrPng = gif || png;
    if (gif)
        return extractGifName(subject);
    if (png)
        return extractPngName(subject);
    return extractJpgName(subject);
}

} // namespace kestrel
