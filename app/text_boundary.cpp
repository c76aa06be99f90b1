#include "app/text_boundary.h"

#include "text/code_page.h"

namespace tarnwick {

Text TextFromQString(const QString& text) {
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
