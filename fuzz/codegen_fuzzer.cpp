// Format strings from anywhere: the bytes up to the first zero byte are an edit-form format string,
// the rest supplies a sort mode and an item name. The parse, every item's formatting, generation
// with header and braces, the preview and escape/unescape must never crash, and no item may
// produce more than 1023 characters. The whole input is also read as a position text file and as
// a temporary position file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

#include "model/position_files.h"
#include "tools/codegen/code_generator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const void* zero = std::memchr(data, 0, size);
    const size_t formatLen = zero ? size_t(static_cast<const uint8_t*>(zero) - data) : size;
    const std::string format(text, formatLen);
    const std::string rest =
        formatLen < size ? std::string(text + formatLen + 1, size - formatLen - 1) : std::string();
    const int sort = rest.empty() ? 0 : (static_cast<unsigned char>(rest[0]) % 4);
    const std::string name = rest.size() > 1 ? rest.substr(1) : std::string("name");

    bool ok = false;
    const std::string preview = codegenPreview(format, sort, &ok);
    (void)preview;
    const std::string escaped = escapeFormat(format);
    const std::string unescaped = unescapeFormat(escaped);
    (void)unescaped;

    ParsedFormat parsed;
    try {
        parsed = parseFormat(format);
    } catch (const parse_error& e) {
        if (e.detail().empty()) __builtin_trap();
    }
    if (parsed.ok) {
        PositionList list;
        list.append(TxRect{-5, 7, 300, 2000000000}, name);
        list.append(TxRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, "");
        list.append(TxRect{1, 2, 3, 4}, rest);
        for (int i = 0; i < list.count(); ++i) {
            std::string out;
            if (formatItem(parsed, list.at(i).rect, list.at(i).name, i, i, 7, out) &&
                out.size() > kMaxItemText)
                __builtin_trap();
        }
        CodegenOptions o;
        o.sort = sort;
        o.cppStyle = (sort & 1) != 0;
        std::tm t{};
        std::string out;
        generateCode(parsed, list, 256, 0, o, name, t, out);
    }

    TxStream s(data, size);
    PositionList fromText;
    readPositionText(s, fromText, 512, 512);
    for (int i = 0; i < fromText.count(); ++i)
        if (fromText.at(i).empty()) __builtin_trap();
    TxStream s2(data, size);
    PositionList fromTemp;
    readPositionTemp(s2, fromTemp, 512, 512);
    // Whatever was read writes out again.
    (void)positionTextBytes(fromText);
    (void)positionMapBytes(fromTemp);
    return 0;
}
