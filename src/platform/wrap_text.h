#pragma once
// Long texts cut into lines that a message box or a tooltip can show whole on a screen
// 1280 pixels wide: a file name of 255 bytes, or a reason that quotes one, has no spaces
// the toolkit could break it at.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The widest line the completion box and the rows' tooltips show, in columns: a Chinese
// (wide) character takes two, any other character or stray byte one. 90 columns of the
// window's font are about 700 pixels.
inline constexpr std::size_t kShownColumns = 90;

// `text` (UTF-8) with every line wider than `columns` broken: at its last space that
// fits, which becomes the line end, else after the last whole character that fits.
// Lines that fit, and every byte of the text, stay as they were.
std::string WrapLongLines(std::string_view text, std::size_t columns = kShownColumns);

}  // namespace platform
