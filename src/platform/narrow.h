#pragma once
// The one conversion between the window's text and the narrow text handed to the
// converter tool and to file functions: UTF-8, the platform's file-name encoding.
#include <string>
#include <string_view>
#include <wx/string.h>

namespace platform {

inline std::string ToNarrow(const wxString& text) { return std::string(text.utf8_str()); }

inline wxString FromNarrow(std::string_view text) { return wxString::FromUTF8(text.data(), text.size()); }

}  // namespace platform
