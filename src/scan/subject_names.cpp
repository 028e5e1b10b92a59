#include "subject_names.h"

#include "text_util.h"

#include <initializer_list>

namespace kestrel {

namespace {

struct Variant {
    const char *upper;   // ".JPG": searched for, and written when " .jpg" is joined up
    const char *lower;   // ".jpg": appended to a subject that names no file
    bool cutAtColonsAndBraces;
    bool stripParentheses;
};

constexpr Variant kJpg{".JPG", ".jpg", true, true};
constexpr Variant kGif{".GIF", ".gif", false, false};
constexpr Variant kPng{".PNG", ".png", false, false};

void trimInPlace(QByteArray &s)
{
    const QByteArrayView v = trimSpaces(s);
    if (v.size() != s.size())
        s = v.toByteArray();
}

// Keeps what follows the last occurrence of c.
void keepAfterLast(QByteArray &s, char c)
{
    const qsizetype p = s.lastIndexOf(c);
    if (p >= 0)
        s.remove(0, p + 1);
}

void stripAll(QByteArray &s, std::initializer_list<const char *> tokens)
{
    for (const char *t : tokens)
        StripToken(s, QByteArrayView(t));
}

QByteArray extract(const QByteArray &subject, const Variant &v)
{
    const QByteArrayView ext(v.upper);
    QByteArray s = trimmedSpaces(subject);
    if (v.cutAtColonsAndBraces) {
        keepAfterLast(s, ':');
        keepAfterLast(s, '{');
    }
    qsizetype p = indexOfCI(s, ext);
    if (p < 0) {
        stripAll(s, {"]", "[", "<", ">", "|", "*", "?", ",", "(", ")", "1/1", "1\\1", "/", "\\", "\""});
        trimInPlace(s);
        s.append(v.lower);
        return s;
    }
    // With two or more names in the subject the second one is taken.
    const QByteArrayView rest = QByteArrayView(s).sliced(p + ext.size());
    if (!rest.isEmpty() && containsCI(rest, ext)) {
        s = rest.toByteArray();
        p = indexOfCI(s, ext);
    }
    s.truncate(p + ext.size());
    // "my pic .jpg" -> "my pic.JPG"
    const QByteArray spacedExt = ' ' + QByteArray(v.upper);
    for (;;) {
        trimInPlace(s);
        const qsizetype q = indexOfCI(s, spacedExt);
        if (q < 0)
            break;
        s.truncate(q + 1);
        trimInPlace(s);
        s.append(v.upper);
    }
    // The last blank-separated word is the name.
    const qsizetype sp = s.lastIndexOf(' ');
    if (sp >= 0)
        s.remove(0, sp + 1);
    if (v.stripParentheses)
        stripAll(s, {"]", "[", ")", "(", "<", ">", "|", "*", "?", ",", "1/1", "1\\1", "/", "\\", "\""});
    else
        stripAll(s, {"]", "[", "<", ">", "|", "*", "?", ",", "1/1", "1\\1", "/", "\\", "\""});
    return s;
}

} // namespace

void StripToken(QByteArray &text, QByteArrayView token)
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

QByteArray ExtractJpgName(const QByteArray &subject)
{
    return extract(subject, kJpg);
}

QByteArray ExtractGifName(const QByteArray &subject)
{
    return extract(subject, kGif);
}

QByteArray ExtractPngName(const QByteArray &subject)
{
    return extract(subject, kPng);
}

QByteArray ExtractNameByExtension(const QByteArray &subject, bool *isGifOrPng)
{
    const bool gif = containsCI(subject, ".gif");
    const bool png = !gif && containsCI(subject, ".png");
    if (isGifOrPng)
        *isGifOrPng = gif || png;
    if (gif)
        return ExtractGifName(subject);
    if (png)
        return ExtractPngName(subject);
    return ExtractJpgName(subject);
}

} // namespace kestrel
