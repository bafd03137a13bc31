#pragma once
// The one conversion between the window's text and the narrow text handed to the
// converter tool and to file functions: UTF-8, the platform's file-name encoding.
//
// On Linux a file name is bytes, and not every name is UTF-8 (names from archives made on
// Chinese Windows are GBK). A byte that is not part of UTF-8 text travels in the window's
// text as a mark (a character of the last private-use plane, U+100080..U+1000FF, shown as
// a box with its code) and comes back as the same byte: a name is listed as far as it can
// be shown, and reaches the file functions and the converter exactly as it was.
#include <string>
#include <string_view>
#include <wx/strconv.h>
#include <wx/string.h>

namespace platform {

#ifdef _WIN32

inline std::string ToNarrow(const wxString& text) { return std::string(text.utf8_str()); }

inline wxString FromNarrow(std::string_view text) { return wxString::FromUTF8(text.data(), text.size()); }

// A file name as the toolkit's dialogs and drops give it, as the program's narrow text.
inline std::string ToolkitFileName(const wxString& name) { return ToNarrow(name); }

#else

inline const wxMBConv& NameBytes() {
    static const wxMBConvUTF8 conv(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
    return conv;
}

inline std::string ToNarrow(const wxString& text) {
    const wxCharBuffer bytes = text.mb_str(NameBytes());
    return std::string(bytes.data(), bytes.length());
}

inline wxString FromNarrow(std::string_view text) { return wxString(text.data(), NameBytes(), text.size()); }

// A file name as the toolkit's dialogs and drops give it (converted with the toolkit's own
// file-name conversion, which keeps bytes that are not UTF-8 as escapes), as the exact bytes.
inline std::string ToolkitFileName(const wxString& name) {
    const wxCharBuffer bytes = name.fn_str();
    return std::string(bytes.data(), bytes.length());
}

#endif

}  // namespace platform
