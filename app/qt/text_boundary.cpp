#include "app/qt/text_boundary.h"

#include <algorithm>

#include "text/code_page.h"

namespace tarnwick {

namespace {

bool IsPlainAscii(char16_t unit) {
    return unit > 0 && unit < 0x80;
}

}  // namespace

// Plain ASCII, the usual web address, is the same in both encodings: it needs no converter,
// and so the window does not load one at start.
Text TextFromQString(const QString& text) {
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return IsPlainAscii(c.unicode()); })) {
        return text.toStdString();
    }
    ByteSet utf16;
    utf16.reserve(static_cast<std::size_t>(text.size()) * 2 + 2);
    for (const QChar unit : text) {
        const char16_t value = unit.unicode();
        utf16.push_back(static_cast<std::uint8_t>(value & 0xFF));
        utf16.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    utf16.push_back(0);
    utf16.push_back(0);
    return Utf16ToCodePage(utf16, kCodePageGb18030);
}

QString QStringFromText(std::string_view text) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return IsPlainAscii(static_cast<unsigned char>(c)); })) {
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }
    const ByteSet utf16 = CodePageToUtf16(text, kCodePageGb18030);
    QString result;
    result.reserve(static_cast<qsizetype>(utf16.size() / 2));
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(utf16[i] | (utf16[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        result.append(QChar(unit));
    }
    return result;
}

}  // namespace tarnwick
